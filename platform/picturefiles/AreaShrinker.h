#pragma once

// Shrinking a picture that arrives row by row, so that a decoder never holds more of a large
// picture than a band of its rows.

#include "platform/picturefiles/PictureReader.h"

#include <QImage>
#include <cstdint>
#include <vector>

namespace planora::detail {

// Each target pixel is the average of the source area it covers: a box filter whose weights
// at the box's edges are the fractions of the source pixels that lie inside it. The sums are
// exact in integers, and each channel is rounded to nearest once, at the end.
class AreaShrinker {
public:
    // The target may not be larger than the source in either direction.
    AreaShrinker(PixelSize source, PixelSize target);

    // Takes source row y (0 = top): source.width pixels as opaque 0xffRRGGBB. The rows come
    // in order, every row once: all from the top down, or all from the bottom up.
    void addRow(std::int64_t y, const std::uint32_t* pixels);

    // The target picture (Format_RGB32), once every source row was added; a null image when
    // its memory cannot be had.
    QImage finish();

private:
    struct PendingRow {
        std::int64_t row = -1;
        std::vector<std::uint64_t> sums; // red, green, blue of each target column
    };

    void flushRowsOtherThan(std::int64_t first, std::int64_t last);
    PendingRow& pending(std::int64_t row);

    PixelSize source_, target_;
    std::vector<std::uint64_t> shrunkRow_;
    PendingRow pending_[2];
    QImage result_;
};

} // namespace planora::detail
