// Decoding bitmaps: a hand-made 4-bit BMP in a temporary folder, and the embedded artwork.
#include "platform/bitmap_resources.h"

#include "graphics/panel_bitmaps.h"
#include "qt_app.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <cstdint>

namespace qv::test {
namespace {

void put_u16(QByteArray& b, uint32_t v) {
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
}
void put_u32(QByteArray& b, uint32_t v) {
    put_u16(b, v & 0xFFFF);
    put_u16(b, v >> 16);
}

struct Colour {
    uint8_t r, g, b;
};

// A 16-colour BMP of width × height; `index(x, y)` is the palette entry of pixel (x, y), top
// row first. Rows are stored bottom-up and padded to 4 bytes, as the format demands.
template <class Index>
QByteArray make_bmp4(int32_t width, int32_t height, const std::array<Colour, 16>& palette,
                     Index index) {
    const uint32_t row_bytes = ((static_cast<uint32_t>(width) * 4 + 31) / 32) * 4;
    const uint32_t data_offset = 14 + 40 + 16 * 4;
    QByteArray b;
    b.append("BM");
    put_u32(b, data_offset + row_bytes * static_cast<uint32_t>(height));
    put_u32(b, 0);
    put_u32(b, data_offset);
    put_u32(b, 40);
    put_u32(b, static_cast<uint32_t>(width));
    put_u32(b, static_cast<uint32_t>(height));
    put_u16(b, 1);
    put_u16(b, 4);
    put_u32(b, 0); // no compression
    put_u32(b, row_bytes * static_cast<uint32_t>(height));
    put_u32(b, 2835);
    put_u32(b, 2835);
    put_u32(b, 16);
    put_u32(b, 0);
    for (const Colour& c : palette) {
        b.append(static_cast<char>(c.b));
        b.append(static_cast<char>(c.g));
        b.append(static_cast<char>(c.r));
        b.append('\0');
    }
    for (int32_t y = height - 1; y >= 0; --y) {
        QByteArray row(static_cast<qsizetype>(row_bytes), '\0');
        for (int32_t x = 0; x < width; ++x) {
            const auto nibble = static_cast<uint8_t>(index(x, y) & 0xF);
            auto& byte = reinterpret_cast<uint8_t&>(row[x / 2]);
            byte |= x % 2 == 0 ? static_cast<uint8_t>(nibble << 4) : nibble;
        }
        b.append(row);
    }
    return b;
}

bool write_file(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

const std::array<Colour, 16> PALETTE{{{0, 0, 0},
                                      {255, 0, 0},
                                      {0, 128, 255},
                                      {16, 32, 48},
                                      {255, 255, 255}}};

// Entries 0 .. 4 in a pattern that tells rows and columns apart.
int pattern(int32_t x, int32_t y) { return (x + 2 * y) % 5; }

uint32_t native(const Colour& c) {
    return static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b;
}

class BitmapFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        qt_app();
        ASSERT_TRUE(dir.isValid());
        platform::set_bitmap_folder(dir.path());
    }
    void TearDown() override {
        platform::set_bitmap_folder(QStringLiteral(":/bitmaps"));
        Display::release();
    }
    QTemporaryDir dir;
};

TEST_F(BitmapFolderTest, FourBitBitmapsDecodeToNativePixels) {
    // An odd width exercises the half-used last byte and the row padding.
    ASSERT_TRUE(write_file(dir.filePath("BMP_TEST.bmp"), make_bmp4(7, 3, PALETTE, pattern)));
    DecodedBitmap bitmap;
    ASSERT_TRUE(platform::decode_bitmap("BMP_TEST", bitmap));
    ASSERT_EQ(bitmap.width, 7);
    ASSERT_EQ(bitmap.height, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x)
            EXPECT_EQ(bitmap.pixels[static_cast<std::size_t>(y * 7 + x)],
                      native(PALETTE[static_cast<std::size_t>(pattern(x, y))]))
                << x << "," << y;
}

TEST_F(BitmapFolderTest, DecodedBitmapsLoadIntoSlotsWithBlackTransparent) {
    ASSERT_TRUE(write_file(dir.filePath("BMP_TEST.bmp"), make_bmp4(7, 3, PALETTE, pattern)));
    platform::install_bitmap_decoder();
    ASSERT_TRUE(Display::create());
    ASSERT_TRUE(Display::create_surfaces(8, 4, 1));
    ASSERT_TRUE(Display::load_bitmap("BMP_TEST", SLOT_SYMBOL, Placement::VideoMemory));
    Display::fill_back({0, 0, 8, 4}, 0x777777);
    Display::draw(1, 1, {0, 0, 7, 3}, SLOT_SYMBOL);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x) {
            const int entry = pattern(x, y);
            EXPECT_EQ(Display::back_buffer()->at(x + 1, y + 1),
                      entry == 0 ? 0x777777u : native(PALETTE[static_cast<std::size_t>(entry)]));
        }
}

TEST_F(BitmapFolderTest, MissingBrokenAndStrangeNamesAreRefused) {
    const QByteArray good = make_bmp4(4, 4, PALETTE, pattern);
    ASSERT_TRUE(write_file(dir.filePath("BMP_CUT.bmp"), good.left(20)));
    ASSERT_TRUE(write_file(dir.filePath("BMP_JUNK.bmp"), QByteArray(200, 'x')));
    ASSERT_TRUE(write_file(dir.filePath("BMP_GOOD.bmp"), good));
    DecodedBitmap bitmap;
    EXPECT_TRUE(platform::decode_bitmap("BMP_GOOD", bitmap));
    for (const char* name : {"BMP_NONE", "BMP_CUT", "BMP_JUNK", "", "../BMP_GOOD", "BMP_GOOD.bmp",
                             "BMP GOOD", "BMP_GOOD/"}) {
        DecodedBitmap refused;
        EXPECT_FALSE(platform::decode_bitmap(name, refused)) << name;
        EXPECT_EQ(refused.pixels.size(), 0u) << name;
    }
}

} // namespace
} // namespace qv::test

namespace qv::test {
namespace {

TEST(EmbeddedBitmaps, EveryPanelBitmapLoadsAtItsSlotSize) {
    qt_app();
    platform::set_bitmap_folder(QStringLiteral(":/bitmaps"));
    platform::install_bitmap_decoder();
    Display::release();
    ASSERT_TRUE(Display::create());
    ASSERT_TRUE(Display::create_surfaces(592, 288, 1));
    load_panel_surfaces();
    for (const PanelBitmap& b : PANEL_BITMAPS) {
        SCOPED_TRACE(std::string(b.name));
        const SurfaceSlot* s = Display::slot(b.slot);
        ASSERT_NE(s->surface, nullptr);
        EXPECT_EQ(std::string(s->name.data()), b.name);
        EXPECT_EQ(s->width, b.width);
        EXPECT_EQ(s->height, b.height);
        EXPECT_FALSE(s->system_memory);
    }
    for (const int32_t canvas : {SLOT_WAVE_CANVAS, SLOT_ENVELOPE_CANVAS}) {
        const SurfaceSlot* s = Display::slot(canvas);
        ASSERT_NE(s->surface, nullptr);
        EXPECT_EQ(s->origin, SlotOrigin::Blank);
        EXPECT_TRUE(s->system_memory);
        EXPECT_EQ(s->width, CANVAS_WIDTH);
        EXPECT_EQ(s->height, CANVAS_HEIGHT);
    }
    Display::release();
}

} // namespace
} // namespace qv::test
