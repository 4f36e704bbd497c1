// The tone player's note control and mixer, checked sample by sample on hand-made ready samples.
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace qv {
namespace {

using test::constant_pcm;
using test::counting_pcm;
using test::make_voice;
using test::mix16;

class TonePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        build_pitch_table();
        TonePlayer::release();
    }
    void TearDown() override { TonePlayer::release(); }

    static void open(int32_t channels = 2, int32_t rate = 44100, int32_t bits = 16, int32_t slots = 8) {
        ASSERT_TRUE(TonePlayer::initialize(channels, rate, bits, slots));
    }
};

int16_t left(const std::vector<int16_t>& stereo, std::size_t frame) { return stereo[2 * frame]; }
int16_t right(const std::vector<int16_t>& stereo, std::size_t frame) { return stereo[2 * frame + 1]; }

TEST_F(TonePlayerTest, NinthNoteIsRefusedAndTheEightOthersAreUnchanged) {
    open();
    const Voice voice = make_voice({{constant_pcm(100, 1000, 1000)}});
    int32_t previous = 0;
    for (int n = 0; n < 8; ++n) {
        const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
        ASSERT_GT(id, previous);
        previous = id;
    }
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1), -1);
    EXPECT_EQ(TonePlayer::active_tone_count(), 8);
    const auto out = mix16(10, 2);
    for (int16_t s : out)
        EXPECT_EQ(s, 8000);
    TonePlayer::stop_tone(-1, ToneStop::Immediate); // the id a refused note keeps
    EXPECT_EQ(TonePlayer::active_tone_count(), 8);
}

TEST_F(TonePlayerTest, VoicePanScalesOneSideOnlyAndIsIgnoredInMono) {
    struct Case { int32_t vpan; int16_t left, right; };
    const Case cases[] = {{0, 6400, 0}, {32, 6400, 3200}, {64, 6400, 6400}, {-1, 6400, 6400},
                          {96, 3200, 6400}, {128, 0, 6400}};
    const Voice voice = make_voice({{constant_pcm(50, 6400, 6400)}});
    for (const Case& c : cases) {
        open();
        TonePlayer::start_tone(voice, 1, 1.0f, c.vpan, 128, -1);
        const auto out = mix16(4, 2);
        EXPECT_EQ(left(out, 3), c.left) << "vpan " << c.vpan;
        EXPECT_EQ(right(out, 3), c.right) << "vpan " << c.vpan;
        TonePlayer::release();

        open(1);
        TonePlayer::start_tone(voice, 1, 1.0f, c.vpan, 128, 0);
        EXPECT_EQ(mix16(1, 1)[0], 6400) << "mono, vpan " << c.vpan; // no pan, no delay
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, TimePanDelaysTheFarChannelByUpTo63FramesOverTheRateRatio) {
    struct Case { int32_t rate, tpan, left_delay, right_delay; };
    const Case cases[] = {{44100, 0, 0, 63},  {22050, 0, 0, 31},  {11025, 0, 0, 15},
                          {44100, 1, 0, 63},  {44100, 64, 0, 0},  {44100, -1, 0, 0},
                          {44100, 100, 36, 0}, {44100, 128, 63, 0}, {22050, 128, 31, 0}};
    const Voice voice = make_voice({{constant_pcm(50, 1000, 1000)}});
    for (const Case& c : cases) {
        open(2, c.rate);
        TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, c.tpan);
        const auto out = mix16(80, 2);
        int first_left = -1, first_right = -1;
        for (int f = 79; f >= 0; --f) {
            if (left(out, f) != 0) first_left = f;
            if (right(out, f) != 0) first_right = f;
        }
        EXPECT_EQ(first_left, c.left_delay) << "rate " << c.rate << " tpan " << c.tpan;
        EXPECT_EQ(first_right, c.right_delay) << "rate " << c.rate << " tpan " << c.tpan;
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, MonoOutputAveragesLeftAndRightTruncatingTowardZero) {
    open(1);
    const Voice voice = make_voice({{std::vector<int16_t>{1001, -2, -1001, 2, 7, -8, 30000, 30001}}});
    TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    EXPECT_EQ(mix16(4, 1), (std::vector<int16_t>{499, -499, 0, 30000}));
}

TEST_F(TonePlayerTest, VelocityScalesBeforePanWithTruncation) {
    open();
    const Voice voice = make_voice({{constant_pcm(10, -1001, 1001)}});
    TonePlayer::start_tone(voice, 1, 1.0f, 96, -1, -1); // velocity 104, left volume 32
    const auto out = mix16(1, 2);
    EXPECT_EQ(left(out, 0), -1001 * 104 / 128 * 32 / 64);
    EXPECT_EQ(right(out, 0), 1001 * 104 / 128);
}

// Frames that still sound after a release, for each row of the note-length table; -1 means
// the note keeps sounding until it is cut.
TEST_F(TonePlayerTest, ReleaseLengthsFollowTheEnvelopeReleaseAndTail) {
    struct Case { int mode; bool envelope; int32_t release, tail, sounding, free_after; };
    const Case cases[] = {
        {1, true, 300, 0, 300, 301},   {0, true, 300, 0, 300, 301},
        {1, true, 6000, 0, 6000, 6001}, {0, true, 6000, 0, 4410, 4410},
        {1, true, 0, 0, 0, 1},         {0, true, 0, 0, 0, 1},
        {1, false, 300, 0, -1, -1},    {0, false, 300, 0, 4410, 4410},
        {1, false, 0, 0, 4410, 4410},  {0, false, 0, 0, 4410, 4410},
        {1, false, 0, 10, -1, -1},     {0, false, 0, 10, 4410, 4410},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " envelope " << c.envelope
                                        << " release " << c.release << " tail " << c.tail);
        open();
        test::UnitData unit{constant_pcm(20000, 1000, 1000)};
        unit.tail = c.tail;
        unit.release_length = c.release;
        if (c.envelope)
            unit.envelope.assign(50, 128);
        const Voice voice = make_voice({unit});
        const int32_t id = TonePlayer::start_tone(voice, c.mode, 1.0f, -1, 128, -1);
        mix16(100, 2);
        TonePlayer::stop_tone(id, ToneStop::Release);
        int sounding = 0;
        int free_after = -1;
        for (int f = 1; f <= 12000 && free_after < 0; ++f) {
            if (left(mix16(1, 2), 0) != 0)
                sounding = f;
            if (TonePlayer::active_tone_count() == 0)
                free_after = f;
        }
        EXPECT_EQ(free_after, c.free_after);
        if (c.sounding >= 0)
            EXPECT_EQ(sounding, c.sounding);
        else
            EXPECT_EQ(sounding, 12000);
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, RepeatModeWithoutEnvelopeFadesOverTheLastTenMilliseconds) {
    open();
    const Voice voice = make_voice({{constant_pcm(100, 1000, 1000)}});
    const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    mix16(10, 2);
    TonePlayer::stop_tone(id, ToneStop::Release);
    const auto out = mix16(4411, 2);
    EXPECT_EQ(left(out, 3969), 1000);     // release_counter 3969: not yet fading
    EXPECT_EQ(left(out, 3970), 997);      // (4410 - 3970) * 1000 / 441
    EXPECT_EQ(left(out, 4409), 2);        // 1 * 1000 / 441
    EXPECT_EQ(left(out, 4410), 0);
}

TEST_F(TonePlayerTest, EnvelopeHoldsItsLastValueAndReleaseRampsFromTheCurrentVolume) {
    open();
    test::UnitData unit{constant_pcm(100, 1280, 1280)};
    unit.envelope = {32, 64, 128};
    unit.release_length = 4;
    const Voice voice = make_voice({unit});
    const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    auto out = mix16(5, 2);
    EXPECT_EQ(left(out, 0), 320);
    EXPECT_EQ(left(out, 1), 640);
    EXPECT_EQ(left(out, 4), 1280);
    TonePlayer::stop_tone(id, ToneStop::Release);
    out = mix16(2, 2);
    EXPECT_EQ(left(out, 0), 1280); // 128
    EXPECT_EQ(left(out, 1), 960);  // 128 - 128 * 1 / 4
    // A second release restarts the ramp from the volume reached.
    TonePlayer::stop_tone(id, ToneStop::Release);
    out = mix16(6, 2);
    EXPECT_EQ(left(out, 0), 960); // 96
    EXPECT_EQ(left(out, 1), 720); // 96 - 96 / 4
    EXPECT_EQ(left(out, 3), 240);
    EXPECT_EQ(left(out, 4), 0);
    EXPECT_EQ(TonePlayer::active_tone_count(), 0);
}

TEST_F(TonePlayerTest, OneShotStopsWhenItsPositionReachesTheBody) {
    struct Case { float frea; std::vector<int> frames; };
    const Case cases[] = {{1.0f, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                          {0.75f, {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9}},
                          {4.0f, {0, 4, 8}}};
    for (const Case& c : cases) {
        open();
        const Voice voice = make_voice({{counting_pcm(10)}});
        TonePlayer::start_tone(voice, 0, c.frea, -1, 128, -1);
        const auto out = mix16(20, 2);
        for (std::size_t f = 0; f < 20; ++f) {
            const int expected = f < c.frames.size() ? (c.frames[f] + 1) * 10 : 0;
            EXPECT_EQ(left(out, f), expected) << "frea " << c.frea << " frame " << f;
        }
        EXPECT_EQ(TonePlayer::active_tone_count(), 0);
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, RepeatModeWrapsOnceAndRestartsAtZeroWhenStillPastTheBody) {
    struct Case { float frea; std::vector<int> frames; };
    const Case cases[] = {{1.0f, {0, 1, 2, 3, 0, 1, 2, 3}},
                          {2.5f, {0, 2, 1, 3, 2, 0, 3, 1}},
                          {6.0f, {0, 2, 0, 2, 0, 2, 0, 2}},
                          {9.0f, {0, 0, 0, 0, 0, 0, 0, 0}}};
    for (const Case& c : cases) {
        open();
        const Voice voice = make_voice({{counting_pcm(4)}});
        TonePlayer::start_tone(voice, 1, c.frea, -1, 128, -1);
        const auto out = mix16(8, 2);
        for (std::size_t f = 0; f < 8; ++f)
            EXPECT_EQ(left(out, f), (c.frames[f] + 1) * 10) << "frea " << c.frea << " frame " << f;
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, OutputIsClampedAndNeverReachesTheExtremeValues) {
    const Voice loud = make_voice({{constant_pcm(10, 32767, -32768)}});
    const Voice small = make_voice({{constant_pcm(10, 2560, -2561)}});

    open(2, 44100, 16);
    for (int n = 0; n < 8; ++n)
        TonePlayer::start_tone(loud, 1, 1.0f, -1, 128, -1);
    EXPECT_EQ(mix16(1, 2), (std::vector<int16_t>{32766, -32766}));
    TonePlayer::stop_tone(-1, ToneStop::Immediate);
    TonePlayer::release();

    open(2, 44100, 16);
    std::vector<uint8_t> extremes = {0xFF, 0x7F, 0x00, 0x80, 0x01, 0x80, 0xFE, 0x7F}; // 32767 -32768 -32767 32766
    TonePlayer::mix(extremes);
    EXPECT_EQ(extremes, (std::vector<uint8_t>{0xFE, 0x7F, 0x02, 0x80, 0x02, 0x80, 0xFE, 0x7F}));
    TonePlayer::release();

    open(2, 44100, 8);
    std::vector<uint8_t> bytes = {0, 255, 128, 128};
    TonePlayer::mix(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 255, 128, 128})); // no tone: only the buffer clamp
    for (int n = 0; n < 8; ++n)
        TonePlayer::start_tone(loud, 1, 1.0f, -1, 128, -1);
    bytes = {128, 128, 255, 0};
    TonePlayer::mix(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{255, 1, 255, 1}));
    TonePlayer::release();

    open(2, 44100, 8);
    TonePlayer::start_tone(small, 1, 1.0f, -1, 128, -1);
    bytes = {128, 128};
    TonePlayer::mix(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{138, 117})); // 2560 >> 8 = 10, -2561 >> 8 = -11
}

TEST_F(TonePlayerTest, ANewToneInASlotStillHearsThePreviousTonesDelayedTail) {
    open();
    const Voice first = make_voice({{constant_pcm(10, 1000, 1000)}});
    const Voice second = make_voice({{constant_pcm(10, 10, 10)}});
    const int32_t id = TonePlayer::start_tone(first, 1, 1.0f, -1, 128, 0); // right 63 frames late
    mix16(100, 2);
    TonePlayer::stop_tone(id, ToneStop::Immediate);
    TonePlayer::start_tone(second, 1, 1.0f, -1, 128, 0);
    const auto out = mix16(64, 2);
    EXPECT_EQ(left(out, 0), 10);
    EXPECT_EQ(right(out, 0), 1000);
    EXPECT_EQ(right(out, 62), 1000);
    EXPECT_EQ(right(out, 63), 10);
}

// Whatever the region sizes, the frames are the same: a note's state, its delay ring and the
// ring position carry over from one mix call to the next.
TEST_F(TonePlayerTest, RegionSizesDoNotChangeTheOutput) {
    test::UnitData enveloped{counting_pcm(300)};
    enveloped.envelope = {0, 40, 80, 120, 128, 100, 90};
    enveloped.release_length = 700;
    const Voice voice = make_voice({enveloped, {counting_pcm(97)}});
    auto play = [&](const std::vector<int32_t>& chunks) {
        open();
        std::vector<int16_t> out;
        int32_t ids[4] = {TonePlayer::start_tone(voice, 1, 1.25f, 10, 100, 0),
                          TonePlayer::start_tone(voice, 0, 0.5f, 120, 90, 128),
                          TonePlayer::start_tone(voice, 1, 3.0f, 64, 128, 40), -1};
        int32_t done = 0;
        for (int32_t chunk : chunks) {
            if (done >= 1500 && ids[3] < 0) {
                TonePlayer::stop_tone(ids[0], ToneStop::Release);
                TonePlayer::stop_tone(ids[2], ToneStop::Release);
                ids[3] = TonePlayer::start_tone(voice, 1, 2.0f, -1, -1, 0);
            }
            const auto part = mix16(chunk, 2);
            out.insert(out.end(), part.begin(), part.end());
            done += chunk;
        }
        TonePlayer::release();
        return out;
    };
    const auto whole = play({1500, 4500});
    EXPECT_EQ(play(std::vector<int32_t>(6000, 1)), whole);
    EXPECT_EQ(play({7, 249, 256, 257, 731, 1500 - 7 - 249 - 256 - 257 - 731, 255, 1, 4244}), whole);
    EXPECT_NE(whole, std::vector<int16_t>(whole.size(), 0));
}

TEST_F(TonePlayerTest, APartialLastFrameIsComputedAndOnlyItsFirstChannelAdded) {
    open();
    const Voice voice = make_voice({{counting_pcm(10)}});
    TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    EXPECT_EQ(mix16(1, 3), (std::vector<int16_t>{10, 10, 20})); // three samples: a frame and a half
    EXPECT_EQ(mix16(1, 2), (std::vector<int16_t>{30, 30}));
}

TEST_F(TonePlayerTest, FrequencyChangeAppliesFromTheNextFrameWithoutMovingThePosition) {
    open();
    const Voice voice = make_voice({{counting_pcm(20)}});
    const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    mix16(3, 2); // position 3
    TonePlayer::set_tone_frequency(id, 2.0f);
    const auto out = mix16(3, 2);
    EXPECT_EQ(left(out, 0), 40);
    EXPECT_EQ(left(out, 1), 60);
    EXPECT_EQ(left(out, 2), 80);
}

TEST_F(TonePlayerTest, SetUpRefusesASecondInitializeAndFormatsItCannotPlay) {
    open();
    EXPECT_FALSE(TonePlayer::initialize(2, 44100, 16, 8));
    EXPECT_FALSE(TonePlayer::is_set_up());
    const Voice voice = make_voice({{constant_pcm(10, 1, 1)}});
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1), -1);

    struct Format { int32_t channels, rate, bits, slots; bool ok; };
    const Format formats[] = {{2, 48000, 16, 8, false}, {2, 99, 16, 8, false}, {3, 44100, 16, 8, false},
                              {2, 44100, 12, 8, false}, {2, 44100, 16, 0, false},
                              {2, 44100, 16, TONE_SLOT_MAX + 1, false}, {1, 8000, 8, 1, true}};
    for (const Format& f : formats) {
        EXPECT_EQ(TonePlayer::initialize(f.channels, f.rate, f.bits, f.slots), f.ok)
            << f.channels << " " << f.rate << " " << f.bits << " " << f.slots;
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, IdsKeepCountingAcrossReinitialisation) {
    const Voice voice = make_voice({{constant_pcm(10, 1, 1)}});
    open();
    const int32_t first = TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1);
    TonePlayer::release();
    open();
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1), first + 1);
}

// Values no editor writes must neither make the mixer read outside a buffer nor break its
// arithmetic; each case says how the note is played instead.
TEST_F(TonePlayerTest, HostileReadySamplesAndFactorsArePlayedSafely) {
    struct Case {
        const char* name;
        std::function<void(Voice&)> spoil;
        float frea;
        std::vector<int16_t> left_frames; // expected left samples of the first frames
        bool active_after;
    };
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"body past the PCM loops over what exists", [](Voice& v) { v.ready[0].body = 1000000; },
         1.0f, {10, 20, 30, 40, 10}, true},
        {"negative body is silent", [](Voice& v) { v.ready[0].body = -5; }, 1.0f, {0, 0}, false},
        {"no PCM is silent", [](Voice& v) { v.ready[0].pcm.clear(); }, 1.0f, {0, 0}, false},
        {"NaN tuning reads frame 0", [](Voice& v) { v.units[0].tuning = nan; }, 1.0f, {10, 10, 10}, true},
        {"negative tuning reads frame 0", [](Voice& v) { v.units[0].tuning = -2.0f; }, 1.0f, {10, 10}, true},
        {"infinite tuning restarts each frame", [](Voice& v) { v.units[0].tuning = inf; }, 1.0f, {10, 10}, true},
        {"NaN factor reads frame 0", [](Voice&) {}, nan, {10, 10, 10}, true},
        {"negative factor reads frame 0", [](Voice&) {}, -3.0f, {10, 10}, true},
        {"infinite factor restarts each frame", [](Voice&) {}, inf, {10, 10}, true},
        {"extreme basic key", [](Voice& v) { v.units[0].basic_key = INT32_MIN; }, 1.0f, {10}, true},
        {"more units claimed than stored", [](Voice& v) { v.unit_count = 40; }, 1.0f, {10, 20}, true},
        {"envelope length past its table holds the last entry",
         [](Voice& v) { v.ready[0].envelope_table = {128, 64}; v.ready[0].envelope_length = 9999; v.ready[0].release_length = 5; },
         1.0f, {10, 10, 15, 20}, true},
        {"negative envelope length plays without envelope",
         [](Voice& v) { v.ready[0].envelope_table = {0}; v.ready[0].envelope_length = -7; }, 1.0f, {10, 20}, true},
    };
    for (const Case& c : cases) {
        open();
        Voice voice = make_voice({{counting_pcm(4)}});
        c.spoil(voice);
        TonePlayer::start_tone(voice, 1, c.frea, -1, 128, -1);
        const auto out = mix16(static_cast<int32_t>(c.left_frames.size()), 2);
        for (std::size_t f = 0; f < c.left_frames.size(); ++f)
            EXPECT_EQ(left(out, f), c.left_frames[f]) << c.name << ", frame " << f;
        EXPECT_EQ(TonePlayer::active_tone_count() != 0, c.active_after) << c.name;
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, HugeReleaseLengthRampsWithoutOverflow) {
    open();
    test::UnitData unit{constant_pcm(10, 12800, 12800)};
    unit.envelope = {128};
    unit.release_length = INT32_MAX;
    const Voice voice = make_voice({unit});
    const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    mix16(2, 2);
    TonePlayer::stop_tone(id, ToneStop::Release);
    EXPECT_EQ(left(mix16(3, 2), 2), 12800);
}

TEST_F(TonePlayerTest, ThirdAndFurtherUnitsOfAVoiceAreNotPlayed) {
    open();
    const Voice voice = make_voice({{constant_pcm(10, 1, 1)}, {constant_pcm(10, 20, 20)},
                                    {constant_pcm(10, 300, 300)}});
    TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    EXPECT_EQ(left(mix16(1, 2), 0), 21);
}

TEST_F(TonePlayerTest, BeatFitUnitWithoutTempoKeepsReadingFrameZero) {
    open();
    Voice voice = make_voice({{counting_pcm(8)}});
    voice.units[0].voice_flags = VOICE_FLAG_BEAT_FIT;
    TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    const auto out = mix16(3, 2);
    EXPECT_EQ(left(out, 0), 10);
    EXPECT_EQ(left(out, 2), 10);
}

TEST_F(TonePlayerTest, StepFollowsTheBasicKeyAndTuning) {
    open();
    Voice voice = make_voice({{counting_pcm(40)}});
    voice.units[0].basic_key = 0x4500 - 3072; // an octave below the reference: twice as fast
    voice.units[0].tuning = 1.5f;
    TonePlayer::start_tone(voice, 1, 1.0f, -1, 128, -1);
    const auto out = mix16(3, 2);
    EXPECT_EQ(left(out, 1), 40); // position 3
    EXPECT_EQ(left(out, 2), 70); // position 6
}

TEST_F(TonePlayerTest, SwapMovesSoundingTonesOntoTheFreshBuffers) {
    struct Case { int mode; int32_t fresh_frames; int16_t expected; bool active; };
    // position 300 of 400: a fresh body of 100 restarts a repeating tone at 0 and ends a
    // one-shot; a body of 400 goes on at the same position.
    const Case cases[] = {{1, 100, 10, true}, {0, 100, 0, false}, {1, 400, 3010, true}};
    for (const Case& c : cases) {
        open();
        Voice voice = make_voice({{constant_pcm(400, 5, 5)}});
        TonePlayer::start_tone(voice, c.mode, 1.0f, -1, 128, -1);
        mix16(300, 2);
        ReadySample fresh;
        fresh.pcm = counting_pcm(c.fresh_frames);
        fresh.body = c.fresh_frames;
        const int16_t* old_data = voice.ready[0].pcm.data();
        TonePlayer::swap_ready(voice.ready[0], fresh);
        EXPECT_EQ(fresh.pcm.data(), old_data); // the caller frees the old buffer
        EXPECT_EQ(left(mix16(1, 2), 0), c.expected) << "mode " << c.mode << " frames " << c.fresh_frames;
        EXPECT_EQ(TonePlayer::active_tone_count() != 0, c.active);
        fresh = ReadySample{}; // a sounding tone must not read it any more (ASan would tell)
        mix16(10, 2);
        TonePlayer::release();
    }
}

TEST_F(TonePlayerTest, VoiceSwapGivesTonesTheNewUnitsAndSilencesMissingOnes) {
    open();
    Voice live = make_voice({{constant_pcm(50, 1, 1)}, {constant_pcm(50, 1000, 1000)}});
    TonePlayer::start_tone(live, 1, 1.0f, -1, 128, -1);
    EXPECT_EQ(left(mix16(1, 2), 0), 1001);
    Voice fresh = make_voice({{counting_pcm(50)}});
    fresh.units[0].basic_key = 0x4500 - 3072; // step 2 in the new voice
    TonePlayer::swap_voice(live, fresh);
    release(fresh);
    const auto out = mix16(2, 2); // position 1, then 3
    EXPECT_EQ(left(out, 0), 20);
    EXPECT_EQ(left(out, 1), 40);
}

std::string debug_lines;
void collect(std::string_view line) { debug_lines += line; }

TEST_F(TonePlayerTest, EachStartedNoteWritesOneLineToTheDebugSink) {
    open(2, 44100, 16, 1);
    const Voice voice = make_voice({{constant_pcm(10, 1, 1)}});
    debug_lines.clear();
    TonePlayer::set_debug_sink(collect);
    TonePlayer::start_tone(voice, 0x101, 1.5f, -1, 104, 3);
    TonePlayer::start_tone(voice, 0, 2.0f, 7, -1, -1); // refused (one slot), still written
    TonePlayer::set_debug_sink(nullptr);
    TonePlayer::start_tone(voice, 0, 2.0f, 7, -1, -1);
    EXPECT_EQ(debug_lines, "mode:1 / frea:1.500000 / vpan:-1 / vel:104 / tpan:3\n"
                           "mode:0 / frea:2.000000 / vpan:7 / vel:-1 / tpan:-1\n");
}

TEST_F(TonePlayerTest, NothingHappensWhenThePlayerIsNotSetUp) {
    const Voice voice = make_voice({{constant_pcm(10, 100, 100)}});
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1), -1);
    std::vector<uint8_t> bytes = {7, 0, 9, 0};
    TonePlayer::mix(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{7, 0, 9, 0}));
    EXPECT_EQ(TonePlayer::active_tone_count(), 0);
}

} // namespace
} // namespace qv
