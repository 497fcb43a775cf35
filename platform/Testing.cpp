#include "platform/Testing.h"

#include "platform/Application.h"
#include "platform/Window.h"
#include "platform/qt/KeyEvents.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"
#include "platform/qt/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

namespace planora::testing {

using detail::state;

std::unique_ptr<Runtime> startHeadless(int& argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto runtime = std::make_unique<Runtime>(argc > 0 ? argv[0] : nullptr);
    state().dialogs.enabled = true;
    return runtime;
}

void answerNextOpenDialog(std::optional<std::string> path) {
    state().dialogs.openAnswers.push_back(std::move(path));
}

void answerNextSaveDialog(std::optional<std::string> path) {
    state().dialogs.saveAnswers.push_back(std::move(path));
}

std::optional<SaveDialogRequest> lastSaveDialog() {
    const auto& d = state().dialogs;
    if (!d.lastSaveName)
        return std::nullopt;
    return SaveDialogRequest{d.lastSaveFilter.value_or(""), *d.lastSaveName};
}

std::optional<std::string> lastOpenDialogFilter() {
    return state().dialogs.lastOpenFilter;
}

int unscriptedDialogs() {
    return state().dialogs.unscripted;
}

const std::vector<std::string>& messages() {
    return state().dialogs.messages;
}
void clearMessages() {
    state().dialogs.messages.clear();
}

void setResourceFolder(std::optional<std::string> folder) {
    state().resourceFolder = std::move(folder);
}

int resourceLoads() {
    return state().resourceLoads;
}
void resetResourceLoads() {
    state().resourceLoads = 0;
}

std::vector<std::string> toolkitArguments() {
    return state().toolkitArguments;
}

std::optional<int> quitCode() {
    return state().quitCode;
}

void processEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void resetRuntime() {
    closeRealDialogsWith(std::nullopt);
    Window::discardAll();
    processEvents();
    state().app.reset();
    state().quitCode.reset();
    auto& d = state().dialogs;
    d.openAnswers.clear();
    d.saveAnswers.clear();
    d.lastOpenFilter.reset();
    d.lastSaveFilter.reset();
    d.lastSaveName.reset();
    d.unscripted = 0;
    d.messages.clear();
}

Picture grab(const Control& control) {
    QWidget* w = control.peer().widget;
    if (w == nullptr)
        return {};
    return pictureFromImage(w->grab().toImage());
}

Picture grab(const Window& window) {
    return pictureFromImage(window.peer().top->grab().toImage());
}

Picture renderEditField(const Control& field, std::string_view text, int caret) {
    auto* shown = qobject_cast<QLineEdit*>(field.peer().widget.data());
    if (shown == nullptr)
        return {};
    QLineEdit plain(shown->parentWidget());
    plain.setGeometry(shown->geometry());
    plain.setFont(shown->font());
    plain.setAlignment(shown->alignment());
    plain.setFocusPolicy(Qt::NoFocus);
    plain.setText(toQString(text));
    plain.setCursorPosition(caret);
    plain.show();
    return pictureFromImage(plain.grab().toImage());
}

Bounds availableArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect r = screen ? screen->availableGeometry() : QRect();
    return {r.x(), r.y(), r.width(), r.height()};
}

Bounds frameOf(const Window& window) {
    const QRect r = window.peer().top->frameGeometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

Bounds onScreen(const Control& control) {
    const QWidget* w = control.peer().widget;
    if (w == nullptr)
        return {};
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y(), w->width(), w->height()};
}

void minimise(Window& window) {
    QWidget* top = window.peer().top;
    top->setWindowState(top->windowState() | Qt::WindowMinimized);
    processEvents();
}

bool isMinimised(const Window& window) {
    return window.peer().top->isMinimized();
}

bool isActive(const Window& window) {
    processEvents();
    return QApplication::activeWindow() == window.peer().top;
}

void activate(Window* window) {
    QApplication::setActiveWindow(window ? window->peer().top : nullptr);
    processEvents();
}

namespace {

struct RealDialogs {
    QPointer<QTimer> timer;
    QPointer<QWidget> answered; // the dialog that got its key, which may take a moment to go
    std::vector<std::string> owners;
};

RealDialogs& realDialogs() {
    static RealDialogs r;
    return r;
}

} // namespace

void closeRealDialogsWith(std::optional<std::string> key) {
    RealDialogs& r = realDialogs();
    if (r.timer) {
        delete r.timer;
        state().dialogs.enabled = true;
    }
    r.owners.clear();
    if (!key)
        return;
    state().dialogs.enabled = false;
    const detail::Key answer = *detail::keyNamed(*key == "Return" ? "Return" : "Escape");
    r.timer = new QTimer(qApp);
    QObject::connect(r.timer, &QTimer::timeout, r.timer, [answer] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !dialog->isVisible() || dialog == realDialogs().answered)
            return;
        realDialogs().answered = dialog;
        QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
        realDialogs().owners.push_back(owner ? toStdString(owner->windowTitle()) : "");
        detail::sendKeyEvents(dialog->focusWidget() ? dialog->focusWidget() : dialog, answer);
    });
    r.timer->start(20);
}

std::vector<std::string> realDialogOwners() {
    return realDialogs().owners;
}

void pressKey(Window& window, const std::string& key) {
    QWidget* top = window.peer().top;
    QApplication::setActiveWindow(top);
    QWidget* target = top->focusWidget() ? top->focusWidget() : top;
    if (const std::optional<detail::Key> k = detail::keyNamed(key))
        detail::sendKey(target, *k);
}

void typeText(Control& control, const std::string& text) {
    QWidget* w = control.peer().widget;
    if (w == nullptr)
        return;
    // Focus moves, and is lost, only within the active window.
    QApplication::setActiveWindow(w->window());
    w->setFocus(Qt::OtherFocusReason);
    for (const QChar ch : toQString(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(w, &press);
    }
}

void click(Control& control) {
    QWidget* w = control.peer().widget;
    if (w == nullptr)
        return;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->isEnabled())
            button->click();
        return;
    }
    const QPointF centre(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, centre, w->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, w->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

void focusNext(Window& window) {
    pressKey(window, "Tab");
}

std::vector<std::string> shownMenus(const Window& window) {
    std::vector<std::string> lines;
    const QMenuBar* bar = window.peer().menuBar;
    if (bar == nullptr)
        return lines;
    for (const QAction* title : bar->actions()) {
        if (!title->isVisible())
            continue;
        lines.push_back(toStdString(title->text()));
        const QMenu* menu = title->menu();
        if (menu == nullptr)
            continue;
        for (const QAction* entry : menu->actions()) {
            if (!entry->isVisible())
                continue;
            QString line =
                QStringLiteral("  ") + (entry->isSeparator() ? QStringLiteral("-") : entry->text());
            if (!entry->shortcut().isEmpty())
                line += u'\t' + entry->shortcut().toString(QKeySequence::PortableText);
            lines.push_back(toStdString(line));
        }
    }
    return lines;
}

} // namespace planora::testing
