#include "core/App.h"
#include "core/Mapping.h"
#include "core/WhiteFill.h"
#include "platform/Text.h"
#include "ui/main.h"

#include <limits>

namespace planora {

namespace {

// The start that both mappings share: zbild white (in overlay mode a copy of qbild), and only
// then the matrix, read anew from the main window's four fields. A missing field throws here,
// after the fill.
Matrix2 startMapping(App& app) {
    fillWhite(app.zbild);
    if (app.overlay)
        app.zbild.graphics().DrawPicture(app.qbild, 0, 0);
    main& w = main::instance();
    Matrix2 a;
    a.a11 = Val(w.TEMat(1)->Text());
    a.a12 = Val(w.TEMat(2)->Text());
    a.a21 = Val(w.TEMat(3)->Text());
    a.a22 = Val(w.TEMat(4)->Text());
    return a;
}

// Truncation toward zero into 0 .. 2^64 - 1. Values that truncate below the range, and NaN,
// give 0; values above it give its top: no conversion is left undefined.
std::uint64_t truncToUInt64(double v) {
    constexpr double limit = 18446744073709551616.0; // 2^64
    if (!(v > -1.0))
        return 0;
    if (v >= limit)
        return std::numeric_limits<std::uint64_t>::max();
    return std::uint64_t(v);
}

} // namespace

void App::berechnenDIREKT() {
    const Matrix2 a = startMapping(*this);
    mapForward(overlay ? obild : qbild, zbild, a, ox, oy);
    berechnet = true;
}

void App::berechnen() {
    const Matrix2 a = startMapping(*this);
    const Matrix2 b = inverseByReciprocal(a);
    if (overlay)
        mapBackwardOverlay(qbild, obild, zbild, b, ox, oy);
    else
        mapBackward(qbild, zbild, b, ox, oy);
    berechnet = true;
}

double App::farbadd(double a, double b) {
    return double(truncToUInt64(a) & truncToUInt64(b));
}

} // namespace planora
