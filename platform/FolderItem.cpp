#include "platform/FolderItem.h"

#include "platform/Dialogs.h"
#include "platform/picturefiles/FileReplacement.h"
#include "platform/picturefiles/PictureReader.h"
#include "platform/qt/QtSupport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <cerrno>
#include <cstring>

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

// What stands under the name, as the refusal names it.
const char* whatIsThere(detail::NotAFile kind) {
    switch (kind) {
    case detail::NotAFile::Folder:
        return "einen Ordner";
    case detail::NotAFile::Device:
        return "ein Gerät";
    case detail::NotAFile::Pipe:
        return "eine benannte Pipe";
    case detail::NotAFile::Socket:
        return "einen Socket";
    case detail::NotAFile::Other:
        break;
    }
    return "etwas anderes als eine Datei";
}

std::string refusal(detail::NotAFile kind) {
    return std::string("Unter diesem Namen gibt es schon ") + whatIsThere(kind) +
           "; ersetzt wird nur eine gewöhnliche Datei";
}

std::string systemSays(int error) {
    char text[256];
    return std::string("Das System meldet: ") + strerror_r(error, text, sizeof text);
}

// Why a save failed, in words a user can act on; the system's own text for anything else.
std::string failureReason(const detail::ReplaceResult& result) {
    if (result.placed)
        return "Das Bild steht schon in der Datei, ist aber nicht sicher auf dem Datenträger. " +
               systemSays(result.error);
    if (result.refused)
        return refusal(*result.refused);
    if (result.writeProtected)
        return "Die Datei ist schreibgeschützt";
    switch (result.error) {
    case ENOSPC:
    case EDQUOT:
        return "Kein Speicherplatz mehr auf dem Datenträger";
    case EFBIG:
        return "Die Datei wäre größer, als es hier erlaubt ist";
    case EROFS:
        return "Der Datenträger ist schreibgeschützt";
    case EACCES:
    case EPERM:
        return "Keine Schreibberechtigung für diesen Ordner";
    case ENOENT:
    case ENOTDIR:
        // The file itself need not exist; only its folder can be missing. It may never have
        // existed, as where a link leads into a folder that is not there.
        return "Der Ordner existiert nicht";
    default:
        break;
    }
    return systemSays(result.error);
}

} // namespace

Picture FolderItem::OpenAsPicture() const {
    return readPictureFile(path_, std::nullopt);
}

Picture FolderItem::OpenAsPicture(std::int64_t boxWidth, std::int64_t boxHeight) const {
    return readPictureFile(path_, PixelSize{boxWidth, boxHeight});
}

std::string FolderItem::picturePath() const {
    if (formatForSuffix(QFileInfo(toQString(path_)).suffix()).isEmpty())
        return path_ + ".png";
    return path_;
}

bool FolderItem::SaveAsPicture(const Picture& picture, int) const {
    const std::string path = picturePath();
    QByteArray format = formatForSuffix(QFileInfo(toQString(path)).suffix());
    // The writer is always told the format: without one it guesses from the name and, for a
    // name it does not know, writes nothing. It encodes into memory, so that a failing disk
    // shows as a failed write of ours, with the system's reason, and not in an encoder.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(95); // the default of 75 blurs the thin axes and pixel edges
    std::string reason;
    if (!writer.write(imageOf(picture))) {
        reason = "Das Bild ließ sich nicht in diesem Format schreiben";
    } else {
        const detail::ReplaceResult result = detail::replaceFile(
            path, std::string_view(encoded.constData(), std::size_t(encoded.size())));
        if (!result.ok())
            reason = failureReason(result);
    }
    if (reason.empty())
        return true;
    MsgBox("Das Bild konnte nicht gespeichert werden:\n" + path + "\n" + reason);
    return false;
}

} // namespace planora
