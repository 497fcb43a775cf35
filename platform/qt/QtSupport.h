#pragma once

// Glue between the platform's own types and Qt. Included only by the platform's .cpp files.

#include "platform/Color.h"
#include "platform/Picture.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <string>
#include <string_view>

namespace planora {

inline QString toQString(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
inline std::string toStdString(const QString& s) {
    return s.toStdString();
}

// Qt keeps alpha (255 = opaque) where our colours keep transparency (0 = opaque).
inline QRgb toQRgb(Color c) {
    return QRgb(c ^ 0xFF000000u);
}
inline Color fromQRgb(QRgb rgb) {
    return Color(rgb) ^ 0xFF000000u;
}
inline QColor toQColor(Color c) {
    return QColor::fromRgba(toQRgb(c));
}

struct Graphics::Target {
    QImage* image = nullptr;           // a picture's pixels, painted through a short-lived QPainter
    class QPainter* painter = nullptr; // a canvas being painted, valid during its Paint event
    QSize size;

    QSize extent() const { return image ? image->size() : size; }
};

struct Picture::Data {
    QImage image;
    std::int64_t depth = 32;
    std::unique_ptr<Graphics> graphics;
};

// Wraps a decoded image as a picture (converted to the picture's 32-bit layout).
Picture pictureFromImage(QImage image);
// The image behind a picture, for drawing and saving; the picture must not be Nil.
const QImage& imageOf(const Picture& p);

} // namespace planora
