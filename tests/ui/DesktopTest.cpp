#include "platform/Dialogs.h"
#include "platform/Testing.h"
#include "support/Program.h"
#include "ui/WIInfo.h"
#include "ui/WIopt.h"

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace planora::test {
namespace {

namespace pt = planora::testing;

bool overlap(const Bounds& a, const Bounds& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

class DesktopTest : public ProgramTest {
protected:
    WIopt& pressOptionen() {
        pt::click(*window().PushButton3());
        return WIopt::instance();
    }
};

TEST_F(DesktopTest, TheMainWindowOpensAtTheTopLeftAndTheOptionsWindowCoversNoneOfItsControls) {
    const Bounds area = pt::availableArea();
    EXPECT_EQ(window().Left(), area.left);
    EXPECT_EQ(window().Top(), area.top);
    const Bounds options = pt::frameOf(pressOptionen());
    EXPECT_EQ(options.left, 10);
    EXPECT_EQ(options.top, 380);
    for (const auto& c : window().controls())
        if (c->Visible()) {
            EXPECT_FALSE(overlap(options, pt::onScreen(*c))) << c->Name() << c->Index();
        }
}

struct Reshow {
    std::string_view name;
    std::function<Window&(main&)> show;
};

std::ostream& operator<<(std::ostream& os, const Reshow& r) {
    return os << r.name;
}

class ShowingAgain : public DesktopTest, public ::testing::WithParamInterface<Reshow> {};

TEST_P(ShowingAgain, BringsAMinimisedWindowBackToTheFrontWithTheKeyboard) {
    Window& first = GetParam().show(window());
    pt::minimise(first);
    ASSERT_TRUE(pt::isMinimised(first));
    pt::activate(&window());
    Window& again = GetParam().show(window());
    EXPECT_EQ(&again, &first);
    EXPECT_FALSE(pt::isMinimised(again));
    EXPECT_TRUE(again.isVisible());
    EXPECT_TRUE(pt::isActive(again));
}

INSTANTIATE_TEST_SUITE_P(Windows, ShowingAgain,
                         ::testing::Values(Reshow{"Optionen",
                                                  [](main& w) -> Window& {
                                                      pt::click(*w.PushButton3());
                                                      return WIopt::instance();
                                                  }},
                                           Reshow{"CtrlI",
                                                  [](main& w) -> Window& {
                                                      pt::pressKey(w, "Ctrl+I");
                                                      return WIInfo::instance();
                                                  }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DesktopTest, ClosingTheWindowInFrontGivesTheKeyboardToTheOneBefore) {
    WIopt& options = pressOptionen();
    pt::activate(&options);
    window().chooseMenuItem("Ueber");
    WIInfo& info = WIInfo::instance();
    ASSERT_TRUE(pt::isActive(info));
    pt::pressKey(info, "Return"); // the info window's "OK"
    ASSERT_TRUE(Window::find("WIInfo.WIInfo").isNil());
    EXPECT_TRUE(pt::isActive(options));
    pt::activate(&window());
    options.Close();
    EXPECT_TRUE(pt::isActive(window())) << "a window that was not in front takes nothing";
}

// The window in front opens a real dialog, which is closed with a key; the keyboard must come
// back to that window, also when the toolkit had not made it the active one again yet (as
// without a window manager, right after an earlier dialog).
struct DialogCase {
    std::string_view name;
    std::string_view key;
    std::function<Window&(main&)> front;
    std::function<void(Window&)> open;
};

std::ostream& operator<<(std::ostream& os, const DialogCase& c) {
    return os << c.name;
}

class AfterADialog : public DesktopTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(AfterADialog, TheKeyboardIsBackWithTheWindowInFront) {
    const DialogCase& c = GetParam();
    Window& front = c.front(window());
    pt::activate(&front);
    pt::activate(nullptr);
    pt::closeRealDialogsWith(std::string(c.key));
    c.open(front);
    EXPECT_EQ(pt::realDialogOwners(), std::vector<std::string>{front.Title()});
    pt::closeRealDialogsWith(std::nullopt);
    EXPECT_TRUE(pt::isActive(front));
}

Window& mainWindow(main& w) {
    return w;
}
Window& optionsWindow(main& w) {
    pt::click(*w.PushButton3());
    return WIopt::instance();
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AfterADialog,
    ::testing::Values(
        DialogCase{
            "MessageClosedWithReturn", "Return", mainWindow,
            [](Window&) { MsgBox("Nicht genu\xCC\x88gend Speicher oder unbekanntes Format! "); }},
        DialogCase{"OpenDialogCancelledWithEscape", "Escape", mainWindow,
                   [](Window& w) { w.chooseMenuItem("FiLoad"); }},
        DialogCase{"OpenDialogFromTheOptionsWindow", "Escape", optionsWindow,
                   [](Window& w) { pt::click(*static_cast<WIopt&>(w).BevelButton1()); }},
        DialogCase{"SaveDialogCancelledWithEscape", "Escape", mainWindow,
                   [](Window& w) { w.chooseMenuItem("FIsave"); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace planora::test
