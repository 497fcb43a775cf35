#include "platform/picturefiles/ShrinkerLoops.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace planora::detail {

namespace {

// Target pixel j from the column sums: in 32 bits when the divider exists (all sums fit),
// otherwise in 64 bits with a true division.
template <typename Sum>
std::uint32_t shrunkPixel(const ColumnWork& w, const std::uint32_t* sums, std::int64_t j) {
    const std::uint32_t* from = sums + std::size_t(w.stride) * w.first[j];
    const std::uint32_t* weight =
        w.weights + 8 * std::size_t(w.taps) * std::size_t(j / 2) + 4 * std::size_t(j % 2);
    Sum s[3] = {};
    for (int k = 0; k < w.taps; ++k)
        for (int c = 0; c < 3; ++c)
            s[c] += Sum(weight[8 * k]) * from[w.stride * k + c];
    std::uint32_t pixel = 0xff000000u;
    for (int c = 0; c < 3; ++c) {
        const std::uint64_t n = std::uint64_t(s[c]) + w.offset[c];
        const std::uint64_t q = w.multiplier != 0 ? (n * w.multiplier) >> w.shift : n / w.total;
        pixel |= std::uint32_t(q) << (8 * c);
    }
    return pixel;
}

void plainColumns(const ColumnWork& w, const std::uint32_t* sums, std::uint32_t* out) {
    for (std::int64_t j = 0; j < w.width; ++j)
        out[j] = w.multiplier != 0 ? shrunkPixel<std::uint32_t>(w, sums, j)
                                   : shrunkPixel<std::uint64_t>(w, sums, j);
}

// The row loops, written once: the plain set and the AVX2 set below compile them each for
// their instruction set, and the compiler does them many bytes at a time.
//
// sums = bytes, or sums += bytes.
template <typename Sum>
[[gnu::always_inline]] inline void sumRow(Sum* sums, const std::uint8_t* bytes, std::size_t n,
                                          bool add) {
    if (add)
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = Sum(sums[i] + bytes[i]);
    else
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = bytes[i];
}

// sums = weight * bytes, or sums += weight * bytes.
[[gnu::always_inline]] inline void weighRow(std::uint32_t* sums, std::uint32_t weight,
                                            const std::uint8_t* bytes, std::size_t n, bool add) {
    if (add)
        for (std::size_t i = 0; i < n; ++i)
            sums[i] += weight * bytes[i];
    else
        for (std::size_t i = 0; i < n; ++i)
            sums[i] = weight * bytes[i];
}

// out = unit * full + edge, edge left out when null.
template <typename Full>
[[gnu::always_inline]] inline void combineRows(std::uint32_t* out, const Full* full,
                                               std::uint32_t unit, const std::uint32_t* edge,
                                               std::size_t n) {
    if (edge != nullptr)
        for (std::size_t i = 0; i < n; ++i)
            out[i] = unit * full[i] + edge[i];
    else
        for (std::size_t i = 0; i < n; ++i)
            out[i] = unit * full[i];
}

// A source row that ends one target row and begins the next.
template <typename Full>
[[gnu::always_inline]] inline void
splitRow(std::uint32_t* __restrict out, const Full* __restrict full, std::uint32_t unit,
         std::uint32_t* __restrict edge, bool edgeUsed, std::uint32_t now, std::uint32_t next,
         const std::uint8_t* __restrict bytes, std::size_t n) {
    if (full != nullptr && edgeUsed)
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = unit * full[i] + edge[i] + now * bytes[i];
            edge[i] = next * bytes[i];
        }
    else if (full != nullptr)
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = unit * full[i] + now * bytes[i];
            edge[i] = next * bytes[i];
        }
    else if (edgeUsed)
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = edge[i] + now * bytes[i];
            edge[i] = next * bytes[i];
        }
    else
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = now * bytes[i];
            edge[i] = next * bytes[i];
        }
}

template <typename Sum>
void plainSum(Sum* sums, const std::uint8_t* bytes, std::size_t n, bool add) {
    sumRow(sums, bytes, n, add);
}
void plainWeigh(std::uint32_t* sums, std::uint32_t weight, const std::uint8_t* bytes, std::size_t n,
                bool add) {
    weighRow(sums, weight, bytes, n, add);
}
template <typename Full>
void plainCombine(std::uint32_t* out, const Full* full, std::uint32_t unit,
                  const std::uint32_t* edge, std::size_t n) {
    combineRows(out, full, unit, edge, n);
}

template <typename Full>
void plainSplit(std::uint32_t* out, const Full* full, std::uint32_t unit, std::uint32_t* edge,
                bool edgeUsed, std::uint32_t now, std::uint32_t next, const std::uint8_t* bytes,
                std::size_t n) {
    splitRow(out, full, unit, edge, edgeUsed, now, next, bytes, n);
}

const ShrinkerLoops plainLoops = {plainSum<std::uint16_t>,
                                  plainSum<std::uint32_t>,
                                  plainWeigh,
                                  plainCombine<std::uint16_t>,
                                  plainCombine<std::uint32_t>,
                                  plainSplit<std::uint16_t>,
                                  plainSplit<std::uint32_t>,
                                  plainColumns};

#if defined(__x86_64__) && defined(__GNUC__)

template <typename Sum>
__attribute__((target("avx2"))) void avx2Sum(Sum* sums, const std::uint8_t* bytes, std::size_t n,
                                             bool add) {
    sumRow(sums, bytes, n, add);
}
__attribute__((target("avx2"))) void avx2Weigh(std::uint32_t* sums, std::uint32_t weight,
                                               const std::uint8_t* bytes, std::size_t n, bool add) {
    weighRow(sums, weight, bytes, n, add);
}
template <typename Full>
__attribute__((target("avx2"))) void avx2Combine(std::uint32_t* out, const Full* full,
                                                 std::uint32_t unit, const std::uint32_t* edge,
                                                 std::size_t n) {
    combineRows(out, full, unit, edge, n);
}

template <typename Full>
__attribute__((target("avx2"))) void avx2Split(std::uint32_t* out, const Full* full,
                                               std::uint32_t unit, std::uint32_t* edge,
                                               bool edgeUsed, std::uint32_t now, std::uint32_t next,
                                               const std::uint8_t* bytes, std::size_t n) {
    splitRow(out, full, unit, edge, edgeUsed, now, next, bytes, n);
}

// Target columns j and j + 1 at once: the channel sums of j in the lower four lanes, of j + 1
// in the upper four, each lane blue, green, red and a fourth that is never used. A tap's
// weights of the two columns lie in memory as the lanes take them. Taps is the number of taps
// when it is known as the code is compiled, 0 otherwise.
template <int Taps>
__attribute__((target("avx2"))) inline __m256i
pairSums(const ColumnWork& w, const std::uint32_t* sums, std::int64_t j, __m256i offset) {
    const int taps = Taps != 0 ? Taps : w.taps;
    const std::uint32_t* a = sums + std::size_t(w.stride) * w.first[j];
    const std::uint32_t* b = sums + std::size_t(w.stride) * w.first[j + 1];
    const std::uint32_t* weight = w.weights + 4 * std::size_t(taps) * std::size_t(j);
    __m256i acc = offset;
    for (int k = 0; k < taps; ++k, a += w.stride, b += w.stride) {
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
        const __m256i pair = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weight + 8 * k));
        acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(v, pair));
    }
    return acc;
}

// (n * multiplier) >> shift in every lane: the even lanes' products shifted down whole, the odd
// lanes' by 32 less, so that their quotients land in the upper halves.
__attribute__((target("avx2"))) inline __m256i quotients(__m256i n, __m256i multiplier,
                                                         __m128i shift, __m128i shiftUpper) {
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multiplier), shift);
    const __m256i odd =
        _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), multiplier), shiftUpper);
    return _mm256_blend_epi32(even, odd, 0xAA);
}

// Four target pixels a step; the last one to three as the plain code does them.
template <int Taps>
__attribute__((target("avx2"))) void avx2ColumnsOf(const ColumnWork& w, const std::uint32_t* sums,
                                                   std::uint32_t* out) {
    const auto o0 = int(w.offset[0]), o1 = int(w.offset[1]), o2 = int(w.offset[2]);
    const __m256i offset = _mm256_setr_epi32(o0, o1, o2, 0, o0, o1, o2, 0);
    const __m256i multiplier = _mm256_set1_epi64x(std::int64_t(w.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(w.shift);
    const __m128i shiftUpper = _mm_cvtsi32_si128(w.shift - 32);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 0, 4, 1, 5);
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    std::int64_t j = 0;
    for (; j + 4 <= w.width; j += 4) {
        const __m256i q01 =
            quotients(pairSums<Taps>(w, sums, j, offset), multiplier, shift, shiftUpper);
        const __m256i q23 =
            quotients(pairSums<Taps>(w, sums, j + 2, offset), multiplier, shift, shiftUpper);
        // Lanes of 16 bits, then bytes: pixels j, j + 2 in the lower half, j + 1, j + 3 in
        // the upper; the fourth channel, whatever it holds, is saturated and then set.
        const __m256i words = _mm256_packus_epi32(q01, q23);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                         _mm_or_si128(_mm256_castsi256_si128(bytes), opaque));
    }
    for (; j < w.width; ++j)
        out[j] = shrunkPixel<std::uint32_t>(w, sums, j);
}

// Rows whose sums need 64 bits go to the plain code. Two and three taps, all that shrinking
// by two or less needs (a photo decoded at a scale near the size it is shown at), are
// unrolled.
__attribute__((target("avx2"))) void avx2Columns(const ColumnWork& w, const std::uint32_t* sums,
                                                 std::uint32_t* out) {
    if (w.multiplier == 0)
        plainColumns(w, sums, out);
    else if (w.taps == 2)
        avx2ColumnsOf<2>(w, sums, out);
    else if (w.taps == 3)
        avx2ColumnsOf<3>(w, sums, out);
    else
        avx2ColumnsOf<0>(w, sums, out);
}

const ShrinkerLoops avx2Loops = {avx2Sum<std::uint16_t>,
                                 avx2Sum<std::uint32_t>,
                                 avx2Weigh,
                                 avx2Combine<std::uint16_t>,
                                 avx2Combine<std::uint32_t>,
                                 avx2Split<std::uint16_t>,
                                 avx2Split<std::uint32_t>,
                                 avx2Columns};

#endif

} // namespace

const ShrinkerLoops& shrinkerLoops([[maybe_unused]] int bits) {
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (bits >= 256 && __builtin_cpu_supports("avx2"))
        return avx2Loops;
#endif
    return plainLoops;
}

} // namespace planora::detail
