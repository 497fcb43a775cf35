#include "platform/picturefiles/AreaShrinker.h"

#include <algorithm>

namespace planora::detail {

namespace {

// Measured in units of 1/target of a source pixel, source pixel i spans [i * t, (i + 1) * t)
// and target pixel j spans [j * s, (j + 1) * s): all ends are whole numbers, and every target
// pixel gathers a weight of s. As t <= s, a source pixel reaches at most two target pixels.
struct Split {
    std::int64_t first;        // the target pixel where source pixel i begins
    std::uint64_t firstWeight; // its share of i; the rest, t - firstWeight, goes to first + 1
};

Split split(std::int64_t i, std::int64_t s, std::int64_t t) {
    const std::int64_t begin = i * t;
    const std::int64_t first = begin / s;
    const std::int64_t firstEnd = (first + 1) * s;
    return {first, std::uint64_t(std::min(t, firstEnd - begin))};
}

} // namespace

AreaShrinker::AreaShrinker(PixelSize source, PixelSize target)
    : source_(source), target_(target), shrunkRow_(std::size_t(3 * target.width)),
      result_(int(target.width), int(target.height), QImage::Format_RGB32) {
    for (PendingRow& p : pending_)
        p.sums.resize(std::size_t(3 * target.width));
}

void AreaShrinker::addRow(std::int64_t y, const std::uint32_t* pixels) {
    std::fill(shrunkRow_.begin(), shrunkRow_.end(), 0);
    const std::int64_t sw = source_.width, tw = target_.width;
    for (std::int64_t x = 0; x < sw; ++x) {
        const std::uint32_t p = pixels[x];
        const std::uint64_t rgb[3] = {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
        const Split s = split(x, sw, tw);
        std::uint64_t* first = &shrunkRow_[std::size_t(3 * s.first)];
        const std::uint64_t rest = std::uint64_t(tw) - s.firstWeight;
        for (int c = 0; c < 3; ++c) {
            first[c] += s.firstWeight * rgb[c];
            if (rest != 0)
                first[3 + c] += rest * rgb[c];
        }
    }

    const std::int64_t sh = source_.height, th = target_.height;
    const Split s = split(y, sh, th);
    const std::uint64_t rest = std::uint64_t(th) - s.firstWeight;
    const std::int64_t last = rest != 0 ? s.first + 1 : s.first;
    flushRowsOtherThan(s.first, last);
    for (std::int64_t row = s.first; row <= last; ++row) {
        const std::uint64_t weight = row == s.first ? s.firstWeight : rest;
        std::vector<std::uint64_t>& sums = pending(row).sums;
        for (std::size_t i = 0; i < sums.size(); ++i)
            sums[i] += weight * shrunkRow_[i];
    }
}

void AreaShrinker::flushRowsOtherThan(std::int64_t first, std::int64_t last) {
    if (result_.isNull())
        return;
    const std::uint64_t total = std::uint64_t(source_.width) * std::uint64_t(source_.height);
    for (PendingRow& p : pending_) {
        if (p.row < 0 || (p.row >= first && p.row <= last))
            continue;
        auto* out = reinterpret_cast<std::uint32_t*>(result_.scanLine(int(p.row)));
        for (std::int64_t x = 0; x < target_.width; ++x) {
            std::uint32_t pixel = 0xff000000u;
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t v = (p.sums[std::size_t(3 * x + c)] + total / 2) / total;
                pixel |= std::uint32_t(v) << (16 - 8 * c);
            }
            out[x] = pixel;
        }
        std::fill(p.sums.begin(), p.sums.end(), 0);
        p.row = -1;
    }
}

AreaShrinker::PendingRow& AreaShrinker::pending(std::int64_t row) {
    for (PendingRow& p : pending_)
        if (p.row == row)
            return p;
    for (PendingRow& p : pending_) {
        if (p.row < 0) {
            p.row = row;
            return p;
        }
    }
    return pending_[0]; // not reached: rows in order touch at most two target rows at once
}

QImage AreaShrinker::finish() {
    flushRowsOtherThan(-1, -1);
    return result_;
}

} // namespace planora::detail
