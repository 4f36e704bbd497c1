// Digit drawing shared by the large and the small glyph sets.
#include "graphics/numbers.h"

#include "graphics/display.h"

#include <algorithm>
#include <limits>

namespace qv {

namespace {

constexpr int32_t LARGE_CELL = 8;
constexpr int32_t SMALL_CELL = 4;
constexpr int32_t SMALL_DIGITS = 3;

// Glyph 0 .. 9 is a digit; MINUS_GLYPH is the sign.
constexpr int32_t MINUS_GLYPH = 10;

// Calls draw(glyph, x) for each glyph of `value` in `cells` cells of `cell_width` from x.
// Works in 64 bits: the magnitude of INT32_MIN and up to 15 cells of place values fit.
template <class DrawGlyph>
void write_digits(int32_t cells, int32_t cell_width, int32_t x, int32_t value, DrawGlyph draw) {
    if (cells <= 0)
        return;
    int64_t place = 1;
    for (int32_t k = 1; k < cells; ++k)
        place *= 10;
    const int64_t largest = place * 10 - 1;
    const bool negative = value < 0;
    int64_t rest = std::min<int64_t>(negative ? -int64_t{value} : value, largest);
    bool drawn_nonzero = false;
    int64_t pen = x;
    for (int32_t k = cells - 1; k >= 0; --k, place /= 10, pen += cell_width) {
        const int64_t q = rest / place;
        rest %= place;
        if (negative && q != 0 && !drawn_nonzero)
            draw(MINUS_GLYPH, pen - cell_width);
        if (drawn_nonzero || q != 0 || k == 0)
            draw(static_cast<int32_t>(q), pen);
        drawn_nonzero = drawn_nonzero || q != 0;
    }
}

// A pen position beyond int32 is off every surface; such glyphs are skipped.
bool fits(int64_t pen) {
    return pen >= std::numeric_limits<int32_t>::min() && pen <= std::numeric_limits<int32_t>::max();
}

} // namespace

void draw_number(const Rect& clip, int32_t x, int32_t y, int32_t value, int32_t digit_count) {
    write_digits(digit_count & 15, LARGE_CELL, x, value, [&](int32_t glyph, int64_t pen) {
        if (fits(pen))
            Display::draw_clipped(clip, static_cast<int32_t>(pen), y,
                                  glyph == MINUS_GLYPH ? LARGE_MINUS_RECT : large_digit_rect(glyph),
                                  SLOT_TENKEY);
    });
}

void draw_small_number(int32_t x, int32_t y, int32_t value) {
    write_digits(SMALL_DIGITS, SMALL_CELL, x, value, [&](int32_t glyph, int64_t pen) {
        if (fits(pen))
            Display::draw(static_cast<int32_t>(pen), y,
                          glyph == MINUS_GLYPH ? SMALL_MINUS_RECT : small_digit_rect(glyph),
                          SLOT_SYMBOL);
    });
}

} // namespace qv
