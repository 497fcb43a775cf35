#include "platform/FolderItem.h"
#include "support/ChildCost.h"
#include "support/FaultInjection.h"
#include "support/FreshProcess.h"
#include "support/JpegFiles.h"
#include "support/LoadedLibraries.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace planora::test {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kPaddedSize = 3 * kMiB;

class JpegRead : public ::testing::Test {
protected:
    std::string put(const std::string& bytes) {
        const std::string path = dir_.file(std::to_string(++files_).append(".jpg"));
        writeBytes(path, bytes);
        return path;
    }
    TempDir dir_;
    int files_ = 0;
};

// --- Scans whose work is out of all proportion to the picture ------------------------------

struct ScanBomb {
    const char* name;
    std::int64_t side;
    int components;
    int emptyScans;
    bool padded; // to 3 MiB, so that the file is large enough for its coefficients
};

const ScanBomb kScanBombs[] = {
    {"4096 square with 10000 empty scans", 4096, 3, 10000, true},
    {"5792 square with 10000 empty scans", 5792, 3, 10000, true},
    {"11000 square grey with 10000 empty scans", 11000, 1, 10000, true},
    {"11000 square grey going 65 times over every block", 11000, 1, 64, true},
    {"one block with 10000 empty scans", 8, 1, 10000, false},
};

TEST_F(JpegRead, ScansThatCostTooMuchWorkAreRefusedQuickly) {
    for (const ScanBomb& b : kScanBombs) {
        SCOPED_TRACE(b.name);
        std::string bytes =
            withEmptyScans(blackProgressiveJpeg(b.side, b.side, b.components), b.emptyScans);
        if (b.padded)
            bytes = paddedTo(bytes, kPaddedSize);
        const std::string path = put(bytes);
        for (const bool fitted : {true, false}) {
            const ChildCost cost = costInChild([&] {
                const FolderItem f(path);
                return (fitted ? f.OpenAsPicture(300, 300) : f.OpenAsPicture()).isNil();
            });
            EXPECT_TRUE(cost.result);
            EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
            EXPECT_TRUE(withinMemory(cost, 100)) << cost.peakOverIdleMiB << " MiB";
        }
    }
}

// The largest pictures whose coefficients we hold, with as many scans as we allow, still load;
// they take the one exception to the bounds above.
TEST_F(JpegRead, AHugeProgressiveFileWithinTheBoundsLoadsWithinTheLargerBounds) {
    for (const int emptyScans : {0, 63}) {
        SCOPED_TRACE(emptyScans);
        const std::string path = put(paddedTo(
            withEmptyScans(blackProgressiveJpeg(11000, 11000, 1), emptyScans), kPaddedSize));
        const ChildCost cost = costInChild([&] {
            const Picture p = FolderItem(path).OpenAsPicture(300, 300);
            return !p.isNil() && p.Width() == 600 && p.Height() == 600 &&
                   p.graphics().Pixel(300, 300) == RGB(0, 0, 0);
        });
        EXPECT_TRUE(cost.result);
        EXPECT_TRUE(withinTime(cost, 2.0)) << cost.seconds << " s";
        EXPECT_TRUE(withinMemory(cost, 256)) << cost.peakOverIdleMiB << " MiB";
    }
}

TEST_F(JpegRead, ALargeProgressiveFileWithADozenScansLoadsWithinTheBounds) {
    const std::string path = put(withEmptyScans(blackProgressiveJpeg(6000, 4000, 1), 11));
    const ChildCost cost = costInChild([&] {
        const Picture p = FolderItem(path).OpenAsPicture(300, 300);
        return !p.isNil() && p.graphics().Pixel(p.Width() / 2, p.Height() / 2) == RGB(0, 0, 0);
    });
    EXPECT_TRUE(cost.result);
    EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
    EXPECT_TRUE(withinMemory(cost, 100)) << cost.peakOverIdleMiB << " MiB";
}

// --- Files that claim much memory and hold little -------------------------------------------

// The most that loading a file may cost: 100 MiB, and from 1 MiB on, 64 bytes more for each
// byte of the file.
double memoryBoundMiB(std::size_t fileSize) {
    return fileSize < kMiB ? 100 : 100 + 64 * double(fileSize) / double(kMiB);
}

struct Claim {
    const char* name;
    std::string bytes;
};

// libjpeg holds the coefficients of the whole picture for a progressive file and for one whose
// first scan leaves out a component; a file whose first scan covers every component it decodes
// in rows, whatever follows.
TEST_F(JpegRead, FilesThatClaimMuchCostAtMostTheirBound) {
    const Claim claims[] = {
        {"sequential 8192 x 5400, its one scan naming one of three components",
         sequentialJpeg(8192, 5400, 3, 1)},
        {"sequential 8192 x 5400, its one scan naming two of three components",
         sequentialJpeg(8192, 5400, 3, 2)},
        {"sequential 16384 x 16384, its one scan naming all three components",
         sequentialJpeg(16384, 16384, 3, 3)},
        {"sequential 8192 x 5400, a scan naming all three components and then another",
         withEmptyScans(sequentialJpeg(8192, 5400, 3, 3), 1)},
        {"progressive grey 16384 x 8000 in 1 MiB",
         paddedTo(blackProgressiveJpeg(16384, 8000, 1), kMiB)},
        {"progressive grey 11000 x 11000 in 1.67 MB",
         paddedTo(blackProgressiveJpeg(11000, 11000, 1), 1670 * 1024)},
        {"progressive colour 5792 x 5792 in 1 MiB",
         paddedTo(blackProgressiveJpeg(5792, 5792, 3), kMiB)},
        {"progressive grey 8192 x 8192 in less than 1 MB",
         paddedTo(blackProgressiveJpeg(8192, 8192, 1), 900 * 1024)},
    };
    for (const Claim& c : claims) {
        SCOPED_TRACE(c.name);
        const std::string path = put(c.bytes);
        const double bound = memoryBoundMiB(c.bytes.size());
        for (const bool fitted : {true, false}) {
            SCOPED_TRACE(fitted ? "fitted" : "full size");
            const ChildCost cost = costInChild([&] {
                const FolderItem f(path);
                (fitted ? f.OpenAsPicture(300, 300) : f.OpenAsPicture()).isNil();
                return true;
            });
            EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
            EXPECT_TRUE(withinMemory(cost, bound))
                << cost.peakOverIdleMiB << " MiB of at most " << bound;
        }
    }
}

// --- Ordinary files of every kind of colour, baseline and progressive ----------------------

constexpr Color kLeft = RGB(230, 60, 20), kRight = RGB(20, 200, 230);

bool near(Color a, Color b) {
    auto close = [](std::int64_t x, std::int64_t y) { return std::abs(x - y) <= 24; };
    return close(Red(a), Red(b)) && close(Green(a), Green(b)) && close(Blue(a), Blue(b));
}

Color greyOf(Color c) {
    return RGB(Green(c), Green(c), Green(c));
}

struct Kind {
    const char* name;
    JpegColours colours;
};

const Kind kKinds[] = {
    {"YCbCr", JpegColours::YCbCr},
    {"exact RGB", JpegColours::ExactRgb},
    {"grey", JpegColours::Grey},
    {"CMYK", JpegColours::Cmyk},
};

TEST_F(JpegRead, EveryKindOfColourLoadsBaselineAndProgressive) {
    Picture halves = solidPicture(2400, 1600, kRight);
    halves.graphics().ForeColor(kLeft);
    halves.graphics().FillRect(0, 0, 1200, 1600);
    for (const Kind& k : kKinds) {
        for (const bool progressive : {false, true}) {
            SCOPED_TRACE(std::string(k.name) + (progressive ? " progressive" : " baseline"));
            const std::string path =
                put(jpegBytes(halves, {.colours = k.colours, .progressive = progressive}));
            const bool grey = k.colours == JpegColours::Grey;
            for (const bool fitted : {false, true}) {
                const Picture p = fitted ? FolderItem(path).OpenAsPicture(300, 300)
                                         : FolderItem(path).OpenAsPicture();
                ASSERT_FALSE(p.isNil());
                EXPECT_EQ(p.Width(), fitted ? 600 : 2400);
                EXPECT_EQ(p.Height(), fitted ? 400 : 1600);
                const Color left = p.graphics().Pixel(p.Width() / 4, p.Height() / 2);
                const Color right = p.graphics().Pixel(3 * p.Width() / 4, p.Height() / 2);
                EXPECT_TRUE(near(left, grey ? greyOf(kLeft) : kLeft));
                EXPECT_TRUE(near(right, grey ? greyOf(kRight) : kRight));
            }
        }
    }
}

TEST_F(JpegRead, ExactFilesGiveBackEveryPixel) {
    Picture p(37, 29);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
            p.graphics().Pixel(x, y, RGB(7 * x, 9 * y, 255 - 3 * x - 2 * y));
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const Picture read =
            FolderItem(
                put(jpegBytes(p, {.colours = JpegColours::ExactRgb, .progressive = progressive})))
                .OpenAsPicture();
        ASSERT_FALSE(read.isNil());
        int wrong = 0;
        for (int y = 0; y < 29; ++y)
            for (int x = 0; x < 37; ++x)
                wrong += read.graphics().Pixel(x, y) != p.graphics().Pixel(x, y);
        EXPECT_EQ(wrong, 0);
    }
}

// Coloured detail everywhere, stored as cameras and photo editors store it: luminance, and
// colour at half resolution each way.
TEST_F(JpegRead, AProgressivePhotoOfAFewMegabytesLoadsWithinItsBound) {
    Picture photo(6000, 4000);
    std::mt19937 random(3);
    for (int y = 0; y < 4000; ++y) {
        std::uint32_t* row = photo.row(y);
        for (int x = 0; x < 6000; ++x) {
            const std::uint32_t noise = random();
            row[x] = Picture::wordFromColor(RGB(x * 231 / 6000 + int(noise % 24),
                                                y * 231 / 4000 + int((noise >> 8) % 24),
                                                (x + y) * 231 / 10000 + int((noise >> 16) % 24)));
        }
    }
    const std::string bytes = jpegBytes(photo, {.quality = 85, .progressive = true});
    ASSERT_GT(bytes.size(), 2 * kMiB);
    const std::string path = put(bytes);
    for (const bool fitted : {true, false}) {
        SCOPED_TRACE(fitted ? "fitted" : "full size");
        const ChildCost cost = costInChild([&] {
            const FolderItem f(path);
            const Picture p = fitted ? f.OpenAsPicture(300, 300) : f.OpenAsPicture();
            return !p.isNil() &&
                   near(p.graphics().Pixel(p.Width() / 2, p.Height() / 2), RGB(127, 127, 127));
        });
        EXPECT_TRUE(cost.result);
        EXPECT_TRUE(withinTime(cost, 1.0)) << cost.seconds << " s";
        EXPECT_TRUE(withinMemory(cost, memoryBoundMiB(bytes.size())))
            << cost.peakOverIdleMiB << " MiB";
    }
}

// --- What reading a JPEG brings into the process --------------------------------------------

constexpr const char* kAloneMark = "PLANORA_TEST_JPEG_READ_ALONE";

// The child's half, in a process of its own: a plugin that an earlier test of the same run
// had loaded would otherwise count against the reader.
TEST_F(JpegRead, AloneLoadsNoImageFormatPlugin) {
    if (std::getenv(kAloneMark) == nullptr)
        GTEST_SKIP() << "runs only in the process that the test below starts";
    const std::string baseline = put(jpegBytes(solidPicture(1600, 1200, RGB(9, 99, 199))));
    const std::string progressive =
        put(jpegBytes(solidPicture(640, 480, RGB(9, 99, 199)), {.progressive = true}));
    ASSERT_FALSE(anImageFormatPluginIsLoaded());
    EXPECT_FALSE(FolderItem(baseline).OpenAsPicture(300, 300).isNil());
    EXPECT_FALSE(FolderItem(progressive).OpenAsPicture().isNil());
    EXPECT_FALSE(Picture::OpenFromApp("eulebild.jpg").isNil());
    EXPECT_FALSE(anImageFormatPluginIsLoaded());
}

TEST(JpegReadInAFreshProcess, NeitherAFileNorAShippedPictureLoadsAnImageFormatPlugin) {
    EXPECT_EQ(runInFreshProcess("JpegRead.AloneLoadsNoImageFormatPlugin", kAloneMark, "1"), 0);
}

// --- A disk that fails while the picture is decoded -----------------------------------------

constexpr const char* kFailingMark = "PLANORA_TEST_JPEG_READS_FAIL";

// The child's half: the file's reads fail once the checks have read it to its end, so in the
// middle of the decoder's reading.
TEST_F(JpegRead, AloneWithFailingReadsRefusesTheFile) {
    const char* path = std::getenv(faults::kFailReadsOf);
    if (std::getenv(kFailingMark) == nullptr || path == nullptr)
        GTEST_SKIP() << "runs only in the process that the test below starts";
    EXPECT_TRUE(FolderItem(path).OpenAsPicture(300, 300).isNil());
}

TEST(JpegReadInAFreshProcess, AReadErrorWhileDecodingRefusesTheFile) {
    // Detail everywhere, so that the decoder reads the file in many pieces.
    Picture detailed(1024, 768);
    std::minstd_rand random(7);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            detailed.graphics().Pixel(x, y, Color(random() & 0xFFFFFF));
    const TempDir dir;
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const std::string path = dir.file(progressive ? "progressive.jpg" : "baseline.jpg");
        writeBytes(path, jpegBytes(detailed, {.progressive = progressive}));
        ASSERT_FALSE(FolderItem(path).OpenAsPicture(300, 300).isNil());
        EXPECT_EQ(runInFreshProcess("JpegRead.AloneWithFailingReadsRefusesTheFile", kFailingMark,
                                    "1", {},
                                    faults::preloadEnvironment({{faults::kFailReadsOf, path}})),
                  0);
    }
}

// --- Memory that runs out while the picture is decoded --------------------------------------

constexpr const char* kOutOfMemoryMark = "PLANORA_TEST_JPEG_OUT_OF_MEMORY";

// The child's half: each load runs out of memory when the decoder allocates its first rows,
// after libjpeg has taken the picture's coefficients, about 70 MiB.
TEST_F(JpegRead, AloneRunningOutOfMemoryGivesBackWhatTheDecoderTook) {
    const char* path = std::getenv(kOutOfMemoryMark);
    if (path == nullptr)
        GTEST_SKIP() << "runs only in the process that the test below starts";
    ASSERT_TRUE(faults::loaded());
    const double before = residentMiB();
    for (int i = 0; i < 3; ++i) {
        faults::failNextAllocation(4096);
        EXPECT_TRUE(FolderItem(path).OpenAsPicture(300, 300).isNil());
    }
    EXPECT_GT(peakResidentMiB() - before, 60) << "the decoder ran out before it took its memory";
    const ChildCost held{.finished = true, .peakOverIdleMiB = residentMiB() - before};
    EXPECT_TRUE(withinMemory(held, 20)) << held.peakOverIdleMiB << " MiB still held";
}

TEST(JpegReadInAFreshProcess, RunningOutOfMemoryWhileDecodingLeavesNothingBehind) {
    const TempDir dir;
    const std::string path = dir.file("progressive.jpg");
    writeBytes(path, paddedTo(blackProgressiveJpeg(6000, 6000, 1), 1 << 20));
    ASSERT_FALSE(FolderItem(path).OpenAsPicture(300, 300).isNil());
    EXPECT_EQ(runInFreshProcess("JpegRead.AloneRunningOutOfMemoryGivesBackWhatTheDecoderTook",
                                kOutOfMemoryMark, path, {}, faults::preloadEnvironment()),
              0);
}

} // namespace
} // namespace planora::test
