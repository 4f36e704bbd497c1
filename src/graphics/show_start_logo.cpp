// The start-up logo with the program's own shapes.
#include "graphics/logo.h"
#include "graphics/start_logo.h"

namespace qv {

bool show_start_logo(DisplayHost& window) {
    draw_start_logo(LOGO_RECTS, window.client_width(), window.client_height());
    return Display::flip(window);
}

} // namespace qv
