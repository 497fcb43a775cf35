#include "platform/WindowPlacement.h"

#include "platform/Window.h"
#include "platform/qt/Widgets.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <vector>

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

void Window::placeOnScreen() {
    TopLevelWidget* top = peer_->top;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    std::vector<Bounds> shown;
    QMargins frame; // the window manager's decoration, as it is around the windows shown
    for (Window* w : openWindows()) {
        if (w == this || !w->isVisible())
            continue;
        const QRect outer = w->peer_->top->frameGeometry();
        const QRect inner = w->peer_->top->geometry();
        if (shown.empty())
            frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
        shown.push_back({outer.x(), outer.y(), outer.width(), outer.height()});
    }
    peer_->layout->activate();
    const QSize size = top->size().grownBy(frame);
    const Bounds place = openingPlace({area.x(), area.y(), area.width(), area.height()}, shown,
                                      size.width(), size.height());
    // A position given before the window is shown is the frame's, and the window manager
    // keeps it instead of choosing a place of its own.
    top->move(place.left, place.top);
}

} // namespace planora
