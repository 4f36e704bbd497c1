// BMP_SCROLL_V and BMP_SCROLL_H: arrows in three looks, the track and two thumbs. The
// horizontal bitmap is the vertical one turned on its side, so up becomes left.
#include "art.h"
#include "widgets.h"

namespace qvart {
namespace {

constexpr Rect TRACK{0, 48, 16, 176};

void arrow_cell(Canvas& c, int32_t x, int32_t y, int32_t look, bool up) {
    const Rect r{x, y, x + 16, y + 16};
    if (look == 0) {
        // Disabled: a dark square with nothing on it.
        c.outline(r, INK);
        c.fill({x + 1, y + 1, x + 15, y + 15}, NAVY);
        c.edges({x + 1, y + 1, x + 15, y + 15}, BLUE, INK);
        return;
    }
    const bool pressed = look == 2;
    button(c, r, pressed ? Look::Pressed : Look::Normal, pressed ? MIST : GREY, WHITE, SHADOW);
    const int32_t shift = pressed ? 1 : 0;
    for (int32_t row = 0; row < 4; ++row) {
        const int32_t yy = up ? y + 6 + row : y + 9 - row;
        c.hline(x + 7 - row + shift, x + 8 + row + shift, yy + shift, INK);
    }
}

// Thumbs repeat downward from their top edge and are cut off anywhere, so their ribs run the
// whole length; the outer columns stay clear to let the track's rim show.
void thumb(Canvas& c, int32_t x, uint8_t face, uint8_t light) {
    const Rect r{x + 1, TRACK.top, x + 15, TRACK.bottom};
    c.fill(r, face);
    c.vline(r.left, r.top, r.bottom, INK);
    c.vline(r.right - 1, r.top, r.bottom, INK);
    c.vline(r.left + 1, r.top + 1, r.bottom, light);
    c.vline(r.right - 2, r.top + 1, r.bottom, SHADOW);
    c.hline(r.left, r.right, r.top, INK);
    c.hline(r.left + 1, r.right - 1, r.top + 1, light);
    for (int32_t y = r.top + 4; y + 1 < r.bottom; y += 4) {
        c.hline(x + 5, x + 11, y, SHADOW);
        c.hline(x + 5, x + 11, y + 1, light);
    }
}

} // namespace

Canvas draw_scroll_v() {
    Canvas c(64, 200);
    for (int32_t look = 0; look < 3; ++look) {
        arrow_cell(c, 0, 16 * look, look, true);
        arrow_cell(c, 16, 16 * look, look, false);
    }
    c.fill(TRACK, BLUE);
    c.vline(0, TRACK.top, TRACK.bottom, INK);
    c.vline(15, TRACK.top, TRACK.bottom, INK);
    c.vline(1, TRACK.top, TRACK.bottom, NAVY);
    c.fill({7, TRACK.top, 9, TRACK.bottom}, NAVY);
    thumb(c, 16, GREY, SILVER);
    thumb(c, 32, MIST, WHITE);
    return c;
}

Canvas draw_scroll_h() {
    const Canvas v = draw_scroll_v();
    Canvas c(v.height, v.width);
    for (int32_t y = 0; y < c.height; ++y)
        for (int32_t x = 0; x < c.width; ++x)
            c.set(x, y, v.at(y, x));
    return c;
}

} // namespace qvart
