// The slot table of the panel artwork.
#include "graphics/panel_bitmaps.h"

#include "graphics/display.h"

namespace qv {

const std::array<PanelBitmap, 11> PANEL_BITMAPS{{
    {"BMP_TENKEY", "SLOT_TENKEY", SLOT_TENKEY, 136, 112},
    {"BMP_MONITOR", "SLOT_MONITOR", SLOT_MONITOR, 232, 200},
    {"BMP_SLIDERFLD", "SLOT_SLIDERFLD", SLOT_SLIDERFLD, 232, 152},
    {"BMP_SCROLL_H", "SLOT_SCROLL_H", SLOT_SCROLL_H, 200, 64},
    {"BMP_SCROLL_V", "SLOT_SCROLL_V", SLOT_SCROLL_V, 64, 200},
    {"BMP_KEYBOARD", "SLOT_KEYBOARD", SLOT_KEYBOARD, 176, 144},
    {"BMP_VOICESW", "SLOT_VOICESW", SLOT_VOICESW, 80, 32},
    {"BMP_PRESET", "SLOT_PRESET", SLOT_PRESET, 96, 216},
    {"BMP_VOICEVOL", "SLOT_VOICEVOL", SLOT_VOICEVOL, 32, 128},
    {"BMP_SYMBOL", "SLOT_SYMBOL", SLOT_SYMBOL, 128, 64},
    {"BMP_ETCETERA", "SLOT_ETCETERA", SLOT_ETCETERA, 232, 152},
}};

void load_panel_surfaces() {
    for (const PanelBitmap& bitmap : PANEL_BITMAPS)
        Display::load_bitmap(bitmap.name, bitmap.slot, Placement::VideoMemory);
    Display::create_blank_surface(CANVAS_WIDTH, CANVAS_HEIGHT, SLOT_WAVE_CANVAS,
                                  Placement::SystemMemory);
    Display::create_blank_surface(CANVAS_WIDTH, CANVAS_HEIGHT, SLOT_ENVELOPE_CANVAS,
                                  Placement::SystemMemory);
}

} // namespace qv
