#pragma once

// The shape that every picture format has, so that the reader (PictureReader.cpp) drives each
// alike: a header step that reads what the file declares, without decoding a pixel, and a row
// producer that decodes the rows and hands them to the shrinker. What all formats share, the
// reader does once: sizing for the box, the cost check, turning as the file asks.

#include "platform/picturefiles/PictureFile.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>

namespace planora::detail {

// Memory that decoding one picture may take at the most, whatever the file says.
constexpr std::int64_t kMaxDecodeBytes = 256 * kMiB;

// The memory that a load takes, as its format estimates it from the header: the picture that
// it makes, pictureCopies times, and workingBytes beside it. A load of more than allowedBytes
// in all is refused.
struct LoadCost {
    std::int64_t allowedBytes = kMaxDecodeBytes;
    std::int64_t workingBytes = 0;
    std::int64_t pictureCopies = 1;
};

struct PictureHeader {
    PixelSize stored; // before the turn that the orientation asks for
    int orientation = 1;
    LoadCost cost;
};

// One picture file read in one format, first its header, then its rows.
class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;

    // The header step. Nothing for a file that is refused: damaged, cut short, of sides that
    // sidesAcceptable refuses, or whose decoding would be more work than the format allows.
    virtual std::optional<PictureHeader> readHeader() = 0;

    // The row producer, after the header step: the picture as stored, shrunk to target (no
    // larger than the stored size), taking no more than memoryBytes beside it. Pixels that the
    // file leaves unset take one fixed colour; transparency lies on white. A null image for a
    // file whose pixels cannot be read, or costs more than it may.
    virtual QImage readRows(PixelSize target, std::int64_t memoryBytes) = 0;
};

// A decoder in each format for the file that in reads.
std::unique_ptr<PictureDecoder> bmpDecoder(BufferedReader& in);
std::unique_ptr<PictureDecoder> jpegDecoder(BufferedReader& in);
std::unique_ptr<PictureDecoder> tiffDecoder(BufferedReader& in);

} // namespace planora::detail
