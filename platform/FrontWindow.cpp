#include "platform/qt/FrontWindow.h"

#include <QApplication>
#include <vector>

namespace planora {

namespace {

// The program windows, the one active last at the end.
std::vector<QPointer<QWidget>>& history() {
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

bool isProgramWindow(const QWidget* w) {
    return w != nullptr && w->inherits("planora::TopLevelWidget");
}

void bringForward(QWidget* window) {
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}

} // namespace

void noteActivated(QWidget* window) {
    auto& h = history();
    std::erase_if(h, [window](const QPointer<QWidget>& w) { return w.isNull() || w == window; });
    h.emplace_back(window);
}

QWidget* frontWindow(const QWidget* except) {
    if (QWidget* active = QApplication::activeWindow(); isProgramWindow(active) && active != except)
        return active;
    const auto& h = history();
    for (auto it = h.rbegin(); it != h.rend(); ++it)
        if (*it && *it != except && (*it)->isVisible())
            return *it;
    return nullptr;
}

void giveKeyboardOn(const QWidget* closing) {
    bringForward(frontWindow(closing));
}

ReturnFocus::ReturnFocus() : window_(frontWindow()) {}

ReturnFocus::~ReturnFocus() {
    bringForward(window_);
}

} // namespace planora
