// Drawing operations of the art generator's indexed canvas.
#include "canvas.h"

#include <utility>

namespace qvart {

Canvas::Canvas(int32_t w, int32_t h)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), CLEAR) {}

uint8_t Canvas::at(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLEAR;
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
}

void Canvas::set(int32_t x, int32_t y, uint8_t colour) {
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x)] = colour;
}

void Canvas::fill(Rect r, uint8_t colour) {
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            set(x, y, colour);
}

void Canvas::hline(int32_t x0, int32_t x1, int32_t y, uint8_t colour) {
    fill({x0, y, x1, y + 1}, colour);
}

void Canvas::vline(int32_t x, int32_t y0, int32_t y1, uint8_t colour) {
    fill({x, y0, x + 1, y1}, colour);
}

void Canvas::outline(Rect r, uint8_t colour) {
    edges(r, colour, colour);
}

void Canvas::edges(Rect r, uint8_t light, uint8_t dark) {
    hline(r.left, r.right, r.top, light);
    vline(r.left, r.top, r.bottom, light);
    hline(r.left + 1, r.right, r.bottom - 1, dark);
    vline(r.right - 1, r.top + 1, r.bottom, dark);
}

void Canvas::stamp(int32_t x, int32_t y, std::span<const std::string_view> rows,
                   uint8_t colour) {
    int32_t row = 0;
    for (std::string_view line : rows) {
        for (std::size_t col = 0; col < line.size(); ++col)
            if (line[col] == '#')
                set(x + static_cast<int32_t>(col), y + row, colour);
        ++row;
    }
}

void Canvas::paste(const Canvas& from, Rect source, int32_t x, int32_t y) {
    for (int32_t sy = source.top; sy < source.bottom; ++sy)
        for (int32_t sx = source.left; sx < source.right; ++sx)
            if (uint8_t c = from.at(sx, sy); c != CLEAR)
                set(x + sx - source.left, y + sy - source.top, c);
}

void Canvas::drop_shadow(Rect r, uint8_t colour, uint8_t shadow) {
    std::vector<std::pair<int32_t, int32_t>> spots;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            if (at(x, y) == colour && at(x + 1, y + 1) != colour)
                spots.emplace_back(x + 1, y + 1);
    for (auto [x, y] : spots)
        if (x < r.right && y < r.bottom && at(x, y) != colour)
            set(x, y, shadow);
}

} // namespace qvart
