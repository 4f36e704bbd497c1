// The panel bitmaps and scratch canvases the editor keeps in slots, in the order start-up
// loads them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv {

struct PanelBitmap {
    std::string_view name; // resource name
    std::string_view slot_name;
    int32_t slot;
    int32_t width; // the size the artwork must have
    int32_t height;
};

// Loaded in this order; a bitmap that fails to load leaves its slot free.
extern const std::array<PanelBitmap, 11> PANEL_BITMAPS;

constexpr int32_t CANVAS_WIDTH = 200;
constexpr int32_t CANVAS_HEIGHT = 128;

// Loads every panel bitmap into its slot, then creates the wave and envelope canvases in
// system memory. Failures are ignored: a missing slot simply draws nothing.
void load_panel_surfaces();

} // namespace qv
