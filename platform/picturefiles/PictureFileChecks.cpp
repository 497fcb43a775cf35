#include "platform/picturefiles/PictureFileChecks.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace planora::detail {

namespace {

// Reads a file front to back through a buffer.
class Cursor {
public:
    explicit Cursor(const OpenFile& file, std::int64_t pos = 0) : file_(file), pos_(pos) {}

    std::int64_t pos() const { return pos_; }
    void seek(std::int64_t pos) { pos_ = pos; }

    // The next byte, or -1 at the end of the file.
    int next() {
        if (!fill())
            return -1;
        return buffer_[std::size_t(pos_++ - start_)];
    }
    // Moves on to the next 0xFF byte and returns true, or to the end and returns false.
    bool skipToFF() {
        while (fill()) {
            const auto* from = buffer_.data() + (pos_ - start_);
            const auto* found = static_cast<const unsigned char*>(
                std::memchr(from, 0xFF, std::size_t(start_ + length_ - pos_)));
            if (found != nullptr) {
                pos_ += found - from;
                return true;
            }
            pos_ = start_ + length_;
        }
        return false;
    }
    bool readBigEndian16(std::int64_t& value) {
        const int hi = next(), lo = next();
        if (hi < 0 || lo < 0)
            return false;
        value = hi << 8 | lo;
        return true;
    }

private:
    bool fill() {
        if (pos_ >= start_ && pos_ < start_ + length_)
            return true;
        if (pos_ >= file_.size())
            return false;
        start_ = pos_;
        length_ = std::min<std::int64_t>(std::int64_t(buffer_.size()), file_.size() - pos_);
        if (!file_.read(start_, buffer_.data(), std::size_t(length_))) {
            length_ = 0;
            return false;
        }
        return true;
    }

    const OpenFile& file_;
    std::int64_t pos_;
    std::int64_t start_ = 0, length_ = 0;
    std::array<unsigned char, 64 * 1024> buffer_{};
};

std::uint32_t le16(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

// Follows a run-length coded bitmap to its end. True when it reaches its end marker or its last
// row; false when the file ends before.
bool rleComplete(const OpenFile& file, std::int64_t offset, std::int64_t height, bool fourBit) {
    Cursor c(file, offset);
    std::int64_t y = 0;
    while (y < height) {
        const int count = c.next(), code = c.next();
        if (count < 0 || code < 0)
            return false;
        if (count > 0)
            continue;
        switch (code) {
        case 0:
            ++y;
            break;
        case 1:
            return true;
        case 2: {
            c.next();
            const int dy = c.next();
            if (dy < 0)
                return false;
            y += dy;
            break;
        }
        default: {
            std::int64_t bytes = fourBit ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            c.seek(c.pos() + bytes);
            if (c.pos() > file.size())
                return false;
        }
        }
    }
    return true;
}

} // namespace

OpenFile::OpenFile(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
        size_ = std::int64_t(st.st_size);
}

OpenFile::~OpenFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool OpenFile::read(std::int64_t offset, void* out, std::size_t n) const {
    auto* p = static_cast<unsigned char*>(out);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        offset += got;
        n -= std::size_t(got);
    }
    return true;
}

// A decoder is never chosen by content beyond these three, so no other decoder ever sees the
// file.
std::optional<PictureKind> sniff(const OpenFile& file) {
    unsigned char head[4] = {};
    if (!file.read(0, head, file.size() < 4 ? std::size_t(file.size()) : 4))
        return std::nullopt;
    if (file.size() >= 2 && head[0] == 'B' && head[1] == 'M')
        return PictureKind::Bmp;
    if (file.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return PictureKind::Jpeg;
    // Classic TIFF and BigTIFF, in either byte order.
    for (const char* magic : {"II*\0", "MM\0*", "II+\0", "MM\0+"})
        if (file.size() >= 4 && std::memcmp(head, magic, 4) == 0)
            return PictureKind::Tiff;
    return std::nullopt;
}

std::optional<JpegFrame> checkJpeg(const OpenFile& file) {
    Cursor c(file, 2);
    std::optional<JpegFrame> frame;
    struct Component {
        std::int64_t h, v;
    };
    std::vector<Component> components;
    bool progressive = false;
    int scans = 0;
    for (;;) {
        // Like the decoder, skip stray bytes before a marker and fill bytes within it.
        if (!c.skipToFF())
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
        if (!c.readBigEndian16(length) || length < 2)
            return std::nullopt;
        const std::int64_t end = c.pos() + length - 2;
        if (end > file.size())
            return std::nullopt;
        const bool startOfFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame && !frame) {
            std::int64_t height = 0, width = 0;
            const int precision = c.next();
            if (precision < 0 || !c.readBigEndian16(height) || !c.readBigEndian16(width))
                return std::nullopt;
            const int count = c.next();
            if (count < 1 || width < 1 || height < 1)
                return std::nullopt;
            for (int i = 0; i < count; ++i) {
                c.next();
                const int sampling = c.next();
                c.next();
                if (sampling < 0 || (sampling >> 4) < 1 || (sampling & 15) < 1)
                    return std::nullopt;
                components.push_back({sampling >> 4, sampling & 15});
            }
            frame = JpegFrame{{width, height}, 0};
            progressive = (marker & 3) == 2;
        }
        c.seek(end);
        if (marker != 0xDA)
            continue;
        if (!frame)
            return std::nullopt;
        ++scans;
        // The entropy-coded data runs to the next marker that is neither a stuffed 0xFF nor a
        // restart marker.
        for (;;) {
            if (!c.skipToFF())
                return std::nullopt;
            const std::int64_t at = c.pos();
            c.next();
            const int following = c.next();
            if (following < 0)
                return std::nullopt;
            if (following == 0x00 || (following >= 0xD0 && following <= 0xD7))
                continue;
            c.seek(following == 0xFF ? at + 1 : at);
            if (following != 0xFF)
                break;
        }
    }
    if (!frame || scans == 0)
        return std::nullopt;
    if (progressive || scans > 1) {
        std::int64_t hMax = 1, vMax = 1;
        for (const Component& k : components) {
            hMax = std::max(hMax, k.h);
            vMax = std::max(vMax, k.v);
        }
        auto blocks = [](std::int64_t pixels, std::int64_t factor, std::int64_t max) {
            const std::int64_t samples = (pixels * factor + max - 1) / max;
            const std::int64_t n = (samples + 7) / 8;
            return (n + factor - 1) / factor * factor;
        };
        for (const Component& k : components)
            frame->bufferBytes += blocks(frame->size.width, k.h, hMax) *
                                  blocks(frame->size.height, k.v, vMax) * 64 * 2;
    }
    return frame;
}

bool sidesAcceptable(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

bool checkBmp(const OpenFile& file) {
    unsigned char h[54] = {};
    if (file.size() < 26 || !file.read(0, h, std::size_t(std::min<std::int64_t>(54, file.size()))))
        return false;
    const std::int64_t dataOffset = le32(h + 10);
    const std::int64_t headerSize = le32(h + 14);
    std::int64_t width = 0, height = 0, bits = 0, compression = 0;
    if (headerSize == 12) {
        width = le16(h + 18);
        height = le16(h + 20);
        bits = le16(h + 24);
    } else if (headerSize >= 40 && file.size() >= 54) {
        width = std::int32_t(le32(h + 18));
        height = std::int32_t(le32(h + 22));
        bits = le16(h + 28);
        compression = le32(h + 30);
    } else {
        return false;
    }
    const bool topDown = height < 0;
    height = std::abs(height);
    if (!sidesAcceptable(width, height))
        return false;
    const std::int64_t dataStart = std::max(dataOffset, 14 + headerSize);
    switch (compression) {
    case 0:
    case 3: {
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return false;
        const std::int64_t stride = (width * bits + 31) / 32 * 4;
        return dataStart + stride * height <= file.size();
    }
    case 1:
    case 2:
        if (topDown || bits != (compression == 1 ? 8 : 4))
            return false;
        return rleComplete(file, dataStart, height, compression == 2);
    default:
        return false;
    }
}

} // namespace planora::detail
