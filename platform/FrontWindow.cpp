#include "platform/qt/FrontWindow.h"

#include <QApplication>

namespace planora {

namespace {

QPointer<QWidget>& lastActive() {
    static QPointer<QWidget> window;
    return window;
}

bool isProgramWindow(const QWidget* w) {
    return w != nullptr && w->inherits("planora::TopLevelWidget");
}

} // namespace

void noteActivated(QWidget* window) {
    lastActive() = window;
}

QWidget* frontWindow() {
    if (QWidget* active = QApplication::activeWindow(); isProgramWindow(active))
        return active;
    QWidget* last = lastActive();
    return last && last->isVisible() ? last : nullptr;
}

ReturnFocus::ReturnFocus() : window_(frontWindow()) {}

ReturnFocus::~ReturnFocus() {
    if (window_ && window_->isVisible()) {
        window_->raise();
        window_->activateWindow();
    }
}

} // namespace planora
