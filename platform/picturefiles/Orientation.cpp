#include "platform/picturefiles/Orientation.h"

#include <QTransform>

namespace planora::detail {

namespace {

constexpr Orientation kOrientations[] = {
    {.transposes = false, .flipsRows = false, .flipsColumns = false}, // 1 top, left
    {.transposes = false, .flipsRows = false, .flipsColumns = true},  // 2 top, right
    {.transposes = false, .flipsRows = true, .flipsColumns = true},   // 3 bottom, right
    {.transposes = false, .flipsRows = true, .flipsColumns = false},  // 4 bottom, left
    {.transposes = true, .flipsRows = false, .flipsColumns = false},  // 5 left, top
    {.transposes = true, .flipsRows = true, .flipsColumns = false},   // 6 right, top
    {.transposes = true, .flipsRows = true, .flipsColumns = true},    // 7 right, bottom
    {.transposes = true, .flipsRows = false, .flipsColumns = true},   // 8 left, bottom
};

} // namespace

Orientation orientation(int number) {
    return kOrientations[number >= 1 && number <= 8 ? number - 1 : 0];
}

PixelSize drawnSize(PixelSize stored, int number) {
    return orientation(number).transposes ? PixelSize{stored.height, stored.width} : stored;
}

PixelSize storedSize(PixelSize drawn, int number) {
    return drawnSize(drawn, number);
}

// Qt's own mirroring and quarter turns, which move whole rows and tiles of pixels. A quarter
// turn clockwise is the transposition of the picture with its rows flipped, so the rows are
// flipped once more before it; flipping the columns too makes it a quarter turn the other way.
QImage turnedAsDrawn(QImage stored, int number) {
    const Orientation o = orientation(number);
    if (!o.transposes) {
        if (o.flipsRows || o.flipsColumns)
            return stored.mirrored(o.flipsColumns, o.flipsRows);
        return stored;
    }
    const bool flipRows = !o.flipsRows, flipColumns = o.flipsColumns;
    if (flipRows && flipColumns)
        return stored.transformed(QTransform().rotate(270));
    if (flipRows || flipColumns)
        stored = stored.mirrored(flipColumns, flipRows);
    return stored.transformed(QTransform().rotate(90));
}

} // namespace planora::detail
