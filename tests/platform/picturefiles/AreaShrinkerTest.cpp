#include "platform/FolderItem.h"
#include "platform/Testing.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/BmpFiles.h"
#include "support/TempDir.h"

#include <functional>
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

// A source pixel as 0xRRGGBB (higher bits are ignored), by its column and row.
using PixelAt = std::function<std::uint32_t(std::int64_t x, std::int64_t y)>;

// The exact area average of a source of w x h pixels at the size of the target, computed
// from the overlap of every source pixel with every target pixel.
Rows areaAverage(const PixelAt& source, std::int64_t w, std::int64_t h, std::int64_t tw,
                 std::int64_t th) {
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
                        sums[c] += weight * (source(x, y) >> (8 * c) & 0xFF);
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
            const auto pixel = [&](std::int64_t x, std::int64_t y) {
                return f.pixels[std::size_t(y * s.width + x)];
            };
            EXPECT_EQ(hexRows(p), areaAverage(pixel, s.width, s.height, p.Width(), p.Height()));
        }
    }
}

// Random pixels with rows of one colour among them, told again pixel by pixel whenever asked,
// so that a large source needs no memory.
struct RandomSource {
    std::int64_t width, height;
    std::uint64_t seed;
    int uniformEighths;        // the share of rows of one colour
    std::uint32_t setBits = 0; // bits set in every pixel, to make it bright

    std::uint64_t hash(std::int64_t a, std::int64_t b) const {
        std::uint64_t v =
            seed ^ std::uint64_t(a) * 0x9E3779B97F4A7C15u ^ std::uint64_t(b) * 0xC2B2AE3D27D4EB4Fu;
        v = (v ^ v >> 30) * 0xBF58476D1CE4E5B9u;
        v = (v ^ v >> 27) * 0x94D049BB133111EBu;
        return v ^ v >> 31;
    }
    bool uniform(std::int64_t y) const { return int(hash(-1, y) % 8) < uniformEighths; }
    // The pixel as a reader hands it on in a word: the top byte is noise that must not count.
    std::uint32_t word(std::int64_t x, std::int64_t y) const {
        const auto noise = std::uint32_t(hash(x, y));
        return setBits |
               (uniform(y) ? (std::uint32_t(hash(-2, y)) & 0xFFFFFFu) | (noise & 0xFF000000u)
                           : noise);
    }
};

enum class RowKinds { Words, Bytes, Mixed };

// Hands every row of the source to the shrinker, from the top down or from the bottom up.
// Mixed: a row of one colour as such, the others as words or as bytes, at random.
void feedRows(const RandomSource& s, RowKinds kinds, bool bottomUp, testing::ShrinkerSink& sink) {
    std::vector<std::uint32_t> words(std::size_t(s.width));
    std::vector<std::uint8_t> bytes(std::size_t(3 * s.width));
    for (std::int64_t i = 0; i < s.height; ++i) {
        const std::int64_t y = bottomUp ? s.height - 1 - i : i;
        if (kinds == RowKinds::Mixed && s.uniform(y)) {
            sink.addUniformRow(y, s.word(0, y) | 0xFF000000u);
            continue;
        }
        for (std::int64_t x = 0; x < s.width; ++x)
            words[std::size_t(x)] = s.word(x, y);
        const bool asWords =
            kinds == RowKinds::Words || (kinds == RowKinds::Mixed && s.hash(-3, y) % 2 == 0);
        if (asWords) {
            sink.addRow(y, words.data());
            continue;
        }
        for (std::size_t x = 0; x < words.size(); ++x)
            for (int c = 0; c < 3; ++c)
                bytes[3 * x + std::size_t(c)] = std::uint8_t(words[x] >> (8 * c));
        sink.addBgrRow(y, bytes.data());
    }
}

struct ShrinkSize {
    std::string name;
    std::int64_t width, height, targetWidth, targetHeight;
    std::uint32_t setBits = 0;
    int uniformEighths = -1; // -1: the next share in turn
};

// The shrinker fed directly, at sizes of every kind: the ones that loading photos brings,
// whole ratios, one side kept, both kept, more than 256 rows into one, sums beyond 32 bits,
// and random sizes, wide and tall.
TEST(AreaShrinkerRows, EveryKindOfRowInEitherOrderGivesThePlainAreaAverage) {
    std::vector<ShrinkSize> sizes = {
        {"a photo decoded at half size, shrunk for the box", 960, 540, 601, 338},
        {"that result fitted into the box", 601, 338, 300, 169},
        {"a photo decoded at an eighth, shrunk for the box", 750, 500, 600, 400},
        {"halved", 600, 400, 300, 200},
        {"a quarter across, a third down", 40, 90, 10, 30},
        {"rows kept", 333, 257, 100, 257},
        {"columns kept", 257, 333, 257, 100},
        {"nothing shrunk", 77, 55, 77, 55},
        {"one pixel", 1, 1, 1, 1},
        {"a column into a pixel", 1, 500, 1, 1},
        {"a row into seven pixels", 500, 1, 7, 1},
        {"more than 256 rows into each", 5, 3000, 2, 2},
        {"more than 256 columns into each", 3000, 5, 2, 2},
        // Bright and without rows of one colour: the sums of the rows alone go beyond 32 bits.
        {"sums beyond 32 bits", 100003, 200, 7, 3, 0xF0F0F0, 0},
    };
    std::mt19937 random(20240611);
    for (int i = 0; i < 24; ++i) {
        std::int64_t w = 1 + random() % 300, h = 1 + random() % 300;
        if ((w < h) != (i % 2 == 1))
            std::swap(w, h);
        const std::int64_t tw = 1 + random() % w, th = 1 + random() % h;
        sizes.push_back({"random " + std::to_string(w) + " x " + std::to_string(h) + " into " +
                             std::to_string(tw) + " x " + std::to_string(th),
                         w, h, tw, th});
    }
    const struct {
        const char* name;
        RowKinds kinds;
        bool bottomUp;
    } feeds[] = {
        {"words from the top", RowKinds::Words, false},
        {"words from the bottom", RowKinds::Words, true},
        {"bytes from the top", RowKinds::Bytes, false},
        {"bytes from the bottom", RowKinds::Bytes, true},
        {"mixed from the top", RowKinds::Mixed, false},
        {"mixed from the bottom", RowKinds::Mixed, true},
    };
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const ShrinkSize& z = sizes[i];
        // Every share of rows of one colour in turn, up to all of them.
        const int share = z.uniformEighths >= 0 ? z.uniformEighths : int(i % 5) * 2;
        const RandomSource source{z.width, z.height, random(), share, z.setBits};
        const PixelSize from{z.width, z.height}, to{z.targetWidth, z.targetHeight};
        const Rows expected =
            areaAverage([&](std::int64_t x, std::int64_t y) { return source.word(x, y); }, z.width,
                        z.height, z.targetWidth, z.targetHeight);
        const bool large = z.width * z.height > 1000000;
        for (const auto& f : feeds)
            for (const int bits : {256, 0}) {
                if (large && f.kinds != RowKinds::Mixed)
                    continue;
                SCOPED_TRACE(z.name + ", " + f.name +
                             (bits == 0 ? ", plain code" : ", vector code"));
                const Picture p =
                    testing::shrinkRows(from, to, bits, [&](testing::ShrinkerSink& sink) {
                        feedRows(source, f.kinds, f.bottomUp, sink);
                    });
                ASSERT_FALSE(p.isNil());
                ASSERT_EQ((PixelSize{p.Width(), p.Height()}), to);
                const Rows got = hexRows(p);
                for (std::size_t r = 0; r < got.size(); ++r)
                    if (got[r] != expected[r]) {
                        ADD_FAILURE() << "row " << r << "\n got      " << got[r] << "\n expected "
                                      << expected[r];
                        break;
                    }
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
