// BMP_SLIDERFLD (the overtone list), BMP_ETCETERA (release, pan and correct sliders and the
// logo plates) and BMP_VOICEVOL (the voice volume slider).
#include "art.h"
#include "font.h"
#include "widgets.h"

namespace qvart {
namespace {

// One 24-pixel overtone row; x is the window x, which the bitmap keeps.
void overtone_row(Canvas& c, int32_t y) {
    c.fill({16, y, 216, y + 24}, GREY);
    c.hline(16, 216, y, SILVER);
    c.hline(16, 216, y + 23, SHADOW);
    well(c, {22, y + 6, 42, y + 18}, NAVY); // harmonic number at (24, y + 8)
    groove_h(c, 64, 191, y + 13);
    for (int32_t x : {64, 96, 160, 191})
        c.vline(x, y + 18, y + 20, SHADOW);
    tick_v(c, 128, y + 4, y + 9);
    tick_v(c, 128, y + 18, y + 22);
}

void slider_background(Canvas& c, Rect r) {
    c.fill(r, GREY);
    c.hline(r.left, r.right, r.top, WHITE);
    c.vline(r.left, r.top, r.bottom, WHITE);
    c.hline(r.left + 1, r.right, r.bottom - 1, SHADOW);
    c.vline(r.right - 1, r.top + 1, r.bottom, INK);
}

void release_row(Canvas& c) {
    slider_background(c, {0, 0, 232, 24});
    draw_text(c, 8, 8, "RELEASE", INK);
    well(c, {78, 6, 106, 18}, NAVY); // value at (80, 8)
    groove_h(c, 120, 220, 12);
    for (int32_t x = 120; x <= 220; x += 20)
        c.vline(x, 17, 20, SHADOW);
}

// Pan and correct share a layout: name over the value box, scale over the groove.
void scale_row(Canvas& c, int32_t y, const char* name, const char* low, const char* high,
               int32_t dot_step, int32_t dots, Rect box) {
    slider_background(c, {0, y, 232, y + 32});
    draw_text_centred(c, (box.left + box.right) / 2, y + 4, name, INK);
    well(c, {box.left, y + box.top, box.right, y + box.bottom}, NAVY);
    draw_text(c, 88, y + 4, low, INK, Figures::Narrow);
    draw_text(c, 216 - text_width(high, Figures::Narrow), y + 4, high, INK, Figures::Narrow);
    for (int32_t i = 1; i <= dots; ++i) {
        c.fill({152 - dot_step * i, y + 9, 153 - dot_step * i, y + 11}, INK);
        c.fill({152 + dot_step * i, y + 9, 153 + dot_step * i, y + 11}, INK);
    }
    // The centre mark is broken, like a ¦, above the groove, and continues below it.
    c.vline(152, y + 4, y + 7, INK);
    c.vline(152, y + 8, y + 11, INK);
    tick_v(c, 152, y + 13, y + 17);
    groove_h(c, 88, 216, y + 20);
    tick_v(c, 152, y + 24, y + 28);
    for (int32_t x : {88, 216})
        c.vline(x, y + 24, y + 27, SHADOW);
}

// Plate one carries the logo lit on a dark window, plate two embossed into the metal, so a
// tall window shows them alternating.
void logo_plates(Canvas& c) {
    panel(c, {0, 88, 232, 120});
    well(c, {46, 93, 186, 115}, NAVY);
    logo_shapes(c, 52, 96, BLUE, SILVER);
    for (auto [x, y] : {std::pair{5, 93}, {225, 93}, {5, 113}, {225, 113}})
        rivet(c, x, y);

    panel(c, {0, 120, 232, 152});
    logo_shapes(c, 52, 128, SHADOW, WHITE);
    for (auto [x, y] : {std::pair{5, 125}, {225, 125}, {5, 145}, {225, 145}})
        rivet(c, x, y);
}

} // namespace

Canvas draw_sliderfld() {
    Canvas c(232, 152);
    overtone_row(c, 0);
    overtone_row(c, 24);
    // Left frame strip; it repeats every 96 pixels down the list.
    c.fill({0, 0, 16, 96}, GREY);
    c.vline(0, 0, 96, WHITE);
    c.vline(1, 0, 96, SILVER);
    c.vline(14, 0, 96, SHADOW);
    c.vline(15, 0, 96, INK);
    rivet(c, 7, 22);
    rivet(c, 7, 70);
    // Bottom edge under the list and its scroll bar.
    const Rect bottom{0, 112, 232, 128};
    c.fill(bottom, GREY);
    c.hline(0, 232, 112, INK);
    c.hline(0, 232, 113, SILVER);
    c.vline(0, 112, 128, WHITE);
    c.hline(1, 232, 126, SHADOW);
    c.hline(0, 232, 127, INK);
    c.vline(231, 113, 128, INK);
    rivet(c, 5, 118);
    rivet(c, 225, 118);
    return c;
}

Canvas draw_etcetera() {
    Canvas c(232, 152);
    release_row(c);
    scale_row(c, 24, "PAN", "LEFT", "RIGHT", 8, 4, {46, 14, 74, 26});
    // The box reaches left over the sign cell: tunings below 1 show a minus before the digits.
    scale_row(c, 56, "CORRECT", "0.9872", "1.0128", 10, 3, {38, 14, 74, 26});
    logo_plates(c);
    return c;
}

Canvas draw_voicevol() {
    Canvas c(32, 128);
    panel(c, {0, 0, 32, 128});
    c.edges({7, 7, 25, 17}, INK, WHITE); // lamp window (8, 8, 24, 16)
    c.fill({8, 8, 24, 16}, NAVY);
    draw_text_centred(c, 16, 19, "VOL", INK);
    groove_v(c, 15, 32, 96);
    for (int32_t y = 32; y <= 96; y += 8) {
        const int32_t length = (y - 32) % 32 == 0 ? 4 : 2;
        c.hline(12 - length, 12, y, SHADOW);
        c.hline(20, 20 + length, y, SHADOW);
    }
    well(c, {2, 110, 30, 122}, NAVY); // value at (4, 112)
    return c;
}

} // namespace qvart
