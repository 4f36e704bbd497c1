// Numbers drawn from digit glyphs: large 8 × 8 glyphs of SLOT_TENKEY and small 4 × 8 glyphs
// of SLOT_SYMBOL. Leading zeros stay blank and the number is right-aligned in its cells.
#pragma once

#include "graphics/rect.h"

#include <cstdint>

namespace qv {

// Large digit d of SLOT_TENKEY, and its minus sign.
constexpr Rect large_digit_rect(int32_t d) { return {8 * d, 96, 8 * d + 8, 104}; }
constexpr Rect LARGE_MINUS_RECT{80, 96, 88, 104};
// Small digit d of SLOT_SYMBOL, and the small minus just right of the 9.
constexpr Rect small_digit_rect(int32_t d) { return {32 + 4 * d, 40, 36 + 4 * d, 48}; }
constexpr Rect SMALL_MINUS_RECT{72, 40, 76, 48};

// Writes `value` in (digit_count AND 15) cells of 8 pixels from x, trimmed to `clip`. Values
// beyond the cells show their largest number; a minus sign takes the cell left of the first
// non-zero digit, which may be left of x. Zero cells draw nothing.
void draw_number(const Rect& clip, int32_t x, int32_t y, int32_t value, int32_t digit_count);

// Writes `value` in 3 cells of 4 pixels from x (values beyond ±999 show 999), unclipped.
// A negative value carries the small minus in the cell left of its first digit.
void draw_small_number(int32_t x, int32_t y, int32_t value);

} // namespace qv
