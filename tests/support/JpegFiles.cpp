#include "support/JpegFiles.h"

#include "support/JpegBits.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <stdexcept>
#include <vector>

namespace planora::test {

std::string jpegBytes(const Picture& picture, const JpegLayout& layout) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);

    const bool grey = layout.colours == JpegColours::Grey;
    const bool cmyk = layout.colours == JpegColours::Cmyk;
    info.image_width = JDIMENSION(picture.Width());
    info.image_height = JDIMENSION(picture.Height());
    info.input_components = grey ? 1 : cmyk ? 4 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (layout.colours == JpegColours::ExactRgb) {
        jpeg_set_colorspace(&info, JCS_RGB);
        for (int i = 0; i < info.num_components; ++i)
            info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    }
    jpeg_set_quality(&info, layout.colours == JpegColours::ExactRgb ? 100 : layout.quality, TRUE);
    if (layout.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);

    std::vector<JSAMPLE> row(std::size_t(picture.Width() * info.input_components));
    for (std::int64_t y = 0; y < picture.Height(); ++y) {
        const std::uint32_t* pixels = picture.constRow(y);
        JSAMPLE* out = row.data();
        for (std::int64_t x = 0; x < picture.Width(); ++x) {
            const std::uint32_t p = pixels[x];
            const JSAMPLE r = JSAMPLE(p >> 16), g = JSAMPLE(p >> 8), b = JSAMPLE(p);
            if (grey) {
                *out++ = g;
            } else {
                *out++ = r;
                *out++ = g;
                *out++ = b;
                if (cmyk)
                    *out++ = 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

namespace {

// The header of a scan over the components of the given ids, each with table 0, that goes
// over the coefficients 0 to last of each block.
std::string scanHeader(const std::string& ids, int last) {
    std::string s = "\xFF\xDA";
    put16be(s, std::uint32_t(6 + 2 * ids.size()));
    s += char(ids.size());
    for (const char id : ids)
        s += std::string{id, '\0'};
    return s + std::string{'\0', char(last), '\0'};
}

// The ids 1 to n that oneColourJpegStart gives its components.
std::string firstIds(int n) {
    std::string ids;
    for (int i = 1; i <= n; ++i)
        ids += char(i);
    return ids;
}

} // namespace

std::string blackProgressiveJpeg(std::int64_t width, std::int64_t height, int components) {
    std::string s = oneColourJpegStart('\xC2', width, height, components);
    s += scanHeader(firstIds(components), 0);
    JpegBits bits;
    // Black is -128 after the level shift: a DC coefficient of -1024 in the first block of the
    // luminance (category 11, coded as the ones' complement 1023), unchanged after it. The
    // colour components stay at 0, no colour.
    bits.put(0b10, 2);
    bits.put(1023, 11);
    bits.put(0, components - 1);
    const std::int64_t blocks = (width + 7) / 8 * ((height + 7) / 8);
    bits.zeros(components * (blocks - 1));
    s += bits.finish();
    s += "\xFF\xD9";
    return s;
}

std::string sequentialJpeg(std::int64_t width, std::int64_t height, int components, int named) {
    return oneColourJpegStart('\xC0', width, height, components) + scanHeader(firstIds(named), 63) +
           "\xFF\xD9";
}

std::string paddedTo(const std::string& jpeg, std::size_t size) {
    std::string padding;
    while (jpeg.size() + padding.size() < size) {
        padding += "\xFF\xFE";
        put16be(padding, 0xFFFF);
        padding.append(0xFFFD, ' ');
    }
    return jpeg.substr(0, 2) + padding + jpeg.substr(2);
}

std::string withEmptyScans(const std::string& jpeg, int count) {
    if (jpeg.size() < 2 || jpeg.compare(jpeg.size() - 2, 2, "\xFF\xD9") != 0)
        throw std::invalid_argument("no JPEG end marker");
    // The components' ids, from the frame header.
    const std::size_t frame = jpeg.find("\xFF\xC2");
    const std::size_t sof = frame != std::string::npos ? frame : jpeg.find("\xFF\xC0");
    if (sof == std::string::npos)
        throw std::invalid_argument("no JPEG frame");
    const int components = static_cast<unsigned char>(jpeg[sof + 9]);
    std::string ids;
    for (int i = 0; i < components; ++i)
        ids += jpeg[sof + 10 + 3 * std::size_t(i)];
    const std::string scan = scanHeader(ids, 0);
    std::string out = jpeg.substr(0, jpeg.size() - 2);
    out.reserve(out.size() + scan.size() * std::size_t(count) + 2);
    for (int i = 0; i < count; ++i)
        out += scan;
    return out + "\xFF\xD9";
}

} // namespace planora::test
