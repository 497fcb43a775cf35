#include "platform/FolderItem.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/ChildCost.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace planora::test {
namespace {

using Rows = std::vector<std::string>;
using Codes = std::vector<std::vector<std::uint32_t>>;

// Each pixel as six hex digits, a row a line.
Rows hexRows(const Picture& p) {
    Rows rows;
    for (std::int64_t y = 0; y < p.Height(); ++y) {
        std::string row;
        for (std::int64_t x = 0; x < p.Width(); ++x) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%06x", p.constRow(y)[x] & 0xFFFFFFu);
            if (x != 0)
                row += ' ';
            row += hex;
        }
        rows.push_back(row);
    }
    return rows;
}

// Palette entries of four bytes (three for the OS/2 header): blue, green, red, 0.
std::string palette(const std::vector<std::uint32_t>& rgb, int entryBytes = 4) {
    std::string s;
    for (const std::uint32_t c : rgb) {
        s += char(c & 0xFF);
        s += char(c >> 8 & 0xFF);
        s += char(c >> 16 & 0xFF);
        if (entryBytes == 4)
            s += '\0';
    }
    return s;
}

std::vector<std::uint32_t> greys16() {
    std::vector<std::uint32_t> g;
    for (std::uint32_t i = 0; i < 16; ++i)
        g.push_back(0x111111u * i);
    return g;
}

BmpParts plain(int headerSize, int bits, std::int64_t width, std::int64_t height,
               const Codes& stored, std::string pal = {}, std::uint32_t compression = 0,
               std::vector<std::uint32_t> masks = {}) {
    BmpParts p;
    p.headerSize = headerSize;
    p.width = width;
    p.height = height;
    p.bits = bits;
    p.compression = compression;
    p.masks = std::move(masks);
    p.palette = std::move(pal);
    p.pixels = bmpRows(bits, stored);
    return p;
}

BmpParts runLength(int bits, std::int64_t width, std::int64_t height, std::string pal,
                   const std::string& data) {
    BmpParts p;
    p.width = width;
    p.height = height;
    p.bits = bits;
    p.compression = bits == 8 ? 1 : 2;
    p.palette = std::move(pal);
    p.pixels = data;
    return p;
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s += char(v);
    return s;
}

struct Kind {
    const char* name;
    BmpParts parts;
    Rows expected; // from the top down
};

// Stored rows go bottom-up unless the height is negative.
const Kind kKinds[] = {
    {"1 bit, rows padded",
     plain(40, 1, 3, 2, {{1, 0, 1}, {0, 1, 1}}, palette({0x000000, 0xFFFFFF})),
     {"000000 ffffff ffffff", "ffffff 000000 ffffff"}},
    {"2 bits",
     plain(40, 2, 3, 1, {{3, 1, 2}}, palette({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF})),
     {"ffffff 00ff00 0000ff"}},
    {"4 bits", plain(40, 4, 3, 1, {{15, 0, 9}}, palette(greys16())), {"ffffff 000000 999999"}},
    {"8 bits top-down",
     plain(40, 8, 2, -2, {{0, 1}, {1, 2}}, palette({0x123456, 0xABCDEF, 0xFF0000})),
     {"123456 abcdef", "abcdef ff0000"}},
    {"codes beyond the listed colours take the first",
     [] {
         BmpParts p = plain(40, 8, 3, 1, {{1, 5, 255}}, palette({0x123456, 0xABCDEF}));
         p.coloursUsed = 2;
         return p;
     }(),
     {"abcdef 123456 123456"}},
    {"16 bits 5-5-5, the top bit unused",
     plain(40, 16, 4, 1, {{0x7FFF, 0x0421, 0x7C00, 0x801F}}),
     {"ffffff 080808 ff0000 0000ff"}},
    {"16 bits 5-6-5 bit fields",
     plain(40, 16, 3, 1, {{0xFFFF, 0x0020, 0x0841}}, {}, 3, {0xF800, 0x07E0, 0x001F}),
     {"ffffff 000400 080808"}},
    {"24 bits",
     plain(40, 24, 3, 2, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xABCDEF, 0}}),
     {"123456 abcdef 000000", "ff0000 00ff00 0000ff"}},
    {"24 bits top-down",
     plain(40, 24, 3, -2, {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xABCDEF, 0}}),
     {"ff0000 00ff00 0000ff", "123456 abcdef 000000"}},
    {"32 bits, the fourth byte unused",
     plain(40, 32, 3, 1, {{0x7FFF0000, 0x0000FF00, 0xFF0000FF}}),
     {"ff0000 00ff00 0000ff"}},
    {"32 bits with alpha (V5) lie on white",
     plain(124, 32, 4, 1, {{0xFFFF0000, 0x00000000, 0x80000000, 0x400000FF}}, {}, 3,
           {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
     {"ff0000 ffffff 7f7f7f bfbfff"}},
    {"32 bits 10-10-10 (V4) keep their top eight bits",
     plain(108, 32, 3, 1, {{0x3FFFFFFF, 0x20080200, 0x00100401}}, {}, 3,
           {0x3FF00000, 0x000FFC00, 0x000003FF}),
     {"ffffff 808080 000000"}},
    {"32 bits, alpha bit fields after a 40-byte header",
     plain(40, 32, 2, 1, {{0x00123456, 0xFF123456}}, {}, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
     {"ffffff 123456"}},
    {"32 bits without bit fields take no alpha from a V4 header",
     plain(108, 32, 1, 1, {{0x00FF0000}}, {}, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
     {"ff0000"}},
    {"OS/2 8 bits",
     plain(12, 8, 2, 1, {{1, 0}}, palette({0xFF0000, 0x0000FF}, 3)),
     {"0000ff ff0000"}},
    {"OS/2 24 bits", plain(12, 24, 1, 1, {{0xABCDEF}}), {"abcdef"}},
    {"16 bits 4-4-4 (V2)",
     plain(52, 16, 1, 1, {{0x0F80}}, {}, 3, {0x0F00, 0x00F0, 0x000F}),
     {"ff8800"}},
    {"16 bits 4-4-4-4 (V3) lie on white",
     plain(56, 16, 3, 1, {{0x0FFF, 0xF00F, 0x1000}}, {}, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}),
     {"ffffff 0000ff eeeeee"}},
    {"16 bits 1-5-5-5 (V3)",
     plain(56, 16, 2, 1, {{0x7C00, 0xFC00}}, {}, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}),
     {"ffffff ff0000"}},
    {"24 bits (V5)", plain(124, 24, 1, 1, {{0x010203}}), {"010203"}},
    // Runs (one cut at the right edge), an absolute run with its padding byte, a jump, and
    // the end of the bitmap; skipped pixels take the first colour.
    {"run-length 8 bits",
     runLength(8, 4, 3, palette({0x00FF00, 0xFF0000, 0x0000FF}),
               bytes({6, 1, 0, 0, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 1})),
     {"00ff00 0000ff 0000ff 00ff00", "0000ff ff0000 0000ff 00ff00", "ff0000 ff0000 ff0000 ff0000"}},
    {"run-length 4 bits",
     runLength(4, 5, 3, palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF}),
               bytes({5, 0x12, 0, 0, 0, 5, 0x31, 0x23, 0x10, 0, 0, 0, 3, 0x30, 0, 1})),
     {"0000ff 000000 0000ff 000000 000000", "0000ff ff0000 00ff00 0000ff ff0000",
      "ff0000 00ff00 ff0000 00ff00 ff0000"}},
};

class BmpDecoder : public ::testing::Test {
protected:
    std::string put(const std::string& name, const std::string& content) {
        writeBytes(dir_.file(name), content);
        return dir_.file(name);
    }
    TempDir dir_;
};

TEST_F(BmpDecoder, EveryKindGivesThePixelsItsFileSays) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        const Picture p = FolderItem(put("k.bmp", bmpBytes(k.parts))).OpenAsPicture();
        ASSERT_FALSE(p.isNil());
        EXPECT_EQ(hexRows(p), k.expected);
    }
}

struct Refused {
    const char* name;
    std::string bytes;
};

std::string withoutLast(std::string s, std::size_t n) {
    s.resize(s.size() - n);
    return s;
}

BmpParts sized(std::int64_t width, std::int64_t height) {
    BmpParts p = plain(40, 24, 1, 1, {{0}});
    p.width = width;
    p.height = height;
    return p;
}

BmpParts withHeaderSize(int headerSize) {
    BmpParts p = plain(40, 24, 1, 1, {{0}});
    p.headerSize = headerSize;
    return p;
}

const std::string kTwoColours = palette({0x00FF00, 0xFF0000});

const Refused kRefused[] = {
    {"cut short by a byte", withoutLast(bmpBytes(plain(40, 24, 3, 2, {{0, 0, 0}, {0, 0, 0}})), 1)},
    {"the headers alone", withoutLast(bmpBytes(plain(40, 24, 1, 1, {{0}})), 4)},
    {"too short for its masks", bmpBytes(plain(40, 16, 1, 1, {}, {}, 3, {}))},
    {"run-length without its end", bmpBytes(runLength(8, 2, 2, kTwoColours, bytes({2, 1, 0, 0})))},
    {"run-length cut inside an absolute run",
     bmpBytes(runLength(8, 6, 1, kTwoColours, bytes({0, 5, 1, 1})))},
    {"run-length cut inside a jump", bmpBytes(runLength(8, 6, 2, kTwoColours, bytes({0, 2, 1})))},
    {"run-length top-down", bmpBytes(runLength(8, 2, -1, kTwoColours, bytes({2, 1, 0, 1})))},
    {"run-length of 8 bits claiming 4", [] {
         BmpParts p = runLength(8, 2, 1, kTwoColours, bytes({2, 1, 0, 1}));
         p.bits = 4;
         return bmpBytes(p);
     }()},
    {"an unknown header size", bmpBytes(withHeaderSize(20))},
    {"width 0", bmpBytes(sized(0, 1))},
    {"height 0", bmpBytes(sized(1, 0))},
    {"a negative width", bmpBytes(sized(-1, 1))},
    {"65536 wide", bmpBytes(sized(65536, 1))},
    {"the lowest height there is", bmpBytes(sized(1, -2147483648LL))},
    {"more than 2^28 pixels", bmpBytes(sized(16385, 16385))},
    {"3 bits", bmpBytes(plain(40, 3, 1, 1, {}, kTwoColours))},
    {"24-bit bit fields", bmpBytes(plain(40, 24, 1, 1, {{0}}, {}, 3, {0xFF0000, 0xFF00, 0xFF}))},
    {"a mask that is no run of bits", bmpBytes(plain(40, 16, 1, 1, {{0}}, {}, 3, {0xF0F, 0, 0}))},
    {"JPEG inside", bmpBytes(plain(40, 24, 1, 1, {{0}}, {}, 4))},
    {"PNG inside", bmpBytes(plain(40, 24, 1, 1, {{0}}, {}, 5))},
    {"indexed without a palette", bmpBytes(plain(40, 8, 1, 1, {{0}}))},
};

TEST_F(BmpDecoder, RefusesWhatItCannotReadWhole) {
    for (const Refused& r : kRefused) {
        SCOPED_TRACE(r.name);
        const std::string path = put("r.bmp", r.bytes);
        EXPECT_TRUE(FolderItem(path).OpenAsPicture().isNil());
        EXPECT_TRUE(FolderItem(path).OpenAsPicture(300, 300).isNil());
    }
}

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
TEST_F(BmpDecoder, AShrunkPictureIsTheExactAreaAverage) {
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

TEST_F(BmpDecoder, AFineCheckerboardShrinksToEvenGrey) {
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

struct Hostile {
    const char* name;
    std::function<std::string()> bytes;
    bool loads;
};

std::string repeated(const std::string& piece, std::int64_t times) {
    std::string s;
    s.reserve(std::size_t(piece.size() * std::size_t(times)));
    for (std::int64_t i = 0; i < times; ++i)
        s += piece;
    return s;
}

// Files that claim far more than they hold, and files that make every pixel of the largest
// picture we read cost work.
const Hostile kHostile[] = {
    {"run-length of 1 MiB claiming 8192 x 8192 that ends at once",
     [] {
         std::string data = bytes({0, 1});
         data.resize(1 << 20, '\0');
         return bmpBytes(runLength(8, 8192, 8192, kTwoColours, data));
     },
     true},
    {"run-length of 1 KB claiming 4096 x 4096, cut short",
     [] {
         return bmpBytes(runLength(8, 4096, 4096, kTwoColours, repeated(bytes({0, 0}), 450)));
     },
     false},
    {"run-length claiming 16384 x 16384, one pixel a row",
     [] {
         return bmpBytes(
             runLength(8, 16384, 16384, kTwoColours, repeated(bytes({1, 1, 0, 0}), 16384)));
     },
     true},
    {"run-length of jumps claiming 16384 x 16384",
     [] {
         return bmpBytes(runLength(8, 16384, 16384, kTwoColours,
                                   repeated(bytes({0, 2, 255, 255}), 16384 / 255 + 1)));
     },
     true},
    {"run-length painting every pixel of 65535 x 4096",
     [] {
         const std::string row = repeated(bytes({255, 0x11}), 257) + bytes({0, 0});
         return bmpBytes(runLength(4, 65535, 4096, palette(greys16()), repeated(row, 4096)));
     },
     true},
    {"1 bit, 16384 x 16384",
     [] {
         BmpParts p = plain(40, 1, 1, 1, {}, palette({0, 0xFFFFFF}));
         p.width = p.height = 16384;
         p.pixels = std::string(std::size_t(16384) * 16384 / 8, '\x55');
         return bmpBytes(p);
     },
     true},
};

TEST_F(BmpDecoder, HostileFilesCostLittle) {
    for (const Hostile& h : kHostile) {
        SCOPED_TRACE(h.name);
        const std::string path = put("h.bmp", h.bytes());
        const ChildCost cost = costInChild([&] {
            const Picture p = FolderItem(path).OpenAsPicture(300, 300);
            return p.isNil() != h.loads;
        });
        EXPECT_TRUE(cost.finished);
        EXPECT_TRUE(cost.result);
        EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
        EXPECT_TRUE(withinMemory(cost, 100)) << cost.peakOverIdleMiB << " MiB";
    }
}

TEST_F(BmpDecoder, ALargePictureCostsAFewMiB) {
    const std::string path = put("large.bmp", [] {
        BmpParts p = plain(40, 24, 1, 1, {});
        p.width = 6000;
        p.height = 4000;
        p.pixels = std::string(std::size_t(6000) * 3 * 4000, '\x7f');
        return bmpBytes(p);
    }());
    const ChildCost cost =
        costInChild([&] { return !FolderItem(path).OpenAsPicture(300, 300).isNil(); });
    EXPECT_TRUE(cost.result);
    EXPECT_TRUE(withinMemory(cost, 16)) << cost.peakOverIdleMiB << " MiB";
}

} // namespace
} // namespace planora::test
