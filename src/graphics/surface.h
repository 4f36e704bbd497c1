// Plain 32-bit pixel surfaces and the two pixel loops everything is drawn with: a colour-keyed
// rectangle copy and a rectangle fill. Both clip to the surfaces, so no rectangle can reach
// outside a buffer however far off an edge it starts.
#pragma once

#include "graphics/rect.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv {

// Surfaces larger than this on a side are refused: it keeps every index in range and every
// size product far from overflow.
constexpr int32_t MAX_SURFACE_SIDE = 16384;

// Pixels are the native 0x00RRGGBB values; rows follow one another with no padding.
struct Surface {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t colour_key = 0; // source pixels of this value are not copied
    bool lost = false;       // contents gone until restored; copies from or to it fail

    uint32_t at(int32_t x, int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// A read-only window onto rows of pixels, `stride` pixels apart.
struct ImageView {
    std::span<const uint32_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;

    uint32_t at(int32_t x, int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                      static_cast<std::size_t>(x)];
    }
};

// A rectangle in 64-bit coordinates: scaled or offset rectangles that would overflow int32
// stay exact until clipping brings them back into a surface.
struct WideRect {
    int64_t left = 0;
    int64_t top = 0;
    int64_t right = 0;
    int64_t bottom = 0;
};

constexpr WideRect widen(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
constexpr WideRect scale(const WideRect& r, int32_t factor) {
    return {r.left * factor, r.top * factor, r.right * factor, r.bottom * factor};
}

// Gives `surface` a zero-filled width × height buffer; false (surface left empty) when the size
// is not positive, exceeds MAX_SURFACE_SIDE, or cannot be allocated.
bool allocate_surface(Surface& surface, int32_t width, int32_t height);

// Copies `source_rect` of `source` to (x, y) of `target`, skipping pixels equal to `key`.
// Parts outside either surface are trimmed; an empty or inverted source copies nothing.
void copy_keyed(Surface& target, int64_t x, int64_t y, const Surface& source,
                WideRect source_rect, uint32_t key);

// The same without a key: every source pixel is copied.
void copy_opaque(Surface& target, int64_t x, int64_t y, const Surface& source,
                 WideRect source_rect);

// Sets every pixel of `rect` that lies inside `target` to `value`.
void fill_rect(Surface& target, WideRect rect, uint32_t value);

// The whole surface as a view, or the part of it inside `rect` (clipped).
ImageView view_of(const Surface& surface);
ImageView view_of(const Surface& surface, WideRect rect);

} // namespace qv
