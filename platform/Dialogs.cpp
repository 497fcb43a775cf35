#include "platform/Dialogs.h"

#include "platform/FileType.h"
#include "platform/Testing.h"
#include "platform/qt/FrontWindow.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace planora {

using detail::ScriptedDialogs;
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

namespace {

// The platform's own question before it replaces a file that the dialog did not ask about.
bool askToReplace(QWidget* parent, const QString& fileName) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Planora"),
                    QStringLiteral("Das Bild wird als %1 gespeichert.\n"
                                   "Die Datei %1 existiert bereits.\n"
                                   "Soll sie überschrieben werden?")
                        .arg(fileName),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// Toolkit's save dialog, made to ask about the file that will be written. A name without an
// extension gets ".png" from the dialog itself, so that its own question concerns "bild.png"
// and not the "bild" typed. Any other name that the picture writer would still change
// ("bild.txt" is written as "bild.txt.png") is asked about under its written name, and the
// dialog's own question about the typed name, a file left alone, is not asked.
class SaveDialog : public QFileDialog {
public:
    SaveDialog(QWidget* parent, const QString& filter, const QString& folder, const QString& name)
        : QFileDialog(parent) {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setDefaultSuffix(QStringLiteral("png"));
        if (!filter.isEmpty())
            setNameFilter(filter);
        if (!folder.isEmpty())
            setDirectory(folder);
        selectFile(name);
    }

protected:
    // Both questions (the toolkit's and ours) are modal boxes over the dialog. When the user
    // answers "Nein", the dialog stays for another choice and gets the keyboard back, which
    // without a window manager nobody else gives it. It is asked for once the event loop has
    // taken the box away: asked for at once, the X server lets the focus fall to the root.
    void accept() override {
        acceptChecked();
        if (isVisible())
            QTimer::singleShot(0, this, [this] {
                raise();
                activateWindow();
            });
    }

private:
    void acceptChecked() {
        const QStringList files = selectedFiles();
        if (files.size() != 1 || QFileInfo(files.constFirst()).isDir()) {
            QFileDialog::accept();
            return;
        }
        const QString written =
            toQString(FolderItem(toStdString(files.constFirst())).picturePath());
        if (written == files.constFirst()) {
            QFileDialog::accept();
            return;
        }
        if (QFileInfo::exists(written) && !askToReplace(this, QFileInfo(written).fileName()))
            return;
        setOption(QFileDialog::DontConfirmOverwrite, true);
        QFileDialog::accept();
        setOption(QFileDialog::DontConfirmOverwrite, false);
    }
};

// A test's steps for a real save dialog: each runs from the event loop after the one before
// it has returned, or while the modal dialog it opened waits for the user. What the step
// before set going (the dialog taking the keyboard back once a question has gone) is done
// first: on a busy machine the next step's timer can be due before it. A dialog still open
// well after the last step is cancelled, so that a test never waits for ever.
void scheduleSteps(QObject* context, std::shared_ptr<std::vector<std::function<void()>>> steps,
                   std::size_t next) {
    const bool done = next >= steps->size();
    QTimer::singleShot(done ? 5000 : 20, context, [context, steps, next, done] {
        if (done) {
            if (QWidget* front = QApplication::activeModalWidget())
                if (auto* dialog = qobject_cast<QDialog*>(front))
                    dialog->reject();
            scheduleSteps(context, steps, next);
            return;
        }
        scheduleSteps(context, steps, next + 1);
        planora::testing::processEvents();
        runGuarded((*steps)[next]);
    });
}

} // namespace

std::optional<FolderItem> GetSaveFolderItem(std::string_view filter, std::string_view defaultName) {
    const QString qtFilter = filter.empty() ? QString() : nameFilter(filter);
    auto& dialogs = state().dialogs;
    std::optional<std::string> path;
    if (dialogs.enabled && !dialogs.realSave) {
        dialogs.lastSaveFilter = std::string(filter);
        dialogs.lastSaveName = std::string(defaultName);
        path = scripted(dialogs.saveAnswers);
    } else {
        const ReturnFocus returnFocus;
        std::optional<ScriptedDialogs::RealDialog> test = std::move(dialogs.realSave);
        dialogs.realSave.reset();
        const QString folder = test && test->folder ? toQString(*test->folder) : QString();
        SaveDialog dialog(dialogParent(), qtFilter, folder, toQString(defaultName));
        if (test)
            scheduleSteps(
                &dialog,
                std::make_shared<std::vector<std::function<void()>>>(std::move(test->steps)), 0);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = toStdString(dialog.selectedFiles().constFirst());
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
