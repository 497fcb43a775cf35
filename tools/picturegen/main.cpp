// Paints the pictures that Planora ships with and writes them as JPEG files.
//
// Every picture is drawn from vector shapes, so the owl variants used by the
// overlay mode are guaranteed to share exactly the same geometry: only the ink
// changes between the natural, the blue and the red rendering.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <jpeglib.h>

namespace {

// How a drawing is put on paper.
struct Ink {
    QColor line;         // strokes and solid marks
    QColor shade;        // soft tone fills; an invalid colour means "no tone at all"
    bool smooth = true;  // antialiasing
    qreal weight = 1.0;  // stroke width factor, small icons need heavier lines
    bool details = true; // fine feather marks, dropped for tiny icons

    bool hasShade() const { return shade.isValid(); }
    // The tone darkened by `darker` percent (as QColor::darker), or paper when there is none.
    QColor tone(int darker = 100) const { return hasShade() ? shade.darker(darker) : Qt::white; }
};

const QColor kInkBrown(0x26, 0x19, 0x10);
const QColor kWarmGrey(0xdc, 0xd3, 0xc7);

Ink naturalInk() {
    return {kInkBrown, kWarmGrey, true, 1.0, true};
}

// Solid single colour line art for the overlay mode: no tones, no blended edges.
Ink solidInk(const QColor& colour) {
    return {colour, QColor(), false, 1.0, true};
}

QPen inkPen(const Ink& ink, qreal width) {
    return QPen(ink.line, width * ink.weight, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void strokePath(QPainter& p, const Ink& ink, const QPainterPath& path, qreal width) {
    p.strokePath(path, inkPen(ink, width));
}

void fillPaper(QPainter& p, const QPainterPath& path) {
    p.fillPath(path, Qt::white);
}

void fillTone(QPainter& p, const Ink& ink, const QPainterPath& path, int darker = 100) {
    p.fillPath(path, ink.tone(darker));
}

void fillInk(QPainter& p, const Ink& ink, const QPainterPath& path) {
    p.fillPath(path, ink.line);
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A round eye: ink ring, solid pupil and a paper glint towards the upper left.
void drawEye(QPainter& p, const Ink& ink, QPointF centre, qreal radius, qreal pupil) {
    fillPaper(p, circle(centre, radius));
    if (!ink.details) {
        // At icon size a ring and a glint only blur the eye: keep a big pupil.
        fillInk(p, ink, circle(centre, pupil * 1.3));
        return;
    }
    if (ink.hasShade())
        p.fillPath(circle(centre, radius * 0.82), ink.shade.lighter(104));
    strokePath(p, ink, circle(centre, radius), radius * 0.14);
    fillInk(p, ink, circle(centre, pupil));
    fillPaper(p, circle(centre + QPointF(-pupil * 0.38, -pupil * 0.38), pupil * 0.32));
}

// Three toes with small claws, spread over a perch whose top edge is at y = top.
void drawFoot(QPainter& p, const Ink& ink, qreal x, qreal top, qreal size) {
    for (int toe = -1; toe <= 1; ++toe) {
        const QPointF root(x + toe * size * 0.28, top - size * 0.35);
        const QPointF tip(x + toe * size * 0.55, top + size * 0.55);
        QPainterPath path;
        path.moveTo(root);
        path.quadTo(QPointF(tip.x() - toe * size * 0.05, top - size * 0.05), tip);
        // The claw hooks back under the perch.
        path.quadTo(tip + QPointF(0, size * 0.2), tip + QPointF(-size * 0.12, size * 0.28));
        strokePath(p, ink, path, size * 0.26);
    }
}

// A short U shaped feather mark opening upwards.
QPainterPath featherMark(QPointF centre, qreal size) {
    QPainterPath path;
    path.moveTo(centre + QPointF(-size, -size * 0.35));
    path.quadTo(centre + QPointF(0, size * 0.9), centre + QPointF(size, -size * 0.35));
    return path;
}

// ---------------------------------------------------------------------------
// The owl, 240 x 280, symmetric about x = 120, sitting on a branch.

constexpr int kOwlWidth = 240;
constexpr int kOwlHeight = 280;

void drawOwl(QPainter& p, const Ink& ink) {
    const auto m = [](qreal x) { return kOwlWidth - x; }; // mirror across the centre line

    // Tail feathers hang down behind the branch.
    QPainterPath tail;
    tail.moveTo(100, 236);
    tail.lineTo(104, 268);
    tail.quadTo(112, 274, 120, 266);
    tail.quadTo(128, 274, 136, 268);
    tail.lineTo(140, 236);
    tail.closeSubpath();
    fillTone(p, ink, tail, 112);
    strokePath(p, ink, tail, 3);
    QPainterPath tailLine;
    tailLine.moveTo(120, 244);
    tailLine.lineTo(120, 266);
    strokePath(p, ink, tailLine, 2.5);

    // Branch, slightly bent, with a twig and a leaf on the right.
    QPainterPath branch;
    branch.moveTo(4, 246);
    branch.cubicTo(70, 238, 160, 240, 236, 234);
    branch.lineTo(236, 248);
    branch.cubicTo(160, 254, 70, 252, 4, 260);
    branch.closeSubpath();
    fillTone(p, ink, branch, 125);
    strokePath(p, ink, branch, 3);
    QPainterPath bark;
    for (qreal x : {22.0, 64.0, 176.0, 212.0}) {
        bark.moveTo(x, 250);
        bark.quadTo(x + 8, 246, x + 16, 249);
    }
    strokePath(p, ink, bark, 2);
    QPainterPath twig;
    twig.moveTo(196, 240);
    twig.quadTo(206, 222, 222, 214);
    strokePath(p, ink, twig, 3);
    QPainterPath leaf;
    leaf.moveTo(222, 214);
    leaf.quadTo(226, 196, 238, 190);
    leaf.quadTo(238, 208, 222, 214);
    fillTone(p, ink, leaf, 115);
    strokePath(p, ink, leaf, 2.5);

    // Silhouette: head with ear tufts flowing into a pear shaped body.
    QPainterPath body;
    body.moveTo(52, 18); // tip of the left tuft
    body.quadTo(76, 40, 94, 50);
    body.cubicTo(108, 45, m(108), 45, m(94), 50);
    body.quadTo(m(76), 40, m(52), 18);
    body.cubicTo(m(46), 48, m(30), 70, m(32), 104);
    body.cubicTo(m(34), 132, m(20), 168, m(32), 206);
    body.cubicTo(m(42), 234, m(84), 244, 120, 244);
    body.cubicTo(84, 244, 42, 234, 32, 206);
    body.cubicTo(20, 168, 34, 132, 32, 104);
    body.cubicTo(30, 70, 46, 48, 52, 18);
    body.closeSubpath();
    fillTone(p, ink, body);

    // Pale breast, left as paper, with rows of feather marks.
    QPainterPath breast;
    breast.addEllipse(QPointF(120, 194), 48, 44);
    fillPaper(p, breast);
    if (ink.details) {
        QPainterPath marks;
        for (int row = 0; row < 4; ++row) {
            const qreal y = 166 + row * 15;
            const int count = row == 0 || row == 3 ? 4 : 5;
            for (int i = 0; i < count; ++i) {
                const qreal x = 120 + (i - (count - 1) / 2.0) * 17;
                marks.addPath(featherMark(QPointF(x, y), 5.5));
            }
        }
        strokePath(p, ink, marks, 2.4);
    }
    strokePath(p, ink, body, 4);

    // Folded wings along both flanks, with the tips of the flight feathers.
    for (bool right : {false, true}) {
        const auto x = [&](qreal v) { return right ? m(v) : v; };
        QPainterPath wing;
        wing.moveTo(x(40), 126);
        wing.cubicTo(x(72), 140, x(80), 190, x(70), 230);
        wing.cubicTo(x(52), 224, x(30), 200, x(33), 170);
        wing.cubicTo(x(34), 150, x(36), 136, x(40), 126);
        wing.closeSubpath();
        fillTone(p, ink, wing, 118);
        strokePath(p, ink, wing, 3);
        if (ink.details) {
            QPainterPath feathers;
            for (int i = 0; i < 3; ++i) {
                const qreal y = 190 + i * 12;
                feathers.moveTo(x(38 + i * 3), y);
                feathers.quadTo(x(52 + i * 2), y + 4, x(66 - i), y - 4);
            }
            strokePath(p, ink, feathers, 2.2);
        }
    }

    // Inner lines of the ear tufts.
    if (ink.details) {
        QPainterPath tufts;
        tufts.moveTo(56, 30);
        tufts.quadTo(64, 44, 70, 56);
        tufts.moveTo(m(56), 30);
        tufts.quadTo(m(64), 44, m(70), 56);
        strokePath(p, ink, tufts, 2.2);
    }

    // Facial disc: two overlapping rings around the eyes, which meet in a V
    // above the beak.
    const QPointF leftEye(88, 100);
    const QPointF rightEye(m(88), 100);
    const QPainterPath disc = circle(leftEye, 36).united(circle(rightEye, 36));
    fillPaper(p, disc);
    strokePath(p, ink, disc, 3.2);
    if (ink.details) {
        // Small feather chevrons on the forehead, above the V of the disc.
        QPainterPath brow;
        for (QPointF c : {QPointF(110, 62), QPointF(130, 62), QPointF(120, 73)}) {
            brow.moveTo(c + QPointF(-5, -3));
            brow.lineTo(c + QPointF(0, 2));
            brow.lineTo(c + QPointF(5, -3));
        }
        strokePath(p, ink, brow, 2.2);
    }
    drawEye(p, ink, leftEye, 25, 13);
    drawEye(p, ink, rightEye, 25, 13);

    // Hooked beak pointing down between the eyes.
    QPainterPath beak;
    beak.moveTo(108, 116);
    beak.quadTo(120, 108, 132, 116);
    beak.quadTo(130, 134, 120, 148);
    beak.quadTo(110, 134, 108, 116);
    beak.closeSubpath();
    fillInk(p, ink, beak);
    strokePath(p, ink, beak, 2);

    // Feet gripping the branch.
    drawFoot(p, ink, 98, 241, 18);
    drawFoot(p, ink, m(98), 241, 18);
}

// ---------------------------------------------------------------------------
// The little owl (Steinkauz), 260 x 200: flat round head without tufts, white
// brows, spotted back, perched on a stone.

constexpr int kKauzWidth = 260;
constexpr int kKauzHeight = 200;

void drawLittleOwl(QPainter& p, const Ink& ink) {
    const auto m = [](qreal x) { return kKauzWidth - x; };

    // Ground line with a few tufts of grass.
    QPainterPath ground;
    ground.moveTo(6, 192);
    ground.lineTo(254, 192);
    for (qreal x : {16.0, 236.0}) {
        ground.moveTo(x, 192);
        ground.quadTo(x - 2, 182, x - 6, 176);
        ground.moveTo(x + 4, 192);
        ground.quadTo(x + 5, 180, x + 10, 172);
        ground.moveTo(x + 8, 192);
        ground.quadTo(x + 10, 184, x + 16, 180);
    }
    strokePath(p, ink, ground, 2.5);

    // The stone: a wide rounded boulder.
    QPainterPath stone;
    stone.moveTo(28, 192);
    stone.cubicTo(22, 166, 46, 148, 86, 146);
    stone.cubicTo(120, 142, 170, 140, 200, 148);
    stone.cubicTo(232, 156, 240, 176, 234, 192);
    stone.closeSubpath();
    fillTone(p, ink, stone, 110);
    strokePath(p, ink, stone, 3.5);
    if (ink.details) {
        QPainterPath cracks;
        cracks.moveTo(62, 192);
        cracks.quadTo(70, 176, 64, 166);
        cracks.moveTo(188, 158);
        cracks.quadTo(200, 168, 198, 182);
        cracks.moveTo(198, 170);
        cracks.lineTo(212, 172);
        cracks.moveTo(44, 172);
        cracks.quadTo(50, 168, 56, 170);
        cracks.moveTo(150, 182);
        cracks.quadTo(160, 178, 170, 182);
        cracks.moveTo(100, 178);
        cracks.quadTo(108, 174, 116, 177);
        strokePath(p, ink, cracks, 2);
    }

    // Silhouette: broad, flat topped head on a plump body, hardly any neck.
    QPainterPath body;
    body.moveTo(130, 24);
    body.cubicTo(158, 23, m(78), 28, m(74), 54);
    body.cubicTo(m(70), 72, m(76), 86, m(80), 92);
    body.cubicTo(m(70), 106, m(70), 134, m(94), 150);
    body.cubicTo(m(108), 158, 108, 158, 94, 150);
    body.cubicTo(70, 134, 70, 106, 80, 92);
    body.cubicTo(76, 86, 70, 72, 74, 54);
    body.cubicTo(78, 28, 102, 23, 130, 24);
    body.closeSubpath();
    fillTone(p, ink, body, 118);

    // Pale breast with dark streaks.
    QPainterPath breast;
    breast.addEllipse(QPointF(130, 126), 30, 27);
    fillPaper(p, breast);
    if (ink.details) {
        QPainterPath streaks;
        for (int row = 0; row < 3; ++row) {
            const int count = row == 1 ? 4 : 3;
            for (int i = 0; i < count; ++i) {
                const qreal x = 130 + (i - (count - 1) / 2.0) * 13;
                const qreal y = 110 + row * 12;
                streaks.moveTo(x, y);
                streaks.lineTo(x, y + 5);
            }
        }
        strokePath(p, ink, streaks, 3);
    }

    // Folded wings hugging the flanks, dotted with white spots.
    for (bool right : {false, true}) {
        const auto x = [&](qreal v) { return right ? m(v) : v; };
        QPainterPath wing;
        wing.moveTo(x(81), 94);
        wing.cubicTo(x(71), 108, x(71), 134, x(94), 150);
        wing.cubicTo(x(106), 132, x(104), 108, x(81), 94);
        wing.closeSubpath();
        fillTone(p, ink, wing, 135);
        strokePath(p, ink, wing, 2.8);
        if (ink.details) {
            for (QPointF c : {QPointF(84, 108), QPointF(91, 118), QPointF(82, 124),
                              QPointF(92, 132), QPointF(88, 142)}) {
                const QPainterPath spot = circle(QPointF(x(c.x()), c.y()), 2.6);
                fillPaper(p, spot);
                strokePath(p, ink, spot, 1.5);
            }
        }
    }
    strokePath(p, ink, body, 3.5);

    // Fine white spots on the crown.
    if (ink.details) {
        for (int i = 0; i < 7; ++i) {
            const qreal offset = i - 3;
            const QPainterPath spot =
                circle(QPointF(130 + offset * 11, 31 + std::abs(offset) * 1.4), 2.0);
            fillPaper(p, spot);
            strokePath(p, ink, spot, 1.4);
        }
    }

    const qreal eyeRadius = 16;
    const QPointF leftEye(111, 64);
    const QPointF rightEye(m(111), 64);

    drawEye(p, ink, leftEye, eyeRadius, 8.5);
    drawEye(p, ink, rightEye, eyeRadius, 8.5);

    // White brows: two slanted bands that sink towards the beak and meet there
    // in a V. They overlap the top of the eyes like lids, which gives the
    // little owl its stern frown.
    QPainterPath brows;
    for (bool right : {false, true}) {
        const auto x = [&](qreal v) { return right ? m(v) : v; };
        QPainterPath band;
        band.moveTo(x(88), 41);
        band.quadTo(x(110), 42, 130, 55);
        band.lineTo(130, 63);
        band.quadTo(x(112), 50, x(92), 50);
        band.closeSubpath();
        brows = brows.united(band);
    }
    fillPaper(p, brows);
    strokePath(p, ink, brows, 1.8);

    QPainterPath beak;
    beak.moveTo(124, 74);
    beak.quadTo(130, 69, 136, 74);
    beak.quadTo(134, 84, 130, 90);
    beak.quadTo(126, 84, 124, 74);
    beak.closeSubpath();
    fillInk(p, ink, beak);
    strokePath(p, ink, beak, 1.5);

    drawFoot(p, ink, 114, 153, 11);
    drawFoot(p, ink, m(114), 153, 11);
}

// ---------------------------------------------------------------------------
// Icons and logos.

// Classic 3.5" floppy disk, 35 x 35.
void drawDiskette(QPainter& p) {
    const QColor shell(0x24, 0x4f, 0x8f);
    const QColor shellEdge(0x14, 0x2c, 0x52);

    QPainterPath disk;
    disk.moveTo(3, 4);
    disk.quadTo(3, 2, 5, 2);
    disk.lineTo(28, 2);
    disk.lineTo(33, 7); // the cut corner
    disk.lineTo(33, 31);
    disk.quadTo(33, 33, 31, 33);
    disk.lineTo(5, 33);
    disk.quadTo(3, 33, 3, 31);
    disk.closeSubpath();
    p.fillPath(disk, shell);
    p.strokePath(disk, QPen(shellEdge, 1.2));

    // Metal shutter with its window.
    QPainterPath shutter;
    shutter.addRect(QRectF(9, 2.5, 16, 11));
    p.fillPath(shutter, QColor(0xc9, 0xcf, 0xd6));
    p.strokePath(shutter, QPen(QColor(0x6b, 0x74, 0x80), 0.8));
    p.fillRect(QRectF(19, 4.5, 3.5, 7), shellEdge);

    // Paper label with writing lines.
    const QRectF label(7, 17, 21, 14);
    p.fillRect(label, Qt::white);
    p.setPen(QPen(QColor(0x9a, 0xa6, 0xb6), 1.0));
    p.drawLine(QPointF(9.5, 21.5), QPointF(25.5, 21.5));
    p.drawLine(QPointF(9.5, 25.5), QPointF(25.5, 25.5));
}

// Text as a filled outline, so it can be positioned exactly.
void drawText(QPainter& p, const QString& text, QPointF baseline, int pixelSize,
              const QColor& fill) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    QPainterPath path;
    path.addText(baseline, font, text);
    p.fillPath(path, fill);
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    const qreal head = width * 3.2;
    p.drawLine(from, to - u * head * 0.8);
    QPainterPath tip;
    tip.moveTo(to);
    tip.lineTo(to - u * head + n * head * 0.55);
    tip.lineTo(to - u * head - n * head * 0.55);
    tip.closeSubpath();
    p.fillPath(tip, colour);
}

// Program logo, 160 x 160: a grid where the unit square is carried onto a
// parallelogram by a linear map, with a "P" badge.
void drawLogo(QPainter& p) {
    const QColor blue(0x1f, 0x5f, 0xa8);
    const QColor orange(0xf0, 0x8a, 0x24);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(4, 4, 152, 152), 22, 22);
    QLinearGradient sky(0, 4, 0, 156);
    sky.setColorAt(0, QColor(0xf4, 0xf8, 0xfd));
    sky.setColorAt(1, QColor(0xdc, 0xe9, 0xf7));
    p.fillPath(tile, sky);

    p.save();
    p.setClipPath(tile);
    p.setPen(QPen(QColor(0xb8, 0xcf, 0xea), 1));
    for (int v = 10; v < 160; v += 20) {
        p.drawLine(QPointF(v, 0), QPointF(v, 160));
        p.drawLine(QPointF(0, v), QPointF(160, v));
    }
    p.restore();

    // Origin and unit length in pixels; the y axis points up.
    const QPointF o(50, 110);
    const qreal unit = 40;
    const auto at = [&](qreal x, qreal y) { return o + QPointF(x * unit, -y * unit); };

    // Columns of the map: e1 -> (1.6, 0.4), e2 -> (0.6, 1.3).
    const QPointF a1(1.6, 0.4);
    const QPointF a2(0.6, 1.3);

    QPainterPath square;
    square.moveTo(at(0, 0));
    square.lineTo(at(1, 0));
    square.lineTo(at(1, 1));
    square.lineTo(at(0, 1));
    square.closeSubpath();

    QPainterPath image;
    image.moveTo(at(0, 0));
    image.lineTo(at(a1.x(), a1.y()));
    image.lineTo(at(a1.x() + a2.x(), a1.y() + a2.y()));
    image.lineTo(at(a2.x(), a2.y()));
    image.closeSubpath();

    p.fillPath(image, QColor(0xf0, 0x8a, 0x24, 90));
    p.strokePath(image, QPen(orange, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(square, QColor(0x1f, 0x5f, 0xa8, 70));
    p.strokePath(square, QPen(blue, 2, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));

    // Axes through the origin.
    drawArrow(p, QPointF(14, o.y()), QPointF(148, o.y()), blue, 2.5);
    drawArrow(p, QPointF(o.x(), 148), QPointF(o.x(), 14), blue, 2.5);

    // Images of the basis vectors.
    drawArrow(p, o, at(a1.x(), a1.y()), orange.darker(115), 3.5);
    drawArrow(p, o, at(a2.x(), a2.y()), orange.darker(115), 3.5);

    // "P" badge in the free upper left quadrant.
    const QPointF badge(27, 35);
    p.fillPath(circle(badge, 19), blue);
    p.strokePath(circle(badge, 19), QPen(Qt::white, 2));
    drawText(p, QStringLiteral("P"), badge + QPointF(-9.5, 9.5), 27, Qt::white);
}

// Banner, 100 x 50: "x²" and a small parabola on a colourful gradient.
void drawBanner(QPainter& p) {
    QLinearGradient band(0, 0, 100, 0);
    band.setColorAt(0, QColor(0xf5, 0x8a, 0x1f));
    band.setColorAt(0.5, QColor(0xd8, 0x3f, 0x6e));
    band.setColorAt(1, QColor(0x2b, 0x5c, 0xc4));
    p.fillRect(QRectF(0, 0, 100, 50), band);

    drawText(p, QStringLiteral("x"), QPointF(7, 37), 32, Qt::white);
    drawText(p, QStringLiteral("2"), QPointF(27, 22), 17, Qt::white);

    // Coordinate sketch of y = x² on the right.
    const QColor chalk(255, 255, 255, 230);
    drawArrow(p, QPointF(50, 42), QPointF(95, 42), chalk, 1.5);
    drawArrow(p, QPointF(72, 47), QPointF(72, 5), chalk, 1.5);
    QPainterPath parabola;
    for (int i = 0; i <= 40; ++i) {
        const qreal x = -1.0 + i / 20.0;
        const QPointF pt(72 + x * 18, 42 - x * x * 32);
        if (i == 0)
            parabola.moveTo(pt);
        else
            parabola.lineTo(pt);
    }
    p.strokePath(parabola, QPen(QColor(0xff, 0xe0, 0x4a), 2.4, Qt::SolidLine, Qt::RoundCap));
}

// ---------------------------------------------------------------------------
// Rendering and output.

using Drawing = std::function<void(QPainter&)>;

QImage render(QSize size, bool smooth, const Drawing& draw) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, smooth);
    draw(p);
    return image;
}

using InkDrawing = void (*)(QPainter&, const Ink&);

QImage render(QSize size, InkDrawing draw, const Ink& ink) {
    return render(size, ink.smooth, [&](QPainter& p) { draw(p, ink); });
}

// Scales the part `source` of a drawing into a square icon, centred on white.
QImage renderIcon(int side, QRectF source, InkDrawing draw, const Ink& ink) {
    return render(QSize(side, side), ink.smooth, [&](QPainter& p) {
        const qreal scale = side / std::max(source.width(), source.height());
        p.translate(side / 2.0, side / 2.0);
        p.scale(scale, scale);
        p.translate(-source.center());
        draw(p, ink);
    });
}

// At full quality and full colour resolution the decoded ink of the blue and red templates
// stays within a few levels of pure, so the overlay's AND of the two gives black.
constexpr int kQuality = 100;

// libjpeg reports a fault through error_exit, which must not return; this one jumps back to
// encodeJpeg, and the message is kept for the caller.
struct JpegFault {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void leaveOnFault(j_common_ptr info) {
    auto* fault = reinterpret_cast<JpegFault*>(info->err);
    info->err->format_message(info, fault->message);
    std::longjmp(fault->back, 1);
}

// Encodes `rgb` (Format_RGB888) at `quality`, every channel at full resolution. Qt's writer
// always halves the two colour channels (4:2:0), which leaves pale fringes along the pure blue
// and red lines of the overlay templates. Returns false with `error` set when libjpeg fails.
bool encodeJpeg(const QImage& rgb, int quality, QByteArray& out, QString& error) {
    jpeg_compress_struct info{};
    JpegFault fault{};
    info.err = jpeg_std_error(&fault.manager);
    fault.manager.error_exit = leaveOnFault;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(fault.back)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        error = QString::fromLocal8Bit(fault.message);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    for (int c = 0; c < info.num_components; ++c)
        info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    out = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return true;
}

bool save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    QByteArray jpeg;
    QString error;
    if (encodeJpeg(image.convertToFormat(QImage::Format_RGB888), kQuality, jpeg, error)) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size() && file.commit())
            return true;
        error = file.errorString();
    }
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // needed for fonts and the image plugins

    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    const QSize owlSize(kOwlWidth, kOwlHeight);
    const QSize kauzSize(kKauzWidth, kKauzHeight);
    const Ink blue = solidInk(QColor(0, 0, 255));
    const Ink red = solidInk(QColor(255, 0, 0));

    // Heavier lines and no fine marks keep the icons legible at 35 pixels.
    const auto iconInk = [](qreal weight) {
        Ink ink = naturalInk();
        ink.weight = weight;
        ink.details = false;
        return ink;
    };

    bool ok = true;
    ok &= save(render(owlSize, drawOwl, naturalInk()), dir, "eulebild.jpg");
    ok &= save(render(owlSize, drawOwl, blue), dir, "eulebildB.jpg");
    ok &= save(render(owlSize, drawOwl, red), dir, "eulebildR.jpg");
    ok &= save(render(kauzSize, drawLittleOwl, naturalInk()), dir, "Steinkauz.jpg");
    ok &= save(render(kauzSize, drawLittleOwl, blue), dir, "SteinkauzB.jpg");
    ok &= save(render(kauzSize, drawLittleOwl, red), dir, "SteinkauzR.jpg");
    ok &=
        save(renderIcon(35, QRectF(4, 4, 232, 252), drawOwl, iconInk(2.4)), dir, "eulebild32.jpg");
    ok &= save(renderIcon(35, QRectF(66, 18, 128, 140), drawLittleOwl, iconInk(1.5)), dir,
               "Steinkauz32.jpg");
    ok &= save(render(QSize(35, 35), true, drawDiskette), dir, "Diskette32.jpg");
    ok &= save(render(QSize(160, 160), true, drawLogo), dir, "LogoPlanora.jpg");
    ok &= save(render(QSize(100, 50), true, drawBanner), dir, "mathematikbrenvik-100px.jpg");
    return ok ? 0 : 1;
}
