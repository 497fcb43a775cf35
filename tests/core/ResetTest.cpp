#include "support/JpegFiles.h"
#include "support/PictureFiles.h"
#include "support/PictureText.h"
#include "support/Program.h"
#include "support/TempDir.h"

namespace planora::test {
namespace {

constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kBlue = RGB(0, 0, 255);
constexpr Color kRed = RGB(255, 0, 0);

// A synthetic template whose every pixel tells its own column and row, so that a pixel of a
// working picture shows which template pixel landed there.
Picture codedTemplate(int width, int height) {
    Picture p(width, height);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            p.graphics().Pixel(c, r, RGB(c % 256, r % 256, 100 + 10 * (c / 256) + r / 256));
    return p;
}

struct Cell {
    int column, row;
    bool operator==(const Cell&) const = default;
};

Cell decode(Color c) {
    const int high = Blue(c) - 100;
    return {Red(c) + 256 * (high / 10), Green(c) + 256 * (high % 10)};
}

Picture solid(int width, int height, Color colour) {
    Picture p(width, height);
    p.graphics().ForeColor(colour);
    p.graphics().FillRect(0, 0, width, height);
    return p;
}

// Boots the program with templates of our own in a resource folder of its own, stored as
// JPEGs that give back every pixel exactly.
class SyntheticTemplates : public ProgramTest {
protected:
    void put(const std::string& name, const Picture& p) {
        writeBytes(folder_.file(name), jpegBytes(p, {.colours = JpegColours::ExactRgb}));
    }
    void boot() {
        planora::testing::setResourceFolder(folder_.path().string());
        ProgramTest::SetUp();
    }
    void SetUp() override {}
    void TearDown() override {
        ProgramTest::TearDown();
        planora::testing::setResourceFolder(std::nullopt);
        forgetLoadedResources();
    }

private:
    TempDir folder_;
};

struct Placement {
    const char* name;
    int width, height;
    int x0, y0;
};

class TemplatePlacement : public SyntheticTemplates,
                          public ::testing::WithParamInterface<Placement> {};

TEST_P(TemplatePlacement, CentresTheTemplateAtItsOwnSizeTruncatingTowardZero) {
    const Placement& p = GetParam();
    put("eulebild.jpg", codedTemplate(p.width, p.height));
    boot();
    const Picture& q = app().qbild;
    const int left = std::max(p.x0, 0), top = std::max(p.y0, 0);
    EXPECT_EQ(decode(q.graphics().Pixel(left, top)), (Cell{left - p.x0, top - p.y0}));
    if (p.x0 > 0) {
        EXPECT_EQ(q.graphics().Pixel(p.x0 - 1, top), kWhite);
    }
    if (p.x0 + p.width < 300) {
        EXPECT_EQ(q.graphics().Pixel(p.x0 + p.width, top), kWhite);
    }
    if (p.y0 > 0) {
        EXPECT_EQ(q.graphics().Pixel(left, p.y0 - 1), kWhite);
    }
    if (p.y0 + p.height < 300) {
        EXPECT_EQ(q.graphics().Pixel(left, p.y0 + p.height), kWhite);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, TemplatePlacement,
                         ::testing::Values(Placement{"w280h200", 280, 200, 10, 50},
                                           Placement{"w299", 299, 299, 0, 0},
                                           Placement{"w301", 301, 301, 0, 0},
                                           Placement{"w303", 303, 303, -1, -1},
                                           Placement{"w400", 400, 250, -50, 25}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyntheticTemplates, OnlyOneSelectsTheOwlAndAnyOtherValueTheLittleOwl) {
    put("eulebild.jpg", codedTemplate(280, 200));  // at (10, 50)
    put("Steinkauz.jpg", codedTemplate(200, 100)); // at (50, 100)
    boot();
    for (std::int64_t choice : {2, 0, -1, 7, 1}) {
        SCOPED_TRACE(choice);
        app().vorlageEule = choice;
        app().reset();
        const Picture& q = app().qbild;
        if (choice == 1) {
            EXPECT_EQ(decode(q.graphics().Pixel(10, 50)), (Cell{0, 0}));
        } else {
            EXPECT_EQ(q.graphics().Pixel(10, 50), kWhite);
            EXPECT_EQ(decode(q.graphics().Pixel(50, 100)), (Cell{0, 0}));
        }
    }
}

// Every field of the model and the matrix texts, to compare before and after.
auto snapshot(const App& a, const main& w) {
    return std::make_tuple(a.ox, a.oy, a.berInvers, a.overlay, a.achsen(), a.achsenart,
                           a.vorlageEule, a.winoptvis, a.berechnet, w.TEMat(1)->Text(),
                           w.TEMat(2)->Text(), w.TEMat(3)->Text(), w.TEMat(4)->Text());
}

TEST_F(SyntheticTemplates, NormalModeDrawsThePlainTemplateIntoSourceAndTargetAndLeavesTheOverlay) {
    put("eulebild.jpg", codedTemplate(280, 200));
    boot();
    App& a = app();
    a.obild.graphics().Pixel(0, 0, RGB(1, 2, 3));
    a.zbild.graphics().Pixel(0, 0, RGB(4, 5, 6));
    a.ox = -7;
    window().TEMat(2)->Text("0.5");
    const auto before = snapshot(a, window());
    const Picture q = a.qbild, z = a.zbild, o = a.obild;

    a.reset();
    EXPECT_TRUE(samePixels(a.qbild, a.zbild));
    EXPECT_EQ(decode(a.zbild.graphics().Pixel(10, 50)), (Cell{0, 0}));
    EXPECT_EQ(a.zbild.graphics().Pixel(0, 0), kWhite);
    EXPECT_EQ(a.obild.graphics().Pixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(snapshot(a, window()), before);
    EXPECT_TRUE(a.qbild.sameAs(q) && a.zbild.sameAs(z) && a.obild.sameAs(o));
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(q));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(z));
}

TEST_F(SyntheticTemplates, OverlayModeDrawsBlueIntoSourceAndTargetAndRedIntoTheOverlay) {
    put("eulebild.jpg", codedTemplate(280, 200));
    put("eulebildB.jpg", solid(280, 200, kBlue));
    put("eulebildR.jpg", solid(280, 200, kRed));
    boot();
    App& a = app();
    a.overlay = true;
    const auto before = snapshot(a, window());
    a.reset();
    EXPECT_EQ(a.qbild.graphics().Pixel(10, 50), kBlue);
    EXPECT_EQ(a.qbild.graphics().Pixel(9, 50), kWhite);
    EXPECT_EQ(a.qbild.graphics().Pixel(289, 249), kBlue);
    EXPECT_EQ(a.qbild.graphics().Pixel(290, 249), kWhite);
    EXPECT_TRUE(samePixels(a.zbild, a.qbild));
    EXPECT_EQ(a.obild.graphics().Pixel(10, 50), kRed);
    EXPECT_EQ(a.obild.graphics().Pixel(289, 249), kRed);
    EXPECT_EQ(a.obild.graphics().Pixel(9, 49), kWhite);
    EXPECT_EQ(snapshot(a, window()), before);
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(a.zbild));
}

TEST_F(SyntheticTemplates, AMissingPlainTemplateFailsBeforeAnythingIsDrawn) {
    put("eulebild.jpg", codedTemplate(280, 200));
    boot();
    App& a = app();
    a.qbild.graphics().Pixel(0, 0, RGB(1, 2, 3));
    a.vorlageEule = 2; // no little owl in this folder
    EXPECT_THROW(a.reset(), NilObjectException);
    EXPECT_EQ(a.qbild.graphics().Pixel(0, 0), RGB(1, 2, 3));
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(a.qbild));
}

TEST_F(SyntheticTemplates, AMissingColourVariantDrawsNothingAndTheRestGoesOn) {
    put("eulebild.jpg", codedTemplate(280, 200));
    put("eulebildR.jpg", solid(280, 200, kRed));
    boot();
    App& a = app();
    a.overlay = true;
    a.reset();
    EXPECT_EQ(a.qbild.graphics().Pixel(100, 100), kWhite);
    EXPECT_EQ(a.obild.graphics().Pixel(100, 100), kRed);
}

TEST_F(SyntheticTemplates, WithoutTheTemplateAtStartTheProgramReportsItAndKeepsRunning) {
    boot(); // an empty folder
    EXPECT_TRUE(window().isVisible());
    ASSERT_EQ(planora::testing::messages().size(), 1u);
    EXPECT_NE(planora::testing::messages()[0].find("NilObjectException"), std::string::npos);
    EXPECT_FALSE(app().berInvers); // the step after the failed one did not run
    EXPECT_EQ(window().TEMat(1)->Text(), "1");
}

using ShippedTemplates = ProgramTest;

TEST_F(ShippedTemplates, AtStartTheOwlShowsCentredInBothCanvases) {
    const Picture& q = app().qbild;
    int left = 300, right = -1, top = 300, bottom = -1;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const Color c = q.graphics().Pixel(x, y);
            if (Red(c) < 200 || Green(c) < 200 || Blue(c) < 200) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    // The owl template is 240 x 280, so it lies at (30, 10).
    EXPECT_GE(left, 30);
    EXPECT_LE(right, 269);
    EXPECT_GE(top, 10);
    EXPECT_LE(bottom, 289);
    EXPECT_LT(std::abs((left + right) / 2 - 150), 20);
    EXPECT_TRUE(samePixels(app().qbild, app().zbild));

    for (const Canvas* canvas : {window().CAquell().raw(), window().CAziel().raw()}) {
        const Picture shown = planora::testing::grab(*canvas);
        EXPECT_TRUE(samePixels(shown, q)) << canvas->Name();
    }
}

} // namespace
} // namespace planora::test
