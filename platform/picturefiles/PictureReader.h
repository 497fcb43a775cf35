#pragma once

// The reader behind FolderItem::OpenAsPicture, and the arithmetic of shrinking a picture into
// a box, which decides how small a large picture may be decoded.

#include "platform/Picture.h"

#include <cstdint>
#include <optional>
#include <string>

namespace planora {

struct PixelSize {
    std::int64_t width = 0, height = 0;
    bool operator==(const PixelSize&) const = default;
};

// Where a picture of w x h pixels lands when it is shrunk by one factor until it fits the box,
// never enlarged, and centred: s = max(1, w / boxWidth, h / boxHeight) in Double arithmetic;
// width = w / s and height = h / s, not rounded; x and y = (box - size) / 2, truncated toward
// zero.
struct BoxFit {
    double width = 0, height = 0;
    std::int64_t x = 0, y = 0;
};
BoxFit fitIntoBox(PixelSize picture, PixelSize box);

// True when two fits cover the same pixels whatever rule the drawing uses at the edges: the
// same offsets, and widths and heights that are equal or lie between the same two multiples
// of one half.
bool sameCoverage(const BoxFit& a, const BoxFit& b);

// The size at which a picture of the given size can be decoded for showing it fitted into the
// box: a size whose own fit covers exactly the pixels that the full size's fit covers, its
// limiting side two to four times the box. Nothing when the picture is not more than four
// times the box or when no such size exists; it is then decoded whole.
std::optional<PixelSize> reducedSizeFor(PixelSize picture, PixelSize box);

// Reads a BMP, JPEG or TIFF file as FolderItem::OpenAsPicture documents it. With a box, a
// large picture comes back at the size reducedSizeFor gives.
Picture readPictureFile(const std::string& path, std::optional<PixelSize> box);

// Reads the file as a JPEG, whatever its name or first bytes say, at the size that
// readPictureFile gives without a box; a Nil picture when it cannot be read. Unlike
// readPictureFile, it lets an exception on the way (no memory to be had) reach the caller.
Picture readJpegFile(const std::string& path);

} // namespace planora
