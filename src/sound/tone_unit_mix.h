// The mixer's per-unit arithmetic: one unit of a sounding tone run through a block of output
// frames. Only the tone player includes it; it holds no state of its own.
#pragma once

#include "sound/tone_player.h"

#include <algorithm>
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
// A block's values per channel (left, then right), each channel's frames side by side so
// that the passes over them run on whole vectors.
using BlockValues = int32_t[2][MIX_BLOCK_FRAMES];
using BlockFrames = int16_t[2][MIX_BLOCK_FRAMES]; // PCM samples a unit reads in a block
using BlockVolumes = float[MIX_BLOCK_FRAMES];     // a unit's envelope volume / 128 per frame

// Adds one unit's values for `frames` output frames, one frame at a time. A unit depends only
// on its own state and its tone's fixed settings, so it can run ahead of the other units and
// slots; a copy in locals keeps its state in registers. A stopped unit never plays again.
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
            values[0][f] += shape(frame[0], tone, tu, tone.pan_volume[0], fade_frames);
            values[1][f] += shape(frame[1], tone, tu, tone.pan_volume[1], fade_frames);
        } else {
            values[0][f] += shape((frame[0] + frame[1]) / 2, tone, tu, tone.pan_volume[0], fade_frames);
        }
        advance(tu, tone, increment);
    }
    unit = tu;
}

// A repeating unit whose key is held, the common case, runs in two passes: a scalar walk
// that reads the PCM frame at each position, and a shaping pass without any loop-carried
// state that the compiler can vectorise. While the key is down nothing counts the release, so
// neither the fade nor an end can happen inside the block. The shaping pass relies on the
// ranges a started tone has: velocity 0..128, pans 0..64, volume 0..255.
inline bool plays_held_repeating(const ActiveTone& tone, const ToneUnit& unit, int32_t fade_frames) {
    const auto in = [](int32_t v, int32_t high) { return v >= 0 && v <= high; };
    return unit.playing > 0 && tone.key_held != 0 && tone.mode != 0 &&
           unit.release_counter <= tone.release_frames - fade_frames && in(tone.velocity, 128) &&
           in(tone.pan_volume[0], 64) && in(tone.pan_volume[1], 64) && in(unit.envelope_volume, 255);
}

// A repeating unit's position after the body's end: back by one body, or to 0 when that is
// not enough.
inline double wrapped(double position, double body) {
    if (position >= body) {
        position -= body;
        if (position >= body)
            position = 0.0;
    }
    return position;
}

struct Walk {
    const int16_t* pcm;
    double position;
    double body;
    double increment;
    BlockFrames* read;
};

// The only loop-carried work: each position advances by repeated addition, in the same order
// as frame by frame, so it is exact. Walking two units in one loop overlaps their chains.
template <int N>
void walk_positions(Walk* walks, int32_t frames) {
    Walk w[N];
    for (int k = 0; k < N; ++k)
        w[k] = walks[k];
    for (int32_t f = 0; f < frames; ++f) {
        for (int k = 0; k < N; ++k) {
            // position lies in [0, body) and body fits in int32, so the cast truncates it.
            const int16_t* frame = w[k].pcm + 2 * static_cast<std::size_t>(static_cast<int32_t>(w[k].position));
            (*w[k].read)[0][f] = frame[0];
            (*w[k].read)[1][f] = frame[1];
            w[k].position = wrapped(w[k].position + w[k].increment, w[k].body);
        }
    }
    for (int k = 0; k < N; ++k)
        walks[k].position = w[k].position;
}

// The envelope does not depend on the position: the block takes the table entries still
// left (their volumes go to `volumes`), then holds the last one. Returns how many it took.
inline int32_t walk_envelope(ToneUnit& unit, int32_t frames, BlockVolumes& volumes) {
    const int32_t taken = std::max(0, std::min(frames, unit.envelope_length - unit.envelope_pos));
    if (taken == 0)
        return 0;
    const uint8_t* table = unit.envelope_table + unit.envelope_pos;
    for (int32_t f = 0; f < taken; ++f)
        volumes[f] = static_cast<float>(table[f]) / 128.0f;
    unit.envelope_pos += taken;
    unit.envelope_volume = table[taken - 1];
    return taken;
}

// v * factor / divisor, truncating toward zero, with the quotient factor / divisor given
// exactly (a small integer over a power of two). Exact in single precision: |v| <= 32768 and
// factor <= 255 keep the product's magnitude below 2^24, so it is represented exactly and the
// conversion back truncates it as the integer division would.
inline int32_t scaled(int32_t v, float quotient) {
    return static_cast<int32_t>(static_cast<float>(v) * quotient);
}

template <bool Enveloped>
inline int32_t shaped(int32_t v, float velocity, float pan, float volume) {
    v = scaled(scaled(v, velocity), pan);
    return Enveloped ? scaled(v, volume) : v;
}

// Scales the frames [from, to) a held unit read and adds them, step by step as frame by
// frame; no step depends on another frame, so the compiler runs several frames at once.
// `volume(f)` is the envelope volume / 128 of frame f.
template <int Channels, bool Enveloped, class Volume>
void add_shaped(const BlockFrames& read, int32_t from, int32_t to, Volume volume,
                const ActiveTone& tone, BlockValues& values) {
    const float velocity = static_cast<float>(tone.velocity) / 128.0f;
    const float pan0 = static_cast<float>(tone.pan_volume[0]) / 64.0f;
    const float pan1 = static_cast<float>(tone.pan_volume[1]) / 64.0f;
    for (int32_t f = from; f < to; ++f) {
        if constexpr (Channels == 2) {
            values[0][f] += shaped<Enveloped>(read[0][f], velocity, pan0, volume(f));
            values[1][f] += shaped<Enveloped>(read[1][f], velocity, pan1, volume(f));
        } else {
            values[0][f] += shaped<Enveloped>((read[0][f] + read[1][f]) / 2, velocity, pan0, volume(f));
        }
    }
}

// A held unit's frames: those that walked the envelope table at their own volumes, the rest
// at the volume the table left. A unit without release ramp ignores its envelope.
template <int Channels>
void add_held(ToneUnit& unit, const BlockFrames& read, int32_t frames, const ActiveTone& tone,
              BlockValues& values) {
    BlockVolumes volumes;
    const int32_t taken = walk_envelope(unit, frames, volumes);
    if (unit.release_length == 0) {
        add_shaped<Channels, false>(read, 0, frames, [](int32_t) { return 1.0f; }, tone, values);
        return;
    }
    add_shaped<Channels, true>(read, 0, taken, [&](int32_t f) { return volumes[f]; }, tone, values);
    const float held = static_cast<float>(unit.envelope_volume) / 128.0f;
    add_shaped<Channels, true>(read, taken, frames, [=](int32_t) { return held; }, tone, values);
}

// Adds every unit of a tone for `frames` frames: held repeating units through the two passes
// (both walked together when both qualify), any other unit frame by frame.
template <int Channels>
void render_tone(ActiveTone& tone, const double (&increments)[TONE_UNIT_MAX], int32_t frames,
                 int32_t fade_frames, BlockValues& values) {
    BlockFrames read[TONE_UNIT_MAX];
    Walk walks[TONE_UNIT_MAX];
    int32_t held[TONE_UNIT_MAX];
    int held_count = 0;
    for (int32_t u = 0; u < tone.unit_count; ++u) {
        ToneUnit& unit = tone.units[u];
        if (!plays_held_repeating(tone, unit, fade_frames)) {
            render_unit<Channels>(tone, unit, increments[u], frames, fade_frames, values);
            continue;
        }
        walks[held_count] = {unit.pcm, unit.position, static_cast<double>(unit.body), increments[u], &read[held_count]};
        held[held_count++] = u;
    }
    if (held_count == 2)
        walk_positions<2>(walks, frames);
    else if (held_count == 1)
        walk_positions<1>(walks, frames);
    for (int k = 0; k < held_count; ++k) {
        ToneUnit& unit = tone.units[held[k]];
        unit.position = walks[k].position;
        add_held<Channels>(unit, read[k], frames, tone, values);
    }
}

} // namespace qv::tone_mix
