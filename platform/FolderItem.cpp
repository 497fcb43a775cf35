#include "platform/FolderItem.h"

#include "platform/Dialogs.h"
#include "platform/qt/QtSupport.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace planora {

Picture FolderItem::OpenAsPicture() const {
    const QString path = toQString(path_);
    if (!QFileInfo(path).isFile())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return pictureFromImage(reader.read());
}

bool FolderItem::SaveAsPicture(const Picture& picture, int) const {
    QString path = toQString(path_);
    QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format == "jpeg")
        format = "jpg";
    else if (format == "tiff")
        format = "tif";
    if (format != "png" && format != "bmp" && format != "jpg" && format != "tif") {
        path += QStringLiteral(".png");
        format = "png";
    }
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        QImageWriter writer(&file, format);
        ok = writer.write(imageOf(picture));
    }
    ok = ok && file.commit();
    if (!ok) {
        file.cancelWriting();
        MsgBox("Das Bild konnte nicht gespeichert werden.");
    }
    return ok;
}

} // namespace planora
