#include "platform/FolderItem.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/BmpFiles.h"
#include "support/ChildCost.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

namespace planora::test {
namespace {

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

struct Hostile {
    const char* name;
    std::function<std::string()> bytes;
    bool loads;
};

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
