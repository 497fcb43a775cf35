#include "platform/picturefiles/AreaShrinker.h"
#include "platform/picturefiles/Decoders.h"
#include "platform/picturefiles/JpegSegments.h"
#include "platform/picturefiles/Orientation.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>
#include <optional>
#include <vector>

namespace planora::detail {

namespace {

// What decoding a file may take in all, the picture kept included: 100 MiB, and from a file of
// 1 MiB on, 64 bytes more for each byte of it, so that a small file cannot make us allocate
// much by its header alone. Decoding in rows takes a few MiB besides the picture kept; only
// the coefficients of a picture that libjpeg must hold whole can take more.
constexpr std::int64_t kBaseDecodeBytes = 100 * kMiB;
constexpr std::int64_t kDecodeBytesPerFileByte = 64;
// libjpeg's rows and tables and the shrinker's sums, at the widest picture we read.
constexpr std::int64_t kWorkingBytes = 8 * kMiB;

std::int64_t decodeAllowance(std::int64_t fileSize) {
    return fileSize < kMiB ? kBaseDecodeBytes
                           : kBaseDecodeBytes + kDecodeBytesPerFileByte * fileSize;
}

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back
// into decode(), across libjpeg's own frames and our callbacks only, none of which holds an
// object with a destructor.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (a damaged segment, data that ends early) leave a picture that can be shown.
void ignoreWarning(j_common_ptr, int) {}
void ignoreMessage(j_common_ptr) {}

// Feeds libjpeg from the open file through a buffer of our own, so that the decoder reads
// what the checks saw.
struct Source {
    explicit Source(const OpenFile& file) : in(file) {}
    jpeg_source_mgr base{};
    BufferedReader in;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// The checks read the file up to its end marker, so libjpeg never asks for more than the file
// holds. A read that fails (a failing disk), or a file that has become shorter since, is an
// error, never the end of the picture: the decoder would invent the rest.
boolean fillInput(j_decompress_ptr info) {
    auto* s = reinterpret_cast<Source*>(info->src);
    const std::span<const std::uint8_t> bytes = s->in.nextBytes();
    if (bytes.empty()) {
        info->err->msg_code = JERR_FILE_READ;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    s->base.next_input_byte = bytes.data();
    s->base.bytes_in_buffer = bytes.size();
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count) {
    auto* s = reinterpret_cast<Source*>(info->src);
    if (count <= 0)
        return;
    if (std::size_t(count) <= s->base.bytes_in_buffer) {
        s->base.next_input_byte += count;
        s->base.bytes_in_buffer -= std::size_t(count);
        return;
    }
    s->in.seek(s->in.pos() + count - std::int64_t(s->base.bytes_in_buffer));
    s->base.bytes_in_buffer = 0;
}

// Counts the blocks that the scans go through while libjpeg reads them, the same bound as
// checkJpeg's, so that a file that changed after its check still cannot cost more.
struct ScanWork {
    jpeg_progress_mgr base;
    int scan = 0;
    std::int64_t blocks = 0;
};

// A component's blocks padded to whole units of its sampling factors, as checkJpeg counts
// them.
std::int64_t paddedBlocks(const jpeg_component_info& k) {
    auto padded = [](JDIMENSION n, int factor) {
        return (std::int64_t(n) + factor - 1) / factor * factor;
    };
    return padded(k.width_in_blocks, k.h_samp_factor) * padded(k.height_in_blocks, k.v_samp_factor);
}

void countScanWork(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* work = reinterpret_cast<ScanWork*>(info->progress);
    if (info->input_scan_number == work->scan)
        return;
    work->scan = info->input_scan_number;
    std::int64_t frameBlocks = 0;
    for (int i = 0; i < info->num_components; ++i)
        frameBlocks += paddedBlocks(info->comp_info[i]);
    for (int i = 0; i < info->comps_in_scan; ++i)
        work->blocks += paddedBlocks(*info->cur_comp_info[i]);
    if (work->blocks > kMaxScanPasses * frameBlocks || work->blocks > kMaxScanBlocks)
        info->err->error_exit(common);
}

// The orientation that a camera writes into the EXIF data of an APP1 segment (1 to 8), or 1.
int exifOrientation(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
        const JOCTET* d = m->data;
        const std::size_t n = m->data_length;
        if (m->marker != JPEG_APP0 + 1 || n < 14 || std::memcmp(d, "Exif\0\0", 6) != 0)
            continue;
        const JOCTET* tiff = d + 6;
        const std::size_t size = n - 6;
        const bool little = tiff[0] == 'I' && tiff[1] == 'I';
        if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
            return 1;
        auto u16 = [&](std::size_t at) -> std::uint32_t {
            return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
        };
        auto u32 = [&](std::size_t at) {
            return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
        };
        const std::size_t directory = u32(4);
        if (directory > size - 2)
            return 1;
        const std::size_t entries = u16(directory);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t at = directory + 2 + 12 * i;
            if (at + 12 > size)
                return 1;
            if (u16(at) == 0x0112 && u16(at + 2) == 3) {
                const std::uint32_t value = u16(at + 8);
                return value >= 1 && value <= 8 ? int(value) : 1;
            }
        }
        return 1;
    }
    return 1;
}

// One decoding of a file. Its end destroys libjpeg's decompressor, and with it all the memory
// that libjpeg took, however decoding ends: done, refused, or left by an exception (memory that
// could not be had for the rows).
struct Decoding {
    Decoding(const OpenFile& f, const JpegFrame& checked, std::optional<PixelSize> b)
        : file(f), frame(checked), box(b), source(f) {}
    ~Decoding() { jpeg_destroy_decompress(&info); }
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;

    const OpenFile& file;
    const JpegFrame& frame;
    std::optional<PixelSize> box;
    jpeg_decompress_struct info{};
    ErrorManager error{};
    Source source;
    ScanWork scanWork{};
    int orientation = 1;
    std::vector<std::uint32_t> row;
    std::optional<AreaShrinker> shrinker;
    QImage image;
};

void startReading(Decoding& d) {
    jpeg_decompress_struct& info = d.info;
    info.err = jpeg_std_error(&d.error.base);
    d.error.base.error_exit = errorExit;
    d.error.base.emit_message = ignoreWarning;
    d.error.base.output_message = ignoreMessage;
    jpeg_create_decompress(&info);
    d.source.base.init_source = initSource;
    d.source.base.fill_input_buffer = fillInput;
    d.source.base.skip_input_data = skipInput;
    d.source.base.resync_to_restart = jpeg_resync_to_restart;
    d.source.base.term_source = termSource;
    info.src = &d.source.base;
    d.scanWork.base.progress_monitor = countScanWork;
    info.progress = &d.scanWork.base;
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
}

// The smallest of libjpeg's scales 1/8, 2/8, 4/8 and 8/8 at which the picture is at least as
// large as the target. These have fast inverse transforms of their own; a scale between them
// would save some shrinking but cost more in the transform than it saves.
void chooseScale(jpeg_decompress_struct& info, PixelSize target) {
    info.scale_denom = 8;
    for (const unsigned n : {1u, 2u, 4u, 8u}) {
        info.scale_num = n;
        jpeg_calc_output_dimensions(&info);
        if (info.output_width >= target.width && info.output_height >= target.height)
            return;
    }
}

// Converts libjpeg's output in place to opaque 0xffRRGGBB words.
void convertRow(const jpeg_decompress_struct& info, std::uint32_t* row) {
    const auto* samples = reinterpret_cast<const JSAMPLE*>(row);
    if (info.out_color_space != JCS_CMYK)
        return;
    // As photo editors write it: the channels inverted, so 255 is no ink.
    for (JDIMENSION x = 0; x < info.output_width; ++x) {
        const JSAMPLE* p = samples + 4 * x;
        const std::uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
        row[x] = 0xFF000000u | (k * c / 255) << 16 | (k * m / 255) << 8 | k * y / 255;
    }
}

// Decodes the picture, in the orientation it is stored in, into d.image or through
// d.shrinker. False on any error that libjpeg reports and on files that cost more than we
// allow.
bool decode(Decoding& d) {
    jpeg_decompress_struct& info = d.info;
    if (setjmp(d.error.jump))
        return false;
    startReading(d);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (PixelSize{info.image_width, info.image_height} != d.frame.size)
        return false;
    d.orientation = exifOrientation(info);
    const PixelSize stored = d.frame.size;
    const PixelSize shown = decodeSize(drawnSize(stored, d.orientation), d.box);
    const PixelSize target = storedSize(shown, d.orientation);

    // What the file may cost, less the picture we keep. libjpeg is told the same, up to our
    // limit for any file, and refuses to take more itself should the file have changed since
    // it was checked.
    const std::int64_t allowance = decodeAllowance(d.file.size()) - 4 * shown.width * shown.height;
    if (d.frame.bufferBytes + kWorkingBytes > allowance)
        return false;
    info.mem->max_memory_to_use = long(std::min(kMaxDecodeBytes, allowance));

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool little = std::endian::native == std::endian::little;
    info.out_color_space = cmyk ? JCS_CMYK : little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    chooseScale(info, target);
    // Below full size every output pixel is averaged further; smoothing the colour planes
    // first would change nothing that shows.
    info.do_fancy_upsampling = info.scale_num < 8 ? FALSE : TRUE;
    if (!jpeg_start_decompress(&info))
        return false;
    const PixelSize output{info.output_width, info.output_height};
    if (output.width < target.width || output.height < target.height)
        return false;
    if (output != target) {
        d.shrinker.emplace(output, target);
        d.row.resize(std::size_t(output.width));
    } else {
        d.image = QImage(int(target.width), int(target.height), QImage::Format_RGB32);
        if (d.image.isNull())
            return false;
    }
    while (info.output_scanline < info.output_height) {
        const std::int64_t y = info.output_scanline;
        auto* row =
            d.shrinker ? d.row.data() : reinterpret_cast<std::uint32_t*>(d.image.scanLine(int(y)));
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row)};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            return false;
        convertRow(info, row);
        if (d.shrinker)
            d.shrinker->addRow(y, row);
    }
    return true;
}

} // namespace

QImage decodeJpeg(const OpenFile& file, std::optional<PixelSize> box) {
    const std::optional<JpegFrame> frame = checkJpeg(file);
    if (!frame)
        return {};
    if (!sidesAcceptable(frame->size.width, frame->size.height))
        return {};
    QImage image;
    int orientation = 1;
    {
        // libjpeg's memory goes before the picture is turned, which may copy it.
        Decoding d(file, *frame, box);
        if (!decode(d))
            return {};
        image = d.shrinker ? d.shrinker->finish() : std::move(d.image);
        orientation = d.orientation;
    }
    return turnedAsDrawn(std::move(image), orientation);
}

} // namespace planora::detail
