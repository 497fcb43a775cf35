#include "support/Program.h"
#include "ui/MenuBar1.h"
#include "ui/WIInfo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace planora::test {
namespace {

using planora::testing::quitCode;

enum class Class { Item, Quit, Apple };

Class classOf(const MenuItem& item) {
    if (dynamic_cast<const QuitMenuItem*>(&item))
        return Class::Quit;
    if (dynamic_cast<const AppleMenuItem*>(&item))
        return Class::Apple;
    return Class::Item;
}

struct ItemRow {
    std::string_view name;
    Class cls;
    std::string_view text;
    std::string_view shortcut;
};

// clang-format off
constexpr ItemRow kBar[] = {
    {"UntitledMenu1", Class::Item, "",      ""},
    {"FileMenu",      Class::Item, "&File", ""},
    {"UntitledMenu2", Class::Item, "",      ""},
};
constexpr ItemRow kFileMenu[] = {
    {"FiLoad",        Class::Item,  "Bild laden",               "Cmd+O"},
    {"FIsave",        Class::Item,  "Bild speichern",           "Cmd+S"},
    {"UntitledMenu0", Class::Item,  "-",                        ""},
    {"FileQuit",      Class::Quit,  "Quit",                     "Cmd+Q"},
    {"UntitledMenu4", Class::Item,  "",                         ""},
    {"Ueber",         Class::Apple, "\xC3\x9C" "ber Planora...", "Cmd+I"},
    {"UntitledMenu3", Class::Apple, "",                         ""},
};
// clang-format on

void expectItems(const MenuItem& parent, std::span<const ItemRow> rows) {
    ASSERT_EQ(parent.Count(), rows.size()) << parent.Name;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MenuItem& item = parent.Item(i);
        const ItemRow& row = rows[i];
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(item.Name, row.name);
        EXPECT_EQ(classOf(item), row.cls);
        EXPECT_EQ(item.Text, row.text);
        EXPECT_EQ(item.Shortcut, row.shortcut);
        EXPECT_TRUE(item.AutoEnabled);
        EXPECT_TRUE(item.Visible);
        if (item.Name != "FileMenu") {
            EXPECT_EQ(item.Count(), 0u);
        }
    }
}

using MenuBarTest = ProgramTest;

TEST_F(MenuBarTest, TheAccessorBuildsOneBarThatTheApplicationAndTheMainWindowShare) {
    MenuBar1& bar = MenuBar1::instance();
    EXPECT_EQ(&MenuBar1::instance(), &bar);
    EXPECT_EQ(bar.Count(), 3u) << "a later call must build nothing more";
    EXPECT_EQ(app().MenuBar(), &bar);
    EXPECT_EQ(window().MenuBar(), &bar);
}

TEST_F(MenuBarTest, HoldsTheItemTreeInOrder) {
    const MenuBar1& bar = MenuBar1::instance();
    expectItems(bar, kBar);
    ASSERT_NE(bar.Child("FileMenu"), nullptr);
    expectItems(*bar.Child("FileMenu"), kFileMenu);
}

TEST_F(MenuBarTest, TheMainWindowFindsEveryItemByItsAccessor) {
    main& w = window();
    const std::pair<const MenuItem*, std::string_view> found[] = {
        {w.UntitledMenu2().raw(), "UntitledMenu2"},
        {w.FileMenu().raw(), "FileMenu"},
        {w.UntitledMenu3().raw(), "UntitledMenu3"},
        {w.Ueber().raw(), "Ueber"},
        {w.UntitledMenu4().raw(), "UntitledMenu4"},
        {w.FileQuit().raw(), "FileQuit"},
        {w.UntitledMenu0().raw(), "UntitledMenu0"},
        {w.FIsave().raw(), "FIsave"},
        {w.FiLoad().raw(), "FiLoad"},
        {w.UntitledMenu1().raw(), "UntitledMenu1"},
    };
    for (const auto& [item, name] : found) {
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->Name, name);
    }
}

TEST_F(MenuBarTest, ShowsOnlyEntriesWithTextAndMapsCmdToTheStandardModifier) {
    const std::vector<std::string> expected = {
        "&File",
        "  Bild laden\tCtrl+O",
        "  Bild speichern\tCtrl+S",
        "  -",
        "  Quit\tCtrl+Q",
        "  \xC3\x9C"
        "ber Planora...\tCtrl+I",
    };
    EXPECT_EQ(planora::testing::shownMenus(window()), expected);
}

TEST_F(MenuBarTest, TheMenuBarSitsAboveTheContentAreaWhichKeepsItsSize) {
    main& w = window();
    EXPECT_EQ(w.Width(), 760);
    EXPECT_EQ(w.Height(), 330);
    const Picture shown = planora::testing::grab(w);
    EXPECT_EQ(shown.Width(), 760);
    EXPECT_GT(shown.Height(), 330) << "the menu bar adds its own height";
    EXPECT_EQ(w.CAquell()->Left(), 140);
    EXPECT_EQ(w.CAquell()->Top(), 20);
}

TEST_F(MenuBarTest, OnlyTheMainWindowHandlesTheFourCommands) {
    const std::string_view handled[] = {"FiLoad", "FIsave", "Ueber", "FileQuit"};
    for (std::string_view name : handled)
        EXPECT_TRUE(window().hasMenuHandler(name)) << name;
    WIInfo& info = WIInfo::instance();
    for (std::string_view name : handled)
        EXPECT_FALSE(info.hasMenuHandler(name)) << name;
}

TEST_F(MenuBarTest, AnItemWithoutAHandlerRunsNoProgramCode) {
    const std::string_view unhandled[] = {"UntitledMenu1", "FileMenu",      "UntitledMenu0",
                                          "UntitledMenu4", "UntitledMenu3", "UntitledMenu2"};
    for (std::string_view name : unhandled) {
        SCOPED_TRACE(std::string(name));
        EXPECT_FALSE(window().hasMenuHandler(name));
        EXPECT_FALSE(window().chooseMenuItem(name));
    }
    EXPECT_EQ(Window::openWindows().size(), 1u);
    EXPECT_FALSE(quitCode().has_value());
    EXPECT_EQ(planora::testing::unscriptedDialogs(), 0);
    EXPECT_TRUE(planora::testing::messages().empty());
}

std::vector<std::uint32_t> pixelsOf(const Picture& p) {
    std::vector<std::uint32_t> all;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        all.insert(all.end(), p.constRow(y), p.constRow(y) + p.Width());
    return all;
}

TEST_F(MenuBarTest, CancellingBildLadenKeepsBothPicturesAndShowsTheSourceAgain) {
    const Picture qbild = app().qbild;
    const Picture zbild = app().zbild;
    const auto qBefore = pixelsOf(qbild);
    const auto zBefore = pixelsOf(zbild);
    // Take the backdrop away, so that showing the source again can be seen.
    window().CAquell()->Backdrop(Picture());

    planora::testing::answerNextOpenDialog(std::nullopt);
    EXPECT_TRUE(window().chooseMenuItem("FiLoad"));

    EXPECT_TRUE(app().qbild.sameAs(qbild));
    EXPECT_TRUE(app().zbild.sameAs(zbild));
    EXPECT_EQ(pixelsOf(app().qbild), qBefore);
    EXPECT_EQ(pixelsOf(app().zbild), zBefore);
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(qbild));
    EXPECT_TRUE(planora::testing::messages().empty());
}

TEST_F(MenuBarTest, UeberTwiceShowsOneInfoWindow) {
    EXPECT_TRUE(window().chooseMenuItem("Ueber"));
    const Ptr<Window> first = Window::find("WIInfo.WIInfo");
    ASSERT_FALSE(first.isNil());
    EXPECT_TRUE(first->isVisible());

    EXPECT_TRUE(window().chooseMenuItem("Ueber"));
    EXPECT_EQ(Window::find("WIInfo.WIInfo"), first);
    EXPECT_EQ(Window::openWindows().size(), 2u);
}

TEST_F(MenuBarTest, QuitEndsTheRunWithCodeZero) {
    EXPECT_TRUE(window().chooseMenuItem("FileQuit"));
    EXPECT_EQ(quitCode(), 0);
}

// The effects of the main window's commands when they come from the keyboard.
TEST_F(MenuBarTest, ShortcutsReachTheMainWindowsHandlers) {
    window().CAquell()->Backdrop(Picture());
    planora::testing::answerNextOpenDialog(std::nullopt);
    planora::testing::pressKey(window(), "Ctrl+O");
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(app().qbild)) << "Ctrl+O";

    planora::testing::pressKey(window(), "Ctrl+I");
    EXPECT_FALSE(Window::find("WIInfo.WIInfo").isNil()) << "Ctrl+I";

    EXPECT_FALSE(quitCode().has_value());
    planora::testing::pressKey(window(), "Ctrl+Q");
    EXPECT_EQ(quitCode(), 0) << "Ctrl+Q";
}

// A window of its own that shows the same bar and records which item each key chooses.
class RecordingWindow : public Window {
public:
    std::vector<std::string> chosen;

protected:
    void Layout() override {
        Window::MenuBar(MenuBar1::instance());
        apply({.title = "Recorder", .width = 100, .height = 100});
    }
    void AddMenuHandlers() override {
        addMenuHandler("FiLoad", &RecordingWindow::load);
        addMenuHandler("FIsave", &RecordingWindow::save);
        addMenuHandler("FileQuit", &RecordingWindow::quit);
        addMenuHandler("Ueber", &RecordingWindow::about);
    }

private:
    bool load() { return record("FiLoad"); }
    bool save() { return record("FIsave"); }
    bool quit() { return record("FileQuit"); }
    bool about() { return record("Ueber"); }
    bool record(std::string name) {
        chosen.push_back(std::move(name));
        return false;
    }
};

TEST_F(MenuBarTest, EachShortcutChoosesItsOwnItem) {
    struct Row {
        std::string_view key;
        std::vector<std::string> chosen;
    };
    const Row rows[] = {
        {"Ctrl+O", {"FiLoad"}}, {"Ctrl+S", {"FIsave"}}, {"Ctrl+Q", {"FileQuit"}},
        {"Ctrl+I", {"Ueber"}},  {"Ctrl+P", {}},         {"O", {}},
    };
    auto& recorder = Window::instance<RecordingWindow>("MenuBarTest.RecordingWindow");
    for (const Row& row : rows) {
        recorder.chosen.clear();
        planora::testing::pressKey(recorder, std::string(row.key));
        EXPECT_EQ(recorder.chosen, row.chosen) << row.key;
    }
}

} // namespace
} // namespace planora::test
