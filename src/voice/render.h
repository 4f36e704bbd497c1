// Rendering of units into ready samples: one 400-frame cycle of a coordinate or overtone wave
// as 44100 Hz stereo 16-bit PCM, and an envelope table at the output rate.
#pragma once

#include "voice/voice.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

constexpr int32_t WAVE_TABLE_LENGTH = 400; // frames of one cycle: 110.25 Hz at factor 1.0
constexpr int32_t READY_CHANNELS = 2;
constexpr int32_t READY_RATE = 44100;
constexpr int32_t READY_BITS = 16;

// Longest envelope table and release built, in seconds at the output rate. The editor's
// longest envelope (31 steps of 2 s) fits; longer ones from hand-made files are cut here
// instead of asking for gigabytes.
constexpr int32_t ENVELOPE_MAX_SECONDS = 120;
// No output device runs faster; a higher published rate is refused rather than trusted.
constexpr int32_t ENVELOPE_MAX_RATE = 384000;
// Envelope tables of one voice together. A voice file spends about 15 bytes on a unit whose
// table may be ENVELOPE_MAX_SECONDS long, so without a budget a small file could ask for more
// memory than the machine has; the editor's voices need a few megabytes at most.
constexpr std::size_t ENVELOPE_MAX_VOICE_BYTES = std::size_t{64} << 20;

// The wave that the evaluation functions read. `points` is not owned.
struct WaveSource {
    const VoicePoint* points = nullptr;
    int32_t point_count = 0;
    int32_t volume = 0;     // 0 .. 128
    int32_t length = 0;     // evaluation positions per cycle
    int32_t resolution = 0; // the coordinate wave's cycle width
};

// Module-level source for the two evaluation functions below (user-interface thread only).
void set_wave_source(const VoicePoint* points, int32_t point_count, int32_t volume,
                     int32_t length, int32_t resolution);

// Sum of the overtones at position i (0 .. length - 1): harmonic n at amplitude 128 is a sine of
// peak 1/n at full volume. Harmonic number 0 contributes nothing.
double overtone_value(int32_t i);
double overtone_value(const WaveSource& source, int32_t i);

// The coordinate polyline at position i, wrapping to the first point's level at the cycle's
// end; nominally -1 .. 1. No points, or a length of 0 or less, give 0.
double coordinate_value(int32_t i);
double coordinate_value(const WaveSource& source, int32_t i);

// Writes `ready.body` frames of the unit's wave (overtone for WAVE_OVERTONE, else coordinate)
// into the existing `ready.pcm`, interleaved, with 1 or 2 channels of 8 or 16 bits. False, with
// nothing written, if the format is not one of those or the buffer is too short.
bool render_wave_table(const VoiceUnit& unit, ReadySample& ready, int32_t channels, int32_t bits);

// Renders one cycle of a coordinate or overtone unit into a new buffer of WAVE_TABLE_LENGTH
// stereo 16-bit frames, touching nothing shared, so a caller can swap it in under its own lock.
// False for other kinds or when the buffer cannot be allocated (`pcm_out` is then empty).
bool render_unit_wave_table(const VoiceUnit& unit, std::vector<int16_t>& pcm_out);

// Re-renders, in place, the table of every coordinate and overtone unit. A unit whose table has
// not been allocated yet is skipped and makes the result false.
bool update_wave_tables(Voice& voice);

// Builds a unit's envelope table and release length at `rate` into new buffers: an empty table
// without head points, release 0 without a tail point. False (outputs empty) if the envelope is
// malformed (fps 0 or less, a negative step, counts beyond its points), the rate is negative or
// above ENVELOPE_MAX_RATE, or the table cannot be allocated. Tables and releases longer than
// ENVELOPE_MAX_SECONDS are cut to that length.
bool build_unit_envelope(const VoiceUnit& unit, int32_t rate, std::vector<uint8_t>& table_out,
                         int32_t& release_length_out);

// Rebuilds every unit's envelope table and release length at the published output rate. Tables
// beyond ENVELOPE_MAX_VOICE_BYTES in all fail as an allocation failure would. On failure every
// unit is left without a table (length 0) and the result is false.
bool build_envelopes(Voice& voice);

} // namespace qv
