#include "ui/MenuBar1.h"

namespace planora {

// Placeholder until the menu bar is built: an empty bar.
MenuBar1& MenuBar1::instance() {
    static MenuBar1* bar = new MenuBar1();
    return *bar;
}

MenuBar1::MenuBar1() {
    Untitled0();
    Untitled1();
    Untitled2();
}

void MenuBar1::Untitled0() {}
void MenuBar1::Untitled1() {}
void MenuBar1::Untitled2() {}

} // namespace planora
