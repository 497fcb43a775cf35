#include "platform/picturefiles/PictureReader.h"

#include "platform/picturefiles/PictureFileChecks.h"
#include "platform/qt/QtSupport.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace planora {

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
// Memory that a decoder may take for a picture without further ado, and at most. Above the
// first, the file must hold at least one byte for every kMaxExpansion bytes of it, so a small
// file cannot make us allocate much by its header alone.
constexpr std::int64_t kFreeDecodeBytes = 64 * kMiB;
constexpr std::int64_t kMaxDecodeBytes = 256 * kMiB;
constexpr std::int64_t kMaxExpansion = 256;
// Without a box, a larger picture is kept at a reduced scale: 64 MiB of pixels at most, and
// no side beyond what a Picture may have.
constexpr std::int64_t kMaxKeptPixels = 16 * kMiB;
constexpr std::int64_t kMaxKeptSide = 32767;

using detail::JpegFrame;
using detail::OpenFile;
using detail::PictureKind;

bool affordable(std::int64_t decodeBytes, std::int64_t fileBytes) {
    if (decodeBytes <= kFreeDecodeBytes)
        return true;
    return decodeBytes <= kMaxDecodeBytes && fileBytes >= decodeBytes / kMaxExpansion;
}

// The largest size of the same shape within the limits on kept pictures.
PixelSize keptSize(PixelSize p) {
    double factor = 1;
    const double pixels = double(p.width) * double(p.height);
    if (pixels > double(kMaxKeptPixels))
        factor = std::sqrt(double(kMaxKeptPixels) / pixels);
    factor = std::min(factor, double(kMaxKeptSide) / double(std::max(p.width, p.height)));
    if (factor >= 1)
        return p;
    return {std::max<std::int64_t>(1, std::int64_t(double(p.width) * factor)),
            std::max<std::int64_t>(1, std::int64_t(double(p.height) * factor))};
}

const char* formatName(PictureKind kind) {
    switch (kind) {
    case PictureKind::Bmp:
        return "bmp";
    case PictureKind::Jpeg:
        return "jpeg";
    case PictureKind::Tiff:
        return "tiff";
    }
    return "";
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

// Halves: 2k for the multiple k/2 itself, 2k + 1 for the gap between k/2 and (k + 1)/2.
// Rounding noise far below any drawing precision counts as equal.
std::int64_t halfStep(double d) {
    const double twice = 2 * d;
    const double nearest = std::round(twice);
    if (std::abs(twice - nearest) < 1e-9)
        return 2 * std::int64_t(nearest);
    return 2 * std::int64_t(std::floor(twice)) + 1;
}

} // namespace

BoxFit fitIntoBox(PixelSize picture, PixelSize box) {
    const double w = double(picture.width), h = double(picture.height);
    const double bw = double(box.width), bh = double(box.height);
    const double s = std::max(1.0, std::max(w / bw, h / bh));
    BoxFit fit;
    fit.width = w / s;
    fit.height = h / s;
    fit.x = std::int64_t(std::trunc((bw - fit.width) / 2));
    fit.y = std::int64_t(std::trunc((bh - fit.height) / 2));
    return fit;
}

bool sameCoverage(const BoxFit& a, const BoxFit& b) {
    return a.x == b.x && a.y == b.y && halfStep(a.width) == halfStep(b.width) &&
           halfStep(a.height) == halfStep(b.height);
}

std::optional<PixelSize> reducedSizeFor(PixelSize picture, PixelSize box) {
    if (picture.width < 1 || picture.height < 1 || box.width < 1 || box.height < 1)
        return std::nullopt;
    const bool wide =
        double(picture.width) * double(box.height) >= double(picture.height) * double(box.width);
    const std::int64_t limiting = wide ? picture.width : picture.height;
    const std::int64_t other = wide ? picture.height : picture.width;
    const std::int64_t side = wide ? box.width : box.height;
    if (limiting <= 4 * side)
        return std::nullopt;
    // The shape cannot be kept exactly in fewer pixels; among the sizes near it, the first
    // that lands on the same pixels will do. Its edges then differ from the full size's by
    // less than half a pixel of the box.
    const BoxFit full = fitIntoBox(picture, box);
    for (std::int64_t l = 2 * side; l <= 4 * side; ++l) {
        const auto nearest =
            std::int64_t(std::llround(double(other) * double(l) / double(limiting)));
        for (const std::int64_t step : {0, -1, 1, -2, 2}) {
            const std::int64_t o = nearest + step;
            if (o < 1 || o > other)
                continue;
            const PixelSize candidate = wide ? PixelSize{l, o} : PixelSize{o, l};
            if (sameCoverage(full, fitIntoBox(candidate, box)))
                return candidate;
        }
    }
    return std::nullopt;
}

Picture readPictureFile(const std::string& path, std::optional<PixelSize> box) {
    const OpenFile file(path);
    if (!file.isRegular())
        return {};
    const std::optional<PictureKind> kind = detail::sniff(file);
    if (!kind)
        return {};
    std::optional<JpegFrame> jpeg;
    if (*kind == PictureKind::Jpeg) {
        jpeg = detail::checkJpeg(file);
        if (!jpeg)
            return {};
    } else if (*kind == PictureKind::Bmp && !detail::checkBmp(file)) {
        return {};
    }

    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QImageReader reader(&device, formatName(*kind));
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // Our own limits below decide; the toolkit's default would refuse an ordinary photo.
    reader.setAllocationLimit(int(kMaxDecodeBytes / kMiB));

    const QSize declared = reader.size();
    const PixelSize stored{declared.width(), declared.height()};
    if (!detail::sidesAcceptable(stored.width, stored.height))
        return {};
    if (jpeg && jpeg->size != stored)
        return {};
    const QImage::Format format = reader.imageFormat();
    const std::int64_t decodeBytes =
        jpeg ? jpeg->bufferBytes
             : stored.width * stored.height *
                   std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8);
    if (!affordable(decodeBytes, file.size()))
        return {};

    // The size as drawn, after the turn that the file asks for (a camera's orientation).
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const PixelSize drawn = turned ? PixelSize{stored.height, stored.width} : stored;
    std::optional<PixelSize> target;
    if (box)
        target = reducedSizeFor(drawn, *box);
    if (!target && keptSize(drawn) != drawn)
        target = keptSize(drawn);

    QImage image;
    if (jpeg) {
        // The decoder shrinks while it decodes; it takes the size before the turn.
        if (target)
            reader.setScaledSize(turned ? QSize(int(target->height), int(target->width))
                                        : toQSize(*target));
        if (!reader.read(&image))
            return {};
    } else {
        // The decoder writes into this picture when its size and layout agree, so no pixel is
        // left as the memory held it.
        if (format != QImage::Format_Invalid) {
            image = QImage(toQSize(stored), format);
            if (image.isNull())
                return {};
            fillWithFixedColour(image);
        }
        if (!reader.read(&image) || image.size() != toQSize(drawn))
            return {};
        if (target)
            image = image.scaled(toQSize(*target), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.size() != toQSize(target.value_or(drawn)))
        return {};
    return pictureFromImage(std::move(image));
}

} // namespace planora
