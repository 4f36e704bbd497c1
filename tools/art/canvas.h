// A 4-bit indexed image with the few drawing operations the panel art is built from.
#pragma once

#include "graphics/rect.h"
#include "palette.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qvart {

using qv::Rect;

struct Canvas {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // one palette index per pixel, rows top to bottom

    Canvas(int32_t w, int32_t h);

    uint8_t at(int32_t x, int32_t y) const;
    // Every write is clipped to the canvas, so shapes may run over an edge.
    void set(int32_t x, int32_t y, uint8_t colour);
    void fill(Rect r, uint8_t colour);
    void hline(int32_t x0, int32_t x1, int32_t y, uint8_t colour); // x1 exclusive
    void vline(int32_t x, int32_t y0, int32_t y1, uint8_t colour); // y1 exclusive
    void outline(Rect r, uint8_t colour);
    // Light on the top and left edge, dark on the bottom and right one.
    void edges(Rect r, uint8_t light, uint8_t dark);
    // Rows are strings; '#' paints `colour`, anything else leaves the pixel alone.
    void stamp(int32_t x, int32_t y, std::span<const std::string_view> rows, uint8_t colour);
    // Copies a part of another canvas, skipping its transparent pixels.
    void paste(const Canvas& from, Rect source, int32_t x, int32_t y);
    // A drop shadow one pixel right and down of every pixel of `colour` inside r, where clear.
    void drop_shadow(Rect r, uint8_t colour, uint8_t shadow);
};

} // namespace qvart
