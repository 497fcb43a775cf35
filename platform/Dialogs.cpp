#include "platform/Dialogs.h"

#include "platform/FileType.h"
#include "platform/Testing.h"
#include "platform/qt/FrontWindow.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QStringList>
#include <algorithm>

namespace planora {

using detail::state;

namespace {

// The toolkit's filter text for a registered type: its name and its extensions.
QString nameFilter(std::string_view typeName) {
    const FileType* type = FileType::registered(typeName);
    if (type == nullptr)
        return {};
    QStringList patterns;
    for (const std::string& ext : type->extensionList())
        patterns << QStringLiteral("*.") + toQString(ext).toLower();
    return toQString(type->Name()) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(")");
}

// Photos are often named ".JPG" or ".Jpg": the dialog matches its patterns in any letter case,
// also on a platform whose dialog would otherwise tell the cases apart.
void setUpOpenDialog(QFileDialog& dialog, const QString& filter) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
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

// The window in front, which the dialog belongs to and which gets the keyboard back after it.
QWidget* dialogParent() {
    return frontWindow();
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
        const ReturnFocus returnFocus;
        QFileDialog dialog(dialogParent());
        setUpOpenDialog(dialog, qtFilter);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = toStdString(dialog.selectedFiles().constFirst());
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
        const ReturnFocus returnFocus;
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
    const ReturnFocus returnFocus;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Planora"), toQString(text),
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

} // namespace planora

namespace planora::testing {

std::vector<std::string> openDialogListing(const std::string& folder, std::string_view filter) {
    QFileDialog dialog;
    setUpOpenDialog(dialog, filter.empty() ? QString() : nameFilter(filter));
    dialog.setDirectory(toQString(folder));
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (model == nullptr)
        return {};
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog,
                     [&loaded](const QString&) { loaded = true; });
    dialog.show();
    QElapsedTimer clock;
    clock.start();
    while (!loaded && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    std::vector<std::string> names;
    const QModelIndex root = model->index(toQString(folder));
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex entry = model->index(row, 0, root);
        if (!model->isDir(entry))
            names.push_back(toStdString(model->fileName(entry)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace planora::testing
