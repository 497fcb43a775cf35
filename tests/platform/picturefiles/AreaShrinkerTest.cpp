#include "platform/FolderItem.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/BmpFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace planora::test {
namespace {

class AreaShrinking : public ::testing::Test {
protected:
    std::string put(const std::string& name, const std::string& content) {
        writeBytes(dir_.file(name), content);
        return dir_.file(name);
    }
    TempDir dir_;
};

// The exact area average of a source of w x h pixels at the size of the target, computed
// from the overlap of every source pixel with every target pixel.
Rows areaAverage(const std::vector<std::uint32_t>& source, std::int64_t w, std::int64_t h,
                 std::int64_t tw, std::int64_t th) {
    auto overlap = [](std::int64_t i, std::int64_t unit, std::int64_t j, std::int64_t span) {
        const std::int64_t lo = std::max(i * unit, j * span);
        const std::int64_t hi = std::min((i + 1) * unit, (j + 1) * span);
        return std::max<std::int64_t>(0, hi - lo);
    };
    Picture out(tw, th);
    for (std::int64_t j = 0; j < th; ++j)
        for (std::int64_t i = 0; i < tw; ++i) {
            std::uint64_t sums[3] = {};
            for (std::int64_t y = j * h / th; y < std::min(h, (j + 1) * h / th + 1); ++y)
                for (std::int64_t x = i * w / tw; x < std::min(w, (i + 1) * w / tw + 1); ++x) {
                    const std::uint64_t weight =
                        std::uint64_t(overlap(x, tw, i, w) * overlap(y, th, j, h));
                    for (int c = 0; c < 3; ++c)
                        sums[c] += weight * (source[std::size_t(y * w + x)] >> (8 * c) & 0xFF);
                }
            const std::uint64_t total = std::uint64_t(w * h);
            Color c = 0;
            for (int k = 0; k < 3; ++k)
                c |= Color((sums[k] + total / 2) / total) << (8 * k);
            out.graphics().Pixel(i, j, c);
        }
    return hexRows(out);
}

struct Shrunk {
    const char* name;
    std::int64_t width, height;
    std::int64_t boxWidth, boxHeight;
};

// Random pixels at sizes whose ratio to the target is no whole number, through each way the
// rows reach the shrinker: three bytes, words, looked-up colours, and uniform rows between.
TEST_F(AreaShrinking, AShrunkPictureIsTheExactAreaAverage) {
    const Shrunk shapes[] = {
        {"1237 x 411 into 100 x 100", 1237, 411, 100, 100},
        {"411 x 1237 into 100 x 100", 411, 1237, 100, 100},
        {"811 x 803 into 60 x 70", 811, 803, 60, 70},
        {"3 x 3001 into 2 x 2, each row a sliver", 3, 3001, 2, 2},
        {"3001 x 3 into 2 x 2, each column a sliver", 3001, 3, 2, 2},
    };
    std::mt19937 random(7);
    for (const Shrunk& s : shapes) {
        std::vector<std::uint32_t> rgb(std::size_t(s.width * s.height));
        for (std::uint32_t& p : rgb)
            p = random() & 0xFFFFFFu;
        std::vector<std::uint32_t> grey(rgb.size());
        Codes bottomUp, topDown, codes;
        for (std::int64_t y = 0; y < s.height; ++y) {
            const auto row = rgb.begin() + y * s.width;
            topDown.emplace_back(row, row + s.width);
            codes.emplace_back();
            for (std::int64_t x = 0; x < s.width; ++x) {
                const std::uint32_t v = rgb[std::size_t(y * s.width + x)] & 0xFF;
                codes.back().push_back(v);
                grey[std::size_t(y * s.width + x)] = 0x010101u * v;
            }
        }
        bottomUp.assign(topDown.rbegin(), topDown.rend());
        std::vector<std::uint32_t> greys;
        for (std::uint32_t v = 0; v < 256; ++v)
            greys.push_back(0x010101u * v);
        const Codes codesBottomUp(codes.rbegin(), codes.rend());

        // Every other row left to the run-length coding's first colour: black.
        std::string coded;
        std::vector<std::uint32_t> striped(rgb.size());
        for (std::int64_t stored = 0; stored < s.height; ++stored) {
            const std::int64_t y = s.height - 1 - stored;
            for (std::int64_t x = 0; x < s.width; ++x) {
                const std::uint32_t v = stored % 2 == 0 ? 0 : codes[std::size_t(y)][std::size_t(x)];
                striped[std::size_t(y * s.width + x)] = 0x010101u * v;
                if (stored % 2 == 1)
                    coded += bytes({1, int(v)});
            }
            coded += bytes({0, 0});
        }
        coded += bytes({0, 1});

        const struct {
            const char* name;
            BmpParts parts;
            const std::vector<std::uint32_t>& pixels;
        } files[] = {
            {"24 bits", plain(40, 24, s.width, s.height, bottomUp), rgb},
            {"24 bits top-down", plain(40, 24, s.width, -s.height, topDown), rgb},
            {"32 bits", plain(40, 32, s.width, s.height, bottomUp), rgb},
            {"8 bits", plain(40, 8, s.width, s.height, codesBottomUp, palette(greys)), grey},
            {"run-length", runLength(8, s.width, s.height, palette(greys), coded), striped},
        };
        for (const auto& f : files) {
            SCOPED_TRACE(std::string(s.name) + ", " + f.name);
            const Picture p =
                FolderItem(put("s.bmp", bmpBytes(f.parts))).OpenAsPicture(s.boxWidth, s.boxHeight);
            ASSERT_FALSE(p.isNil());
            const std::optional<PixelSize> reduced =
                reducedSizeFor({s.width, s.height}, {s.boxWidth, s.boxHeight});
            ASSERT_TRUE(reduced);
            ASSERT_EQ((PixelSize{p.Width(), p.Height()}), *reduced);
            EXPECT_EQ(hexRows(p), areaAverage(f.pixels, s.width, s.height, p.Width(), p.Height()));
        }
    }
}

TEST_F(AreaShrinking, AFineCheckerboardShrinksToEvenGrey) {
    Codes rows(1600, std::vector<std::uint32_t>(2400));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            rows[y][x] = (x + y) % 2;
    const std::string path =
        put("checks.bmp", bmpBytes(plain(40, 1, 2400, 1600, rows, palette({0, 0xFFFFFF}))));
    const Picture p = FolderItem(path).OpenAsPicture(300, 300);
    ASSERT_FALSE(p.isNil());
    ASSERT_EQ((PixelSize{p.Width(), p.Height()}), (PixelSize{600, 400}));
    std::string grey = "808080";
    for (int x = 1; x < 600; ++x)
        grey += " 808080";
    EXPECT_EQ(hexRows(p), Rows(400, grey));
}

} // namespace
} // namespace planora::test
