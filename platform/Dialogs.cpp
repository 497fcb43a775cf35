#include "platform/Dialogs.h"

#include "platform/FileType.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace planora {

using detail::state;

namespace {

// The toolkit's filter text for a registered type: its name and its extensions, in both
// letter cases (camera files are often named ".JPG").
QString nameFilter(std::string_view typeName) {
    const FileType* type = FileType::registered(typeName);
    if (type == nullptr)
        return {};
    QStringList patterns;
    for (const std::string& ext : type->extensionList()) {
        const QString e = toQString(ext);
        patterns << QStringLiteral("*.") + e.toLower() << QStringLiteral("*.") + e.toUpper();
    }
    return toQString(type->Name()) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(")");
}

std::optional<std::string> scripted(std::deque<std::optional<std::string>>& answers) {
    if (answers.empty()) {
        ++state().dialogs.unscripted;
        return std::nullopt;
    }
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

QWidget* dialogParent() {
    return QApplication::activeWindow();
}

} // namespace

std::optional<FolderItem> GetOpenFolderItem(std::string_view filter) {
    const QString qtFilter = filter.empty() ? QString() : nameFilter(filter);
    auto& dialogs = state().dialogs;
    std::optional<std::string> path;
    if (dialogs.enabled) {
        dialogs.lastOpenFilter = toStdString(qtFilter);
        path = scripted(dialogs.openAnswers);
    } else {
        const QString chosen =
            QFileDialog::getOpenFileName(dialogParent(), QString(), QString(), qtFilter, nullptr,
                                         QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty())
            path = toStdString(chosen);
    }
    if (!path)
        return std::nullopt;
    return FolderItem(*path);
}

std::optional<FolderItem> GetSaveFolderItem(std::string_view filter, std::string_view defaultName) {
    const QString qtFilter = filter.empty() ? QString() : nameFilter(filter);
    auto& dialogs = state().dialogs;
    std::optional<std::string> path;
    if (dialogs.enabled) {
        dialogs.lastSaveFilter = std::string(filter);
        dialogs.lastSaveName = std::string(defaultName);
        path = scripted(dialogs.saveAnswers);
    } else {
        const QString chosen =
            QFileDialog::getSaveFileName(dialogParent(), QString(), toQString(defaultName),
                                         qtFilter, nullptr, QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty())
            path = toStdString(chosen);
    }
    if (!path)
        return std::nullopt;
    return FolderItem(*path);
}

void MsgBox(std::string_view text) {
    auto& dialogs = state().dialogs;
    if (dialogs.enabled) {
        dialogs.messages.emplace_back(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Planora"), toQString(text),
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

} // namespace planora
