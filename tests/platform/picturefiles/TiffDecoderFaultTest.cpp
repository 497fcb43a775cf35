#include "platform/FolderItem.h"
#include "support/FaultInjection.h"
#include "support/FreshProcess.h"
#include "support/TempDir.h"
#include "support/TiffFiles.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <utility>

namespace planora::test {
namespace {

// A picture that is decoded on several threads: millions of pixels, in more bands than can be
// decoded ahead of the one that is shrunk.
TiffSpec threadedSpec() {
    TiffSpec spec;
    spec.width = 1024;
    spec.height = 4096;
    spec.rowsPerStrip = 16;
    return spec;
}

// Files this long hold the picture, or another written over it, each with bytes to spare.
constexpr std::uintmax_t kFileBytes = 14u << 20;

std::uint32_t sampleAt(std::int64_t x, std::int64_t y, int s) {
    return std::uint32_t(x * (s + 1) + y * (3 - s)) & 255;
}

// Whether the picture is the threaded one, pixel for pixel.
bool showsThePicture(const Picture& p) {
    const TiffSpec spec = threadedSpec();
    if (p.isNil() || p.Width() != spec.width || p.Height() != spec.height)
        return false;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        for (std::int64_t x = 0; x < p.Width(); ++x)
            if (p.graphics().Pixel(x, y) !=
                RGB(int(sampleAt(x, y, 0)), int(sampleAt(x, y, 1)), int(sampleAt(x, y, 2))))
                return false;
    return true;
}

constexpr const char* kFaultsMark = "PLANORA_TEST_TIFF_FAULTS";

// The child's half, in a program started with the fault injection library preloaded.
class TiffFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv(kFaultsMark) == nullptr)
            GTEST_SKIP() << "runs only in the process that the test below starts";
        ASSERT_TRUE(faults::loaded());
        ASSERT_TRUE(write(threadedSpec()));
    }
    void TearDown() override {
        faults::failThreadStartsFrom(0);
        faults::newThreadsCannotAllocate(false);
        faults::beforeThreadStart({});
    }

    // Writes the file in place, with that many bytes in a tag of its own, as long as every
    // file of the test.
    bool write(const TiffSpec& spec, std::uint32_t tagBytes = 0) const {
        if (!writeTiff(path_, spec, sampleAt) ||
            (tagBytes > 0 &&
             !addTags(path_, std::string(tagBytes, 'x'), {{65000, TIFF_UNDEFINED, tagBytes, 0}})))
            return false;
        std::filesystem::resize_file(path_, kFileBytes);
        return true;
    }

    TempDir dir_;
    const std::string path_ = dir_.file("threaded.tif");
};

TEST_F(TiffFaults, ALoadGoesOnWithTheThreadsThatCouldStart) {
    for (const int n : {1, 2, 3}) {
        SCOPED_TRACE("thread starts fail from the " + std::to_string(n) + ". on");
        faults::failThreadStartsFrom(n);
        const auto start = std::chrono::steady_clock::now();
        const Picture p = FolderItem(path_).OpenAsPicture();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(faults::threadStarts(), 1) << "the picture was decoded without threads";
        faults::failThreadStartsFrom(0);
        EXPECT_LT(took.count(), 5.0);
        EXPECT_TRUE(showsThePicture(p));
    }
}

TEST_F(TiffFaults, AnAllocationThatFailsInAWorkerRefusesTheFileAndNothingElse) {
    faults::newThreadsCannotAllocate(true);
    faults::failThreadStartsFrom(0);
    EXPECT_TRUE(FolderItem(path_).OpenAsPicture().isNil());
    EXPECT_GE(faults::threadStarts(), 1) << "the picture was decoded without threads";
    faults::newThreadsCannotAllocate(false);
    EXPECT_TRUE(showsThePicture(FolderItem(path_).OpenAsPicture()));
}

TEST_F(TiffFaults, NoMoreThreadsDecodeThanTheProgramHasProcessors) {
    cpu_set_t all;
    ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
    for (const int processors : {1, 2}) {
        SCOPED_TRACE(std::to_string(processors) + " processors");
        cpu_set_t some;
        CPU_ZERO(&some);
        for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < processors; ++cpu)
            if (CPU_ISSET(cpu, &all)) {
                CPU_SET(cpu, &some);
                ++taken;
            }
        ASSERT_EQ(::sched_setaffinity(0, sizeof some, &some), 0);
        faults::failThreadStartsFrom(0);
        const Picture p = FolderItem(path_).OpenAsPicture();
        const int started = faults::threadStarts();
        ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
        // On one processor the calling thread decodes alone.
        EXPECT_LE(started, processors == 1 ? 0 : processors);
        EXPECT_TRUE(showsThePicture(p));
    }
}

// Another program writes the file anew while it is read: the workers' handles see another
// picture than the first handle did, or other tags.
TEST_F(TiffFaults, AFileWrittenAnewWhileItIsReadIsRefused) {
    const struct {
        const char* name;
        std::function<void(TiffSpec&)> change;
        std::uint32_t tagBytes = 0;
    } kRewrites[] = {
        {"narrower", [](TiffSpec& s) { s.width = 1000; }},
        {"shorter", [](TiffSpec& s) { s.height = 4000; }},
        {"grey", [](TiffSpec& s) { s.samples = 1, s.photometric = PHOTOMETRIC_MINISBLACK; }},
        {"tiled", [](TiffSpec& s) { s.tileWidth = 256, s.tileHeight = 256; }},
        {"turned", [](TiffSpec& s) { s.orientation = ORIENTATION_LEFTTOP; }},
        {"withAMegabyteOfTags", [](TiffSpec&) {}, 1 << 20},
    };
    for (const auto& rewrite : kRewrites) {
        SCOPED_TRACE(rewrite.name);
        ASSERT_TRUE(write(threadedSpec()));
        TiffSpec other = threadedSpec();
        rewrite.change(other);
        bool rewritten = false, written = false;
        faults::beforeThreadStart([&] {
            if (!std::exchange(rewritten, true))
                written = write(other, rewrite.tagBytes);
        });
        const Picture p = FolderItem(path_).OpenAsPicture();
        faults::beforeThreadStart({});
        ASSERT_TRUE(rewritten) << "the picture was decoded without threads";
        ASSERT_TRUE(written);
        EXPECT_TRUE(p.isNil());
    }
}

TEST(TiffFaultsInAFreshProcess, LoadsHoldWhenThreadsFailFilesChangeOrProcessorsAreFew) {
    if (faults::usableProcessors() < 2)
        GTEST_SKIP() << "on one processor pictures are decoded without threads";
    EXPECT_EQ(runInFreshProcess("TiffFaults.*", kFaultsMark, "1", {}, faults::preloadEnvironment()),
              0);
}

} // namespace
} // namespace planora::test
