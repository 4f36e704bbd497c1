// The mixer against a plain frame-by-frame model of the mixing arithmetic, on random voices,
// settings, output formats, region sizes and note changes. The model takes each tone as the
// player started it (through tone_slot) and then mixes on its own, so every output sample and
// every tone's state after each region must agree exactly.
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace qv {
namespace {

struct Format {
    int32_t channels, rate, bits;
};

class ReferenceMixer {
public:
    explicit ReferenceMixer(Format format)
        : format_(format), rate_ratio_(44100 / format.rate), fade_frames_(format.rate / 100),
          limit_(format.bits == 8 ? 127 : 32767), slots_(8) {}

    // Takes every slot as the player holds it now; the ring position stays the model's own.
    void take_slots() {
        for (std::size_t s = 0; s < slots_.size(); ++s)
            ASSERT_TRUE(TonePlayer::tone_slot(static_cast<int32_t>(s), slots_[s]));
    }

    void mix(std::vector<uint8_t>& buffer) {
        const std::size_t samples = format_.bits == 8 ? buffer.size() : buffer.size() / 2;
        int32_t frame[2] = {0, 0};
        for (std::size_t c = 0; c < samples; ++c) {
            const auto ch = static_cast<int32_t>(c % static_cast<std::size_t>(format_.channels));
            if (ch == 0)
                compute_frame(frame);
            if (format_.bits == 8) {
                buffer[c] = static_cast<uint8_t>(std::clamp(buffer[c] + frame[ch] - 128, 1, 255));
            } else {
                const auto s = static_cast<int16_t>(static_cast<uint16_t>(buffer[2 * c] | (buffer[2 * c + 1] << 8)));
                const auto bits = static_cast<uint16_t>(std::clamp(s + frame[ch], -32766, 32766));
                buffer[2 * c] = static_cast<uint8_t>(bits & 0xFF);
                buffer[2 * c + 1] = static_cast<uint8_t>(bits >> 8);
            }
        }
    }

    const ActiveTone& slot(std::size_t s) const { return slots_[s]; }

private:
    void compute_frame(int32_t (&frame)[2]) {
        for (ActiveTone& t : slots_)
            if (t.active != 0)
                for (ToneUnit& u : t.units)
                    if (u.playing > 0 && u.envelope_length != 0)
                        envelope_step(t, u);
        for (int32_t ch = 0; ch < format_.channels; ++ch) {
            for (ActiveTone& t : slots_) {
                int32_t contribution = 0;
                if (t.active != 0)
                    for (int32_t u = 0; u < t.unit_count; ++u)
                        if (t.units[u].playing > 0)
                            contribution += unit_value(t, t.units[u], ch);
                t.delay_ring[ch][ring_] = contribution;
            }
            int32_t sum = 0;
            for (const ActiveTone& t : slots_)
                sum += t.delay_ring[ch][(ring_ - t.pan_delay[ch]) & 63];
            if (format_.bits == 8)
                sum >>= 8;
            sum = std::clamp(sum, -limit_, limit_);
            frame[ch] = format_.bits == 8 ? sum + 128 : sum;
        }
        for (ActiveTone& t : slots_) {
            if (t.active == 0)
                continue;
            for (ToneUnit& u : t.units)
                advance(t, u);
            t.active = (t.units[0].playing > 0 || t.units[1].playing > 0) ? 1 : 0;
        }
        ring_ = (ring_ + 1) & 63;
    }

    static void envelope_step(const ActiveTone& t, ToneUnit& u) {
        if (t.key_held != 0) {
            if (u.envelope_pos < u.envelope_length)
                u.envelope_volume = u.envelope_table[u.envelope_pos++];
            return;
        }
        if (u.envelope_pos < u.release_length) {
            u.envelope_volume = u.release_start - u.release_start * u.envelope_pos / u.release_length;
        } else {
            u.playing = 0;
            u.envelope_volume = 0;
        }
        ++u.envelope_pos;
    }

    int32_t unit_value(const ActiveTone& t, const ToneUnit& u, int32_t ch) const {
        const auto i = static_cast<std::size_t>(u.position);
        int32_t v = format_.channels == 2 ? u.pcm[2 * i + static_cast<std::size_t>(ch)] : (u.pcm[2 * i] + u.pcm[2 * i + 1]) / 2;
        v = v * t.velocity / 128;
        v = v * t.pan_volume[ch] / 64;
        if (u.release_length != 0)
            v = v * u.envelope_volume / 128;
        else if (t.mode != 0 && u.release_counter > t.release_frames - fade_frames_)
            v = (t.release_frames - u.release_counter) * v / fade_frames_;
        return v;
    }

    void advance(const ActiveTone& t, ToneUnit& u) const {
        u.position += static_cast<double>(t.frequency) * static_cast<double>(u.step) * rate_ratio_;
        if (t.mode != 0) {
            if (u.position >= u.body) {
                u.position -= u.body;
                if (u.position >= u.body)
                    u.position = 0.0;
            }
            if (u.tail == 0 && u.release_length == 0 && t.key_held == 0)
                ++u.release_counter;
        } else {
            if (u.position >= u.body)
                u.playing = 0;
            if (t.key_held == 0)
                ++u.release_counter;
        }
        if (u.release_counter >= t.release_frames)
            u.playing = 0;
    }

    Format format_;
    int32_t rate_ratio_, fade_frames_, limit_;
    int32_t ring_ = 0;
    std::vector<ActiveTone> slots_;
};

using Random = std::mt19937;

int32_t pick(Random& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

test::UnitData random_unit(Random& random) {
    const int32_t frames = pick(random, 1, 700);
    std::vector<int16_t> pcm(static_cast<std::size_t>(frames) * 2);
    for (int16_t& s : pcm) // now and then the extremes, where truncation and clamps bite
        s = static_cast<int16_t>(pick(random, 0, 9) == 0 ? (pick(random, 0, 1) ? 32767 : -32768) : pick(random, -32768, 32767));
    test::UnitData unit{pcm};
    unit.body = pick(random, 1, frames);
    unit.tail = pick(random, 0, 2) == 0 ? pick(random, 1, 50) : 0;
    if (pick(random, 0, 2) != 0)
        for (int32_t i = pick(random, 1, 900); i > 0; --i)
            unit.envelope.push_back(static_cast<uint8_t>(pick(random, 0, 255)));
    unit.release_length = pick(random, 0, 2) == 0 ? 0 : pick(random, 1, 3000);
    return unit;
}

Voice random_voice(Random& random) {
    std::vector<test::UnitData> units;
    for (int32_t u = pick(random, 1, 2); u > 0; --u)
        units.push_back(random_unit(random));
    Voice voice = test::make_voice(units);
    for (VoiceUnit& unit : voice.units) // steps other than 1.0, some near or past a body a frame
        unit.basic_key = 0x4500 + pick(random, -3000, 600);
    return voice;
}

int32_t random_setting(Random& random) { return pick(random, 0, 4) == 0 ? -1 : pick(random, 0, 128); }

float random_factor(Random& random) {
    return std::uniform_real_distribution<float>(0.05f, pick(random, 0, 9) == 0 ? 400.0f : 4.0f)(random);
}

void expect_same_state(const ActiveTone& expected, const ActiveTone& actual, const std::string& where) {
    ASSERT_EQ(actual.active, expected.active) << where;
    for (int32_t ch = 0; ch < 2; ++ch)
        for (int32_t i = 0; i < DELAY_RING_LENGTH; ++i)
            ASSERT_EQ(actual.delay_ring[ch][i], expected.delay_ring[ch][i]) << where << " ring " << ch << "/" << i;
    for (int32_t u = 0; u < TONE_UNIT_MAX; ++u) {
        const ToneUnit& e = expected.units[u];
        const ToneUnit& a = actual.units[u];
        ASSERT_EQ(a.playing, e.playing) << where << " unit " << u;
        if (e.playing <= 0)
            continue;
        ASSERT_EQ(a.position, e.position) << where << " unit " << u;
        ASSERT_EQ(a.envelope_volume, e.envelope_volume) << where << " unit " << u;
        ASSERT_EQ(a.envelope_pos, e.envelope_pos) << where << " unit " << u;
        ASSERT_EQ(a.release_counter, e.release_counter) << where << " unit " << u;
    }
}

// One run: a format, a few voices, notes started, released, cut and retuned between regions
// of random sizes (across the mixer's internal blocks), each region over random sound.
void run_against_model(uint32_t seed) {
    Random random(seed);
    const Format formats[] = {{2, 44100, 16}, {2, 22050, 16}, {1, 44100, 16}, {2, 11025, 8},
                              {1, 22050, 8}, {2, 44100, 8}};
    const Format format = formats[pick(random, 0, 5)];
    ASSERT_TRUE(TonePlayer::initialize(format.channels, format.rate, format.bits, 8));
    ReferenceMixer model(format);
    std::vector<Voice> voices;
    for (int v = 0; v < 3; ++v)
        voices.push_back(random_voice(random));
    std::vector<int32_t> ids;
    const int32_t bytes_per_frame = format.channels * format.bits / 8;
    for (int region = 0; region < 40; ++region) {
        const int32_t action = pick(random, 0, 9);
        if (action <= 3 || ids.empty()) {
            const int32_t mode = pick(random, 0, 4) == 0 ? 0 : 1;
            ids.push_back(TonePlayer::start_tone(voices[static_cast<std::size_t>(pick(random, 0, 2))], mode,
                                                 random_factor(random), random_setting(random),
                                                 random_setting(random), random_setting(random)));
        } else if (action <= 6) {
            const int32_t id = ids[static_cast<std::size_t>(pick(random, 0, static_cast<int32_t>(ids.size()) - 1))];
            TonePlayer::stop_tone(id, action == 6 ? ToneStop::Immediate : ToneStop::Release);
        } else if (action == 7) {
            TonePlayer::set_tone_frequency(ids.back(), random_factor(random));
        }
        ASSERT_NO_FATAL_FAILURE(model.take_slots());
        // Mostly whole frames; now and then a stereo region that ends half-way through a frame.
        const int32_t frames = pick(random, 0, 3) == 0 ? pick(random, 1, 20) : pick(random, 1, 900);
        const int32_t extra = format.channels == 2 && pick(random, 0, 5) == 0 ? format.bits / 8 : 0;
        std::vector<uint8_t> actual(static_cast<std::size_t>(frames * bytes_per_frame + extra));
        for (uint8_t& b : actual)
            b = static_cast<uint8_t>(pick(random, 0, 3) == 0 ? pick(random, 0, 255) : (format.bits == 8 ? 128 : 0));
        std::vector<uint8_t> expected = actual;
        TonePlayer::mix(actual);
        model.mix(expected);
        const std::string where = "seed " + std::to_string(seed) + " region " + std::to_string(region);
        ASSERT_EQ(actual, expected) << where;
        for (int32_t s = 0; s < 8; ++s) {
            ActiveTone slot;
            ASSERT_TRUE(TonePlayer::tone_slot(s, slot));
            ASSERT_NO_FATAL_FAILURE(expect_same_state(model.slot(static_cast<std::size_t>(s)), slot,
                                                      where + " slot " + std::to_string(s)));
        }
    }
    TonePlayer::release();
}

TEST(MixReferenceTest, RandomNotesMixExactlyAsFrameByFrame) {
    build_pitch_table();
    TonePlayer::release();
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        run_against_model(seed);
        if (HasFatalFailure()) {
            TonePlayer::release();
            return;
        }
    }
}

} // namespace
} // namespace qv
