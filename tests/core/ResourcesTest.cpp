#include "core/Resources.h"

#include "platform/Color.h"
#include "platform/Resources.h"
#include "platform/Testing.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace planora::test {
namespace {

struct Shipped {
    const char* file;
    Picture (*accessor)();
    int width, height;
};

// clang-format off
constexpr Shipped kShipped[] = {
    {"eulebild.jpg",                &eulebild,               240, 280},
    {"eulebildB.jpg",               &eulebildB,              240, 280},
    {"eulebildR.jpg",               &eulebildR,              240, 280},
    {"Steinkauz.jpg",               &Steinkauz,              260, 200},
    {"SteinkauzB.jpg",              &SteinkauzB,             260, 200},
    {"SteinkauzR.jpg",              &SteinkauzR,             260, 200},
    {"eulebild32.jpg",              &eulebild32,              35,  35},
    {"Steinkauz32.jpg",             &Steinkauz32,             35,  35},
    {"Diskette32.jpg",              &Diskette32,              35,  35},
    {"LogoPlanora.jpg",             &LogoPlanora,            160, 160},
    {"mathematikbrenvik-100px.jpg", &mathematikbrenvik100px, 100,  50},
};
// clang-format on

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        forgetLoadedResources();
        testing::setResourceFolder(std::nullopt);
        testing::resetResourceLoads();
    }
    void TearDown() override {
        forgetLoadedResources();
        testing::setResourceFolder(std::nullopt);
    }
};

TEST_F(ResourcesTest, EveryShippedPictureLoadsOnceAndIsKept) {
    for (const Shipped& s : kShipped) {
        SCOPED_TRACE(s.file);
        testing::resetResourceLoads();
        const Picture first = s.accessor();
        ASSERT_FALSE(first.isNil());
        EXPECT_EQ(first.Width(), s.width);
        EXPECT_EQ(first.Height(), s.height);
        EXPECT_EQ(testing::resourceLoads(), 1);
        EXPECT_TRUE(s.accessor().sameAs(first));
        EXPECT_EQ(testing::resourceLoads(), 1); // no second read
    }
}

TEST_F(ResourcesTest, TheVariantsMatchTheirTemplatesInSizeAndTheTemplatesAreNotSquare) {
    EXPECT_NE(eulebild().Width(), eulebild().Height());
    EXPECT_NE(Steinkauz().Width(), Steinkauz().Height());
    EXPECT_NE(eulebild().Width(), Steinkauz().Width());
}

// How far a decoded pixel may stray from the colour that was drawn: a few levels of JPEG error.
constexpr int kLevels = 4;

bool near(Color c, Color drawn) {
    return std::abs(Red(c) - Red(drawn)) <= kLevels &&
           std::abs(Green(c) - Green(drawn)) <= kLevels &&
           std::abs(Blue(c) - Blue(drawn)) <= kLevels;
}

struct Twins {
    const char* name;
    Picture (*blue)();
    Picture (*red)();
};

constexpr Twins kTwins[] = {{"owl", &eulebildB, &eulebildR},
                            {"little owl", &SteinkauzB, &SteinkauzR}};

// The overlay shows blue, red and black only where the templates hold nothing but paper and
// pure ink: a pale mix at a line's edge shows as a halo.
TEST_F(ResourcesTest, TheOverlayTemplatesHoldOnlyPaperAndPureInk) {
    for (const Twins& t : kTwins) {
        SCOPED_TRACE(t.name);
        const Picture blue = t.blue(), red = t.red();
        ASSERT_FALSE(blue.isNil());
        ASSERT_FALSE(red.isNil());
        int stray = 0, ink = 0, black = 0;
        for (int y = 0; y < blue.Height(); ++y)
            for (int x = 0; x < blue.Width(); ++x) {
                const Color b = blue.graphics().Pixel(x, y), r = red.graphics().Pixel(x, y);
                const bool blueInk = near(b, RGB(0, 0, 255)), redInk = near(r, RGB(255, 0, 0));
                stray += !blueInk && !near(b, RGB(255, 255, 255));
                stray += !redInk && !near(r, RGB(255, 255, 255));
                ink += blueInk;
                // The twins share their shapes, so the overlay's AND of the two is black
                // wherever they have ink.
                black += blueInk && redInk &&
                         near(RGB(Red(b) & Red(r), Green(b) & Green(r), Blue(b) & Blue(r)),
                              RGB(0, 0, 0));
            }
        EXPECT_EQ(stray, 0);
        EXPECT_GT(ink, blue.Width() * blue.Height() / 20);
        EXPECT_EQ(black, ink);
    }
}

TEST_F(ResourcesTest, AMissingFileIsTriedAgainUntilItLoads) {
    const std::filesystem::path shipped = std::filesystem::path(resourceFolder()) / "eulebild.jpg";
    TempDir folder;
    testing::setResourceFolder(folder.path().string());
    EXPECT_TRUE(eulebild().isNil());
    EXPECT_TRUE(eulebild().isNil());
    EXPECT_EQ(testing::resourceLoads(), 2);

    std::filesystem::copy_file(shipped, folder.path() / "eulebild.jpg");
    const Picture loaded = eulebild();
    ASSERT_FALSE(loaded.isNil());
    EXPECT_EQ(loaded.Width(), 240);

    std::filesystem::remove(folder.path() / "eulebild.jpg");
    EXPECT_TRUE(eulebild().sameAs(loaded));
    EXPECT_EQ(testing::resourceLoads(), 3);
}

TEST_F(ResourcesTest, FileNamesAreUsedExactlyLetterCaseIncluded) {
    const std::filesystem::path shipped = std::filesystem::path(resourceFolder()) / "Steinkauz.jpg";
    TempDir folder;
    testing::setResourceFolder(folder.path().string());
    std::filesystem::copy_file(shipped, folder.path() / "steinkauz.jpg");
    EXPECT_TRUE(Steinkauz().isNil());
}

} // namespace
} // namespace planora::test
