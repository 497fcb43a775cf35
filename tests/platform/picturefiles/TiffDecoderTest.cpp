#include "platform/FolderItem.h"
#include "platform/picturefiles/PictureReader.h"
#include "support/ChildCost.h"
#include "support/TempDir.h"
#include "support/TiffFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace planora::test {
namespace {

constexpr PixelSize kBox{300, 300};

// --- Every kind that libtiff reads, pixel for pixel --------------------------------------------

// Sample values that differ from pixel to pixel and channel to channel, 0 to 255.
std::uint32_t wave(std::int64_t x, std::int64_t y, int s) {
    switch (s) {
    case 0:
        return std::uint32_t(x * 40 + y * 3) & 255;
    case 1:
        return std::uint32_t(y * 50 + x + 7) & 255;
    default:
        return std::uint32_t(x * y * 7 + s * 60) & 255;
    }
}
// Fully transparent, half and opaque in turn.
std::uint32_t alphaAt(std::int64_t x, std::int64_t y) {
    const std::uint32_t levels[] = {0, 128, 255};
    return levels[(x + y) % 3];
}
// Four solid quarters for the lossy kinds, each 16 x 16 so that no block straddles two.
std::uint32_t quarter(std::int64_t x, std::int64_t y, int s) {
    static const std::uint32_t colours[4][3] = {
        {200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {240, 240, 240}};
    return colours[(y / 16) % 2 * 2 + (x / 16) % 2][std::min(s, 2)];
}

enum class Content { Wave, Quarters, Levels };

struct Kind {
    const char* name;
    TiffSpec spec;
    Content content = Content::Wave;
    int tolerance = 0; // largest difference of a channel from the expected value
    friend void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }
};

// Lossy coding blurs the colours across the quarters' borders; only pixels clear of them count.
bool checked(const Kind& k, std::int64_t x, std::int64_t y) {
    auto clear = [](std::int64_t v) { return std::abs(v % 16 - 7.5) < 5; };
    return k.content != Content::Quarters || (clear(x) && clear(y));
}

// The file's sample s at x, y, for a picture of the kind.
std::uint32_t sampleOf(const Kind& k, std::int64_t x, std::int64_t y, int s) {
    const TiffSpec& t = k.spec;
    const std::uint32_t levels = (1u << std::min<int>(t.bits, 16)) - 1;
    if (k.content == Content::Quarters)
        return quarter(x, y, s);
    if (k.content == Content::Levels || t.photometric == PHOTOMETRIC_PALETTE)
        return std::uint32_t(x + 2 * y + s) % (levels + 1);
    std::uint32_t v = wave(x, y, s);
    if (t.alpha >= 0 && s == t.samples - 1)
        v = alphaAt(x, y);
    else if (t.alpha == EXTRASAMPLE_ASSOCALPHA)
        v = v * alphaAt(x, y) / 255; // premultiplied: never above the alpha
    return t.bits == 16 ? v * 257 : v;
}

// The colour that the pixel must have once read: transparency lies on white.
Color expectedOf(const Kind& k, std::int64_t x, std::int64_t y) {
    const TiffSpec& t = k.spec;
    auto sample = [&](int s) { return sampleOf(k, x, y, s); };
    auto to8 = [&](std::uint32_t v) { return t.bits == 16 ? v / 257 : v; };
    if (k.content == Content::Quarters)
        return t.samples == 1 ? RGB(int(sample(0)), int(sample(0)), int(sample(0)))
                              : RGB(int(sample(0)), int(sample(1)), int(sample(2)));
    switch (t.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: {
        std::uint32_t v = t.bits == 16 ? to8(sample(0)) : sample(0) * 255 / ((1u << t.bits) - 1);
        if (t.photometric == PHOTOMETRIC_MINISWHITE)
            v = 255 - v;
        if (t.alpha >= 0) {
            const std::uint32_t a = to8(sample(1));
            v = (v * a + 127) / 255 + 255 - a;
        }
        return RGB(int(v), int(v), int(v));
    }
    case PHOTOMETRIC_PALETTE: {
        const std::size_t n = t.colormap.size() / 3, i = sample(0);
        return RGB(t.colormap[i] >> 8, t.colormap[n + i] >> 8, t.colormap[2 * n + i] >> 8);
    }
    case PHOTOMETRIC_SEPARATED: {
        const std::uint32_t black = 255 - sample(3);
        auto ink = [&](int s) { return int(black * (255 - sample(s)) / 255); };
        return RGB(ink(0), ink(1), ink(2));
    }
    default: {
        std::uint32_t c[3] = {to8(sample(0)), to8(sample(1)), to8(sample(2))};
        if (t.alpha >= 0) {
            const std::uint32_t a = to8(sample(3));
            for (std::uint32_t& v : c) {
                if (t.alpha == EXTRASAMPLE_UNASSALPHA)
                    v = (v * a + 127) / 255;
                v += 255 - a;
            }
        }
        return RGB(int(c[0]), int(c[1]), int(c[2]));
    }
    }
}

std::vector<std::uint16_t> colormap(int bits) {
    const int n = 1 << bits;
    std::vector<std::uint16_t> map(std::size_t(3 * n));
    for (int i = 0; i < n; ++i) {
        map[std::size_t(i)] = std::uint16_t(((i * 37 + 11) & 255) * 257);
        map[std::size_t(n + i)] = std::uint16_t((255 - i * 255 / (n - 1)) * 257);
        map[std::size_t(2 * n + i)] = std::uint16_t(((i * 91) & 255) * 257);
    }
    return map;
}

TiffSpec rgb(std::uint16_t bits = 8) {
    TiffSpec s;
    s.width = 37;
    s.height = 23;
    s.bits = bits;
    s.rowsPerStrip = 5;
    return s;
}
TiffSpec with(TiffSpec s, const std::function<void(TiffSpec&)>& change) {
    change(s);
    return s;
}
TiffSpec grey(std::uint16_t bits, std::uint16_t photometric = PHOTOMETRIC_MINISBLACK) {
    return with(rgb(bits), [&](TiffSpec& s) {
        s.samples = 1;
        s.photometric = photometric;
    });
}
TiffSpec withAlpha(TiffSpec s, int kind) {
    s.alpha = kind;
    ++s.samples;
    return s;
}
TiffSpec palette(std::uint16_t bits) {
    return with(grey(bits, PHOTOMETRIC_PALETTE), [&](TiffSpec& s) { s.colormap = colormap(bits); });
}
TiffSpec compressed(TiffSpec s, std::uint16_t compression,
                    std::uint16_t predictor = PREDICTOR_NONE) {
    s.compression = compression;
    s.predictor = predictor;
    return s;
}
TiffSpec planar(TiffSpec s) {
    s.planar = PLANARCONFIG_SEPARATE;
    return s;
}
TiffSpec tiled(TiffSpec s) {
    s.tileWidth = 16;
    s.tileHeight = 16;
    return s;
}
// One strip taller than the decoder's bands, so that it is read in parts.
TiffSpec oneTallStrip(TiffSpec s) {
    s.width = 2048;
    s.height = 2096;
    s.rowsPerStrip = s.height;
    return s;
}
TiffSpec written(TiffSpec s, const char* mode) {
    s.mode = mode;
    return s;
}
TiffSpec lossy(TiffSpec s, std::uint16_t photometric) {
    s.width = 32;
    s.height = 32;
    s.rowsPerStrip = 16;
    s.photometric = photometric;
    s.compression = COMPRESSION_JPEG;
    return s;
}

const Kind kKinds[] = {
    {"rgb8", rgb()},
    {"rgb8BigEndian", written(rgb(), "wb")},
    {"rgb8PackBits", compressed(rgb(), COMPRESSION_PACKBITS)},
    {"rgb8Lzw", compressed(rgb(), COMPRESSION_LZW)},
    {"rgb8LzwPredictor", compressed(rgb(), COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"rgb8Deflate", compressed(rgb(), COMPRESSION_ADOBE_DEFLATE)},
    {"rgb8DeflatePredictor", compressed(rgb(), COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL)},
    {"rgb8Planar", planar(rgb())},
    {"rgb8Tiled", tiled(rgb())},
    {"rgb8TiledPlanarLzw", compressed(planar(tiled(rgb())), COMPRESSION_LZW)},
    {"rgb16", rgb(16)},
    {"rgb16LzwPredictor", compressed(rgb(16), COMPRESSION_LZW, PREDICTOR_HORIZONTAL)},
    {"rgb16TiledPlanar", planar(tiled(rgb(16)))},
    {"rgb16BigEndianDeflate", compressed(written(rgb(16), "wb"), COMPRESSION_ADOBE_DEFLATE)},
    {"rgba8Unassociated", withAlpha(rgb(), EXTRASAMPLE_UNASSALPHA)},
    {"rgba8Associated", withAlpha(rgb(), EXTRASAMPLE_ASSOCALPHA)},
    {"rgba8PlanarTiled", planar(tiled(withAlpha(rgb(), EXTRASAMPLE_UNASSALPHA)))},
    {"rgba16Unassociated", withAlpha(rgb(16), EXTRASAMPLE_UNASSALPHA)},
    {"rgba16AssociatedTiled", tiled(withAlpha(rgb(16), EXTRASAMPLE_ASSOCALPHA))},
    {"grey1MinIsWhite", grey(1, PHOTOMETRIC_MINISWHITE), Content::Levels},
    {"grey1MinIsBlack", grey(1), Content::Levels},
    {"grey2", grey(2), Content::Levels},
    {"grey4", grey(4), Content::Levels},
    {"grey8", grey(8)},
    {"grey8MinIsWhite", grey(8, PHOTOMETRIC_MINISWHITE)},
    {"grey16", grey(16)},
    {"grey16TiledLzw", compressed(tiled(grey(16)), COMPRESSION_LZW)},
    {"greyAlpha8", withAlpha(grey(8), EXTRASAMPLE_UNASSALPHA)},
    {"palette1", palette(1)},
    {"palette2", palette(2)},
    {"palette4", palette(4)},
    {"palette8Lzw", compressed(palette(8), COMPRESSION_LZW)},
    {"cmyk8",
     with(rgb(), [](TiffSpec& s) { s.photometric = PHOTOMETRIC_SEPARATED, s.samples = 4; })},
    {"cmyk8Planar",
     planar(
         with(rgb(), [](TiffSpec& s) { s.photometric = PHOTOMETRIC_SEPARATED, s.samples = 4; }))},
    {"faxGroup3", compressed(grey(1, PHOTOMETRIC_MINISWHITE), COMPRESSION_CCITTFAX3),
     Content::Levels},
    {"faxGroup4", compressed(grey(1, PHOTOMETRIC_MINISWHITE), COMPRESSION_CCITTFAX4),
     Content::Levels},
    {"bigTiff", written(rgb(), "w8")},
    {"bigTiffBigEndianLzwTiled", compressed(tiled(written(rgb(16), "w8b")), COMPRESSION_LZW)},
    {"jpegYCbCr", lossy(rgb(), PHOTOMETRIC_YCBCR), Content::Quarters, 6},
    {"jpegRgb", lossy(rgb(), PHOTOMETRIC_RGB), Content::Quarters, 6},
    {"jpegGrey", lossy(grey(8), PHOTOMETRIC_MINISBLACK), Content::Quarters, 6},
    {"jpegYCbCrTiled", tiled(lossy(rgb(), PHOTOMETRIC_YCBCR)), Content::Quarters, 6},
    {"rgb8OneTallStripLzw", oneTallStrip(compressed(rgb(), COMPRESSION_LZW))},
    {"jpegYCbCrOneTallStrip", oneTallStrip(lossy(rgb(), PHOTOMETRIC_YCBCR)), Content::Quarters, 6},
    {"bigTiffJpeg", written(lossy(rgb(), PHOTOMETRIC_YCBCR), "w8"), Content::Quarters, 6},
};

class TiffKinds : public ::testing::TestWithParam<Kind> {
protected:
    TempDir dir_;
};

TEST_P(TiffKinds, EveryPixelIsAsTheFileSays) {
    const Kind& k = GetParam();
    const std::string path = dir_.file("kind.tif");
    ASSERT_TRUE(
        writeTiff(path, k.spec, [&](auto x, auto y, int s) { return sampleOf(k, x, y, s); }));
    const Picture p = FolderItem(path).OpenAsPicture();
    ASSERT_FALSE(p.isNil());
    ASSERT_EQ(p.Width(), k.spec.width);
    ASSERT_EQ(p.Height(), k.spec.height);
    int wrong = 0;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        for (std::int64_t x = 0; x < p.Width(); ++x) {
            if (!checked(k, x, y))
                continue;
            const Color got = p.graphics().Pixel(x, y), want = expectedOf(k, x, y);
            const int off =
                std::max({std::abs(Red(got) - Red(want)), std::abs(Green(got) - Green(want)),
                          std::abs(Blue(got) - Blue(want))});
            if (off > k.tolerance && ++wrong <= 3)
                ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << got << " for "
                              << want;
        }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, TiffKinds, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Large pictures ---------------------------------------------------------------------------

TEST(TiffLarge, AFineCheckerboardShrinksToAnEvenGrey) {
    TempDir dir;
    TiffSpec spec;
    spec.width = 2400;
    spec.height = 1600;
    spec.compression = COMPRESSION_LZW;
    const std::string path = dir.file("checks.tif");
    ASSERT_TRUE(writeTiff(path, spec, [](auto x, auto y, int) { return (x + y) % 2 ? 255u : 0u; }));
    const Picture p = FolderItem(path).OpenAsPicture(300, 300);
    ASSERT_FALSE(p.isNil());
    ASSERT_EQ((PixelSize{p.Width(), p.Height()}), reducedSizeFor({2400, 1600}, kBox));
    int uneven = 0;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        for (std::int64_t x = 0; x < p.Width(); ++x) {
            const Color c = p.graphics().Pixel(x, y);
            uneven += Red(c) < 127 || Red(c) > 128 || Green(c) != Red(c) || Blue(c) != Red(c);
        }
    EXPECT_EQ(uneven, 0);
}

// A document scanner's page: 1-bit, LZW, mostly white paper with lines of dark text.
TEST(TiffLarge, AScannedPageLoadsQuicklyAndSmall) {
    TempDir dir;
    TiffSpec spec = {};
    spec.width = 7795;
    spec.height = 3122;
    spec.photometric = PHOTOMETRIC_MINISWHITE;
    spec.bits = 1;
    spec.samples = 1;
    spec.compression = COMPRESSION_LZW;
    const std::string path = dir.file("scan.tif");
    auto ink = [](std::int64_t x, std::int64_t y) {
        return x >= 600 && x < 7200 && y % 120 >= 80 && y % 120 < 104 && x % 9 < 4;
    };
    ASSERT_TRUE(writeTiff(path, spec, [&](auto x, auto y, int) { return ink(x, y) ? 1u : 0u; }));
    EXPECT_LT(std::filesystem::file_size(path), 100u * 1024);
    const ChildCost cost = costInChild([&] {
        const Picture p = FolderItem(path).OpenAsPicture(300, 300);
        return !p.isNil() &&
               (PixelSize{p.Width(), p.Height()}) == reducedSizeFor({7795, 3122}, kBox) &&
               p.graphics().Pixel(2, 2) == RGB(255, 255, 255) &&
               Red(p.graphics().Pixel(p.Width() / 2, 92 * p.Height() / 3122)) < 200;
    });
    ASSERT_TRUE(cost.finished);
    EXPECT_TRUE(cost.result);
    EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
    EXPECT_TRUE(withinMemory(cost, 16)) << cost.peakOverIdleMiB << " MiB";
}

TEST(TiffLarge, TheToolkitsAllocationLimitHasNoSay) {
    TempDir dir;
    TiffSpec spec;
    spec.width = 3000;
    spec.height = 2000;
    spec.rowsPerStrip = 2000;
    const std::string path = dir.file("photo.tif");
    ASSERT_TRUE(writeTiff(path, spec, [](auto x, auto, int) { return std::uint32_t(x & 255); }));
    const ChildCost cost = costInChild([&] {
        ::setenv("QT_IMAGEIO_MAXALLOC", "1", 1);
        return !FolderItem(path).OpenAsPicture(300, 300).isNil() &&
               !FolderItem(path).OpenAsPicture().isNil();
    });
    EXPECT_TRUE(cost.finished && cost.result);
}

// --- Hostile files ------------------------------------------------------------------------------

struct Hostile {
    const char* name;
    std::function<bool(const std::string& path, const TempDir& dir)> write;
    friend void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }
};

TiffSpec claimed(std::uint32_t width, std::uint32_t height, std::uint16_t compression,
                 std::uint32_t rowsPerStrip) {
    TiffSpec s;
    s.width = width;
    s.height = height;
    s.compression = compression;
    s.rowsPerStrip = rowsPerStrip;
    return s;
}

std::uint32_t stripsOf(const TiffSpec& s) {
    return (s.height + s.rowsPerStrip - 1) / s.rowsPerStrip;
}

// Every strip the same few bytes that expand to zeros, a thousandfold and more.
bool zeroBomb(const std::string& path, const TempDir& dir, const TiffSpec& spec) {
    const std::string strip = compressedZeros(dir.file("strip.tif"), spec);
    return !strip.empty() &&
           writeRawTiff(path, spec, stripsOf(spec), [&](std::uint32_t) { return strip; });
}

const Hostile kHostile[] = {
    {"oneEnormousStripOfNothing",
     [](const std::string& path, const TempDir&) {
         return writeRawTiff(path, claimed(65535, 4096, COMPRESSION_LZW, 4096), 1,
                             [](std::uint32_t) { return std::string(64, '\x80'); });
     }},
    {"stripsThatEndAtOnce",
     [](const std::string& path, const TempDir&) {
         const TiffSpec spec = claimed(65535, 4096, COMPRESSION_ADOBE_DEFLATE, 16);
         return writeRawTiff(path, spec, stripsOf(spec),
                             [](std::uint32_t) { return std::string("\x78\x9c", 2); });
     }},
    {"deflateBombAtTheLimit",
     [](const std::string& path, const TempDir& dir) {
         return zeroBomb(path, dir, claimed(11585, 11585, COMPRESSION_ADOBE_DEFLATE, 64));
     }},
    {"deflateBombBeyondTheLimit",
     [](const std::string& path, const TempDir& dir) {
         return zeroBomb(path, dir, claimed(65535, 4096, COMPRESSION_ADOBE_DEFLATE, 64));
     }},
    {"lzwBombAtTheLimit",
     [](const std::string& path, const TempDir& dir) {
         return zeroBomb(path, dir, claimed(11585, 11585, COMPRESSION_LZW, 32));
     }},
    {"lzwBombOneStrip",
     [](const std::string& path, const TempDir& dir) {
         return zeroBomb(path, dir, claimed(4000, 4000, COMPRESSION_LZW, 4000));
     }},
    {"sixteenBitBomb",
     [](const std::string& path, const TempDir& dir) {
         TiffSpec s = claimed(12000, 12000, COMPRESSION_ADOBE_DEFLATE, 32);
         s.bits = 16;
         s.samples = 4;
         s.alpha = EXTRASAMPLE_UNASSALPHA;
         return zeroBomb(path, dir, s);
     }},
    {"tinyTilesAtTheLimit",
     [](const std::string& path, const TempDir& dir) {
         TiffSpec s = claimed(8192, 8192, COMPRESSION_ADOBE_DEFLATE, 16);
         s.samples = 1;
         s.photometric = PHOTOMETRIC_MINISBLACK;
         const std::string tile =
             compressedZeros(dir.file("tile.tif"), claimed(16, 16, s.compression, 16));
         s.tileWidth = 16;
         s.tileHeight = 16;
         const std::uint32_t tiles = 512 * 512;
         return !tile.empty() && writeRawTiff(path, s, tiles, [&](std::uint32_t) { return tile; });
     }},
    {"faxPageOfAbsurdSize",
     [](const std::string& path, const TempDir& dir) {
         TiffSpec s = claimed(65535, 2600, COMPRESSION_CCITTFAX4, 260);
         s.photometric = PHOTOMETRIC_MINISWHITE;
         s.bits = 1;
         s.samples = 1;
         return zeroBomb(path, dir, s);
     }},
    {"tileLargerThanAnyPicture",
     [](const std::string& path, const TempDir&) {
         TiffSpec s = claimed(16, 16, COMPRESSION_ADOBE_DEFLATE, 0);
         s.tileWidth = 8192;
         s.tileHeight = 8192;
         return writeRawTiff(path, s, 1, [](std::uint32_t) { return std::string("\x78\x9c", 2); });
     }},
    // Photoshop and XMP keep megabytes in tags, which libtiff reads for every handle.
    {"tagDataOfManyMegabytes",
     [](const std::string& path, const TempDir&) {
         const std::uint32_t bytes = 24 << 20;
         return writeTiff(path, claimed(2000, 1500, COMPRESSION_LZW, 16),
                          [](auto x, auto y, int s) { return std::uint32_t(x * y + s) & 255; }) &&
                addTags(path, std::string(bytes, 'x'), {{65000, TIFF_UNDEFINED, bytes, 0}});
     }},
    // A small file whose tags all name the same data: each is read on its own.
    {"oneBlockOfDataNamedByManyTags",
     [](const std::string& path, const TempDir&) {
         const std::uint32_t bytes = 900 << 10;
         std::vector<ExtraTag> tags;
         for (std::uint16_t t = 50000; t < 51000; ++t)
             tags.push_back({t, TIFF_UNDEFINED, bytes, 0});
         return writeTiff(path, claimed(2000, 1500, COMPRESSION_LZW, 16),
                          [](auto, auto, int) { return 0u; }) &&
                addTags(path, std::string(bytes, 'x'), tags) &&
                std::filesystem::file_size(path) < 1000000;
     }},
    // As many tags as libtiff reads, each of a kind that it does not know.
    {"tagsByTheThousand",
     [](const std::string& path, const TempDir&) {
         std::vector<ExtraTag> tags;
         for (std::uint16_t t = 60000; t < 64080; ++t)
             tags.push_back({t, TIFF_LONG, 1, 0});
         return writeTiff(path, claimed(2000, 1500, COMPRESSION_LZW, 16),
                          [](auto, auto, int) { return 0u; }) &&
                addTags(path, std::string(4, '\0'), tags) &&
                std::filesystem::file_size(path) < 1000000;
     }},
    {"cutShort",
     [](const std::string& path, const TempDir&) {
         if (!writeTiff(path, claimed(2000, 2000, COMPRESSION_LZW, 16),
                        [](auto x, auto y, int s) { return std::uint32_t(x * y + s) & 255; }))
             return false;
         std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
         return true;
     }},
};

class HostileTiff : public ::testing::TestWithParam<Hostile> {
protected:
    TempDir dir_;
};

// Loaded or refused, within a second and with little memory, whatever the file claims.
TEST_P(HostileTiff, CostsLittle) {
    const std::string path = dir_.file("hostile.tif");
    ASSERT_TRUE(GetParam().write(path, dir_));
    for (const bool boxed : {true, false}) {
        SCOPED_TRACE(boxed ? "fitted" : "whole");
        const ChildCost cost = costInChild([&] {
            const Picture p =
                boxed ? FolderItem(path).OpenAsPicture(300, 300) : FolderItem(path).OpenAsPicture();
            return !p.isNil();
        });
        ASSERT_TRUE(cost.finished);
        EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
        EXPECT_TRUE(withinMemory(cost, 100)) << cost.peakOverIdleMiB << " MiB";
        std::printf("%s %s: %s in %.3f s, %.1f MiB over idle\n", GetParam().name,
                    boxed ? "fitted" : "whole", cost.result ? "loaded" : "refused", cost.seconds,
                    cost.peakOverIdleMiB);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileTiff, ::testing::ValuesIn(kHostile),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace planora::test
