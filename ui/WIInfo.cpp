#include "ui/WIInfo.h"

namespace planora {

// Placeholder until the info window is built: an empty window.
WIInfo& WIInfo::instance() {
    return Window::instance<WIInfo>("WIInfo.WIInfo");
}

void WIInfo::Layout() {
    apply({.title = "Info", .width = 238, .height = 321});
}
void WIInfo::CreateControls() {
    CreateControls0();
}
void WIInfo::CreateControls0() {}
void WIInfo::PushButton1_Action(PushButton&) {
    WIInfo::instance().Close();
}

} // namespace planora
