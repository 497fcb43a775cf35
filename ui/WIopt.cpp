#include "ui/WIopt.h"

namespace planora {

// Placeholder until the options window is built: an empty window.
WIopt& WIopt::instance() {
    return Window::instance<WIopt>("WIopt.WIopt");
}

void WIopt::Layout() {
    apply({.title = "Optionen", .width = 350, .height = 210});
}
void WIopt::CreateControls() {
    CreateControls0();
}
void WIopt::CreateControls0() {}
void WIopt::Event_Close() {}
void WIopt::Event_Open() {}

void WIopt::BevelButton1_Action(BevelButton&) {}
void WIopt::BevelButton2_Action(BevelButton&) {}
void WIopt::BevelButton3_Action(BevelButton&) {}
void WIopt::RBber_Action(RadioButton&) {}
void WIopt::CBoverlay_Action(CheckBox&) {}
void WIopt::EFox_LostFocus(EditField&) {}
void WIopt::EFox_TextChange(EditField&) {}
void WIopt::EFoy_TextChange(EditField&) {}
void WIopt::EFoy_LostFocus(EditField&) {}
void WIopt::CBAchsen_Action(CheckBox&) {}
void WIopt::RBachsen_Action(RadioButton&) {}
void WIopt::PushButton1_Action(PushButton&) {}

} // namespace planora
