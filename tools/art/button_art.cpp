// BMP_VOICESW (the A/B switch) and BMP_PRESET (the preset column and its six buttons). Both use
// the small dark push button: dark blue at rest, lighter under the pointer, pushed in and green
// while pressed.
#include "art.h"
#include "font.h"
#include "widgets.h"

#include <array>
#include <string>
#include <string_view>

namespace qvart {
namespace {

using Icon = std::array<std::string_view, 8>;

// Ten by eight pixels each, drawn on the button's face.
constexpr Icon PRESET_ICONS[] = {
    // sine
    {"..##......", ".#..#.....", "#....#....", "#....#....", ".....#...#", "......#..#",
     ".......##."},
    // triangle
    {"..........", "....##....", "...#..#...", "..#....#..", ".#......#.", "#........#"},
    // sawtooth
    {"..........", "....#....#", "...##...##", "..#.#..#.#", ".#..#.#..#", "#...##...#"},
    // square
    {"..........", "####....##", "...#....#.", "...#....#.", "...#....#.", "...######."},
    // question mark
    {"...###....", "..#...#...", "......#...", "....##....", "....#.....", "..........",
     "....#....."},
    // double arrow: invert turns the wave upside down
    {"....#.....", "...###....", "..#.#.#...", "....#.....", "....#.....", "..#.#.#...",
     "...###....", "....#....."},
};

constexpr Look LOOKS[] = {Look::Normal, Look::Hover, Look::Pressed};

// Returns the face, where the content goes.
Rect small_button(Canvas& c, int32_t x, int32_t y, Look look) {
    if (look == Look::Hover)
        return button(c, {x, y, x + 16, y + 16}, look, BLUE, SKY, NAVY);
    return button(c, {x, y, x + 16, y + 16}, look, NAVY, BLUE, INK);
}

uint8_t content_colour(Look look) {
    return look == Look::Pressed ? GREEN : look == Look::Hover ? WHITE : SILVER;
}

// The switch is a drum with B above A. Pressed, it turns half a step: A sinks and the foot of
// the B shows above it, or B rises and the head of the A shows below it.
void switch_button(Canvas& c, int32_t x, int32_t y, Look look, char letter) {
    const Rect face = small_button(c, x, y, look);
    const uint8_t colour = content_colour(look);
    Canvas letters(16, 16); // button coordinates
    const int32_t top = face.top - y;
    if (look != Look::Pressed) {
        draw_text(letters, 5, top + 2, std::string(1, letter), colour);
    } else {
        const int32_t a_top = letter == 'A' ? top + 6 : top + 9;
        draw_text(letters, 6, a_top, "A", colour);
        draw_text(letters, 6, a_top - 9, "B", colour);
    }
    c.paste(letters, {face.left - x, face.top - y, face.right - x, face.bottom - y}, face.left,
            face.top);
}

void preset_column(Canvas& c) {
    // Top cap, 8 rows: the groove behind the buttons starts at its foot.
    c.fill({0, 0, 32, 216}, GREY);
    c.hline(0, 32, 0, WHITE);
    c.hline(1, 31, 1, SILVER);
    c.vline(0, 0, 216, WHITE);
    c.vline(1, 1, 216, SILVER);
    c.vline(30, 1, 216, SHADOW);
    c.vline(31, 0, 216, INK);
    c.hline(7, 25, 7, INK);
    // The groove runs through the middle part and 56 rows into the bottom part, which is where
    // the sixth button ends in a window of the smallest height.
    c.fill({8, 8, 24, 192}, NAVY);
    c.vline(7, 7, 193, INK);
    c.vline(24, 7, 193, WHITE);
    c.hline(7, 25, 192, WHITE);
    rivet(c, 8, 202);
    rivet(c, 22, 202);
    c.hline(1, 31, 214, SHADOW);
    c.hline(0, 32, 215, INK);
}

} // namespace

Canvas draw_voicesw() {
    Canvas c(80, 32);
    panel(c, {0, 0, 32, 32});
    c.edges({6, 6, 26, 26}, INK, WHITE);
    c.outline({7, 7, 25, 25}, GREEN);
    c.fill({8, 8, 24, 24}, CLEAR); // the button fills the hole
    for (int32_t s = 0; s < 3; ++s) {
        switch_button(c, 32 + 16 * s, 0, LOOKS[s], 'A');
        switch_button(c, 32 + 16 * s, 16, LOOKS[s], 'B');
    }
    return c;
}

Canvas draw_preset() {
    Canvas c(96, 216);
    preset_column(c);
    for (int32_t i = 0; i < 6; ++i)
        for (int32_t s = 0; s < 3; ++s) {
            const int32_t x = 32 + 16 * s;
            const int32_t y = 16 * i;
            small_button(c, x, y, LOOKS[s]);
            const int32_t push = LOOKS[s] == Look::Pressed ? 1 : 0;
            c.stamp(x + 3 + push, y + 4 + push, PRESET_ICONS[i], content_colour(LOOKS[s]));
        }
    return c;
}

} // namespace qvart
