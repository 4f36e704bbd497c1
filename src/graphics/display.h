// The display: one back buffer that every panel draws into, 64 numbered surface slots holding
// the panel bitmaps and scratch canvases, and the hand-over of finished frames to a window.
// It knows no windowing system: the platform installs a bitmap decoder and presents frames
// through a DisplayHost.
#pragma once

#include "graphics/rect.h"
#include "graphics/surface.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qv {

constexpr int32_t SURFACE_SLOT_COUNT = 64;

// Slot numbers of the application's surfaces.
constexpr int32_t SLOT_LOGO = 0;
constexpr int32_t SLOT_MONITOR = 1;
constexpr int32_t SLOT_SLIDERFLD = 2;
constexpr int32_t SLOT_SCROLL_H = 3;
constexpr int32_t SLOT_SCROLL_V = 4;
constexpr int32_t SLOT_KEYBOARD = 5;
constexpr int32_t SLOT_VOICESW = 6;
constexpr int32_t SLOT_VOICEVOL = 7;
constexpr int32_t SLOT_SYMBOL = 8;
constexpr int32_t SLOT_PRESET = 9;
constexpr int32_t SLOT_ETCETERA = 10;
constexpr int32_t SLOT_TENKEY = 15;
constexpr int32_t SLOT_WAVE_CANVAS = 16;
constexpr int32_t SLOT_ENVELOPE_CANVAS = 17;

// Resource names are at most 14 characters; the record keeps room for the terminating NUL.
constexpr std::size_t SLOT_NAME_SIZE = 16;
constexpr std::size_t MAX_RESOURCE_NAME_LENGTH = 14;

enum class SlotOrigin : int32_t { Empty = 0, Blank = 1, Bitmap = 2 };

// Where a slot's surface lives. A loss takes every surface away until it is restored, but
// system memory keeps its contents through it; video memory is refilled from the slot's origin.
enum class Placement : int32_t { VideoMemory = 0, SystemMemory = 1 };

// A free slot has no surface and an all-zero record.
struct SurfaceSlot {
    SlotOrigin origin = SlotOrigin::Empty;
    bool system_memory = false;
    std::array<char, SLOT_NAME_SIZE> name{}; // resource name of a bitmap slot
    std::unique_ptr<Surface> surface;
    int32_t width = 0; // logical size, before magnification
    int32_t height = 0;
};

// A decoded bitmap resource: width × height native pixels, rows top to bottom.
struct DecodedBitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes the bitmap resource `name` into `out`; false when there is no such bitmap.
using BitmapDecoder = bool (*)(std::string_view name, DecodedBitmap& out);

// The window the display shows in.
class DisplayHost {
public:
    // Size of the client area in logical pixels.
    virtual int32_t client_width() const = 0;
    virtual int32_t client_height() const = 0;
    // Shows `client_area`, the top-left part of the back buffer that covers the client area.
    // The view is valid only during the call.
    virtual void present(const ImageView& client_area) = 0;

protected:
    ~DisplayHost() = default;
};

// What Display::pixel_value returns when the back buffer cannot be read.
constexpr uint32_t PIXEL_VALUE_FAILED = 0xFFFFFFFFu;

// An RGB colour as Display::pixel_value takes it: 0x00BBGGRR.
constexpr uint32_t rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 |
           static_cast<uint32_t>(blue) << 16;
}

namespace Display {

// Installs the decoder that load_bitmap and reload_bitmap use; it outlives release().
void set_bitmap_decoder(BitmapDecoder decoder);

// Makes the display usable. False when it already exists.
bool create();
// Creates the back buffer of width × height logical pixels, filled black, and the presentation
// surface. False before create(), when surfaces already exist, or for a size or magnification
// the display cannot hold.
bool create_surfaces(int32_t width, int32_t height, int32_t magnification);
// Where the client area sits inside the window's frame. Presenting needs no offset here (the
// host paints in client coordinates); kept for callers that place things by window rectangle.
void set_client_offset(int32_t x, int32_t y);

// Loads the bitmap resource `name` (at most 14 characters) into the free slot `slot`.
bool load_bitmap(std::string_view name, int32_t slot, Placement placement);
// Copies the bitmap `name` into the existing surface of the occupied slot `slot`, at its own
// size in the top-left corner, and records it as the slot's bitmap.
bool reload_bitmap(std::string_view name, int32_t slot);
// Creates a width × height surface in the free slot `slot`; its pixels are not meant to be
// used before the caller fills them.
bool create_blank_surface(int32_t width, int32_t height, int32_t slot, Placement placement);

// Presents the back buffer's client rectangle to `window`, then repairs lost surfaces.
// False only when the display does not exist.
bool flip(DisplayHost& window);
// Restores every lost surface and refills the video-memory slots from their origins (blank:
// black; bitmap: reloaded). Returns how many surfaces were restored.
int restore_lost_surfaces();
// What the platform reports on a display-mode change: every surface is lost until
// restore_lost_surfaces(). Video memory loses its contents; system memory keeps them.
void lose_all_surfaces();

void release_surface(int32_t slot);
void release_all_surfaces();
// Releases everything; the display can be created again afterwards.
void release();

// Multiplies the rectangle by the magnification in place and returns it.
Rect scale_rect(Rect& rect);

// Colour-keyed copy of `source` of `slot` to (x, y) of the back buffer.
void draw(int32_t x, int32_t y, const Rect& source, int32_t slot);
// The same, trimmed to `clip` first.
void draw_clipped(const Rect& clip, int32_t x, int32_t y, const Rect& source, int32_t slot);
void fill_back(const Rect& rect, uint32_t pixel);
void fill_surface(const Rect& rect, uint32_t pixel, int32_t slot);
// The back buffer's native value (0x00RRGGBB) of `colour` (0x00BBGGRR), or PIXEL_VALUE_FAILED
// when there is no readable back buffer.
uint32_t pixel_value(uint32_t colour);

// Inspection, for tests and tools.
bool exists();
int32_t magnification();
int32_t client_offset_x();
int32_t client_offset_y();
const SurfaceSlot* slot(int32_t slot); // null outside 0 .. 63
const Surface* back_buffer();        // null before create_surfaces
bool primary_lost();

} // namespace Display

} // namespace qv
