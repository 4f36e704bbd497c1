// The tone player's slot table, note control and the mixer that the stream thread calls once
// per region. All state sits behind the tone lock.
#include "sound/tone_player.h"

#include "sound/tone_unit_mix.h"

#include "voice/allocation.h"
#include "voice/pitch_table.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <type_traits>
#include <vector>

namespace qv {
namespace {

using namespace tone_mix;

constexpr int32_t REFERENCE_KEY = 0x4500;       // basic key that plays a ready sample as rendered
constexpr float BEAT_FIT_DIVISOR = 2646000.0f;  // 44100 frames x 60 seconds
constexpr int32_t RING_MASK = DELAY_RING_LENGTH - 1;
constexpr int32_t MAX_TIME_PAN_DELAY = DELAY_RING_LENGTH - 1;

struct PlayerState {
    int32_t channels = 0;
    int32_t rate = 0;
    int32_t bits = 0;
    int32_t slot_count = 0;
    int32_t rate_ratio = 0;
    int32_t fade_frames = 0;
    int32_t sample_limit = 0;
    int32_t ring_position = 0;
    std::vector<ActiveTone> table;
};

std::mutex tone_lock;
// Never destroyed: a stream left open at exit is closed from a destructor that may run after
// this file's statics are gone.
PlayerState& state = *new PlayerState; // guarded by tone_lock
std::atomic<bool> set_up{false};  // read without the lock so idle calls return at once
int32_t id_counter = 1;           // guarded by tone_lock; never reset, so the first id is 2
float song_tempo = 0.0f;          // guarded by tone_lock

void write_to_stderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
}

ToneDebugSink sink_from_environment() {
    const char* value = std::getenv("QVVOICE_DEBUG");
    return value != nullptr && value[0] != '\0' ? write_to_stderr : nullptr;
}

std::atomic<ToneDebugSink> debug_sink{sink_from_environment()};

// Holds a factor to a finite, non-negative value so positions can neither run backwards out of
// the buffer nor turn into NaN.
float playable_factor(float factor) {
    if (!(factor > 0.0f))
        return 0.0f; // NaN, negative and zero
    return std::min(factor, FLT_MAX);
}

int32_t pan_or_default(int32_t value, int32_t fallback) {
    return value == -1 ? fallback : std::clamp(value, 0, 128);
}

float unit_step(const VoiceUnit& unit, int32_t body) {
    float step;
    if ((unit.voice_flags & VOICE_FLAG_BEAT_FIT) != 0)
        step = static_cast<float>(body) * song_tempo / (BEAT_FIT_DIVISOR * unit.tuning);
    else
        step = key_to_frequency(static_cast<int32_t>(static_cast<uint32_t>(REFERENCE_KEY) -
                                                     static_cast<uint32_t>(unit.basic_key))) *
               unit.tuning;
    return playable_factor(step);
}

// Copies what the tone needs from a ready sample, bounded by the buffers it really has, so no
// count from a file can make the mixer read outside them.
void describe_ready(ToneUnit& tone_unit, const ReadySample& ready) {
    const std::size_t frames = ready.pcm.size() / 2;
    tone_unit.head = ready.head;
    tone_unit.tail = ready.tail;
    tone_unit.body = static_cast<int32_t>(
        std::clamp<int64_t>(ready.body, 0, static_cast<int64_t>(std::min<std::size_t>(frames, INT32_MAX))));
    tone_unit.pcm = ready.pcm.data();
    tone_unit.envelope_table = ready.envelope_table.data();
    tone_unit.envelope_length = static_cast<int32_t>(std::clamp<int64_t>(
        ready.envelope_length, 0,
        static_cast<int64_t>(std::min<std::size_t>(ready.envelope_table.size(), INT32_MAX))));
    tone_unit.release_length = std::max(ready.release_length, 0);
    tone_unit.source = &ready;
}

int32_t voice_unit_count(const Voice& voice) {
    const auto stored = static_cast<int64_t>(std::min(voice.units.size(), voice.ready.size()));
    return static_cast<int32_t>(std::clamp<int64_t>(
        std::min<int64_t>(voice.unit_count, stored), 0, TONE_UNIT_MAX));
}

void start_unit(ToneUnit& tone_unit, const VoiceUnit& unit, const ReadySample& ready) {
    tone_unit.position = 0.0;
    tone_unit.release_counter = 0;
    tone_unit.envelope_pos = 0;
    describe_ready(tone_unit, ready);
    tone_unit.step = unit_step(unit, tone_unit.body);
    tone_unit.playing = tone_unit.body > 0 ? 1 : 0; // nothing to read: silent from the start
    const int32_t start_volume = tone_unit.envelope_length != 0 ? 0 : 128;
    tone_unit.envelope_volume = start_volume;
    tone_unit.release_start = start_volume;
}

ActiveTone* find_active(int32_t id) {
    for (int32_t s = 0; s < state.slot_count; ++s) {
        ActiveTone& tone = state.table[s];
        if (tone.active != 0 && tone.id == id)
            return &tone;
    }
    return nullptr;
}

void update_active(ActiveTone& tone) {
    tone.active = (tone.units[0].playing > 0 || tone.units[1].playing > 0) ? 1 : 0;
}

// After the buffers under a tone changed, a position past the new body cannot be read.
void refit_position(ToneUnit& tone_unit, uint8_t mode) {
    if (tone_unit.playing <= 0 || tone_unit.position < tone_unit.body)
        return;
    if (mode != 0 && tone_unit.body > 0)
        tone_unit.position = 0.0;
    else
        tone_unit.playing = 0;
}

// Position increments of every unit, fixed for a whole mix call (frequencies only change
// under the lock the mix holds).
using Increments = double[TONE_SLOT_MAX][TONE_UNIT_MAX];

// Adds a slot's block to `sums` through its delay ring. A slot reads its ring at most 63
// frames back, always an entry written earlier in this pass or before it and not yet
// overwritten, so computing a slot's frames ahead gives the same output as going slot by slot
// inside each frame. Within the block, a frame `delay` or more frames in reads this block's
// own value; only the frames before it read the ring, and only the last 64 values stay in it.
template <int Channels>
void add_delayed(ActiveTone& tone, int32_t first_ring, int32_t frames, const BlockValues& values,
                 BlockValues& sums) {
    for (int ch = 0; ch < Channels; ++ch) {
        int32_t* ring = tone.delay_ring[ch];
        const int32_t delay = tone.pan_delay[ch];
        const int32_t from_ring = std::min(delay, frames);
        for (int32_t f = 0; f < from_ring; ++f)
            sums[ch][f] += ring[(first_ring + f - delay) & RING_MASK];
        for (int32_t f = from_ring; f < frames; ++f)
            sums[ch][f] += values[ch][f - delay];
        // The ring keeps the block's last 64 values: at most two runs of it.
        const int32_t kept = std::min(frames, DELAY_RING_LENGTH);
        const int32_t* last = values[ch] + (frames - kept);
        const int32_t at = (first_ring + frames - kept) & RING_MASK;
        const int32_t run = std::min(kept, DELAY_RING_LENGTH - at);
        std::copy_n(last, run, ring + at);
        std::copy_n(last + run, kept - run, ring);
    }
}

// Sums `frames` output frames of every slot into `sums` (zeroed by the caller). Free slots
// feed their rings with zeros.
template <int Channels>
void mix_block(const Increments& increments, int32_t frames, BlockValues& sums) {
    PlayerState& st = state;
    const int32_t first_ring = st.ring_position;
    BlockValues values;
    for (int32_t s = 0; s < st.slot_count; ++s) {
        ActiveTone& tone = st.table[static_cast<std::size_t>(s)];
        for (int ch = 0; ch < Channels; ++ch)
            std::fill_n(values[ch], frames, 0);
        if (tone.active != 0) {
            render_tone<Channels>(tone, increments[s], frames, st.fade_frames, values);
            update_active(tone);
        }
        add_delayed<Channels>(tone, first_ring, frames, values, sums);
    }
    st.ring_position = (first_ring + frames) & RING_MASK;
}

// One output sample: the slot sum shifted to 8 bits for 8-bit output and clamped to the
// limit, added to the buffer sample and clamped to the buffer's own range.
template <int Bits>
int32_t added_sample(int32_t current, int32_t sum, int32_t limit) {
    if constexpr (Bits == 8)
        return std::clamp(current + std::clamp(sum >> 8, -limit, limit), 1, 255);
    else
        return std::clamp(current + std::clamp(sum, -limit, limit), -32766, 32766);
}

// The buffer's samples: unsigned bytes, or signed 16-bit little-endian.
template <int Bits>
using Sample = std::conditional_t<Bits == 8, uint8_t, int16_t>;

template <int Bits>
Sample<Bits> load_sample(const uint8_t* at) {
    if constexpr (Bits == 8)
        return at[0];
    else
        return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

template <int Bits>
void store_sample(uint8_t* at, int32_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    if constexpr (Bits == 16)
        at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Adds a block's slot sums to `count` interleaved output samples (a last frame may be cut).
// The samples go through a local copy: on a little-endian machine, a plain copy reads and
// writes them, and the adding loop runs on whole vectors.
template <int Bits, int Channels>
void add_block(uint8_t* out, const BlockValues& sums, std::size_t count, int32_t limit) {
    constexpr std::size_t BYTES = Bits / 8;
    constexpr bool copy_as_is = Bits == 8 || std::endian::native == std::endian::little;
    Sample<Bits> samples[2 * MIX_BLOCK_FRAMES];
    if constexpr (copy_as_is)
        std::memcpy(samples, out, count * BYTES);
    else
        for (std::size_t c = 0; c < count; ++c)
            samples[c] = load_sample<Bits>(out + c * BYTES);
    const std::size_t whole = count / Channels;
    for (std::size_t f = 0; f < whole; ++f)
        for (std::size_t ch = 0; ch < Channels; ++ch) {
            Sample<Bits>& sample = samples[f * Channels + ch];
            sample = static_cast<Sample<Bits>>(added_sample<Bits>(sample, sums[ch][f], limit));
        }
    for (std::size_t c = whole * Channels; c < count; ++c) // the first samples of a cut frame
        samples[c] = static_cast<Sample<Bits>>(added_sample<Bits>(samples[c], sums[c % Channels][whole], limit));
    if constexpr (copy_as_is)
        std::memcpy(out, samples, count * BYTES);
    else
        for (std::size_t c = 0; c < count; ++c)
            store_sample<Bits>(out + c * BYTES, samples[c]);
}

void compute_increments(Increments& increments) {
    for (int32_t s = 0; s < state.slot_count; ++s) {
        const ActiveTone& tone = state.table[static_cast<std::size_t>(s)];
        for (int32_t u = 0; u < TONE_UNIT_MAX; ++u)
            increments[s][u] = static_cast<double>(tone.frequency) * static_cast<double>(tone.units[u].step) *
                               static_cast<double>(state.rate_ratio);
    }
}

void emit_debug_line(int32_t mode, float frea, int32_t vpan, int32_t vel, int32_t tpan) {
    const ToneDebugSink sink = debug_sink.load(std::memory_order_relaxed);
    if (sink == nullptr)
        return;
    char line[160];
    const int n = std::snprintf(line, sizeof line, "mode:%d / frea:%f / vpan:%d / vel:%d / tpan:%d\n",
                                mode & 0xFF, static_cast<double>(frea), vpan, vel, tpan);
    if (n > 0)
        sink(std::string_view(line, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 1)));
}

} // namespace

namespace TonePlayer {

bool initialize(int32_t channels, int32_t rate, int32_t bits, int32_t slot_count) {
    if (set_up.load()) {
        release();
        return false;
    }
    const bool format_ok = (channels == 1 || channels == 2) && (bits == 8 || bits == 16) &&
                           rate >= 100 && rate <= 44100 && slot_count >= 1 &&
                           slot_count <= TONE_SLOT_MAX;
    if (!format_ok)
        return false;
    std::lock_guard guard(tone_lock);
    if (!allocate_zeroed(state.table, static_cast<std::size_t>(slot_count)))
        return false;
    state.channels = channels;
    state.rate = rate;
    state.bits = bits;
    state.slot_count = slot_count;
    state.rate_ratio = 44100 / rate;
    state.fade_frames = rate / 100;
    state.sample_limit = bits == 8 ? 127 : 32767;
    state.ring_position = 0;
    set_up.store(true);
    return true;
}

void release() {
    std::lock_guard guard(tone_lock);
    std::vector<ActiveTone>().swap(state.table);
    state.slot_count = 0;
    set_up.store(false);
}

bool is_set_up() { return set_up.load(); }

int32_t start_tone(const Voice& voice, int32_t mode, float frea, int32_t vpan, int32_t vel,
                   int32_t tpan) {
    if (!set_up.load())
        return -1;
    int32_t id = -1;
    {
        std::lock_guard guard(tone_lock);
        auto slot = std::find_if(state.table.begin(), state.table.end(),
                                 [](const ActiveTone& t) { return t.active == 0; });
        if (slot != state.table.end()) {
            ActiveTone& tone = *slot;
            const int32_t voice_pan = pan_or_default(vpan, CENTRE_PAN);
            const int32_t time_pan = pan_or_default(tpan, CENTRE_PAN);
            const int32_t velocity = pan_or_default(vel, DEFAULT_VELOCITY);
            id_counter = id_counter == INT32_MAX ? 2 : id_counter + 1;
            id = id_counter;

            tone.key_held = 1;
            tone.active = 1;
            tone.frequency = playable_factor(frea);
            tone.velocity = velocity;
            tone.id = id;
            tone.mode = static_cast<uint8_t>(mode & 0xFF);
            tone.release_frames = state.rate * 100 / 1000;
            tone.unit_count = voice_unit_count(voice);

            tone.pan_volume[0] = tone.pan_volume[1] = 64;
            tone.pan_delay[0] = tone.pan_delay[1] = 0;
            if (state.channels == 2) {
                if (voice_pan >= 64)
                    tone.pan_volume[0] = 128 - voice_pan;
                else
                    tone.pan_volume[1] = voice_pan;
                if (time_pan >= 64)
                    tone.pan_delay[0] = std::min(time_pan - 64, MAX_TIME_PAN_DELAY) / state.rate_ratio;
                else
                    tone.pan_delay[1] = std::min(64 - time_pan, MAX_TIME_PAN_DELAY) / state.rate_ratio;
            }
            tone.units[0].playing = tone.units[1].playing = 0;
            for (int32_t u = 0; u < tone.unit_count; ++u)
                start_unit(tone.units[u], voice.units[u], voice.ready[u]);
        }
    }
    emit_debug_line(mode, frea, vpan, vel, tpan);
    return id;
}

void stop_tone(int32_t id, ToneStop how) {
    if (!set_up.load())
        return;
    std::lock_guard guard(tone_lock);
    ActiveTone* tone = find_active(id);
    if (tone == nullptr)
        return;
    tone->key_held = 0;
    for (ToneUnit& tu : tone->units) {
        if (how == ToneStop::Immediate) {
            tu.playing = 0;
        } else {
            tu.release_start = tu.envelope_volume;
            tu.envelope_pos = 0;
        }
    }
    if (how == ToneStop::Immediate)
        tone->active = 0;
}

void set_tone_frequency(int32_t id, float frea) {
    if (!set_up.load())
        return;
    std::lock_guard guard(tone_lock);
    if (ActiveTone* tone = find_active(id))
        tone->frequency = playable_factor(frea);
}

// Runs on the stream thread once per region: allocates nothing, does no input or output, and
// holds the tone lock for the whole region.
void mix(std::span<uint8_t> buffer) {
    if (!set_up.load())
        return;
    std::lock_guard guard(tone_lock);
    if (state.slot_count == 0)
        return; // released between the flag check and the lock
    Increments increments;
    compute_increments(increments);
    const auto channels = static_cast<std::size_t>(state.channels);
    const int32_t bits = state.bits;
    const std::size_t bytes_per_sample = bits == 8 ? 1 : 2;
    const std::size_t samples = buffer.size() / bytes_per_sample;
    const std::size_t frames = (samples + channels - 1) / channels; // a partial frame counts
    BlockValues sums;
    for (std::size_t done = 0; done < frames; done += MIX_BLOCK_FRAMES) {
        const auto n = static_cast<int32_t>(std::min<std::size_t>(MIX_BLOCK_FRAMES, frames - done));
        for (auto& channel : sums)
            std::fill_n(channel, n, 0);
        if (channels == 2)
            mix_block<2>(increments, n, sums);
        else
            mix_block<1>(increments, n, sums);
        const std::size_t first = done * channels;
        const std::size_t count = std::min(static_cast<std::size_t>(n) * channels, samples - first);
        uint8_t* out = buffer.data() + first * bytes_per_sample;
        if (bits == 8)
            channels == 2 ? add_block<8, 2>(out, sums, count, state.sample_limit)
                          : add_block<8, 1>(out, sums, count, state.sample_limit);
        else
            channels == 2 ? add_block<16, 2>(out, sums, count, state.sample_limit)
                          : add_block<16, 1>(out, sums, count, state.sample_limit);
    }
}

int32_t active_tone_count() {
    if (!set_up.load())
        return 0;
    std::lock_guard guard(tone_lock);
    return static_cast<int32_t>(std::count_if(state.table.begin(), state.table.end(),
                                              [](const ActiveTone& t) { return t.active != 0; }));
}

bool tone_slot(int32_t index, ActiveTone& out) {
    if (!set_up.load())
        return false;
    std::lock_guard guard(tone_lock);
    if (index < 0 || index >= state.slot_count)
        return false;
    out = state.table[static_cast<std::size_t>(index)];
    return true;
}

namespace {

void refresh_tones_of(const ReadySample& live) {
    for (ActiveTone& tone : state.table) {
        if (tone.active == 0)
            continue;
        for (int32_t u = 0; u < tone.unit_count; ++u) {
            ToneUnit& tu = tone.units[u];
            if (tu.source != &live)
                continue;
            describe_ready(tu, live);
            refit_position(tu, tone.mode);
        }
        update_active(tone);
    }
}

} // namespace

void swap_ready(ReadySample& live, ReadySample& fresh) {
    std::lock_guard guard(tone_lock);
    std::swap(live, fresh);
    refresh_tones_of(live);
}

void swap_ready(std::span<ReadySample> live, std::span<ReadySample> fresh) {
    const std::size_t n = std::min(live.size(), fresh.size());
    std::lock_guard guard(tone_lock);
    for (std::size_t i = 0; i < n; ++i) {
        std::swap(live[i], fresh[i]);
        refresh_tones_of(live[i]);
    }
}

void swap_voice(Voice& live, Voice& fresh) {
    std::lock_guard guard(tone_lock);
    std::swap(live, fresh);
    // The old ready samples now sit in `fresh`; move their tones to the same index in `live`.
    const ReadySample* old_begin = fresh.ready.data();
    const ReadySample* old_end = old_begin + fresh.ready.size();
    const std::size_t live_units = static_cast<std::size_t>(voice_unit_count(live));
    const std::less<const ReadySample*> before;
    for (ActiveTone& tone : state.table) {
        if (tone.active == 0)
            continue;
        for (int32_t u = 0; u < tone.unit_count; ++u) {
            ToneUnit& tu = tone.units[u];
            if (tu.source == nullptr || before(tu.source, old_begin) || !before(tu.source, old_end))
                continue;
            const auto index = static_cast<std::size_t>(tu.source - old_begin);
            if (index >= live_units) {
                tu.playing = 0;
                tu.source = nullptr;
                continue;
            }
            describe_ready(tu, live.ready[index]);
            tu.step = unit_step(live.units[index], tu.body);
            refit_position(tu, tone.mode);
        }
        update_active(tone);
    }
}

void set_debug_sink(ToneDebugSink sink) { debug_sink.store(sink); }

void set_song_tempo(float beats_per_minute) {
    std::lock_guard guard(tone_lock);
    song_tempo = beats_per_minute;
}

} // namespace TonePlayer
} // namespace qv
