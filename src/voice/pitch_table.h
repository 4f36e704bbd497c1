// The pitch table: 2^(n/192) for sixteen octaves in 1/16-semitone steps, so that turning a key
// into a playback-rate factor is a lookup, never an exponential.
#pragma once

#include <cstdint>
#include <span>

namespace qv {

constexpr int32_t PITCH_TABLE_SIZE = 3072;    // 16 octaves of 192 steps
constexpr int32_t PITCH_TABLE_KEY_ZERO = 1536; // the entry of key 0, exactly 1.0

// Fills the table. Call before any lookup; further calls (from any thread) do nothing.
void build_pitch_table();

// Playback-rate factor of a key in 1/256 semitone (0 gives 1.0). The key is truncated to its
// 1/16-semitone step and clamped to the table. Safe from any thread once the table is built.
float key_to_frequency(int32_t key);

// The whole table, read-only (all zero before build_pitch_table).
std::span<const float> pitch_table();

// The 192nd root of two found by a decimal digit search, as the table is built from it.
double pitch_step_ratio();

// Signed 32-bit addition and multiplication that wrap like the hardware instead of being
// undefined on overflow.
int32_t wrap_add_i32(int32_t a, int32_t b);
int32_t wrap_mul_i32(int32_t a, int32_t b);

} // namespace qv
