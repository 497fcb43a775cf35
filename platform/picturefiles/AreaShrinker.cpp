#include "platform/picturefiles/AreaShrinker.h"

#include "platform/picturefiles/ShrinkerLoops.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <numeric>

namespace planora::detail {

namespace {

static_assert(std::endian::native == std::endian::little,
              "0xffRRGGBB words are read as the bytes blue, green, red");

__extension__ typedef unsigned __int128 Wide;

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

// Division by d as a multiplication, for every n up to most: q = (n * multiplier) >> shift.
// With r = multiplier * d - 2^shift (0 <= r < d), n * multiplier / 2^shift = n / d +
// n * r / (d * 2^shift); while n * r < 2^shift, the second term stays below 1 / d and cannot
// carry the quotient past the next whole number. Both n and the multiplier fit in 32 bits, so
// that the vector code multiplies them in 64-bit lanes; the shift is 32 or more, so that it
// finds the quotient in a product's upper half. Nothing when no such pair exists.
struct Divider {
    std::uint64_t multiplier = 0;
    int shift = 0;
};

Divider dividerFor(std::uint64_t d, std::uint64_t most) {
    if (most > 0xFFFFFFFFu)
        return {};
    for (int shift = 32; shift < 64; ++shift) {
        const Wide power = Wide(1) << shift;
        const auto multiplier = std::uint64_t((power + d - 1) / d);
        if (multiplier > 0xFFFFFFFFu)
            break;
        const auto r = std::uint64_t(Wide(multiplier) * d - power);
        if (Wide(most) * r < power)
            return {multiplier, shift};
    }
    return {};
}

// Read by every shrinker made, on whatever thread reads a picture.
std::atomic<int>& vectorBits() {
    static std::atomic<int> bits = 512;
    return bits;
}

} // namespace

void AreaShrinker::limitVectorWidth(int bits) {
    vectorBits() = bits;
}

AreaShrinker::AreaShrinker(PixelSize source, PixelSize target)
    : source_(source), target_(target), loops_(&shrinkerLoops(vectorBits())),
      result_(int(target.width), int(target.height), QImage::Format_RGB32) {
    const std::int64_t gw = std::gcd(source.width, target.width);
    const std::int64_t gh = std::gcd(source.height, target.height);
    columnUnit_ = std::uint32_t(target.width / gw);
    columnSpan_ = std::uint32_t(source.width / gw);
    rowUnit_ = std::uint32_t(target.height / gh);
    rowSpan_ = std::uint32_t(source.height / gh);
    if (source_ == target_)
        return;
    first_.resize(std::size_t(target.width));
    for (std::int64_t j = 0; j < target.width; ++j) {
        const std::int64_t begin = j * columnSpan_;
        const std::int64_t last = (begin + columnSpan_ - 1) / columnUnit_;
        first_[std::size_t(j)] = std::uint32_t(begin / columnUnit_);
        taps_ = std::max(taps_, int(last - begin / columnUnit_ + 1));
    }
    // Pairs of columns: an odd last column has a partner of no weight.
    weights_.assign(8 * std::size_t(taps_) * std::size_t((target.width + 1) / 2), 0);
    for (std::int64_t j = 0; j < target.width; ++j) {
        const std::int64_t begin = j * columnSpan_, end = begin + columnSpan_;
        for (int k = 0; k < taps_; ++k) {
            const std::int64_t column = first_[std::size_t(j)] + k;
            const std::int64_t inside =
                std::min(end, (column + 1) * columnUnit_) - std::max(begin, column * columnUnit_);
            std::fill_n(&weights_[8 * (std::size_t(taps_) * std::size_t(j / 2) + std::size_t(k)) +
                                  4 * std::size_t(j % 2)],
                        4, std::uint32_t(std::max<std::int64_t>(0, inside)));
        }
    }
    const std::uint64_t total = std::uint64_t(rowSpan_) * columnSpan_;
    const Divider divider = dividerFor(total, 255 * total + total / 2);
    multiplier_ = divider.multiplier;
    shift_ = divider.shift;
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
        rowBytes_ = std::size_t(stride) * std::size_t(source_.width);
        // 16 bits hold the sum of up to 257 whole rows of bytes; a target row of a picture
        // shrunk less than 256 times holds no more.
        if (rowSpan_ / rowUnit_ < 256)
            full16_.resize(rowBytes_);
        else
            full32_.resize(rowBytes_);
        const std::size_t padded = std::size_t(stride) * std::size_t(source_.width + taps_ + 2);
        edge_.resize(padded);
        columnSums_.resize(padded);
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
    if (rest == 0) {
        addWeighted(s.first, s.firstWeight, bytes);
        return;
    }
    // The row ends one target row and begins the next; going up, the lower one is being
    // gathered.
    const bool up = targetRow_ == s.first + 1;
    startTargetRow(up ? s.first + 1 : s.first);
    if (!result_.isNull()) {
        const std::uint32_t now = up ? rest : s.firstWeight, next = up ? s.firstWeight : rest;
        std::uint32_t* sums = columnSums_.data();
        if (!full16_.empty())
            loops_->split16(sums, fullUsed_ ? full16_.data() : nullptr, rowUnit_, edge_.data(),
                            edgeUsed_, now, next, bytes, rowBytes_);
        else
            loops_->split32(sums, fullUsed_ ? full32_.data() : nullptr, rowUnit_, edge_.data(),
                            edgeUsed_, now, next, bytes, rowBytes_);
        shrinkRow(sums);
    }
    targetRow_ = up ? s.first : s.first + 1;
    fullUsed_ = false;
    edgeUsed_ = true;
    std::fill(std::begin(uniform_), std::end(uniform_), 0);
}

void AreaShrinker::addWeighted(std::int64_t targetRow, std::uint32_t weight,
                               const std::uint8_t* bytes) {
    startTargetRow(targetRow);
    if (weight == rowUnit_) {
        if (!full16_.empty())
            loops_->sum16(full16_.data(), bytes, rowBytes_, fullUsed_);
        else
            loops_->sum32(full32_.data(), bytes, rowBytes_, fullUsed_);
        fullUsed_ = true;
        return;
    }
    loops_->weigh(edge_.data(), weight, bytes, rowBytes_, edgeUsed_);
    edgeUsed_ = true;
}

void AreaShrinker::startTargetRow(std::int64_t targetRow) {
    if (targetRow == targetRow_)
        return;
    flush();
    targetRow_ = targetRow;
}

// A column's sum of the whole rows and the partial ones, in the layout of the rows: at most
// 255 * rowSpan_, which 32 bits hold for any picture that can be read. A uniform row adds the
// same to every column, so it goes into the pixels' sums at the end.
const std::uint32_t* AreaShrinker::columnSums() {
    if (!fullUsed_)
        return edge_.data();
    const std::uint32_t* edge = edgeUsed_ ? edge_.data() : nullptr;
    if (!full16_.empty())
        loops_->combine16(columnSums_.data(), full16_.data(), rowUnit_, edge, rowBytes_);
    else
        loops_->combine32(columnSums_.data(), full32_.data(), rowUnit_, edge, rowBytes_);
    return columnSums_.data();
}

void AreaShrinker::flush() {
    if (targetRow_ < 0)
        return;
    if (!result_.isNull()) {
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(targetRow_)));
        const std::uint64_t total = std::uint64_t(rowSpan_) * columnSpan_;
        if (!fullUsed_ && !edgeUsed_) {
            std::uint32_t pixel = 0xff000000u;
            for (int c = 0; c < 3; ++c)
                pixel |= std::uint32_t((uniform_[c] * columnSpan_ + total / 2) / total) << (8 * c);
            std::fill(out, out + target_.width, pixel);
        } else {
            shrinkRow(columnSums());
        }
    }
    targetRow_ = -1;
    fullUsed_ = edgeUsed_ = false;
    std::fill(std::begin(uniform_), std::end(uniform_), 0);
}

void AreaShrinker::shrinkRow(const std::uint32_t* sums) {
    auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(targetRow_)));
    const std::uint64_t total = std::uint64_t(rowSpan_) * columnSpan_;
    const ColumnWork work = {first_.data(),
                             weights_.data(),
                             taps_,
                             target_.width,
                             stride_,
                             total,
                             multiplier_,
                             shift_,
                             {uniform_[0] * columnSpan_ + total / 2,
                              uniform_[1] * columnSpan_ + total / 2,
                              uniform_[2] * columnSpan_ + total / 2}};
    loops_->columns(work, sums, out);
}

QImage AreaShrinker::finish() {
    flush();
    return result_;
}

} // namespace planora::detail
