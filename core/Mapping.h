#pragma once

#include "platform/Picture.h"

#include <cstdint>

namespace planora {

// A 2x2 matrix with the rows (a11, a12) and (a21, a22).
struct Matrix2 {
    double a11 = 0, a12 = 0, a21 = 0, a22 = 0;
};

// The inverse as the backward mapping forms it: det = a22*a11 - a21*a12, inv = 1 / det, then
// b11 = a22*inv, b12 = a12*(-inv), b21 = a21*(-inv), b22 = a11*inv. A zero determinant is not
// tested for: it gives infinite or NaN entries, which map nothing.
Matrix2 inverseByReciprocal(const Matrix2& a);

// The mapping kernels. All three pictures are 300 x 300; the origin of the plane lies at
// column ox and row 299 - oy. For a pixel (x, y) the offsets are dx = x - ox and
// dy = y - (299 - oy), taken exactly (also where they leave the Int64 range) and rounded to
// Double, as are ox and 299 - oy. With the matrix m the pixel's partner is
//
//     u = trunc((m11*dx - m12*dy) + ox)     v = trunc((m22*dy - m21*dx) + (299 - oy))
//
// where each product, difference and sum is rounded to Double on its own. A coordinate
// addresses a pixel only when it lies strictly between -1 and 300, so NaN, the infinities and
// values beyond the Int64 range address none. Pixels are written opaque.
//
// Throws OutOfBoundsException when a picture is smaller than 300 x 300.

// Sends each pixel (x, y) of source, rows top to bottom and columns left to right, to (u, v)
// of target when both coordinates are inside; a later pixel overwrites an earlier one. Target
// pixels that nothing reaches keep their colour.
void mapForward(const Picture& source, Picture& target, const Matrix2& m, std::int64_t ox,
                std::int64_t oy);

// Gives each pixel (x, y) of target whose partner (u, v) is inside the colour of source at
// (u, v); the other target pixels keep their colour.
void mapBackward(const Picture& source, Picture& target, const Matrix2& m, std::int64_t ox,
                 std::int64_t oy);

// As mapBackward, but a target pixel whose partner is inside takes the channel-wise AND of
// base at (x, y) and overlay at (u, v), opaque.
void mapBackwardOverlay(const Picture& base, const Picture& overlay, Picture& target,
                        const Matrix2& m, std::int64_t ox, std::int64_t oy);

// The kernels use the widest vector registers that the processor has, up to this many bits:
// 512, 256, or 128 for those of every x86-64 processor. Every width gives the same bits. Until
// this is called, the widest.
void limitVectorWidth(int bits);

} // namespace planora
