#pragma once

// The eight orientations in which a picture may be stored, numbered 1 to 8 alike by EXIF and
// TIFF, and the one place where a stored picture is turned as it is to be drawn.
//
// Each is named by where the stored row 0 and column 0 lie when drawn:
//
//   1 top, left      2 top, right      3 bottom, right      4 bottom, left
//   5 left, top      6 right, top      7 right, bottom      8 left, bottom
//
// From 5 on, stored rows are drawn as columns: the drawn picture is the stored one transposed,
// its width the stored height.

#include "platform/picturefiles/PictureReader.h"

#include <QImage>

namespace planora::detail {

struct Orientation {
    bool transposes;   // stored rows become drawn columns
    bool flipsRows;    // stored row 0 lies at the far side: the bottom, or the right when
                       // transposed
    bool flipsColumns; // stored column 0 lies at the far side: the right, or the bottom when
                       // transposed
};

// The orientation of the given number; 1 for a number outside 1 to 8.
Orientation orientation(int number);

// The size of a picture as drawn, given its size as stored, and the other way round.
PixelSize drawnSize(PixelSize stored, int orientation);
PixelSize storedSize(PixelSize drawn, int orientation);

// The picture as drawn; a null image when its memory cannot be had.
QImage turnedAsDrawn(QImage stored, int orientation);

} // namespace planora::detail
