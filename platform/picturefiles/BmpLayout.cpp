#include "platform/picturefiles/BmpLayout.h"

#include <bit>

namespace planora::detail {

namespace {

constexpr std::int64_t kFileHeaderBytes = 14;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBits = 6 };

std::uint32_t le16(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

// A mask as a channel; nothing when its bits are not one run.
std::optional<BmpLayout::Channel> channelOf(std::uint32_t mask) {
    if (mask == 0)
        return BmpLayout::Channel{};
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    if (shift + width < 32 && (mask >> shift) != (std::uint32_t(1) << width) - 1)
        return std::nullopt;
    if (shift + width == 32 && (mask >> shift) != ~std::uint32_t(0) >> shift)
        return std::nullopt;
    return BmpLayout::Channel{shift, width};
}

bool readMasks(const unsigned char* masks, int count, BmpLayout& layout) {
    for (int c = 0; c < count; ++c) {
        const std::optional<BmpLayout::Channel> channel = channelOf(le32(masks + 4 * c));
        if (!channel)
            return false;
        layout.channels[std::size_t(c)] = *channel;
    }
    return true;
}

} // namespace

std::optional<BmpLayout> readBmpLayout(const OpenFile& file) {
    // The file header, the largest info header and the masks that may follow a short one.
    unsigned char h[kFileHeaderBytes + 124] = {};
    if (file.size() < kFileHeaderBytes + 4 || !file.read(0, h, kFileHeaderBytes + 4))
        return std::nullopt;
    const std::int64_t dataOffset = le32(h + 10);
    const std::int64_t headerSize = le32(h + 14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 64 &&
        headerSize != 108 && headerSize != 124)
        return std::nullopt;
    const std::int64_t headerEnd = kFileHeaderBytes + headerSize;
    if (file.size() < headerEnd || !file.read(0, h, std::size_t(headerEnd)))
        return std::nullopt;

    BmpLayout layout;
    std::int64_t width = 0, height = 0;
    std::uint32_t compression = kRgb, coloursUsed = 0;
    if (core) {
        width = le16(h + 18);
        height = le16(h + 20);
        layout.bits = int(le16(h + 24));
    } else {
        width = std::int32_t(le32(h + 18));
        height = std::int32_t(le32(h + 22));
        layout.bits = int(le16(h + 28));
        compression = le32(h + 30);
        coloursUsed = le32(h + 46);
    }
    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (!sidesAcceptable(width, height))
        return std::nullopt;
    layout.size = {width, height};

    // The masks of bit fields lie right after a 40-byte header, or inside a longer one at the
    // same place; the OS/2 2.x header gives those compression codes other meanings.
    std::int64_t paletteStart = headerEnd;
    const int bits = layout.bits;
    switch (compression) {
    case kRgb:
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
            bits != 32)
            return std::nullopt;
        if (bits == 16)
            layout.channels = {{{10, 5}, {5, 5}, {0, 5}, {}}};
        if (bits == 32)
            layout.channels = {{{16, 8}, {8, 8}, {0, 8}, {}}};
        break;
    case kRle8:
    case kRle4:
        if (layout.topDown || bits != (compression == kRle8 ? 8 : 4))
            return std::nullopt;
        layout.coding = compression == kRle8 ? BmpLayout::Coding::Rle8 : BmpLayout::Coding::Rle4;
        break;
    case kBitFields:
    case kAlphaBits: {
        if (headerSize == 64 || (bits != 16 && bits != 32))
            return std::nullopt;
        const int inHeader = headerSize >= 56 ? 4 : headerSize == 52 ? 3 : 0;
        const int count = compression == kAlphaBits ? 4 : std::max(3, inHeader);
        if (inHeader < count) {
            paletteStart = headerEnd + 4 * (count - inHeader);
            if (file.size() < paletteStart ||
                !file.read(headerEnd, h + headerEnd, std::size_t(paletteStart - headerEnd)))
                return std::nullopt;
        }
        if (!readMasks(h + kFileHeaderBytes + 40, count, layout))
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    layout.plainBgrx = bits == 32 && layout.channels[0].shift == 16 &&
                       layout.channels[0].width == 8 && layout.channels[1].shift == 8 &&
                       layout.channels[1].width == 8 && layout.channels[2].shift == 0 &&
                       layout.channels[2].width == 8 && layout.channels[3].width == 0;

    layout.dataStart = dataOffset;
    if (bits <= 8) {
        const std::int64_t entryBytes = core ? 3 : 4;
        const std::int64_t codes = std::int64_t(1) << bits;
        std::int64_t listed = coloursUsed == 0 || coloursUsed > codes ? codes : coloursUsed;
        // Writers that leave out unused colours without saying so still put the pixels after
        // the palette they wrote; a data offset inside the headers says nothing of its size.
        if (dataOffset >= paletteStart)
            listed = std::min(listed, (dataOffset - paletteStart) / entryBytes);
        else
            layout.dataStart = paletteStart + listed * entryBytes;
        if (listed == 0)
            return std::nullopt;
        std::vector<unsigned char> entries(std::size_t(listed * entryBytes));
        if (!file.read(paletteStart, entries.data(), entries.size()))
            return std::nullopt;
        layout.palette.resize(std::size_t(codes));
        for (std::int64_t i = 0; i < codes; ++i) {
            const unsigned char* e = entries.data() + (i < listed ? i : 0) * entryBytes;
            layout.palette[std::size_t(i)] =
                0xff000000u | std::uint32_t(e[2]) << 16 | std::uint32_t(e[1]) << 8 | e[0];
        }
    } else if (dataOffset < paletteStart) {
        layout.dataStart = paletteStart;
    }

    if (layout.coding == BmpLayout::Coding::Plain) {
        layout.stride = (width * bits + 31) / 32 * 4;
        if (layout.dataStart + layout.stride * height > file.size())
            return std::nullopt;
    }
    return layout;
}

} // namespace planora::detail
