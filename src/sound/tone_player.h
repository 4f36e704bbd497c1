// The tone player: a fixed table of sounding notes that walk their voices' ready samples and
// are added into every region the output stream hands over.
#pragma once

#include "voice/voice.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qv {

constexpr int32_t TONE_UNIT_MAX = 2;   // a tone plays at most the first two units of a voice
constexpr int32_t DELAY_RING_LENGTH = 64;
constexpr int32_t TONE_SLOT_MAX = 64;  // more slots than any caller asks for; bounds the mix sum
constexpr int32_t DEFAULT_VELOCITY = 104;
constexpr int32_t CENTRE_PAN = 64;

// One unit of a sounding tone. The first fields describe the ready sample it plays; the tone
// owns none of its data. `source` is the ready sample the tone was started from, so that a swap
// of that record can move the tone onto the fresh buffers.
struct ToneUnit {
    int32_t head = 0;
    int32_t body = 0; // frames played and looped; never more than the PCM holds
    int32_t tail = 0;
    const int16_t* pcm = nullptr;            // 44100 Hz stereo frames, left first
    const uint8_t* envelope_table = nullptr; // volume per output frame, 128 = full
    int32_t envelope_length = 0;             // never more than the table holds
    int32_t release_length = 0;
    double position = 0.0;
    float step = 0.0f; // frames per output frame at frequency 1.0 and rate ratio 1
    int32_t envelope_volume = 0;
    int32_t playing = 0;
    int32_t release_counter = 0;
    int32_t release_start = 0;
    int32_t envelope_pos = 0;
    const ReadySample* source = nullptr;
};

struct ActiveTone {
    int32_t key_held = 0;
    int32_t active = 0;
    uint8_t mode = 0; // nonzero: units repeat their body; 0: each plays it once
    int32_t id = 0;
    int32_t pan_volume[2] = {0, 0}; // left, right; 0 .. 64
    int32_t pan_delay[2] = {0, 0};  // output frames, 0 .. 63
    int32_t delay_ring[2][DELAY_RING_LENGTH] = {};
    int32_t velocity = 0;
    float frequency = 0.0f;
    int32_t release_frames = 0;
    int32_t unit_count = 0;
    ToneUnit units[TONE_UNIT_MAX];
};

enum class ToneStop { Release, Immediate };

// Receives the line written for each started note. Called on the caller's thread, outside the
// tone lock.
using ToneDebugSink = void (*)(std::string_view line);

namespace TonePlayer {

// Sets the player up for an output format: channels 1 or 2, bits 8 or 16, rate 100 .. 44100
// (so that 44100 / rate and rate / 100 are both at least 1), 1 .. TONE_SLOT_MAX slots.
// Fails when already set up (and tears the player down), on an unsupported format, or when
// memory runs out.
bool initialize(int32_t channels, int32_t rate, int32_t bits, int32_t slot_count);
void release();
bool is_set_up();

// Starts a note of `voice` (its ready samples must be current) and returns its id, or -1 when
// the player is not set up or every slot is busy. Only the low byte of `mode` counts. -1 for
// `vpan`/`tpan` means centre (64) and for `vel` 104; other values are held to 0 .. 128.
// The tone keeps the addresses of `voice.ready[u]`: replace those records only through
// swap_ready/swap_voice while tones may sound, and never resize `voice.ready` under them.
int32_t start_tone(const Voice& voice, int32_t mode, float frea, int32_t vpan, int32_t vel,
                   int32_t tpan);
void stop_tone(int32_t id, ToneStop how);
void set_tone_frequency(int32_t id, float frea);

// Adds every active tone into `buffer`, which already holds sound in the player's format
// (8-bit unsigned or 16-bit signed little-endian, interleaved, starting on a frame boundary).
void mix(std::span<uint8_t> buffer);

// Slots in use right now; 0 when the player is not set up.
int32_t active_tone_count();

// Copy of slot `index` for inspection; false when not set up or out of range.
bool tone_slot(int32_t index, ActiveTone& out);

// Hand-over of freshly rendered data: under the tone lock, exchanges the contents of `live`
// and `fresh` and moves every tone that plays `live` onto its new buffers (a position past the
// new body restarts at 0 in repeat mode and ends the unit in one-shot mode). Render `fresh`
// beforehand without any lock; free what `fresh` then holds after the call returns.
void swap_ready(ReadySample& live, ReadySample& fresh);
void swap_ready(std::span<ReadySample> live, std::span<ReadySample> fresh); // pairwise
// Exchanges whole voices (units and ready samples); tones of `live` go on with the units of
// the same index in the new voice, with the step of the new unit; units it lacks fall silent.
void swap_voice(Voice& live, Voice& fresh);

// Where the line of each started note goes: nowhere by default, standard error when the
// environment variable QVVOICE_DEBUG is set and not empty, or any sink set here (nullptr
// silences it again).
void set_debug_sink(ToneDebugSink sink);

// The song player's tempo in beats per minute (read by beat-fit units); nothing sets it here.
void set_song_tempo(float beats_per_minute);

} // namespace TonePlayer
} // namespace qv
