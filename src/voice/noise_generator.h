// The noise generator: synthesises a noise design (up to four layers, each an oscillator with
// frequency and volume modulation, a pan and a three-corner envelope) into PCM.
#pragma once

#include "voice/voice.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

// NoiseOscillator::waveform codes.
constexpr int32_t NOISE_NONE = 0;
constexpr int32_t NOISE_SINE = 1;
constexpr int32_t NOISE_SAW = 2;
constexpr int32_t NOISE_RECT = 3;
constexpr int32_t NOISE_RANDOM = 4;
constexpr int32_t NOISE_SAW2 = 5;
constexpr int32_t NOISE_RECT2 = 6;

constexpr int32_t TABLE_LENGTH = 441;          // one cycle: 100 Hz at 44100 Hz and increment 1
constexpr int32_t RANDOM_TABLE_LENGTH = 44100; // one second of random values
constexpr int32_t NOISE_FULL_SCALE = 32767;

// The generator behind NOISE_RANDOM: a byte-swapped lagged sum of two state words.
struct NoiseRandom {
    int16_t seed_a = 0x4444;
    int32_t seed_b = static_cast<int32_t>(0x8888);
    int16_t next();
};

// The seven waveform tables, indexed by NoiseOscillator::waveform.
struct NoiseTables {
    std::array<std::vector<int16_t>, 7> tables;
};

// Builds the tables, the random one from a fresh NoiseRandom. False when memory runs out.
bool build_noise_tables(NoiseTables& tables);

// Frames a render of `length_44k` samples at `rate` produces (the length is taken as clamped).
int32_t noise_frame_count(int32_t length_44k, int32_t rate);

// Clamps the design in place and replaces `out` with its sound: interleaved PCM, left first,
// 8-bit unsigned or 16-bit signed little-endian. Channels 1 or 2, bits 8 or 16 and a rate of
// 1 .. 44100 are accepted. False (with `out` empty) on bad arguments or when memory runs out.
bool render_noise(std::vector<uint8_t>& out, NoiseDesign& design, int32_t channels, int32_t rate,
                  int32_t bits);

// The same render straight into 16-bit samples (the ready-sample form).
bool render_noise(std::vector<int16_t>& out, NoiseDesign& design, int32_t channels, int32_t rate);

// Reason for the last failed render.
const std::string& noise_render_error();

} // namespace qv
