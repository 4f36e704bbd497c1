// The panel bitmaps against the places the panels cut them: every source rectangle lies inside
// its bitmap and shows something, states of one control differ, transparent parts are clear,
// and the files are 16-colour BMPs of the slot sizes with black as palette entry 0.
#include "graphics/logo.h"
#include "graphics/rect.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using qv::Rect;

struct Rgb {
    uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Just enough of a BMP reader for the art: 4-bit, uncompressed, either row order.
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 0;
    uint32_t compression = ~0u;
    std::vector<Rgb> palette;
    std::vector<uint8_t> index; // one palette index per pixel, top row first

    uint8_t at(int32_t x, int32_t y) const {
        return index[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
    }
    Rgb rgb(int32_t x, int32_t y) const { return palette.at(at(x, y)); }
};

uint32_t le(const std::vector<uint8_t>& b, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b.at(at + static_cast<std::size_t>(i));
    return v;
}

bool read_bitmap(const std::string& path, Bitmap& out) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(file), {}};
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return false;
    const uint32_t data = le(b, 10, 4);
    const uint32_t header = le(b, 14, 4);
    out.width = static_cast<int32_t>(le(b, 18, 4));
    const auto raw_height = static_cast<int32_t>(le(b, 22, 4));
    out.height = raw_height < 0 ? -raw_height : raw_height;
    out.bits = static_cast<int32_t>(le(b, 28, 2));
    out.compression = le(b, 30, 4);
    uint32_t colours = le(b, 46, 4);
    if (colours == 0 && out.bits <= 8)
        colours = 1u << out.bits;
    if (out.bits != 4 || out.compression != 0 || out.width <= 0 || colours > 16)
        return false;
    const std::size_t table = 14 + header;
    for (uint32_t i = 0; i < colours; ++i)
        out.palette.push_back({b.at(table + 4 * i + 2), b.at(table + 4 * i + 1), b.at(table + 4 * i)});
    const std::size_t stride = (static_cast<std::size_t>(out.width) * 4 + 31) / 32 * 4;
    if (data + stride * static_cast<std::size_t>(out.height) > b.size())
        return false;
    for (int32_t y = 0; y < out.height; ++y) {
        const int32_t stored = raw_height < 0 ? y : out.height - 1 - y;
        for (int32_t x = 0; x < out.width; ++x) {
            const uint8_t pair = b[data + stride * static_cast<std::size_t>(stored) +
                                   static_cast<std::size_t>(x / 2)];
            out.index.push_back(x % 2 == 0 ? pair >> 4 : pair & 0x0F);
        }
    }
    return true;
}

std::string bitmap_path(const std::string& name) {
    return std::string(QV_SOURCE_DIR) + "/resources/bitmaps/" + name + ".bmp";
}

const Bitmap& bitmap(const std::string& name) {
    static std::map<std::string, Bitmap> cache;
    auto [it, inserted] = cache.try_emplace(name);
    if (inserted && !read_bitmap(bitmap_path(name), it->second))
        it->second = Bitmap{};
    return it->second;
}

bool inside(const Bitmap& bmp, Rect r) {
    return r.left >= 0 && r.top >= 0 && r.right <= bmp.width && r.bottom <= bmp.height &&
           !r.empty();
}

int32_t clear_pixels(const Bitmap& bmp, Rect r) {
    int32_t count = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            count += bmp.rgb(x, y) == Rgb{0, 0, 0} ? 1 : 0;
    return count;
}

bool same_image(const Bitmap& bmp, Rect a, Rect b) {
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x)
            if (!(bmp.rgb(a.left + x, a.top + y) == bmp.rgb(b.left + x, b.top + y)))
                return false;
    return true;
}

// The most frequent colour that is not the colour key.
Rgb dominant(const Bitmap& bmp, Rect r) {
    std::map<uint8_t, int> counts;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            if (!(bmp.rgb(x, y) == Rgb{0, 0, 0}))
                ++counts[bmp.at(x, y)];
    uint8_t best = 0;
    int most = 0;
    for (auto [index, n] : counts)
        if (n > most) {
            best = index;
            most = n;
        }
    return bmp.palette.at(best);
}

struct SlotSize {
    const char* name;
    int32_t width, height;
};

constexpr SlotSize SIZES[] = {
    {"BMP_MONITOR", 232, 200}, {"BMP_SLIDERFLD", 232, 152}, {"BMP_SCROLL_H", 200, 64},
    {"BMP_SCROLL_V", 64, 200}, {"BMP_KEYBOARD", 176, 144},  {"BMP_TENKEY", 136, 112},
    {"BMP_VOICESW", 80, 32},   {"BMP_PRESET", 96, 216},     {"BMP_VOICEVOL", 32, 128},
    {"BMP_SYMBOL", 128, 64},   {"BMP_ETCETERA", 232, 152},
};

TEST(ArtLayout, BitmapsAreSixteenColourBmpsOfTheSlotSizesWithBlackFirst) {
    for (const SlotSize& s : SIZES) {
        SCOPED_TRACE(s.name);
        const Bitmap& bmp = bitmap(s.name);
        ASSERT_EQ(bmp.bits, 4) << "missing, unreadable or not 4-bit uncompressed";
        EXPECT_EQ(bmp.width, s.width);
        EXPECT_EQ(bmp.height, s.height);
        ASSERT_EQ(bmp.palette.size(), 16u);
        EXPECT_EQ(bmp.palette[0], (Rgb{0, 0, 0}));
        // Only entry 0 may be black, or opaque areas would turn transparent when drawn.
        for (std::size_t i = 1; i < bmp.palette.size(); ++i)
            EXPECT_FALSE(bmp.palette[i] == (Rgb{0, 0, 0})) << "entry " << i;
    }
}

TEST(ArtLayout, AllBitmapsShareOnePalette) {
    const Bitmap& first = bitmap(SIZES[0].name);
    for (const SlotSize& s : SIZES)
        EXPECT_EQ(bitmap(s.name).palette, first.palette) << s.name;
}

// Opaque: a background that must cover what lies under it. Drawn: something shows, with
// transparent parts allowed.
enum class Cover { Opaque, Drawn };

struct Source {
    const char* bitmap;
    Rect rect;
    Cover cover;
    const char* what;
};

std::vector<Source> named_sources() {
    std::vector<Source> s = {
        {"BMP_MONITOR", {0, 0, 232, 168}, Cover::Opaque, "monitor frame"},
        {"BMP_MONITOR", {0, 168, 64, 184}, Cover::Opaque, "Coordinate, plain"},
        {"BMP_MONITOR", {64, 168, 128, 184}, Cover::Opaque, "Oscillator, plain"},
        {"BMP_MONITOR", {0, 184, 64, 200}, Cover::Opaque, "Coordinate, selected"},
        {"BMP_MONITOR", {64, 184, 128, 200}, Cover::Opaque, "Oscillator, selected"},
        {"BMP_MONITOR", {128, 168, 192, 184}, Cover::Opaque, "Envelope label"},
        {"BMP_SLIDERFLD", {16, 0, 216, 48}, Cover::Opaque, "two overtone rows"},
        {"BMP_SLIDERFLD", {0, 0, 16, 96}, Cover::Opaque, "list frame strip"},
        {"BMP_SLIDERFLD", {0, 112, 232, 128}, Cover::Opaque, "list bottom edge"},
        {"BMP_SCROLL_V", {0, 48, 16, 176}, Cover::Opaque, "scroll track"},
        {"BMP_SCROLL_V", {16, 48, 32, 176}, Cover::Drawn, "thumb, normal"},
        {"BMP_SCROLL_V", {32, 48, 48, 176}, Cover::Drawn, "thumb, pressed"},
        {"BMP_KEYBOARD", {0, 0, 80, 96}, Cover::Opaque, "octave picture"},
        {"BMP_KEYBOARD", {80, 0, 124, 96}, Cover::Opaque, "lit keys"},
        {"BMP_KEYBOARD", {128, 0, 136, 8}, Cover::Drawn, "reference pointer"},
        {"BMP_KEYBOARD", {160, 0, 176, 96}, Cover::Drawn, "octave highlight"},
        {"BMP_KEYBOARD", {0, 96, 96, 144}, Cover::Opaque, "velocity background"},
        {"BMP_VOICESW", {0, 0, 32, 32}, Cover::Drawn, "switch frame"},
        {"BMP_PRESET", {0, 0, 32, 8}, Cover::Opaque, "preset column top"},
        {"BMP_PRESET", {0, 8, 32, 136}, Cover::Opaque, "preset column middle"},
        {"BMP_PRESET", {0, 136, 32, 216}, Cover::Opaque, "preset column bottom"},
        {"BMP_VOICEVOL", {0, 0, 32, 128}, Cover::Opaque, "voice volume frame"},
        {"BMP_ETCETERA", {0, 0, 232, 24}, Cover::Opaque, "release slider"},
        {"BMP_ETCETERA", {0, 24, 232, 56}, Cover::Opaque, "pan slider"},
        {"BMP_ETCETERA", {0, 56, 232, 88}, Cover::Opaque, "correct slider"},
        {"BMP_ETCETERA", {0, 88, 232, 152}, Cover::Opaque, "two logo plates"},
        {"BMP_SYMBOL", {0, 32, 16, 40}, Cover::Opaque, "clip lamp, green"},
        {"BMP_SYMBOL", {16, 32, 32, 40}, Cover::Opaque, "clip lamp, red"},
        {"BMP_SYMBOL", {48, 0, 88, 16}, Cover::Opaque, "overtone knob"},
        {"BMP_SYMBOL", {88, 0, 128, 16}, Cover::Opaque, "overtone knob, hover"},
        {"BMP_SYMBOL", {72, 40, 76, 48}, Cover::Drawn, "small minus"},
        {"BMP_TENKEY", {80, 96, 88, 104}, Cover::Drawn, "large minus"},
        {"BMP_TENKEY", {112, 96, 136, 104}, Cover::Drawn, "Fps label"},
    };
    for (int32_t state = 0; state < 3; ++state) {
        s.push_back({"BMP_SYMBOL", {16 * state, 16, 16 * state + 16, 29}, Cover::Drawn,
                     "knob, vertical line"});
        s.push_back({"BMP_SYMBOL", {16 * state, 0, 16 * state + 16, 13}, Cover::Drawn,
                     "knob, horizontal line"});
        s.push_back({"BMP_SYMBOL", {8 * state, 40, 8 * state + 8, 48}, Cover::Drawn,
                     "point marker"});
        for (int32_t side = 0; side < 2; ++side)
            s.push_back({"BMP_SCROLL_V", {16 * side, 16 * state, 16 * side + 16, 16 * state + 16},
                         Cover::Opaque, "scroll arrow"});
        for (int32_t unit = 0; unit < 2; ++unit)
            s.push_back({"BMP_VOICESW", {32 + 16 * state, 16 * unit, 48 + 16 * state, 16 + 16 * unit},
                         Cover::Opaque, "A/B button"});
        for (int32_t i = 0; i < 6; ++i)
            s.push_back({"BMP_PRESET", {32 + 16 * state, 16 * i, 48 + 16 * state, 16 * i + 16},
                         Cover::Opaque, "preset button"});
        for (int32_t f = 0; f < 3; ++f) // column 2 ends in four rows without a key
            s.push_back({"BMP_KEYBOARD", {136 + 8 * f, 0, 144 + 8 * f, f == 2 ? 64 : 96},
                         Cover::Opaque, "computer-key letters"});
    }
    for (int32_t d = 0; d < 10; ++d) {
        s.push_back({"BMP_TENKEY", {8 * d, 96, 8 * d + 8, 104}, Cover::Drawn, "large digit"});
        s.push_back({"BMP_SYMBOL", {32 + 4 * d, 40, 36 + 4 * d, 48}, Cover::Drawn, "small digit"});
    }
    return s;
}

TEST(ArtLayout, EverySourceRectangleLiesInsideItsBitmapAndShowsItsPart) {
    for (const Source& s : named_sources()) {
        SCOPED_TRACE(std::string(s.bitmap) + ": " + s.what);
        const Bitmap& bmp = bitmap(s.bitmap);
        ASSERT_TRUE(inside(bmp, s.rect))
            << "(" << s.rect.left << ", " << s.rect.top << ", " << s.rect.right << ", "
            << s.rect.bottom << ") in " << bmp.width << " x " << bmp.height;
        const int32_t clear = clear_pixels(bmp, s.rect);
        if (s.cover == Cover::Opaque)
            EXPECT_EQ(clear, 0) << "transparent holes in a background";
        else
            EXPECT_LT(clear, s.rect.width() * s.rect.height()) << "nothing drawn";
    }
}

struct Group {
    const char* bitmap;
    std::vector<Rect> rects;
    const char* what;
};

TEST(ArtLayout, StatesAndGlyphsOfOneSetDifferFromEachOther) {
    enum { A_B = 9, PRESETS, LARGE, SMALL }; // the groups filled in by the loops below
    std::vector<Group> groups = {
        {"BMP_SYMBOL", {{0, 16, 16, 29}, {16, 16, 32, 29}, {32, 16, 48, 29}}, "slider knobs"},
        {"BMP_SYMBOL", {{0, 0, 16, 13}, {16, 0, 32, 13}, {32, 0, 48, 13}}, "volume knobs"},
        {"BMP_SYMBOL", {{0, 40, 8, 48}, {8, 40, 16, 48}, {16, 40, 24, 48}}, "point markers"},
        // Disabled arrows are the same blank square, so up and down differ only when enabled.
        {"BMP_SCROLL_V", {{0, 0, 16, 16}, {0, 16, 16, 32}, {0, 32, 16, 48}}, "up arrows"},
        {"BMP_SCROLL_V", {{16, 0, 32, 16}, {16, 16, 32, 32}, {16, 32, 32, 48}}, "down arrows"},
        {"BMP_SCROLL_V", {{0, 16, 16, 32}, {16, 16, 32, 32}}, "arrows, normal"},
        {"BMP_SCROLL_V", {{0, 32, 16, 48}, {16, 32, 32, 48}}, "arrows, pressed"},
        {"BMP_MONITOR", {{0, 168, 64, 184}, {64, 168, 128, 184}, {0, 184, 64, 200},
                         {64, 184, 128, 200}, {128, 168, 192, 184}}, "labels"},
        {"BMP_ETCETERA", {{0, 88, 232, 120}, {0, 120, 232, 152}}, "logo plates"},
        {"BMP_VOICESW", {}, "A/B buttons"},
        {"BMP_PRESET", {}, "preset buttons"},
        {"BMP_TENKEY", {}, "large digits"},
        {"BMP_SYMBOL", {}, "small digits"},
    };
    for (int32_t s = 0; s < 3; ++s) {
        for (int32_t u = 0; u < 2; ++u)
            groups[A_B].rects.push_back({32 + 16 * s, 16 * u, 48 + 16 * s, 16 + 16 * u});
        for (int32_t i = 0; i < 6; ++i)
            groups[PRESETS].rects.push_back({32 + 16 * s, 16 * i, 48 + 16 * s, 16 * i + 16});
    }
    for (int32_t d = 0; d < 10; ++d) {
        groups[LARGE].rects.push_back({8 * d, 96, 8 * d + 8, 104});
        groups[SMALL].rects.push_back({32 + 4 * d, 40, 36 + 4 * d, 48});
    }
    groups[LARGE].rects.push_back({80, 96, 88, 104});
    for (const Group& g : groups) {
        const Bitmap& bmp = bitmap(g.bitmap);
        ASSERT_FALSE(bmp.index.empty()) << g.bitmap;
        for (std::size_t a = 0; a < g.rects.size(); ++a)
            for (std::size_t b = a + 1; b < g.rects.size(); ++b)
                EXPECT_FALSE(same_image(bmp, g.rects[a], g.rects[b]))
                    << g.what << " " << a << " and " << b << " look the same";
    }
}

bool is_green(Rgb c) { return c.g > c.r && c.g > c.b; }
bool is_red(Rgb c) { return c.r > c.g && c.r > c.b; }
bool is_blue(Rgb c) { return c.b > c.r && c.b > c.g; }
bool is_white(Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; }

TEST(ArtLayout, ColouredPartsHaveTheirColour) {
    struct Case {
        const char* bitmap;
        Rect rect;
        bool (*colour)(Rgb);
        const char* what;
    };
    const Case cases[] = {
        {"BMP_MONITOR", {16, 24, 216, 152}, is_blue, "wave display"},
        {"BMP_SYMBOL", {0, 32, 16, 40}, is_green, "clip lamp off"},
        {"BMP_SYMBOL", {16, 32, 32, 40}, is_red, "clip lamp on"},
        {"BMP_SYMBOL", {0, 40, 8, 48}, is_blue, "point marker 0"},
        {"BMP_SYMBOL", {8, 40, 16, 48}, is_white, "point marker 1"},
        {"BMP_SYMBOL", {16, 40, 24, 48}, is_red, "point marker 2"},
        {"BMP_SYMBOL", {48, 0, 88, 16}, is_blue, "overtone knob"},
        {"BMP_SYMBOL", {88, 0, 128, 16}, is_green, "overtone knob, hover"},
        {"BMP_KEYBOARD", {128, 0, 136, 8}, is_green, "reference pointer"},
        {"BMP_KEYBOARD", {136, 0, 160, 96}, is_green, "computer-key letters"},
        {"BMP_KEYBOARD", {160, 0, 176, 96}, is_green, "octave highlight"},
        {"BMP_KEYBOARD", {36, 16, 80, 24}, is_blue, "black key row"},
        {"BMP_SCROLL_V", {0, 48, 16, 176}, is_blue, "scroll track"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.colour(dominant(bitmap(c.bitmap), c.rect))) << c.what;
    // Every pixel of the display area is blue, not only most of them.
    const Bitmap& monitor = bitmap("BMP_MONITOR");
    for (int32_t y = 24; y < 152; ++y)
        for (int32_t x = 16; x < 216; ++x)
            ASSERT_TRUE(is_blue(monitor.rgb(x, y))) << x << "," << y;
}

TEST(ArtLayout, TransparentPartsAreClear) {
    // The A/B button fills the hole of the switch frame; the highlight is an outline over the
    // octave strip.
    EXPECT_EQ(clear_pixels(bitmap("BMP_VOICESW"), {8, 8, 24, 24}), 16 * 16);
    EXPECT_EQ(clear_pixels(bitmap("BMP_KEYBOARD"), {162, 2, 174, 94}), 12 * 92);
}

TEST(ArtLayout, LogoHasThirtyNineShapesInsideItsPlateWithRoomForTheBlueSides) {
    ASSERT_EQ(qv::LOGO_RECTS.size(), 39u);
    for (const Rect& r : qv::LOGO_RECTS) {
        EXPECT_FALSE(r.empty());
        EXPECT_GE(r.left - 2, 0);
        EXPECT_LE(r.right + 2, 128);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.bottom, 16);
    }
}

#ifdef QV_ART_PATH
// The committed bitmaps are exactly what the generator draws, so nobody edits one by hand and
// loses the change the next time the art is generated.
TEST(ArtLayout, CommittedBitmapsMatchTheGenerator) {
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("qv-art-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(out);
    const std::string command = std::string("\"") + QV_ART_PATH + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const SlotSize& s : SIZES) {
        std::ifstream made(out / (std::string(s.name) + ".bmp"), std::ios::binary);
        std::ifstream kept(bitmap_path(s.name), std::ios::binary);
        const std::vector<char> a{std::istreambuf_iterator<char>(made), {}};
        const std::vector<char> b{std::istreambuf_iterator<char>(kept), {}};
        EXPECT_FALSE(a.empty()) << s.name;
        EXPECT_EQ(a, b) << s.name << " differs from the generator's; run qv-art resources/bitmaps";
    }
    std::filesystem::remove_all(out);
}
#endif

} // namespace
