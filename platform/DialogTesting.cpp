#include "platform/Testing.h"
#include "platform/qt/KeyEvents.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

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
    const std::optional<detail::Key> k = detail::keyNamed(key);
    if (target == nullptr || !k)
        return false;
    detail::sendKey(target, *k);
    return true;
}

bool typeInFrontDialog(const std::string& text) {
    QWidget* target = frontTarget();
    if (target == nullptr)
        return false;
    // Qt's key codes of printable characters are their upper-case code points.
    for (const QChar ch : toQString(text))
        detail::sendKey(target, {Qt::Key(ch.toUpper().unicode()), Qt::NoModifier, QString(ch)});
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
