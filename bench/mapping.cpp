// The two mappings of a 300 x 300 picture, as "Transformieren" runs them, beside a memcpy of
// one picture's 360,000 bytes and a straightforward pixel-by-pixel loop of the same arithmetic.

#include "core/Mapping.h"

#include "core/App.h"
#include "core/Startup.h"
#include "platform/Application.h"
#include "platform/Testing.h"
#include "platform/Text.h"
#include "ui/main.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace planora {
namespace {

enum Shape { Identity, Rotation30, Scale2 };

Matrix2 matrixOf(Shape shape) {
    switch (shape) {
    case Rotation30: {
        const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
        return {c, -s, s, c};
    }
    case Scale2:
        return {2, 0, 0, 2};
    default:
        return {1, 0, 0, 1};
    }
}

void setMatrix(Shape shape) {
    const Matrix2 m = matrixOf(shape);
    main& w = main::instance();
    w.TEMat(1)->Text(Str(m.a11));
    w.TEMat(2)->Text(Str(m.a12));
    w.TEMat(3)->Text(Str(m.a21));
    w.TEMat(4)->Text(Str(m.a22));
}

void labelOf(benchmark::State& state, Shape shape) {
    static const char* const names[] = {"identity", "rotation 30 degrees", "scale 2"};
    state.SetLabel(names[shape]);
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<unsigned char> from(360000, 1), to(360000);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

// App::berechnen and App::berechnenDIREKT: the white fill, the matrix read from the fields,
// the mapping.
void BM_Backward(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    setMatrix(shape);
    App& app = App::instance();
    for (auto _ : state) {
        app.berechnen();
        benchmark::ClobberMemory();
    }
    labelOf(state, shape);
}

void BM_Forward(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    setMatrix(shape);
    App& app = App::instance();
    for (auto _ : state) {
        app.berechnenDIREKT();
        benchmark::ClobberMemory();
    }
    labelOf(state, shape);
}

// The same work one pixel at a time through the drawing context, as a plain reading of the
// formula does it.
std::optional<std::int64_t> pixelIndex(double value) {
    const std::optional<std::int64_t> t = truncToInt64(value);
    if (t && *t >= 0 && *t < 300)
        return t;
    return std::nullopt;
}

void BM_BackwardPixelByPixel(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    App& app = App::instance();
    for (auto _ : state) {
        Graphics& z = app.zbild.graphics();
        z.ForeColor(RGB(255, 255, 255, 0));
        z.FillRect(0, 0, 300, 300);
        const Matrix2 a = matrixOf(shape);
        const double det = a.a22 * a.a11 - a.a21 * a.a12;
        const double inv = 1.0 / det;
        const double b11 = a.a22 * inv, b12 = a.a12 * (-inv), b21 = a.a21 * (-inv),
                     b22 = a.a11 * inv;
        const Graphics& q = app.qbild.graphics();
        for (std::int64_t y = 0; y < 300; ++y)
            for (std::int64_t x = 0; x < 300; ++x) {
                const double dx = double(x - app.ox), dy = double(y - (299 - app.oy));
                const auto u = pixelIndex((b11 * dx - b12 * dy) + double(app.ox));
                const auto v = pixelIndex((b22 * dy - b21 * dx) + double(299 - app.oy));
                if (u && v)
                    z.Pixel(x, y, q.Pixel(*u, *v));
            }
        benchmark::ClobberMemory();
    }
    labelOf(state, shape);
}

void BM_ForwardPixelByPixel(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    App& app = App::instance();
    for (auto _ : state) {
        Graphics& z = app.zbild.graphics();
        z.ForeColor(RGB(255, 255, 255, 0));
        z.FillRect(0, 0, 300, 300);
        const Matrix2 a = matrixOf(shape);
        const Graphics& q = app.qbild.graphics();
        for (std::int64_t y = 0; y < 300; ++y)
            for (std::int64_t x = 0; x < 300; ++x) {
                const Color c = q.Pixel(x, y);
                const double dx = double(x - app.ox), dy = double(y - (299 - app.oy));
                const auto u = pixelIndex((a.a11 * dx - a.a12 * dy) + double(app.ox));
                const auto v = pixelIndex((a.a22 * dy - a.a21 * dx) + double(299 - app.oy));
                if (u && v)
                    z.Pixel(*u, *v, c);
            }
        benchmark::ClobberMemory();
    }
    labelOf(state, shape);
}

// The mapping kernels alone, without the white fill, with vector registers of at most the
// given width (128 bits: what every x86-64 processor has).
void labelOf(benchmark::State& state, Shape shape, int bits) {
    static const char* const names[] = {"identity", "rotation 30 degrees", "scale 2"};
    state.SetLabel(std::string(names[shape]) + ", up to " + std::to_string(bits) + "-bit vectors");
}

void BM_BackwardKernel(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    const int bits = int(state.range(1));
    App& app = App::instance();
    const Matrix2 b = inverseByReciprocal(matrixOf(shape));
    limitVectorWidth(bits);
    for (auto _ : state) {
        mapBackward(app.qbild, app.zbild, b, app.ox, app.oy);
        benchmark::ClobberMemory();
    }
    limitVectorWidth(512);
    labelOf(state, shape, bits);
}

void BM_ForwardKernel(benchmark::State& state) {
    const Shape shape = Shape(state.range(0));
    const int bits = int(state.range(1));
    App& app = App::instance();
    const Matrix2 a = matrixOf(shape);
    limitVectorWidth(bits);
    for (auto _ : state) {
        mapForward(app.qbild, app.zbild, a, app.ox, app.oy);
        benchmark::ClobberMemory();
    }
    limitVectorWidth(512);
    labelOf(state, shape, bits);
}

void BM_WhiteFill(benchmark::State& state) {
    App& app = App::instance();
    for (auto _ : state) {
        Graphics& z = app.zbild.graphics();
        z.ForeColor(RGB(255, 255, 255, 0));
        z.FillRect(0, 0, 300, 300);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Backward)->DenseRange(Identity, Scale2);
BENCHMARK(BM_Forward)->DenseRange(Identity, Scale2);
BENCHMARK(BM_BackwardKernel)->ArgsProduct({{Identity, Rotation30, Scale2}, {512, 256, 128}});
BENCHMARK(BM_ForwardKernel)->ArgsProduct({{Identity, Rotation30, Scale2}, {512, 256, 128}});
BENCHMARK(BM_WhiteFill);
BENCHMARK(BM_BackwardPixelByPixel)->DenseRange(Identity, Scale2);
BENCHMARK(BM_ForwardPixelByPixel)->DenseRange(Identity, Scale2);

} // namespace
} // namespace planora

// The mappings run inside the real program, booted as at start-up short of the event loop.
int main(int argc, char** argv) {
    const auto runtime = planora::testing::startHeadless(argc, argv);
    planora::EarlyStartup();
    planora::RunFrameworkInitialization(&planora::LateStartup);
    planora::testing::processEvents();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    planora::testing::resetRuntime();
    return 0;
}
