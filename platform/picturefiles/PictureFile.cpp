#include "platform/picturefiles/PictureFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace planora::detail {

bool sidesAcceptable(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

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

bool OpenFile::read(std::int64_t offset, void* out, std::size_t n) const noexcept {
    return readUpTo(offset, out, n) == n;
}

std::size_t OpenFile::readUpTo(std::int64_t offset, void* out, std::size_t n) const noexcept {
    auto* p = static_cast<unsigned char*>(out);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, p + got, n - got, off_t(offset + std::int64_t(got)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += std::size_t(r);
    }
    return got;
}

void BufferedReader::seek(std::int64_t pos) {
    if (pos >= start_ && pos <= start_ + std::int64_t(length_)) {
        at_ = std::size_t(pos - start_);
        return;
    }
    start_ = pos;
    at_ = length_ = 0;
}

bool BufferedReader::refill() {
    start_ += std::int64_t(at_);
    at_ = length_ = 0;
    if (start_ >= file_->size())
        return false;
    const auto n =
        std::size_t(std::min<std::int64_t>(std::int64_t(buffer_.size()), file_->size() - start_));
    if (!file_->read(start_, buffer_.data(), n))
        return false;
    length_ = n;
    return true;
}

bool BufferedReader::skipTo(std::uint8_t value) {
    for (;;) {
        if (at_ == length_ && !refill())
            return false;
        const void* found = std::memchr(buffer_.data() + at_, value, length_ - at_);
        if (found != nullptr) {
            at_ = std::size_t(static_cast<const std::uint8_t*>(found) - buffer_.data());
            return true;
        }
        at_ = length_;
    }
}

std::span<const std::uint8_t> BufferedReader::nextBytes() {
    if (at_ == length_ && !refill())
        return {};
    const std::span<const std::uint8_t> bytes(buffer_.data() + at_, length_ - at_);
    at_ = length_;
    return bytes;
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

} // namespace planora::detail
