#pragma once

#include "platform/Picture.h"

namespace planora {

// Covers the whole 300 x 300 working picture with opaque white through its drawing context,
// whose drawing colour stays white afterwards.
inline void fillWhite(const Picture& p) {
    Graphics& g = p.graphics();
    g.ForeColor(RGB(255, 255, 255, 0));
    g.FillRect(0, 0, 300, 300);
}

} // namespace planora
