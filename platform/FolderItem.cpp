#include "platform/FolderItem.h"

#include "platform/Dialogs.h"
#include "platform/picturefiles/PictureReader.h"
#include "platform/qt/QtSupport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace planora {

namespace {

// The writer's format for a file name's extension, or nothing for an extension we do not
// write.
QByteArray formatForSuffix(const QString& suffix) {
    const QString s = suffix.toLower();
    if (s == QLatin1String("png"))
        return "png";
    if (s == QLatin1String("bmp"))
        return "bmp";
    if (s == QLatin1String("jpg") || s == QLatin1String("jpeg"))
        return "jpeg";
    if (s == QLatin1String("tif") || s == QLatin1String("tiff"))
        return "tiff";
    return {};
}

} // namespace

Picture FolderItem::OpenAsPicture() const {
    return readPictureFile(path_, std::nullopt);
}

Picture FolderItem::OpenAsPicture(std::int64_t boxWidth, std::int64_t boxHeight) const {
    return readPictureFile(path_, PixelSize{boxWidth, boxHeight});
}

bool FolderItem::SaveAsPicture(const Picture& picture, int) const {
    const QImage& image = imageOf(picture);
    QString path = toQString(path_);
    QByteArray format = formatForSuffix(QFileInfo(path).suffix());
    if (format.isEmpty()) {
        path += QStringLiteral(".png");
        format = "png";
    }
    // The writer is always told the format: without one it guesses from the name and, for a
    // name it does not know, writes nothing. It encodes into memory, so that a failing disk
    // shows as a failed write of ours and not in the middle of an encoder; and only commit()
    // tells whether the bytes reached the disk.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(95); // the default of 75 blurs the thin axes and pixel edges
    bool ok = writer.write(image);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    ok = ok && file.open(QIODevice::WriteOnly) && file.write(encoded) == encoded.size();
    if (ok) {
        ok = file.commit();
    } else {
        file.cancelWriting();
    }
    if (!ok)
        MsgBox("Das Bild konnte nicht gespeichert werden:\n" + toStdString(path));
    return ok;
}

} // namespace planora
