#include "support/PictureFiles.h"

#include "support/JpegBits.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace planora::test {

namespace {

void put16le(std::string& s, std::uint32_t v) {
    s += char(v & 0xFF);
    s += char(v >> 8 & 0xFF);
}
void put32le(std::string& s, std::uint32_t v) {
    put16le(s, v & 0xFFFF);
    put16le(s, v >> 16);
}

} // namespace

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Picture solidPicture(std::int64_t width, std::int64_t height, Color colour) {
    Picture p(width, height);
    p.graphics().ForeColor(colour);
    p.graphics().FillRect(0, 0, double(width), double(height));
    return p;
}

std::string blackJpeg(std::int64_t width, std::int64_t height) {
    std::string s = oneColourJpegStart('\xC0', width, height, 1);
    // AC: "0" ends the block.
    s += "\xFF\xC4";
    put16be(s, 20);
    s += '\x10';
    s += '\x01' + std::string(15, '\0');
    s += '\0';
    s += "\xFF\xDA";
    put16be(s, 8);
    s += std::string("\x01\x01\x00\x00\x3F\x00", 6);
    JpegBits bits;
    // Black is -128 after the level shift, a DC coefficient of -1024: category 11, coded as
    // the ones' complement 1023.
    bits.put(0b10, 2);
    bits.put(1023, 11);
    bits.put(0, 1);
    const std::int64_t blocks = (width + 7) / 8 * ((height + 7) / 8);
    for (std::int64_t i = 1; i < blocks; ++i)
        bits.put(0b00, 2);
    s += bits.finish();
    s += "\xFF\xD9";
    return s;
}

std::string withExifOrientation(const std::string& jpeg, int orientation) {
    std::string tiff = std::string("II*\0", 4);
    put32le(tiff, 8);
    put16le(tiff, 1);
    put16le(tiff, 0x0112);
    put16le(tiff, 3);
    put32le(tiff, 1);
    put16le(tiff, std::uint32_t(orientation));
    put16le(tiff, 0);
    put32le(tiff, 0);
    const std::string exif = std::string("Exif\0\0", 6) + tiff;
    std::string segment = "\xFF\xE1";
    put16be(segment, std::uint32_t(exif.size() + 2));
    return jpeg.substr(0, 2) + segment + exif + jpeg.substr(2);
}

std::string tiffBytes(std::int64_t width, std::int64_t height, bool alpha,
                      const std::function<std::uint32_t(std::int64_t, std::int64_t)>& argb,
                      int orientation) {
    const std::uint32_t samples = alpha ? 4 : 3;
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    const std::uint32_t entries = 10 + (alpha ? 1 : 0) + (orientation != 1 ? 1 : 0);
    const std::uint32_t bitsAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t dataAt = bitsAt + 2 * samples;
    const std::uint32_t dataSize = std::uint32_t(width * height) * samples;
    std::vector<Entry> dir = {
        {256, 4, 1, std::uint32_t(width)},
        {257, 4, 1, std::uint32_t(height)},
        {258, 3, samples, bitsAt},
        {259, 3, 1, 1},
        {262, 3, 1, 2},
        {273, 4, 1, dataAt},
        {277, 3, 1, samples},
        {278, 4, 1, std::uint32_t(height)},
        {279, 4, 1, dataSize},
        {284, 3, 1, 1},
    };
    if (orientation != 1)
        dir.insert(dir.begin() + 6, {274, 3, 1, std::uint32_t(orientation)});
    if (alpha)
        dir.push_back({338, 3, 1, 2});
    std::string s = std::string("II*\0", 4);
    put32le(s, 8);
    put16le(s, entries);
    for (const Entry& e : dir) {
        put16le(s, e.tag);
        put16le(s, e.type);
        put32le(s, e.count);
        if (e.type == 3 && e.count == 1) {
            put16le(s, e.value);
            put16le(s, 0);
        } else {
            put32le(s, e.value);
        }
    }
    put32le(s, 0);
    for (std::uint32_t i = 0; i < samples; ++i)
        put16le(s, 8);
    for (std::int64_t y = 0; y < height; ++y)
        for (std::int64_t x = 0; x < width; ++x) {
            const std::uint32_t v = argb(x, y);
            s += char(v >> 16 & 0xFF);
            s += char(v >> 8 & 0xFF);
            s += char(v & 0xFF);
            if (alpha)
                s += char(v >> 24 & 0xFF);
        }
    return s;
}

std::string rle8Bmp(std::int64_t width, std::int64_t height, const std::string& palette,
                    const std::string& data) {
    std::string pal = palette;
    pal.resize(256 * 4, '\0');
    const std::uint32_t offset = 14 + 40 + std::uint32_t(pal.size());
    std::string s = "BM";
    put32le(s, offset + std::uint32_t(data.size()));
    put32le(s, 0);
    put32le(s, offset);
    put32le(s, 40);
    put32le(s, std::uint32_t(width));
    put32le(s, std::uint32_t(height));
    put16le(s, 1);
    put16le(s, 8);
    put32le(s, 1);
    put32le(s, std::uint32_t(data.size()));
    put32le(s, 2835);
    put32le(s, 2835);
    put32le(s, 256);
    put32le(s, 0);
    return s + pal + data;
}

std::string bmpBytes(const BmpParts& parts) {
    std::string header;
    if (parts.headerSize == 12) {
        put16le(header, std::uint32_t(parts.width));
        put16le(header, std::uint32_t(parts.height));
        put16le(header, 1);
        put16le(header, std::uint32_t(parts.bits));
    } else {
        put32le(header, std::uint32_t(parts.width));
        put32le(header, std::uint32_t(parts.height));
        put16le(header, 1);
        put16le(header, std::uint32_t(parts.bits));
        put32le(header, parts.compression);
        put32le(header, std::uint32_t(parts.pixels.size()));
        put32le(header, 2835);
        put32le(header, 2835);
        put32le(header, parts.coloursUsed);
        put32le(header, 0);
        std::string masks;
        for (const std::uint32_t m : parts.masks)
            put32le(masks, m);
        if (parts.headerSize > 40) {
            masks.resize(std::size_t(parts.headerSize - 40), '\0');
            if (parts.headerSize >= 108)
                masks.replace(16, 4, "BGRs");
        }
        header += masks;
    }
    const std::uint32_t offset =
        14 + 4 + std::uint32_t(header.size()) + std::uint32_t(parts.palette.size());
    std::string s = "BM";
    put32le(s, offset + std::uint32_t(parts.pixels.size()));
    put32le(s, 0);
    put32le(s, offset);
    put32le(s, std::uint32_t(parts.headerSize));
    return s + header + parts.palette + parts.pixels;
}

std::string bmpRows(int bits, const std::vector<std::vector<std::uint32_t>>& rows) {
    std::string s;
    for (const std::vector<std::uint32_t>& row : rows) {
        std::string r;
        if (bits <= 8) {
            std::uint32_t byte = 0;
            int filled = 0;
            for (const std::uint32_t code : row) {
                byte = byte << bits | code;
                filled += bits;
                if (filled == 8) {
                    r += char(byte);
                    byte = 0;
                    filled = 0;
                }
            }
            if (filled != 0)
                r += char(byte << (8 - filled));
        } else {
            for (const std::uint32_t v : row) {
                put16le(r, v & 0xFFFF);
                if (bits == 24)
                    r += char(v >> 16 & 0xFF);
                if (bits == 32)
                    put16le(r, v >> 16);
            }
        }
        r.resize((r.size() + 3) / 4 * 4, '\0');
        s += r;
    }
    return s;
}

} // namespace planora::test
