// BMP_MONITOR: the frame shared by the wave and envelope monitors, and the labels that sit in
// its two button slots.
#include "art.h"
#include "font.h"
#include "widgets.h"

namespace qvart {
namespace {

constexpr Rect FRAME{0, 0, 232, 168};
constexpr Rect DISPLAY{16, 24, 216, 152};
constexpr Rect SLOTS[] = {{16, 4, 80, 20}, {88, 4, 152, 20}};
constexpr int32_t MIDDLE_X = 116; // display column 100
constexpr int32_t MIDDLE_Y = 88;  // the zero line of the wave display

void draw_frame(Canvas& c) {
    panel(c, FRAME);
    // Two-pixel bezel around the display, sunk into the panel.
    c.edges({DISPLAY.left - 2, DISPLAY.top - 2, DISPLAY.right + 2, DISPLAY.bottom + 2}, SHADOW,
            WHITE);
    c.edges({DISPLAY.left - 1, DISPLAY.top - 1, DISPLAY.right + 1, DISPLAY.bottom + 1}, INK,
            SILVER);
    c.fill(DISPLAY, BLUE);
    for (int32_t x = DISPLAY.left + 1; x < DISPLAY.right; x += 4)
        c.set(x, MIDDLE_Y, NAVY);

    tick_h(c, 6, 13, MIDDLE_Y);
    tick_h(c, 219, 226, MIDDLE_Y);
    tick_v(c, MIDDLE_X, 155, 162);
    tick_v(c, MIDDLE_X, 20, 22);

    for (const Rect& slot : SLOTS) {
        c.edges({slot.left - 1, slot.top - 1, slot.right + 1, slot.bottom + 1}, INK, WHITE);
        c.fill(slot, NAVY);
    }
    // Vents in the free corner of the top strip.
    for (int32_t x = 176; x <= 212; x += 4)
        tick_v(c, x, 7, 17);
    for (auto [x, y] : {std::pair{5, 5}, {225, 5}, {5, 160}, {225, 160}})
        rivet(c, x, y);
}

// The edit-mode buttons: raised and light when off, pushed in with a green frame when on.
void draw_button_label(Canvas& c, int32_t x, int32_t y, const char* text, bool selected) {
    const Rect r{x, y, x + 64, y + 16};
    if (!selected) {
        const Rect face = button(c, r, Look::Normal, SILVER, WHITE, SHADOW);
        draw_text_centred(c, x + 32, face.top + 2, text, INK);
        return;
    }
    const Rect face = button(c, r, Look::Pressed, NAVY, INK, INK);
    c.outline({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, GREEN);
    draw_text_centred(c, x + 33, face.top + 2, text, GREEN);
}

// The envelope monitor's name plate: not a button, so it stays flat and dark.
void draw_plate_label(Canvas& c, int32_t x, int32_t y, const char* text) {
    const Rect r{x, y, x + 64, y + 16};
    c.fill(r, NAVY);
    c.outline(r, INK);
    c.outline({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, BLUE);
    draw_text_centred(c, x + 32, y + 4, text, AMBER);
}

} // namespace

Canvas draw_monitor() {
    Canvas c(232, 200);
    draw_frame(c);
    draw_button_label(c, 0, 168, "Coordinate", false);
    draw_button_label(c, 64, 168, "Oscillator", false);
    draw_plate_label(c, 128, 168, "Envelope");
    draw_button_label(c, 0, 184, "Coordinate", true);
    draw_button_label(c, 64, 184, "Oscillator", true);
    return c;
}

} // namespace qvart
