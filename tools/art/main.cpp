// qv-art: draws the eleven panel bitmaps and writes them as 4-bit BMP files into a folder.
//   qv-art OUT_DIR
#include "art.h"
#include "bmp4.h"
#include "graphics/panel_bitmaps.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

struct Drawing {
    std::string_view name;
    qvart::Canvas (*draw)();
};

constexpr Drawing DRAWINGS[] = {
    {"BMP_MONITOR", qvart::draw_monitor},   {"BMP_SLIDERFLD", qvart::draw_sliderfld},
    {"BMP_SCROLL_H", qvart::draw_scroll_h}, {"BMP_SCROLL_V", qvart::draw_scroll_v},
    {"BMP_KEYBOARD", qvart::draw_keyboard}, {"BMP_TENKEY", qvart::draw_tenkey},
    {"BMP_VOICESW", qvart::draw_voicesw},   {"BMP_PRESET", qvart::draw_preset},
    {"BMP_VOICEVOL", qvart::draw_voicevol}, {"BMP_SYMBOL", qvart::draw_symbol},
    {"BMP_ETCETERA", qvart::draw_etcetera},
};

const Drawing* find_drawing(std::string_view name) {
    for (const Drawing& d : DRAWINGS)
        if (d.name == name)
            return &d;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv-art OUT_DIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    // The display's slot table decides which bitmaps exist and how big they are.
    for (const qv::PanelBitmap& bitmap : qv::PANEL_BITMAPS) {
        const Drawing* drawing = find_drawing(bitmap.name);
        if (!drawing) {
            std::fprintf(stderr, "qv-art: no drawing for %.*s\n",
                         static_cast<int>(bitmap.name.size()), bitmap.name.data());
            return 1;
        }
        const qvart::Canvas canvas = drawing->draw();
        if (canvas.width != bitmap.width || canvas.height != bitmap.height) {
            std::fprintf(stderr, "qv-art: %.*s drawn at %d x %d, the slot wants %d x %d\n",
                         static_cast<int>(bitmap.name.size()), bitmap.name.data(), canvas.width,
                         canvas.height, bitmap.width, bitmap.height);
            return 1;
        }
        if (!qvart::write_bmp4(folder + "/" + std::string(bitmap.name) + ".bmp", canvas))
            return 1;
    }
    return 0;
}
