#include "core/Resources.h"
#include "platform/Resources.h"
#include "support/Program.h"
#include "support/TempDir.h"
#include "ui/WIInfo.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace planora::test {
namespace {

namespace fs = std::filesystem;
using planora::testing::processEvents;

Ptr<Window> openInfo() {
    return Window::find("WIInfo.WIInfo");
}

struct ControlRow {
    std::string_view name;
    ControlKind kind;
    std::int64_t left, top, width, height;
    std::string_view text;
};

// clang-format off
constexpr ControlRow kControls[] = {
    {"PushButton1", ControlKind::PushButton,  85, 281,  69,  20, "OK"},
    {"ImageWell1",  ControlKind::ImageWell,   39,  58, 160, 160, ""},
    {"Canvas1",     ControlKind::Canvas,       0,   0, 100,  50, ""},
    {"Label1",      ControlKind::Label,       57, 301, 174,  20, "Lineare Abbildungen der Ebene"},
    {"Label2",      ControlKind::Label,       69, 254, 100,  20, "Version 2.5"},
    {"Label3",      ControlKind::Label,       69, 230, 100,  20, "Planora"},
};
// clang-format on

std::string textOf(const Control& c) {
    if (auto* button = dynamic_cast<const PushButton*>(&c))
        return button->Caption();
    if (auto* label = dynamic_cast<const Label*>(&c))
        return label->Text();
    return "";
}

// The window, its six controls and its pictures, as every freshly built info window has them.
void expectInfoWindow(const WIInfo& info) {
    EXPECT_EQ(info.Title(), "Info");
    EXPECT_EQ(info.Width(), 238);
    EXPECT_EQ(info.Height(), 321);
    EXPECT_TRUE(info.isVisible());
    ASSERT_EQ(info.controls().size(), std::size(kControls));
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        const ControlRow& row = kControls[i];
        SCOPED_TRACE(std::string(row.name));
        const Control& c = *info.controls()[i];
        EXPECT_EQ(c.Name(), row.name) << "creation order";
        EXPECT_EQ(c.kind(), row.kind);
        EXPECT_EQ(c.Left(), row.left);
        EXPECT_EQ(c.Top(), row.top);
        EXPECT_EQ(c.Width(), row.width);
        EXPECT_EQ(c.Height(), row.height);
        EXPECT_EQ(textOf(c), row.text);
        EXPECT_TRUE(c.Visible());
        EXPECT_TRUE(c.Enabled());
    }
    EXPECT_TRUE(info.PushButton1()->Default());
}

using InfoWindowTest = ProgramTest;

TEST_F(InfoWindowTest, ShowsLogoBannerNameVersionAndNoticeOnWhite) {
    EXPECT_FALSE(window().Ueber_Action());
    const WIInfo& info = WIInfo::instance();
    expectInfoWindow(info);
    EXPECT_TRUE(info.ImageWell1()->Image().sameAs(LogoPlanora()));
    EXPECT_TRUE(info.Canvas1()->Backdrop().sameAs(mathematikbrenvik100px()));
    EXPECT_FALSE(info.ImageWell1()->Image().isNil());

    // Beside the logo and beside the banner the window's own colour shows.
    const Picture shown = planora::testing::grab(info);
    for (const auto& [x, y] : {std::pair{10, 120}, std::pair{220, 20}, std::pair{5, 300}})
        EXPECT_EQ(shown.graphics().Pixel(x, y), RGB(255, 255, 255)) << x << ", " << y;

    // The notice is right-aligned on one line and must not run out at the left end.
    const Picture notice = planora::testing::grab(*info.Label1());
    for (std::int64_t y = 0; y < notice.Height(); ++y)
        EXPECT_EQ(notice.graphics().Pixel(0, y), RGB(255, 255, 255)) << "row " << y;
}

TEST_F(InfoWindowTest, ASecondUeberShowsTheSameWindow) {
    window().Ueber_Action();
    const Ptr<Window> first = openInfo();
    window().Ueber_Action();
    EXPECT_EQ(openInfo(), first);
    EXPECT_EQ(Window::openWindows().size(), 2u);
}

struct CloseRow {
    std::string_view name;
    std::function<void(WIInfo&)> close;
};

void PrintTo(const CloseRow& row, std::ostream* os) {
    *os << row.name;
}

class InfoWindowCloseTest : public ProgramTest, public ::testing::WithParamInterface<CloseRow> {};

TEST_P(InfoWindowCloseTest, TheNextUeberBuildsAFreshWindowFromTheCachedPictures) {
    window().Ueber_Action();
    GetParam().close(WIInfo::instance());
    EXPECT_TRUE(openInfo().isNil()) << "closed at once, deleted later";
    processEvents();
    EXPECT_TRUE(openInfo().isNil());
    EXPECT_TRUE(window().isVisible()) << "the main window stays";
    EXPECT_FALSE(planora::testing::quitCode().has_value());

    planora::testing::resetResourceLoads();
    window().Ueber_Action();
    ASSERT_FALSE(openInfo().isNil());
    expectInfoWindow(WIInfo::instance());
    EXPECT_TRUE(WIInfo::instance().ImageWell1()->Image().sameAs(LogoPlanora()));
    EXPECT_EQ(planora::testing::resourceLoads(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Closing, InfoWindowCloseTest,
    ::testing::Values(
        CloseRow{"OkButton", [](WIInfo& w) { planora::testing::click(*w.PushButton1()); }},
        CloseRow{"ReturnKey", [](WIInfo& w) { planora::testing::pressKey(w, "Return"); }},
        CloseRow{"CloseBox", [](WIInfo& w) { w.handleClose(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The resource folder holds every picture but the two of the info window.
class InfoWindowWithoutPicturesTest : public ProgramTest {
protected:
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(planora::resourceFolder())) {
            const std::string name = entry.path().filename().string();
            if (name != "LogoPlanora.jpg" && name != "mathematikbrenvik-100px.jpg")
                fs::copy_file(entry.path(), folder_.path() / name);
        }
        planora::testing::setResourceFolder(folder_.path().string());
        ProgramTest::SetUp();
    }
    void TearDown() override {
        ProgramTest::TearDown();
        planora::testing::setResourceFolder(std::nullopt);
    }

private:
    TempDir folder_;
};

TEST_F(InfoWindowWithoutPicturesTest, OpensWithAnEmptyWellAndCanvas) {
    window().Ueber_Action();
    ASSERT_FALSE(openInfo().isNil());
    const WIInfo& info = WIInfo::instance();
    EXPECT_TRUE(info.isVisible());
    EXPECT_TRUE(info.ImageWell1()->Image().isNil());
    EXPECT_TRUE(info.Canvas1()->Backdrop().isNil());
    EXPECT_EQ(info.Label3()->Text(), "Planora");
    EXPECT_TRUE(planora::testing::messages().empty());

    const Picture well = planora::testing::grab(*info.ImageWell1());
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{80, 80}, std::pair{159, 159}})
        EXPECT_EQ(well.graphics().Pixel(x, y), RGB(255, 255, 255)) << x << ", " << y;
}

} // namespace
} // namespace planora::test
