#pragma once

// Picture files made byte by byte, for tests of reading: files of any claimed size that take
// little time and memory to make, and the damaged and disguised files that a reader must turn
// away.

#include "platform/Color.h"
#include "platform/Picture.h"

#include <cstdint>
#include <functional>
#include <string>

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

} // namespace planora::test
