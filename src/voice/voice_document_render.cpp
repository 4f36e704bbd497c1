// Re-rendering and notes of the edited voice. Everything is rendered into fresh records with
// no lock held; only the exchange happens under the tone lock, so a refill never waits for a
// render and no sounding note reads a buffer that is being rewritten or freed.
#include "voice/voice_document.h"

#include <array>

#include "sound/tone_player.h"
#include "voice/allocation.h"
#include "voice/render.h"
#include "voice/render_format.h"

namespace qv::VoiceDocument {

namespace {

using FreshSamples = std::array<ReadySample, UNIT_COUNT>;

constexpr int32_t REPEAT_MODE = 1;
constexpr int32_t CENTRE = -1; // the tone player's "centre" for both pans

bool renders_wave_table(const VoiceUnit& u) {
    return u.wave.kind == WAVE_COORDINATE || u.wave.kind == WAVE_OVERTONE;
}

int32_t output_rate() {
    int32_t rate = 0;
    RenderFormat::get(nullptr, &rate, nullptr);
    return rate;
}

// Copies of the live parts a fresh record keeps. Out of memory means nothing is installed.
bool take_envelope(ReadySample& fresh, const ReadySample& live) {
    fresh.envelope_length = live.envelope_length;
    fresh.release_length = live.release_length;
    return copy_array(fresh.envelope_table, live.envelope_table);
}

bool take_pcm(ReadySample& fresh, const ReadySample& live) {
    fresh.head = live.head;
    fresh.body = live.body;
    fresh.tail = live.tail;
    return copy_array(fresh.pcm, live.pcm);
}

// A fresh wave table, or false with `fresh` holding no PCM.
bool render_wave(ReadySample& fresh, const VoiceUnit& u) {
    fresh.head = fresh.tail = 0;
    fresh.body = 0;
    if (!render_unit_wave_table(u, fresh.pcm))
        return false;
    fresh.body = WAVE_TABLE_LENGTH;
    return true;
}

void install(FreshSamples& fresh) {
    TonePlayer::swap_ready(std::span<ReadySample>(voice().ready), std::span<ReadySample>(fresh));
}

bool has_document() { return voice().unit_count == UNIT_COUNT; }

} // namespace

bool build_ready_samples() {
    if (!has_document())
        return false;
    FreshSamples fresh;
    bool ok = true;
    for (int32_t i = 0; i < UNIT_COUNT; ++i) {
        const std::size_t u = static_cast<std::size_t>(i);
        if (!take_envelope(fresh[u], voice().ready[u]))
            return false;
        if (renders_wave_table(unit(i)))
            ok = render_wave(fresh[u], unit(i)) && ok;
    }
    if (!ok) // no half-built voice: every unit loses its PCM
        for (ReadySample& r : fresh) {
            std::vector<int16_t>().swap(r.pcm);
            r.head = r.body = r.tail = 0;
        }
    install(fresh);
    return ok;
}

bool update_waves() {
    if (!has_document())
        return false;
    FreshSamples fresh;
    bool ok = true;
    for (int32_t i = 0; i < UNIT_COUNT; ++i) {
        const std::size_t u = static_cast<std::size_t>(i);
        const ReadySample& live = voice().ready[u];
        if (!take_envelope(fresh[u], live))
            return false;
        if (renders_wave_table(unit(i)) && render_wave(fresh[u], unit(i)))
            continue;
        // A unit that cannot be rendered keeps the table it had.
        ok = ok && !renders_wave_table(unit(i));
        if (!take_pcm(fresh[u], live))
            return false;
    }
    install(fresh);
    return ok;
}

bool update_envelopes() {
    if (!has_document())
        return false;
    const int32_t rate = output_rate();
    FreshSamples fresh;
    for (std::size_t u = 0; u < fresh.size(); ++u)
        if (!take_pcm(fresh[u], voice().ready[u]))
            return false;
    bool ok = true;
    for (int32_t i = 0; i < UNIT_COUNT; ++i) {
        ReadySample& r = fresh[static_cast<std::size_t>(i)];
        ok = ok && build_unit_envelope(unit(i), rate, r.envelope_table, r.release_length);
        r.envelope_length = static_cast<int32_t>(r.envelope_table.size());
    }
    if (!ok) // no half-built envelopes: every unit loses its table
        for (ReadySample& r : fresh) {
            std::vector<uint8_t>().swap(r.envelope_table);
            r.envelope_length = 0;
        }
    install(fresh);
    return ok;
}

bool update_waves_and_envelopes() {
    const bool waves = update_waves();
    return update_envelopes() && waves;
}

int32_t note_on(float frequency) {
    if (!has_document())
        return -1;
    return TonePlayer::start_tone(voice(), REPEAT_MODE, frequency, CENTRE, velocity(), CENTRE);
}

void note_off(int32_t tone_id, bool immediate) {
    TonePlayer::stop_tone(tone_id, immediate ? ToneStop::Immediate : ToneStop::Release);
}

void set_note_frequency(int32_t tone_id, float frequency) {
    TonePlayer::set_tone_frequency(tone_id, frequency);
}

} // namespace qv::VoiceDocument
