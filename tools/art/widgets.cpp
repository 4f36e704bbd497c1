// Building blocks shared by every panel bitmap.
#include "widgets.h"

#include "font.h"
#include "graphics/logo.h"
#include "graphics/start_logo.h"

#include <string>
#include <utility>

namespace qvart {

void panel(Canvas& c, Rect r) {
    c.fill(r, GREY);
    c.edges(r, WHITE, INK);
    c.edges({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, SILVER, SHADOW);
}

void well(Canvas& c, Rect r, uint8_t face) {
    c.fill(r, face);
    c.edges(r, INK, WHITE);
}

void groove_h(Canvas& c, int32_t x0, int32_t x1, int32_t cy) {
    well(c, {x0 - 1, cy - 2, x1 + 2, cy + 3}, NAVY);
    c.hline(x0, x1 + 1, cy - 1, INK);
}

void groove_v(Canvas& c, int32_t x, int32_t y0, int32_t y1) {
    well(c, {x - 1, y0 - 1, x + 3, y1 + 2}, NAVY);
    c.vline(x, y0, y1 + 1, INK);
}

void tick_v(Canvas& c, int32_t x, int32_t y0, int32_t y1) {
    c.vline(x, y0, y1, INK);
    c.vline(x + 1, y0, y1, WHITE);
}

void tick_h(Canvas& c, int32_t x0, int32_t x1, int32_t y) {
    c.hline(x0, x1, y, INK);
    c.hline(x0, x1, y + 1, WHITE);
}

void rivet(Canvas& c, int32_t x, int32_t y) {
    c.set(x, y, WHITE);
    c.set(x + 1, y, SILVER);
    c.set(x, y + 1, SILVER);
    c.set(x + 1, y + 1, SHADOW);
}

Rect button(Canvas& c, Rect r, Look look, uint8_t face, uint8_t light, uint8_t dark) {
    c.outline(r, INK);
    const Rect inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    c.fill(inner, face);
    if (look == Look::Pressed) {
        // Pushed in: the bevel turns round and the face moves away from the shadow.
        c.edges(inner, dark, light);
        return {inner.left + 2, inner.top + 2, inner.right - 1, inner.bottom - 1};
    }
    c.edges(inner, light, dark);
    return {inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
}

void slider_knob(Canvas& c, int32_t x, int32_t y, Look look, KnobLine line) {
    const Rect r{x, y, x + 16, y + 13};
    const uint8_t face = look == Look::Hover ? MIST : look == Look::Pressed ? SILVER : GREY;
    const uint8_t light = look == Look::Hover ? WHITE : look == Look::Pressed ? SHADOW : SILVER;
    const uint8_t dark = look == Look::Pressed ? WHITE : SHADOW;
    c.outline(r, INK);
    c.fill({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, face);
    c.edges({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, light, dark);
    // Rounded corners let the groove show through.
    for (auto [cx, cy] : {std::pair{r.left, r.top}, {r.right - 1, r.top}, {r.left, r.bottom - 1},
                          {r.right - 1, r.bottom - 1}})
        c.set(cx, cy, CLEAR);
    const int32_t shift = look == Look::Pressed ? 1 : 0;
    if (line == KnobLine::Vertical) {
        c.vline(x + 7 + shift, y + 3 + shift, y + 10 + shift, INK);
        c.vline(x + 8 + shift, y + 3 + shift, y + 10 + shift, WHITE);
    } else {
        c.hline(x + 3 + shift, x + 13 + shift, y + 6 + shift, INK);
        c.hline(x + 3 + shift, x + 13 + shift, y + 7 + shift, WHITE);
    }
}

void large_glyph(Canvas& c, int32_t x, int32_t y, char ch, uint8_t colour) {
    if (ch == '-') {
        c.hline(x + 1, x + 6, y + 3, colour); // as wide as a figure, at its middle
        c.drop_shadow({x, y, x + 8, y + 8}, colour, INK);
        return;
    }
    const std::string text(1, ch);
    const int32_t left = x + (6 - text_width(text)) / 2;
    draw_text(c, left, y, text, colour);
    c.drop_shadow({x, y, x + 8, y + 8}, colour, INK);
}

void small_glyph(Canvas& c, int32_t x, int32_t y, char ch, uint8_t colour) {
    draw_text(c, x, y, std::string(1, ch), colour, Figures::Narrow);
    c.drop_shadow({x, y, x + 4, y + 8}, colour, INK);
}

void logo_shapes(Canvas& c, int32_t x, int32_t y, uint8_t sides, uint8_t face) {
    for (const qv::Rect& r : qv::LOGO_RECTS)
        c.fill({x + r.left - qv::LOGO_BORDER, y + r.top, x + r.right + qv::LOGO_BORDER, y + r.bottom},
               sides);
    for (const qv::Rect& r : qv::LOGO_RECTS)
        c.fill({x + r.left, y + r.top, x + r.right, y + r.bottom}, face);
}

} // namespace qvart
