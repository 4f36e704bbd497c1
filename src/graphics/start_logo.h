// The start-up logo: light-grey shapes with blue sides on black, 128 × 16, in the middle of
// the client area, shown while the rest of start-up runs.
#pragma once

#include "graphics/display.h"
#include "graphics/rect.h"

#include <cstdint>
#include <span>

namespace qv {

constexpr int32_t LOGO_WIDTH = 128;
constexpr int32_t LOGO_HEIGHT = 16;
// How far the blue border reaches left and right of each shape.
constexpr int32_t LOGO_BORDER = 2;

// Builds the logo from `shapes` in SLOT_LOGO (created here when free) and copies it to the
// middle of a client area of client_width × client_height on the back buffer.
void draw_start_logo(std::span<const Rect> shapes, int32_t client_width, int32_t client_height);

// Draws the program's logo for `window`'s client size and presents it. False when the display
// does not exist.
bool show_start_logo(DisplayHost& window);

} // namespace qv
