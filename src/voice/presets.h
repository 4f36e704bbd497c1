// The six wave presets of the edited voice, for coordinate and overtone units, and the
// process-wide random generator that the random presets draw from.
#pragma once

#include <cstdint>

#include "voice/voice.h"

namespace qv {

// Wave points a document unit always holds: coordinate points, or harmonics 1 .. 31.
constexpr int32_t DOCUMENT_WAVE_POINTS = 31;
constexpr int32_t PRESET_COUNT = 6;

// Next value 0 .. 32767 of the process-wide linear congruential generator. Its state starts
// at 1 and is never reseeded, so a run's random waves follow one fixed sequence; how many
// values each draw skips depends on the clock.
int32_t random_value();

// lo + (a value mod (hi - lo + 1)), after discarding (seconds of the local time mod 10)
// values. An empty range gives lo.
int32_t random_int(int32_t lo, int32_t hi);

// The generator's state, and where random_int reads the seconds: for tests, which need a
// fixed clock to predict a draw. A null source restores the local time of day.
uint32_t random_state();
void set_random_seconds_source(int (*source)());

// Preset 0 .. 5 on a coordinate / overtone unit that holds DOCUMENT_WAVE_POINTS points;
// anything else is left alone.
void apply_coordinate_preset(VoiceUnit& unit, int32_t preset);
void apply_overtone_preset(VoiceUnit& unit, int32_t preset);

} // namespace qv
