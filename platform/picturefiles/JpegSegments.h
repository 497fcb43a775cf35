#pragma once

// The segments and scans of a JPEG, walked before libjpeg sees the file: that the file holds
// all that it declares, and what its scans will cost; and the orientation in its EXIF data.

#include "platform/picturefiles/PictureFile.h"

#include <cstdint>
#include <optional>
#include <span>

namespace planora::detail {

struct JpegFrame {
    PixelSize size;
    // Bytes of coefficients that the decoder holds for the whole picture when its scans come
    // one after the other (progressive, or a first scan that leaves out a component of the
    // frame); 0 when it decodes in rows.
    std::int64_t bufferBytes = 0;
};

// The work a JPEG's scans may cause, counted in 8 x 8 blocks that a scan goes through (each
// scan goes through every block of each component it names, whether its data says anything
// about them or not): at most kMaxScanPasses times the blocks of the whole frame, and at most
// kMaxScanBlocks in all. Ordinary progressive files go through each block a few times.
constexpr std::int64_t kMaxScanPasses = 64;
constexpr std::int64_t kMaxScanBlocks = std::int64_t(1) << 27;

// Walks the JPEG's segments and scans up to its end marker, from the start of the file that in
// reads; it leaves in anywhere. Nothing for a file that ends before it (cut short: the decoder
// would invent the missing part), whose scans would cost more work than the bounds above
// allow, or that is no JPEG.
std::optional<JpegFrame> checkJpeg(BufferedReader& in);

// The orientation (1 to 8) that a camera writes into the EXIF data of an APP1 segment, given
// the segment's contents; 1 when the data gives none that can be read. Nothing for a segment
// that holds no EXIF data.
std::optional<int> exifOrientation(std::span<const std::uint8_t> app1);

} // namespace planora::detail
