#include "platform/FolderItem.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/JpegFiles.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"
#include "support/TiffFiles.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace planora::test {
namespace {

// Every format that carries an orientation, EXIF's or TIFF's, which number the eight alike.
// Stored is a picture of six square blocks, "abc" over "def"; drawn, its blocks lie as each
// orientation's name says where stored row 0 and column 0 go. Rows of blocks from the top,
// separated by '/'.
const char* const kDrawn[] = {
    "abc/def",  // 1 top, left
    "cba/fed",  // 2 top, right
    "fed/cba",  // 3 bottom, right
    "def/abc",  // 4 bottom, left
    "ad/be/cf", // 5 left, top
    "da/eb/fc", // 6 right, top
    "fc/eb/da", // 7 right, bottom
    "cf/be/ad", // 8 left, bottom
};

constexpr Color kBlockColours[] = {RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),
                                   RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 0, 255)};

// The colour of pixel x, y of the stored picture with blocks of side pixels.
Color blockColour(std::int64_t x, std::int64_t y, std::int64_t side) {
    return kBlockColours[y / side * 3 + x / side];
}

// The stored picture with blocks of side pixels, whose edges lie on whole 8 x 8 blocks of a
// JPEG, so that its pixels come back exactly.
Picture blocks(std::int64_t side) {
    Picture p(3 * side, 2 * side);
    for (int b = 0; b < 6; ++b) {
        p.graphics().ForeColor(kBlockColours[b]);
        p.graphics().FillRect(double(b % 3 * side), double(b / 3 * side), double(side),
                              double(side));
    }
    return p;
}

struct Format {
    const char* name;
    // Writes the stored picture with blocks of side pixels and the orientation (1 to 8).
    std::function<bool(const std::string& path, std::int64_t side, int orientation)> write;
    friend void PrintTo(const Format& f, std::ostream* os) { *os << f.name; }
};

const Format kFormats[] = {
    {"Jpeg",
     [](const std::string& path, std::int64_t side, int orientation) {
         const std::string plain = jpegBytes(blocks(side), {.colours = JpegColours::ExactRgb});
         writeBytes(path, withExifOrientation(plain, orientation));
         return true;
     }},
    {"Tiff",
     [](const std::string& path, std::int64_t side, int orientation) {
         TiffSpec spec;
         spec.width = std::uint32_t(3 * side);
         spec.height = std::uint32_t(2 * side);
         spec.orientation = std::uint16_t(orientation);
         return writeTiff(path, spec, [&](auto x, auto y, int s) {
             const Color c = blockColour(x, y, side);
             return std::uint32_t(s == 0 ? Red(c) : s == 1 ? Green(c) : Blue(c));
         });
     }},
};

// The picture's blocks in the layout that drawn gives, each as the letter of its colour when
// every pixel of it (but a margin, where a shrunk picture blends neighbouring blocks) has that
// colour, else '?'.
std::string blockLetters(const Picture& p, const std::string& drawn, std::int64_t margin) {
    const auto rows = std::int64_t(std::count(drawn.begin(), drawn.end(), '/') + 1);
    const std::int64_t columns = std::int64_t(drawn.find('/'));
    std::string letters;
    for (std::int64_t r = 0; r < rows; ++r) {
        if (r > 0)
            letters += '/';
        for (std::int64_t c = 0; c < columns; ++c) {
            const std::int64_t left = c * p.Width() / columns,
                               right = (c + 1) * p.Width() / columns;
            const std::int64_t top = r * p.Height() / rows, bottom = (r + 1) * p.Height() / rows;
            const Color first = p.graphics().Pixel(left + margin, top + margin);
            bool even = true;
            for (std::int64_t y = top + margin; y < bottom - margin; ++y)
                for (std::int64_t x = left + margin; x < right - margin; ++x)
                    even = even && p.graphics().Pixel(x, y) == first;
            const Color* found =
                std::find(std::begin(kBlockColours), std::end(kBlockColours), first);
            letters += even && found != std::end(kBlockColours)
                           ? char('a' + (found - std::begin(kBlockColours)))
                           : '?';
        }
    }
    return letters;
}

class EveryOrientation : public ::testing::TestWithParam<std::tuple<Format, int>> {
protected:
    // A file of the parameter's format and orientation, with blocks of side pixels.
    std::string file(std::int64_t side) {
        const auto& [format, orientation] = GetParam();
        const std::string path = dir_.file(std::string(format.name) + std::to_string(side));
        EXPECT_TRUE(format.write(path, side, orientation));
        return path;
    }
    const char* drawn() const { return kDrawn[std::get<1>(GetParam()) - 1]; }
    bool turnsAQuarter() const { return std::get<1>(GetParam()) >= 5; }

    TempDir dir_;
};

TEST_P(EveryOrientation, PutsEveryPixelWhereTheOrientationSays) {
    const Picture p = FolderItem(file(8)).OpenAsPicture();
    ASSERT_FALSE(p.isNil());
    EXPECT_EQ(p.Width(), turnsAQuarter() ? 16 : 24);
    EXPECT_EQ(p.Height(), turnsAQuarter() ? 24 : 16);
    EXPECT_EQ(blockLetters(p, drawn(), 0), drawn());
}

// A picture large enough to be decoded at a reduced size: the size is chosen for the picture
// as drawn, and the stored rows are decoded at that size turned back (a JPEG's straight at
// libjpeg's scale of 2/8, a TIFF's through the shrinker).
TEST_P(EveryOrientation, FitsThePictureAsDrawnIntoTheBox) {
    const Picture p = FolderItem(file(800)).OpenAsPicture(300, 300);
    ASSERT_FALSE(p.isNil());
    const PixelSize drawnSize = turnsAQuarter() ? PixelSize{1600, 2400} : PixelSize{2400, 1600};
    EXPECT_EQ((PixelSize{p.Width(), p.Height()}), reducedSizeFor(drawnSize, {300, 300}));
    EXPECT_EQ(blockLetters(p, drawn(), 1), drawn());
}

INSTANTIATE_TEST_SUITE_P(Files, EveryOrientation,
                         ::testing::Combine(::testing::ValuesIn(kFormats), ::testing::Range(1, 9)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name +
                                    std::to_string(std::get<1>(info.param));
                         });

} // namespace
} // namespace planora::test
