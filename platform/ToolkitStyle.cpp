#include "platform/qt/ToolkitStyle.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QWidget>

namespace planora::detail {

namespace {

// The menu bar asks for its overflow arrow as it is made. The toolkit reads that icon from a
// PNG file with the format left to detection, which loads and asks every image-format plugin
// installed (WebP, GIF, TGA, ICNS, ...): time at start-up, and decoders in reach that the
// program never needs. The arrow is drawn here instead.
class ToolkitStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (icon == SP_ToolBarHorizontalExtensionButton)
            return chevron(widget, true);
        if (icon == SP_ToolBarVerticalExtensionButton)
            return chevron(widget, false);
        return QProxyStyle::standardIcon(icon, option, widget);
    }

private:
    // Two small arrow heads pointing right (or down), like the toolkit's own.
    static QIcon chevron(const QWidget* widget, bool pointingRight) {
        constexpr int kSide = 16;
        QPixmap pixmap(kSide, kSide);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette palette = widget ? widget->palette() : QApplication::palette();
        p.setPen(QPen(palette.color(QPalette::WindowText), 1.5));
        for (const int offset : {4, 9}) {
            const QPointF tip = pointingRight ? QPointF(offset + 3, 8) : QPointF(8, offset + 3);
            const QPointF a = pointingRight ? QPointF(offset, 4.5) : QPointF(4.5, offset);
            const QPointF b = pointingRight ? QPointF(offset, 11.5) : QPointF(11.5, offset);
            p.drawLine(a, tip);
            p.drawLine(tip, b);
        }
        p.end();
        return QIcon(pixmap);
    }
};

} // namespace

QStyle* makeToolkitStyle() {
    return new ToolkitStyle(QStyleFactory::create(QApplication::style()->name()));
}

} // namespace planora::detail
