#include "platform/picturefiles/AreaShrinker.h"
#include "platform/picturefiles/OnWhite.h"
#include "platform/picturefiles/PictureDecoder.h"
#include "platform/picturefiles/TiffBands.h"

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <sched.h>
#include <thread>
#include <tiffio.h>
#include <vector>

namespace planora::detail {

namespace {

// No single block that libtiff allocates for one file (a strip, a tile, a table of offsets)
// may be larger.
constexpr std::int64_t kMaxSingleAlloc = 64 * kMiB;
// Bands in flight, all threads together, take at most this much beside the strips and tiles
// that libtiff holds while it decodes them.
constexpr std::int64_t kBandMemory = 8 * kMiB;
constexpr int kMaxThreads = 4;

// The file as libtiff sees it: read by offset from a position of our own, so that several
// handles can share the descriptor, and never beyond the size that was checked. libtiff calls
// these from C, where no exception may arrive: none of them throws.
struct Source {
    const OpenFile* file;
    std::int64_t pos = 0;
};

tmsize_t readSource(thandle_t h, void* buffer, tmsize_t n) noexcept {
    auto* s = static_cast<Source*>(h);
    const std::int64_t wanted = std::clamp<std::int64_t>(s->file->size() - s->pos, 0, n);
    const std::size_t got = s->file->readUpTo(s->pos, buffer, std::size_t(wanted));
    s->pos += std::int64_t(got);
    return tmsize_t(got);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) noexcept {
    return -1;
}

toff_t seekSource(thandle_t h, toff_t offset, int whence) noexcept {
    auto* s = static_cast<Source*>(h);
    std::int64_t base = 0;
    if (whence == SEEK_CUR)
        base = s->pos;
    else if (whence == SEEK_END)
        base = s->file->size();
    const auto to = std::int64_t(offset) + base;
    if (offset > toff_t(INT64_MAX / 2) || to < 0)
        return toff_t(-1);
    s->pos = to;
    return toff_t(to);
}

int closeNothing(thandle_t) noexcept {
    return 0;
}

toff_t sourceSize(thandle_t h) noexcept {
    return toff_t(static_cast<Source*>(h)->file->size());
}

int mapNothing(thandle_t, void**, toff_t*) noexcept {
    return 0;
}

void unmapNothing(thandle_t, void*, toff_t) noexcept {}

// The processors that this process may run on, which may be fewer than the machine has
// (taskset, a container's share).
unsigned usableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return std::max(1u, std::thread::hardware_concurrency());
    return unsigned(std::max(1, CPU_COUNT(&set)));
}

// libtiff would print its complaints about a damaged file; whether the file loads is all that
// the user learns.
int silence(TIFF*, void*, const char*, const char*, va_list) noexcept {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// One handle on the file with its own position; null when libtiff cannot read its header and
// first directory.
struct Reader {
    Source source;
    std::vector<unsigned char> tileBuffer;
    TiffHandle tiff;

    explicit Reader(const OpenFile& file) : source{&file} {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (options == nullptr)
            return;
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxSingleAlloc));
        TIFFOpenOptionsSetErrorHandlerExtR(options, silence, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, silence, nullptr);
        // "m": no memory mapping, so every byte comes through readSource.
        tiff.reset(TIFFClientOpenExt("picture", "rm", &source, readSource, writeNothing, seekSource,
                                     closeNothing, sourceSize, mapNothing, unmapNothing, options));
        TIFFOpenOptionsFree(options);
        // Unmapped, libtiff reads an uncompressed tile into a buffer that it rounds up to a
        // multiple of 1 KiB, and then refuses the tile because the buffer's size is not the
        // tile's. Given a buffer of the tile's size, it reads into that.
        std::uint16_t compression = COMPRESSION_NONE;
        if (tiff && TIFFIsTiled(tiff.get()) &&
            TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression) &&
            compression == COMPRESSION_NONE) {
            const std::uint64_t tileBytes = TIFFTileSize64(tiff.get());
            if (tileBytes == 0 || tileBytes > std::uint64_t(kMaxSingleAlloc)) {
                tiff.reset();
                return;
            }
            tileBuffer.resize(std::size_t(tileBytes));
            TIFFReadBufferSetup(tiff.get(), tileBuffer.data(), tmsize_t(tileBytes));
        }
    }
};

// Decodes bands through libtiff's RGBA interface, which reads every kind of TIFF that libtiff
// knows into 8-bit RGBA with the alpha associated.
class BandDecoder {
public:
    BandDecoder(TIFF* tiff, const TiffLayout& layout) : tiff_(tiff), layout_(layout) {
        wholeTiles(tiff, layout);
        char message[1024];
        begun_ = TIFFRGBAImageOK(tiff, message) && TIFFRGBAImageBegin(&image_, tiff, 1, message);
        // Its rows fill bands of the layout's size, no more and no less.
        ok_ = begun_ && std::int64_t(image_.width) == layout.stride &&
              std::int64_t(image_.height) == layout.height;
        if (ok_) {
            // The rows and columns as stored: the decoder turns the picture afterwards.
            image_.req_orientation = image_.orientation;
            // For grey with an alpha channel of its own, libtiff passes the grey on unscaled.
            premultiplied_ = !(image_.alpha == EXTRASAMPLE_UNASSALPHA &&
                               (image_.photometric == PHOTOMETRIC_MINISBLACK ||
                                image_.photometric == PHOTOMETRIC_MINISWHITE));
        }
        std::uint16_t photometric = 0, bits = 0, samples = 0, planar = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
        plainRgb_ = ok_ && !layout.tiled && photometric == PHOTOMETRIC_RGB && bits == 8 &&
                    samples == 3 && planar == PLANARCONFIG_CONTIG && image_.alpha == 0 &&
                    std::int64_t(TIFFScanlineSize64(tiff)) == 3 * layout.width;
        // Once, so that the parts of a tall strip do not grow it step by step.
        if (plainRgb_)
            strip_.reserve(std::size_t(layout.blockBytes));
    }
    ~BandDecoder() {
        if (begun_)
            TIFFRGBAImageEnd(&image_);
    }
    BandDecoder(const BandDecoder&) = delete;
    BandDecoder& operator=(const BandDecoder&) = delete;

    bool ok() const { return ok_; }

    // Fills pixels with rows [first, first + rows) as 0xffRRGGBB, transparency on white.
    bool decode(std::int64_t first, std::int64_t rows, std::vector<std::uint32_t>& pixels) {
        const auto width = std::int64_t(image_.width);
        pixels.resize(std::size_t(width * rows));
        if (plainRgb_)
            return decodeRgb(first, rows, pixels);
        image_.row_offset = int(first);
        image_.col_offset = 0;
        if (!TIFFRGBAImageGet(&image_, pixels.data(), image_.width, std::uint32_t(rows)))
            return false;
        if (image_.alpha == 0) {
            // Opaque: only the order of the channels changes.
            for (std::uint32_t& p : pixels)
                p = 0xff000000u | (p & 0xffu) << 16 | (p & 0xff00u) | (p >> 16 & 0xffu);
            return true;
        }
        for (std::uint32_t& p : pixels) {
            const std::uint32_t a = TIFFGetA(p);
            auto channel = [&](std::uint32_t c) {
                return premultiplied_ ? associatedOnWhite(c, a) : onWhite(c, a);
            };
            p = 0xff000000u | channel(TIFFGetR(p)) << 16 | channel(TIFFGetG(p)) << 8 |
                channel(TIFFGetB(p));
        }
        return true;
    }

private:
    // The commonest kind, 8-bit RGB in strips, straight from the strips' samples: half the
    // passes over the pixels that the RGBA interface makes.
    bool decodeRgb(std::int64_t first, std::int64_t rows, std::vector<std::uint32_t>& pixels) {
        const std::int64_t perStrip = layout_.blockHeight, rowBytes = 3 * layout_.width;
        const std::int64_t end = first + rows;
        for (std::int64_t strip = first / perStrip; strip * perStrip < end; ++strip) {
            const std::int64_t top = strip * perStrip;
            const std::int64_t from = std::max(first, top);
            const std::int64_t to = std::min({end, top + perStrip, layout_.height});
            strip_.resize(std::size_t((to - top) * rowBytes));
            const auto wanted = tmsize_t(strip_.size());
            if (TIFFReadEncodedStrip(tiff_, std::uint32_t(strip), strip_.data(), wanted) != wanted)
                return false;
            for (std::int64_t y = from; y < to; ++y) {
                const unsigned char* in = strip_.data() + (y - top) * rowBytes;
                std::uint32_t* out = pixels.data() + (y - first) * layout_.width;
                for (std::int64_t x = 0; x < layout_.width; ++x, in += 3)
                    out[x] = 0xff000000u | std::uint32_t(in[0]) << 16 | std::uint32_t(in[1]) << 8 |
                             in[2];
            }
        }
        return true;
    }

    TIFF* tiff_;
    TiffLayout layout_;
    std::vector<unsigned char> strip_;
    bool plainRgb_ = false;
    TIFFRGBAImage image_{};
    bool ok_ = false, begun_ = false, premultiplied_ = true;
};

// Decodes the bands of a plan on worker threads, each with a handle of its own (the first
// worker with the handle it is given), and hands them out in order. Workers take the next band
// as they become free, so that the bands get decoded however many of them could be started.
// Whatever a worker meets, a handle that sees another picture than the first, a band that
// cannot be decoded or an exception such as a failed allocation, ends the whole decoding; the
// workers are stopped and joined on every path out.
class BandWorkers {
public:
    BandWorkers(const OpenFile& file, TIFF* first, const TiffLayout& layout, std::int64_t tagBytes,
                const BandPlan& plan, int threads)
        : file_(file), first_(first), layout_(layout), tagBytes_(tagBytes), plan_(plan),
          bands_(std::int64_t(plan.bands.size())), queue_(std::max(threads, plan.queue)),
          held_(std::size_t(queue_)) {
        workers_.reserve(std::size_t(threads));
        for (int t = 0; t < threads; ++t) {
            try {
                workers_.emplace_back([this, t] { work(t == 0 ? first_ : nullptr); });
            } catch (const std::exception&) {
                // No thread to be had (the system's limit on threads, or no memory for a stack
                // or for what a thread starts with): the ones running do the work.
                break;
            }
        }
    }
    ~BandWorkers() {
        stop();
        workers_.clear();
    }
    BandWorkers(const BandWorkers&) = delete;
    BandWorkers& operator=(const BandWorkers&) = delete;

    // The workers that run; none when not one could be started.
    int started() const { return int(workers_.size()); }

    // Hands every band, decoded, to feed in order. False when one could not be decoded.
    template <typename Feed>
    bool feedAll(Feed&& feed) {
        for (std::int64_t b = 0; b < bands_; ++b) {
            Slot& s = held_[std::size_t(b % queue_)];
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || s.band == b; });
                if (stopped_)
                    return false;
            }
            feed(plan_.bands[std::size_t(b)], s.pixels);
            std::lock_guard lock(mutex_);
            ++fed_;
            changed_.notify_all();
        }
        // A worker whose handle disagrees with the first fails the picture even when the
        // others decoded every band before it looked.
        for (std::jthread& worker : workers_)
            worker.join();
        return !stopped_;
    }

private:
    struct Slot {
        std::int64_t band = -1; // the band it holds, decoded
        std::vector<std::uint32_t> pixels;
    };

    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

    // A worker's thread: decodes with the given handle, or one of its own when given none.
    void work(TIFF* handle) noexcept {
        try {
            if (!decodeBands(handle))
                stop();
        } catch (...) {
            stop();
        }
    }

    bool decodeBands(TIFF* handle) {
        std::optional<Reader> own;
        if (handle == nullptr) {
            // The file may have been written anew since the first handle read it, with tags
            // that would cost more.
            if (tiffTagBytes(file_) != tagBytes_)
                return false;
            own.emplace(file_);
            handle = own->tiff.get();
            if (handle == nullptr || tiffLayout(handle) != layout_)
                return false;
        }
        BandDecoder decoder(handle, layout_);
        if (!decoder.ok())
            return false;
        std::vector<std::uint32_t> pixels;
        for (;;) {
            std::int64_t b = 0;
            {
                std::unique_lock lock(mutex_);
                if (stopped_ || next_ >= bands_)
                    return true;
                b = next_++;
                // The band's slot is free once the band that held it before has been fed.
                changed_.wait(lock, [&] { return stopped_ || fed_ > b - queue_; });
                if (stopped_)
                    return true;
                pixels.swap(held_[std::size_t(b % queue_)].pixels);
            }
            const Band& band = plan_.bands[std::size_t(b)];
            if (!decoder.decode(band.first, band.rows, pixels))
                return false;
            std::lock_guard lock(mutex_);
            held_[std::size_t(b % queue_)].band = b;
            pixels.swap(held_[std::size_t(b % queue_)].pixels);
            changed_.notify_all();
        }
    }

    const OpenFile& file_;
    TIFF* first_;
    const TiffLayout& layout_;
    const std::int64_t tagBytes_;
    const BandPlan& plan_;
    const std::int64_t bands_;
    const int queue_;
    std::vector<Slot> held_;
    std::int64_t next_ = 0; // the next band that a worker takes
    std::int64_t fed_ = 0;  // bands fed so far
    bool stopped_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::jthread> workers_; // last: they end before what they use goes
};

// Feeds the bands of the plan to the shrinker in order, decoding them on several threads when
// the plan says so and they can be started, else on the calling thread with the first handle.
// False when any band cannot be decoded.
bool decodeAllBands(const OpenFile& file, TIFF* first, const TiffLayout& layout,
                    std::int64_t tagBytes, const BandPlan& plan, AreaShrinker& shrinker) {
    const int threads = int(std::min<std::int64_t>(plan.threads, std::int64_t(plan.bands.size())));
    auto feed = [&](const Band& band, const std::vector<std::uint32_t>& pixels) {
        for (std::int64_t r = 0; r < band.rows; ++r)
            shrinker.addRow(band.first + r, pixels.data() + r * plan.stride);
    };
    if (threads > 1) {
        BandWorkers workers(file, first, layout, tagBytes, plan, threads);
        if (workers.started() > 0)
            return workers.feedAll(feed);
    }
    BandDecoder decoder(first, layout);
    if (!decoder.ok())
        return false;
    std::vector<std::uint32_t> pixels;
    for (const Band& band : plan.bands) {
        if (!decoder.decode(band.first, band.rows, pixels))
            return false;
        feed(band, pixels);
    }
    return true;
}

class TiffDecoder final : public PictureDecoder {
public:
    explicit TiffDecoder(const OpenFile& file) : file_(file) {}

    std::optional<PictureHeader> readHeader() override {
        // Before libtiff reads them: a small file can name the same megabyte from a thousand
        // tags.
        tagBytes_ = tiffTagBytes(file_);
        if (!tagBytes_)
            return std::nullopt;
        reader_.emplace(file_);
        if (!reader_->tiff)
            return std::nullopt;
        layout_ = tiffLayout(reader_->tiff.get());
        if (!layout_)
            return std::nullopt;
        plan_ = planBands(*layout_, kBandMemory,
                          std::min<unsigned>(kMaxThreads, usableProcessors()), *tagBytes_);
        if (!plan_)
            return std::nullopt;
        return PictureHeader{.stored = {layout_->width, layout_->height},
                             .orientation = layout_->orientation,
                             .cost = loadCost(*plan_, *layout_)};
    }

    QImage readRows(PixelSize target, std::int64_t memoryBytes) override {
        if (!plan_->fitInto(memoryBytes))
            return {};
        AreaShrinker shrinker({layout_->width, layout_->height}, target);
        if (!decodeAllBands(file_, reader_->tiff.get(), *layout_, *tagBytes_, *plan_, shrinker))
            return {};
        return shrinker.finish();
    }

private:
    const OpenFile& file_;
    std::optional<std::int64_t> tagBytes_;
    std::optional<Reader> reader_;
    std::optional<TiffLayout> layout_;
    std::optional<BandPlan> plan_;
};

} // namespace

std::unique_ptr<PictureDecoder> tiffDecoder(BufferedReader& in) {
    return std::make_unique<TiffDecoder>(in.file());
}

} // namespace planora::detail
