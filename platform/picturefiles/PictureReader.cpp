#include "platform/picturefiles/PictureReader.h"

#include "platform/picturefiles/Orientation.h"
#include "platform/picturefiles/PictureDecoder.h"
#include "platform/qt/QtSupport.h"

#include <algorithm>
#include <cmath>

namespace planora {

namespace {

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

namespace {

// The size to decode a picture at, given its size as drawn (after the turn its file asks
// for): reducedSizeFor when there is a box and it gives a size; otherwise the drawn size,
// shrunk to the largest of its shape that we keep (16 Mi pixels, sides up to 32767).
PixelSize decodeSize(PixelSize drawn, std::optional<PixelSize> box) {
    if (box)
        if (const std::optional<PixelSize> reduced = reducedSizeFor(drawn, *box))
            return *reduced;
    // Without a box, a larger picture is kept at a reduced scale: 64 MiB of pixels at most,
    // and no side beyond what a Picture may have.
    constexpr std::int64_t kMaxKeptPixels = std::int64_t(16) << 20;
    constexpr std::int64_t kMaxKeptSide = 32767;
    double factor = 1;
    const double pixels = double(drawn.width) * double(drawn.height);
    if (pixels > double(kMaxKeptPixels))
        factor = std::sqrt(double(kMaxKeptPixels) / pixels);
    factor = std::min(factor, double(kMaxKeptSide) / double(std::max(drawn.width, drawn.height)));
    if (factor >= 1)
        return drawn;
    return {std::max<std::int64_t>(1, std::int64_t(double(drawn.width) * factor)),
            std::max<std::int64_t>(1, std::int64_t(double(drawn.height) * factor))};
}

std::unique_ptr<detail::PictureDecoder> decoderFor(detail::PictureKind kind,
                                                   detail::BufferedReader& in) {
    switch (kind) {
    case detail::PictureKind::Bmp:
        return detail::bmpDecoder(in);
    case detail::PictureKind::Jpeg:
        return detail::jpegDecoder(in);
    case detail::PictureKind::Tiff:
        return detail::tiffDecoder(in);
    }
    return nullptr;
}

// The same steps for every format: its header; the size to decode at, for the picture as it
// is drawn; the check of what that costs; its rows; and the turn that the file asks for, once
// the decoder has given back its memory, as the turn may copy the picture.
QImage readPicture(const detail::OpenFile& file, detail::PictureKind kind,
                   std::optional<PixelSize> box) {
    detail::BufferedReader in(file);
    std::unique_ptr<detail::PictureDecoder> decoder = decoderFor(kind, in);
    const std::optional<detail::PictureHeader> header = decoder->readHeader();
    if (!header)
        return {};
    const int orientation = header->orientation;
    const PixelSize shown = decodeSize(detail::drawnSize(header->stored, orientation), box);
    const detail::LoadCost& cost = header->cost;
    const std::int64_t memoryBytes =
        cost.allowedBytes - cost.pictureCopies * 4 * shown.width * shown.height;
    if (cost.workingBytes > memoryBytes)
        return {};
    QImage stored = decoder->readRows(detail::storedSize(shown, orientation), memoryBytes);
    decoder.reset();
    if (stored.isNull())
        return {};
    return detail::turnedAsDrawn(std::move(stored), orientation);
}

} // namespace

Picture readPictureFile(const std::string& path, std::optional<PixelSize> box) {
    // A load that runs out of memory, or whose libraries fail in a way we did not foresee,
    // is a picture that cannot be read, never the end of the program.
    try {
        const detail::OpenFile file(path);
        if (!file.isRegular())
            return {};
        const std::optional<detail::PictureKind> kind = detail::sniff(file);
        if (!kind)
            return {};
        return pictureFromImage(readPicture(file, *kind, box));
    } catch (const std::exception&) {
        return {};
    }
}

Picture readJpegFile(const std::string& path) {
    const detail::OpenFile file(path);
    if (!file.isRegular())
        return {};
    return pictureFromImage(readPicture(file, detail::PictureKind::Jpeg, std::nullopt));
}

} // namespace planora
