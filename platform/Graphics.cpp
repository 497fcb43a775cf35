#include "platform/Exceptions.h"
#include "platform/Picture.h"
#include "platform/picturefiles/AreaShrinker.h"
#include "platform/qt/QtSupport.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

namespace planora {

namespace {

// Geometry is clipped to the drawing area widened by this margin before Qt sees it. Qt's
// rasteriser works in fixed point and its integer paths in int; far-away coordinates would
// overflow there. The margin exceeds any pen or text extent that matters for what shows.
constexpr double kMargin = 4096;

struct Box {
    double left, top, right, bottom;
};

Box clipBox(QSize size) {
    return {-kMargin, -kMargin, size.width() + kMargin, size.height() + kMargin};
}

bool finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Sutherland-Hodgman against one edge of the box at a time.
std::vector<QPointF> clipPolygon(std::vector<QPointF> poly, const Box& box) {
    auto clipEdge = [&poly](auto inside, auto intersect) {
        std::vector<QPointF> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const QPointF a = poly[i];
            const QPointF b = poly[(i + 1) % poly.size()];
            if (inside(b)) {
                if (!inside(a))
                    out.push_back(intersect(a, b));
                out.push_back(b);
            } else if (inside(a)) {
                out.push_back(intersect(a, b));
            }
        }
        poly = std::move(out);
    };
    auto atX = [](QPointF a, QPointF b, double x) {
        return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
    };
    auto atY = [](QPointF a, QPointF b, double y) {
        return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
    };
    clipEdge([&](QPointF p) { return p.x() >= box.left; },
             [&](QPointF a, QPointF b) { return atX(a, b, box.left); });
    clipEdge([&](QPointF p) { return p.x() <= box.right; },
             [&](QPointF a, QPointF b) { return atX(a, b, box.right); });
    clipEdge([&](QPointF p) { return p.y() >= box.top; },
             [&](QPointF a, QPointF b) { return atY(a, b, box.top); });
    clipEdge([&](QPointF p) { return p.y() <= box.bottom; },
             [&](QPointF a, QPointF b) { return atY(a, b, box.bottom); });
    return poly;
}

// Runs f with a painter on the target: the canvas's own, or a new one on the picture.
template <class F>
void withPainter(Graphics::Target& t, F&& f) {
    if (t.painter) {
        t.painter->save();
        t.painter->setRenderHint(QPainter::Antialiasing, false);
        t.painter->setRenderHint(QPainter::TextAntialiasing, true);
        f(*t.painter);
        t.painter->restore();
        return;
    }
    QPainter painter(t.image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    f(painter);
}

// A part of a picture made smaller for a draw that shrinks it: the whole pixels that the
// source rectangle touches, each pixel of the result the average of the area it covers, and
// the source rectangle in the result's pixels.
struct Reduced {
    QImage image;
    QRectF source;
};

Reduced reduced(const QImage& image, const QRectF& source, double scaleX, double scaleY) {
    const int left = int(std::floor(source.left())), top = int(std::floor(source.top()));
    const int right = std::min(image.width(), int(std::ceil(source.right())));
    const int bottom = std::min(image.height(), int(std::ceil(source.bottom())));
    const PixelSize from{right - left, bottom - top};
    auto side = [](std::int64_t n, double scale) {
        return scale < 1 ? std::clamp<std::int64_t>(std::llround(double(n) * scale), 1, n) : n;
    };
    const PixelSize to{side(from.width, scaleX), side(from.height, scaleY)};
    const QImage pixels = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    detail::AreaShrinker shrinker(from, to);
    for (int y = top; y < bottom; ++y)
        shrinker.addRow(y - top,
                        reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y)) + left);
    const double fx = double(to.width) / double(from.width);
    const double fy = double(to.height) / double(from.height);
    return {shrinker.finish(), QRectF((source.left() - left) * fx, (source.top() - top) * fy,
                                      source.width() * fx, source.height() * fy)};
}

} // namespace

Graphics::Graphics(std::unique_ptr<Target> target) : target_(std::move(target)) {}
Graphics::~Graphics() = default;

void Graphics::TextSize(double size) {
    textSize_ = std::isfinite(size) ? size : 0;
}

std::int64_t Graphics::Width() const {
    return target_->extent().width();
}
std::int64_t Graphics::Height() const {
    return target_->extent().height();
}

void Graphics::ClearRect(double x, double y, double w, double h) {
    const Color saved = foreColor_;
    foreColor_ = RGB(255, 255, 255);
    FillRect(x, y, w, h);
    foreColor_ = saved;
}

void Graphics::FillRect(double x, double y, double w, double h) {
    if (!finite({x, y, w, h}) || w <= 0 || h <= 0)
        return;
    const Box box = clipBox(target_->extent());
    const double left = std::max(x, box.left), top = std::max(y, box.top);
    const double right = std::min(x + w, box.right), bottom = std::min(y + h, box.bottom);
    if (right <= left || bottom <= top)
        return;
    const QColor colour = toQColor(foreColor_);
    withPainter(*target_, [&](QPainter& p) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(QRectF(left, top, right - left, bottom - top), colour);
    });
}

void Graphics::DrawPicture(const Picture& pic, double x, double y) {
    if (pic.isNil())
        return;
    DrawPicture(pic, x, y, double(pic.Width()), double(pic.Height()), 0, 0, double(pic.Width()),
                double(pic.Height()));
}

void Graphics::DrawPicture(const Picture& pic, double x, double y, double w, double h, double sx,
                           double sy, double sw, double sh) {
    if (pic.isNil() || !finite({x, y, w, h, sx, sy, sw, sh}) || w <= 0 || h <= 0 || sw <= 0 ||
        sh <= 0)
        return;
    const QImage& source = imageOf(pic);
    const double scaleX = w / sw, scaleY = h / sh;
    // Keep the source inside the picture and the destination inside the clip box, moving the
    // other rectangle along so that the mapping between them stays the same.
    auto clipPair = [](double& s0, double& s1, double& d0, double& d1, double lo, double hi,
                       double scale) {
        if (s0 < lo) {
            d0 += (lo - s0) * scale;
            s0 = lo;
        }
        if (s1 > hi) {
            d1 -= (s1 - hi) * scale;
            s1 = hi;
        }
    };
    double sx0 = sx, sx1 = sx + sw, sy0 = sy, sy1 = sy + sh;
    double dx0 = x, dx1 = x + w, dy0 = y, dy1 = y + h;
    clipPair(sx0, sx1, dx0, dx1, 0, double(source.width()), scaleX);
    clipPair(sy0, sy1, dy0, dy1, 0, double(source.height()), scaleY);
    const Box box = clipBox(target_->extent());
    clipPair(dx0, dx1, sx0, sx1, box.left, box.right, 1 / scaleX);
    clipPair(dy0, dy1, sy0, sy1, box.top, box.bottom, 1 / scaleY);
    if (dx1 <= dx0 || dy1 <= dy0 || sx1 <= sx0 || sy1 <= sy0)
        return;
    const bool scaled = scaleX != 1 || scaleY != 1;
    const QRectF destination(dx0, dy0, dx1 - dx0, dy1 - dy0);
    const QRectF from(sx0, sy0, sx1 - sx0, sy1 - sy0);
    // The toolkit's smooth scaling blends the nearest source pixels only, so a picture shrunk
    // by more than half would lose pixels and show stripes where it has fine detail. Averaged
    // first to about the size drawn, it keeps every pixel's share; the toolkit then draws that
    // into the same destination, so the pixels covered are those it would cover anyway.
    const Reduced shrunk =
        scaleX < 1 || scaleY < 1 ? reduced(source, from, scaleX, scaleY) : Reduced{source, from};
    withPainter(*target_, [&](QPainter& p) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, scaled);
        p.drawImage(destination, shrunk.image, shrunk.source);
    });
}

static void checkPixel(const Graphics::Target& t, std::int64_t x, std::int64_t y) {
    if (!t.image)
        throw RuntimeException("A canvas's drawing context has no pixels");
    const std::int64_t w = t.image->width(), h = t.image->height();
    if (x < 0 || x >= w)
        throw OutOfBoundsException("x coordinates (" + std::to_string(x) +
                                   ") exceeds graphics width (" + std::to_string(w) + ")");
    if (y < 0 || y >= h)
        throw OutOfBoundsException("y coordinates (" + std::to_string(y) +
                                   ") exceeds graphics height (" + std::to_string(h) + ")");
}

Color Graphics::Pixel(std::int64_t x, std::int64_t y) const {
    checkPixel(*target_, x, y);
    const auto* row = reinterpret_cast<const QRgb*>(target_->image->constScanLine(int(y)));
    return fromQRgb(row[x]);
}

void Graphics::Pixel(std::int64_t x, std::int64_t y, Color c) {
    checkPixel(*target_, x, y);
    // Pictures are opaque: the pixel takes the colour's channels, without blending.
    auto* row = reinterpret_cast<QRgb*>(target_->image->scanLine(int(y)));
    row[x] = toQRgb(c) | 0xFF000000u;
}

void Graphics::DrawLine(double x1, double y1, double x2, double y2) {
    const double pw = penWidth_, ph = penHeight_;
    if (!finite({x1, y1, x2, y2, pw, ph}) || pw <= 0 || ph <= 0)
        return;
    if (x1 == x2 || y1 == y2) {
        // An axis-parallel line is exactly the rectangle that the pen sweeps.
        FillRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + pw,
                 std::abs(y2 - y1) + ph);
        return;
    }
    // Any other line: the hull of the pen rectangles at both ends.
    const bool down = (x2 - x1) * (y2 - y1) > 0;
    std::vector<QPointF> hull;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (down)
        hull = {{x1, y1},           {x1 + pw, y1}, {x2 + pw, y2},
                {x2 + pw, y2 + ph}, {x2, y2 + ph}, {x1, y1 + ph}};
    else
        hull = {{x1, y1},           {x2, y2},           {x2 + pw, y2},
                {x2 + pw, y2 + ph}, {x1 + pw, y1 + ph}, {x1, y1 + ph}};
    hull = clipPolygon(std::move(hull), clipBox(target_->extent()));
    if (hull.size() < 3)
        return;
    const QColor colour = toQColor(foreColor_);
    withPainter(*target_, [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(hull.data(), int(hull.size()));
    });
}

void Graphics::FillPolygon(std::initializer_list<std::int64_t> xy) {
    std::vector<QPointF> corners;
    for (auto it = xy.begin(); it + 1 < xy.end(); it += 2)
        corners.emplace_back(double(it[0]), double(it[1]));
    corners = clipPolygon(std::move(corners), clipBox(target_->extent()));
    if (corners.size() < 3)
        return;
    const QColor colour = toQColor(foreColor_);
    withPainter(*target_, [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(corners.data(), int(corners.size()), Qt::WindingFill);
    });
}

void Graphics::DrawString(std::string_view text, double x, double y) {
    if (!finite({x, y}) || text.empty())
        return;
    const Box box = clipBox(target_->extent());
    // Text that starts this far outside cannot reach into the drawing area.
    if (x < box.left || x > box.right || y < box.top || y > box.bottom)
        return;
    QFont font = QGuiApplication::font();
    if (textSize_ > 0)
        font.setPixelSize(std::clamp(int(std::lround(std::min(textSize_, 1024.0))), 1, 1024));
    const QColor colour = toQColor(foreColor_);
    withPainter(*target_, [&](QPainter& p) {
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QPointF(x, y), toQString(text));
    });
}

} // namespace planora
