#pragma once

// How a TIFF is cut into bands of rows for decoding, and what decoding it may cost.

#include "platform/picturefiles/TiffLayout.h"

#include <cstdint>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace planora::detail {

// The memory that a libtiff handle takes for the tags of the file's first directory, the
// tables of strips and tiles aside (the layout counts those): every value that a tag holds, a
// tag's bookkeeping, and while the handle reads them, a second copy of the largest. Every
// handle on the file reads them anew. Nothing when the directory cannot be read, or when one
// handle's tags alone would take more than decoding the picture may.
std::optional<std::int64_t> tiffTagBytes(const OpenFile& file);

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

} // namespace planora::detail
