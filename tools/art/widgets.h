// The shared look of the panels: bevelled faces, wells, grooves, knobs and buttons. Every bitmap
// is built from these so that the whole window reads as one piece of hardware.
#pragma once

#include "canvas.h"

namespace qvart {

// A grey panel with a two-pixel raised rim.
void panel(Canvas& c, Rect r);
// A recessed area: dark rim at the top and left, light at the bottom and right.
void well(Canvas& c, Rect r, uint8_t face);
// A horizontal slider groove whose inside spans x0..x1 (inclusive), three rows centred on cy.
void groove_h(Canvas& c, int32_t x0, int32_t x1, int32_t cy);
// A vertical groove two pixels wide (columns x and x + 1) from y0 to y1 inclusive.
void groove_v(Canvas& c, int32_t x, int32_t y0, int32_t y1);
// An engraved tick: a dark line with a light one beside it.
void tick_v(Canvas& c, int32_t x, int32_t y0, int32_t y1);
void tick_h(Canvas& c, int32_t x0, int32_t x1, int32_t y);
void rivet(Canvas& c, int32_t x, int32_t y);

enum class Look { Normal, Hover, Pressed };

// A push button with a black outline; returns the face rectangle, which a pressed button
// shows one pixel lower and further right. Pressed, the light and dark edges swap sides.
Rect button(Canvas& c, Rect r, Look look, uint8_t face, uint8_t light, uint8_t dark);

// A slider knob 16 × 13 with rounded corners and an engraved line, vertical or horizontal.
enum class KnobLine { Vertical, Horizontal };
void slider_knob(Canvas& c, int32_t x, int32_t y, Look look, KnobLine line);

// A digit-cell glyph: 8 × 8 (wide figures) or 4 × 8 (narrow), with an ink shadow so it reads
// over any panel.
void large_glyph(Canvas& c, int32_t x, int32_t y, char ch, uint8_t colour);
void small_glyph(Canvas& c, int32_t x, int32_t y, char ch, uint8_t colour);

// The program's name in the shapes of the start-up logo, left edge at x, top at y.
void logo_shapes(Canvas& c, int32_t x, int32_t y, uint8_t sides, uint8_t face);

} // namespace qvart
