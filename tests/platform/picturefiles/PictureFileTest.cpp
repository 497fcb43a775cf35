#include "platform/FileType.h"
#include "platform/FolderItem.h"
#include "platform/Testing.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace planora {
void PrintTo(const PixelSize& s, std::ostream* os) {
    *os << s.width << "x" << s.height;
}
} // namespace planora

namespace planora::test {
namespace {

namespace fs = std::filesystem;

constexpr PixelSize kBox{300, 300};
constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kRed = RGB(255, 0, 0);
constexpr Color kBlue = RGB(0, 0, 255);

// --- The size at which a large picture is decoded ---------------------------------------------

TEST(ReducedSize, PicturesUpToFourTimesTheBoxAreReadWhole) {
    const PixelSize whole[] = {{300, 300},   {1200, 800}, {800, 1200},
                               {1200, 1200}, {1, 1200},   {1200, 1}};
    for (const PixelSize& p : whole)
        EXPECT_FALSE(reducedSizeFor(p, kBox)) << p.width << "x" << p.height;
}

TEST(ReducedSize, KeepsTheShapeWhereItCan) {
    EXPECT_EQ(reducedSizeFor({6000, 4000}, kBox), (PixelSize{600, 400}));
    EXPECT_EQ(reducedSizeFor({4000, 6000}, kBox), (PixelSize{400, 600}));
    // 600 x 1 would be drawn half a pixel high where the full size is a hundredth high: an
    // edge on the other side of a pixel's centre.
    EXPECT_EQ(reducedSizeFor({30000, 1}, kBox), (PixelSize{601, 1}));
}

// 1206 x 804 is 3:2, but in Double arithmetic its fit is a hair taller than 200 and lands at
// row 49, where 600 x 400 would land at row 50: the reduced size must not simply keep the shape.
TEST(ReducedSize, FollowsTheRoundingOfTheFullSizesFit) {
    const BoxFit full = fitIntoBox({1206, 804}, kBox);
    ASSERT_EQ(full.y, 49);
    ASSERT_EQ(fitIntoBox({600, 400}, kBox).y, 50);
    const auto reduced = reducedSizeFor({1206, 804}, kBox);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(fitIntoBox(*reduced, kBox).y, 49);
}

TEST(ReducedSize, EveryLargePictureGetsASmallSizeOnTheSamePixels) {
    int checked = 0;
    for (std::int64_t w = 1201; w <= 9000; w += 13)
        for (std::int64_t h = 1; h <= w; h += 11)
            for (const PixelSize p : {PixelSize{w, h}, PixelSize{h, w}}) {
                const auto r = reducedSizeFor(p, kBox);
                ASSERT_TRUE(r) << p.width << "x" << p.height;
                ASSERT_GE(std::max(r->width, r->height), 600) << p.width << "x" << p.height;
                ASSERT_LE(std::max(r->width, r->height), 1200) << p.width << "x" << p.height;
                const BoxFit a = fitIntoBox(p, kBox), b = fitIntoBox(*r, kBox);
                ASSERT_TRUE(sameCoverage(a, b)) << p.width << "x" << p.height;
                ASSERT_EQ(a.x, b.x);
                ASSERT_EQ(a.y, b.y);
                ++checked;
            }
    EXPECT_GT(checked, 100000);
}

TEST(ReducedSize, CoverageTellsEdgesApartAtEveryHalfPixel) {
    struct Row {
        const char* name;
        double a, b;
        bool same;
    };
    const Row rows[] = {
        {"inside one gap", 200.1, 200.4, true},
        {"rounding noise", 200.0, 200.00000000000003, true},
        {"either side of a half", 200.49, 200.51, false},
        {"on and off a whole", 200.0, 200.2, false},
        {"on and off a half", 200.5, 200.6, false},
    };
    for (const Row& r : rows) {
        const BoxFit a{300, r.a, 0, 50}, b{300, r.b, 0, 50};
        EXPECT_EQ(sameCoverage(a, b), r.same) << r.name;
    }
    EXPECT_FALSE(sameCoverage(BoxFit{300, 200, 0, 50}, BoxFit{300, 200, 0, 49}));
}

// --- Reading ---------------------------------------------------------------------------------

class PictureFileRead : public ::testing::Test {
protected:
    std::string put(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.file(name);
        writeBytes(path, bytes);
        return path;
    }
    std::string putPicture(const std::string& name, const Picture& p) {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(FolderItem(path).SaveAsPicture(p, 0));
        return path;
    }
    TempDir dir_;
};

TEST_F(PictureFileRead, OnlyRegularFilesAreReadAndNothingBlocks) {
    const std::string fifo = dir_.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir_.file("folder.jpg");
    fs::create_directory(folder);
    for (const std::string& path : {fifo, folder, std::string("/dev/zero")}) {
        EXPECT_TRUE(FolderItem(path).OpenAsPicture().isNil()) << path;
        EXPECT_TRUE(FolderItem(path).OpenAsPicture(300, 300).isNil()) << path;
    }
}

struct Shape {
    const char* name;
    bool jpeg;
    std::int64_t width, height;
    friend void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }
};

class ExtremeShapes : public PictureFileRead, public ::testing::WithParamInterface<Shape> {};

TEST_P(ExtremeShapes, LoadWholeAndFitted) {
    const Shape& s = GetParam();
    const std::string path = s.jpeg ? put("p.jpg", blackJpeg(s.width, s.height))
                                    : putPicture("p.bmp", solidPicture(s.width, s.height, kRed));
    const Picture whole = FolderItem(path).OpenAsPicture();
    ASSERT_FALSE(whole.isNil());
    EXPECT_EQ(whole.Width(), s.width);
    EXPECT_EQ(whole.Height(), s.height);
    const Picture fitted = FolderItem(path).OpenAsPicture(300, 300);
    ASSERT_FALSE(fitted.isNil());
    const PixelSize expected =
        reducedSizeFor({s.width, s.height}, kBox).value_or(PixelSize{s.width, s.height});
    EXPECT_EQ((PixelSize{fitted.Width(), fitted.Height()}), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ExtremeShapes,
    ::testing::Values(Shape{"bmp30000x1", false, 30000, 1}, Shape{"bmp1x30000", false, 1, 30000},
                      Shape{"bmp301x1", false, 301, 1}, Shape{"jpeg30000x1", true, 30000, 1},
                      Shape{"jpeg1x30000", true, 1, 30000}, Shape{"jpeg301x1", true, 301, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PictureFileRead, APictureBeyondWhatAPictureMayHoldIsKeptSmaller) {
    const Picture p = FolderItem(put("wide.jpg", blackJpeg(40000, 1))).OpenAsPicture();
    ASSERT_FALSE(p.isNil());
    EXPECT_EQ(p.Width(), 32767);
    EXPECT_EQ(p.Height(), 1);
}

TEST_F(PictureFileRead, ALargePhotoIsDecodedSmallForTheBox) {
    const Picture p = FolderItem(put("photo.jpg", blackJpeg(7500, 5050))).OpenAsPicture(300, 300);
    ASSERT_FALSE(p.isNil());
    EXPECT_EQ((PixelSize{p.Width(), p.Height()}), reducedSizeFor({7500, 5050}, kBox));
    EXPECT_EQ(p.graphics().Pixel(p.Width() / 2, p.Height() / 2), RGB(0, 0, 0));
}

TEST_F(PictureFileRead, TransparentPartsLieOnWhite) {
    const std::uint32_t pixels[] = {0xFFFF0000u, 0x00000000u, 0x80000000u, 0xFF0000FFu};
    const std::string path =
        put("alpha.tif", tiffBytes(4, 1, true, [&](auto x, auto) { return pixels[x]; }));
    const Picture p = FolderItem(path).OpenAsPicture(300, 300);
    ASSERT_FALSE(p.isNil());
    EXPECT_EQ(p.graphics().Pixel(0, 0), kRed);
    EXPECT_EQ(p.graphics().Pixel(1, 0), kWhite);
    const Color half = p.graphics().Pixel(2, 0);
    EXPECT_NEAR(Red(half), 127, 2);
    EXPECT_EQ(Red(half), Green(half));
    EXPECT_EQ(p.graphics().Pixel(3, 0), kBlue);
}

// Run length coding may end a bitmap early or jump over pixels; those pixels are the
// palette's first colour, never what the memory held (run this under valgrind to see).
TEST_F(PictureFileRead, PixelsARunLengthBitmapSkipsTakeItsFirstColour) {
    const std::string palette =
        std::string("\x00\xFF\x00\x00", 4) + std::string("\x00\x00\xFF\x00", 4);
    struct Row {
        const char* name;
        std::string data;
        const char* bottom;
        const char* top;
    };
    const Row rows[] = {
        {"ends after the first row", std::string("\x04\x01\x00\x00\x00\x01", 6), "rrrr", "gggg"},
        {"jumps over pixels", std::string("\x01\x01\x00\x02\x02\x01\x01\x01\x00\x01", 10), "rg",
         "gggr"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Picture p =
            FolderItem(put("rle.bmp", rle8Bmp(4, 2, palette, r.data))).OpenAsPicture();
        ASSERT_FALSE(p.isNil());
        auto text = [&](std::int64_t y) {
            std::string s;
            for (std::int64_t x = 0; x < 4; ++x) {
                const Color c = p.graphics().Pixel(x, y);
                s += c == kRed ? 'r' : c == RGB(0, 255, 0) ? 'g' : '?';
            }
            return s;
        };
        EXPECT_EQ(text(1).substr(0, std::string(r.bottom).size()), r.bottom);
        EXPECT_EQ(text(0), r.top);
    }
}

TEST_F(PictureFileRead, TheContentDecidesNotTheName) {
    EXPECT_FALSE(FolderItem(put("photo.bmp", blackJpeg(40, 30))).OpenAsPicture().isNil());
    EXPECT_FALSE(
        FolderItem(putPicture("image.jpg.bmp", solidPicture(4, 3, kRed))).OpenAsPicture().isNil());
}

// --- The open dialog -------------------------------------------------------------------------

TEST(OpenDialog, ListsPictureFilesInAnyLetterCase) {
    FileType type;
    type.Name("bmp/jpg/tiff");
    type.Extensions(".bmp;.jfif;.jpe;.jpeg;.jpg;.tif;.tiff");
    type.toString();
    const TempDir folder;
    const std::vector<std::string> pictures = {"B.JPG",  "a.jpg", "c.Jpg", "d.JPEG", "e.jpe",
                                               "f.JFIF", "g.bmp", "h.BMP", "i.tif",  "j.Tiff"};
    for (const auto& name : pictures)
        writeBytes(folder.file(name), "");
    for (const char* other : {"k.png", "l.txt", "m.jpgx", "n.bmp.txt", "jpg"})
        writeBytes(folder.file(other), "");
    std::vector<std::string> expected = pictures;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(planora::testing::openDialogListing(folder.path().string(), "bmp/jpg/tiff"),
              expected);
}

} // namespace
} // namespace planora::test
