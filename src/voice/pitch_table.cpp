// Built once at start-up by repeated multiplication, so every entry is the float nearest to the
// double the search produced; lookups only index it.
#include "voice/pitch_table.h"

#include <array>
#include <mutex>

namespace qv {

namespace {

constexpr int32_t STEPS_PER_OCTAVE = 192;
constexpr int32_t LOWEST_OCTAVE_EXPONENT = -8; // entry 0 is 2^-8
constexpr int32_t KEY_OFFSET = 0x6000;         // 96 semitones: key 0 lands on entry 1536

std::array<float, PITCH_TABLE_SIZE> table{};
std::once_flag built;

// True if c^192 stays below 2, i.e. c is not yet too big to be the 192nd root of two.
bool below_root(double c) {
    double p = 1.0;
    for (int32_t n = 0; n < STEPS_PER_OCTAVE; ++n) {
        p *= c;
        if (!(p < 2.0))
            return false;
    }
    return true;
}

void fill_table() {
    const double r = pitch_step_ratio();
    for (int32_t i = 0; i < PITCH_TABLE_SIZE; ++i) {
        double v = 1.0;
        for (int32_t o = LOWEST_OCTAVE_EXPONENT + i / STEPS_PER_OCTAVE; o < 0; ++o)
            v /= 2.0;
        for (int32_t o = LOWEST_OCTAVE_EXPONENT + i / STEPS_PER_OCTAVE; o > 0; --o)
            v *= 2.0;
        for (int32_t n = 0; n < i % STEPS_PER_OCTAVE; ++n)
            v *= r;
        table[static_cast<std::size_t>(i)] = static_cast<float>(v);
    }
}

} // namespace

int32_t wrap_add_i32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t wrap_mul_i32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

double pitch_step_ratio() {
    double r = 1.0;
    double s = 1.0;
    for (int place = 0; place <= 16; ++place) {
        int k = 0;
        while (k < 10 && below_root(r + k * s))
            ++k;
        r += (k - 1) * s;
        s *= 0.1;
    }
    return r;
}

void build_pitch_table() { std::call_once(built, fill_table); }

float key_to_frequency(int32_t key) {
    // 32-bit arithmetic: keys far outside the table wrap around before the clamp.
    int32_t index = wrap_mul_i32(wrap_add_i32(key, KEY_OFFSET), 16) / 256;
    if (index < 0)
        index = 0;
    if (index >= PITCH_TABLE_SIZE)
        index = PITCH_TABLE_SIZE - 1;
    return table[static_cast<std::size_t>(index)];
}

std::span<const float> pitch_table() { return table; }

} // namespace qv
