#include "platform/Window.h"
#include "support/LoadedLibraries.h"
#include "support/Program.h"

#include <vector>

namespace planora::test {
namespace {

using StartupTest = ProgramTest;

TEST_F(StartupTest, RegistersTheApplicationObjectWithItsVersionData) {
    const App& a = app();
    EXPECT_EQ(a.MajorVersion(), 2);
    EXPECT_EQ(a.MinorVersion(), 5);
    EXPECT_EQ(a.BugVersion(), 0);
    EXPECT_EQ(a.NonReleaseVersion(), 0);
    EXPECT_EQ(a.StageCode(), 3);
    EXPECT_EQ(a.LongVersion(), "Version 2.0");
    EXPECT_EQ(a.ShortVersion(), "v2.0");
    EXPECT_EQ(a.PackageInfo(), "");
    EXPECT_TRUE(Application::SupportsHiDPI());
}

TEST_F(StartupTest, OpensTheMainWindowWithTheIdentityMatrix) {
    main& w = window();
    EXPECT_EQ(w.Title(), "Planora");
    EXPECT_EQ(w.Width(), 760);
    EXPECT_EQ(w.Height(), 330);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Window::openWindows().size(), 1u);
    // Never the layout's "-8.8".
    const char* expected[] = {"1", "0", "0", "1"};
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(w.TEMat(i)->Text(), expected[i - 1]) << "TEMat(" << i << ")";
    EXPECT_TRUE(w.TEMat(0).isNil());
    EXPECT_TRUE(w.TEMat(5).isNil());
}

TEST_F(StartupTest, InitialisesTheModelToItsDefaults) {
    const App& a = app();
    EXPECT_FALSE(a.berechnet);
    EXPECT_EQ(a.ox, 150);
    EXPECT_EQ(a.oy, 150);
    EXPECT_TRUE(a.berInvers);
    EXPECT_FALSE(a.achsen());
    EXPECT_FALSE(a.overlay);
    EXPECT_FALSE(a.winoptvis);
    EXPECT_EQ(a.achsenart, 1);
    EXPECT_EQ(a.vorlageEule, 1);
    for (const Picture* p : {&a.qbild, &a.zbild, &a.obild}) {
        ASSERT_FALSE(p->isNil());
        EXPECT_EQ(p->Width(), 300);
        EXPECT_EQ(p->Height(), 300);
        EXPECT_EQ(p->Depth(), 16);
    }
    EXPECT_FALSE(a.qbild.sameAs(a.zbild));
    EXPECT_FALSE(a.zbild.sameAs(a.obild));
}

TEST_F(StartupTest, ShowsSourceAndTargetInTheirCanvases) {
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(app().qbild));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(app().zbild));
    EXPECT_TRUE(window().CAziel()->Visible());
    EXPECT_FALSE(window().TEoverinfo()->Visible());
}

// The shipped pictures are JPEG files read by the platform itself, and the toolkit's own
// icons are drawn, so starting needs none of the toolkit's image-format plugins.
TEST_F(StartupTest, LoadsNoImageFormatPlugin) {
    if (::testing::UnitTest::GetInstance()->test_to_run_count() > 1)
        GTEST_SKIP() << "needs a process of its own: an earlier test may have loaded a plugin";
    planora::testing::processEvents();
    EXPECT_FALSE(anImageFormatPluginIsLoaded());
}

TEST_F(StartupTest, TheLayoutPlacesEveryControl) {
    struct Place {
        const char* name;
        std::int64_t index;
        Bounds rect;
    };
    const Place places[] = {
        {"CAquell", 0, {140, 20, 300, 300}},   {"TEMat", 1, {8, 20, 60, 40}},
        {"TEMat", 2, {70, 20, 60, 40}},        {"TEMat", 3, {8, 62, 60, 40}},
        {"TEMat", 4, {70, 62, 60, 40}},        {"PushButton2", 0, {8, 137, 122, 20}},
        {"PushButton3", 0, {32, 297, 81, 20}}, {"CAziel", 0, {450, 20, 300, 300}},
        {"Label1", 0, {8, 97, 100, 20}},       {"TEoverinfo", 0, {13, 169, 100, 26}},
    };
    for (const Place& p : places) {
        auto c = window().control(p.name, p.index);
        ASSERT_FALSE(c.isNil()) << p.name;
        EXPECT_EQ(c->Left(), p.rect.left) << p.name;
        EXPECT_EQ(c->Top(), p.rect.top) << p.name;
        EXPECT_EQ(c->Width(), p.rect.width) << p.name;
        EXPECT_EQ(c->Height(), p.rect.height) << p.name;
    }
    EXPECT_EQ(window().PushButton2()->Caption(), "Transformieren");
    EXPECT_TRUE(window().PushButton2()->Default());
    EXPECT_FALSE(window().PushButton3()->Default());
    EXPECT_EQ(window().Label1()->Text(), "Eingabe mit Punkt!");
    EXPECT_EQ(window().TEoverinfo()->Text(), "Original: Blau\rTransformation: Rot");
    EXPECT_EQ(window().TEoverinfo()->Text().size(), 34u);
}

TEST_F(StartupTest, TheMatrixFieldsTakeTheFocusInOrderAndTheCanvasesNever) {
    main& w = window();
    w.TEMat(1)->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i) {
        for (const auto& c : w.controls())
            if (c->hasFocus())
                order.push_back(c->Name() + (c->Index() ? std::to_string(c->Index()) : ""));
        planora::testing::focusNext(w);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"TEMat1", "TEMat2", "TEMat3", "TEMat4",
                                               "PushButton2", "PushButton3"}));
}

TEST_F(StartupTest, ClosingTheMainWindowEndsTheRunWithExitCodeZero) {
    window().Close();
    EXPECT_EQ(planora::testing::quitCode(), 0);
    EXPECT_EQ(RuntimeRun(), 0);
}

TEST(StartupOrder, TheApplicationObjectExistsBeforeAnyWindow) {
    planora::testing::resetRuntime();
    EarlyStartup();
    EXPECT_FALSE(RegisteredApp().isNil());
    EXPECT_TRUE(Window::openWindows().empty());
    EXPECT_TRUE(App::instance().qbild.isNil()); // the model waits for the main window
    RunFrameworkInitialization(&LateStartup);
    EXPECT_FALSE(App::instance().qbild.isNil());
    planora::testing::resetRuntime();
}

} // namespace
} // namespace planora::test
