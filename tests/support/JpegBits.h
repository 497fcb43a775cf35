#pragma once

// Pieces of JPEG files made byte by byte for tests: segments, and the entropy-coded data bit by
// bit.

#include <cstdint>
#include <string>

namespace planora::test {

inline void put16be(std::string& s, std::uint32_t v) {
    s += char(v >> 8 & 0xFF);
    s += char(v & 0xFF);
}

// A JPEG's start up to its first scan, for a picture of one colour: the start marker,
// quantisation by 1 everywhere (the DC coefficient is the block's mean, times 8), the frame
// of the given start-of-frame marker (0xC0 baseline, 0xC2 progressive) with components 1 to
// n, each sampled 1 x 1 with table 0, and the DC codes "0" for no change and "10" for a
// change of 11 bits.
inline std::string oneColourJpegStart(char frameMarker, std::int64_t width, std::int64_t height,
                                      int components) {
    std::string s = "\xFF\xD8";
    s += "\xFF\xDB";
    put16be(s, 67);
    s += '\0';
    s += std::string(64, '\1');
    s += '\xFF';
    s += frameMarker;
    put16be(s, std::uint32_t(8 + 3 * components));
    s += '\x08';
    put16be(s, std::uint32_t(height));
    put16be(s, std::uint32_t(width));
    s += char(components);
    for (int i = 0; i < components; ++i)
        s += std::string{char(i + 1), '\x11', '\0'};
    s += "\xFF\xC4";
    put16be(s, 21);
    s += '\0';
    s += std::string("\x01\x01", 2) + std::string(14, '\0');
    s += std::string("\x00\x0B", 2);
    return s;
}

// Entropy-coded bits, with the 0x00 that must follow every 0xFF byte; the last byte is filled
// with ones.
class JpegBits {
public:
    void put(std::uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = std::uint8_t(byte_ << 1 | (bits >> i & 1));
            if (++filled_ == 8)
                flush();
        }
    }
    // n zero bits, quickly.
    void zeros(std::int64_t n) {
        while (n > 0 && filled_ != 0) {
            put(0, 1);
            --n;
        }
        out_.append(std::size_t(n / 8), '\0');
        put(0, int(n % 8));
    }
    std::string finish() {
        while (filled_ != 0)
            put(1, 1);
        return std::move(out_);
    }

private:
    void flush() {
        out_ += char(byte_);
        if (byte_ == 0xFF)
            out_ += '\0';
        byte_ = 0;
        filled_ = 0;
    }
    std::string out_;
    std::uint8_t byte_ = 0;
    int filled_ = 0;
};

} // namespace planora::test
