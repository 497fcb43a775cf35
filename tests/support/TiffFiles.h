#pragma once

// TIFF files of every kind, written through libtiff for tests of reading them, and files
// whose strips hold whatever a test puts there.

#include <cstdint>
#include <functional>
#include <string>
#include <tiffio.h>
#include <vector>

namespace planora::test {

struct TiffSpec {
    std::uint32_t width = 1, height = 1;
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t bits = 8, samples = 3;
    // The kind of the last sample when it is an alpha channel: EXTRASAMPLE_ASSOCALPHA or
    // EXTRASAMPLE_UNASSALPHA; none when negative.
    int alpha = -1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t predictor = PREDICTOR_NONE;
    std::uint32_t rowsPerStrip = 0;              // 0: libtiff's default
    std::uint32_t tileWidth = 0, tileHeight = 0; // tiled when not 0
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    const char* mode = "w"; // "w8" for BigTIFF, "wb" for big-endian
    // For a palette: 2^bits reds, then as many greens and blues.
    std::vector<std::uint16_t> colormap;
};

// The value of sample s (0 = first) of the pixel at x, y (0, 0 = top left as stored).
using SampleAt = std::function<std::uint32_t(std::int64_t x, std::int64_t y, int s)>;

// Writes the TIFF that the spec describes. Returns false when libtiff refuses.
bool writeTiff(const std::string& path, const TiffSpec& spec, const SampleAt& sample);

// Writes a TIFF of the spec's tags whose strip or tile i holds raw(i) as it is, coded as the
// spec's compression says, or cut short, or a lie.
bool writeRawTiff(const std::string& path, const TiffSpec& spec, std::uint32_t blocks,
                  const std::function<std::string(std::uint32_t)>& raw);

// The bytes that the spec's compression makes of one strip of the spec's size holding only
// zero samples: what a thousandfold expansion looks like.
std::string compressedZeros(const std::string& scratchPath, const TiffSpec& spec);

// A tag for a file's first directory: count values of the type (TIFF_BYTE, TIFF_LONG, ...),
// read from the data given with it at dataOffset.
struct ExtraTag {
    std::uint16_t tag = 0, type = TIFF_UNDEFINED;
    std::uint32_t count = 0, dataOffset = 0;
};

// Appends data to the classic little-endian TIFF at path, and a first directory that holds its
// tags and the extra ones, whose values lie in that data; tags may share their values. Returns
// false when the file is no such TIFF or the directory would hold more than 65535 tags.
bool addTags(const std::string& path, const std::string& data, const std::vector<ExtraTag>& tags);

} // namespace planora::test
