#include "platform/WindowPlacement.h"

#include <algorithm>

namespace planora {

namespace {

int right(const Bounds& b) {
    return b.left + b.width;
}
int bottom(const Bounds& b) {
    return b.top + b.height;
}

bool inside(const Bounds& inner, const Bounds& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && right(inner) <= right(outer) &&
           bottom(inner) <= bottom(outer);
}

bool overlap(const Bounds& a, const Bounds& b) {
    return a.left < right(b) && b.left < right(a) && a.top < bottom(b) && b.top < bottom(a);
}

} // namespace

Bounds openingPlace(Bounds available, std::span<const Bounds> shown, int width, int height) {
    if (shown.empty())
        return {available.left, available.top, width, height};
    int shownBottom = available.top;
    for (const Bounds& b : shown)
        shownBottom = std::max(shownBottom, bottom(b));
    const Bounds candidates[] = {
        {right(available) - width, available.top, width, height},
        {available.left, shownBottom, width, height},
    };
    for (const Bounds& c : candidates)
        if (inside(c, available) && std::none_of(shown.begin(), shown.end(),
                                                 [&](const Bounds& b) { return overlap(c, b); }))
            return c;
    // Nowhere free: cascade from the last window, as far inside the area as the size allows.
    Bounds c{shown.back().left + 40, shown.back().top + 40, width, height};
    c.left = std::max(available.left, std::min(c.left, right(available) - width));
    c.top = std::max(available.top, std::min(c.top, bottom(available) - height));
    return c;
}

} // namespace planora
