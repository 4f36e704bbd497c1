// The mixer's per-unit arithmetic: one unit of a sounding tone run through a block of output
// frames. Only the tone player includes it; it holds no state of its own.
#pragma once

#include "sound/tone_player.h"

#include <cstddef>
#include <cstdint>

namespace qv::tone_mix {

// Per output frame, before the frame is computed: walk the envelope table while the key is
// held (holding its last value), or run the release ramp once it is let go.
inline void envelope_step(ToneUnit& tu, int32_t key_held) {
    if (tu.envelope_length == 0)
        return;
    if (key_held != 0) {
        if (tu.envelope_pos < tu.envelope_length) {
            tu.envelope_volume = tu.envelope_table[tu.envelope_pos];
            ++tu.envelope_pos;
        }
        return;
    }
    if (tu.envelope_pos < tu.release_length) {
        // 64-bit product: a hostile release length can exceed what 32 bits hold.
        tu.envelope_volume = static_cast<int32_t>(
            tu.release_start - static_cast<int64_t>(tu.release_start) * tu.envelope_pos / tu.release_length);
    } else {
        tu.playing = 0;
        tu.envelope_volume = 0;
    }
    if (tu.envelope_pos < INT32_MAX)
        ++tu.envelope_pos;
}

// Scales one unit's sample by velocity, pan and either the envelope or the end-of-release
// fade, each division truncating toward zero.
inline int32_t shape(int32_t v, const ActiveTone& tone, const ToneUnit& tu, int32_t pan,
                     int32_t fade_frames) {
    v = v * tone.velocity / 128;
    v = v * pan / 64;
    if (tu.release_length != 0)
        v = v * tu.envelope_volume / 128;
    else if (tone.mode != 0 && tu.release_counter > tone.release_frames - fade_frames)
        v = (tone.release_frames - tu.release_counter) * v / fade_frames;
    return v;
}

// Per output frame, after the frame is computed: move on, wrap or end, count the release.
inline void advance(ToneUnit& tu, const ActiveTone& tone, double increment) {
    tu.position += increment;
    if (tone.mode != 0) {
        if (tu.position >= tu.body) {
            tu.position -= tu.body;
            if (tu.position >= tu.body)
                tu.position = 0.0;
        }
        if (tu.tail == 0 && tu.release_length == 0 && tone.key_held == 0)
            ++tu.release_counter;
    } else {
        if (tu.position >= tu.body)
            tu.playing = 0;
        if (tone.key_held == 0)
            ++tu.release_counter;
    }
    if (tu.release_counter >= tone.release_frames)
        tu.playing = 0;
}

constexpr int32_t MIX_BLOCK_FRAMES = 256;
using BlockValues = int32_t[MIX_BLOCK_FRAMES][2];

// Adds one unit's values for `frames` output frames. A unit depends only on its own state and
// its tone's fixed settings, so it can run ahead of the other units and slots; a copy in
// locals keeps its state in registers. A stopped unit never plays again.
template <int Channels>
void render_unit(const ActiveTone& tone, ToneUnit& unit, double increment, int32_t frames,
                 int32_t fade_frames, BlockValues& values) {
    ToneUnit tu = unit;
    for (int32_t f = 0; f < frames && tu.playing > 0; ++f) {
        envelope_step(tu, tone.key_held);
        if (tu.playing <= 0)
            break;
        const int16_t* frame = tu.pcm + 2 * static_cast<std::size_t>(tu.position);
        if constexpr (Channels == 2) {
            values[f][0] += shape(frame[0], tone, tu, tone.pan_volume[0], fade_frames);
            values[f][1] += shape(frame[1], tone, tu, tone.pan_volume[1], fade_frames);
        } else {
            values[f][0] += shape((frame[0] + frame[1]) / 2, tone, tu, tone.pan_volume[0], fade_frames);
        }
        advance(tu, tone, increment);
    }
    unit = tu;
}

// One frame of a held repeating unit at a given envelope volume.
template <int Channels, bool Enveloped>
inline void add_held_frame(const int16_t* frame, int32_t velocity, int32_t pan0, int32_t pan1,
                           int32_t volume, int32_t (&value)[2]) {
    if constexpr (Channels == 2) {
        int32_t l = frame[0] * velocity / 128 * pan0 / 64;
        int32_t r = frame[1] * velocity / 128 * pan1 / 64;
        if constexpr (Enveloped) {
            l = l * volume / 128;
            r = r * volume / 128;
        }
        value[0] += l;
        value[1] += r;
    } else {
        int32_t v = (frame[0] + frame[1]) / 2 * velocity / 128 * pan0 / 64;
        if constexpr (Enveloped)
            v = v * volume / 128;
        value[0] += v;
    }
}

// The same for a repeating unit whose key is held, the common case, with the branches that
// cannot fire while the key is down taken out: no release ramp, no release count, no fade.
// Once the envelope table is used up its last value holds, so the rest of the block runs
// without looking at it.
template <int Channels, bool Enveloped>
void render_held_repeating_unit(const ActiveTone& tone, ToneUnit& unit, double increment,
                                int32_t frames, BlockValues& values) {
    const int16_t* const pcm = unit.pcm;
    const double body = unit.body;
    const int32_t velocity = tone.velocity;
    const int32_t pan0 = tone.pan_volume[0];
    const int32_t pan1 = tone.pan_volume[1];
    double position = unit.position;
    int32_t envelope_pos = unit.envelope_pos;
    int32_t volume = unit.envelope_volume;
    auto step = [&](int32_t f) {
        add_held_frame<Channels, Enveloped>(pcm + 2 * static_cast<std::size_t>(position), velocity,
                                            pan0, pan1, volume, values[f]);
        position += increment;
        if (position >= body) {
            position -= body;
            if (position >= body)
                position = 0.0;
        }
    };
    int32_t f = 0;
    for (; f < frames && envelope_pos < unit.envelope_length; ++f) {
        volume = unit.envelope_table[envelope_pos++];
        step(f);
    }
    for (; f < frames; ++f)
        step(f);
    unit.position = position;
    unit.envelope_pos = envelope_pos;
    unit.envelope_volume = volume;
}

template <int Channels>
void render_any_unit(const ActiveTone& tone, ToneUnit& unit, double increment, int32_t frames,
                     int32_t fade_frames, BlockValues& values) {
    if (unit.playing <= 0)
        return;
    // A held key neither counts the release nor fades, so such a unit cannot stop in a block.
    if (tone.key_held != 0 && tone.mode != 0 && unit.release_counter <= tone.release_frames - fade_frames) {
        if (unit.release_length != 0)
            render_held_repeating_unit<Channels, true>(tone, unit, increment, frames, values);
        else
            render_held_repeating_unit<Channels, false>(tone, unit, increment, frames, values);
        return;
    }
    render_unit<Channels>(tone, unit, increment, frames, fade_frames, values);
}

} // namespace qv::tone_mix
