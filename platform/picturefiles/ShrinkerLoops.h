#pragma once

// The loops of the area shrinker over a row, in each instruction set that it may use: the
// plain one that every processor has, and AVX2 where the processor has it, chosen when the
// program runs. They give the same sums in every set, bit for bit.

#include <cstddef>
#include <cstdint>

namespace planora::detail {

// What the column loops need for one target row: the sums of its source columns, per channel
// (blue, green, red at offsets 0, 1, 2 of every `stride` words), and where each target column
// gathers them (see AreaShrinker).
struct ColumnWork {
    const std::uint32_t* first;
    const std::uint32_t* weights;
    int taps;
    std::int64_t width;
    int stride;
    // The pixel's total weight, and (n * multiplier) >> shift, which divides a sum n by it
    // exactly when the multiplier is not 0; the sums then fit in 32 bits.
    std::uint64_t total, multiplier;
    int shift;
    // Added to each channel's sum before the division: the uniform rows' part and half the
    // total, so that the quotient is rounded to nearest.
    std::uint64_t offset[3];
};

struct ShrinkerLoops {
    // sums = bytes, or sums += bytes.
    void (*sum16)(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t n, bool add);
    void (*sum32)(std::uint32_t* sums, const std::uint8_t* bytes, std::size_t n, bool add);
    // sums = weight * bytes, or sums += weight * bytes.
    void (*weigh)(std::uint32_t* sums, std::uint32_t weight, const std::uint8_t* bytes,
                  std::size_t n, bool add);
    // out = unit * full + edge, edge left out when null.
    void (*combine16)(std::uint32_t* out, const std::uint16_t* full, std::uint32_t unit,
                      const std::uint32_t* edge, std::size_t n);
    void (*combine32)(std::uint32_t* out, const std::uint32_t* full, std::uint32_t unit,
                      const std::uint32_t* edge, std::size_t n);
    // A source row that ends one target row and begins the next: out = unit * full + edge +
    // now * bytes, then edge = next * bytes. full is left out when null, and edge on the way
    // in unless edgeUsed.
    void (*split16)(std::uint32_t* out, const std::uint16_t* full, std::uint32_t unit,
                    std::uint32_t* edge, bool edgeUsed, std::uint32_t now, std::uint32_t next,
                    const std::uint8_t* bytes, std::size_t n);
    void (*split32)(std::uint32_t* out, const std::uint32_t* full, std::uint32_t unit,
                    std::uint32_t* edge, bool edgeUsed, std::uint32_t now, std::uint32_t next,
                    const std::uint8_t* bytes, std::size_t n);
    // The target row's pixels, opaque 0xffRRGGBB, from its column sums. The sums reach past
    // the row far enough for every tap, with zeros, and by one more word.
    void (*columns)(const ColumnWork& work, const std::uint32_t* sums, std::uint32_t* out);
};

// The loops in the widest vectors that the processor has, of at most bits (0: plain code).
const ShrinkerLoops& shrinkerLoops(int bits);

} // namespace planora::detail
