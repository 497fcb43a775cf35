#pragma once

// A TIFF as libtiff reads its first directory: the sizes, the orientation, the strips or tiles
// and what their samples are.

#include "platform/picturefiles/PictureFile.h"

#include <cstdint>
#include <optional>
#include <tiffio.h>

namespace planora::detail {

// What the first directory of a TIFF says about the shape of its data.
struct TiffLayout {
    std::int64_t width = 0, height = 0;
    // Pixels in a decoded row: the width, or for some tiled pictures the width of whole tiles
    // (see wholeTiles).
    std::int64_t stride = 0;
    int orientation = ORIENTATION_TOPLEFT; // 1 to 8
    bool tiled = false;
    // A tile, or the rows of a strip (never more than the picture's height).
    std::int64_t blockWidth = 0, blockHeight = 0;
    std::int64_t blockBytes = 0; // decoded bytes of one strip or tile of one plane
    std::int64_t rowBytes = 0;   // decoded bytes of one row of one plane
    std::int64_t planes = 1;     // the samples of a pixel when they lie in planes of their own
    std::int64_t blocks = 0;     // strips or tiles in the file, all planes
    std::int64_t verticalSubsampling = 1;
    // What the samples are and how they are stored, as the tags say.
    std::uint16_t photometric = 0, compression = 0, bitsPerSample = 0, samplesPerPixel = 0;
    std::uint16_t sampleFormat = 0, extraSamples = 0, firstExtraSample = 0;
    std::uint16_t horizontalSubsampling = 1;

    bool operator==(const TiffLayout&) const = default;
};

// Returns the layout of the first directory; nothing when its sizes are missing or beyond
// what we read (sidesAcceptable).
std::optional<TiffLayout> tiffLayout(TIFF* tiff);

// Makes the handle's picture as wide as its tiles are, when libtiff would otherwise misplace
// the pixels of the partial tiles at its right edge (16-bit grey). Call before decoding.
void wholeTiles(TIFF* tiff, const TiffLayout& layout);

} // namespace planora::detail
