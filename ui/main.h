#pragma once

#include "platform/Controls.h"
#include "platform/Menus.h"
#include "platform/Window.h"

namespace planora {

// The main window: the four matrix fields, "Transformieren", "Optionen", the source canvas
// CAquell, the target canvas CAziel, the hint on decimal points and the overlay legend.
// Closing it ends the program.
class main : public Window {
public:
    // The open main window, built and opened on first access. While it is being built the
    // accessor already returns it.
    static main& instance();

    Ptr<Canvas> CAquell() const { return control<Canvas>("CAquell"); }
    // Member 1 to 4 of the matrix fields, row by row: a11, a12, a21, a22. Nil otherwise.
    Ptr<EditField> TEMat(std::int64_t index) const { return control<EditField>("TEMat", index); }
    Ptr<PushButton> PushButton2() const { return control<PushButton>("PushButton2"); }
    Ptr<PushButton> PushButton3() const { return control<PushButton>("PushButton3"); }
    Ptr<Canvas> CAziel() const { return control<Canvas>("CAziel"); }
    Ptr<Label> Label1() const { return control<Label>("Label1"); }
    Ptr<Label> TEoverinfo() const { return control<Label>("TEoverinfo"); }

    void CAquell_Paint(Canvas& sender, Graphics& g);
    void PushButton2_Action(PushButton& sender);
    void PushButton3_Action(PushButton& sender);
    void CAziel_Paint(Canvas& sender, Graphics& g);

    // The items of the window's menu bar, found by name.
    Ptr<MenuItem> UntitledMenu2() const { return menuItem<MenuItem>("UntitledMenu2"); }
    Ptr<MenuItem> FileMenu() const { return menuItem<MenuItem>("FileMenu"); }
    Ptr<AppleMenuItem> UntitledMenu3() const { return menuItem<AppleMenuItem>("UntitledMenu3"); }
    Ptr<AppleMenuItem> Ueber() const { return menuItem<AppleMenuItem>("Ueber"); }
    Ptr<MenuItem> UntitledMenu4() const { return menuItem<MenuItem>("UntitledMenu4"); }
    Ptr<QuitMenuItem> FileQuit() const { return menuItem<QuitMenuItem>("FileQuit"); }
    Ptr<MenuItem> UntitledMenu0() const { return menuItem<MenuItem>("UntitledMenu0"); }
    Ptr<MenuItem> FIsave() const { return menuItem<MenuItem>("FIsave"); }
    Ptr<MenuItem> FiLoad() const { return menuItem<MenuItem>("FiLoad"); }
    Ptr<MenuItem> UntitledMenu1() const { return menuItem<MenuItem>("UntitledMenu1"); }

    bool FiLoad_Action();
    bool FIsave_Action();
    bool Ueber_Action();
    bool FileQuit_Action();

protected:
    void Layout() override;
    void CreateControls() override;
    void AddMenuHandlers() override;
    void Event_Close() override;
    void Event_Restore() override;
    void Event_Open() override;

private:
    void CreateControls0();

    template <class T>
    Ptr<T> menuItem(std::string_view name) const {
        planora::MenuBar* bar = MenuBar();
        return bar ? dynamic_cast<T*>(bar->find(name)) : nullptr;
    }
};

} // namespace planora
