#pragma once

// Yardsticks for benchmarks of picture files: the toolkit's own reader and writer, without any
// of FolderItem's checks. Never for files a user picks.

#include "platform/Picture.h"

#include <cstdint>
#include <string>

namespace planora::benchmarking {

// Decodes the whole file at its full size, the format told by its content. Nil on failure.
Picture decodeWhole(const std::string& path);
// Decodes the file at the given size, as the toolkit's reader does when it is asked for a
// scaled picture: a JPEG by its own decoder at a reduced scale, other formats whole and then
// smoothly scaled. Nil on failure.
Picture decodeScaled(const std::string& path, std::int64_t width, std::int64_t height);
// Writes the picture as a JPEG of the given quality (0 to 100). Returns false on failure.
bool writeJpeg(const Picture& picture, const std::string& path, int quality);
// Writes the picture as a 24-bit BMP. Returns false on failure.
bool writeBmp(const Picture& picture, const std::string& path);
// Write the picture as an 8-bit RGB TIFF, uncompressed or LZW coded, in strips of about 64 KiB
// as common writers make them. Return false on failure.
bool writeTiff(const Picture& picture, const std::string& path);
bool writeTiffLzw(const Picture& picture, const std::string& path);

} // namespace planora::benchmarking
