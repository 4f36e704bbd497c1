// Presenting frames in the canvas widget.
#include "platform/display_canvas.h"

#include "qt_app.h"

#include <gtest/gtest.h>

#include <QPixmap>

namespace qv::test {
namespace {

// A frame with a one-pixel checker in its top-left corner and two flat areas, so any
// smoothing or offset shows.
void draw_test_frame() {
    Display::fill_back({0, 0, 64, 48}, 0x102030);
    Display::fill_back({10, 5, 30, 15}, 0xE0C000);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            if ((x + y) % 2 == 0)
                Display::fill_back({x, y, x + 1, y + 1}, 0xFFFFFF);
}

uint32_t expected_at(int32_t x, int32_t y) {
    if (x < 4 && y < 4)
        return (x + y) % 2 == 0 ? 0xFFFFFFu : 0x102030u;
    if (x >= 10 && x < 30 && y >= 5 && y < 15)
        return 0xE0C000u;
    return 0x102030u;
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        qt_app();
        Display::release();
        ASSERT_TRUE(Display::create());
        ASSERT_TRUE(Display::create_surfaces(64, 48, 1));
    }
    void TearDown() override { Display::release(); }
};

TEST_F(CanvasTest, FlipShowsTheClientAreaPixelForPixel) {
    platform::DisplayCanvas canvas;
    canvas.resize(40, 20);
    draw_test_frame();
    ASSERT_TRUE(Display::flip(canvas));
    ASSERT_EQ(canvas.frame().size(), QSize(40, 20));

    // The frame survives the next drawing: the canvas repaints what was presented.
    Display::fill_back({0, 0, 64, 48}, 0);
    const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = shown.devicePixelRatio();
    // A scaled screen must really be scaled, or this run proves nothing about crispness.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        ASSERT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }
    ASSERT_EQ(shown.width(), qRound(40 * ratio));
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const auto logical_x = static_cast<int32_t>(x / ratio);
            const auto logical_y = static_cast<int32_t>(y / ratio);
            ASSERT_EQ(shown.pixel(x, y) & 0xFFFFFFu, expected_at(logical_x, logical_y))
                << x << "," << y << " at ratio " << ratio;
        }
}

TEST_F(CanvasTest, AreaBeyondTheFrameIsBlack) {
    platform::DisplayCanvas canvas;
    canvas.resize(80, 30); // wider than the back buffer
    draw_test_frame();
    ASSERT_TRUE(Display::flip(canvas));
    EXPECT_EQ(canvas.frame().width(), 64);
    const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = shown.devicePixelRatio();
    EXPECT_EQ(shown.pixel(qRound(70 * ratio), qRound(10 * ratio)) & 0xFFFFFFu, 0u);
    EXPECT_EQ(shown.pixel(qRound(20 * ratio), qRound(10 * ratio)) & 0xFFFFFFu, 0xE0C000u);
}

} // namespace
} // namespace qv::test
