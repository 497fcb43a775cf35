#include "core/Mapping.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace planora {

namespace {

constexpr int kSize = 300;

// The offsets are exact in 128 bits for every Int64 origin: |x - ox| and |y - (299 - oy)|
// stay below 2^64 + 600.
__extension__ typedef __int128 Wide;

// Rounds to the nearest Double. Within the Int64 range the conversion takes one instruction
// and rounds the same way.
double toDouble(Wide v) {
    constexpr Wide lo = std::numeric_limits<std::int64_t>::min();
    constexpr Wide hi = std::numeric_limits<std::int64_t>::max();
    return v >= lo && v <= hi ? double(std::int64_t(v)) : double(v);
}

// A run of columns [first, last) of one row.
struct Columns {
    int first = 0, last = 0;
    bool empty() const { return last <= first; }
};

// The first column in 0 .. kSize where pred holds, for a pred that stays true once it holds
// (taken as true at kSize). The search starts at hint and gallops outwards, so a hint that is
// right or close costs two or three tests; rows next to each other have their ends close by.
template <class Pred>
int firstWhere(Pred pred, int hint) {
    auto holds = [&](int x) { return x >= kSize || pred(x); };
    int lo, hi; // holds(hi), and lo < 0 or !holds(lo)
    hint = std::clamp(hint, 0, kSize);
    if (holds(hint)) {
        hi = hint;
        for (int step = 1;; step *= 2) {
            lo = hi - step;
            if (lo < 0 || !holds(lo))
                break;
            hi = lo;
        }
        lo = std::max(lo, -1);
    } else {
        lo = hint;
        for (int step = 1;; step *= 2) {
            hi = std::min(lo + step, kSize);
            if (holds(hi))
                break;
            lo = hi;
        }
    }
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (holds(mid))
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

// The columns whose coordinate s(x) lies strictly between -1 and 300, for an s that rises or
// falls monotonically along the row and is never NaN. hint holds the ends found for the row
// before and takes the new ones.
template <class S>
Columns insideColumns(S s, bool rising, Columns& hint) {
    // Mostly the row before has the same ends: one test on each side of each end shows it.
    auto inside = [&](int x) {
        if (x < 0 || x >= kSize)
            return false;
        const double v = s(x);
        return v > -1.0 && v < 300.0;
    };
    if (hint.first < hint.last && inside(hint.first) && inside(hint.last - 1) &&
        !inside(hint.first - 1) && !inside(hint.last))
        return hint;
    if (rising)
        hint = {firstWhere([&](int x) { return s(x) > -1.0; }, hint.first),
                firstWhere([&](int x) { return s(x) >= 300.0; }, hint.last)};
    else
        hint = {firstWhere([&](int x) { return s(x) < 300.0; }, hint.first),
                firstWhere([&](int x) { return s(x) <= -1.0; }, hint.last)};
    return hint;
}

// The terms of one row: u = (pu[x] + tu) + ou and v = (qv[x] + tv) + ov.
struct RowTerms {
    double tu, tv, ou, ov;
};

// The columns padded to whole steps of the widest vector loop.
constexpr int kStep = 8;
constexpr int kPadded = (kSize + kStep - 1) / kStep * kStep;

// The two coordinates of the pixels of one row of the loop.
//
// Along a row only dx changes, and the products with dx do not depend on the row, so they are
// formed once per mapping; what remains per pixel is one sum and one difference for each
// coordinate, in the order and with the rounding of the whole formula. A difference p - q is
// formed as p + (-q), which IEEE arithmetic defines to be the same operation:
//
//     u = (  m11*dx  + (-(m12*dy))) + ox
//     v = ((-(m21*dx)) +   m22*dy ) + (299 - oy)
//
// Every step of u is monotone in dx, and dx rises with x, so u rises along the row when
// m11 >= 0 and falls otherwise; v falls when m21 > 0. The columns whose coordinates are
// inside therefore form one run, and its ends, found with the exact coordinate, bound a loop
// that needs no test. NaN would break the order, but with m11 and m12*dy finite no step of u
// can give NaN; when either is not finite, no step of u gives a finite value and the whole row
// is outside. Likewise for v.
class RowCoordinates {
public:
    RowCoordinates(const Matrix2& m, std::int64_t ox, std::int64_t oy)
        : m_(m), originRow_(Wide(299) - oy) {
        terms_.ou = double(ox);
        terms_.ov = toDouble(originRow_);
        for (int x = 0; x < kSize; ++x) {
            const double dx = toDouble(Wide(x) - ox);
            pu_[x] = m.a11 * dx;
            qv_[x] = -(m.a21 * dx);
        }
    }

    void setRow(int y) {
        const double dy = toDouble(Wide(y) - originRow_);
        terms_.tu = -(m_.a12 * dy);
        terms_.tv = m_.a22 * dy;
    }

    double u(int x) const { return (pu_[x] + terms_.tu) + terms_.ou; }
    double v(int x) const { return (qv_[x] + terms_.tv) + terms_.ov; }

    // The columns of the current row where both coordinates are inside.
    Columns inside() {
        if (!std::isfinite(m_.a11) || !std::isfinite(terms_.tu) || !std::isfinite(m_.a21) ||
            !std::isfinite(terms_.tv))
            return {};
        const Columns cu = insideColumns([this](int x) { return u(x); }, m_.a11 >= 0, hintU_);
        const Columns cv = insideColumns([this](int x) { return v(x); }, m_.a21 <= 0, hintV_);
        return {std::max(cu.first, cv.first), std::min(cu.last, cv.last)};
    }

    const double* pu() const { return pu_.data(); }
    const double* qv() const { return qv_.data(); }
    const RowTerms& terms() const { return terms_; }

private:
    Matrix2 m_;
    Wide originRow_;
    RowTerms terms_{};
    // m11*dx and -(m21*dx) for each column, padded to whole vector steps with columns that
    // are never inside.
    alignas(64) std::array<double, kPadded> pu_{};
    alignas(64) std::array<double, kPadded> qv_{};
    Columns hintU_{0, kSize}, hintV_{0, kSize};
};

// The index loops: index[x] := trunc(u) + stride * trunc(v) for x in [from, to), both multiples
// of kStep within kPadded. Where the coordinates lie strictly between -1 and 300 they truncate
// into 0 .. 299, and the pair packed into 16-bit halves gives the index by one multiply-add
// with (1, stride); stride < 32768. Elsewhere the conversion gives the processor's stand-in
// value and the index is meaningless but harmless: callers read only inside columns. The
// variants differ only in how many lanes one instruction takes; the additions and conversions
// are the same IEEE operations on every lane.
//
// Each variant also has its loop over a run of columns, which alternates index loops and the
// caller's pixel loop in parts, so that the processor overlaps the arithmetic of one part with
// the memory traffic of the part before.
constexpr int kPart = 64;

enum class Lanes { One, Sse2, Avx2, Avx512 };

inline void indicesOne(const RowCoordinates& rc, Columns c, int stride, std::int32_t* index) {
    for (int x = c.first; x < c.last; ++x)
        index[x] = std::int32_t(rc.u(x)) + stride * std::int32_t(rc.v(x));
}

template <class Write>
void partsOne(const RowCoordinates& rc, int y, Columns run, int stride, std::int32_t* index,
              Write& write) {
    indicesOne(rc, run, stride, index);
    write(y, run, index);
}

#if defined(__x86_64__) && defined(__GNUC__)

// Every x86-64 processor has SSE2: two doubles a register.
inline void indicesSse2(const RowCoordinates& rc, int from, int to, int stride,
                        std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m128d tu = _mm_set1_pd(rc.terms().tu), tv = _mm_set1_pd(rc.terms().tv);
    const __m128d ou = _mm_set1_pd(rc.terms().ou), ov = _mm_set1_pd(rc.terms().ov);
    const __m128i weights = _mm_set1_epi32(stride << 16 | 1);
    for (int x = from; x < to; x += 4) {
        const __m128i u01 = _mm_cvttpd_epi32(_mm_add_pd(_mm_add_pd(_mm_load_pd(pu + x), tu), ou));
        const __m128i u23 =
            _mm_cvttpd_epi32(_mm_add_pd(_mm_add_pd(_mm_load_pd(pu + x + 2), tu), ou));
        const __m128i v01 = _mm_cvttpd_epi32(_mm_add_pd(_mm_add_pd(_mm_load_pd(qv + x), tv), ov));
        const __m128i v23 =
            _mm_cvttpd_epi32(_mm_add_pd(_mm_add_pd(_mm_load_pd(qv + x + 2), tv), ov));
        const __m128i u = _mm_unpacklo_epi64(u01, u23), v = _mm_unpacklo_epi64(v01, v23);
        const __m128i sums = _mm_madd_epi16(_mm_or_si128(u, _mm_slli_epi32(v, 16)), weights);
        _mm_store_si128(reinterpret_cast<__m128i*>(index + x), sums);
    }
}

__attribute__((target("avx2"))) inline void indicesAvx2(const RowCoordinates& rc, int from, int to,
                                                        int stride, std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m256d tu = _mm256_set1_pd(rc.terms().tu), tv = _mm256_set1_pd(rc.terms().tv);
    const __m256d ou = _mm256_set1_pd(rc.terms().ou), ov = _mm256_set1_pd(rc.terms().ov);
    const __m256i weights = _mm256_set1_epi32(stride << 16 | 1);
    for (int x = from; x < to; x += 8) {
        const __m128i u0 =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_add_pd(_mm256_load_pd(pu + x), tu), ou));
        const __m128i u1 =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_add_pd(_mm256_load_pd(pu + x + 4), tu), ou));
        const __m128i v0 =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_add_pd(_mm256_load_pd(qv + x), tv), ov));
        const __m128i v1 =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_add_pd(_mm256_load_pd(qv + x + 4), tv), ov));
        const __m256i u = _mm256_inserti128_si256(_mm256_castsi128_si256(u0), u1, 1);
        const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(v0), v1, 1);
        const __m256i sums =
            _mm256_madd_epi16(_mm256_or_si256(u, _mm256_slli_epi32(v, 16)), weights);
        _mm256_store_si256(reinterpret_cast<__m256i*>(index + x), sums);
    }
}

__attribute__((target("avx512f"))) inline void
indicesAvx512(const RowCoordinates& rc, int from, int to, int stride, std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m512d tu = _mm512_set1_pd(rc.terms().tu), tv = _mm512_set1_pd(rc.terms().tv);
    const __m512d ou = _mm512_set1_pd(rc.terms().ou), ov = _mm512_set1_pd(rc.terms().ov);
    const __m256i weights = _mm256_set1_epi32(stride << 16 | 1);
    for (int x = from; x < to; x += 8) {
        // The masked form of the conversion, with all eight lanes, is the plain one.
        const __m256i u = _mm512_maskz_cvttpd_epi32(
            0xFF, _mm512_add_pd(_mm512_add_pd(_mm512_load_pd(pu + x), tu), ou));
        const __m256i v = _mm512_maskz_cvttpd_epi32(
            0xFF, _mm512_add_pd(_mm512_add_pd(_mm512_load_pd(qv + x), tv), ov));
        const __m256i sums =
            _mm256_madd_epi16(_mm256_or_si256(u, _mm256_slli_epi32(v, 16)), weights);
        _mm256_store_si256(reinterpret_cast<__m256i*>(index + x), sums);
    }
}

int alignedDown(int x) {
    return x / kStep * kStep;
}
int alignedUp(int x) {
    return (x + kStep - 1) / kStep * kStep;
}

template <class Write>
void partsSse2(const RowCoordinates& rc, int y, Columns run, int stride, std::int32_t* index,
               Write& write) {
    for (int from = run.first; from < run.last; from += kPart) {
        const Columns part{from, std::min(from + kPart, run.last)};
        indicesSse2(rc, alignedDown(part.first), alignedUp(part.last), stride, index);
        write(y, part, index);
    }
}

template <class Write>
__attribute__((target("avx2"))) void partsAvx2(const RowCoordinates& rc, int y, Columns run,
                                               int stride, std::int32_t* index, Write& write) {
    for (int from = run.first; from < run.last; from += kPart) {
        const Columns part{from, std::min(from + kPart, run.last)};
        indicesAvx2(rc, alignedDown(part.first), alignedUp(part.last), stride, index);
        write(y, part, index);
    }
}

template <class Write>
__attribute__((target("avx512f"))) void partsAvx512(const RowCoordinates& rc, int y, Columns run,
                                                    int stride, std::int32_t* index, Write& write) {
    for (int from = run.first; from < run.last; from += kPart) {
        const Columns part{from, std::min(from + kPart, run.last)};
        indicesAvx512(rc, alignedDown(part.first), alignedUp(part.last), stride, index);
        write(y, part, index);
    }
}

Lanes widestLanes(int maxBits) {
    __builtin_cpu_init();
    if (maxBits >= 512 && __builtin_cpu_supports("avx512f"))
        return Lanes::Avx512;
    if (maxBits >= 256 && __builtin_cpu_supports("avx2"))
        return Lanes::Avx2;
    return Lanes::Sse2;
}

#else

// Elsewhere the coordinates are formed one pixel at a time.
Lanes widestLanes(int) {
    return Lanes::One;
}

#endif

Lanes& lanesInUse() {
    static Lanes lanes = widestLanes(512);
    return lanes;
}

// Runs write(y, columns, index) for the inside columns of each row y of the loop, with
// index[x] the partner's offset in a block of the given stride.
template <class Write>
void eachRow(const Matrix2& m, std::int64_t ox, std::int64_t oy, int stride, Write write) {
    RowCoordinates coords(m, ox, oy);
    alignas(64) std::array<std::int32_t, kPadded> index;
    const Lanes lanes = lanesInUse();
    for (int y = 0; y < kSize; ++y) {
        coords.setRow(y);
        const Columns c = coords.inside();
        if (c.empty())
            continue;
        switch (lanes) {
#if defined(__x86_64__) && defined(__GNUC__)
        case Lanes::Avx512:
            partsAvx512(coords, y, c, stride, index.data(), write);
            break;
        case Lanes::Avx2:
            partsAvx2(coords, y, c, stride, index.data(), write);
            break;
        case Lanes::Sse2:
            partsSse2(coords, y, c, stride, index.data(), write);
            break;
#endif
        default:
            partsOne(coords, y, c, stride, index.data(), write);
        }
    }
}

// The pixels of a picture as one block: its first row and the distance between rows, in
// words. A picture keeps its rows evenly spaced in one buffer; a block whose rows do not meet
// that at the second and the last row is refused.
struct Block {
    std::uint32_t* base;
    int stride;
};

void requireSize(const Picture& p) {
    if (p.Width() < kSize || p.Height() < kSize)
        throw OutOfBoundsException("The mapping needs pictures of 300 x 300 pixels");
}

template <class Row>
Block blockOf(Row row) {
    const std::ptrdiff_t stride = row(1) - row(0);
    if (stride < kSize || stride >= 32768 || row(kSize - 1) - row(0) != stride * (kSize - 1))
        throw RuntimeException("The mapping needs pictures with evenly spaced rows");
    return {const_cast<std::uint32_t*>(row(0)), int(stride)};
}

// The target's rows are taken first: a picture's rows may move once when it is first written.
Block writableBlock(Picture& p) {
    requireSize(p);
    return blockOf([&p](int y) { return p.row(y); });
}
Block readableBlock(const Picture& p) {
    requireSize(p);
    return blockOf([&p](int y) { return p.constRow(y); });
}

// Pictures are opaque: a written pixel takes the colour's channels with transparency 0.
constexpr std::uint32_t opaqueWord(Color c) {
    return Picture::wordFromColor(c & 0x00FFFFFFu);
}
constexpr std::uint32_t opaque(std::uint32_t word) {
    return opaqueWord(Picture::colorFromWord(word));
}
constexpr std::uint32_t channelAnd(std::uint32_t word1, std::uint32_t word2) {
    const Color c1 = Picture::colorFromWord(word1), c2 = Picture::colorFromWord(word2);
    return opaqueWord(RGB(Red(c2) & Red(c1), Green(c2) & Green(c1), Blue(c2) & Blue(c1), 0));
}

} // namespace

void limitVectorWidth(int bits) {
    lanesInUse() = widestLanes(bits);
}

Matrix2 inverseByReciprocal(const Matrix2& a) {
    const double det = a.a22 * a.a11 - a.a21 * a.a12;
    const double inv = 1.0 / det;
    return {a.a22 * inv, a.a12 * (-inv), a.a21 * (-inv), a.a11 * inv};
}

void mapForward(const Picture& source, Picture& target, const Matrix2& m, std::int64_t ox,
                std::int64_t oy) {
    const Block out = writableBlock(target);
    const Block in = readableBlock(source);
    eachRow(m, ox, oy, out.stride, [&](int y, Columns c, const std::int32_t* index) {
        const std::uint32_t* row = in.base + std::ptrdiff_t(y) * in.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            out.base[index[x]] = opaque(row[x]);
    });
}

void mapBackward(const Picture& source, Picture& target, const Matrix2& m, std::int64_t ox,
                 std::int64_t oy) {
    const Block out = writableBlock(target);
    const Block in = readableBlock(source);
    eachRow(m, ox, oy, in.stride, [&](int y, Columns c, const std::int32_t* index) {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            row[x] = opaque(in.base[index[x]]);
    });
}

void mapBackwardOverlay(const Picture& base, const Picture& overlay, Picture& target,
                        const Matrix2& m, std::int64_t ox, std::int64_t oy) {
    const Block out = writableBlock(target);
    const Block under = readableBlock(base);
    const Block top = readableBlock(overlay);
    eachRow(m, ox, oy, top.stride, [&](int y, Columns c, const std::int32_t* index) {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
        const std::uint32_t* below = under.base + std::ptrdiff_t(y) * under.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            row[x] = channelAnd(below[x], top.base[index[x]]);
    });
}

} // namespace planora
