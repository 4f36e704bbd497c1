// Shared fixture of the graphics tests: bitmaps made in memory, a window that records what it
// was shown, and a display that starts fresh for every test.
#pragma once

#include "graphics/display.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace qv::test {

// Bitmaps the fake decoder knows, by resource name.
inline std::map<std::string, DecodedBitmap>& fake_bitmaps() {
    static std::map<std::string, DecodedBitmap> bitmaps;
    return bitmaps;
}

inline bool decode_fake(std::string_view name, DecodedBitmap& out) {
    const auto found = fake_bitmaps().find(std::string(name));
    if (found == fake_bitmaps().end())
        return false;
    out = found->second;
    return true;
}

// A width × height bitmap whose pixel (x, y) is pixel(x, y).
template <class PixelAt>
DecodedBitmap make_bitmap(int32_t width, int32_t height, PixelAt pixel) {
    DecodedBitmap bitmap{width, height, {}};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bitmap.pixels.push_back(pixel(x, y));
    return bitmap;
}

// A window of a fixed client size that keeps a copy of the last picture it was shown.
class RecordingHost final : public DisplayHost {
public:
    RecordingHost(int32_t width, int32_t height) : width_(width), height_(height) {}
    int32_t client_width() const override { return width_; }
    int32_t client_height() const override { return height_; }
    void present(const ImageView& area) override {
        ++presents;
        shown_width = area.width;
        shown_height = area.height;
        shown.clear();
        for (int32_t y = 0; y < area.height; ++y)
            for (int32_t x = 0; x < area.width; ++x)
                shown.push_back(area.at(x, y));
    }
    uint32_t shown_at(int32_t x, int32_t y) const {
        return shown[static_cast<std::size_t>(y * shown_width + x)];
    }

    int presents = 0;
    int32_t shown_width = 0;
    int32_t shown_height = 0;
    std::vector<uint32_t> shown;

private:
    int32_t width_;
    int32_t height_;
};

inline uint32_t back_pixel(int32_t x, int32_t y) { return Display::back_buffer()->at(x, y); }
inline uint32_t slot_pixel(int32_t slot, int32_t x, int32_t y) {
    return Display::slot(slot)->surface->at(x, y);
}

// A created display with a back_width × back_height black back buffer and the fake decoder.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { start(16, 12, 1); }
    void TearDown() override {
        Display::release();
        fake_bitmaps().clear();
    }
    void start(int32_t back_width, int32_t back_height, int32_t magnification) {
        Display::release();
        Display::set_bitmap_decoder(decode_fake);
        ASSERT_TRUE(Display::create());
        ASSERT_TRUE(Display::create_surfaces(back_width, back_height, magnification));
    }
};

} // namespace qv::test
