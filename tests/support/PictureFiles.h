#pragma once

// Picture files made byte by byte, for tests of reading: files of any claimed size that take
// little time and memory to make, and the damaged and disguised files that a reader must turn
// away.

#include "platform/Color.h"
#include "platform/Picture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace planora::test {

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// A picture of one colour.
Picture solidPicture(std::int64_t width, std::int64_t height, Color colour);

// A baseline greyscale JPEG, all black, of any size up to 65535 x 65535; a few bytes per
// 8 x 8 block, so even a huge one is small and quick to make.
std::string blackJpeg(std::int64_t width, std::int64_t height);
// The JPEG with an EXIF orientation (1 to 8) placed right after its start marker.
std::string withExifOrientation(const std::string& jpeg, int orientation);

// An uncompressed TIFF with its directory first, each pixel given by argb(x, y), with an
// alpha channel when alpha is true (0 transparent .. 255 opaque in bits 24-31 of the value
// returned, which is not a Color), and an orientation tag (1 to 8) unless it is 1.
std::string tiffBytes(std::int64_t width, std::int64_t height, bool alpha,
                      const std::function<std::uint32_t(std::int64_t, std::int64_t)>& argb,
                      int orientation = 1);

// An 8-bit run-length coded BMP with the given palette (four bytes an entry: blue, green, red,
// 0) and coded data, taken as it is.
std::string rle8Bmp(std::int64_t width, std::int64_t height, const std::string& palette,
                    const std::string& data);

// The parts of a BMP file, written as they are given: a Windows header of 40, 52, 56, 108 or
// 124 bytes or the OS/2 header of 12; a negative height for rows stored top-down; masks inside
// a longer header or, after a 40-byte one, right behind it; then the palette's bytes and the
// stored rows (see bmpRows). The data offset points right after the palette.
struct BmpParts {
    int headerSize = 40;
    std::int64_t width = 1, height = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint32_t> masks;
    std::string palette, pixels;
};
std::string bmpBytes(const BmpParts& parts);

// Rows as a BMP stores them, each padded to a multiple of four bytes: per pixel a code of 1,
// 2, 4 or 8 bits (packed from each byte's top bit down), a 16-bit word, 0xRRGGBB for 24 bits
// (written blue, green, red) or a 32-bit word, all little-endian. The rows are taken in the
// order given.
std::string bmpRows(int bits, const std::vector<std::vector<std::uint32_t>>& rows);

} // namespace planora::test
