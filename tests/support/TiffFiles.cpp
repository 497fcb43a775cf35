#include "support/TiffFiles.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace planora::test {

namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

void setTags(TIFF* t, const TiffSpec& s) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, s.planar);
    TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
    if (s.orientation != ORIENTATION_TOPLEFT)
        TIFFSetField(t, TIFFTAG_ORIENTATION, s.orientation);
    if (s.predictor != PREDICTOR_NONE)
        TIFFSetField(t, TIFFTAG_PREDICTOR, s.predictor);
    if (s.alpha >= 0) {
        const auto kind = std::uint16_t(s.alpha);
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    if (s.photometric == PHOTOMETRIC_SEPARATED)
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    if (!s.colormap.empty()) {
        const std::size_t n = s.colormap.size() / 3;
        TIFFSetField(t, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n,
                     s.colormap.data() + 2 * n);
    }
    if (s.compression == COMPRESSION_JPEG) {
        TIFFSetField(t, TIFFTAG_JPEGQUALITY, 95);
        if (s.photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (s.tileWidth != 0) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, s.tileWidth);
        TIFFSetField(t, TIFFTAG_TILELENGTH, s.tileHeight);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                     s.rowsPerStrip != 0 ? s.rowsPerStrip : TIFFDefaultStripSize(t, 0));
    }
}

// Packs n samples, most significant bits first, into bytes as TIFF rows hold them.
std::vector<unsigned char> pack(const std::vector<std::uint32_t>& values, int bits,
                                std::size_t bytes) {
    std::vector<unsigned char> out(bytes, 0);
    if (bits == 16) {
        for (std::size_t i = 0; i < values.size() && 2 * i + 1 < bytes; ++i) {
            const auto v = std::uint16_t(values[i]);
            std::memcpy(&out[2 * i], &v, 2); // libtiff swaps to the file's order
        }
        return out;
    }
    std::size_t bit = 0;
    for (const std::uint32_t v : values) {
        for (int b = bits - 1; b >= 0; --b, ++bit)
            if (v >> b & 1)
                out[bit / 8] |= std::uint8_t(0x80 >> (bit % 8));
    }
    return out;
}

} // namespace

bool writeTiff(const std::string& path, const TiffSpec& s, const SampleAt& sample) {
    const TiffHandle t(TIFFOpen(path.c_str(), s.mode));
    if (!t)
        return false;
    setTags(t.get(), s);
    const bool separate = s.planar == PLANARCONFIG_SEPARATE;
    const int planes = separate ? s.samples : 1;
    const int perPixel = separate ? 1 : s.samples;
    // One row of plane p from column x0, n pixels wide.
    auto row = [&](std::int64_t x0, std::int64_t y, std::int64_t n, int p, std::size_t bytes) {
        std::vector<std::uint32_t> values;
        for (std::int64_t x = x0; x < x0 + n; ++x)
            for (int k = 0; k < perPixel; ++k)
                values.push_back(x < s.width && y < s.height ? sample(x, y, separate ? p : k) : 0);
        return pack(values, s.bits, bytes);
    };
    if (s.tileWidth == 0) {
        const auto bytes = std::size_t(TIFFScanlineSize64(t.get()));
        for (int p = 0; p < planes; ++p)
            for (std::uint32_t y = 0; y < s.height; ++y) {
                std::vector<unsigned char> line = row(0, y, s.width, p, bytes);
                if (TIFFWriteScanline(t.get(), line.data(), y, std::uint16_t(p)) != 1)
                    return false;
            }
        return true;
    }
    const auto rowBytes = std::size_t(TIFFTileRowSize64(t.get()));
    for (int p = 0; p < planes; ++p)
        for (std::uint32_t ty = 0; ty < s.height; ty += s.tileHeight)
            for (std::uint32_t tx = 0; tx < s.width; tx += s.tileWidth) {
                std::vector<unsigned char> tile;
                for (std::uint32_t y = ty; y < ty + s.tileHeight; ++y) {
                    const std::vector<unsigned char> r = row(tx, y, s.tileWidth, p, rowBytes);
                    tile.insert(tile.end(), r.begin(), r.end());
                }
                if (TIFFWriteTile(t.get(), tile.data(), tx, ty, 0, std::uint16_t(p)) < 0)
                    return false;
            }
    return true;
}

bool writeRawTiff(const std::string& path, const TiffSpec& spec, std::uint32_t blocks,
                  const std::function<std::string(std::uint32_t)>& raw) {
    const TiffHandle t(TIFFOpen(path.c_str(), spec.mode));
    if (!t)
        return false;
    setTags(t.get(), spec);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        std::string bytes = raw(i);
        const auto n = tmsize_t(bytes.size());
        if ((spec.tileWidth != 0 ? TIFFWriteRawTile(t.get(), i, bytes.data(), n)
                                 : TIFFWriteRawStrip(t.get(), i, bytes.data(), n)) < 0)
            return false;
    }
    return true;
}

std::string compressedZeros(const std::string& scratchPath, const TiffSpec& spec) {
    TiffSpec one = spec;
    one.height = spec.rowsPerStrip;
    if (!writeTiff(scratchPath, one, [](auto, auto, int) { return 0u; }))
        return {};
    const TiffHandle t(TIFFOpen(scratchPath.c_str(), "r"));
    if (!t)
        return {};
    std::string bytes(std::size_t(TIFFGetStrileByteCount(t.get(), 0)), '\0');
    if (TIFFReadRawStrip(t.get(), 0, bytes.data(), tmsize_t(bytes.size())) < 0)
        return {};
    return bytes;
}

bool addTags(const std::string& path, const std::string& data, const std::vector<ExtraTag>& tags) {
    std::string file;
    {
        std::ifstream in(path, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto u16 = [&](std::size_t at) {
        return std::uint16_t(std::uint8_t(file[at]) | std::uint8_t(file[at + 1]) << 8);
    };
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(u16(at) | std::uint32_t(u16(at + 2)) << 16);
    };
    auto put32 = [](std::string& to, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            to[at + std::size_t(i)] = char(v >> (8 * i) & 0xff);
    };
    if (file.size() < 8 || file.compare(0, 4, "II*\0", 4) != 0)
        return false;
    const std::size_t ifd = u32(4);
    if (ifd + 2 > file.size())
        return false;
    const std::size_t entries = u16(ifd);
    if (entries + tags.size() > 65535 || ifd + 2 + 12 * entries > file.size())
        return false;
    // Entries of twelve bytes: tag, type, count, then the values or their offset.
    std::vector<std::string> directory;
    for (std::size_t i = 0; i < entries; ++i)
        directory.push_back(file.substr(ifd + 2 + 12 * i, 12));
    file.resize((file.size() + 1) / 2 * 2);
    const std::size_t dataAt = file.size();
    file += data;
    file.resize((file.size() + 1) / 2 * 2);
    for (const ExtraTag& t : tags) {
        static const std::uint32_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
        const std::uint64_t bytes = std::uint64_t(t.count) * (t.type < 14 ? sizes[t.type] : 8);
        std::string entry(12, '\0');
        entry[0] = char(t.tag & 0xff);
        entry[1] = char(t.tag >> 8);
        entry[2] = char(t.type & 0xff);
        put32(entry, 4, t.count);
        if (bytes <= 4)
            entry.replace(8, std::size_t(bytes), data, t.dataOffset, std::size_t(bytes));
        else
            put32(entry, 8, std::uint32_t(dataAt + t.dataOffset));
        directory.push_back(entry);
    }
    std::stable_sort(directory.begin(), directory.end(), [](const auto& a, const auto& b) {
        return std::uint16_t(std::uint8_t(a[0]) | std::uint8_t(a[1]) << 8) <
               std::uint16_t(std::uint8_t(b[0]) | std::uint8_t(b[1]) << 8);
    });
    put32(file, 4, std::uint32_t(file.size()));
    file += char(directory.size() & 0xff);
    file += char(directory.size() >> 8);
    for (const std::string& entry : directory)
        file += entry;
    file.append(4, '\0');
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data(), std::streamsize(file.size()));
    return bool(out);
}

} // namespace planora::test
