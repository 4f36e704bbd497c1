// The display's module state, shared by its two source files only.
#pragma once

#include "graphics/display.h"

namespace qv::detail {

struct DisplayState {
    bool created = false;
    bool primary_exists = false; // the host window's picture; only its lost state is ours
    bool primary_lost = false;
    std::unique_ptr<Surface> back;
    int32_t client_offset_x = 0;
    int32_t client_offset_y = 0;
    int32_t back_width = 0;
    int32_t back_height = 0;
    int32_t magnification = 1;
    std::array<SurfaceSlot, SURFACE_SLOT_COUNT> slots;
    BitmapDecoder decoder = nullptr;
};

DisplayState& display_state();
// A rectangle multiplied by the magnification, without int32 overflow.
WideRect scaled(const Rect& rect);
// The surface of a slot, or null for a free slot or a number outside 0 .. 63.
Surface* slot_surface(int32_t slot);

} // namespace qv::detail
