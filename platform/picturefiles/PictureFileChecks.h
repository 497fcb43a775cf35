#pragma once

// The checks a picture file passes before any decoder sees it: that it is a regular file, what
// its first bytes say it is, and that a JPEG holds all that it declares.

#include "platform/picturefiles/PictureReader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace planora::detail {

constexpr std::int64_t kMiB = 1024 * 1024;

// No picture that claims more is read: such a header is a lie or a picture nobody can show.
constexpr std::int64_t kMaxSide = 65535;
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;

// True for sides of 1 to kMaxSide pixels and at most kMaxPixels in all.
bool sidesAcceptable(std::int64_t width, std::int64_t height);

// The file, opened without blocking so that a FIFO or a device cannot stall us, and kept open
// while it is checked and decoded, so that what was checked is what the decoder reads.
class OpenFile {
public:
    explicit OpenFile(const std::string& path);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // False for anything but a regular file (a folder, a FIFO, a device) and a missing one.
    bool isRegular() const { return size_ >= 0; }
    int fd() const { return fd_; }
    std::int64_t size() const { return size_; }

    // Copies n bytes from offset; false when the file ends before them.
    bool read(std::int64_t offset, void* out, std::size_t n) const;

private:
    int fd_;
    std::int64_t size_ = -1;
};

enum class PictureKind { Bmp, Jpeg, Tiff };

// What the first bytes say the file is: "BM", FF D8 FF, or a TIFF's "II*\0" or "MM\0*"
// (BigTIFF: "II+\0" or "MM\0+"). The name says nothing.
std::optional<PictureKind> sniff(const OpenFile& file);

struct JpegFrame {
    PixelSize size;
    // Bytes of coefficients that the decoder holds for the whole picture when its scans come
    // one after the other (progressive, or a first scan that leaves out a component of the
    // frame); 0 when it decodes in rows.
    std::int64_t bufferBytes = 0;
};

// The work a JPEG's scans may cause, counted in 8 x 8 blocks that a scan goes through (each
// scan goes through every block of each component it names, whether its data says anything
// about them or not): at most kMaxScanPasses times the blocks of the whole frame, and at most
// kMaxScanBlocks in all. Ordinary progressive files go through each block a few times.
constexpr std::int64_t kMaxScanPasses = 64;
constexpr std::int64_t kMaxScanBlocks = std::int64_t(1) << 27;

// Walks the JPEG's segments and scans up to its end marker. Nothing for a file that ends
// before it (cut short: the decoder would invent the missing part), whose scans would cost
// more work than the bounds above allow, or that is no JPEG.
std::optional<JpegFrame> checkJpeg(const OpenFile& file);

} // namespace planora::detail
