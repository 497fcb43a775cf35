#pragma once

// JPEG files written by libjpeg itself, as cameras and photo editors write them, for tests of
// reading: the kinds of colour a JPEG may hold, and progressive files with libjpeg's own
// sequence of scans.

#include "platform/Picture.h"

#include <cstdint>
#include <string>

namespace planora::test {

enum class JpegColours {
    YCbCr,    // the usual: luminance and colour, the colour at half resolution each way
    ExactRgb, // red, green and blue at full resolution and quality 100: every pixel comes
              // back exactly
    Grey,     // the green channel only
    Cmyk,     // inverted CMYK with an Adobe marker, as photo editors write it: red, green and
              // blue of each pixel stored as its C, M and Y, with K at 255 (no black)
};

struct JpegLayout {
    JpegColours colours = JpegColours::YCbCr;
    int quality = 90;
    bool progressive = false; // with libjpeg's default sequence of scans
};

// The picture as a JPEG file of the given layout.
std::string jpegBytes(const Picture& picture, const JpegLayout& layout = {});

// A progressive JPEG, all black, of any size up to 65535 x 65535, with one component (grey) or
// three at full resolution each: one scan of the DC coefficients, a bit a block, so even a
// huge one is small and quick to make.
std::string blackProgressiveJpeg(std::int64_t width, std::int64_t height, int components);

// A baseline JPEG of any size up to 65500 x 65500 with 1 to 4 components, each sampled 1 x 1,
// whose one scan names the first `named` of them and holds no data, so that libjpeg decodes
// one flat colour. When the scan leaves out a component, libjpeg holds the coefficients of the
// whole picture, as for a progressive file.
std::string sequentialJpeg(std::int64_t width, std::int64_t height, int components, int named);

// The JPEG with comment segments after its start marker, so that it is at least `size` bytes.
std::string paddedTo(const std::string& jpeg, std::size_t size);

// The JPEG with its end marker replaced by `count` more scans that hold no data, each going
// over every component's DC coefficients once more; then the end marker.
std::string withEmptyScans(const std::string& jpeg, int count);

} // namespace planora::test
