#include "platform/picturefiles/AreaShrinker.h"
#include "platform/picturefiles/JpegSegments.h"
#include "platform/picturefiles/PictureDecoder.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
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
// into the step that called libjpeg, across libjpeg's own frames and our callbacks only, none
// of which holds an object with a destructor.
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

// Feeds libjpeg from the open file through the reader's buffer, so that the decoder reads
// what the checks saw.
struct Source {
    jpeg_source_mgr base;
    BufferedReader* in;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

// The checks read the file up to its end marker, so libjpeg never asks for more than the file
// holds. A read that fails (a failing disk), or a file that has become shorter since, is an
// error, never the end of the picture: the decoder would invent the rest.
boolean fillInput(j_decompress_ptr info) {
    auto* s = reinterpret_cast<Source*>(info->src);
    const std::span<const std::uint8_t> bytes = s->in->nextBytes();
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
    s->in->seek(s->in->pos() + count - std::int64_t(s->base.bytes_in_buffer));
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

// The orientation in the EXIF data of the first APP1 segment that libjpeg saved and that holds
// EXIF data, or 1.
int savedOrientation(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1)
            if (const std::optional<int> o = exifOrientation({m->data, m->data_length}))
                return *o;
    return 1;
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

// One decoding of a file. Its end destroys libjpeg's decompressor, and with it all the memory
// that libjpeg took, however decoding ends: done, refused, or left by an exception (memory that
// could not be had for the rows).
class JpegDecoder final : public PictureDecoder {
public:
    explicit JpegDecoder(BufferedReader& in) : in_(in) {}
    ~JpegDecoder() override { jpeg_destroy_decompress(&info_); }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // The segments are walked first, so that libjpeg only sees a file that holds all that it
    // declares and whose scans cost no more than they may.
    std::optional<PictureHeader> readHeader() override {
        frame_ = checkJpeg(in_);
        if (!frame_ || !sidesAcceptable(frame_->size.width, frame_->size.height))
            return std::nullopt;
        if (!startReading())
            return std::nullopt;
        // What the file may cost. libjpeg is told what is left of it beside the picture, up to
        // our limit for any file, and refuses to take more itself should the file have changed
        // since it was checked.
        const LoadCost cost{.allowedBytes = decodeAllowance(in_.file().size()),
                            .workingBytes = frame_->bufferBytes + kWorkingBytes};
        return PictureHeader{.stored = frame_->size, .orientation = orientation_, .cost = cost};
    }

    QImage readRows(PixelSize target, std::int64_t memoryBytes) override {
        if (!decode(target, memoryBytes))
            return {};
        return shrinker_ ? shrinker_->finish() : std::move(image_);
    }

private:
    // Reads the header through libjpeg; false on any error that it reports, and when its
    // size is not the one that the segments declare.
    bool startReading();
    // Decodes the picture, in the orientation it is stored in, into image_ or through
    // shrinker_. False on any error that libjpeg reports.
    bool decode(PixelSize target, std::int64_t memoryBytes);

    BufferedReader& in_;
    std::optional<JpegFrame> frame_;
    jpeg_decompress_struct info_{};
    ErrorManager error_{};
    Source source_{};
    ScanWork scanWork_{};
    int orientation_ = 1;
    std::vector<std::uint32_t> row_;
    std::optional<AreaShrinker> shrinker_;
    QImage image_;
};

bool JpegDecoder::startReading() {
    jpeg_decompress_struct& info = info_;
    if (setjmp(error_.jump))
        return false;
    info.err = jpeg_std_error(&error_.base);
    error_.base.error_exit = errorExit;
    error_.base.emit_message = ignoreWarning;
    error_.base.output_message = ignoreMessage;
    jpeg_create_decompress(&info);
    source_.base.init_source = initSource;
    source_.base.fill_input_buffer = fillInput;
    source_.base.skip_input_data = skipInput;
    source_.base.resync_to_restart = jpeg_resync_to_restart;
    source_.base.term_source = termSource;
    in_.seek(0);
    source_.in = &in_;
    info.src = &source_.base;
    scanWork_.base.progress_monitor = countScanWork;
    info.progress = &scanWork_.base;
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (PixelSize{info.image_width, info.image_height} != frame_->size)
        return false;
    orientation_ = savedOrientation(info);
    return true;
}

bool JpegDecoder::decode(PixelSize target, std::int64_t memoryBytes) {
    jpeg_decompress_struct& info = info_;
    if (setjmp(error_.jump))
        return false;
    info.mem->max_memory_to_use = long(std::min(kMaxDecodeBytes, memoryBytes));

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
        shrinker_.emplace(output, target);
        row_.resize(std::size_t(output.width));
    } else {
        image_ = QImage(int(target.width), int(target.height), QImage::Format_RGB32);
        if (image_.isNull())
            return false;
    }
    while (info.output_scanline < info.output_height) {
        const std::int64_t y = info.output_scanline;
        auto* row =
            shrinker_ ? row_.data() : reinterpret_cast<std::uint32_t*>(image_.scanLine(int(y)));
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row)};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            return false;
        convertRow(info, row);
        if (shrinker_)
            shrinker_->addRow(y, row);
    }
    return true;
}

} // namespace

std::unique_ptr<PictureDecoder> jpegDecoder(BufferedReader& in) {
    return std::make_unique<JpegDecoder>(in);
}

} // namespace planora::detail
