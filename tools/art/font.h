// The art's own pixel font: capitals and lower case 7 rows tall (descenders reach 2 rows lower),
// figures in two widths — 5 for the large digit cells and labels, 3 for the 4-pixel cells.
#pragma once

#include "canvas.h"

#include <string_view>

namespace qvart {

enum class Figures { Wide, Narrow };

// Width in pixels of `text` with one pixel between glyphs. Unknown characters abort the
// generator, so a typo cannot silently drop a letter from the art.
int32_t text_width(std::string_view text, Figures figures = Figures::Wide);

// Draws `text` with its cap top at y; returns the x after the last glyph.
int32_t draw_text(Canvas& canvas, int32_t x, int32_t y, std::string_view text, uint8_t colour,
                  Figures figures = Figures::Wide);

// Centres `text` horizontally on cx.
void draw_text_centred(Canvas& canvas, int32_t cx, int32_t y, std::string_view text,
                       uint8_t colour, Figures figures = Figures::Wide);

} // namespace qvart
