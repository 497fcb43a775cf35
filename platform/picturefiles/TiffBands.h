#pragma once

// How a TIFF is cut into bands of rows for decoding, and what decoding it may cost.

#include "platform/picturefiles/PictureFileChecks.h"

#include <QImage>
#include <cstdint>
#include <optional>
#include <tiffio.h>
#include <vector>

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

// The memory that a libtiff handle takes for the tags of the file's first directory, the
// tables of strips and tiles aside (the layout counts those): every value that a tag holds, a
// tag's bookkeeping, and while the handle reads them, a second copy of the largest. Every
// handle on the file reads them anew. Nothing when the directory cannot be read, or when one
// handle's tags alone would take more than decoding the picture may.
std::optional<std::int64_t> tiffTagBytes(const OpenFile& file);

// Returns the layout of the first directory; nothing when its sizes are missing or beyond
// what we read (sidesAcceptable).
std::optional<TiffLayout> tiffLayout(TIFF* tiff);

// Makes the handle's picture as wide as its tiles are, when libtiff would otherwise misplace
// the pixels of the partial tiles at its right edge (16-bit grey). Call before decoding.
void wholeTiles(TIFF* tiff, const TiffLayout& layout);

struct Band {
    std::int64_t first = 0, rows = 0;
};

struct BandPlan {
    std::int64_t width = 0, stride = 0;
    int threads = 1; // threads that decode bands side by side
    int queue = 1;   // decoded bands that may wait to be shrunk
    std::vector<Band> bands;
};

// The picture's rows from top to bottom in bands that begin where a strip or tile row begins
// (a strip taller than a band is read in parts, each decoded from the strip's start). The
// decoded bands in flight take about bandMemory in all. Each thread decodes with a handle on
// the file of its own, which holds tagBytes (tiffTagBytes). Nothing when the work it takes
// (bytes decoded, pixels converted and shrunk) or the memory of one band is beyond what can be
// done in about a second, or the memory that it holds at once with the picture of the
// target size that it makes.
std::optional<BandPlan> planBands(const TiffLayout& layout, PixelSize target,
                                  std::int64_t bandMemory, unsigned maxThreads,
                                  std::int64_t tagBytes);

// The picture stored with the given TIFF orientation (1 to 8), turned and mirrored as it is
// to be drawn.
QImage turnedAsDrawn(const QImage& stored, int orientation);

} // namespace planora::detail
