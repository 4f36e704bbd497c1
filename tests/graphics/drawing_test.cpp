// Colour-keyed copies, clipping and fills, checked pixel by pixel against a plain model.
#include "display_fixture.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace qv::test {
namespace {

constexpr int32_t BACK_W = 16;
constexpr int32_t BACK_H = 12;
constexpr uint32_t BACKGROUND = 0x404040;

// A 4 × 3 source whose every pixel is distinct, with a transparent (0) pixel at (1, 1).
uint32_t source_pixel(int32_t x, int32_t y) {
    return x == 1 && y == 1 ? 0u : static_cast<uint32_t>(0x100 * (y + 1) + x + 1);
}

// What the back buffer should hold after copying `src` from the source at (x, y), keeping only
// pixels inside the source, the back buffer and the optional clip.
std::vector<uint32_t> model_copy(int64_t x, int64_t y, Rect src, std::optional<Rect> clip) {
    std::vector<uint32_t> out(BACK_W * BACK_H, BACKGROUND);
    // Only source pixels inside the 4 × 3 bitmap can land anywhere.
    for (int64_t sy = std::max(src.top, 0); sy < std::min(src.bottom, 3); ++sy)
        for (int64_t sx = std::max(src.left, 0); sx < std::min(src.right, 4); ++sx) {
            const int64_t tx = x + (sx - src.left);
            const int64_t ty = y + (sy - src.top);
            const bool in_back = tx >= 0 && tx < BACK_W && ty >= 0 && ty < BACK_H;
            const bool in_clip = !clip || (tx >= clip->left && tx < clip->right &&
                                           ty >= clip->top && ty < clip->bottom);
            if (in_back && in_clip) {
                const uint32_t v = source_pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
                if (v != 0)
                    out[static_cast<std::size_t>(ty * BACK_W + tx)] = v;
            }
        }
    return out;
}

std::vector<uint32_t> back_pixels() { return Display::back_buffer()->pixels; }

class DrawTest : public DisplayTest {
protected:
    void SetUp() override {
        start(BACK_W, BACK_H, 1);
        fake_bitmaps()["BMP_SRC"] = make_bitmap(4, 3, source_pixel);
        ASSERT_TRUE(Display::load_bitmap("BMP_SRC", 2, Placement::VideoMemory));
    }
    void clear() { Display::fill_back({0, 0, BACK_W, BACK_H}, BACKGROUND); }
};

struct CopyCase {
    int32_t x;
    int32_t y;
    Rect source;
};

TEST_F(DrawTest, CopiesSkipTheColourKeyAndClipOffEveryEdge) {
    const Rect whole{0, 0, 4, 3};
    const CopyCase cases[] = {
        {5, 4, whole},           // inside
        {-2, 4, whole},          // off the left
        {14, 4, whole},          // off the right
        {5, -2, whole},          // off the top
        {5, 10, whole},          // off the bottom
        {-3, -2, whole},         // off a corner: one pixel left
        {15, 11, whole},         // off the opposite corner
        {-4, 4, whole},          // wholly off the left
        {BACK_W, 4, whole},      // wholly off the right
        {5, BACK_H, whole},      // wholly off the bottom
        {INT32_MIN, INT32_MIN, whole},
        {INT32_MAX, INT32_MAX, whole},
        {INT32_MAX - 1, 0, {0, 0, INT32_MAX, 3}}, // right edge beyond int32
        {5, 4, {-2, -1, 2, 2}},  // source starting off its bitmap
        {5, 4, {2, 1, 9, 9}},    // source ending off its bitmap
        {5, 4, {3, 0, 1, 3}},    // inverted source
        {5, 4, {1, 1, 1, 3}},    // empty source
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y << " source "
                                        << c.source.left << "," << c.source.top << ","
                                        << c.source.right << "," << c.source.bottom);
        clear();
        Display::draw(c.x, c.y, c.source, 2);
        EXPECT_EQ(back_pixels(), model_copy(c.x, c.y, c.source, std::nullopt));
    }
}

TEST_F(DrawTest, ClippedCopiesTrimToTheClipRectangle) {
    const Rect clip{4, 3, 10, 8};
    const Rect whole{0, 0, 4, 3};
    const CopyCase cases[] = {
        {5, 4, whole},    // wholly inside: the same as an unclipped copy
        {6, 5, whole},    // ends exactly on the right and bottom edges: not trimmed
        {4, 3, whole},    // starts exactly on the left and top edges: not trimmed
        {8, 4, whole},    // crosses the right edge
        {2, 4, whole},    // crosses the left edge
        {5, 6, whole},    // crosses the bottom edge
        {5, 1, whole},    // crosses the top edge
        {2, 1, whole},    // crosses a corner
        {-1, 4, whole},   // wholly left of the clip: an inverted source, nothing drawn
        {12, 4, whole},   // wholly right of the clip
        {5, 9, whole},    // wholly below the clip
        {3, 2, {0, 0, 8, 7}}, // wider and taller than the clip, source beyond its bitmap
        {INT32_MIN, INT32_MIN, whole},
        {INT32_MAX, 4, whole},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
        clear();
        Display::draw_clipped(clip, c.x, c.y, c.source, 2);
        EXPECT_EQ(back_pixels(), model_copy(c.x, c.y, c.source, clip));
    }
    // A clip larger than the back buffer still cannot reach outside it.
    clear();
    Display::draw_clipped({-100, -100, 100, 100}, 14, 10, whole, 2);
    EXPECT_EQ(back_pixels(), model_copy(14, 10, whole, std::nullopt));
}

TEST_F(DrawTest, FreeSlotsDrawNothing) {
    clear();
    Display::draw(0, 0, {0, 0, 4, 3}, 3);
    Display::draw_clipped({0, 0, BACK_W, BACK_H}, 0, 0, {0, 0, 4, 3}, 3);
    Display::fill_surface({0, 0, 4, 3}, 1, 3);
    EXPECT_EQ(back_pixels(), std::vector<uint32_t>(BACK_W * BACK_H, BACKGROUND));
}

TEST_F(DrawTest, FillsCoverTheirRectangleInsideTheTarget) {
    struct FillCase {
        Rect rect;
        int32_t x0, y0, x1, y1; // expected covered area, exclusive
    };
    const FillCase cases[] = {
        {{2, 3, 5, 4}, 2, 3, 5, 4},
        {{-5, -5, 2, 1}, 0, 0, 2, 1},
        {{14, 10, 99, 99}, 14, 10, BACK_W, BACK_H},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 0, 0, BACK_W, BACK_H},
        {{5, 5, 3, 8}, 0, 0, 0, 0}, // inverted
        {{5, 5, 5, 8}, 0, 0, 0, 0}, // empty
        {{BACK_W, 0, BACK_W + 4, 4}, 0, 0, 0, 0},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.left << "," << c.rect.top << "," << c.rect.right
                                        << "," << c.rect.bottom);
        clear();
        Display::fill_back(c.rect, 0x0000FF);
        for (int32_t y = 0; y < BACK_H; ++y)
            for (int32_t x = 0; x < BACK_W; ++x) {
                const bool inside = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
                ASSERT_EQ(back_pixel(x, y), inside ? 0x0000FFu : BACKGROUND) << x << "," << y;
            }
    }

    // Filling a slot changes that slot only, trimmed to it.
    Display::fill_surface({3, 2, 9, 9}, 0x00FF00, 2);
    EXPECT_EQ(slot_pixel(2, 3, 2), 0x00FF00u);
    EXPECT_EQ(slot_pixel(2, 2, 2), source_pixel(2, 2));
    EXPECT_EQ(slot_pixel(2, 3, 1), source_pixel(3, 1));
}

} // namespace
} // namespace qv::test
