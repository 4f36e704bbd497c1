// Small voices with hand-made ready samples for the sound tests, and a mixing helper.
#pragma once

#include "sound/tone_player.h"
#include "voice/voice.h"

#include <cstdint>
#include <vector>

namespace qv::test {

// One unit per entry of `units`; each plays its PCM at the rendered rate (basic key 0x4500,
// tuning 1.0), so a tone at frequency 1.0 reads one ready frame per 44100 Hz output frame.
struct UnitData {
    UnitData(std::vector<int16_t> frames) : pcm(std::move(frames)) {} // NOLINT: implicit on purpose
    std::vector<int16_t> pcm; // stereo frames, left first
    int32_t body = -1;        // -1: every frame of pcm
    int32_t tail = 0;
    std::vector<uint8_t> envelope;
    int32_t release_length = 0;
};

inline Voice make_voice(const std::vector<UnitData>& units) {
    Voice voice;
    allocate_units(voice, static_cast<int32_t>(units.size()));
    for (std::size_t u = 0; u < units.size(); ++u) {
        VoiceUnit& unit = voice.units[u];
        unit.basic_key = 0x4500;
        unit.tuning = 1.0f;
        ReadySample& ready = voice.ready[u];
        ready.pcm = units[u].pcm;
        ready.body = units[u].body >= 0 ? units[u].body : static_cast<int32_t>(units[u].pcm.size() / 2);
        ready.tail = units[u].tail;
        ready.envelope_table = units[u].envelope;
        ready.envelope_length = static_cast<int32_t>(units[u].envelope.size());
        ready.release_length = units[u].release_length;
    }
    return voice;
}

// `frames` stereo frames of a constant left/right value.
inline std::vector<int16_t> constant_pcm(int32_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> pcm;
    for (int32_t i = 0; i < frames; ++i) {
        pcm.push_back(left);
        pcm.push_back(right);
    }
    return pcm;
}

// Frame i holds (i + 1) * 10 on both channels, so a sample names the frame it came from.
inline std::vector<int16_t> counting_pcm(int32_t frames) {
    std::vector<int16_t> pcm;
    for (int32_t i = 0; i < frames; ++i) {
        pcm.push_back(static_cast<int16_t>((i + 1) * 10));
        pcm.push_back(static_cast<int16_t>((i + 1) * 10));
    }
    return pcm;
}

// Mixes `frames` frames of 16-bit output (of `channels`) over silence and returns the samples.
inline std::vector<int16_t> mix16(int32_t frames, int32_t channels) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(frames * channels * 2), 0);
    TonePlayer::mix(bytes);
    std::vector<int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return out;
}

} // namespace qv::test
