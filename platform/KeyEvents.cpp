#include "platform/qt/KeyEvents.h"

#include "platform/qt/QtSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

// Exported by Qt Widgets for its test library: offers a key to the shortcut map.
Q_WIDGETS_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                                   Qt::KeyboardModifiers mods, const QString& text,
                                                   bool autorep, ushort count);

namespace planora::detail {

std::optional<Key> keyNamed(const std::string& name) {
    const QKeySequence sequence(toQString(name));
    if (sequence.isEmpty())
        return std::nullopt;
    const QKeyCombination combination = sequence[0];
    Key key{combination.key(), combination.keyboardModifiers(), {}};
    if (key.code == Qt::Key_Tab && key.modifiers == Qt::ShiftModifier)
        key.code = Qt::Key_Backtab;
    if (key.modifiers == Qt::NoModifier && key.code == Qt::Key_Return)
        key.text = QStringLiteral("\r");
    else if (key.modifiers == Qt::NoModifier && key.code == Qt::Key_Escape)
        key.text = QStringLiteral("\x1b");
    return key;
}

void sendKeyEvents(QWidget* target, const Key& key) {
    QKeyEvent press(QEvent::KeyPress, key.code, key.modifiers, key.text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key.code, key.modifiers, key.text);
    QApplication::sendEvent(target, &release);
}

void sendKey(QWidget* target, const Key& key) {
    if (!qt_sendShortcutOverrideEvent(target, 0, key.code, key.modifiers, key.text, false, 1))
        sendKeyEvents(target, key);
}

} // namespace planora::detail
