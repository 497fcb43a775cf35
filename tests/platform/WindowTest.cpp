#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Testing.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace planora {
namespace {

// A small window with one control of most kinds and two radio arrays.
class Probe : public Window {
public:
    static Probe& instance() { return Window::instance<Probe>("Probe.Probe"); }

    int opened = 0, closed = 0, pressed = 0, typed = 0, leftField = 0, painted = 0;
    Probe* seenFromOpen = nullptr;
    std::int64_t lastRadio = 0;
    bool throwOnPress = false;

    void Go_Action(PushButton&) {
        ++pressed;
        if (throwOnPress)
            throw std::runtime_error("broken handler");
    }
    void Field_TextChange(EditField&) { ++typed; }
    void Field_LostFocus(EditField&) { ++leftField; }
    void Pair_Action(RadioButton& sender) { lastRadio = sender.Index(); }
    void Area_Paint(Canvas&, Graphics& g) {
        ++painted;
        g.ForeColor(RGB(255, 0, 0));
        g.FillRect(0, 0, 2, 2);
    }

protected:
    void Layout() override { apply({.title = "Probe", .width = 200, .height = 120}); }
    void CreateControls() override {
        // clang-format off
        static constexpr ControlSpec kControls[] = {
            {.kind = ControlKind::EditField,   .name = "Field",            .rect = { 0,  0, 80, 20}, .text = "start", .tab = 0},
            {.kind = ControlKind::EditField,   .name = "Other",            .rect = { 0, 22, 80, 20},                  .tab = 1},
            {.kind = ControlKind::PushButton,  .name = "Go",               .rect = {90,  0, 60, 20}, .text = "Go",    .tab = 2, .isDefault = true},
            {.kind = ControlKind::RadioButton, .name = "Pair",  .index = 1, .rect = { 0, 50, 60, 20}, .text = "a",     .tab = 3},
            {.kind = ControlKind::RadioButton, .name = "Pair",  .index = 2, .rect = { 0, 70, 60, 20}, .text = "b",     .tab = 4, .value = true},
            {.kind = ControlKind::RadioButton, .name = "Kind",  .index = 1, .rect = {70, 50, 60, 20}, .text = "c",     .tab = 5, .value = true},
            {.kind = ControlKind::RadioButton, .name = "Kind",  .index = 2, .rect = {70, 70, 60, 20}, .text = "d",     .tab = 6},
            {.kind = ControlKind::Canvas,      .name = "Area",             .rect = {150, 50, 10, 10},                 .tab = 7},
        };
        // clang-format on
        createControls(kControls);
        bind("Go", Event::Action, &Probe::Go_Action);
        bind("Field", Event::TextChange, &Probe::Field_TextChange);
        bind("Field", Event::LostFocus, &Probe::Field_LostFocus);
        bind("Pair", Event::Action, &Probe::Pair_Action);
        bindPaint("Area", &Probe::Area_Paint);
    }
    void Event_Open() override {
        ++opened;
        seenFromOpen = &instance();
    }
    void Event_Close() override { ++closed; }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { testing::resetRuntime(); }
    void TearDown() override { testing::resetRuntime(); }
};

TEST_F(WindowTest, TheAccessorBuildsOneInstanceAndFindsItFromItsOwnOpenEvent) {
    Probe& w = Probe::instance();
    EXPECT_EQ(&Probe::instance(), &w);
    EXPECT_EQ(w.opened, 1);
    EXPECT_EQ(w.seenFromOpen, &w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Window::find("Probe.Probe").raw(), &w);
    EXPECT_EQ(w.Width(), 200);
    EXPECT_EQ(w.Height(), 120);
}

TEST_F(WindowTest, AClosedWindowIsGoneAndTheNextAccessBuildsAFreshOne) {
    Probe& first = Probe::instance();
    first.control<EditField>("Field")->Text("changed");
    first.Close();
    EXPECT_EQ(first.closed, 1); // the object lives on until the handler returns
    EXPECT_TRUE(Window::find("Probe.Probe").isNil());
    testing::processEvents();
    Probe& second = Probe::instance();
    EXPECT_EQ(second.opened, 1);
    EXPECT_EQ(second.control<EditField>("Field")->Text(), "start");
}

TEST_F(WindowTest, ControlsAreFoundByNameAndIndexAndNilOtherwise) {
    Probe& w = Probe::instance();
    EXPECT_EQ(w.control<RadioButton>("Pair", 1)->Index(), 1);
    EXPECT_EQ(w.control<RadioButton>("Pair", 2)->Caption(), "b");
    EXPECT_TRUE(w.control<RadioButton>("Pair", 0).isNil());
    EXPECT_TRUE(w.control<RadioButton>("Pair", 3).isNil());
    EXPECT_TRUE(w.control<Canvas>("Go").isNil()); // another class
    EXPECT_THROW(w.control<EditField>("Missing")->Text(), NilObjectException);
}

TEST_F(WindowTest, RadioArraysAreSeparateExclusiveGroups) {
    Probe& w = Probe::instance();
    auto pair = [&](int i) { return w.control<RadioButton>("Pair", i); };
    auto kind = [&](int i) { return w.control<RadioButton>("Kind", i); };
    pair(1)->Value(true);
    EXPECT_TRUE(pair(1)->Value());
    EXPECT_FALSE(pair(2)->Value());
    EXPECT_TRUE(kind(1)->Value()); // the other array keeps its selection
    kind(2)->Value(true);
    EXPECT_FALSE(kind(1)->Value());
    EXPECT_TRUE(pair(1)->Value());
    // A selection can also be taken back, leaving the group without one.
    kind(2)->Value(false);
    EXPECT_FALSE(kind(1)->Value());
    EXPECT_FALSE(kind(2)->Value());
    EXPECT_EQ(w.lastRadio, 0); // selections by code raise nothing
    testing::click(*pair(2));
    EXPECT_EQ(w.lastRadio, 2);
    EXPECT_TRUE(pair(2)->Value());
    EXPECT_FALSE(pair(1)->Value());
}

TEST_F(WindowTest, ReturnPressesTheDefaultButtonAlsoFromAnEditFieldAndEscapeNothing) {
    Probe& w = Probe::instance();
    w.control<EditField>("Field")->setFocus();
    testing::pressKey(w, "Return");
    EXPECT_EQ(w.pressed, 1);
    testing::pressKey(w, "Escape");
    EXPECT_EQ(w.pressed, 1);
    w.control<PushButton>("Go")->Enabled(false);
    testing::pressKey(w, "Return");
    EXPECT_EQ(w.pressed, 1);
}

TEST_F(WindowTest, TypingRaisesTextChangeAndLeavingTheFieldLostFocusButCodeRaisesNothing) {
    Probe& w = Probe::instance();
    auto field = w.control<EditField>("Field");
    field->Text("by code");
    EXPECT_EQ(w.typed, 0);
    field->Text("");
    testing::typeText(*field, "12");
    EXPECT_EQ(field->Text(), "12");
    EXPECT_EQ(w.typed, 2);
    EXPECT_EQ(w.leftField, 0);
    testing::focusNext(w);
    EXPECT_EQ(w.leftField, 1);
}

TEST_F(WindowTest, AnExceptionFromAHandlerIsReportedAndTheProgramGoesOn) {
    Probe& w = Probe::instance();
    w.throwOnPress = true;
    w.control<PushButton>("Go")->push();
    ASSERT_EQ(testing::messages().size(), 1u);
    EXPECT_NE(testing::messages()[0].find("broken handler"), std::string::npos);
    w.throwOnPress = false;
    w.control<PushButton>("Go")->push();
    EXPECT_EQ(w.pressed, 2);
}

TEST_F(WindowTest, ACanvasShowsItsBackdropThenWhatItsPaintHandlerDraws) {
    Probe& w = Probe::instance();
    Picture backdrop(10, 10);
    backdrop.graphics().ForeColor(RGB(0, 0, 255));
    backdrop.graphics().FillRect(0, 0, 10, 10);
    auto area = w.control<Canvas>("Area");
    area->Backdrop(backdrop);
    Picture shown = testing::grab(*area);
    EXPECT_GE(w.painted, 1);
    EXPECT_EQ(shown.graphics().Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(shown.graphics().Pixel(5, 5), RGB(0, 0, 255));
    // Later drawing into the same picture shows at the next paint.
    backdrop.graphics().ForeColor(RGB(0, 255, 0));
    backdrop.graphics().FillRect(0, 0, 10, 10);
    area->Backdrop(backdrop);
    EXPECT_EQ(testing::grab(*area).graphics().Pixel(5, 5), RGB(0, 255, 0));
}

TEST_F(WindowTest, QuitBeforeTheEventLoopEndsTheRunAtOnceWithItsCode) {
    Quit(3);
    EXPECT_EQ(testing::quitCode(), 3);
    EXPECT_EQ(RuntimeRun(), 3);
}

} // namespace
} // namespace planora
