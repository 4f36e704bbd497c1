// Display state and the lifecycle of its surfaces: creation, bitmap loading, presenting,
// loss and restore, release.
#include "graphics/display.h"

#include "graphics/display_state.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

namespace qv {

namespace detail {

DisplayState& display_state() {
    static DisplayState state;
    return state;
}

WideRect scaled(const Rect& rect) { return scale(widen(rect), display_state().magnification); }

Surface* slot_surface(int32_t slot) {
    if (slot < 0 || slot >= SURFACE_SLOT_COUNT)
        return nullptr;
    return display_state().slots[static_cast<std::size_t>(slot)].surface.get();
}

} // namespace detail

namespace {

using detail::display_state;
using detail::DisplayState;

// What a lost surface holds until it is restored: anything but a sensible picture.
constexpr uint32_t LOST_CONTENTS = 0x00FF00FFu;

bool valid_slot(int32_t slot) { return slot >= 0 && slot < SURFACE_SLOT_COUNT; }

SurfaceSlot& slot_record(int32_t slot) {
    return display_state().slots[static_cast<std::size_t>(slot)];
}

bool name_fits(std::string_view name) { return name.size() <= MAX_RESOURCE_NAME_LENGTH; }

bool decode(std::string_view name, DecodedBitmap& out) {
    const BitmapDecoder decoder = display_state().decoder;
    if (decoder == nullptr)
        return false;
    // A decoder that runs out of memory, or fails some other way, fails this load only.
    try {
        if (!decoder(name, out))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    const auto expected = static_cast<std::size_t>(std::max(out.width, 0)) *
                          static_cast<std::size_t>(std::max(out.height, 0));
    return out.width > 0 && out.height > 0 && out.pixels.size() == expected;
}

// Physical size of a logical length, or 0 when it cannot be a surface side.
int32_t physical(int32_t logical) {
    const int64_t size = static_cast<int64_t>(logical) * display_state().magnification;
    return size > 0 && size <= MAX_SURFACE_SIDE ? static_cast<int32_t>(size) : 0;
}

std::unique_ptr<Surface> make_slot_surface(int32_t width, int32_t height) {
    auto surface = std::unique_ptr<Surface>(new (std::nothrow) Surface);
    if (!surface || !allocate_surface(*surface, physical(width), physical(height)))
        return nullptr;
    surface->colour_key = 0; // black is transparent in every slot
    return surface;
}

// Copies the image magnified into the top-left corner of `target`, trimmed to it. A lost
// surface cannot be written; it keeps what it has.
void copy_image(Surface& target, const DecodedBitmap& image) {
    if (target.lost)
        return;
    const int32_t factor = display_state().magnification;
    const int64_t width = std::min<int64_t>(int64_t{image.width} * factor, target.width);
    const int64_t height = std::min<int64_t>(int64_t{image.height} * factor, target.height);
    for (int64_t y = 0; y < height; ++y) {
        const uint32_t* row = image.pixels.data() + static_cast<std::size_t>(y / factor) *
                                                        static_cast<std::size_t>(image.width);
        uint32_t* to = target.pixels.data() + static_cast<std::size_t>(y) *
                                                  static_cast<std::size_t>(target.width);
        for (int64_t x = 0; x < width; ++x)
            to[x] = row[x / factor] & 0x00FFFFFFu;
    }
}

void record_name(SurfaceSlot& record, std::string_view name) {
    record.name.fill('\0');
    std::memcpy(record.name.data(), name.data(), name.size());
}

void mark_lost(Surface& surface, Placement placement) {
    surface.lost = true;
    if (placement == Placement::VideoMemory)
        std::fill(surface.pixels.begin(), surface.pixels.end(), LOST_CONTENTS);
}

int restore_slots() {
    int restored = 0;
    for (int32_t n = 0; n < SURFACE_SLOT_COUNT; ++n) {
        SurfaceSlot& record = slot_record(n);
        if (!record.surface || !record.surface->lost)
            continue;
        record.surface->lost = false;
        ++restored;
        if (record.system_memory)
            continue;
        if (record.origin == SlotOrigin::Blank) {
            Display::fill_surface({0, 0, record.width, record.height}, 0, n);
        } else if (record.origin == SlotOrigin::Bitmap) {
            const std::array<char, SLOT_NAME_SIZE> name = record.name;
            Display::reload_bitmap(std::string_view(name.data()), n);
        }
    }
    return restored;
}

} // namespace

void Display::set_bitmap_decoder(BitmapDecoder decoder) { display_state().decoder = decoder; }

bool Display::create() {
    DisplayState& s = display_state();
    if (s.created)
        return false;
    s.created = true;
    return true;
}

bool Display::create_surfaces(int32_t width, int32_t height, int32_t magnification) {
    DisplayState& s = display_state();
    if (!s.created || s.back || magnification < 1 || magnification > MAX_SURFACE_SIDE)
        return false;
    s.magnification = magnification;
    s.back_width = width;
    s.back_height = height;
    auto back = std::unique_ptr<Surface>(new (std::nothrow) Surface);
    // The buffer starts zero-filled, which is the black fill a new back buffer gets.
    if (!back || !allocate_surface(*back, physical(width), physical(height))) {
        s.magnification = 1;
        s.back_width = 0;
        s.back_height = 0;
        return false;
    }
    s.back = std::move(back);
    s.primary_exists = true;
    s.primary_lost = false;
    return true;
}

void Display::set_client_offset(int32_t x, int32_t y) {
    display_state().client_offset_x = x;
    display_state().client_offset_y = y;
}

bool Display::load_bitmap(std::string_view name, int32_t slot, Placement placement) {
    if (!valid_slot(slot) || slot_record(slot).surface || !name_fits(name))
        return false;
    DecodedBitmap image;
    if (!decode(name, image))
        return false;
    std::unique_ptr<Surface> surface = make_slot_surface(image.width, image.height);
    if (!surface)
        return false;
    copy_image(*surface, image);
    SurfaceSlot& record = slot_record(slot);
    record.surface = std::move(surface);
    record_name(record, name);
    record.width = image.width;
    record.height = image.height;
    record.system_memory = placement == Placement::SystemMemory;
    record.origin = SlotOrigin::Bitmap;
    return true;
}

bool Display::reload_bitmap(std::string_view name, int32_t slot) {
    if (!valid_slot(slot) || !slot_record(slot).surface || !name_fits(name))
        return false;
    DecodedBitmap image;
    if (!decode(name, image))
        return false;
    SurfaceSlot& record = slot_record(slot);
    copy_image(*record.surface, image);
    record_name(record, name);
    record.width = image.width;
    record.height = image.height;
    record.origin = SlotOrigin::Bitmap;
    return true;
}

bool Display::create_blank_surface(int32_t width, int32_t height, int32_t slot,
                                   Placement placement) {
    if (!valid_slot(slot) || slot_record(slot).surface)
        return false;
    std::unique_ptr<Surface> surface = make_slot_surface(width, height);
    if (!surface)
        return false;
    SurfaceSlot& record = slot_record(slot);
    record.surface = std::move(surface);
    record.name.fill('\0');
    record.width = width;
    record.height = height;
    record.system_memory = placement == Placement::SystemMemory;
    record.origin = SlotOrigin::Blank;
    return true;
}

bool Display::flip(DisplayHost& window) {
    DisplayState& s = display_state();
    if (!s.created)
        return false;
    // The client rectangle is scaled like every other rectangle, so a magnified display shows
    // its magnified pixels one to one instead of stretching the unscaled corner.
    if (s.back && !s.back->lost && s.primary_exists && !s.primary_lost) {
        const ImageView client =
            view_of(*s.back, detail::scaled({0, 0, window.client_width(), window.client_height()}));
        if (client.width > 0 && client.height > 0)
            window.present(client);
    }
    restore_lost_surfaces();
    return true;
}

int Display::restore_lost_surfaces() {
    DisplayState& s = display_state();
    if (!s.primary_exists || !s.back)
        return 0;
    int restored = 0;
    if (s.primary_lost) {
        s.primary_lost = false;
        ++restored;
    }
    // The back buffer comes back without its picture; the next frame that changes anything
    // redraws it.
    if (s.back->lost) {
        s.back->lost = false;
        ++restored;
    }
    return restored + restore_slots();
}

void Display::lose_all_surfaces() {
    DisplayState& s = display_state();
    if (s.primary_exists)
        s.primary_lost = true;
    if (s.back)
        mark_lost(*s.back, Placement::VideoMemory);
    for (SurfaceSlot& record : s.slots)
        if (record.surface)
            mark_lost(*record.surface, record.system_memory ? Placement::SystemMemory
                                                            : Placement::VideoMemory);
}

void Display::release_surface(int32_t slot) {
    if (valid_slot(slot) && slot_record(slot).surface)
        slot_record(slot) = SurfaceSlot{};
}

void Display::release_all_surfaces() {
    for (int32_t n = 0; n < SURFACE_SLOT_COUNT; ++n)
        release_surface(n);
}

void Display::release() {
    release_all_surfaces();
    DisplayState& s = display_state();
    const BitmapDecoder decoder = s.decoder;
    s = DisplayState{};
    s.decoder = decoder;
}

Rect Display::scale_rect(Rect& rect) {
    const int32_t factor = display_state().magnification;
    // Clamped rather than wrapped: a coordinate that far out is off every surface either way.
    const auto times = [factor](int32_t v) {
        const int64_t product = static_cast<int64_t>(v) * factor;
        return static_cast<int32_t>(std::clamp<int64_t>(product, INT32_MIN, INT32_MAX));
    };
    rect = {times(rect.left), times(rect.top), times(rect.right), times(rect.bottom)};
    return rect;
}

bool Display::exists() { return display_state().created; }
int32_t Display::magnification() { return display_state().magnification; }
int32_t Display::client_offset_x() { return display_state().client_offset_x; }
int32_t Display::client_offset_y() { return display_state().client_offset_y; }

const SurfaceSlot* Display::slot(int32_t slot) {
    return valid_slot(slot) ? &slot_record(slot) : nullptr;
}

const Surface* Display::back_buffer() { return display_state().back.get(); }
bool Display::primary_lost() { return display_state().primary_lost; }

} // namespace qv
