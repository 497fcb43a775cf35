#include "platform/Picture.h"

#include "platform/Exceptions.h"
#include "platform/Resources.h"
#include "platform/picturefiles/PictureReader.h"
#include "platform/qt/QtSupport.h"

#include <QPainter>

namespace planora {

namespace {

constexpr std::int64_t kMaxSide = 32767;

std::shared_ptr<Picture::Data> newData(QImage image, std::int64_t depth) {
    auto d = std::make_shared<Picture::Data>();
    d->image = std::move(image);
    d->depth = depth;
    return d;
}

} // namespace

Picture::Picture(std::int64_t width, std::int64_t height, std::int64_t depth) {
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide)
        throw OutOfBoundsException("Width/Height needs to be in the range 1-32767");
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeException("Not enough memory for a picture of this size");
    image.fill(Qt::white);
    d_ = newData(std::move(image), depth);
}

Picture::Data& Picture::data() const {
    if (!d_)
        throw NilObjectException();
    return *d_;
}

std::int64_t Picture::Width() const {
    return data().image.width();
}
std::int64_t Picture::Height() const {
    return data().image.height();
}
std::int64_t Picture::Depth() const {
    return data().depth;
}

Graphics& Picture::graphics() const {
    Data& d = data();
    if (!d.graphics) {
        auto target = std::make_unique<Graphics::Target>();
        target->image = &d.image;
        d.graphics = std::make_unique<Graphics>(std::move(target));
    }
    return *d.graphics;
}

static void checkRow(const QImage& image, std::int64_t y) {
    if (y < 0 || y >= image.height())
        throw OutOfBoundsException("y coordinates (" + std::to_string(y) +
                                   ") exceeds graphics height (" + std::to_string(image.height()) +
                                   ")");
}

const std::uint32_t* Picture::constRow(std::int64_t y) const {
    const QImage& image = data().image;
    checkRow(image, y);
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(int(y)));
}

std::uint32_t* Picture::row(std::int64_t y) {
    QImage& image = data().image;
    checkRow(image, y);
    return reinterpret_cast<std::uint32_t*>(image.scanLine(int(y)));
}

// The shipped pictures are JPEG files: they are read as such, whatever their name or first
// bytes say, by our own reader, so that no decoder of the toolkit is loaded for them.
Picture Picture::OpenFromApp(std::string_view fileName) {
    return readJpegFile(resourcePath(fileName));
}

Picture pictureFromImage(QImage image) {
    if (image.isNull())
        return {};
    const int depth = image.depth();
    if (image.hasAlphaChannel()) {
        // Every picture is opaque: a source with transparency is laid onto white once, here.
        QImage opaque(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
        painter.end();
        image = std::move(opaque);
    } else if (image.format() != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_RGB32);
    }
    if (image.isNull())
        return {};
    return Picture(newData(std::move(image), depth));
}

const QImage& imageOf(const Picture& p) {
    return p.data().image;
}

} // namespace planora
