#include "platform/PictureReader.h"

#include "platform/qt/QtSupport.h"

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace planora {

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
// No picture that claims more is read: such a header is a lie or a picture nobody can show.
constexpr std::int64_t kMaxSide = 65535;
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
// Memory that a decoder may take for a picture without further ado, and at most. Above the
// first, the file must hold at least one byte for every kMaxExpansion bytes of it, so a small
// file cannot make us allocate much by its header alone.
constexpr std::int64_t kFreeDecodeBytes = 64 * kMiB;
constexpr std::int64_t kMaxDecodeBytes = 256 * kMiB;
constexpr std::int64_t kMaxExpansion = 256;
// Without a box, a larger picture is kept at a reduced scale: 64 MiB of pixels at most, and
// no side beyond what a Picture may have.
constexpr std::int64_t kMaxKeptPixels = 16 * kMiB;
constexpr std::int64_t kMaxKeptSide = 32767;

enum class Kind { Bmp, Jpeg, Tiff };

// The file, opened without blocking so that a FIFO or a device cannot stall us, and kept open
// while it is checked and decoded, so that what we checked is what the decoder reads.
class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
            size_ = std::int64_t(st.st_size);
    }
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isRegular() const { return size_ >= 0; }
    int fd() const { return fd_; }
    std::int64_t size() const { return size_; }

    // Copies n bytes from offset; false when the file ends before them.
    bool read(std::int64_t offset, void* out, std::size_t n) const {
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

private:
    int fd_;
    std::int64_t size_ = -1;
};

// Reads a file front to back through a buffer.
class Cursor {
public:
    explicit Cursor(const OpenFile& file, std::int64_t pos = 0) : file_(file), pos_(pos) {}

    std::int64_t pos() const { return pos_; }
    void seek(std::int64_t pos) { pos_ = pos; }
    bool atEnd() const { return pos_ >= file_.size(); }

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

// What the first bytes say the file is. The name says nothing: a decoder is never chosen by
// content beyond these three, so no other decoder ever sees the file.
std::optional<Kind> sniff(const OpenFile& file) {
    unsigned char head[4] = {};
    if (!file.read(0, head, file.size() < 4 ? std::size_t(file.size()) : 4))
        return std::nullopt;
    if (file.size() >= 2 && head[0] == 'B' && head[1] == 'M')
        return Kind::Bmp;
    if (file.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return Kind::Jpeg;
    if (file.size() >= 4 &&
        ((std::memcmp(head, "II*\0", 4) == 0) || (std::memcmp(head, "MM\0*", 4) == 0)))
        return Kind::Tiff;
    return std::nullopt;
}

struct JpegFrame {
    PixelSize size;
    // Bytes of coefficients that the decoder holds for the whole picture when its scans come
    // one after the other (progressive, or one scan a component); 0 when it decodes in rows.
    std::int64_t bufferBytes = 0;
};

// Walks the JPEG's segments and scans up to its end marker. A file that ends before it is cut
// short and refused: the decoder would invent the missing part.
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

// Checks that the bitmap holds every pixel it declares. A decoder given a short file would
// leave the rest of the picture as whatever the memory held.
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

bool affordable(std::int64_t decodeBytes, std::int64_t fileBytes) {
    if (decodeBytes <= kFreeDecodeBytes)
        return true;
    return decodeBytes <= kMaxDecodeBytes && fileBytes >= decodeBytes / kMaxExpansion;
}

// The largest size of the same shape within the limits on kept pictures.
PixelSize keptSize(PixelSize p) {
    double factor = 1;
    const double pixels = double(p.width) * double(p.height);
    if (pixels > double(kMaxKeptPixels))
        factor = std::sqrt(double(kMaxKeptPixels) / pixels);
    factor = std::min(factor, double(kMaxKeptSide) / double(std::max(p.width, p.height)));
    if (factor >= 1)
        return p;
    return {std::max<std::int64_t>(1, std::int64_t(double(p.width) * factor)),
            std::max<std::int64_t>(1, std::int64_t(double(p.height) * factor))};
}

const char* formatName(Kind kind) {
    switch (kind) {
    case Kind::Bmp:
        return "bmp";
    case Kind::Jpeg:
        return "jpeg";
    case Kind::Tiff:
        return "tiff";
    }
    return "";
}

QSize toQSize(PixelSize s) {
    return QSize(int(s.width), int(s.height));
}

// A picture's pixels that its file does not set (the gaps a run-length coded bitmap may skip)
// take one fixed colour: white, or the first colour of a palette.
void fillWithFixedColour(QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        image.fill(0u);
        break;
    default:
        image.fill(Qt::white);
    }
}

// Halves: 2k for the multiple k/2 itself, 2k + 1 for the gap between k/2 and (k + 1)/2.
// Rounding noise far below any drawing precision counts as equal.
std::int64_t halfStep(double d) {
    const double twice = 2 * d;
    const double nearest = std::round(twice);
    if (std::abs(twice - nearest) < 1e-9)
        return 2 * std::int64_t(nearest);
    return 2 * std::int64_t(std::floor(twice)) + 1;
}

} // namespace

BoxFit fitIntoBox(PixelSize picture, PixelSize box) {
    const double w = double(picture.width), h = double(picture.height);
    const double bw = double(box.width), bh = double(box.height);
    const double s = std::max(1.0, std::max(w / bw, h / bh));
    BoxFit fit;
    fit.width = w / s;
    fit.height = h / s;
    fit.x = std::int64_t(std::trunc((bw - fit.width) / 2));
    fit.y = std::int64_t(std::trunc((bh - fit.height) / 2));
    return fit;
}

bool sameCoverage(const BoxFit& a, const BoxFit& b) {
    return a.x == b.x && a.y == b.y && halfStep(a.width) == halfStep(b.width) &&
           halfStep(a.height) == halfStep(b.height);
}

std::optional<PixelSize> reducedSizeFor(PixelSize picture, PixelSize box) {
    if (picture.width < 1 || picture.height < 1 || box.width < 1 || box.height < 1)
        return std::nullopt;
    const bool wide =
        double(picture.width) * double(box.height) >= double(picture.height) * double(box.width);
    const std::int64_t limiting = wide ? picture.width : picture.height;
    const std::int64_t other = wide ? picture.height : picture.width;
    const std::int64_t side = wide ? box.width : box.height;
    if (limiting <= 4 * side)
        return std::nullopt;
    // The shape cannot be kept exactly in fewer pixels; among the sizes near it, the first
    // that lands on the same pixels will do. Its edges then differ from the full size's by
    // less than half a pixel of the box.
    const BoxFit full = fitIntoBox(picture, box);
    for (std::int64_t l = 2 * side; l <= 4 * side; ++l) {
        const auto nearest =
            std::int64_t(std::llround(double(other) * double(l) / double(limiting)));
        for (const std::int64_t step : {0, -1, 1, -2, 2}) {
            const std::int64_t o = nearest + step;
            if (o < 1 || o > other)
                continue;
            const PixelSize candidate = wide ? PixelSize{l, o} : PixelSize{o, l};
            if (sameCoverage(full, fitIntoBox(candidate, box)))
                return candidate;
        }
    }
    return std::nullopt;
}

Picture readPictureFile(const std::string& path, std::optional<PixelSize> box) {
    const OpenFile file(path);
    if (!file.isRegular())
        return {};
    const std::optional<Kind> kind = sniff(file);
    if (!kind)
        return {};
    std::optional<JpegFrame> jpeg;
    if (*kind == Kind::Jpeg) {
        jpeg = checkJpeg(file);
        if (!jpeg)
            return {};
    } else if (*kind == Kind::Bmp && !checkBmp(file)) {
        return {};
    }

    QFile device;
    if (!device.open(file.fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QImageReader reader(&device, formatName(*kind));
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // Our own limits below decide; the toolkit's default would refuse an ordinary photo.
    reader.setAllocationLimit(int(kMaxDecodeBytes / kMiB));

    const QSize declared = reader.size();
    const PixelSize stored{declared.width(), declared.height()};
    if (!sidesAcceptable(stored.width, stored.height))
        return {};
    if (jpeg && jpeg->size != stored)
        return {};
    const QImage::Format format = reader.imageFormat();
    const std::int64_t decodeBytes =
        jpeg ? jpeg->bufferBytes
             : stored.width * stored.height *
                   std::max(4, QImage::toPixelFormat(format).bitsPerPixel() / 8);
    if (!affordable(decodeBytes, file.size()))
        return {};

    // The size as drawn, after the turn that the file asks for (a camera's orientation).
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const PixelSize drawn = turned ? PixelSize{stored.height, stored.width} : stored;
    std::optional<PixelSize> target;
    if (box)
        target = reducedSizeFor(drawn, *box);
    if (!target && keptSize(drawn) != drawn)
        target = keptSize(drawn);

    QImage image;
    if (jpeg) {
        // The decoder shrinks while it decodes; it takes the size before the turn.
        if (target)
            reader.setScaledSize(turned ? QSize(int(target->height), int(target->width))
                                        : toQSize(*target));
        if (!reader.read(&image))
            return {};
    } else {
        // The decoder writes into this picture when its size and layout agree, so no pixel is
        // left as the memory held it.
        if (format != QImage::Format_Invalid) {
            image = QImage(toQSize(stored), format);
            if (image.isNull())
                return {};
            fillWithFixedColour(image);
        }
        if (!reader.read(&image) || image.size() != toQSize(drawn))
            return {};
        if (target)
            image = image.scaled(toQSize(*target), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (image.size() != toQSize(target.value_or(drawn)))
        return {};
    return pictureFromImage(std::move(image));
}

} // namespace planora
