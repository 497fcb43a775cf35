#pragma once

// Keys as the window system delivers them, for the test seams: a press and its release sent
// to the focused widget, offered to the shortcut map first. Included only by the platform's
// .cpp files.

#include <QString>
#include <QWidget>
#include <optional>
#include <string>

namespace planora::detail {

struct Key {
    Qt::Key code = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    QString text; // what the key types: "\r" for Return, "\x1b" for Escape, else nothing
};

// The first key of a sequence in the portable form ("Tab", "Shift+Tab", "Return", "Ctrl+S");
// nothing for an empty one. Shift+Tab arrives as Backtab, as the window system reports it.
std::optional<Key> keyNamed(const std::string& name);

// Sends the press and the release of key to target, without the shortcut map.
void sendKeyEvents(QWidget* target, const Key& key);

// As for a real key: the shortcut map sees the key first, then, unless a shortcut took it,
// target gets the press and the release.
void sendKey(QWidget* target, const Key& key);

} // namespace planora::detail
