// The drawing primitives: colour-keyed copies from slots to the back buffer, fills, and the
// conversion of RGB colours to native pixel values.
#include "graphics/display.h"
#include "graphics/display_state.h"

namespace qv {

namespace {

using detail::display_state;

// The back buffer when it can be drawn on, else null.
Surface* drawable_back() {
    Surface* back = display_state().back.get();
    return back != nullptr && !back->lost ? back : nullptr;
}

// Copies the slot's `source` to (x, y) of the back buffer; nothing when either side is missing
// or lost. 64-bit coordinates keep x + width exact near the ends of int32.
void copy_from_slot(int64_t x, int64_t y, WideRect source, int32_t slot) {
    const Surface* from = detail::slot_surface(slot);
    Surface* back = drawable_back();
    if (from == nullptr || from->lost || back == nullptr)
        return;
    const int32_t factor = display_state().magnification;
    copy_keyed(*back, x * factor, y * factor, *from, scale(source, factor), from->colour_key);
}

} // namespace

void Display::draw(int32_t x, int32_t y, const Rect& source, int32_t slot) {
    copy_from_slot(x, y, widen(source), slot);
}

void Display::draw_clipped(const Rect& clip, int32_t x, int32_t y, const Rect& source,
                           int32_t slot) {
    if (detail::slot_surface(slot) == nullptr)
        return;
    WideRect s = widen(source);
    int64_t left = x;
    int64_t top = y;
    const int64_t w = s.right - s.left;
    const int64_t h = s.bottom - s.top;
    // Each edge test uses what the previous one left; touching an edge is not crossing it.
    if (left + w > clip.right)
        s.right -= left + w - clip.right;
    if (left < clip.left) {
        s.left += clip.left - left;
        left = clip.left;
    }
    if (top + h > clip.bottom)
        s.bottom -= top + h - clip.bottom;
    if (top < clip.top) {
        s.top += clip.top - top;
        top = clip.top;
    }
    copy_from_slot(left, top, s, slot);
}

void Display::fill_back(const Rect& rect, uint32_t pixel) {
    if (Surface* back = drawable_back())
        fill_rect(*back, detail::scaled(rect), pixel);
}

void Display::fill_surface(const Rect& rect, uint32_t pixel, int32_t slot) {
    Surface* target = detail::slot_surface(slot);
    if (target != nullptr && !target->lost)
        fill_rect(*target, detail::scaled(rect), pixel);
}

uint32_t Display::pixel_value(uint32_t colour) {
    // The buffers hold 0x00RRGGBB, so the conversion is a byte swap; it still fails where
    // reading the back buffer would.
    if (drawable_back() == nullptr)
        return PIXEL_VALUE_FAILED;
    const uint32_t red = colour & 0xFFu;
    const uint32_t green = (colour >> 8) & 0xFFu;
    const uint32_t blue = (colour >> 16) & 0xFFu;
    return red << 16 | green << 8 | blue;
}

} // namespace qv
