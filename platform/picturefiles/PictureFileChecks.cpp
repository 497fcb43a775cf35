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
std::optional<JpegScan> readJpegScan(Cursor& c, const std::vector<JpegComponent>& frame) {
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
bool skipEntropyCodedData(Cursor& c) {
    for (;;) {
        if (!c.skipToFF())
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
    std::vector<JpegComponent> components;
    bool progressive = false, buffered = false;
    int scans = 0;
    std::int64_t frameBlocks = 0, scanBlocks = 0;
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

bool sidesAcceptable(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

} // namespace planora::detail
