// Wave tables and envelope tables of coordinate and overtone units.
#include "voice/render.h"

#include "voice/allocation.h"
#include "voice/render_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qv {

namespace {

constexpr double PI = 3.141592653589793;
constexpr int32_t FULL_LEVEL = 128; // levels, volumes and amplitudes: 128 is full scale
constexpr int32_t CENTRE_PAN = 64;

WaveSource current_source;

// Entries usable of a point list whose stated count may disagree with its storage.
int32_t usable_count(int32_t point_count, const std::vector<VoicePoint>& points) {
    if (point_count <= 0)
        return 0;
    return static_cast<int32_t>(
        std::min(static_cast<std::size_t>(point_count), points.size()));
}

// Channel gain applied to a wave value: 64 is unity, pan moves gain off the far side.
void channel_factors(int32_t pan, int32_t channels, int32_t factor[2]) {
    factor[0] = factor[1] = CENTRE_PAN;
    if (channels != 2)
        return;
    if (pan > CENTRE_PAN)
        factor[0] = FULL_LEVEL - pan;
    if (pan < CENTRE_PAN)
        factor[1] = pan;
}

// Scaled value clipped to -1 .. 1; NaN cannot arise from finite points but would become 0.
double clipped(int32_t factor, double v) {
    double s = factor * v / CENTRE_PAN;
    if (s > 1.0)
        s = 1.0;
    if (s < -1.0)
        s = -1.0;
    return std::isnan(s) ? 0.0 : s;
}

} // namespace

void set_wave_source(const VoicePoint* points, int32_t point_count, int32_t volume,
                     int32_t length, int32_t resolution) {
    current_source = WaveSource{points, point_count, volume, length, resolution};
}

double overtone_value(int32_t i) { return overtone_value(current_source, i); }
double coordinate_value(int32_t i) { return coordinate_value(current_source, i); }

double overtone_value(const WaveSource& source, int32_t i) {
    if (source.points == nullptr || source.length <= 0)
        return 0.0;
    double sum = 0.0;
    for (int32_t k = 0; k < source.point_count; ++k) {
        const VoicePoint& p = source.points[k];
        if (p.x == 0) // harmonic 0 has no pitch; dividing by it would poison the whole sum
            continue;
        sum += std::sin(2.0 * PI * p.x * i / source.length) * p.y / p.x / FULL_LEVEL;
    }
    return sum * source.volume / FULL_LEVEL;
}

double coordinate_value(const WaveSource& source, int32_t i) {
    if (source.points == nullptr || source.point_count <= 0 || source.length <= 0)
        return 0.0;
    // 64-bit so that a hand-made resolution cannot overflow the product.
    const int64_t a = static_cast<int64_t>(source.resolution) * i / source.length;
    int32_t k = 0;
    while (k < source.point_count && source.points[k].x <= a)
        ++k;

    double value = 0.0;
    if (k == 0) {
        value = source.points[0].y; // before the first point: hold its level
    } else {
        const VoicePoint& p0 = source.points[k - 1];
        const bool wraps = k == source.point_count; // last segment runs to the first level
        const int64_t x1 = wraps ? source.resolution : source.points[k].x;
        const int32_t y1 = wraps ? source.points[0].y : source.points[k].y;
        if (a == p0.x || x1 == p0.x) // the second test only guards degenerate resolutions
            value = p0.y;
        else
            value = p0.y + (static_cast<double>(y1) - p0.y) * static_cast<double>(a - p0.x) /
                               static_cast<double>(x1 - p0.x);
    }
    return source.volume * value / FULL_LEVEL / FULL_LEVEL;
}

bool render_wave_table(const VoiceUnit& unit, ReadySample& ready, int32_t channels,
                       int32_t bits) {
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || ready.body < 0)
        return false;
    const std::size_t bytes = static_cast<std::size_t>(ready.body) *
                              static_cast<std::size_t>(channels) *
                              static_cast<std::size_t>(bits / 8);
    if (bytes > ready.pcm.size() * sizeof(int16_t))
        return false;

    int32_t factor[2];
    channel_factors(unit.pan, channels, factor);
    const WaveSource source{unit.wave.points.data(),
                            usable_count(unit.wave.point_count, unit.wave.points), unit.volume,
                            ready.body, unit.wave.resolution};
    const bool overtone = unit.wave.kind == WAVE_OVERTONE;

    int16_t* pcm16 = ready.pcm.data();
    uint8_t* pcm8 = reinterpret_cast<uint8_t*>(ready.pcm.data());
    for (int32_t i = 0; i < ready.body; ++i) {
        const double v = overtone ? overtone_value(source, i) : coordinate_value(source, i);
        for (int32_t c = 0; c < channels; ++c) {
            const double s = clipped(factor[c], v);
            const std::size_t at = static_cast<std::size_t>(i) * channels + c;
            if (bits == 16)
                pcm16[at] = static_cast<int16_t>(s * 32767); // conversion truncates toward zero
            else
                pcm8[at] = static_cast<uint8_t>(static_cast<int32_t>(s * 127) + 128);
        }
    }
    return true;
}

bool render_unit_wave_table(const VoiceUnit& unit, std::vector<int16_t>& pcm_out) {
    std::vector<int16_t>().swap(pcm_out);
    if (unit.wave.kind != WAVE_COORDINATE && unit.wave.kind != WAVE_OVERTONE)
        return false;
    ReadySample aside;
    aside.body = WAVE_TABLE_LENGTH;
    if (!allocate_zeroed(aside.pcm, static_cast<std::size_t>(WAVE_TABLE_LENGTH) * READY_CHANNELS))
        return false;
    if (!render_wave_table(unit, aside, READY_CHANNELS, READY_BITS))
        return false;
    pcm_out.swap(aside.pcm);
    return true;
}

bool update_wave_tables(Voice& voice) {
    constexpr std::size_t samples = static_cast<std::size_t>(WAVE_TABLE_LENGTH) * READY_CHANNELS;
    bool all = true;
    const std::size_t n = std::min(voice.units.size(), voice.ready.size());
    for (std::size_t u = 0; u < n; ++u) {
        const VoiceUnit& unit = voice.units[u];
        ReadySample& ready = voice.ready[u];
        if (unit.wave.kind != WAVE_COORDINATE && unit.wave.kind != WAVE_OVERTONE)
            continue;
        if (ready.pcm.size() < samples) { // never resize here: a sounding note may hold it
            all = false;
            continue;
        }
        ready.body = WAVE_TABLE_LENGTH;
        std::fill_n(ready.pcm.begin(), samples, int16_t{0});
        render_wave_table(unit, ready, READY_CHANNELS, READY_BITS);
    }
    return all;
}

namespace {

// One corner of the envelope: the level reached at a position in output samples.
struct Corner {
    int64_t position = 0;
    int64_t level = 0;
};

// Walks the head points as corners, skipping empty (0, 0) slots after the first point. Each
// step is truncated on its own and the steps are summed.
class CornerWalk {
  public:
    CornerWalk(const VoicePoint* points, int32_t count, int32_t rate, int32_t fps)
        : points_(points), count_(count), rate_(rate), fps_(fps) {}

    bool next(Corner& out) {
        while (k_ < count_) {
            const VoicePoint& p = points_[k_];
            const bool skip = k_ > 0 && p.x == 0 && p.y == 0;
            ++k_;
            if (skip)
                continue;
            // A step is below 2^62 and the sum is held below 2^62: no overflow.
            const int64_t step = static_cast<int64_t>(static_cast<double>(p.x) * rate_ / fps_);
            position_ = std::min(position_ + step, POSITION_LIMIT);
            out = Corner{position_, p.y};
            return true;
        }
        return false;
    }

  private:
    static constexpr int64_t POSITION_LIMIT = int64_t{1} << 62;
    const VoicePoint* points_;
    int32_t count_;
    int32_t rate_;
    int32_t fps_;
    int32_t k_ = 0;
    int64_t position_ = 0;
};

// Samples in `steps` envelope steps, cut at `limit`.
int64_t samples_of(double steps, int32_t rate, int32_t fps, int64_t limit) {
    const double samples = steps * rate / fps;
    return samples >= static_cast<double>(limit) ? limit : static_cast<int64_t>(samples);
}

bool envelope_is_sound(const VoiceEnvelope& e, int32_t rate) {
    if (rate < 0 || rate > ENVELOPE_MAX_RATE || e.head_count < 0 || e.tail_count < 0 || e.body_count < 0)
        return false;
    if (e.head_count == 0 && e.tail_count == 0)
        return true;
    if (e.fps <= 0)
        return false;
    const std::size_t needed = static_cast<std::size_t>(e.head_count) +
                               (e.tail_count > 0 ? static_cast<std::size_t>(e.body_count) + 1 : 0);
    if (e.points.size() < needed)
        return false;
    for (std::size_t k = 0; k < needed; ++k)
        if (e.points[k].x < 0)
            return false;
    return true;
}

// Straight lines between corners, starting from level 0 at position 0.
void fill_envelope(std::vector<uint8_t>& table, CornerWalk walk) {
    Corner current;
    Corner next;
    bool has_next = walk.next(next);
    const int64_t length = static_cast<int64_t>(table.size());
    for (int64_t s = 0; s < length; ++s) {
        while (has_next && s >= next.position) {
            current = next;
            has_next = walk.next(next);
        }
        int64_t level = current.level;
        if (has_next && next.position > current.position)
            level += (next.level - current.level) * (s - current.position) /
                     (next.position - current.position);
        table[static_cast<std::size_t>(s)] = static_cast<uint8_t>(level);
    }
}

} // namespace

bool build_unit_envelope(const VoiceUnit& unit, int32_t rate, std::vector<uint8_t>& table_out,
                         int32_t& release_length_out) {
    std::vector<uint8_t>().swap(table_out);
    release_length_out = 0;
    const VoiceEnvelope& e = unit.envelope;
    if (!envelope_is_sound(e, rate))
        return false;
    const int64_t limit = static_cast<int64_t>(ENVELOPE_MAX_SECONDS) * rate;

    if (e.head_count > 0) {
        int64_t total = 0; // at most 2^31 steps of under 2^31: fits
        for (int32_t k = 0; k < e.head_count; ++k)
            total += e.points[static_cast<std::size_t>(k)].x;
        int64_t length = samples_of(static_cast<double>(total), rate, e.fps, limit);
        if (length == 0)
            length = 1;
        if (!allocate_zeroed(table_out, static_cast<std::size_t>(length)))
            return false;
        fill_envelope(table_out, CornerWalk(e.points.data(), e.head_count, rate, e.fps));
    }
    if (e.tail_count > 0) {
        const VoicePoint& tail = e.points[static_cast<std::size_t>(e.head_count)];
        release_length_out = static_cast<int32_t>(samples_of(tail.x, rate, e.fps, limit));
    }
    return true;
}

bool build_envelopes(Voice& voice) {
    int32_t rate = 0;
    RenderFormat::get(nullptr, &rate, nullptr);
    for (ReadySample& ready : voice.ready) {
        std::vector<uint8_t>().swap(ready.envelope_table);
        ready.envelope_length = 0;
        ready.release_length = 0;
    }
    const std::size_t n = std::min(voice.units.size(), voice.ready.size());
    std::size_t total = 0;
    for (std::size_t u = 0; u < n; ++u) {
        ReadySample& ready = voice.ready[u];
        const bool built = build_unit_envelope(voice.units[u], rate, ready.envelope_table,
                                               ready.release_length);
        total += ready.envelope_table.size();
        if (!built || total > ENVELOPE_MAX_VOICE_BYTES) {
            for (ReadySample& r : voice.ready) {
                std::vector<uint8_t>().swap(r.envelope_table);
                r.envelope_length = 0;
                r.release_length = 0;
            }
            return false;
        }
        ready.envelope_length = static_cast<int32_t>(ready.envelope_table.size());
    }
    return true;
}

} // namespace qv
