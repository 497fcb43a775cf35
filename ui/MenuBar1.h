#pragma once

#include "platform/Menus.h"

namespace planora {

// The program's only menu bar: the File menu with "Bild laden", "Bild speichern", "Quit" and
// "Über Planora...", and the entries without text.
class MenuBar1 : public MenuBar {
public:
    // The single instance, built on the first call and kept for the whole run.
    static MenuBar1& instance();

    MenuBar1();

private:
    void Untitled0();
    void Untitled1();
    void Untitled2();
};

} // namespace planora
