// Wave presets: sine, triangle, sawtooth, square, random and invert, in a coordinate and an
// overtone flavour.
#include "voice/presets.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace qv {

namespace {

uint32_t generator_state = 1;
int (*seconds_source)() = nullptr;

int local_seconds() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (!localtime_r(&now, &parts))
        return 0;
    return parts.tm_sec;
}

// Amplitudes loaded from a file can be any 32-bit value; negating the lowest one wraps.
int32_t negate_wrapped(int32_t value) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

bool holds_document_points(const VoiceUnit& unit) {
    return unit.wave.points.size() >= static_cast<std::size_t>(DOCUMENT_WAVE_POINTS);
}

void set_points(VoiceUnit& unit, std::initializer_list<VoicePoint> points, int32_t count) {
    for (VoicePoint& p : unit.wave.points)
        p.y = 0; // clearing keeps every x
    int32_t index = 1;
    for (const VoicePoint& p : points)
        unit.wave.points[static_cast<std::size_t>(index++)] = p;
    unit.wave.point_count = count;
}

// Random polyline: x values drawn first for each point, then sorted; a stable bubble sort so
// equal x values keep their drawing order.
void random_coordinates(VoiceUnit& unit) {
    std::vector<VoicePoint>& points = unit.wave.points;
    const int32_t count = random_int(1, 30);
    unit.wave.point_count = count;
    for (int32_t j = 1; j < count; ++j) {
        points[static_cast<std::size_t>(j)].x = random_int(1, 199);
        points[static_cast<std::size_t>(j)].y = random_int(-100, 100);
    }
    for (int32_t pass = 1; pass < count; ++pass)
        for (int32_t j = 1; j + 1 < count; ++j)
            if (points[static_cast<std::size_t>(j)].x > points[static_cast<std::size_t>(j + 1)].x)
                std::swap(points[static_cast<std::size_t>(j)],
                          points[static_cast<std::size_t>(j + 1)]);
}

// Odd harmonics falling by a third with alternating sign: 128, -42, 14, -4, 1, 0, ...
void triangle_overtones(std::vector<VoicePoint>& points) {
    float level = 128.0f;
    int32_t sign = 1;
    for (std::size_t j = 0; j < static_cast<std::size_t>(DOCUMENT_WAVE_POINTS); ++j) {
        if (j % 2 == 1) {
            points[j].y = 0;
            continue;
        }
        points[j].y = sign * static_cast<int32_t>(level);
        level = level / 3.0f;
        sign = -sign;
    }
}

} // namespace

int32_t random_value() {
    generator_state = generator_state * 214013u + 2531011u;
    return static_cast<int32_t>((generator_state >> 16) & 0x7FFFu);
}

int32_t random_int(int32_t lo, int32_t hi) {
    const int64_t range = static_cast<int64_t>(hi) - lo + 1;
    const int seconds = seconds_source ? seconds_source() : local_seconds();
    for (int skip = ((seconds % 10) + 10) % 10; skip > 0; --skip)
        (void)random_value();
    const int32_t value = random_value();
    if (range <= 0)
        return lo;
    return static_cast<int32_t>(lo + value % range);
}

uint32_t random_state() { return generator_state; }

void set_random_seconds_source(int (*source)()) { seconds_source = source; }

void apply_coordinate_preset(VoiceUnit& unit, int32_t preset) {
    if (!holds_document_points(unit) || preset < 0 || preset >= PRESET_COUNT)
        return;
    if (preset != 5)
        unit.volume = 64;
    switch (preset) {
    case 0: // sine-like
        set_points(unit, {{25, 52}, {50, 64}, {75, 52}, {125, -52}, {150, -64}, {175, -52}}, 7);
        break;
    case 1: // triangle
        set_points(unit, {{50, 64}, {150, -64}}, 3);
        break;
    case 2: // sawtooth
        set_points(unit, {{1, 32}, {199, -32}}, 3);
        break;
    case 3: // square
        set_points(unit, {{1, 32}, {99, 32}, {100, -32}, {199, -32}}, 5);
        break;
    case 4:
        random_coordinates(unit);
        break;
    default: // invert
        for (VoicePoint& p : unit.wave.points)
            p.y = negate_wrapped(p.y);
        break;
    }
}

void apply_overtone_preset(VoiceUnit& unit, int32_t preset) {
    if (!holds_document_points(unit) || preset < 0 || preset >= PRESET_COUNT)
        return;
    std::vector<VoicePoint>& points = unit.wave.points;
    const std::size_t all = static_cast<std::size_t>(DOCUMENT_WAVE_POINTS);
    switch (preset) {
    case 0: { // sine
        unit.volume = 32;
        points[0].y = 128;
        const std::size_t used = static_cast<std::size_t>(
            std::min(std::max(unit.wave.point_count, 1), DOCUMENT_WAVE_POINTS));
        for (std::size_t j = 1; j < used; ++j)
            points[j].y = 0;
        break;
    }
    case 1:
        unit.volume = 28;
        triangle_overtones(points);
        break;
    case 2: // sawtooth: every harmonic, the 1/n fall is part of rendering
        unit.volume = 16;
        for (std::size_t j = 0; j < all; ++j)
            points[j].y = 128;
        break;
    case 3: // square
        unit.volume = 24;
        for (std::size_t j = 0; j < all; ++j)
            points[j].y = j % 2 == 0 ? 128 : 0;
        break;
    case 4: {
        unit.volume = 28;
        const int32_t n = random_int(1, 30);
        for (std::size_t j = 0; j < all; ++j)
            points[j].y = static_cast<int32_t>(j) < n ? random_int(-128, 128) : 0;
        break;
    }
    default: // invert
        for (std::size_t j = 0; j < all; ++j)
            points[j].y = negate_wrapped(points[j].y);
        break;
    }
}

} // namespace qv
