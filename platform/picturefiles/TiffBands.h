#pragma once

// How a TIFF is cut into bands of rows for decoding, and what decoding it may cost.

#include "platform/picturefiles/PictureDecoder.h"
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

    // What each thread holds (its handle's tables and tags, its strips or tiles), the largest
    // band's pixels, and the memory that the decoded bands in flight take about.
    std::int64_t threadBytes = 0, bandBytes = 0, bandMemory = 0;

    // The memory that decoding holds beside the picture on the given threads, with the bands
    // that may wait for them.
    std::int64_t memoryOn(int threads) const;
    // Takes as many of the planned threads, and bands that may wait, as memoryBytes holds:
    // fewer threads hold less. False when it does not hold one.
    bool fitInto(std::int64_t memoryBytes);
    // The decoded bands that may wait to be shrunk, for the given threads.
    int queueOn(int threads) const;
};

// The picture's rows from top to bottom in bands that begin where a strip or tile row begins
// (a strip taller than a band is read in parts, each decoded from the strip's start), for up to
// maxThreads threads. The decoded bands in flight take about bandMemory in all. Each thread
// decodes with a handle on the file of its own, which holds tagBytes (tiffTagBytes). Nothing
// when the work it takes (bytes decoded, pixels converted and shrunk) or the memory of one band
// is beyond what can be done in about a second.
std::optional<BandPlan> planBands(const TiffLayout& layout, std::int64_t bandMemory,
                                  unsigned maxThreads, std::int64_t tagBytes);

// What decoding by the plan costs, as PictureDecoder's header step reports it: all that it
// holds at once on one thread, the picture that it makes counted twice when it is turned
// afterwards.
LoadCost loadCost(const BandPlan& plan, const TiffLayout& layout);

} // namespace planora::detail
