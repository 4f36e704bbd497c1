// The start-up logo: shapes in light grey with blue sides, on black, centred in the client.
#include "display_fixture.h"

#include "graphics/start_logo.h"

namespace qv::test {
namespace {

constexpr uint32_t GREY = 0xF0F0F0;
constexpr uint32_t BLUE = 0x0000F0;

TEST_F(DisplayTest, StartLogoDrawsGreyShapesWithBlueSidesInTheMiddle) {
    start(200, 40, 1);
    // Two shapes close enough that the second one's blue side runs into the first: the grey of
    // every shape wins over every border. One shape touches the left edge of the plate.
    const Rect shapes[] = {{10, 2, 14, 6}, {15, 3, 17, 5}, {0, 10, 3, 16}};
    draw_start_logo(shapes, 180, 30);

    const SurfaceSlot* logo = Display::slot(SLOT_LOGO);
    ASSERT_NE(logo->surface, nullptr);
    EXPECT_EQ(logo->origin, SlotOrigin::Blank);
    EXPECT_EQ(logo->width, LOGO_WIDTH);
    EXPECT_EQ(logo->height, LOGO_HEIGHT);

    const auto expected = [&](int32_t x, int32_t y) -> uint32_t {
        for (const Rect& r : shapes)
            if (r.contains(x, y))
                return GREY;
        for (const Rect& r : shapes)
            if (Rect{r.left - 2, r.top, r.right + 2, r.bottom}.contains(x, y))
                return BLUE;
        return 0;
    };
    // Copied to (180 / 2 - 64, 30 / 2 - 8) = (26, 7).
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 200; ++x) {
            const bool on_plate = x >= 26 && x < 26 + 128 && y >= 7 && y < 7 + 16;
            ASSERT_EQ(back_pixel(x, y), on_plate ? expected(x - 26, y - 7) : 0u) << x << "," << y;
        }
}

TEST_F(DisplayTest, StartLogoWorksWithItsSlotAlreadyTaken) {
    ASSERT_TRUE(Display::create_blank_surface(LOGO_WIDTH, LOGO_HEIGHT, SLOT_LOGO,
                                              Placement::VideoMemory));
    Display::fill_surface({0, 0, LOGO_WIDTH, LOGO_HEIGHT}, 0x123456, SLOT_LOGO);
    const Rect shape[] = {{60, 4, 68, 12}};
    draw_start_logo(shape, 16, 12);
    // The plate is cleared to black first, so only the shape and its border remain; the 16 × 12
    // client shows the plate's middle.
    EXPECT_EQ(slot_pixel(SLOT_LOGO, 0, 0), 0u);
    EXPECT_EQ(slot_pixel(SLOT_LOGO, 64, 8), GREY);
    EXPECT_EQ(slot_pixel(SLOT_LOGO, 58, 8), BLUE);
    EXPECT_EQ(back_pixel(8, 6), GREY);   // plate (64, 8) lands at (8 - 64 + 64, 6 - 8 + 8)
    EXPECT_EQ(back_pixel(2, 6), BLUE);
    EXPECT_EQ(back_pixel(0, 0), 0u);
}

} // namespace
} // namespace qv::test
