#include "platform/FolderItem.h"
#include "support/FaultInjection.h"
#include "support/FreshProcess.h"
#include "support/TempDir.h"
#include "support/TiffFiles.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>

namespace planora::test {
namespace {

// A picture that is decoded on several threads: millions of pixels, in more bands than can be
// decoded ahead of the one that is shrunk.
TiffSpec threadedSpec() {
    TiffSpec spec;
    spec.width = 1024;
    spec.height = 4096;
    spec.rowsPerStrip = 16;
    spec.compression = COMPRESSION_LZW;
    return spec;
}

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
        ASSERT_TRUE(writeTiff(path_, threadedSpec(), sampleAt));
    }
    void TearDown() override {
        faults::failThreadStartsFrom(0);
        faults::newThreadsCannotAllocate(false);
        faults::beforeThreadStart({});
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

TEST(TiffFaultsInAFreshProcess, ThreadsThatCannotStartOrAllocateEndNeitherTheLoadNorTheProgram) {
    if (faults::usableProcessors() < 2)
        GTEST_SKIP() << "on one processor pictures are decoded without threads";
    EXPECT_EQ(runInFreshProcess("TiffFaults.*", kFaultsMark, "1", {}, faults::preloadEnvironment()),
              0);
}

} // namespace
} // namespace planora::test
