// The voice records: a voice is a list of units, each a wave plus an envelope plus playback
// parameters, with a ready sample (the unit rendered for the tone player) beside each unit.
#pragma once

#include <cstdint>
#include <vector>

namespace qv {

// Wave kinds; the same codes are stored in voice files. A kind above WAVE_OGG is carried but
// renders nothing.
constexpr int32_t WAVE_COORDINATE = 0;
constexpr int32_t WAVE_OVERTONE = 1;
constexpr int32_t WAVE_NOISE = 2;
constexpr int32_t WAVE_SAMPLED = 3;
constexpr int32_t WAVE_OGG = 4;

// Bits of VoiceUnit::voice_flags; a value of 8 or more makes a voice file unreadable.
constexpr uint32_t VOICE_FLAG_LOOP = 1;
constexpr uint32_t VOICE_FLAG_SMOOTH = 2;
constexpr uint32_t VOICE_FLAG_BEAT_FIT = 4;
constexpr uint32_t VOICE_FLAGS_VALID = 7;

// Bits of VoiceUnit::data_flags: which parts of a unit a voice file stores.
constexpr uint32_t DATA_FLAG_WAVE = 1;
constexpr uint32_t DATA_FLAG_ENVELOPE = 2;
constexpr uint32_t DATA_FLAGS_VALID = 3;

// Imported sounds (sampled, noise, Ogg) play at their own rate at key 69.
constexpr int32_t IMPORTED_BASIC_KEY = 69 * 256;

struct VoicePoint {
    int32_t x = 0; // coordinate position, harmonic number or envelope time step
    int32_t y = 0; // level or amplitude
};

// Interleaved little-endian PCM; 8-bit is unsigned (silence 128), 16-bit signed.
struct PcmSample {
    int32_t channels = 0;
    int32_t samples_per_second = 0;
    int32_t bits_per_sample = 0;
    int32_t head = 0;
    int32_t body = 0;
    int32_t tail = 0;
    std::vector<uint8_t> data; // (head + body + tail) * channels * bits_per_sample / 8 bytes
};

struct NoiseOscillator {
    int32_t waveform = 0;     // NoiseWaveform code 0 .. 6
    float frequency = 0.0f;   // cycles per second, 0 .. 44100
    float volume = 0.0f;      // depth in percent, 0 .. 200
    float offset = 0.0f;      // starting phase in percent of a cycle, 0 .. 100
    int32_t reverse = 0;      // non-zero: the waveform table is read backwards
};

struct NoiseUnit {
    int32_t enabled = 0;        // boolean; every layer read from a file is enabled
    int32_t envelope_count = 0; // corners in envelope, 0 .. 3
    std::vector<VoicePoint> envelope; // x = ms from the previous corner, y = level in percent
    int32_t pan = 0;                  // -100 left .. 0 centre .. 100 right
    NoiseOscillator main;
    NoiseOscillator frequency_mod;
    NoiseOscillator volume_mod;
};

struct NoiseDesign {
    int32_t length_44k = 0; // samples at 44100 Hz, 0 .. 441000
    int32_t unit_count = 0; // layers, 0 .. 4
    std::vector<NoiseUnit> units;
};

struct VoiceWave {
    int32_t kind = WAVE_COORDINATE;
    PcmSample sample;         // the sound of a WAVE_SAMPLED unit
    uint32_t ogg_handle = 0;  // no Ogg decoder is installed, so this stays 0
    int32_t point_count = 0;  // entries used in points
    int32_t resolution = 0;   // width of one cycle in coordinate units (WAVE_COORDINATE)
    std::vector<VoicePoint> points; // at least point_count entries
    NoiseDesign noise;        // the design of a WAVE_NOISE unit
};

struct VoiceEnvelope {
    int32_t fps = 0;        // envelope x values count 1/fps seconds
    int32_t head_count = 0; // attack/decay points
    int32_t body_count = 0; // always 0
    int32_t tail_count = 0; // release points: 1, or 0 without an envelope
    std::vector<VoicePoint> points; // head_count + body_count + tail_count points, head first
};

struct VoiceUnit {
    int32_t basic_key = 0; // 1/256 semitone at which the rendered wave plays at its own rate
    int32_t volume = 0;    // 0 .. 128
    int32_t pan = 0;       // 0 left .. 64 centre .. 128 right
    float tuning = 0.0f;   // frequency multiplier; beats of the body for BEAT_FIT units
    uint32_t voice_flags = 0;
    uint32_t data_flags = 0;
    VoiceWave wave;
    VoiceEnvelope envelope;
};

// The rendered form of one unit: 44100 Hz 16-bit stereo PCM plus an envelope table at the
// output rate. Derived data, never written to files.
struct ReadySample {
    int32_t head = 0;
    int32_t body = 0;
    int32_t tail = 0;
    std::vector<int16_t> pcm;             // (head + body + tail) * 2 samples, left first
    std::vector<uint8_t> envelope_table;  // one volume 0 .. 128 per output sample of the attack
    int32_t envelope_length = 0;
    int32_t release_length = 0;           // release time in output samples
};

struct Voice {
    int32_t unit_count = 0;
    std::vector<VoiceUnit> units;   // unit_count entries
    std::vector<ReadySample> ready; // unit_count entries, parallel to units
};

// Releases what `voice` holds, then allocates `count` zero-filled units and ready samples.
// On failure (or a negative count) the voice is left empty and the result is false.
bool allocate_units(Voice& voice, int32_t count);

// Frees everything; the voice is empty and reusable. Harmless on an empty voice.
void release(Voice& voice);

// Deep copy of units (not of ready samples or Ogg handles). On failure `destination` is
// released and the result is false.
bool copy(const Voice& source, Voice& destination);

void release_noise(NoiseDesign& design);

// Deep copy of a noise design; on failure `destination` is released and the result is false.
bool copy_noise(NoiseDesign& destination, const NoiseDesign& source);

// Writes the imported-sound defaults into a freshly allocated unit and sets its wave kind.
void init_imported_unit(VoiceUnit& unit, int32_t kind);

} // namespace qv
