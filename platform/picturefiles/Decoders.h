#pragma once

// The TIFF decoder, which still sizes and turns the picture itself.

#include "platform/picturefiles/PictureFile.h"

#include <QImage>
#include <optional>

namespace planora::detail {

// The size to decode a picture at, given its size as drawn (after the turn its file asks
// for): reducedSizeFor when there is a box and it gives a size; otherwise the drawn size,
// shrunk to the largest of its shape that we keep (16 Mi pixels, sides up to 32767).
PixelSize decodeSize(PixelSize drawn, std::optional<PixelSize> box);

// The picture as drawn, turned as the file asks, at decodeSize of its drawn size; or a null
// image for a file that cannot be read, is cut short or costs more than we allow.
QImage decodeTiff(const OpenFile& file, std::optional<PixelSize> box);

} // namespace planora::detail
