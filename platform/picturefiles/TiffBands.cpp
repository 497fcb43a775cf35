#include "platform/picturefiles/TiffBands.h"

#include <algorithm>

namespace planora::detail {

namespace {

// A band's decoded pixels when one strip or tile row is taller than a band of the plan's
// size would be: larger strips are read in parts, larger tiles refused.
constexpr std::int64_t kMaxBandBytes = 16 * kMiB;
// The strips or tiles that the threads hold while they decode take about this much at most.
constexpr std::int64_t kBlockMemory = 32 * kMiB;
// What this machine gets through in well under a second: bytes out of the codecs (a small
// file may expand a thousandfold), and pixels converted and shrunk.
constexpr std::int64_t kMaxDecodedBytes = std::int64_t(1) << 30;
constexpr std::int64_t kMaxWorkPixels = std::int64_t(128) << 20;
// All that decoding one picture holds at once: the strips or tiles, the bands, the picture
// it makes (twice, when it is turned afterwards).
constexpr std::int64_t kMaxMemory = 96 * kMiB;
// Each strip or tile costs a read and a codec's start, and every handle holds its offset and
// byte count.
constexpr std::int64_t kMaxBlocks = std::int64_t(1) << 18;
constexpr std::int64_t kBlockTableBytes = 16;
// Below this many pixels a picture is decoded on one thread.
constexpr std::int64_t kThreadedPixels = std::int64_t(1) << 20;
// libtiff reads no directory of more tags, and keeps for each tag, beside its values, the
// entry as read and, for a tag it does not know, a description that it makes up.
constexpr std::uint64_t kMaxTags = 4096;
constexpr std::int64_t kTagBookkeeping = 256;

std::int64_t valueBytes(std::uint64_t type) {
    switch (type) {
    case TIFF_BYTE:
    case TIFF_ASCII:
    case TIFF_SBYTE:
    case TIFF_UNDEFINED:
        return 1;
    case TIFF_SHORT:
    case TIFF_SSHORT:
        return 2;
    case TIFF_LONG:
    case TIFF_SLONG:
    case TIFF_FLOAT:
    case TIFF_IFD:
        return 4;
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_DOUBLE:
    case TIFF_LONG8:
    case TIFF_SLONG8:
    case TIFF_IFD8:
        return 8;
    default:
        return 0; // libtiff passes over a tag of a type that it does not know
    }
}

} // namespace

std::optional<std::int64_t> tiffTagBytes(const OpenFile& file) {
    unsigned char header[16];
    if (!file.read(0, header, 8))
        return std::nullopt;
    const bool little = header[0] == 'I';
    auto number = [&](const unsigned char* p, int bytes) {
        std::uint64_t n = 0;
        for (int i = 0; i < bytes; ++i)
            n |= std::uint64_t(p[little ? i : bytes - 1 - i]) << (8 * i);
        return n;
    };
    // Classic TIFF counts in 32 bits, BigTIFF in 64.
    const bool big = number(header + 2, 2) == 43;
    if (big && !file.read(8, header + 8, 8))
        return std::nullopt;
    const std::uint64_t first = big ? number(header + 8, 8) : number(header + 4, 4);
    const int countBytes = big ? 8 : 2, wide = big ? 8 : 4, entryBytes = big ? 20 : 12;
    unsigned char countField[8];
    if (first > std::uint64_t(file.size()) ||
        !file.read(std::int64_t(first), countField, std::size_t(countBytes)))
        return std::nullopt;
    const std::uint64_t tags = number(countField, countBytes);
    if (tags == 0 || tags > kMaxTags)
        return std::nullopt;
    std::vector<unsigned char> entries(std::size_t(tags) * std::size_t(entryBytes));
    if (!file.read(std::int64_t(first) + countBytes, entries.data(), entries.size()))
        return std::nullopt;
    // No tag costs more than the file holds: libtiff reads none whose values would be larger.
    const auto fileSize = std::uint64_t(file.size());
    std::int64_t held = 0, largest = 0;
    for (std::size_t i = 0; i < tags; ++i) {
        const unsigned char* e = entries.data() + i * std::size_t(entryBytes);
        const std::uint64_t tag = number(e, 2);
        if (tag == TIFFTAG_STRIPOFFSETS || tag == TIFFTAG_STRIPBYTECOUNTS ||
            tag == TIFFTAG_TILEOFFSETS || tag == TIFFTAG_TILEBYTECOUNTS)
            continue;
        const std::int64_t size = valueBytes(number(e + 2, 2));
        const std::uint64_t count = std::min(number(e + 4, wide), fileSize);
        const auto bytes = std::int64_t(std::min(count * std::uint64_t(size), fileSize));
        held += bytes;
        largest = std::max(largest, bytes);
    }
    const std::int64_t total = held + largest + std::int64_t(tags) * kTagBookkeeping;
    if (total > kMaxMemory)
        return std::nullopt;
    return total;
}

std::optional<BandPlan> planBands(const TiffLayout& l, std::int64_t bandMemory, unsigned maxThreads,
                                  std::int64_t tagBytes) {
    const std::int64_t pixels = l.width * l.height;
    if (pixels > kMaxWorkPixels || l.blocks > kMaxBlocks)
        return std::nullopt;
    const std::int64_t rowPixelBytes = l.stride * 4;
    const std::int64_t blockRowBytes = rowPixelBytes * l.blockHeight;
    BandPlan plan;
    plan.width = l.width;
    plan.stride = l.stride;
    const std::int64_t blockBuffers = l.blockBytes * l.planes;
    plan.threads = pixels < kThreadedPixels
                       ? 1
                       : int(std::clamp<std::int64_t>(kBlockMemory / blockBuffers, 1,
                                                      std::max(1u, maxThreads)));

    std::int64_t decoded = 0;
    if (l.tiled) {
        if (blockRowBytes > kMaxBandBytes)
            return std::nullopt;
        const std::int64_t across = (l.width + l.blockWidth - 1) / l.blockWidth;
        const std::int64_t down = (l.height + l.blockHeight - 1) / l.blockHeight;
        decoded = across * down * l.blockBytes * l.planes;
        for (std::int64_t y = 0; y < l.height; y += l.blockHeight)
            plan.bands.push_back({y, std::min(l.blockHeight, l.height - y)});
    } else if (blockRowBytes <= kMaxBandBytes) {
        // Whole strips, as many as make a band of about the size that each slot may have.
        const std::int64_t perBand = bandMemory / (2 * plan.threads);
        const std::int64_t strips = std::max<std::int64_t>(1, perBand / blockRowBytes);
        const std::int64_t rows = strips * l.blockHeight;
        for (std::int64_t y = 0; y < l.height; y += rows)
            plan.bands.push_back({y, std::min(rows, l.height - y)});
        decoded = l.height * l.rowBytes * l.planes;
    } else {
        // Parts of a strip, each a whole number of subsampled rows.
        std::int64_t rows = kMaxBandBytes / rowPixelBytes;
        rows = std::max(l.verticalSubsampling, rows - rows % l.verticalSubsampling);
        for (std::int64_t strip = 0; strip < l.height; strip += l.blockHeight) {
            const std::int64_t end = std::min(l.height, strip + l.blockHeight);
            for (std::int64_t y = strip; y < end; y += rows) {
                const std::int64_t n = std::min(rows, end - y);
                plan.bands.push_back({y, n});
                decoded += (y + n - strip) * l.rowBytes * l.planes;
            }
        }
    }
    if (decoded > kMaxDecodedBytes)
        return std::nullopt;
    for (const Band& b : plan.bands)
        plan.bandBytes = std::max(plan.bandBytes, b.rows * rowPixelBytes);
    plan.threadBytes = l.blocks * kBlockTableBytes + tagBytes + blockBuffers;
    plan.bandMemory = bandMemory;
    return plan;
}

std::int64_t BandPlan::memoryOn(int n) const {
    return n * threadBytes + (n + queueOn(n)) * bandBytes;
}

bool BandPlan::fitInto(std::int64_t memoryBytes) {
    for (;; --threads) {
        queue = queueOn(threads);
        if (memoryOn(threads) <= memoryBytes)
            return true;
        if (threads == 1)
            return false;
    }
}

int BandPlan::queueOn(int n) const {
    return int(std::clamp<std::int64_t>(bandMemory / bandBytes, n, 2 * std::int64_t(n)));
}

LoadCost loadCost(const BandPlan& plan, const TiffLayout& layout) {
    return {.allowedBytes = kMaxMemory,
            .workingBytes = plan.memoryOn(1),
            .pictureCopies = layout.orientation == ORIENTATION_TOPLEFT ? 1 : 2};
}

} // namespace planora::detail
