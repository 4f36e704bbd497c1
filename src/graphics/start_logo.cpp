// The start-up logo, drawn with the same primitives as every panel.
#include "graphics/start_logo.h"

namespace qv {

void draw_start_logo(std::span<const Rect> shapes, int32_t client_width, int32_t client_height) {
    const uint32_t black = Display::pixel_value(rgb(0, 0, 0));
    const uint32_t grey = Display::pixel_value(rgb(240, 240, 240));
    const uint32_t blue = Display::pixel_value(rgb(0, 0, 240));
    Display::create_blank_surface(LOGO_WIDTH, LOGO_HEIGHT, SLOT_LOGO, Placement::VideoMemory);
    Display::fill_surface({0, 0, LOGO_WIDTH, LOGO_HEIGHT}, black, SLOT_LOGO);
    for (const Rect& r : shapes)
        Display::fill_surface({r.left - LOGO_BORDER, r.top, r.right + LOGO_BORDER, r.bottom}, blue,
                              SLOT_LOGO);
    for (const Rect& r : shapes)
        Display::fill_surface(r, grey, SLOT_LOGO);
    Display::draw(client_width / 2 - LOGO_WIDTH / 2, client_height / 2 - LOGO_HEIGHT / 2,
                  {0, 0, LOGO_WIDTH, LOGO_HEIGHT}, SLOT_LOGO);
}

} // namespace qv
