// Loading a photo as "Bild laden" does, fitted into the 300 x 300 source picture, beside the
// toolkit's reader on the same file: its own scaled read at the fitted size, and a plain
// full-size decode. After the runs, the ratios of the load and fit to both are printed. The
// photos are drawn and written (JPEG at quality 90) at start, in a child process, so that making
// them does not count towards the peak memory reported here.
//
// Peak memory: before the timed runs, each case runs once more in a child process of the idle,
// started program; what it adds to that process's peak resident size is reported in the
// context lines ("peak over idle").

#include "core/App.h"
#include "core/Startup.h"
#include "platform/Application.h"
#include "platform/Benchmarking.h"
#include "platform/Testing.h"
#include "platform/picturefiles/PictureReader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace planora {
namespace {

struct Photo {
    const char* name;
    std::int64_t width, height;
    const char* extension;
    bool (*write)(const Picture&, const std::string&);
    std::string path;
};

bool writeJpeg90(const Picture& picture, const std::string& path) {
    return benchmarking::writeJpeg(picture, path, 90);
}

Photo photos[] = {
    {"6000x4000", 6000, 4000, "jpg", writeJpeg90, {}},
    {"1920x1080", 1920, 1080, "jpg", writeJpeg90, {}},
    {"6000x4000 BMP", 6000, 4000, "bmp", benchmarking::writeBmp, {}},
    {"6000x4000 TIFF", 6000, 4000, "tif", benchmarking::writeTiff, {}},
    {"6000x4000 TIFF LZW", 6000, 4000, "tif", benchmarking::writeTiffLzw, {}},
};

// Smooth colour ramps with a fine grain on top, so that the encoder has a photo's work to do.
Picture photoLike(std::int64_t width, std::int64_t height) {
    Picture p(width, height);
    std::uint32_t seed = 1;
    for (std::int64_t y = 0; y < height; ++y) {
        std::uint32_t* row = p.row(y);
        for (std::int64_t x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            auto channel = [grain](std::int64_t v) {
                return std::uint32_t(std::clamp<std::int64_t>(v + grain, 0, 255));
            };
            const Color c = RGB(channel(255 * x / width), channel(255 * y / height),
                                channel(128 + 100 * ((x / 97 + y / 89) % 2)));
            row[x] = Picture::wordFromColor(c);
        }
    }
    return p;
}

// Runs work in a child process; returns its exit code.
int inChild(const std::function<int()>& work) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::int64_t statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atoll(line.c_str() + std::string(field).size());
    return -1;
}

// What work adds to the peak resident size of this process, in MiB, measured in a child.
double peakOverIdleMiB(const std::function<void()>& work) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    inChild([&] {
        const std::int64_t before = statusKiB("VmRSS:");
        work();
        const double added = double(statusKiB("VmHWM:") - before) / 1024;
        return ::write(pipeEnds[1], &added, sizeof added) == sizeof added ? 0 : 1;
    });
    double added = -1;
    if (::read(pipeEnds[0], &added, sizeof added) != sizeof added)
        added = -1;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    return added;
}

void loadAndFit(const Photo& photo) {
    testing::answerNextOpenDialog(photo.path);
    App::instance().loadpic();
}

void BM_LoadAndFit(benchmark::State& state, const Photo* photo) {
    for (auto _ : state) {
        loadAndFit(*photo);
        benchmark::DoNotOptimize(App::instance().qbild);
    }
    if (!testing::messages().empty())
        state.SkipWithError("the photo could not be loaded");
}

// The toolkit's reader asked for the photo at the size that it is fitted into the box at.
void BM_ToolkitScaledRead(benchmark::State& state, const Photo* photo) {
    const BoxFit fit = fitIntoBox({photo->width, photo->height}, {300, 300});
    const std::int64_t width = std::llround(fit.width), height = std::llround(fit.height);
    for (auto _ : state) {
        const Picture p = benchmarking::decodeScaled(photo->path, width, height);
        if (p.isNil() || p.Width() != width || p.Height() != height)
            state.SkipWithError("the photo could not be read at the fitted size");
        benchmark::DoNotOptimize(p);
    }
}

void BM_PlainFullDecode(benchmark::State& state, const Photo* photo) {
    for (auto _ : state) {
        const Picture p = benchmarking::decodeWhole(photo->path);
        if (p.isNil())
            state.SkipWithError("the photo could not be decoded");
        benchmark::DoNotOptimize(p);
    }
}

// The console's table, and then for each photo its load and fit against the toolkit's two
// reads, from the medians when the runs are repeated.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred &&
                (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
                realTimes_[run.run_name.str()] = run.GetAdjustedRealTime();
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nLoad and fit in the time of the toolkit's reads (real time):\n");
        for (const Photo& photo : photos) {
            auto time = [&](const char* bench) {
                const auto found = realTimes_.find(std::string(bench) + "/" + photo.name);
                return found == realTimes_.end() ? 0.0 : found->second;
            };
            const double fit = time("BM_LoadAndFit");
            if (fit == 0)
                continue;
            std::printf("  %-20s", photo.name);
            if (const double scaled = time("BM_ToolkitScaledRead"); scaled > 0)
                std::printf("  %.2f x its scaled read", fit / scaled);
            if (const double whole = time("BM_PlainFullDecode"); whole > 0)
                std::printf("  %.2f x its full decode", fit / whole);
            std::printf("\n");
        }
    }

private:
    std::map<std::string, double> realTimes_;
};

} // namespace
} // namespace planora

int main(int argc, char** argv) {
    using namespace planora;
    const auto folder = std::filesystem::temp_directory_path() /
                        ("planora-bench-loading-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (Photo& photo : photos)
        photo.path = (folder / (std::to_string(&photo - photos) + "." + photo.extension)).string();

    const auto runtime = testing::startHeadless(argc, argv);
    const int made = inChild([] {
        for (const Photo& photo : photos)
            if (!photo.write(photoLike(photo.width, photo.height), photo.path))
                return 1;
        return 0;
    });
    if (made != 0) {
        std::fprintf(stderr, "could not write the photos into %s\n", folder.c_str());
        return 1;
    }
    EarlyStartup();
    RunFrameworkInitialization(&LateStartup);
    testing::processEvents();

    benchmark::AddCustomContext("idle program, resident",
                                std::to_string(statusKiB("VmRSS:") / 1024) + " MiB");
    for (const Photo& photo : photos) {
        const std::string size = std::to_string(std::filesystem::file_size(photo.path) / 1024);
        benchmark::AddCustomContext(std::string("photo ") + photo.name, size + " KiB");
        char text[64];
        std::snprintf(text, sizeof text, "%.1f MiB",
                      peakOverIdleMiB([&photo] { loadAndFit(photo); }));
        benchmark::AddCustomContext(std::string("peak over idle, load and fit ") + photo.name,
                                    text);
        std::snprintf(text, sizeof text, "%.1f MiB", peakOverIdleMiB([&photo] {
                          benchmark::DoNotOptimize(benchmarking::decodeWhole(photo.path));
                      }));
        benchmark::AddCustomContext(std::string("peak over idle, plain decode ") + photo.name,
                                    text);
        benchmark::RegisterBenchmark((std::string("BM_LoadAndFit/") + photo.name).c_str(),
                                     BM_LoadAndFit, &photo)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_ToolkitScaledRead/") + photo.name).c_str(),
                                     BM_ToolkitScaledRead, &photo)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_PlainFullDecode/") + photo.name).c_str(),
                                     BM_PlainFullDecode, &photo)
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    testing::resetRuntime();
    std::filesystem::remove_all(folder);
    return 0;
}
