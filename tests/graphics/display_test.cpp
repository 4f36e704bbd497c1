// Slots, lifecycle, presenting, loss and restore, magnification.
#include "display_fixture.h"

#include <climits>
#include <cstring>
#include <new>

namespace qv::test {
namespace {

DecodedBitmap solid(int32_t width, int32_t height, uint32_t value) {
    return make_bitmap(width, height, [value](int32_t, int32_t) { return value; });
}

std::string slot_name(int32_t slot) { return Display::slot(slot)->name.data(); }

bool slot_is_all_zero(int32_t slot) {
    const SurfaceSlot* s = Display::slot(slot);
    const std::array<char, SLOT_NAME_SIZE> zero{};
    return s->origin == SlotOrigin::Empty && !s->system_memory && s->name == zero &&
           !s->surface && s->width == 0 && s->height == 0;
}

using SlotTest = DisplayTest;

TEST_F(SlotTest, NumbersOutsideTheTableAreRefusedEverywhere) {
    fake_bitmaps()["BMP_A"] = solid(2, 2, 0x123456);
    for (const int32_t slot : {-1, SURFACE_SLOT_COUNT, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(slot);
        EXPECT_FALSE(Display::load_bitmap("BMP_A", slot, Placement::VideoMemory));
        EXPECT_FALSE(Display::create_blank_surface(2, 2, slot, Placement::VideoMemory));
        EXPECT_FALSE(Display::reload_bitmap("BMP_A", slot));
        EXPECT_EQ(Display::slot(slot), nullptr);
        Display::release_surface(slot);
        Display::fill_surface({0, 0, 2, 2}, 7, slot);
        Display::draw(0, 0, {0, 0, 2, 2}, slot);
        Display::draw_clipped({0, 0, 16, 12}, 0, 0, {0, 0, 2, 2}, slot);
    }
    EXPECT_EQ(back_pixel(0, 0), 0u);
    EXPECT_TRUE(Display::load_bitmap("BMP_A", SURFACE_SLOT_COUNT - 1, Placement::VideoMemory));
}

TEST_F(SlotTest, NamesOfFourteenCharactersLoadAndFifteenAreRefused) {
    const std::string fourteen = "BMP_ABCDEFGHIJ";
    const std::string fifteen = "BMP_ABCDEFGHIJK";
    ASSERT_EQ(fourteen.size(), 14u);
    fake_bitmaps()[fourteen] = solid(2, 2, 1);
    fake_bitmaps()[fifteen] = solid(2, 2, 1);
    EXPECT_FALSE(Display::load_bitmap(fifteen, 1, Placement::VideoMemory));
    EXPECT_TRUE(slot_is_all_zero(1));
    ASSERT_TRUE(Display::load_bitmap(fourteen, 1, Placement::VideoMemory));
    EXPECT_EQ(slot_name(1), fourteen);
    EXPECT_EQ(Display::slot(1)->name[14], '\0');
    EXPECT_FALSE(Display::reload_bitmap(fifteen, 1));
    EXPECT_EQ(slot_name(1), fourteen);
}

TEST_F(SlotTest, LoadingIntoAnOccupiedSlotChangesNothing) {
    fake_bitmaps()["BMP_A"] = solid(3, 2, 0x0000AA);
    fake_bitmaps()["BMP_B"] = solid(5, 5, 0x0000BB);
    ASSERT_TRUE(Display::load_bitmap("BMP_A", 4, Placement::VideoMemory));
    const Surface* before = Display::slot(4)->surface.get();

    EXPECT_FALSE(Display::load_bitmap("BMP_B", 4, Placement::SystemMemory));
    EXPECT_FALSE(Display::create_blank_surface(5, 5, 4, Placement::SystemMemory));

    const SurfaceSlot* s = Display::slot(4);
    EXPECT_EQ(s->surface.get(), before);
    EXPECT_EQ(slot_name(4), "BMP_A");
    EXPECT_EQ(s->width, 3);
    EXPECT_EQ(s->height, 2);
    EXPECT_EQ(s->origin, SlotOrigin::Bitmap);
    EXPECT_FALSE(s->system_memory);
    EXPECT_EQ(slot_pixel(4, 2, 1), 0x0000AAu);
}

TEST_F(SlotTest, FailedLoadsLeaveTheSlotFree) {
    EXPECT_FALSE(Display::load_bitmap("BMP_MISSING", 2, Placement::VideoMemory));
    fake_bitmaps()["BMP_HUGE"] = solid(MAX_SURFACE_SIDE + 1, 1, 1);
    EXPECT_FALSE(Display::load_bitmap("BMP_HUGE", 2, Placement::VideoMemory));
    fake_bitmaps()["BMP_SHORT"] = DecodedBitmap{4, 4, std::vector<uint32_t>(15, 1)};
    EXPECT_FALSE(Display::load_bitmap("BMP_SHORT", 2, Placement::VideoMemory));
    EXPECT_FALSE(Display::create_blank_surface(0, 4, 2, Placement::VideoMemory));
    EXPECT_FALSE(Display::create_blank_surface(4, -1, 2, Placement::VideoMemory));
    EXPECT_TRUE(slot_is_all_zero(2));

    fake_bitmaps()["BMP_A"] = solid(2, 2, 1);
    Display::set_bitmap_decoder(nullptr);
    EXPECT_FALSE(Display::load_bitmap("BMP_A", 2, Placement::VideoMemory));
    Display::set_bitmap_decoder([](std::string_view, DecodedBitmap&) -> bool { throw std::bad_alloc(); });
    EXPECT_FALSE(Display::load_bitmap("BMP_A", 2, Placement::VideoMemory));
    EXPECT_TRUE(slot_is_all_zero(2));
}

TEST_F(SlotTest, BlankSlotsAndReleaseKeepTheRecordRules) {
    ASSERT_TRUE(Display::create_blank_surface(7, 3, 16, Placement::SystemMemory));
    const SurfaceSlot* s = Display::slot(16);
    EXPECT_EQ(s->origin, SlotOrigin::Blank);
    EXPECT_TRUE(s->system_memory);
    EXPECT_EQ(slot_name(16), "");
    EXPECT_EQ(s->width, 7);
    EXPECT_EQ(s->height, 3);
    EXPECT_EQ(s->surface->colour_key, 0u);

    fake_bitmaps()["BMP_A"] = solid(2, 2, 1);
    ASSERT_TRUE(Display::load_bitmap("BMP_A", 63, Placement::VideoMemory));
    Display::release_surface(16);
    EXPECT_TRUE(slot_is_all_zero(16));
    EXPECT_TRUE(Display::create_blank_surface(2, 2, 16, Placement::VideoMemory));
    Display::release_all_surfaces();
    for (int32_t n = 0; n < SURFACE_SLOT_COUNT; ++n)
        EXPECT_TRUE(slot_is_all_zero(n)) << n;
}

TEST_F(SlotTest, ReloadCopiesIntoTheExistingSurfaceAtItsOwnSize) {
    EXPECT_FALSE(Display::reload_bitmap("BMP_SMALL", 5)); // free slot
    fake_bitmaps()["BMP_SMALL"] = solid(2, 1, 0x00CC00);
    ASSERT_TRUE(Display::create_blank_surface(4, 3, 5, Placement::SystemMemory));
    Display::fill_surface({0, 0, 4, 3}, 0x000011, 5);
    const Surface* surface = Display::slot(5)->surface.get();

    EXPECT_FALSE(Display::reload_bitmap("BMP_MISSING", 5));
    ASSERT_TRUE(Display::reload_bitmap("BMP_SMALL", 5));

    const SurfaceSlot* s = Display::slot(5);
    EXPECT_EQ(s->surface.get(), surface);
    EXPECT_EQ(s->origin, SlotOrigin::Bitmap);
    EXPECT_EQ(slot_name(5), "BMP_SMALL");
    EXPECT_EQ(s->width, 2);
    EXPECT_EQ(s->height, 1);
    EXPECT_TRUE(s->system_memory);
    EXPECT_EQ(surface->width, 4);
    EXPECT_EQ(slot_pixel(5, 1, 0), 0x00CC00u);
    EXPECT_EQ(slot_pixel(5, 2, 0), 0x000011u);
    EXPECT_EQ(slot_pixel(5, 0, 1), 0x000011u);
}

TEST(DisplayLifecycle, FlipNeedsACreatedDisplay) {
    Display::release();
    RecordingHost window(4, 4);
    EXPECT_FALSE(Display::flip(window));
    EXPECT_EQ(window.presents, 0);
    EXPECT_FALSE(Display::create_surfaces(4, 4, 1));
    EXPECT_EQ(Display::pixel_value(rgb(1, 2, 3)), PIXEL_VALUE_FAILED);
    EXPECT_EQ(Display::restore_lost_surfaces(), 0);

    ASSERT_TRUE(Display::create());
    EXPECT_FALSE(Display::create());
    EXPECT_TRUE(Display::flip(window)); // no surfaces yet: nothing to show, still a flip
    EXPECT_EQ(window.presents, 0);
    for (const auto& [w, h, m] : {std::tuple{0, 4, 1}, {4, -4, 1}, {4, 4, 0},
                                  {MAX_SURFACE_SIDE + 1, 1, 1}, {MAX_SURFACE_SIDE, 1, 2}})
        EXPECT_FALSE(Display::create_surfaces(w, h, m)) << w << " " << h << " " << m;
    ASSERT_TRUE(Display::create_surfaces(4, 4, 1));
    EXPECT_FALSE(Display::create_surfaces(4, 4, 1));
    Display::release();
    EXPECT_FALSE(Display::exists());
    EXPECT_EQ(Display::back_buffer(), nullptr);
}

TEST_F(DisplayTest, FlipShowsTheClientRectangleOfTheBackBuffer) {
    Display::set_client_offset(3, 40);
    EXPECT_EQ(Display::client_offset_x(), 3);
    EXPECT_EQ(Display::client_offset_y(), 40);
    Display::fill_back({0, 0, 16, 12}, 0x111111);
    Display::fill_back({4, 2, 5, 3}, 0x222222);

    RecordingHost window(6, 5);
    ASSERT_TRUE(Display::flip(window));
    ASSERT_EQ(window.presents, 1);
    EXPECT_EQ(window.shown_width, 6);
    EXPECT_EQ(window.shown_height, 5);
    EXPECT_EQ(window.shown_at(4, 2), 0x222222u);
    EXPECT_EQ(window.shown_at(5, 4), 0x111111u);

    // A client area taller than the back buffer shows what exists, never beyond it.
    RecordingHost tall(20, 30);
    ASSERT_TRUE(Display::flip(tall));
    EXPECT_EQ(tall.shown_width, 16);
    EXPECT_EQ(tall.shown_height, 12);
}

TEST_F(DisplayTest, ALossIsRepairedByTheNextFlip) {
    const auto pattern = [](int32_t x, int32_t y) { return static_cast<uint32_t>(0x010000 * (x + 1) + y); };
    fake_bitmaps()["BMP_A"] = make_bitmap(5, 4, pattern);
    fake_bitmaps()["BMP_B"] = solid(3, 3, 0x00BB00);
    ASSERT_TRUE(Display::load_bitmap("BMP_A", 1, Placement::VideoMemory));
    ASSERT_TRUE(Display::load_bitmap("BMP_B", 9, Placement::VideoMemory));
    ASSERT_TRUE(Display::create_blank_surface(4, 4, SLOT_LOGO, Placement::VideoMemory));
    Display::fill_surface({0, 0, 4, 4}, 0xF0F0F0, SLOT_LOGO);
    ASSERT_TRUE(Display::create_blank_surface(3, 3, 16, Placement::SystemMemory));
    ASSERT_TRUE(Display::create_blank_surface(3, 3, 17, Placement::SystemMemory));
    Display::fill_surface({0, 0, 3, 3}, 0x000016, 16);
    Display::fill_surface({0, 0, 3, 3}, 0x000017, 17);

    Display::lose_all_surfaces();
    EXPECT_TRUE(Display::primary_lost());
    // Until the repair, lost surfaces can be neither drawn from nor drawn on.
    Display::draw(0, 0, {0, 0, 3, 3}, 16);
    Display::fill_back({0, 0, 1, 1}, 0x123456);
    Display::fill_surface({0, 0, 3, 3}, 0x999999, 16);
    EXPECT_EQ(Display::pixel_value(rgb(1, 2, 3)), PIXEL_VALUE_FAILED);
    EXPECT_NE(back_pixel(0, 0), 0x000016u);
    EXPECT_NE(back_pixel(0, 0), 0x123456u);

    RecordingHost window(16, 12);
    ASSERT_TRUE(Display::flip(window));
    EXPECT_EQ(window.presents, 0); // the lost picture is not shown
    EXPECT_FALSE(Display::primary_lost());
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(slot_pixel(1, x, y), pattern(x, y));
    EXPECT_EQ(slot_pixel(9, 2, 2), 0x00BB00u);
    EXPECT_EQ(slot_pixel(SLOT_LOGO, 3, 3), 0u);
    EXPECT_EQ(slot_pixel(16, 1, 1), 0x000016u);
    EXPECT_EQ(slot_pixel(17, 2, 2), 0x000017u);
    EXPECT_EQ(slot_name(1), "BMP_A");
    EXPECT_EQ(Display::restore_lost_surfaces(), 0);

    // Primary, back buffer, three video-memory slots and the two canvases.
    Display::lose_all_surfaces();
    EXPECT_EQ(Display::restore_lost_surfaces(), 7);
    Display::fill_back({0, 0, 16, 12}, 0x333333);
    ASSERT_TRUE(Display::flip(window));
    EXPECT_EQ(window.presents, 1);
    EXPECT_EQ(window.shown_at(15, 11), 0x333333u);
}

TEST_F(DisplayTest, PixelValueIsTheBuffersRgbOrder) {
    EXPECT_EQ(Display::pixel_value(rgb(0x12, 0x34, 0x56)), 0x123456u);
    EXPECT_EQ(Display::pixel_value(rgb(240, 240, 240)), 0xF0F0F0u);
    EXPECT_EQ(Display::pixel_value(rgb(0, 0, 240)), 0x0000F0u);
    EXPECT_EQ(Display::pixel_value(0xFF000000u | rgb(1, 2, 3)), 0x010203u);
    EXPECT_EQ(back_pixel(0, 0), 0u); // reading a colour leaves the buffer alone
}

TEST_F(DisplayTest, MagnificationScalesSurfacesAndEveryRectangle) {
    start(8, 6, 2);
    EXPECT_EQ(Display::back_buffer()->width, 16);
    EXPECT_EQ(Display::back_buffer()->height, 12);
    Rect r{1, -2, 3, 4};
    EXPECT_EQ(Display::scale_rect(r), (Rect{2, -4, 6, 8}));
    EXPECT_EQ(r, (Rect{2, -4, 6, 8}));
    Rect far{INT32_MAX, INT32_MIN, 0, 1};
    EXPECT_EQ(Display::scale_rect(far), (Rect{INT32_MAX, INT32_MIN, 0, 2}));

    // Each bitmap pixel becomes a 2 × 2 block, and copies move whole blocks.
    fake_bitmaps()["BMP_A"] = make_bitmap(2, 2, [](int32_t x, int32_t y) { return static_cast<uint32_t>(1 + x + 2 * y); });
    ASSERT_TRUE(Display::load_bitmap("BMP_A", 1, Placement::VideoMemory));
    EXPECT_EQ(Display::slot(1)->width, 2);
    EXPECT_EQ(Display::slot(1)->surface->width, 4);
    EXPECT_EQ(slot_pixel(1, 3, 1), 2u);
    EXPECT_EQ(slot_pixel(1, 2, 3), 4u);
    Display::draw(1, 1, {1, 0, 2, 2}, 1);
    EXPECT_EQ(back_pixel(1, 1), 0u);
    EXPECT_EQ(back_pixel(2, 2), 2u);
    EXPECT_EQ(back_pixel(3, 3), 2u);
    EXPECT_EQ(back_pixel(3, 4), 4u);
    EXPECT_EQ(back_pixel(4, 2), 0u);
    Display::fill_back({3, 2, 4, 3}, 9);
    EXPECT_EQ(back_pixel(6, 4), 9u);
    EXPECT_EQ(back_pixel(7, 5), 9u);
    EXPECT_EQ(back_pixel(5, 4), 0u);

    RecordingHost window(3, 2);
    ASSERT_TRUE(Display::flip(window));
    EXPECT_EQ(window.shown_width, 6);
    EXPECT_EQ(window.shown_height, 4);
    EXPECT_EQ(window.shown_at(2, 2), 2u);
}

} // namespace
} // namespace qv::test
