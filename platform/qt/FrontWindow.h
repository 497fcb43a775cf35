#pragma once

// Which program window has the keyboard, kept by the platform so that modal dialogs can give
// it back. Included only by the platform's .cpp files.

#include <QPointer>
#include <QWidget>

namespace planora {

// Records that a program window became the active window. Called by the windows themselves.
void noteActivated(QWidget* window);

// Returns the program window in front: the active window when it is a program window, else the
// program window that was active last and is still shown; null when there is none. The toolkit
// activates a window asynchronously, so the active window alone may still be null just after a
// dialog has closed. A window given as except is passed over.
QWidget* frontWindow(const QWidget* except = nullptr);

// Gives the keyboard to the program window in front other than the one that is closing.
// Without a window manager nobody else does when the window that had it closes.
void giveKeyboardOn(const QWidget* closing);

// Gives the keyboard back, when it ends, to the window that frontWindow named when it began.
// Without a window manager nobody else does, and keys would reach no window after the dialog.
// Put one around every modal dialog, and give the dialog window() as its parent.
class ReturnFocus {
public:
    ReturnFocus();
    ReturnFocus(const ReturnFocus&) = delete;
    ReturnFocus& operator=(const ReturnFocus&) = delete;
    ~ReturnFocus();

    QWidget* window() const { return window_; }

private:
    QPointer<QWidget> window_;
};

} // namespace planora
