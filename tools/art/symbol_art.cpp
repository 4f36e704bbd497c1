// BMP_SYMBOL (knobs, lamps, point markers, small digits) and BMP_TENKEY (large digits, Fps).
#include "art.h"
#include "font.h"
#include "widgets.h"

namespace qvart {
namespace {

constexpr Look LOOKS[] = {Look::Normal, Look::Hover, Look::Pressed};

// The overtone knob: a box wide enough for a three-digit amplitude, dark blue when idle or
// dragged, green under the pointer. It stays plain: a negative amplitude puts its minus sign
// anywhere from x + 4 on.
void overtone_knob(Canvas& c, int32_t x, bool hover) {
    const Rect r{x, 0, x + 40, 16};
    c.outline(r, INK);
    const Rect inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    c.fill(inner, hover ? DKGREEN : BLUE);
    c.edges(inner, hover ? GREEN : SKY, hover ? INK : NAVY);
}

void lamp(Canvas& c, int32_t x, int32_t y, uint8_t face, uint8_t shade) {
    const Rect r{x, y, x + 16, y + 8};
    c.outline(r, INK);
    c.fill({x + 1, y + 1, x + 15, y + 7}, face);
    c.hline(x + 1, x + 15, y + 6, shade);
    c.vline(x + 14, y + 1, y + 7, shade);
    c.hline(x + 3, x + 7, y + 2, WHITE); // glint
    c.set(x + 2, y + 3, WHITE);
}

// Point markers are centred on (3, 3) of their 8 × 8 cell, because the panels place them
// three pixels up and left of the point.
void point_markers(Canvas& c, int32_t y) {
    c.outline({1, y + 1, 6, y + 6}, NAVY);
    c.fill({2, y + 2, 5, y + 5}, BLUE);
    c.set(2, y + 2, SKY);

    for (int32_t state = 1; state <= 2; ++state) {
        const int32_t x = 8 * state;
        const uint8_t colour = state == 1 ? WHITE : RED;
        for (int32_t i = 0; i < 7; ++i) {
            c.set(x + i, y + i, colour);
            c.set(x + 6 - i, y + i, colour);
        }
        c.drop_shadow({x, y, x + 8, y + 8}, colour, INK);
    }
}

} // namespace

Canvas draw_symbol() {
    Canvas c(128, 64);
    for (int32_t s = 0; s < 3; ++s) {
        slider_knob(c, 16 * s, 0, LOOKS[s], KnobLine::Horizontal);
        slider_knob(c, 16 * s, 16, LOOKS[s], KnobLine::Vertical);
    }
    overtone_knob(c, 48, false);
    overtone_knob(c, 88, true);
    lamp(c, 0, 32, GREEN, DKGREEN);
    lamp(c, 16, 32, RED, MAROON);
    point_markers(c, 40);
    for (int32_t d = 0; d < 10; ++d)
        small_glyph(c, 32 + 4 * d, 40, static_cast<char>('0' + d), WHITE);
    small_glyph(c, 72, 40, '-', WHITE);
    return c;
}

Canvas draw_tenkey() {
    Canvas c(136, 112);
    for (int32_t d = 0; d < 10; ++d)
        large_glyph(c, 8 * d, 96, static_cast<char>('0' + d), AMBER);
    large_glyph(c, 80, 96, '-', AMBER);
    draw_text(c, 113, 96, "Fps:", AMBER);
    c.fill({112, 104, 136, 106}, CLEAR); // the cell is 8 rows: p keeps one row of its tail
    c.drop_shadow({112, 96, 136, 104}, AMBER, INK);
    return c;
}

} // namespace qvart
