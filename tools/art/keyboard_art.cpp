// BMP_KEYBOARD: one octave of the vertical keyboard with its frame and octave strip, the lit
// keys, the reference pointer, the computer-key letters, the octave highlight and the velocity
// slider's background.
#include "art.h"
#include "font.h"
#include "widgets.h"

#include <array>
#include <string>
#include <string_view>

namespace qvart {
namespace {

constexpr int32_t KEYS_LEFT = 36;  // key rows span x 36 .. 79 of the octave picture
constexpr int32_t KEYS_WIDTH = 44;
constexpr int32_t ROW = 8;
// Row 0 is a C, and the rows descend chromatically.
constexpr std::array<bool, 12> BLACK_ROW{false, false, true, false, true, false,
                                         true,  false, false, true, false, true};
// The computer keys, column by column from the top row: indices 31 .. 20, 19 .. 8, 7 .. -4.
constexpr std::string_view LETTER_COLUMNS[] = {"P0O9IU7Y6T5R", "E3W2Q.L,KMJN", "BGVFCXSZ"};

void key_row(Canvas& c, int32_t x, int32_t y, bool black, bool lit) {
    const Rect r{x, y, x + KEYS_WIDTH, y + ROW};
    if (black) {
        c.fill(r, lit ? GREY : BLUE);
        c.hline(r.left, r.right, y, INK);
        c.hline(r.left + 1, r.right - 2, y + 1, lit ? SILVER : SKY);
        c.hline(r.left, r.right, y + 7, INK);
        c.vline(r.right - 1, y, y + 8, INK);
    } else {
        c.fill(r, lit ? CREAM : SILVER);
        c.hline(r.left, r.right - 1, y, WHITE);
        c.hline(r.left, r.right, y + 7, SHADOW);
        c.vline(r.right - 1, y, y + 8, SHADOW);
    }
    c.vline(r.left, y, y + 8, INK); // the shadow of the frame
}

void octave(Canvas& c, int32_t keys_x, bool lit) {
    for (int32_t j = 0; j < 12; ++j)
        key_row(c, keys_x, ROW * j, BLACK_ROW[static_cast<std::size_t>(j)], lit);
    draw_text(c, keys_x + 36, 0, "C", SHADOW); // marks the top row as a C
}

void frame_column(Canvas& c) {
    c.fill({0, 0, KEYS_LEFT, 96}, GREY);
    c.vline(0, 0, 96, WHITE);
    c.vline(1, 0, 96, SILVER);
    // The strip groove holds the letters (x 14 .. 21) and the octave number (x 24 .. 31).
    c.fill({12, 0, 33, 96}, NAVY);
    c.vline(11, 0, 96, INK);
    c.vline(33, 0, 96, WHITE);
    c.hline(12, 33, 0, BLUE); // octave boundary, above each C
    for (int32_t j = 0; j < 12; ++j)
        if (!BLACK_ROW[static_cast<std::size_t>(j)])
            c.hline(3, 9, ROW * j + 3, SHADOW);
    c.vline(34, 0, 96, SILVER);
    c.vline(35, 0, 96, SHADOW);
}

// Points left, at the key beside it.
constexpr std::array<std::string_view, 7> POINTER{
    "......#.", "....###.", "..#####.", "#######.", "..#####.", "....###.", "......#."};

void pointer(Canvas& c) {
    c.stamp(128, 0, POINTER, GREEN);
    c.drop_shadow({128, 0, 136, 8}, GREEN, INK);
}

void letter_columns(Canvas& c) {
    for (int32_t f = 0; f < 3; ++f) {
        const std::string_view letters = LETTER_COLUMNS[f];
        for (std::size_t r = 0; r < letters.size(); ++r) {
            const int32_t x = 136 + 8 * f;
            const int32_t y = ROW * static_cast<int32_t>(r);
            c.fill({x, y, x + 8, y + 8}, DKGREEN);
            c.hline(x, x + 8, y + 7, INK);
            const std::string text(1, letters[r]);
            draw_text(c, x + (8 - text_width(text)) / 2, y, text, GREEN);
        }
    }
}

void velocity_background(Canvas& c) {
    panel(c, {0, 96, 96, 144});
    draw_text(c, 6, 104, "VELOCITY", INK);
    well(c, {62, 102, 90, 114}, NAVY); // value at (64, 104)
    groove_h(c, 16, 80, 128);
    for (int32_t x = 16; x <= 80; x += 8)
        c.vline(x, 133, x == 48 ? 138 : 136, SHADOW);
}

} // namespace

Canvas draw_keyboard() {
    Canvas c(176, 144);
    frame_column(c);
    octave(c, KEYS_LEFT, false);
    octave(c, 80, true);
    pointer(c);
    letter_columns(c);
    c.outline({160, 0, 176, 96}, GREEN);
    c.outline({161, 1, 175, 95}, DKGREEN);
    velocity_background(c);
    return c;
}

} // namespace qvart
