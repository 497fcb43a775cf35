#include "platform/picturefiles/AreaShrinker.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>

namespace planora::detail {

namespace {

static_assert(std::endian::native == std::endian::little,
              "0xffRRGGBB words are read as the bytes blue, green, red");

// A source row's share of the target rows, in the units of the header: source row y spans
// [y * unit, (y + 1) * unit) and target row j spans [j * span, (j + 1) * span). As unit <= span,
// a source row reaches at most two target rows, and neither end of the picture is split.
struct Split {
    std::int64_t first;        // the target row where source row y begins
    std::uint32_t firstWeight; // its share of y; the rest, unit - firstWeight, goes to first + 1
};

Split split(std::int64_t y, std::uint32_t unit, std::uint32_t span) {
    const std::int64_t begin = y * unit;
    const std::int64_t first = begin / span;
    const std::int64_t firstEnd = (first + 1) * span;
    return {first, std::uint32_t(std::min<std::int64_t>(unit, firstEnd - begin))};
}

std::uint32_t channel(std::uint32_t pixel, int c) {
    return (pixel >> (8 * c)) & 0xff;
}

} // namespace

AreaShrinker::AreaShrinker(PixelSize source, PixelSize target)
    : source_(source), target_(target),
      result_(int(target.width), int(target.height), QImage::Format_RGB32) {
    const std::int64_t gw = std::gcd(source.width, target.width);
    const std::int64_t gh = std::gcd(source.height, target.height);
    columnUnit_ = std::uint32_t(target.width / gw);
    columnSpan_ = std::uint32_t(source.width / gw);
    rowUnit_ = std::uint32_t(target.height / gh);
    rowSpan_ = std::uint32_t(source.height / gh);
    if (source_ == target_)
        return;
    columns_.resize(std::size_t(target.width));
    for (std::int64_t j = 0; j < target.width; ++j) {
        const std::int64_t begin = j * columnSpan_, end = begin + columnSpan_;
        const std::int64_t first = begin / columnUnit_;
        const std::int64_t firstEnd = (first + 1) * columnUnit_;
        Columns& c = columns_[std::size_t(j)];
        c.first = first;
        c.firstWeight = std::uint32_t(std::min(firstEnd, end) - begin);
        if (firstEnd >= end) {
            c.middle = 0;
            c.lastWeight = 0;
        } else {
            const std::int64_t last = (end - 1) / columnUnit_;
            c.middle = last - first - 1;
            c.lastWeight = std::uint32_t(end - last * columnUnit_);
        }
    }
}

void AreaShrinker::addRow(std::int64_t y, const std::uint32_t* pixels) {
    if (source_ == target_) {
        if (result_.isNull())
            return;
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(y)));
        for (std::int64_t x = 0; x < source_.width; ++x)
            out[x] = pixels[x] | 0xff000000u;
        return;
    }
    addBytes(y, reinterpret_cast<const std::uint8_t*>(pixels), 4);
}

void AreaShrinker::addBgrRow(std::int64_t y, const std::uint8_t* pixels) {
    if (source_ == target_) {
        if (result_.isNull())
            return;
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(y)));
        for (std::int64_t x = 0; x < source_.width; ++x, pixels += 3)
            out[x] = 0xff000000u | std::uint32_t(pixels[2]) << 16 | std::uint32_t(pixels[1]) << 8 |
                     pixels[0];
        return;
    }
    addBytes(y, pixels, 3);
}

void AreaShrinker::addUniformRow(std::int64_t y, std::uint32_t pixel) {
    if (source_ == target_) {
        if (result_.isNull())
            return;
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(y)));
        std::fill(out, out + source_.width, pixel | 0xff000000u);
        return;
    }
    const Split s = split(y, rowUnit_, rowSpan_);
    auto add = [&](std::int64_t row, std::uint32_t weight) {
        startTargetRow(row);
        for (int c = 0; c < 3; ++c)
            uniform_[c] += std::uint64_t(weight) * channel(pixel, c);
    };
    const std::uint32_t rest = rowUnit_ - s.firstWeight;
    // Going up, the row above the split is the one being gathered.
    if (rest != 0 && targetRow_ == s.first + 1) {
        add(s.first + 1, rest);
        add(s.first, s.firstWeight);
    } else {
        add(s.first, s.firstWeight);
        if (rest != 0)
            add(s.first + 1, rest);
    }
}

void AreaShrinker::addBytes(std::int64_t y, const std::uint8_t* bytes, int stride) {
    if (stride_ == 0) {
        stride_ = stride;
        rowBytes_ = std::size_t(stride * source_.width);
        // 16 bits hold the sum of up to 257 whole rows of bytes; a target row of a picture
        // shrunk less than 256 times holds no more.
        if (rowSpan_ / rowUnit_ < 256)
            full16_.resize(rowBytes_);
        else
            full32_.resize(rowBytes_);
        edge_.resize(rowBytes_);
        columnSums_.resize(rowBytes_);
    }
    if (stride != stride_) {
        // Rows of both layouts in one picture: this one is brought into the first one's.
        converted_.resize(rowBytes_);
        for (std::int64_t x = 0; x < source_.width; ++x)
            std::copy_n(bytes + stride * x, 3, &converted_[std::size_t(stride_ * x)]);
        bytes = converted_.data();
    }
    const Split s = split(y, rowUnit_, rowSpan_);
    const std::uint32_t rest = rowUnit_ - s.firstWeight;
    if (rest != 0 && targetRow_ == s.first + 1) {
        addWeighted(s.first + 1, rest, bytes);
        addWeighted(s.first, s.firstWeight, bytes);
    } else {
        addWeighted(s.first, s.firstWeight, bytes);
        if (rest != 0)
            addWeighted(s.first + 1, rest, bytes);
    }
}

namespace {

// sums = bytes, or sums += bytes once used: the loops where nearly all of the time goes, over
// plain arrays so that the compiler does them many bytes at a time.
template <typename Sum>
void sumBytes(Sum* sums, const std::uint8_t* bytes, std::size_t n, bool& used) {
    if (used) {
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = Sum(sums[i] + bytes[i]);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = bytes[i];
        used = true;
    }
}

template <typename Sum>
void weightedColumns(std::uint32_t* out, const Sum* full, std::uint32_t unit,
                     const std::uint32_t* edge, bool fullUsed, bool edgeUsed, std::size_t n) {
    if (fullUsed && edgeUsed)
        for (std::size_t i = 0; i < n; ++i)
            out[i] = unit * full[i] + edge[i];
    else if (fullUsed)
        for (std::size_t i = 0; i < n; ++i)
            out[i] = unit * full[i];
    else
        std::copy_n(edge, n, out);
}

} // namespace

void AreaShrinker::addWeighted(std::int64_t targetRow, std::uint32_t weight,
                               const std::uint8_t* bytes) {
    startTargetRow(targetRow);
    const std::size_t n = rowBytes_;
    if (weight == rowUnit_) {
        if (!full16_.empty())
            sumBytes(full16_.data(), bytes, n, fullUsed_);
        else
            sumBytes(full32_.data(), bytes, n, fullUsed_);
        return;
    }
    std::uint32_t* sums = edge_.data();
    if (edgeUsed_) {
        for (std::size_t i = 0; i < n; ++i)
            sums[i] += weight * bytes[i];
    } else {
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = weight * bytes[i];
        edgeUsed_ = true;
    }
}

void AreaShrinker::startTargetRow(std::int64_t targetRow) {
    if (targetRow == targetRow_)
        return;
    flush();
    targetRow_ = targetRow;
}

void AreaShrinker::flush() {
    if (targetRow_ < 0)
        return;
    if (!result_.isNull()) {
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(targetRow_)));
        // A column's sum is at most 255 * rowSpan_ < 2^24; a pixel's, that times columnSpan_.
        const std::uint64_t most = std::uint64_t(255) * rowSpan_ * columnSpan_;
        if (most <= std::numeric_limits<std::uint32_t>::max())
            shrinkRow<std::uint32_t>(out);
        else
            shrinkRow<std::uint64_t>(out);
    }
    targetRow_ = -1;
    fullUsed_ = edgeUsed_ = false;
    std::fill(std::begin(uniform_), std::end(uniform_), 0);
}

template <typename Sum>
void AreaShrinker::shrinkRow(std::uint32_t* out) {
    const std::uint64_t total = std::uint64_t(rowSpan_) * columnSpan_;
    auto rounded = [total](std::uint64_t sum) { return std::uint32_t((sum + total / 2) / total); };
    if (!fullUsed_ && !edgeUsed_) {
        std::uint32_t pixel = 0xff000000u;
        for (int c = 0; c < 3; ++c)
            pixel |= rounded(uniform_[c] * columnSpan_) << (8 * c);
        std::fill(out, out + target_.width, pixel);
        return;
    }
    // A column's sum of the whole rows and the partial ones, in the layout of the rows; a
    // uniform row adds the same to every column, so it goes into the pixels' sums at the end.
    if (!full16_.empty())
        weightedColumns(columnSums_.data(), full16_.data(), rowUnit_, edge_.data(), fullUsed_,
                        edgeUsed_, rowBytes_);
    else
        weightedColumns(columnSums_.data(), full32_.data(), rowUnit_, edge_.data(), fullUsed_,
                        edgeUsed_, rowBytes_);
    if (stride_ == 3)
        shrinkColumns<Sum, 3>(out);
    else
        shrinkColumns<Sum, 4>(out);
}

template <typename Sum, int Stride>
void AreaShrinker::shrinkColumns(std::uint32_t* out) const {
    const std::uint64_t total = std::uint64_t(rowSpan_) * columnSpan_;
    const std::uint64_t uniform[3] = {uniform_[0] * columnSpan_ + total / 2,
                                      uniform_[1] * columnSpan_ + total / 2,
                                      uniform_[2] * columnSpan_ + total / 2};
    const std::uint32_t* sums = columnSums_.data();
    for (std::int64_t j = 0; j < target_.width; ++j) {
        const Columns& k = columns_[std::size_t(j)];
        const std::uint32_t* from = sums + Stride * k.first;
        Sum middle[3] = {}, ends[3];
        for (int c = 0; c < 3; ++c)
            ends[c] = Sum(k.firstWeight) * from[c];
        for (std::int64_t m = 1; m <= k.middle; ++m)
            for (int c = 0; c < 3; ++c)
                middle[c] += from[Stride * m + c];
        if (k.lastWeight != 0)
            for (int c = 0; c < 3; ++c)
                ends[c] += Sum(k.lastWeight) * from[Stride * (k.middle + 1) + c];
        std::uint32_t pixel = 0xff000000u;
        for (int c = 0; c < 3; ++c)
            pixel |=
                std::uint32_t((std::uint64_t(ends[c] + Sum(columnUnit_) * middle[c]) + uniform[c]) /
                              total)
                << (8 * c);
        out[j] = pixel;
    }
}

QImage AreaShrinker::finish() {
    flush();
    return result_;
}

} // namespace planora::detail
