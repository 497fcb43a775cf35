#include "core/Mapping.h"

#include "platform/Exceptions.h"
#include "platform/Testing.h"
#include "platform/Text.h"
#include "support/PictureText.h"
#include "support/Program.h"

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>

namespace planora::test {
namespace {

__extension__ typedef __int128 Wide;

constexpr Color kWhite = RGB(255, 255, 255);
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t k2p52 = std::int64_t(1) << 52;
constexpr std::int64_t k2p62 = std::int64_t(1) << 62;

struct Point {
    int x, y;
};

// A picture whose every pixel tells where it lies: no two pixels share a colour and none is
// white, so a white target pixel is one that nothing was written to.
Color coordinateColor(Point p) {
    return RGB(p.x & 255, p.y & 255, 1 + (p.x >> 8) + 2 * (p.y >> 8));
}
void drawCoordinates(const Picture& picture) {
    Graphics& g = picture.graphics();
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            g.Pixel(x, y, coordinateColor({x, y}));
}

// The mapping written out step by step, one pixel at a time through the drawing context, with
// the offsets taken exactly before they become Doubles. The result goes into z.
void referenceMapping(const App& app, const Picture& z, bool backward) {
    Graphics& out = z.graphics();
    out.ForeColor(RGB(255, 255, 255, 0));
    out.FillRect(0, 0, 300, 300);
    if (app.overlay)
        out.DrawPicture(app.qbild, 0, 0);
    const main& w = main::instance();
    const double a11 = Val(w.TEMat(1)->Text()), a12 = Val(w.TEMat(2)->Text());
    const double a21 = Val(w.TEMat(3)->Text()), a22 = Val(w.TEMat(4)->Text());
    const Graphics& q = app.qbild.graphics();
    const Graphics& o = app.obild.graphics();

    const Wide originRow = Wide(299) - app.oy;
    const double ox = double(app.ox), oyRow = double(originRow);
    auto index = [](double value) -> std::optional<std::int64_t> {
        const std::optional<std::int64_t> t = truncToInt64(value);
        if (t && 0 <= *t && *t < 300)
            return t;
        return std::nullopt;
    };
    if (!backward) {
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x) {
                const Color c = (app.overlay ? o : q).Pixel(x, y);
                const double dx = double(Wide(x) - app.ox), dy = double(Wide(y) - originRow);
                const auto u = index((a11 * dx - a12 * dy) + ox);
                const auto v = index((a22 * dy - a21 * dx) + oyRow);
                if (u && v)
                    out.Pixel(*u, *v, c);
            }
        return;
    }
    const double det = a22 * a11 - a21 * a12;
    const double inv = 1.0 / det;
    const double b11 = a22 * inv, b12 = a12 * (-inv), b21 = a21 * (-inv), b22 = a11 * inv;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const double dx = double(Wide(x) - app.ox), dy = double(Wide(y) - originRow);
            const auto u = index((b11 * dx - b12 * dy) + ox);
            const auto v = index((b22 * dy - b21 * dx) + oyRow);
            if (!u || !v)
                continue;
            if (app.overlay) {
                const Color c1 = q.Pixel(x, y), c2 = o.Pixel(*u, *v);
                out.Pixel(x, y,
                          RGB(Red(c2) & Red(c1), Green(c2) & Green(c1), Blue(c2) & Blue(c1), 0));
            } else {
                out.Pixel(x, y, q.Pixel(*u, *v));
            }
        }
}

// Compares every pixel; reports the first difference and how many there are.
::testing::AssertionResult samePixels(const Picture& actual, const Picture& expected) {
    const Graphics &a = actual.graphics(), &e = expected.graphics();
    int differences = 0;
    ::testing::Message first;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            if (a.Pixel(x, y) != e.Pixel(x, y) && differences++ == 0)
                first << "(" << x << ", " << y << ") is " << std::hex << a.Pixel(x, y)
                      << ", expected " << e.Pixel(x, y);
    if (differences == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences << " pixels differ, first " << first;
}

class MappingTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        drawCoordinates(app().qbild);
    }

    static void setMatrix(const std::array<std::string, 4>& texts) {
        for (int i = 0; i < 4; ++i)
            window().TEMat(i + 1)->Text(texts[i]);
    }
    static void transform() { window().PushButton2()->push(); }
    static void map(bool backward) {
        if (backward)
            app().berechnen();
        else
            app().berechnenDIREKT();
    }

    // zbild against a rule that names, for each target pixel, the source pixel it must hold
    // (nothing: it stays white).
    using Rule = std::function<std::optional<Point>(int x, int y)>;
    static ::testing::AssertionResult zbildFollows(const Rule& rule) {
        const Picture expected(300, 300);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                if (const std::optional<Point> p = rule(x, y))
                    expected.graphics().Pixel(x, y, coordinateColor(*p));
        return samePixels(app().zbild, expected);
    }
};

std::optional<Point> same(int x, int y) {
    return Point{x, y};
}
std::optional<Point> none(int, int) {
    return std::nullopt;
}

struct ExactCase {
    const char* name;
    std::array<std::string, 4> matrix;
    std::int64_t ox, oy;
    bool backward;
    std::function<std::optional<Point>(int, int)> rule;
};

TEST_F(MappingTest, MapsExactlyAsTheFormulaSays) {
    const std::array<std::string, 4> identity = {"1", "0", "0", "1"};
    const std::array<std::string, 4> zero = {"0", "0", "0", "0"};
    const std::array<std::string, 4> scale2 = {"2", "0", "0", "2"};
    // With the origin at column 0 and row 0, source pixel (x, y) has dx = x and dy = y.
    auto uTimes = [](const char* a11) { return std::array<std::string, 4>{a11, "0", "0", "1"}; };
    auto vTimes = [](const char* a22) { return std::array<std::string, 4>{"1", "0", "0", a22}; };
    auto column0 = [](int from) {
        return [from](int x, int y) {
            return x == 0 ? std::optional<Point>({from, y}) : std::nullopt;
        };
    };
    auto row0 = [](int from) {
        return [from](int x, int y) {
            return y == 0 ? std::optional<Point>({x, from}) : std::nullopt;
        };
    };
    // clang-format off
    const ExactCase cases[] = {
        {"identity backward",                      identity, 150,    150,    true,  same},
        {"identity forward",                       identity, 150,    150,    false, same},
        {"identity backward, origin at 0, 0",      identity, 0,      0,      true,  same},
        {"identity forward, origin outside",       identity, -50,    400,    false, same},
        {"identity backward, origin 2^52, -2^52",  identity, k2p52,  -k2p52, true,  same},
        {"identity forward, origin -2^52, 2^52",   identity, -k2p52, k2p52,  false, same},
        {"identity backward, origin -2^52, 2^52",  identity, -k2p52, k2p52,  true,  same},
        {"identity forward, origin 2^52, -2^52",   identity, k2p52,  -k2p52, false, same},
        {"zero backward is singular",              zero,     150,    150,    true,  none},
        {"zero forward puts the last source pixel on the origin", zero, 150, 150, false,
         [](int x, int y) { return x == 150 && y == 149 ? std::optional<Point>({299, 299}) : std::nullopt; }},
        {"scale 2 forward writes even columns of odd rows", scale2, 150, 150, false,
         [](int x, int y) {
             return x % 2 == 0 && y % 2 == 1 ? std::optional<Point>({(x + 150) / 2, (y + 149) / 2}) : std::nullopt; }},
        {"scale 2 backward fills all from the middle", scale2, 150, 150, true,
         [](int x, int y) { return std::optional<Point>({75 + x / 2, 74 + (y + 1) / 2}); }},
        {"-0.5 truncates to column 0", {"-2", "0", "0", "1"}, 0, 150, true,
         [](int x, int y) { return x <= 1 ? std::optional<Point>({0, y}) : std::nullopt; }},
        {"u = 299.99 addresses column 299",        uTimes("299.99"), 0, 299, false,
         [](int x, int y) { return x == 0 ? std::optional<Point>({0, y}) : x == 299 ? std::optional<Point>({1, y}) : std::nullopt; }},
        {"u = 300 is outside",                     uTimes("300"),   0, 299, false, column0(0)},
        {"u = -0.99 addresses column 0, last wins", uTimes("-0.99"), 0, 299, false, column0(1)},
        {"u = -1 is outside",                      uTimes("-1"),    0, 299, false, column0(0)},
        {"v = 299.99 addresses row 299",           vTimes("299.99"), 0, 299, false,
         [](int x, int y) { return y == 0 ? std::optional<Point>({x, 0}) : y == 299 ? std::optional<Point>({x, 1}) : std::nullopt; }},
        {"v = 300 is outside",                     vTimes("300"),   0, 299, false, row0(0)},
        {"v = -0.99 addresses row 0, last wins",   vTimes("-0.99"), 0, 299, false, row0(1)},
        {"v = -1 is outside",                      vTimes("-1"),    0, 299, false, row0(0)},
    };
    // clang-format on
    for (const ExactCase& c : cases) {
        SCOPED_TRACE(c.name);
        setMatrix(c.matrix);
        app().ox = c.ox;
        app().oy = c.oy;
        map(c.backward);
        EXPECT_TRUE(zbildFollows(c.rule));
    }
}

struct NothingCase {
    const char* name;
    std::array<std::string, 4> matrix;
    bool forwardToo; // the forward mapping, too, lands nowhere
};

TEST_F(MappingTest, MatricesThatMapNothingLeaveTheStartPicture) {
    // clang-format off
    const NothingCase cases[] = {
        {"singular 1 2 2 4",                               {"1", "2", "2", "4"},                 false},
        {"a text that is no number reads as 0",            {"abc", "0", "0", "1"},               false},
        {"0.1 0.2 0.3 0.6 has det exactly 0",              {"0.1", "0.2", "0.3", "0.6"},         false},
        {"products that overflow make det NaN",            {"1e308", "1e308", "1e308", "1e308"}, false},
        {"products that underflow make det 0",             {"1e-200", "1e-200", "1e-200", "1e-200"}, false},
        {"1 / det overflows",                              {"1e-160", "0", "0", "1e-160"},       false},
        {"an entry beyond the Double range is infinite",   {"1e400", "0", "0", "1"},             true},
        {"a NaN entry",                                    {"1", "nan", "0", "1"},               true},
        {"a negative infinite entry",                      {"1", "0", "0", "-inf"},              true},
    };
    // clang-format on
    for (const NothingCase& c : cases) {
        SCOPED_TRACE(c.name);
        setMatrix(c.matrix);
        app().overlay = false;
        app().berechnen();
        EXPECT_TRUE(zbildFollows(none));
        app().overlay = true;
        app().berechnen();
        EXPECT_TRUE(zbildFollows(same)) << "overlay keeps the copy of qbild";
        if (c.forwardToo) {
            app().overlay = false;
            app().berechnenDIREKT();
            EXPECT_TRUE(zbildFollows(none)) << "forward";
        }
    }
}

TEST_F(MappingTest, RotationLeavesHolesForwardButNotBackward) {
    const std::string c = Str(std::cos(std::numbers::pi / 4)),
                      s = Str(std::sin(std::numbers::pi / 4));
    setMatrix({c, "-" + s, s, c});
    // Target pixels within 100 pixels of the origin all have their source inside.
    auto whiteNearOrigin = [] {
        int white = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                if (std::hypot(x - 150, y - 149) < 100 &&
                    app().zbild.graphics().Pixel(x, y) == kWhite)
                    ++white;
        return white;
    };
    app().berechnenDIREKT();
    EXPECT_GT(whiteNearOrigin(), 1000);
    app().berechnen();
    EXPECT_EQ(whiteNearOrigin(), 0);
}

TEST_F(MappingTest, OverlayAndsTheChannelsOfSourceAndTemplate) {
    app().overlay = true;
    drawText(app().qbild, 0, 0, {"rgb#", "yc.."});
    drawText(app().obild, 0, 0, {"mmmm", "mymc"});
    app().berechnen();
    EXPECT_EQ(pictureToText(app().zbild, 0, 0, 4, 2), (Rows{"r#b#", "rgmc"}));

    // Halving the picture backwards: the outer ring has its source outside and keeps qbild.
    drawCoordinates(app().qbild);
    const Picture templ(300, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            templ.graphics().Pixel(x, y, RGB(0xF0, 0x0F, 0x3C ^ (x & 3)));
    app().obild.graphics().DrawPicture(templ, 0, 0);
    setMatrix({"0.5", "0", "0", "0.5"});
    app().berechnen();
    const Graphics& z = app().zbild.graphics();
    int inside = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const Color c1 = coordinateColor({x, y});
            const bool sourceInside = x >= 75 && x <= 224 && y >= 75 && y <= 224;
            const int u = 2 * x - 150;
            const Color expected =
                sourceInside ? RGB(Red(c1) & 0xF0, Green(c1) & 0x0F, Blue(c1) & (0x3C ^ (u & 3)))
                             : c1;
            if (z.Pixel(x, y) != expected) {
                ADD_FAILURE() << "(" << x << ", " << y << ")";
                return;
            }
            inside += sourceInside;
        }
    EXPECT_EQ(inside, 150 * 150);
}

TEST_F(MappingTest, TransformMapsInTheChosenDirectionThenShowsBothPictures) {
    setMatrix({"0", "0", "0", "0"});
    const Picture marker(300, 300);
    for (bool backward : {true, false}) {
        SCOPED_TRACE(backward ? "backward" : "forward");
        app().berInvers = backward;
        window().CAquell()->Backdrop(marker);
        window().CAziel()->Backdrop(marker);
        transform();
        EXPECT_TRUE(zbildFollows(backward ? Rule(none) : Rule([](int x, int y) {
            return x == 150 && y == 149 ? std::optional<Point>({299, 299}) : std::nullopt;
        })));
        EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(app().qbild));
        EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(app().zbild));
        EXPECT_TRUE(app().berechnet);
    }

    // In overlay mode the result shows on the left, and the right canvas is left alone.
    app().overlay = true;
    app().berInvers = true;
    window().CAziel()->Backdrop(marker);
    transform();
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(app().zbild));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(marker));
}

TEST_F(MappingTest, ReturnKeyTransforms) {
    setMatrix({"0", "0", "0", "0"});
    window().TEMat(1)->setFocus();
    planora::testing::pressKey(window(), "Return");
    EXPECT_TRUE(app().berechnet);
    EXPECT_TRUE(zbildFollows(none));
}

TEST_F(MappingTest, AFailingMappingShowsNothing) {
    // A source of the wrong size makes the mapping throw after the white fill.
    const Picture shown = app().qbild;
    app().qbild = Picture(10, 10);
    planora::testing::clearMessages();
    transform();
    EXPECT_EQ(planora::testing::messages().size(), 1u);
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(shown));
    EXPECT_FALSE(app().berechnet);
    app().qbild = shown;
    EXPECT_TRUE(zbildFollows(none)) << "the fill stays";
}

TEST_F(MappingTest, RepeatedRunsGiveTheSamePicture) {
    setMatrix({"0.8", "-0.6", "0.6", "0.8"});
    const Picture first(300, 300);
    for (bool backward : {true, false}) {
        map(backward);
        first.graphics().DrawPicture(app().zbild, 0, 0);
        map(backward);
        EXPECT_TRUE(samePixels(app().zbild, first));
    }
}

// Random matrices and origins, ordinary and extreme, against the step-by-step mapping.
TEST_F(MappingTest, MatchesThePixelByPixelMappingBitForBit) {
    std::mt19937_64 rng(20240611);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<>(lo, hi)(rng);
    };
    auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
    const double inf = std::numeric_limits<double>::infinity();
    const double specials[] = {
        0.0,    -0.0, 1.0,    -1.0,  0.5,    2.0,
        -2.0,   0.1,  0.3,    1e308, -1e308, 1e-200,
        5e-324, 1e20, -1e-20, inf,   -inf,   std::numeric_limits<double>::quiet_NaN()};
    const double halves[] = {-2.0, -1.5, -1.0, -0.5, -0.0, 0.0, 0.5, 1.0, 1.5, 2.0, 3.0};
    const std::int64_t origins[] = {0,      150,       299,        300,       -1,         k2p52,
                                    -k2p52, k2p52 + 1, -k2p52 - 1, 2 * k2p52, -2 * k2p52, k2p62,
                                    -k2p62, kMax,      -kMax,      kMin,      kMax - 299};
    auto matrix = [&]() -> std::array<double, 4> {
        switch (rng() % 4) {
        case 0: {
            const double t = uniform(-4, 4), s = uniform(0.2, 3);
            return {s * std::cos(t), -s * std::sin(t), s * std::sin(t), s * std::cos(t)};
        }
        case 1:
            return {uniform(-3, 3), uniform(-3, 3), uniform(-3, 3), uniform(-3, 3)};
        case 2:
            return {pick(halves), pick(halves), pick(halves), pick(halves)};
        default:
            return {pick(specials), pick(specials), pick(specials), pick(specials)};
        }
    };
    auto origin = [&]() -> std::int64_t {
        switch (rng() % 3) {
        case 0:
            return std::int64_t(rng() % 1100) - 400;
        case 1:
            return pick(origins);
        default:
            return std::int64_t(rng());
        }
    };

    const Picture templ(300, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x)
            templ.graphics().Pixel(x, y, coordinateColor({299 - y, x}) ^ 0x5A5A5A);
    app().obild.graphics().DrawPicture(templ, 0, 0);
    const Picture expected(300, 300);
    for (int run = 0; run < 240; ++run) {
        const std::array<double, 4> m = matrix();
        setMatrix({Str(m[0]), Str(m[1]), Str(m[2]), Str(m[3])});
        app().ox = origin();
        app().oy = origin();
        app().overlay = rng() % 3 == 0;
        const bool backward = rng() % 2 == 0;
        SCOPED_TRACE(::testing::Message()
                     << (backward ? "backward" : "forward") << (app().overlay ? " overlay" : "")
                     << " matrix " << Str(m[0]) << " " << Str(m[1]) << " " << Str(m[2]) << " "
                     << Str(m[3]) << " origin " << app().ox << ", " << app().oy);
        referenceMapping(app(), expected, backward);
        for (int bits : {512, 256, 128}) {
            limitVectorWidth(bits);
            map(backward);
            ASSERT_TRUE(samePixels(app().zbild, expected)) << bits << "-bit vectors";
        }
    }
    limitVectorWidth(512);
}

struct FoldCase {
    const char* name;
    std::array<std::string, 4> matrix;
};

// Matrices that send several source pixels to one target pixel: the one last in loop order
// must win at every vector width, also where the colliding pixels are neighbours in a row.
TEST_F(MappingTest, TheLastOfManyPixelsOnOneTargetWinsAtEveryWidth) {
    // clang-format off
    const FoldCase cases[] = {
        {"zero sends every pixel to the origin",                     {"0",    "0",   "0", "0"}},
        {"scale 0.5 sends four pixels to each target pixel",         {"0.5",  "0",   "0", "0.5"}},
        {"scale 0.25 sends sixteen pixels to each target pixel",     {"0.25", "0",   "0", "0.25"}},
        {"-0.5 along the row sends neighbours together, reversed",   {"-0.5", "0",   "0", "1"}},
        {"a rank-one matrix folds the picture onto one row",         {"0.5",  "0.5", "0", "0"}},
    };
    // clang-format on
    const Picture expected(300, 300);
    for (const FoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        setMatrix(c.matrix);
        referenceMapping(app(), expected, false);
        for (int bits : {512, 256, 128}) {
            limitVectorWidth(bits);
            app().berechnenDIREKT();
            EXPECT_TRUE(samePixels(app().zbild, expected)) << bits << "-bit vectors";
        }
    }
    limitVectorWidth(512);
}

TEST_F(MappingTest, HugeOriginsMapLikeThePixelByPixelMapping) {
    const std::int64_t extremes[] = {k2p62, -k2p62, kMax, -kMax};
    const Picture expected(300, 300);
    for (const auto& m : {std::array<std::string, 4>{"1", "0", "0", "1"},
                          std::array<std::string, 4>{"0.8", "-0.6", "0.6", "0.8"}})
        for (std::int64_t value : extremes)
            for (bool alongX : {true, false})
                for (bool backward : {true, false}) {
                    SCOPED_TRACE(::testing::Message() << m[0] << (alongX ? " ox " : " oy ") << value
                                                      << (backward ? " backward" : " forward"));
                    setMatrix(m);
                    app().ox = alongX ? value : 150;
                    app().oy = alongX ? 150 : value;
                    map(backward);
                    referenceMapping(app(), expected, backward);
                    EXPECT_TRUE(samePixels(app().zbild, expected));
                }

    // Far right of the picture the identity still sends each pixel to itself, but its offsets
    // round to multiples of 512: only the pixels whose offset rounds to -2^62 reach column 0,
    // the last of them in loop order wins, and everything else stays white.
    setMatrix({"1", "0", "0", "1"});
    app().ox = k2p62;
    app().oy = 150;
    app().berechnenDIREKT();
    EXPECT_TRUE(zbildFollows([](int x, int y) {
        return x == 0 ? std::optional<Point>({256, y}) : std::nullopt;
    }));
}

TEST_F(MappingTest, KernelsRefuseSmallPictures) {
    Picture small(299, 300), big(300, 300);
    EXPECT_THROW(mapForward(small, big, {1, 0, 0, 1}, 150, 150), OutOfBoundsException);
    EXPECT_THROW(mapBackward(big, small, {1, 0, 0, 1}, 150, 150), OutOfBoundsException);
    EXPECT_THROW(mapBackwardOverlay(big, small, big, {1, 0, 0, 1}, 150, 150), OutOfBoundsException);
}

struct FarbaddCase {
    double a, b, expected;
};

TEST_F(MappingTest, FarbaddAndsTheTruncatedValues) {
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const FarbaddCase cases[] = {
        {12,       10,     8},
        {12.9,     10.99,  8},     // truncated toward zero
        {255,      0x3C00, 0},
        {-0.9,     7,      0},     // truncates to 0
        {9007199254740993.0 /* rounds to 2^53 */, 9007199254740992.0, 9007199254740992.0},
        {1.8e19,   1.8e19, 1.8e19}, // above the Int64 range, within the unsigned one
        {-5,       7,      0},     // below the range: 0
        {1e30,     255,    255},   // above the range: all bits set
        {inf,      6,      6},
        {std::numeric_limits<double>::quiet_NaN(), 6, 0},
    };
    // clang-format on
    for (const FarbaddCase& c : cases)
        EXPECT_EQ(app().farbadd(c.a, c.b), c.expected) << c.a << " AND " << c.b;
}

} // namespace
} // namespace planora::test
