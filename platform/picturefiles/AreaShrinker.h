#pragma once

// Shrinking a picture that arrives row by row, so that a decoder never holds more of a large
// picture than a band of its rows.

#include "platform/picturefiles/PictureReader.h"

#include <QImage>
#include <cstdint>
#include <vector>

namespace planora::detail {

// The loops over a row, in one instruction set.
struct ShrinkerLoops;

// Each target pixel is the average of the source area it covers: a box filter whose weights
// at the box's edges are the fractions of the source pixels that lie inside it. The sums are
// exact in integers, and each channel is rounded to nearest (halves up) once, at the end.
class AreaShrinker {
public:
    // The target may not be larger than the source in either direction.
    AreaShrinker(PixelSize source, PixelSize target);

    // Each of these takes source row y (0 = top). The rows come in order, every row once: all
    // from the top down, or all from the bottom up; the three kinds may be mixed.
    //
    // source.width pixels as opaque 0xffRRGGBB (the top byte is not read).
    void addRow(std::int64_t y, const std::uint32_t* pixels);
    // source.width pixels of three bytes each: blue, green, red.
    void addBgrRow(std::int64_t y, const std::uint8_t* pixels);
    // A row whose every pixel is the opaque 0xffRRGGBB given.
    void addUniformRow(std::int64_t y, std::uint32_t pixel);

    // The target picture (Format_RGB32), once every source row was added; a null image when
    // its memory cannot be had.
    QImage finish();

    // For tests: shrinkers made from now on use vectors of at most this many bits (0: plain
    // code). The widest that the processor has is the default.
    static void limitVectorWidth(int bits);

private:
    // A source row in bytes: blue, green, red at offsets 0, 1, 2 of every `stride` bytes.
    void addBytes(std::int64_t y, const std::uint8_t* bytes, int stride);
    void addWeighted(std::int64_t targetRow, std::uint32_t weight, const std::uint8_t* bytes);
    void startTargetRow(std::int64_t targetRow);
    void flush();
    const std::uint32_t* columnSums();
    // Writes the pixels of the target row being gathered from its column sums.
    void shrinkRow(const std::uint32_t* sums);

    PixelSize source_, target_;
    // Both sides in units in which a source pixel is rowUnit_ (columnUnit_) long and a target
    // pixel rowSpan_ (columnSpan_): the sizes divided by their greatest common divisor.
    std::uint32_t columnUnit_, columnSpan_, rowUnit_, rowSpan_;
    const ShrinkerLoops* loops_;

    // Where each target column gathers its source columns: taps_ of them from first_[j] on,
    // each with the length that lies inside (0 for a tap past the column's last). For each tap,
    // an even column's weight and the next one's lie side by side, four times each, as the
    // vector code takes them: tap k of column j is at weights_[8 * (taps_ * (j / 2) + k) +
    // 4 * (j % 2)].
    int taps_ = 0;
    std::vector<std::uint32_t> first_, weights_;
    // A channel's rounded quotient n / (rowSpan_ * columnSpan_) as (n * multiplier_) >> shift_,
    // exact for every sum the picture can have; multiplier_ is 0 when no such pair fits in
    // 32 bits each, or when the sums need more than 32 bits.
    std::uint64_t multiplier_ = 0;
    int shift_ = 0;

    // The target row being gathered, in the byte layout of the rows that came first (stride 3
    // or 4): whole source rows summed in full16_ or full32_, rows that lie partly inside,
    // weighted, in edge_, and uniform rows per channel in uniform_. edge_ and columnSums_
    // reach past the row by taps_ + 2 zero columns, which the column loops may read.
    int stride_ = 0;
    std::int64_t targetRow_ = -1;
    bool fullUsed_ = false, edgeUsed_ = false;
    std::size_t rowBytes_ = 0;
    std::vector<std::uint16_t> full16_; // when the sums fit in 16 bits
    std::vector<std::uint32_t> full32_; // otherwise
    std::vector<std::uint32_t> edge_;
    std::uint64_t uniform_[3] = {};
    std::vector<std::uint8_t> converted_;
    std::vector<std::uint32_t> columnSums_;

    QImage result_;
};

} // namespace planora::detail
