// The shapes of the start-up logo: the program's name, "quavel Voice", in blocky letters.
#pragma once

#include "graphics/rect.h"

#include <array>
#include <cstddef>

namespace qv {

constexpr std::size_t LOGO_RECT_COUNT = 39;

// Rectangles inside the 128 × 16 logo area. Each keeps 2 pixels clear of the left and right
// edges, because start-up paints every shape widened by that much in blue first.
extern const std::array<Rect, LOGO_RECT_COUNT> LOGO_RECTS;

} // namespace qv
