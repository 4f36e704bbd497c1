// Numbers from digit glyphs: each glyph of the fake bitmaps is one flat colour, so a drawn
// number reads back cell by cell as text.
#include "display_fixture.h"

#include "graphics/numbers.h"

#include <climits>
#include <string>

namespace qv::test {
namespace {

constexpr uint32_t LARGE_BASE = 0x100;  // large digit d is LARGE_BASE + d
constexpr uint32_t LARGE_MINUS = 0x2FF;
constexpr uint32_t SMALL_BASE = 0x300;
constexpr uint32_t SMALL_MINUS = 0x3FF;
constexpr uint32_t ELSEWHERE = 0x777;   // any pixel outside the glyph rows

uint32_t tenkey_pixel(int32_t x, int32_t y) {
    if (y < 96 || y >= 104 || x >= 88)
        return ELSEWHERE;
    return x >= 80 ? LARGE_MINUS : LARGE_BASE + static_cast<uint32_t>(x / 8);
}

uint32_t symbol_pixel(int32_t x, int32_t y) {
    if (y < 40 || y >= 48 || x < 32 || x >= 76)
        return ELSEWHERE;
    return x >= 72 ? SMALL_MINUS : SMALL_BASE + static_cast<uint32_t>((x - 32) / 4);
}

// The back buffer from x as `cells` cells of `width` × 8 pixels at y: a digit, '-', ' ' for
// an untouched cell, '#' for a cell that is not one whole glyph.
std::string read_cells(int32_t x, int32_t y, int32_t cells, int32_t width) {
    std::string text;
    for (int32_t c = 0; c < cells; ++c) {
        const int32_t left = x + c * width;
        const uint32_t v = back_pixel(left, y);
        bool whole = true;
        for (int32_t dy = 0; dy < 8; ++dy)
            for (int32_t dx = 0; dx < width; ++dx)
                whole = whole && back_pixel(left + dx, y + dy) == v;
        if (!whole)
            text += '#';
        else if (v == 0)
            text += ' ';
        else if (v == LARGE_MINUS || v == SMALL_MINUS)
            text += '-';
        else if (v >= LARGE_BASE && v < LARGE_BASE + 10)
            text += static_cast<char>('0' + (v - LARGE_BASE));
        else if (v >= SMALL_BASE && v < SMALL_BASE + 10)
            text += static_cast<char>('0' + (v - SMALL_BASE));
        else
            text += '?';
    }
    return text;
}

class NumberTest : public DisplayTest {
protected:
    void SetUp() override {
        start(160, 16, 1);
        fake_bitmaps()["BMP_TENKEY"] = make_bitmap(136, 112, tenkey_pixel);
        fake_bitmaps()["BMP_SYMBOL"] = make_bitmap(128, 64, symbol_pixel);
        ASSERT_TRUE(Display::load_bitmap("BMP_TENKEY", SLOT_TENKEY, Placement::VideoMemory));
        ASSERT_TRUE(Display::load_bitmap("BMP_SYMBOL", SLOT_SYMBOL, Placement::VideoMemory));
    }
    void clear() { Display::fill_back({0, 0, 160, 16}, 0); }
};

constexpr Rect EVERYWHERE{0, 0, 160, 16};

TEST_F(NumberTest, LargeNumbersAreRightAlignedWithTheSignBeforeTheFirstDigit) {
    struct Case {
        int32_t value;
        int32_t digits;
        const char* cells; // the cell left of x, then the number's cells
    };
    const Case cases[] = {
        {7, 3, "   7"},
        {0, 3, "   0"},
        {105, 3, " 105"},
        {1000, 3, " 999"},
        {-5, 2, " -5"},
        {-12, 2, "-12"},
        {-7, 3, "  -7"},
        {-1000, 3, "-999"},
        {42, 2 + 16, " 42"}, // only the low four bits count
        {INT32_MAX, 6, " 999999"},
        {INT32_MIN, 6, "-999999"},
        {INT32_MIN, 10, "-2147483648"},
        {INT32_MAX, 12, "   2147483647"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " in " << c.digits);
        clear();
        draw_number(EVERYWHERE, 16, 4, c.value, c.digits);
        const auto cells = static_cast<int32_t>(std::string(c.cells).size());
        EXPECT_EQ(read_cells(8, 4, cells, 8), c.cells);
        EXPECT_EQ(read_cells(8 + cells * 8, 4, 2, 8), "  "); // nothing beyond the cells
    }
}

TEST_F(NumberTest, NoCellsDrawNothing) {
    for (const int32_t digits : {0, 16, 32}) {
        clear();
        draw_number(EVERYWHERE, 16, 4, 123, digits);
        EXPECT_EQ(read_cells(0, 4, 20, 8), std::string(20, ' ')) << digits;
    }
}

TEST_F(NumberTest, LargeNumbersAreTrimmedToTheClip) {
    // The clip starts at x: the sign in the cell left of x disappears.
    draw_number({16, 0, 160, 16}, 16, 4, -12, 2);
    EXPECT_EQ(read_cells(8, 4, 3, 8), " 12");

    // A clip through the middle of a glyph keeps exactly the part inside it.
    clear();
    draw_number({36, 0, 160, 6}, 24, 2, 58, 2);
    for (int32_t y = 2; y < 10; ++y)
        for (int32_t x = 24; x < 40; ++x) {
            const bool inside = x >= 36 && y < 6;
            EXPECT_EQ(back_pixel(x, y), inside ? LARGE_BASE + 8 : 0u) << x << "," << y;
        }
}

TEST_F(NumberTest, SmallNumbersUseThreeNarrowCellsAndTheSmallMinus) {
    struct Case {
        int32_t value;
        const char* cells; // the cell left of x, then the three cells
    };
    const Case cases[] = {
        {7, "   7"},     {0, "   0"},      {105, " 105"},   {1000, " 999"},
        {-7, "  -7"},    {-128, "-128"},   {-40, " -40"},   {-5000, "-999"},
        {INT32_MIN, "-999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        clear();
        draw_small_number(20, 4, c.value);
        EXPECT_EQ(read_cells(16, 4, 4, 4), c.cells);
        EXPECT_EQ(read_cells(12, 4, 1, 4) + read_cells(32, 4, 1, 4), "  ");
    }
}

} // namespace
} // namespace qv::test
