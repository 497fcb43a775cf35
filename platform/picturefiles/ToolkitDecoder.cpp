#include "platform/picturefiles/Decoders.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>

namespace planora::detail {

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
// Memory that a decoder may take for a picture without further ado. Above it, the file must
// hold at least one byte for every kMaxExpansion bytes of it, so a small file cannot make us
// allocate much by its header alone.
constexpr std::int64_t kFreeDecodeBytes = 64 * kMiB;
constexpr std::int64_t kMaxExpansion = 256;

bool affordable(std::int64_t decodeBytes, std::int64_t fileBytes) {
    if (decodeBytes <= kFreeDecodeBytes)
        return true;
    return decodeBytes <= kMaxDecodeBytes && fileBytes >= decodeBytes / kMaxExpansion;
}

QSize toQSize(PixelSize s) {
    return QSize(int(s.width), int(s.height));
}

// A picture's pixels that its file does not set (the gaps a run-length coded bitmap may skip)
// take one fixed colour: white, or the first colour of a palette.
void fillWithFixedColour(QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        image.fill(0u);
        break;
    default:
        image.fill(Qt::white);
    }
}

} // namespace

QImage decodeWithToolkit(const OpenFile& file, const char* format,
                         const std::optional<JpegFrame>& jpeg, std::optional<PixelSize> box) {
    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // Our own limits below decide; the toolkit's default would refuse an ordinary photo.
    reader.setAllocationLimit(int(kMaxDecodeBytes / kMiB));

    const QSize declared = reader.size();
    const PixelSize stored{declared.width(), declared.height()};
    if (!sidesAcceptable(stored.width, stored.height))
        return {};
    if (jpeg && jpeg->size != stored)
        return {};
    const QImage::Format imageFormat = reader.imageFormat();
    const std::int64_t decodeBytes =
        jpeg ? jpeg->bufferBytes
             : stored.width * stored.height *
                   std::max(4, QImage::toPixelFormat(imageFormat).bitsPerPixel() / 8);
    if (!affordable(decodeBytes, file.size()))
        return {};

    // The size as drawn, after the turn that the file asks for (a camera's orientation).
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const PixelSize drawn = turned ? PixelSize{stored.height, stored.width} : stored;
    const PixelSize target = decodeSize(drawn, box);

    QImage image;
    if (jpeg) {
        // The decoder shrinks while it decodes; it takes the size before the turn.
        if (target != drawn)
            reader.setScaledSize(turned ? QSize(int(target.height), int(target.width))
                                        : toQSize(target));
        if (!reader.read(&image))
            return {};
    } else {
        // The decoder writes into this picture when its size and layout agree, so no pixel is
        // left as the memory held it.
        if (imageFormat != QImage::Format_Invalid) {
            image = QImage(toQSize(stored), imageFormat);
            if (image.isNull())
                return {};
            fillWithFixedColour(image);
        }
        if (!reader.read(&image) || image.size() != toQSize(drawn))
            return {};
        if (target != drawn)
            image = image.scaled(toQSize(target), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.size() != toQSize(target))
        return {};
    return image;
}

} // namespace planora::detail
