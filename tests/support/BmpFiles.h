#pragma once

// Small BMP files for tests, written pixel by pixel (see bmpBytes), and pictures as text.

#include "support/PictureFiles.h"

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace planora::test {

using Rows = std::vector<std::string>;
using Codes = std::vector<std::vector<std::uint32_t>>;

// Each pixel as six hex digits, a row a line.
inline Rows hexRows(const Picture& p) {
    Rows rows;
    for (std::int64_t y = 0; y < p.Height(); ++y) {
        std::string row;
        for (std::int64_t x = 0; x < p.Width(); ++x) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%06x", p.constRow(y)[x] & 0xFFFFFFu);
            if (x != 0)
                row += ' ';
            row += hex;
        }
        rows.push_back(row);
    }
    return rows;
}

// Palette entries of four bytes (three for the OS/2 header): blue, green, red, 0.
inline std::string palette(const std::vector<std::uint32_t>& rgb, int entryBytes = 4) {
    std::string s;
    for (const std::uint32_t c : rgb) {
        s += char(c & 0xFF);
        s += char(c >> 8 & 0xFF);
        s += char(c >> 16 & 0xFF);
        if (entryBytes == 4)
            s += '\0';
    }
    return s;
}

inline std::vector<std::uint32_t> greys16() {
    std::vector<std::uint32_t> g;
    for (std::uint32_t i = 0; i < 16; ++i)
        g.push_back(0x111111u * i);
    return g;
}

inline BmpParts plain(int headerSize, int bits, std::int64_t width, std::int64_t height,
                      const Codes& stored, std::string pal = {}, std::uint32_t compression = 0,
                      std::vector<std::uint32_t> masks = {}) {
    BmpParts p;
    p.headerSize = headerSize;
    p.width = width;
    p.height = height;
    p.bits = bits;
    p.compression = compression;
    p.masks = std::move(masks);
    p.palette = std::move(pal);
    p.pixels = bmpRows(bits, stored);
    return p;
}

inline BmpParts runLength(int bits, std::int64_t width, std::int64_t height, std::string pal,
                          const std::string& data) {
    BmpParts p;
    p.width = width;
    p.height = height;
    p.bits = bits;
    p.compression = bits == 8 ? 1 : 2;
    p.palette = std::move(pal);
    p.pixels = data;
    return p;
}

inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s += char(v);
    return s;
}

inline std::string repeated(const std::string& piece, std::int64_t times) {
    std::string s;
    s.reserve(std::size_t(piece.size() * std::size_t(times)));
    for (std::int64_t i = 0; i < times; ++i)
        s += piece;
    return s;
}

} // namespace planora::test
