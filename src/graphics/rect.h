// The rectangle every drawing call and panel uses: client pixels, right and bottom exclusive.
#pragma once

#include <cstdint>

namespace qv {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    // Inverted rectangles count as empty: they cover no pixel.
    constexpr bool empty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int32_t x, int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace qv
