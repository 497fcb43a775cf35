#pragma once

// A picture file as the readers see it: the open file, its bytes read front to back through
// one buffer, what its first bytes say it is, and the sizes that we read at all.

#include "platform/picturefiles/PictureReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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
    std::int64_t size() const { return size_; }

    // Copies n bytes from offset; false when the file ends before them or a read fails.
    bool read(std::int64_t offset, void* out, std::size_t n) const noexcept;
    // Copies up to n bytes from offset, fewer where the file ends or a read fails; returns how
    // many.
    std::size_t readUpTo(std::int64_t offset, void* out, std::size_t n) const noexcept;

private:
    int fd_;
    std::int64_t size_ = -1;
};

// Reads a file front to back through a buffer. The decoders of one file share one, and read
// the file through it or, for reads of their own, through its file().
class BufferedReader {
public:
    explicit BufferedReader(const OpenFile& file, std::int64_t pos = 0)
        : file_(&file), start_(pos) {}
    BufferedReader(const BufferedReader&) = delete;
    BufferedReader& operator=(const BufferedReader&) = delete;

    const OpenFile& file() const { return *file_; }
    std::int64_t pos() const { return start_ + std::int64_t(at_); }
    void seek(std::int64_t pos);

    // The next byte, or -1 at the end of the file or when a read fails.
    int next() {
        if (at_ == length_ && !refill())
            return -1;
        return buffer_[at_++];
    }
    // Moves on to the next byte of the given value and returns true, or to the end of the file
    // (or where a read fails) and returns false.
    bool skipTo(std::uint8_t value);
    // The bytes from here to the end of the buffer, refilled first when it is used up, and
    // moves past them; empty at the end of the file or when a read fails.
    std::span<const std::uint8_t> nextBytes();

private:
    // Fills the buffer from pos() on; false when nothing could be read.
    bool refill();

    const OpenFile* file_;
    std::int64_t start_;     // where the buffer's first byte lies in the file
    std::size_t at_ = 0;     // the position, within the buffer
    std::size_t length_ = 0; // the bytes the buffer holds
    std::array<std::uint8_t, 64 * 1024> buffer_{};
};

enum class PictureKind { Bmp, Jpeg, Tiff };

// What the first bytes say the file is: "BM", FF D8 FF, or a TIFF's "II*\0" or "MM\0*"
// (BigTIFF: "II+\0" or "MM\0+"). The name says nothing.
std::optional<PictureKind> sniff(const OpenFile& file);

} // namespace planora::detail
