#include "platform/Testing.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

// Exported by Qt Widgets for its test library: offers a key to the shortcut map.
Q_WIDGETS_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                                   Qt::KeyboardModifiers mods, const QString& text,
                                                   bool autorep, ushort count);

namespace planora::testing {

namespace {

QWidget* frontTarget() {
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr)
        return nullptr;
    QApplication::setActiveWindow(front);
    return front->focusWidget() ? front->focusWidget() : front;
}

QString withoutMarks(QString text) {
    return text.remove(QLatin1Char('&'));
}

void sendKey(QWidget* target, Qt::Key code, Qt::KeyboardModifiers modifiers, const QString& text) {
    // As for a real key: the shortcut map sees the key first, then the focused widget.
    if (qt_sendShortcutOverrideEvent(target, 0, code, modifiers, text, false, 1))
        return;
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

void runNextSaveDialog(std::vector<std::function<void()>> steps,
                       std::optional<std::string> folder) {
    detail::state().dialogs.realSave = {std::move(steps), std::move(folder)};
}

std::optional<FrontDialog> frontDialog() {
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr)
        return std::nullopt;
    FrontDialog shown;
    shown.active = QApplication::activeWindow() == front;
    if (auto* box = qobject_cast<QMessageBox*>(front)) {
        shown.text = toStdString(box->text());
    } else if (qobject_cast<QFileDialog*>(front) != nullptr) {
        shown.fileDialog = true;
        if (auto* name = front->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            shown.text = toStdString(name->text());
    }
    for (const QAbstractButton* button : front->findChildren<QAbstractButton*>())
        if (button->isVisible() && !button->text().isEmpty())
            shown.buttons.push_back(toStdString(withoutMarks(button->text())));
    return shown;
}

bool pressKeyInFrontDialog(const std::string& key) {
    QWidget* target = frontTarget();
    const QKeySequence sequence(toQString(key));
    if (target == nullptr || sequence.isEmpty())
        return false;
    const QKeyCombination combination = sequence[0];
    const Qt::Key code = combination.key();
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    QString text;
    if (modifiers == Qt::NoModifier && code == Qt::Key_Return)
        text = QStringLiteral("\r");
    else if (modifiers == Qt::NoModifier && code == Qt::Key_Escape)
        text = QStringLiteral("\x1b");
    sendKey(target, code, modifiers, text);
    return true;
}

bool typeInFrontDialog(const std::string& text) {
    QWidget* target = frontTarget();
    if (target == nullptr)
        return false;
    // Qt's key codes of printable characters are their upper-case code points.
    for (const QChar ch : toQString(text))
        sendKey(target, Qt::Key(ch.toUpper().unicode()), Qt::NoModifier, QString(ch));
    return true;
}

bool clickInFrontDialog(const std::string& label) {
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr)
        return false;
    for (QAbstractButton* button : front->findChildren<QAbstractButton*>())
        if (button->isVisible() && button->isEnabled() &&
            withoutMarks(button->text()) == toQString(label)) {
            button->click();
            return true;
        }
    return false;
}

} // namespace planora::testing
