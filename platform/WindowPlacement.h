#pragma once

#include "platform/Controls.h"

#include <span>

namespace planora {

// Where the frame of a window that has no position of its own opens, given the screen's
// available area and the frames of the windows already shown (in the order they opened).
// Returns a frame of the given size: the first window at the area's top left; a later one at
// the first of these places that lies inside the area and covers none of the shown frames:
// the area's top right corner, then the area's left edge below the shown frames; failing both,
// 40 pixels right of and below the last shown frame, moved back inside the area as far as it
// fits.
Bounds openingPlace(Bounds available, std::span<const Bounds> shown, int width, int height);

} // namespace planora
