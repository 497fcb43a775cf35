#include "ui/MenuBar1.h"

#include <memory>
#include <optional>
#include <string_view>

namespace planora {

namespace {

// Builds one complete item; the caller appends it. The separator is made with no shortcut.
template <class Item = MenuItem>
std::unique_ptr<MenuItem> item(std::string_view name, std::string_view text,
                               std::optional<std::string_view> shortcut) {
    auto made = std::make_unique<Item>();
    made->Name = name;
    made->AutoEnabled = true;
    made->Text = text;
    made->Visible = true;
    if (shortcut)
        made->Shortcut = *shortcut;
    return made;
}

} // namespace

MenuBar1& MenuBar1::instance() {
    // Built on the first call and kept to the end of the process: the application and the
    // main window both point at it.
    static MenuBar1* bar = new MenuBar1();
    return *bar;
}

MenuBar1::MenuBar1() {
    Untitled0();
    Untitled1();
    Untitled2();
}

void MenuBar1::Untitled0() {
    AddMenu(item("UntitledMenu1", "", ""));
}

void MenuBar1::Untitled1() {
    AddMenu(item("FileMenu", "&File", ""));
    Child("FileMenu")->AddMenu(item("FiLoad", "Bild laden", "Cmd+O"));
    Child("FileMenu")->AddMenu(item("FIsave", "Bild speichern", "Cmd+S"));
    Child("FileMenu")->AddMenu(item("UntitledMenu0", "-", std::nullopt));
    Child("FileMenu")->AddMenu(item<QuitMenuItem>("FileQuit", "Quit", "Cmd+Q"));
    Child("FileMenu")->AddMenu(item("UntitledMenu4", "", ""));
    Child("FileMenu")->AddMenu(item<AppleMenuItem>("Ueber", "Über Planora...", "Cmd+I"));
    Child("FileMenu")->AddMenu(item<AppleMenuItem>("UntitledMenu3", "", ""));
}

void MenuBar1::Untitled2() {
    AddMenu(item("UntitledMenu2", "", ""));
}

} // namespace planora
