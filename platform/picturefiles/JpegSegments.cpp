#include "platform/picturefiles/JpegSegments.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace planora::detail {

namespace {

bool readBigEndian16(BufferedReader& in, std::int64_t& value) {
    const int hi = in.next(), lo = in.next();
    if (hi < 0 || lo < 0)
        return false;
    value = hi << 8 | lo;
    return true;
}

// A component of a JPEG's frame: its id, its sampling factors and the blocks it spans, padded
// to whole units of the largest sampling factors as the decoder keeps them.
struct JpegComponent {
    int id;
    std::int64_t h, v;
    std::int64_t blocks;
};

// Fills in each component's blocks; returns the blocks of all components together.
std::int64_t countJpegBlocks(PixelSize size, std::vector<JpegComponent>& components) {
    std::int64_t hMax = 1, vMax = 1;
    for (const JpegComponent& k : components) {
        hMax = std::max(hMax, k.h);
        vMax = std::max(vMax, k.v);
    }
    auto blocks = [](std::int64_t pixels, std::int64_t factor, std::int64_t max) {
        const std::int64_t samples = (pixels * factor + max - 1) / max;
        const std::int64_t n = (samples + 7) / 8;
        return (n + factor - 1) / factor * factor;
    };
    std::int64_t total = 0;
    for (JpegComponent& k : components) {
        k.blocks = blocks(size.width, k.h, hMax) * blocks(size.height, k.v, vMax);
        total += k.blocks;
    }
    return total;
}

struct JpegScan {
    std::int64_t components;
    std::int64_t blocks;
};

// Reads a scan's header after its length: the components it names, and the blocks the scan
// goes through, the sum of its components' blocks. Nothing when it names a component that the
// frame lacks, or none.
std::optional<JpegScan> readJpegScan(BufferedReader& c, const std::vector<JpegComponent>& frame) {
    const int count = c.next();
    if (count < 1)
        return std::nullopt;
    std::int64_t blocks = 0;
    for (int i = 0; i < count; ++i) {
        const int id = c.next();
        if (c.next() < 0)
            return std::nullopt;
        const auto k = std::find_if(frame.begin(), frame.end(),
                                    [id](const JpegComponent& f) { return f.id == id; });
        if (k == frame.end())
            return std::nullopt;
        blocks += k->blocks;
    }
    return JpegScan{count, blocks};
}

// Moves past a scan's entropy-coded data, which runs to the next marker that is neither a
// stuffed 0xFF nor a restart marker. False when the file ends before it.
bool skipEntropyCodedData(BufferedReader& c) {
    for (;;) {
        if (!c.skipTo(0xFF))
            return false;
        const std::int64_t at = c.pos();
        c.next();
        const int following = c.next();
        if (following < 0)
            return false;
        if (following == 0x00 || (following >= 0xD0 && following <= 0xD7))
            continue;
        c.seek(following == 0xFF ? at + 1 : at);
        if (following != 0xFF)
            return true;
    }
}

} // namespace

std::optional<JpegFrame> checkJpeg(BufferedReader& c) {
    const OpenFile& file = c.file();
    c.seek(2);
    std::optional<JpegFrame> frame;
    std::vector<JpegComponent> components;
    bool progressive = false, buffered = false;
    int scans = 0;
    std::int64_t frameBlocks = 0, scanBlocks = 0;
    for (;;) {
        // Like the decoder, skip stray bytes before a marker and fill bytes within it.
        if (!c.skipTo(0xFF))
            return std::nullopt;
        int marker = 0xFF;
        while (marker == 0xFF)
            marker = c.next();
        if (marker < 0)
            return std::nullopt;
        if (marker == 0xD9)
            break;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        std::int64_t length = 0;
        if (!readBigEndian16(c, length) || length < 2)
            return std::nullopt;
        const std::int64_t end = c.pos() + length - 2;
        if (end > file.size())
            return std::nullopt;
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame && !frame) {
            std::int64_t height = 0, width = 0;
            const int precision = c.next();
            if (precision < 0 || !readBigEndian16(c, height) || !readBigEndian16(c, width))
                return std::nullopt;
            const int count = c.next();
            if (count < 1 || width < 1 || height < 1)
                return std::nullopt;
            for (int i = 0; i < count; ++i) {
                const int id = c.next();
                const int sampling = c.next();
                c.next();
                if (sampling < 0 || (sampling >> 4) < 1 || (sampling & 15) < 1)
                    return std::nullopt;
                components.push_back({id, sampling >> 4, sampling & 15, 0});
            }
            frame = JpegFrame{{width, height}, 0};
            progressive = (marker & 3) == 2;
            frameBlocks = countJpegBlocks(frame->size, components);
        }
        if (marker == 0xDA) {
            if (!frame)
                return std::nullopt;
            const std::optional<JpegScan> scan = readJpegScan(c, components);
            if (!scan)
                return std::nullopt;
            // libjpeg holds the coefficients of the whole picture when the frame is progressive
            // or its first scan leaves out a component: the scans then come one after the
            // other, and the picture is whole only after the last.
            if (scans == 0)
                buffered = progressive || scan->components < std::ssize(components);
            scanBlocks += scan->blocks;
            if (scanBlocks > kMaxScanPasses * frameBlocks || scanBlocks > kMaxScanBlocks)
                return std::nullopt;
        }
        c.seek(end);
        if (marker != 0xDA)
            continue;
        ++scans;
        if (!skipEntropyCodedData(c))
            return std::nullopt;
    }
    if (!frame || scans == 0)
        return std::nullopt;
    if (buffered)
        frame->bufferBytes = frameBlocks * 64 * 2;
    return frame;
}

std::optional<int> exifOrientation(std::span<const std::uint8_t> app1) {
    const std::uint8_t* d = app1.data();
    const std::size_t n = app1.size();
    if (n < 14 || std::memcmp(d, "Exif\0\0", 6) != 0)
        return std::nullopt;
    const std::uint8_t* tiff = d + 6;
    const std::size_t size = n - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    const std::size_t directory = u32(4);
    if (directory > size - 2)
        return 1;
    const std::size_t entries = u16(directory);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = directory + 2 + 12 * i;
        if (at + 12 > size)
            return 1;
        if (u16(at) == 0x0112 && u16(at + 2) == 3) {
            const std::uint32_t value = u16(at + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

} // namespace planora::detail
