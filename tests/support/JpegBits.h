#pragma once

// Writing the entropy-coded part of a JPEG bit by bit, for test files made byte by byte.

#include <cstdint>
#include <string>

namespace planora::test {

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
