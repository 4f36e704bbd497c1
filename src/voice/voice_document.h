// The edited voice: two units, A and B, that the panels change directly and then re-render
// through the update operations; the selected unit; the note velocity; saving, loading and
// playing notes of it.
#pragma once

#include <cstdint>
#include <string>

#include "voice/voice.h"

namespace qv::VoiceDocument {

constexpr int32_t UNIT_COUNT = 2;
constexpr int32_t ENVELOPE_SLOTS = 32;     // 31 head slots and the tail point
constexpr int32_t ENVELOPE_TAIL_SLOT = 31;
constexpr int32_t ENVELOPE_FPS = 100;
constexpr int32_t DEFAULT_VELOCITY = 104;
constexpr int32_t MAX_VELOCITY = 128;

// Lifetime. create gives both units their points and defaults; false (and an empty document)
// when memory runs out. release frees everything.
bool create();
void release();

// The document's voice and unit 0 (A) or 1 (B); other indices are clamped.
Voice& voice();
VoiceUnit& unit(int32_t index);

// Selection: values below 0 select A, above 1 select B.
void select_unit(int32_t index);
int32_t selected_unit();
int32_t toggle_selected_unit();

// Note velocity, 0 .. 128.
void reset_velocity();
int32_t velocity();
int32_t set_velocity(int32_t value);

// Defaults. Unit A starts as a triangle-like cycle at volume 64; unit B as a flat line, and
// initialising B keeps its volume (0 in a new document, so B starts silent).
void initialize_unit(VoiceUnit& unit, int32_t index);
void reset_coordinate_wave(VoiceWave& wave, int32_t index);
void reset_overtone_wave(VoiceWave& wave, int32_t index);

// Preset 0 .. 5 on the selected unit's points; renders nothing (the caller updates).
void apply_preset(int32_t preset);

// Menu "Initialize": both units to defaults and re-rendered; the envelope result.
bool initialize_all();

// Copies one unit's parameters, wave and envelope into the other and re-renders.
bool copy_unit(int32_t from, int32_t to);

// Writes the voice file: unit B only when its volume is not 0, silent harmonics and empty
// envelope slots dropped, a default envelope omitted. The file is replaced only once the new
// one is complete on disk, so a failed save leaves the previous file as it was. The document
// itself never changes.
bool save(const std::string& path);

// Reads a voice file of at most two coordinate or overtone units into A and B. Values no
// editor writes are refused. On failure both units are back at their defaults. The caller
// re-renders afterwards (update_waves, update_envelopes).
bool load(const std::string& path);

// Why the last save or load failed.
const std::string& last_error();

// Re-rendering. Each renders into fresh buffers with no lock held and then swaps them into the
// ready samples under the tone lock, so sounding notes hear the change from their next frame
// and the stream thread never waits for a render.
bool build_ready_samples();
bool update_waves();
bool update_envelopes();
bool update_waves_and_envelopes();

// Notes of the document's voice, repeating, centred, at the document's velocity.
// note_on gives the tone id, or -1 when no tone could start.
int32_t note_on(float frequency);
void note_off(int32_t tone_id, bool immediate);
void set_note_frequency(int32_t tone_id, float frequency);

} // namespace qv::VoiceDocument
