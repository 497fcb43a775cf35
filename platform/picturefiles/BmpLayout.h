#pragma once

// What a BMP file's headers declare, read and checked before any pixel is: its size, its row
// order, how its pixels are coded, and the colours that its codes stand for.

#include "platform/picturefiles/PictureFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace planora::detail {

struct BmpLayout {
    enum class Coding { Plain, Rle8, Rle4 };

    PixelSize size;
    bool topDown = false; // rows stored from the top down (a negative height)
    int bits = 0;         // per pixel: 1, 2, 4, 8, 16, 24 or 32
    Coding coding = Coding::Plain;
    std::int64_t dataStart = 0; // where the first stored row begins
    std::int64_t stride = 0;    // bytes a stored row takes when not run-length coded

    // For 1 to 8 bits: 2^bits opaque 0xffRRGGBB colours. Codes beyond the colours the file
    // lists stand for its first colour.
    std::vector<std::uint32_t> palette;

    // For 16 and 32 bits: where red, green, blue and alpha lie in a pixel's word. A channel is
    // a run of adjacent bits (none: red, green and blue are 0, alpha is opaque).
    struct Channel {
        int shift = 0, width = 0;
    };
    std::array<Channel, 4> channels;
    // True for 32 bits with the default channels (blue, green, red, unused byte): such rows can
    // be taken as they are.
    bool plainBgrx = false;
};

// The layout of a BMP with the Windows headers of 40, 52, 56, 64, 108 or 124 bytes or the OS/2
// header of 12, uncompressed, with bit fields, or run-length coded (8 or 4 bits, bottom-up as
// those must be); nothing for any other, for sides that sidesAcceptable refuses, for channel
// masks that are not runs of bits, an indexed picture without a palette and a file too short
// for the headers, the palette or, when not run-length coded, every row.
std::optional<BmpLayout> readBmpLayout(const OpenFile& file);

} // namespace planora::detail
