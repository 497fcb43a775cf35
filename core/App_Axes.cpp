#include "core/App.h"

#include <limits>

namespace planora {

namespace {

// Axis coordinates are integers a few pixels from ox or 299 - oy. They are formed in 128 bits,
// where no origin overflows them; the drawing operations take them as Doubles and clip, so a
// far-away axis never wraps into the picture.
__extension__ typedef __int128 Wide;

double at(Wide v) {
    return double(v);
}

// The polygon corners are Int64: beyond its range a corner is brought to the nearest end,
// which still lies far outside the picture.
std::int64_t corner(Wide v) {
    constexpr Wide lo = std::numeric_limits<std::int64_t>::min();
    constexpr Wide hi = std::numeric_limits<std::int64_t>::max();
    return std::int64_t(v < lo ? lo : v > hi ? hi : v);
}

} // namespace

void App::achsen(Graphics& g) {
    const Wide ya = Wide(299) - oy;
    if (!achsen())
        return;
    const Wide x0 = ox;
    if (achsenart == 1) {
        g.ForeColor(RGB(255, 0, 0, 0));
        g.DrawLine(0, at(ya), 300, at(ya));
        g.DrawLine(at(x0), 0, at(x0), 300);
        return;
    }
    g.PenWidth(2);
    g.PenHeight(2);
    g.TextSize(16);
    g.ForeColor(RGB(120, 120, 120, 0));
    g.DrawLine(0, at(ya), 300, at(ya));
    g.DrawLine(at(x0), 0, at(x0), 300);
    g.FillPolygon({300, corner(ya + 1), 292, corner(ya - 7), 292, corner(ya + 9)});
    if (ya > 270)
        g.DrawString("x", 285, at(ya - 8));
    else
        g.DrawString("x", 285, at(ya + 20));
    g.FillPolygon({corner(x0 + 1), 0, corner(x0 - 7), 8, corner(x0 + 9), 8});
    g.DrawString("y", at(x0 + 10), 15);
}

} // namespace planora
