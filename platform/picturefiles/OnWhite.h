#pragma once

// Laying a partly transparent pixel on white, channel by channel: a channel c of alpha a
// (0 transparent, 255 opaque) shows as c a / 255 + 255 - a, rounded to nearest.

#include <algorithm>
#include <cstdint>

namespace planora::detail {

// A channel of straight alpha, c as it would show opaque: (c a + 255 (255 - a)) / 255,
// rounded, in arithmetic that the compiler can do for several pixels at a time: v / 255 is
// (v + 1 + v / 256) / 256 for every v below 65535.
constexpr std::uint32_t onWhite(std::uint32_t c, std::uint32_t a) {
    const std::uint32_t v = c * a + 255 * (255 - a) + 127;
    return (v + 1 + (v >> 8)) >> 8;
}

// A channel of associated alpha, already multiplied by a / 255. A channel larger than its
// alpha, which no proper file holds, saturates at 255.
constexpr std::uint32_t associatedOnWhite(std::uint32_t c, std::uint32_t a) {
    return std::min<std::uint32_t>(255, c + 255 - a);
}

} // namespace planora::detail
