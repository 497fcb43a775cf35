#pragma once

// One decoder per picture format behind readPictureFile. Each is handed a regular file whose
// first bytes name its format, checks what the file declares against our limits, and decodes
// it at the size decodeSize gives for the picture as drawn.

#include "platform/picturefiles/PictureFile.h"

#include <QImage>
#include <optional>

namespace planora::detail {

// Memory that decoding one picture may take at the most, whatever the file says.
constexpr std::int64_t kMaxDecodeBytes = 256 * kMiB;

// The size to decode a picture at, given its size as drawn (after the turn its file asks
// for): reducedSizeFor when there is a box and it gives a size; otherwise the drawn size,
// shrunk to the largest of its shape that we keep (16 Mi pixels, sides up to 32767).
PixelSize decodeSize(PixelSize drawn, std::optional<PixelSize> box);

// Each returns the picture as drawn, turned as the file asks, at decodeSize of its drawn
// size; or a null image for a file that cannot be read, is cut short or costs more than we
// allow. Pixels that the file leaves unset take one fixed colour; transparency lies on white.
QImage decodeBmp(const OpenFile& file, std::optional<PixelSize> box);
QImage decodeJpeg(const OpenFile& file, std::optional<PixelSize> box);
QImage decodeTiff(const OpenFile& file, std::optional<PixelSize> box);

} // namespace planora::detail
