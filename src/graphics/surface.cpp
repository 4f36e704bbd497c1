// The pixel loops: clip once, then walk only the rows and columns that survive.
#include "graphics/surface.h"

#include "voice/allocation.h"

#include <algorithm>

namespace qv {

namespace {

// The overlap of a copy of `source_rect` from `source` to (x, y) of `target`, trimmed to both
// surfaces; empty when nothing is left.
struct CopyArea {
    int32_t source_x = 0;
    int32_t source_y = 0;
    int32_t target_x = 0;
    int32_t target_y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

CopyArea clip_copy(const Surface& target, int64_t x, int64_t y, const Surface& source,
                   WideRect r) {
    // Trim the source to its surface, moving the destination with it.
    if (r.left < 0) {
        x -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        y -= r.top;
        r.top = 0;
    }
    r.right = std::min<int64_t>(r.right, source.width);
    r.bottom = std::min<int64_t>(r.bottom, source.height);
    // Then the destination to its surface, moving the source with it.
    if (x < 0) {
        r.left -= x;
        x = 0;
    }
    if (y < 0) {
        r.top -= y;
        y = 0;
    }
    const int64_t width = std::min<int64_t>(r.right - r.left, target.width - x);
    const int64_t height = std::min<int64_t>(r.bottom - r.top, target.height - y);
    if (width <= 0 || height <= 0)
        return {};
    return {static_cast<int32_t>(r.left), static_cast<int32_t>(r.top), static_cast<int32_t>(x),
            static_cast<int32_t>(y),      static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

std::size_t offset(const Surface& s, int32_t x, int32_t y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) +
           static_cast<std::size_t>(x);
}

WideRect clip_to(const Surface& surface, WideRect r) {
    r.left = std::max<int64_t>(r.left, 0);
    r.top = std::max<int64_t>(r.top, 0);
    r.right = std::min<int64_t>(r.right, surface.width);
    r.bottom = std::min<int64_t>(r.bottom, surface.height);
    return r;
}

} // namespace

bool allocate_surface(Surface& surface, int32_t width, int32_t height) {
    surface = Surface{};
    if (width <= 0 || height <= 0 || width > MAX_SURFACE_SIDE || height > MAX_SURFACE_SIDE)
        return false;
    if (!allocate_zeroed(surface.pixels,
                         static_cast<std::size_t>(width) * static_cast<std::size_t>(height)))
        return false;
    surface.width = width;
    surface.height = height;
    return true;
}

void copy_keyed(Surface& target, int64_t x, int64_t y, const Surface& source,
                WideRect source_rect, uint32_t key) {
    const CopyArea a = clip_copy(target, x, y, source, source_rect);
    for (int32_t row = 0; row < a.height; ++row) {
        const uint32_t* from = source.pixels.data() + offset(source, a.source_x, a.source_y + row);
        uint32_t* to = target.pixels.data() + offset(target, a.target_x, a.target_y + row);
        // Written as a select rather than a branch so the compiler can vectorise the row.
        for (int32_t i = 0; i < a.width; ++i)
            to[i] = from[i] != key ? from[i] : to[i];
    }
}

void copy_opaque(Surface& target, int64_t x, int64_t y, const Surface& source,
                 WideRect source_rect) {
    const CopyArea a = clip_copy(target, x, y, source, source_rect);
    for (int32_t row = 0; row < a.height; ++row) {
        const uint32_t* from = source.pixels.data() + offset(source, a.source_x, a.source_y + row);
        uint32_t* to = target.pixels.data() + offset(target, a.target_x, a.target_y + row);
        std::copy_n(from, a.width, to);
    }
}

void fill_rect(Surface& target, WideRect rect, uint32_t value) {
    const WideRect r = clip_to(target, rect);
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    const auto width = static_cast<std::size_t>(r.right - r.left);
    for (auto row = static_cast<int32_t>(r.top); row < r.bottom; ++row)
        std::fill_n(target.pixels.data() + offset(target, static_cast<int32_t>(r.left), row), width,
                    value);
}

ImageView view_of(const Surface& surface) {
    return {surface.pixels, surface.width, surface.height, surface.width};
}

ImageView view_of(const Surface& surface, WideRect rect) {
    const WideRect r = clip_to(surface, rect);
    if (r.right <= r.left || r.bottom <= r.top)
        return {{}, 0, 0, surface.width};
    const std::size_t first = offset(surface, static_cast<int32_t>(r.left), static_cast<int32_t>(r.top));
    return {std::span<const uint32_t>(surface.pixels).subspan(first),
            static_cast<int32_t>(r.right - r.left), static_cast<int32_t>(r.bottom - r.top),
            surface.width};
}

} // namespace qv
