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

// The columns padded to whole steps of the widest vector loop, 16 columns.
constexpr int kPadded = (kSize + 15) / 16 * 16;

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

// The index loops: index[x] := trunc(u) + stride * trunc(v) for the columns c, whose ends are
// multiples of the loop's step within kPadded. Where the coordinates lie strictly between -1 and
// 300 they truncate into 0 .. 299, and with stride < 32768 the index is exact in 32 bits: SSE2 and
// AVX2 pack the pair into 16-bit halves and form it by one multiply-add with (1, stride), AVX-512
// multiplies and adds whole words. Elsewhere the conversion gives the processor's stand-in
// value and the index is meaningless but harmless (vector integer arithmetic wraps): callers
// read only inside columns. The variants differ only in how many lanes one instruction takes;
// the sums and conversions give the same IEEE results on every lane.
enum class Lanes { One, Sse2, Avx2, Avx512 };

inline void indicesOne(const RowCoordinates& rc, Columns c, int stride, std::int32_t* index) {
    for (int x = c.first; x < c.last; ++x)
        index[x] = std::int32_t(rc.u(x)) + stride * std::int32_t(rc.v(x));
}

#if defined(__x86_64__) && defined(__GNUC__)

// Every x86-64 processor has SSE2: two doubles a register.
inline void indicesSse2(const RowCoordinates& rc, Columns c, int stride, std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m128d tu = _mm_set1_pd(rc.terms().tu), tv = _mm_set1_pd(rc.terms().tv);
    const __m128d ou = _mm_set1_pd(rc.terms().ou), ov = _mm_set1_pd(rc.terms().ov);
    const __m128i weights = _mm_set1_epi32(stride << 16 | 1);
    for (int x = c.first; x < c.last; x += 4) {
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

__attribute__((target("avx2"))) inline void indicesAvx2(const RowCoordinates& rc, Columns c,
                                                        int stride, std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m256d tu = _mm256_set1_pd(rc.terms().tu), tv = _mm256_set1_pd(rc.terms().tv);
    const __m256d ou = _mm256_set1_pd(rc.terms().ou), ov = _mm256_set1_pd(rc.terms().ov);
    const __m256i weights = _mm256_set1_epi32(stride << 16 | 1);
    for (int x = c.first; x < c.last; x += 8) {
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

// trunc((p + t) + o) for the eight doubles from p. The first sum is formed as p * 1 + t, rounded
// once: p * 1 is p exactly, so this is the sum with the rounding of the addition (at most a NaN's
// payload may differ, which no conversion reads). It runs on the multiply units, beside the
// second sum and the conversion on the adding ones. The masked form of the conversion, with all
// eight lanes, is the plain one.
__attribute__((target("avx512f"))) inline __m256i truncatedSums(const double* p, __m512d t,
                                                                __m512d o) {
    const __m512d sum = _mm512_fmadd_pd(_mm512_load_pd(p), _mm512_set1_pd(1.0), t);
    return _mm512_maskz_cvttpd_epi32(0xFF, _mm512_add_pd(sum, o));
}

// The eight lanes of low, then the eight of high; the masked form with all lanes is again the
// plain one.
__attribute__((target("avx512f"))) inline __m512i joined(__m256i low, __m256i high) {
    return _mm512_maskz_inserti64x4(0xFF, _mm512_castsi256_si512(low), high, 1);
}

__attribute__((target("avx512f"))) inline void indicesAvx512(const RowCoordinates& rc, Columns c,
                                                             int stride, std::int32_t* index) {
    const double *pu = rc.pu(), *qv = rc.qv();
    const __m512d tu = _mm512_set1_pd(rc.terms().tu), tv = _mm512_set1_pd(rc.terms().tv);
    const __m512d ou = _mm512_set1_pd(rc.terms().ou), ov = _mm512_set1_pd(rc.terms().ov);
    const __m512i strides = _mm512_set1_epi32(stride);
    for (int x = c.first; x < c.last; x += 16) {
        const __m512i u = joined(truncatedSums(pu + x, tu, ou), truncatedSums(pu + x + 8, tu, ou));
        const __m512i v = joined(truncatedSums(qv + x, tv, ov), truncatedSums(qv + x + 8, tv, ov));
        _mm512_store_si512(index + x, _mm512_add_epi32(u, _mm512_mullo_epi32(v, strides)));
    }
}

// The columns widened to whole steps from a multiple of step.
template <int step>
Columns widened(Columns c) {
    return {c.first / step * step, (c.last + step - 1) / step * step};
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

// For the inside columns c of each row y of the loop, forms index[x], the partner's offset in
// a block of the given stride, and has move move the pixels: move.eightAtOnce(y, c, index) with
// AVX2 and wider, move.oneByOne otherwise. The loops that move eight pixels at once take a whole
// row's offsets, formed before: they would otherwise wait for offsets only just stored. With
// SSE2 the index loops and the pixel loop alternate in parts of kPart columns instead, so that
// the processor overlaps the arithmetic of one part with the memory traffic of the part before;
// on their paths each was measured the faster.
constexpr int kPart = 64;

template <class Move>
void eachRow(const Matrix2& m, std::int64_t ox, std::int64_t oy, int stride, const Move& move) {
    RowCoordinates coords(m, ox, oy);
    alignas(64) std::array<std::int32_t, kPadded> index;
    std::int32_t* const at = index.data();
    const Lanes lanes = lanesInUse();
    for (int y = 0; y < kSize; ++y) {
        coords.setRow(y);
        const Columns c = coords.inside();
        if (c.empty())
            continue;
        switch (lanes) {
#if defined(__x86_64__) && defined(__GNUC__)
        case Lanes::Avx512:
            indicesAvx512(coords, widened<16>(c), stride, at);
            move.eightAtOnce(y, c, at);
            break;
        case Lanes::Avx2:
            indicesAvx2(coords, widened<8>(c), stride, at);
            move.eightAtOnce(y, c, at);
            break;
        case Lanes::Sse2:
            for (int from = c.first; from < c.last; from += kPart) {
                const Columns part{from, std::min(from + kPart, c.last)};
                indicesSse2(coords, widened<4>(part), stride, at);
                move.oneByOne(y, part, at);
            }
            break;
#endif
        default:
            indicesOne(coords, c, stride, at);
            move.oneByOne(y, c, at);
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

// In a word, opaque sets the transparency byte and channelAnd keeps the common bits of the
// channels and sets that byte: both come down to OR-ing in kOpaque, as a vector register can.
constexpr std::uint32_t kOpaque = opaque(0);
static_assert(opaque(0x00ABCDEF) == (0x00ABCDEF | kOpaque) &&
              opaque(0x7FABCDEF) == (0x7FABCDEF | kOpaque));
static_assert(channelAnd(0x7F0FF0AB, 0x12FFCD3C) == ((0x7F0FF0AB & 0x12FFCD3C) | kOpaque));

#if defined(__x86_64__) && defined(__GNUC__)

// Eight words of from at the given offsets, fetched one by one into one register, so that they
// are made opaque and stored as one.
__attribute__((target("avx2"))) inline __m256i fetched(const std::uint32_t* from,
                                                       const std::int32_t* index) {
    auto word = [&](int i) { return int(from[index[i]]); };
    __m128i low = _mm_cvtsi32_si128(word(0)), high = _mm_cvtsi32_si128(word(4));
    low = _mm_insert_epi32(low, word(1), 1);
    high = _mm_insert_epi32(high, word(5), 1);
    low = _mm_insert_epi32(low, word(2), 2);
    high = _mm_insert_epi32(high, word(6), 2);
    low = _mm_insert_epi32(low, word(3), 3);
    high = _mm_insert_epi32(high, word(7), 3);
    return _mm256_setr_m128i(low, high);
}

#endif

// The pixel loops of the three mappings, for eachRow. With AVX2 each takes the words that lie
// side by side, in a row of the source or of the target, eight at a time in a register, and
// the last columns of a run one by one.
struct Forward {
    Block in, out;

    void oneByOne(int y, Columns c, const std::int32_t* index) const {
        const std::uint32_t* row = in.base + std::ptrdiff_t(y) * in.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            out.base[index[x]] = opaque(row[x]);
    }

#if defined(__x86_64__) && defined(__GNUC__)
    // The words are stored lane by lane in column order, so a later pixel still overwrites an
    // earlier one.
    __attribute__((target("avx2"))) void eightAtOnce(int y, Columns c,
                                                     const std::int32_t* index) const {
        const std::uint32_t* row = in.base + std::ptrdiff_t(y) * in.stride;
        std::uint32_t* to = out.base;
        const __m256i opaqueBits = _mm256_set1_epi32(int(kOpaque));
        int x = c.first;
        for (; x + 8 <= c.last; x += 8) {
            const __m256i words = _mm256_or_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)), opaqueBits);
            const __m128i low = _mm256_castsi256_si128(words);
            const __m128i high = _mm256_extracti128_si256(words, 1);
            to[index[x]] = std::uint32_t(_mm_cvtsi128_si32(low));
            to[index[x + 1]] = std::uint32_t(_mm_extract_epi32(low, 1));
            to[index[x + 2]] = std::uint32_t(_mm_extract_epi32(low, 2));
            to[index[x + 3]] = std::uint32_t(_mm_extract_epi32(low, 3));
            to[index[x + 4]] = std::uint32_t(_mm_cvtsi128_si32(high));
            to[index[x + 5]] = std::uint32_t(_mm_extract_epi32(high, 1));
            to[index[x + 6]] = std::uint32_t(_mm_extract_epi32(high, 2));
            to[index[x + 7]] = std::uint32_t(_mm_extract_epi32(high, 3));
        }
        oneByOne(y, {x, c.last}, index);
    }
#endif
};

struct Backward {
    Block in, out;

    void oneByOne(int y, Columns c, const std::int32_t* index) const {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            row[x] = opaque(in.base[index[x]]);
    }

#if defined(__x86_64__) && defined(__GNUC__)
    __attribute__((target("avx2"))) void eightAtOnce(int y, Columns c,
                                                     const std::int32_t* index) const {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
        const __m256i opaqueBits = _mm256_set1_epi32(int(kOpaque));
        int x = c.first;
        for (; x + 8 <= c.last; x += 8)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x),
                                _mm256_or_si256(fetched(in.base, index + x), opaqueBits));
        oneByOne(y, {x, c.last}, index);
    }
#endif
};

struct BackwardOverlay {
    Block under, top, out;

    void oneByOne(int y, Columns c, const std::int32_t* index) const {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
        const std::uint32_t* below = under.base + std::ptrdiff_t(y) * under.stride;
#pragma GCC unroll 8
        for (int x = c.first; x < c.last; ++x)
            row[x] = channelAnd(below[x], top.base[index[x]]);
    }

#if defined(__x86_64__) && defined(__GNUC__)
    __attribute__((target("avx2"))) void eightAtOnce(int y, Columns c,
                                                     const std::int32_t* index) const {
        std::uint32_t* row = out.base + std::ptrdiff_t(y) * out.stride;
        const std::uint32_t* below = under.base + std::ptrdiff_t(y) * under.stride;
        const __m256i opaqueBits = _mm256_set1_epi32(int(kOpaque));
        int x = c.first;
        for (; x + 8 <= c.last; x += 8) {
            const __m256i base = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + x));
            _mm256_storeu_si256(
                reinterpret_cast<__m256i*>(row + x),
                _mm256_or_si256(_mm256_and_si256(base, fetched(top.base, index + x)), opaqueBits));
        }
        oneByOne(y, {x, c.last}, index);
    }
#endif
};

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
    eachRow(m, ox, oy, out.stride, Forward{in, out});
}

void mapBackward(const Picture& source, Picture& target, const Matrix2& m, std::int64_t ox,
                 std::int64_t oy) {
    const Block out = writableBlock(target);
    const Block in = readableBlock(source);
    eachRow(m, ox, oy, in.stride, Backward{in, out});
}

void mapBackwardOverlay(const Picture& base, const Picture& overlay, Picture& target,
                        const Matrix2& m, std::int64_t ox, std::int64_t oy) {
    const Block out = writableBlock(target);
    const Block under = readableBlock(base);
    const Block top = readableBlock(overlay);
    eachRow(m, ox, oy, top.stride, BackwardOverlay{under, top, out});
}

} // namespace planora
