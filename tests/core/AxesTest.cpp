#include "platform/Testing.h"
#include "support/PictureText.h"
#include "support/Program.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

namespace planora::test {
namespace {

__extension__ typedef __int128 Wide;

constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kRed = RGB(255, 0, 0);
constexpr Color kGrey = RGB(120, 120, 120);
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t k2p32 = std::int64_t(1) << 32;

struct Point {
    Wide x, y;
};

// Where a filled triangle puts ink: pixels whose centre lies inside, and maybe those whose
// centre lies on an edge (the toolkit decides those ties).
enum class Cover { None, Edge, Inside };

Cover cover(const std::array<Point, 3>& t, int px, int py) {
    for (const Point& p : t)
        if (p.x < -20 || p.x > 320 || p.y < -20 || p.y > 320)
            return Cover::None; // the heads are 16 pixels wide: this one lies far away
    // Edge functions at the pixel centre, all doubled to stay in integers.
    const Wide cx = 2 * Wide(px) + 1, cy = 2 * Wide(py) + 1;
    int positive = 0, negative = 0;
    for (int i = 0; i < 3; ++i) {
        const Point a = t[i], b = t[(i + 1) % 3];
        const Wide e = (2 * b.x - 2 * a.x) * (cy - 2 * a.y) - (2 * b.y - 2 * a.y) * (cx - 2 * a.x);
        positive += e > 0;
        negative += e < 0;
    }
    if (positive == 3 || negative == 3)
        return Cover::Inside;
    if (positive == 0 || negative == 0)
        return Cover::Edge;
    return Cover::None;
}

bool inBox(int px, int py, Point baseline) {
    // A 16-pixel glyph lies within 15 pixels above its baseline and 5 below.
    return px >= baseline.x - 1 && px <= baseline.x + 14 && py >= baseline.y - 15 &&
           py <= baseline.y + 5;
}

// Checks every pixel of p against the axes through the origin (ox, oy): lines of the given
// pen size, and for the grey kind the two heads and the labels at their baselines. Line and
// head pixels carry the colour exactly; label pixels are antialiased and may be anything
// inside their boxes, which must hold ink when they lie wholly inside the picture.
::testing::AssertionResult axesAre(const Picture& p, Color colour, int pen, Wide ox, Wide oy,
                                   std::optional<Point> xLabel = std::nullopt) {
    const bool grey = colour == kGrey;
    const Wide ya = 299 - oy;
    const std::array<Point, 3> xHead = {{{300, ya + 1}, {292, ya - 7}, {292, ya + 9}}};
    const std::array<Point, 3> yHead = {{{ox + 1, 0}, {ox - 7, 8}, {ox + 9, 8}}};
    const Point yLabel = {ox + 10, 15};
    const Graphics& g = p.graphics();
    int ink[2] = {0, 0};
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 300; ++x) {
            const Color c = g.Pixel(x, y);
            const bool line = (y >= ya && y < ya + pen) || (x >= ox && x < ox + pen);
            const Cover head =
                grey ? std::max(cover(xHead, x, y), cover(yHead, x, y)) : Cover::None;
            const bool label[2] = {grey && xLabel && inBox(x, y, *xLabel),
                                   grey && inBox(x, y, yLabel)};
            auto fail = [&](const char* what) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << std::hex << c << ": " << what;
            };
            if (line || head == Cover::Inside) {
                if (c != colour)
                    return fail("expected the axis colour");
            } else if (label[0] || label[1]) {
                ink[label[0] ? 0 : 1] += c != kWhite;
            } else if (head == Cover::Edge) {
                if (c != colour && c != kWhite)
                    return fail("expected the axis colour or white on a head's edge");
            } else if (c != kWhite) {
                return fail("expected white");
            }
        }
    auto inside = [](Point b) { return b.x >= 1 && b.x + 14 < 300 && b.y >= 15 && b.y + 5 < 300; };
    if (xLabel && inside(*xLabel) && ink[0] == 0)
        return ::testing::AssertionFailure() << "no ink where the x label belongs";
    if (grey && inside(yLabel) && ink[1] == 0)
        return ::testing::AssertionFailure() << "no ink where the y label belongs";
    return ::testing::AssertionSuccess();
}

class AxesTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        app().achsen(true);
    }
    static void origin(std::int64_t ox, std::int64_t oy) {
        app().ox = ox;
        app().oy = oy;
    }
    static Picture drawn(std::int64_t kind) {
        const Picture p(300, 300);
        app().achsenart = kind;
        app().achsen(p.graphics());
        return p;
    }
};

TEST_F(AxesTest, NothingIsDrawnWhileTheFlagIsOff) {
    app().achsen(false);
    for (std::int64_t kind : {1, 2}) {
        const Picture p = pictureFromText({"rgb", "cmy"});
        Graphics& g = p.graphics();
        g.ForeColor(RGB(1, 2, 3));
        g.PenWidth(5);
        g.PenHeight(6);
        g.TextSize(7);
        app().achsenart = kind;
        app().ox = 1;
        app().oy = 298;
        app().achsen(g);
        EXPECT_EQ(pictureToText(p), (Rows{"rgb", "cmy"}));
        EXPECT_EQ(g.ForeColor(), RGB(1, 2, 3));
        EXPECT_EQ(g.PenWidth(), 5);
        EXPECT_EQ(g.PenHeight(), 6);
        EXPECT_EQ(g.TextSize(), 7);
    }
}

struct CrossCase {
    const char* name;
    std::int64_t ox, oy;
};

TEST_F(AxesTest, RedCrossThroughTheOrigin) {
    // clang-format off
    const CrossCase cases[] = {
        {"default origin: row 149, column 150",   150,         150},
        {"origin in the top left corner",         0,           299},
        {"origin at 400: only the x axis",        400,         150},
        {"2^32 + 150 does not wrap to 150",       k2p32 + 150, k2p32 + 150},
        {"origin below and left of the picture",  -50,         -3},
        {"largest origin",                        kMax,        kMax},
        {"smallest origin",                       kMin,        kMin},
    };
    // clang-format on
    for (const CrossCase& c : cases) {
        SCOPED_TRACE(c.name);
        origin(c.ox, c.oy);
        const Picture p = drawn(1);
        EXPECT_TRUE(axesAre(p, kRed, 1, c.ox, c.oy));
        EXPECT_EQ(p.graphics().ForeColor(), kRed);
        EXPECT_EQ(p.graphics().PenWidth(), 1) << "the red cross keeps the pen it finds";
    }
}

struct GreyCase {
    const char* name;
    std::int64_t ox, oy;
    std::optional<Point> xLabel;
};

TEST_F(AxesTest, GreyAxesWithArrowHeadsAndLabels) {
    // clang-format off
    const GreyCase cases[] = {
        {"default origin",                                150,         150,   Point{285, 169}},
        {"oy 28: the x label moves above the axis",       150,         28,    Point{285, 263}},
        {"oy 29: the x label stays below",                150,         29,    Point{285, 290}},
        {"oy 0: the x axis on the bottom row",            150,         0,     Point{285, 291}},
        {"origin at 400: y axis, head and label outside", 400,         150,   Point{285, 169}},
        {"origin at the left edge",                       0,           150,   Point{285, 169}},
        {"2^32 + 150 does not wrap to 150",               k2p32 + 150, 150,   Point{285, 169}},
        {"x axis far above the picture",                  150,         k2p32, std::nullopt},
        {"largest origin",                                kMax,        kMax,  std::nullopt},
        {"smallest origin",                               kMin,        kMin,  std::nullopt},
    };
    // clang-format on
    for (const GreyCase& c : cases) {
        SCOPED_TRACE(c.name);
        origin(c.ox, c.oy);
        const Picture p = drawn(2);
        EXPECT_TRUE(axesAre(p, kGrey, 2, c.ox, c.oy, c.xLabel));
        const Graphics& g = p.graphics();
        EXPECT_EQ(g.ForeColor(), kGrey);
        EXPECT_EQ(g.PenWidth(), 2);
        EXPECT_EQ(g.PenHeight(), 2);
        EXPECT_EQ(g.TextSize(), 16);
    }
}

TEST_F(AxesTest, ArrowHeadsAtTheDefaultOrigin) {
    origin(150, 150);
    const Picture p = drawn(2);
    // Columns 288 to 299, rows 140 to 159: the x head (300, 150), (292, 142), (292, 158) on
    // the two rows of the x axis.
    // clang-format off
    EXPECT_EQ(pictureToText(p, 288, 140, 12, 20), (Rows{
        "............",
        "............",
        "....+.......",
        "....++......",
        "....+++.....",
        "....++++....",
        "....+++++...",
        "....++++++..",
        "....+++++++.",
        "++++++++++++",
        "++++++++++++",
        "....+++++++.",
        "....++++++..",
        "....+++++...",
        "....++++....",
        "....+++.....",
        "....++......",
        "....+.......",
        "............",
        "............",
    }));
    // Columns 141 to 159, rows 0 to 9: the y head (151, 0), (143, 8), (159, 8) on the two
    // columns of the y axis.
    EXPECT_EQ(pictureToText(p, 141, 0, 19, 10), (Rows{
        ".........++........",
        ".........+++.......",
        "........+++++......",
        ".......+++++++.....",
        "......+++++++++....",
        ".....+++++++++++...",
        "....+++++++++++++..",
        "...+++++++++++++++.",
        ".........++........",
        ".........++........",
    }));
    // clang-format on
}

TEST_F(AxesTest, EveryKindButOneIsGrey) {
    origin(150, 150);
    for (std::int64_t kind : {std::int64_t(0), std::int64_t(3), std::int64_t(-1), kMax, kMin}) {
        SCOPED_TRACE(kind);
        EXPECT_TRUE(axesAre(drawn(kind), kGrey, 2, 150, 150, Point{285, 169}));
    }
}

TEST_F(AxesTest, RedCrossAfterGreyUsesTheTwoPixelPen) {
    origin(150, 150);
    const Picture p = drawn(2);
    Graphics& g = p.graphics();
    g.ForeColor(kWhite);
    g.FillRect(0, 0, 300, 300);
    app().achsenart = 1;
    app().achsen(g);
    EXPECT_TRUE(axesAre(p, kRed, 2, 150, 150));
}

TEST_F(AxesTest, BothCanvasesPaintTheAxesOverTheirPictures) {
    origin(150, 150);
    app().achsenart = 1;
    for (auto canvas : {window().CAquell(), window().CAziel()}) {
        SCOPED_TRACE(canvas->Name());
        const Picture shown = planora::testing::grab(*canvas);
        const Graphics& g = shown.graphics();
        EXPECT_EQ(g.Pixel(150, 10), kRed);
        EXPECT_EQ(g.Pixel(10, 149), kRed);
        EXPECT_EQ(g.Pixel(150, 299), kRed);
        const Picture& backdrop = canvas->Backdrop();
        for (Point at : {Point{10, 10}, Point{151, 150}, Point{200, 148}, Point{149, 290}})
            EXPECT_EQ(g.Pixel(at.x, at.y), backdrop.graphics().Pixel(at.x, at.y));
    }
    app().achsen(false);
    const Picture plain = planora::testing::grab(*window().CAziel());
    EXPECT_EQ(plain.graphics().Pixel(150, 10),
              window().CAziel()->Backdrop().graphics().Pixel(150, 10));
}

} // namespace
} // namespace planora::test
