#pragma once

#include <cstdint>

namespace planora {

// A colour as one 32-bit value: transparency in bits 24-31 (0 = opaque), red in 16-23,
// green in 8-15 and blue in 0-7. Channels are read by shift and mask.
using Color = std::uint32_t;

// Returns the colour of the given channels; each is taken modulo 256.
constexpr Color RGB(int red, int green, int blue, int transparency = 0) {
    return (Color(transparency & 255) << 24) | (Color(red & 255) << 16) |
           (Color(green & 255) << 8) | Color(blue & 255);
}

constexpr int Red(Color c) {
    return int((c >> 16) & 255);
}
constexpr int Green(Color c) {
    return int((c >> 8) & 255);
}
constexpr int Blue(Color c) {
    return int(c & 255);
}
constexpr int Transparency(Color c) {
    return int((c >> 24) & 255);
}

} // namespace planora
