#include "platform/Resources.h"

#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace planora {

std::string resourceFolder() {
    auto& s = detail::state();
    if (s.resourceFolder)
        return *s.resourceFolder;
    const QDir exeDir(QCoreApplication::applicationDirPath());
    // The build tree keeps the pictures beside the executable; an installed program finds
    // them in its data folder, relative to the executable first so that the tree can move.
    for (const QString& candidate :
         {exeDir.filePath(QStringLiteral("resources")),
          QDir::cleanPath(exeDir.filePath(QStringLiteral(PLANORA_RELATIVE_RESOURCES))),
          QStringLiteral(PLANORA_INSTALLED_RESOURCES)}) {
        if (QFileInfo(candidate).isDir())
            return toStdString(candidate);
    }
    return toStdString(exeDir.filePath(QStringLiteral("resources")));
}

std::string resourcePath(std::string_view fileName) {
    ++detail::state().resourceLoads;
    return resourceFolder() + "/" + std::string(fileName);
}

} // namespace planora
