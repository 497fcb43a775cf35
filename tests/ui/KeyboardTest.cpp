#include "platform/Testing.h"
#include "support/Program.h"
#include "ui/WIInfo.h"
#include "ui/WIopt.h"

#include <string>
#include <vector>

namespace planora::test {
namespace {

namespace pt = planora::testing;

// The control of the window that has the keyboard focus, as "Name" or "Name(index)".
std::string focused(const Window& w) {
    for (const auto& c : w.controls())
        if (c->hasFocus()) {
            std::string name = c->Name();
            if (c->Index() != 0)
                name.append("(").append(std::to_string(c->Index())).append(")");
            return name;
        }
    return "nothing";
}

// Where the focus goes from the focused control with each press of the key, once round.
std::vector<std::string> walk(Window& w, const std::string& key, std::size_t presses) {
    std::vector<std::string> stops;
    for (std::size_t i = 0; i < presses; ++i) {
        pt::pressKey(w, key);
        stops.push_back(focused(w));
    }
    return stops;
}

std::vector<std::string> reversed(std::vector<std::string> stops) {
    return {stops.rbegin(), stops.rend()};
}

class KeyboardTest : public ProgramTest {
protected:
    WIopt& options() {
        window().PushButton3()->push();
        return WIopt::instance();
    }
};

TEST_F(KeyboardTest, TabAndShiftTabWalkTheMainWindowInTabIndexOrder) {
    main& w = window();
    w.TEMat(1)->setFocus();
    const std::vector<std::string> round = {"TEMat(2)",    "TEMat(3)",    "TEMat(4)",
                                            "PushButton2", "PushButton3", "TEMat(1)"};
    EXPECT_EQ(walk(w, "Tab", round.size()), round);
    // Backwards from TEMat(1): the same stops in the opposite order.
    std::vector<std::string> back = reversed(round);
    back.erase(back.begin());
    back.push_back("TEMat(1)");
    EXPECT_EQ(walk(w, "Shift+Tab", back.size()), back);
}

TEST_F(KeyboardTest, EachRadioArrayIsOneStopOnItsSelectedMember) {
    app().achsen(true); // the axis kinds take the focus only while enabled
    WIopt& w = options();
    w.RBachsen(2)->Value(true);
    w.CBoverlay()->setFocus();
    const std::vector<std::string> round = {"EFox",        "EFoy",     "CBAchsen", "RBachsen(2)",
                                            "PushButton1", "RBber(2)", "CBoverlay"};
    EXPECT_EQ(walk(w, "Tab", round.size()), round);
    std::vector<std::string> back = reversed(round);
    back.erase(back.begin());
    back.push_back("CBoverlay");
    EXPECT_EQ(walk(w, "Shift+Tab", back.size()), back);

    // The stop follows the selection.
    w.RBber(1)->Value(true);
    w.PushButton1()->setFocus();
    EXPECT_EQ(walk(w, "Tab", 1), std::vector<std::string>{"RBber(1)"});
}

TEST_F(KeyboardTest, ArrowKeysSelectWithinTheRadioArrayOnly) {
    WIopt& w = options();
    ASSERT_TRUE(w.RBber(2)->Value());
    w.CBoverlay()->setFocus();
    pt::pressKey(w, "Shift+Tab");
    ASSERT_EQ(focused(w), "RBber(2)");
    pt::pressKey(w, "Up");
    EXPECT_EQ(focused(w), "RBber(1)");
    EXPECT_TRUE(w.RBber(1)->Value());
    EXPECT_FALSE(app().berInvers);
    pt::pressKey(w, "Down");
    EXPECT_EQ(focused(w), "RBber(2)");
    EXPECT_TRUE(app().berInvers);
}

TEST_F(KeyboardTest, WithTheAxesOffTheirKindsAreNoStop) {
    WIopt& w = options();
    w.CBAchsen()->setFocus();
    EXPECT_EQ(walk(w, "Tab", 1), std::vector<std::string>{"PushButton1"});
    EXPECT_EQ(walk(w, "Shift+Tab", 1), std::vector<std::string>{"CBAchsen"});
}

TEST_F(KeyboardTest, TheInfoWindowsOnlyStopIsOk) {
    window().chooseMenuItem("Ueber");
    WIInfo& w = WIInfo::instance();
    w.PushButton1()->setFocus();
    EXPECT_EQ(walk(w, "Tab", 2), (std::vector<std::string>{"PushButton1", "PushButton1"}));
    EXPECT_EQ(walk(w, "Shift+Tab", 1), std::vector<std::string>{"PushButton1"});
}

TEST_F(KeyboardTest, EscapePressesNoButtonAndClosesNoWindow) {
    WIopt& options = this->options();
    window().chooseMenuItem("Ueber");
    WIInfo& info = WIInfo::instance();
    window().TEMat(1)->setFocus();
    pt::pressKey(window(), "Escape");
    EXPECT_FALSE(app().berechnet);
    options.PushButton1()->setFocus();
    pt::pressKey(options, "Escape");
    pt::pressKey(info, "Escape");
    pt::processEvents();
    EXPECT_FALSE(Window::find("WIopt.WIopt").isNil());
    EXPECT_FALSE(Window::find("WIInfo.WIInfo").isNil());
    EXPECT_TRUE(options.isVisible());
    EXPECT_TRUE(info.isVisible());
}

} // namespace
} // namespace planora::test
