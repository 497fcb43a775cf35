#include "platform/picturefiles/AreaShrinker.h"
#include "platform/picturefiles/BmpLayout.h"
#include "platform/picturefiles/OnWhite.h"
#include "platform/picturefiles/PictureDecoder.h"

#include <algorithm>
#include <array>

// The pixels go from the file into the shrinker a band of rows at a time, so that a picture
// of any size costs a band buffer, a few rows of sums and the reduced picture.

namespace planora::detail {

namespace {

constexpr std::int64_t kBandBytes = 512 * 1024;

// A channel of n bits brought to 8 by repeating its bits, the first eight bits of v v v ...:
// all ones become 255 and zero stays 0 at any width, and 8-bit channels stay as they are.
class ChannelReader {
public:
    explicit ChannelReader(BmpLayout::Channel c) : shift_(c.shift), width_(c.width) {
        if (width_ == 0 || width_ >= 8)
            return;
        for (std::uint32_t v = 0; v < (1u << width_); ++v) {
            std::uint32_t repeated = 0;
            int filled = 0;
            for (; filled < 8; filled += width_)
                repeated = repeated << width_ | v;
            table_[v] = std::uint8_t(repeated >> (filled - 8));
        }
    }
    bool present() const { return width_ != 0; }
    std::uint32_t operator()(std::uint32_t word) const {
        if (width_ >= 8)
            return (word >> (shift_ + width_ - 8)) & 0xff;
        return width_ == 0 ? 0 : table_[(word >> shift_) & ((1u << width_) - 1)];
    }

private:
    int shift_, width_;
    std::array<std::uint8_t, 128> table_{};
};

// The word of a 16- or 32-bit pixel as opaque 0xffRRGGBB; a missing alpha is opaque, and a
// partly transparent pixel lies on white.
class WordReader {
public:
    explicit WordReader(const BmpLayout& layout)
        : red_(layout.channels[0]), green_(layout.channels[1]), blue_(layout.channels[2]),
          alpha_(layout.channels[3]) {
        bytesOnly_ = true;
        for (int c = 0; c < 4; ++c) {
            shifts_[c] = layout.channels[std::size_t(c)].shift;
            bytesOnly_ = bytesOnly_ && layout.channels[std::size_t(c)].width == 8;
        }
    }

    std::uint32_t operator()(std::uint32_t word) const {
        std::uint32_t r = red_(word), g = green_(word), b = blue_(word);
        if (alpha_.present()) {
            const std::uint32_t a = alpha_(word);
            r = onWhite(r, a);
            g = onWhite(g, a);
            b = onWhite(b, a);
        }
        return 0xff000000u | r << 16 | g << 8 | b;
    }

    // Reads n words into out. Four channels of eight bits, the usual kind with alpha, take a
    // loop of their own: the costliest case among the pictures as large as we read.
    void readRow(const std::uint32_t* words, std::int64_t n, std::uint32_t* out) const {
        if (!bytesOnly_) {
            for (std::int64_t x = 0; x < n; ++x)
                out[x] = (*this)(words[x]);
            return;
        }
        const int rs = shifts_[0], gs = shifts_[1], bs = shifts_[2], as = shifts_[3];
        for (std::int64_t x = 0; x < n; ++x) {
            const std::uint32_t w = words[x], a = w >> as & 0xff;
            out[x] = 0xff000000u | onWhite(w >> rs & 0xff, a) << 16 |
                     onWhite(w >> gs & 0xff, a) << 8 | onWhite(w >> bs & 0xff, a);
        }
    }

private:
    ChannelReader red_, green_, blue_, alpha_;
    bool bytesOnly_;
    int shifts_[4];
};

// Codes fill each byte from its top bit down.
template <int Bits>
void lookUpCodes(const std::uint8_t* bytes, std::int64_t width,
                 const std::vector<std::uint32_t>& palette, std::uint32_t* out) {
    constexpr int perByte = 8 / Bits;
    constexpr std::uint32_t mask = (1u << Bits) - 1;
    for (std::int64_t x = 0; x < width; x += perByte) {
        const std::uint32_t byte = bytes[x / perByte];
        const int n = int(std::min<std::int64_t>(perByte, width - x));
        for (int i = 0; i < n; ++i)
            out[x + i] = palette[(byte >> (8 - Bits * (i + 1))) & mask];
    }
}

bool readPlainRows(const OpenFile& file, const BmpLayout& layout, AreaShrinker& shrinker) {
    const std::int64_t width = layout.size.width, height = layout.size.height;
    const std::int64_t bandRows = std::max<std::int64_t>(1, kBandBytes / layout.stride);
    // Words, so that a row of 32-bit pixels can be handed on as it is.
    std::vector<std::uint32_t> band(std::size_t(bandRows * layout.stride / 4));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width));
    std::vector<std::uint32_t> words16;
    const WordReader word(layout);
    if (layout.bits == 16) {
        words16.resize(std::size_t(1) << 16);
        for (std::uint32_t w = 0; w < words16.size(); ++w)
            words16[w] = word(w);
    }
    const int bits = layout.bits;

    for (std::int64_t first = 0; first < height; first += bandRows) {
        const std::int64_t rows = std::min(bandRows, height - first);
        if (!file.read(layout.dataStart + first * layout.stride, band.data(),
                       std::size_t(rows * layout.stride)))
            return false;
        for (std::int64_t i = 0; i < rows; ++i) {
            const std::int64_t stored = first + i;
            const std::int64_t y = layout.topDown ? stored : height - 1 - stored;
            const auto* bytes =
                reinterpret_cast<const std::uint8_t*>(band.data()) + i * layout.stride;
            if (bits == 24) {
                shrinker.addBgrRow(y, bytes);
                continue;
            }
            const auto* words = reinterpret_cast<const std::uint32_t*>(bytes);
            if (layout.plainBgrx) {
                shrinker.addRow(y, words);
                continue;
            }
            if (bits == 32) {
                word.readRow(words, width, pixels.data());
            } else if (bits == 16) {
                for (std::int64_t x = 0; x < width; ++x)
                    pixels[std::size_t(x)] = words16[bytes[2 * x] | bytes[2 * x + 1] << 8];
            } else if (bits == 8) {
                for (std::int64_t x = 0; x < width; ++x)
                    pixels[std::size_t(x)] = layout.palette[bytes[x]];
            } else if (bits == 4) {
                lookUpCodes<4>(bytes, width, layout.palette, pixels.data());
            } else if (bits == 2) {
                lookUpCodes<2>(bytes, width, layout.palette, pixels.data());
            } else {
                lookUpCodes<1>(bytes, width, layout.palette, pixels.data());
            }
            shrinker.addRow(y, pixels.data());
        }
    }
    return true;
}

// Run-length coded rows, bottom-up. Pixels that the coding skips (by a jump, the end of a line
// or of the bitmap) take the palette's first colour; a run beyond the right edge is cut there.
// False when the file ends before the bitmap does.
bool readRunLengthRows(BufferedReader& in, const BmpLayout& layout, AreaShrinker& shrinker) {
    const std::int64_t width = layout.size.width, height = layout.size.height;
    const bool fourBit = layout.coding == BmpLayout::Coding::Rle4;
    const std::uint32_t gap = layout.palette[0];
    std::vector<std::uint32_t> row(std::size_t(width), gap);
    bool touched = false;
    std::int64_t x = 0, stored = 0;
    auto put = [&](std::uint32_t code) {
        if (x < width) {
            row[std::size_t(x)] = layout.palette[code];
            touched = true;
            ++x;
        }
    };
    // Hands on the current row and starts the one above it.
    auto endRow = [&] {
        const std::int64_t y = height - 1 - stored;
        if (touched) {
            shrinker.addRow(y, row.data());
            std::fill(row.begin(), row.end(), gap);
            touched = false;
        } else {
            shrinker.addUniformRow(y, gap);
        }
        ++stored;
    };

    in.seek(layout.dataStart);
    while (stored < height) {
        const int count = in.next(), code = in.next();
        if (count < 0 || code < 0)
            return false;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(fourBit ? std::uint32_t(i % 2 == 0 ? code >> 4 : code & 15)
                            : std::uint32_t(code));
            continue;
        }
        switch (code) {
        case 0:
            endRow();
            x = 0;
            break;
        case 1:
            while (stored < height)
                endRow();
            break;
        case 2: {
            const int dx = in.next(), dy = in.next();
            if (dx < 0 || dy < 0)
                return false;
            x = std::min(width, x + dx);
            for (int i = 0; i < dy && stored < height; ++i)
                endRow();
            break;
        }
        default: {
            // Absolute mode: `code` pixels, padded to a whole number of 16-bit words.
            const int bytes = fourBit ? (code + 1) / 2 : code;
            int done = 0;
            for (int i = 0; i < bytes + (bytes & 1); ++i) {
                const int b = in.next();
                if (b < 0)
                    return false;
                for (const int value : {fourBit ? b >> 4 : b, b & 15}) {
                    if (done < code)
                        put(std::uint32_t(value));
                    ++done;
                    if (!fourBit)
                        break;
                }
            }
        }
        }
    }
    return true;
}

class BmpDecoder final : public PictureDecoder {
public:
    explicit BmpDecoder(BufferedReader& in) : in_(in) {}

    std::optional<PictureHeader> readHeader() override {
        layout_ = readBmpLayout(in_.file());
        if (!layout_)
            return std::nullopt;
        // A band of rows, a row of pixels and the colours of every 16-bit word.
        LoadCost cost;
        cost.workingBytes = std::max(kBandBytes, layout_->stride) + 4 * layout_->size.width +
                            (layout_->bits == 16 ? 4 << 16 : 0);
        return PictureHeader{.stored = layout_->size, .orientation = 1, .cost = cost};
    }

    QImage readRows(PixelSize target, std::int64_t) override {
        AreaShrinker shrinker(layout_->size, target);
        const bool complete = layout_->coding == BmpLayout::Coding::Plain
                                  ? readPlainRows(in_.file(), *layout_, shrinker)
                                  : readRunLengthRows(in_, *layout_, shrinker);
        if (!complete)
            return {};
        return shrinker.finish();
    }

private:
    BufferedReader& in_;
    std::optional<BmpLayout> layout_;
};

} // namespace

std::unique_ptr<PictureDecoder> bmpDecoder(BufferedReader& in) {
    return std::make_unique<BmpDecoder>(in);
}

} // namespace planora::detail
