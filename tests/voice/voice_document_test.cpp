// The edited voice: defaults, selection, velocity, presets with their random generator, unit
// copies, and re-rendering while a note sounds.
#include "voice/voice_document.h"

#include <gtest/gtest.h>

#include <vector>

#include "sound/tone_player.h"
#include "voice/pitch_table.h"
#include "voice/presets.h"
#include "voice/render_format.h"

// Points compare and print by value in these tests.
namespace qv {
static bool operator==(const VoicePoint& a, const VoicePoint& b) { return a.x == b.x && a.y == b.y; }
[[maybe_unused]] static void PrintTo(const VoicePoint& p, std::ostream* out) {
    *out << "(" << p.x << ", " << p.y << ")";
}
} // namespace qv

namespace {

namespace doc = qv::VoiceDocument;
using Points = std::vector<qv::VoicePoint>;

// The first n points of a wave, for comparing against a table row.
Points head_points(const qv::VoiceWave& wave, std::size_t n) {
    return Points(wave.points.begin(), wave.points.begin() + static_cast<std::ptrdiff_t>(n));
}

std::vector<int32_t> amplitudes(const qv::VoiceWave& wave) {
    std::vector<int32_t> out;
    for (const qv::VoicePoint& p : wave.points)
        out.push_back(p.y);
    return out;
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(doc::create()); }
    void TearDown() override {
        doc::release();
        qv::set_random_seconds_source(nullptr);
    }
};

TEST_F(DocumentTest, NewDocumentHasTheDefaultUnits) {
    const qv::VoiceUnit& a = doc::unit(0);
    const qv::VoiceUnit& b = doc::unit(1);
    EXPECT_EQ(a.basic_key, 11520);
    EXPECT_EQ(a.volume, 64);
    EXPECT_EQ(b.volume, 0);
    for (const qv::VoiceUnit* u : {&a, &b}) {
        EXPECT_EQ(u->pan, 64);
        EXPECT_EQ(u->tuning, 1.0f);
        EXPECT_EQ(u->voice_flags, 3u);
        EXPECT_EQ(u->data_flags, 3u);
        EXPECT_EQ(u->wave.kind, qv::WAVE_COORDINATE);
        EXPECT_EQ(u->wave.resolution, 200);
        ASSERT_EQ(u->wave.points.size(), 31u);
        ASSERT_EQ(u->envelope.points.size(), 32u);
        EXPECT_EQ(u->envelope.fps, 100);
        EXPECT_EQ(u->envelope.head_count, 31);
        EXPECT_EQ(u->envelope.tail_count, 1);
        EXPECT_EQ(u->envelope.points[0], (qv::VoicePoint{0, 128}));
        EXPECT_EQ(u->envelope.points[31], (qv::VoicePoint{1, 0}));
        EXPECT_EQ(u->envelope.points[1], (qv::VoicePoint{0, 0}));
    }
    EXPECT_EQ(a.wave.point_count, 3);
    EXPECT_EQ(head_points(a.wave, 4), (Points{{0, 0}, {50, 64}, {150, -64}, {0, 0}}));
    EXPECT_EQ(b.wave.point_count, 1);
    EXPECT_EQ(head_points(b.wave, 2), (Points{{0, 0}, {0, 0}}));
    EXPECT_EQ(doc::selected_unit(), 0);
    EXPECT_EQ(doc::velocity(), 104);
}

TEST_F(DocumentTest, InitializingUnitBKeepsItsVolume) {
    doc::unit(1).volume = 77;
    doc::unit(0).volume = 5;
    EXPECT_TRUE(doc::initialize_all());
    EXPECT_EQ(doc::unit(1).volume, 77);
    EXPECT_EQ(doc::unit(0).volume, 64);
}

TEST_F(DocumentTest, SelectionAndVelocityAreClamped) {
    const struct { int32_t in, velocity; } velocities[] = {{200, 128}, {-5, 0}, {128, 128}, {0, 0}, {57, 57}};
    for (const auto& c : velocities)
        EXPECT_EQ(doc::set_velocity(c.in), c.velocity) << c.in;
    doc::reset_velocity();
    EXPECT_EQ(doc::velocity(), 104);

    const struct { int32_t in, selected; } selections[] = {{5, 1}, {-3, 0}, {1, 1}, {0, 0}};
    for (const auto& c : selections) {
        doc::select_unit(c.in);
        EXPECT_EQ(doc::selected_unit(), c.selected) << c.in;
    }
    EXPECT_EQ(doc::toggle_selected_unit(), 1);
    EXPECT_EQ(doc::toggle_selected_unit(), 0);
}

TEST_F(DocumentTest, OvertoneResetPutsHarmonicsInOrder) {
    doc::reset_overtone_wave(doc::unit(1).wave, 1);
    doc::reset_overtone_wave(doc::unit(0).wave, 0);
    EXPECT_EQ(doc::unit(0).wave.point_count, 31);
    for (int32_t j = 0; j < 31; ++j) {
        EXPECT_EQ(doc::unit(0).wave.points[static_cast<std::size_t>(j)].x, j + 1);
        EXPECT_EQ(doc::unit(1).wave.points[static_cast<std::size_t>(j)].y, 0);
        EXPECT_EQ(doc::unit(0).wave.points[static_cast<std::size_t>(j)].y, j == 0 ? 128 : 0);
    }
}

TEST_F(DocumentTest, CoordinatePresetsGiveTheirPolylines) {
    struct Case {
        int32_t preset;
        int32_t count;
        Points points; // points 0 .. count - 1
    };
    const Case cases[] = {
        {0, 7, {{0, 0}, {25, 52}, {50, 64}, {75, 52}, {125, -52}, {150, -64}, {175, -52}}},
        {1, 3, {{0, 0}, {50, 64}, {150, -64}}},
        {2, 3, {{0, 0}, {1, 32}, {199, -32}}},
        {3, 5, {{0, 0}, {1, 32}, {99, 32}, {100, -32}, {199, -32}}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(doc::create());
        qv::VoiceUnit& a = doc::unit(0);
        a.volume = 9;
        a.wave.points[0] = {0, 40};  // cleared: y goes, x stays
        a.wave.points[20] = {180, 7}; // beyond the preset: y cleared
        doc::apply_preset(c.preset);
        EXPECT_EQ(a.volume, 64) << c.preset;
        EXPECT_EQ(a.wave.point_count, c.count) << c.preset;
        EXPECT_EQ(head_points(a.wave, c.points.size()), c.points) << c.preset;
        EXPECT_EQ(a.wave.points[20], (qv::VoicePoint{180, 0})) << c.preset;
    }
}

TEST_F(DocumentTest, InvertPresetNegatesEveryPointAndNothingElse) {
    qv::VoiceUnit& a = doc::unit(0);
    a.volume = 9;
    a.wave.points[30] = {199, 5};
    doc::apply_preset(5);
    EXPECT_EQ(a.volume, 9);
    EXPECT_EQ(a.wave.point_count, 3);
    EXPECT_EQ(head_points(a.wave, 3), (Points{{0, 0}, {50, -64}, {150, 64}}));
    EXPECT_EQ(a.wave.points[30], (qv::VoicePoint{199, -5}));

    doc::reset_overtone_wave(a.wave, 0);
    a.wave.kind = qv::WAVE_OVERTONE;
    a.wave.points[4].y = INT32_MIN; // from a hand-made file: negating must not overflow
    doc::apply_preset(5);
    EXPECT_EQ(a.wave.points[0].y, -128);
    EXPECT_EQ(a.wave.points[4].y, INT32_MIN);
}

TEST_F(DocumentTest, OvertonePresetsGiveTheirAmplitudes) {
    struct Case {
        int32_t preset;
        int32_t volume;
        std::vector<int32_t> leading; // amplitudes of harmonics 1 .. n; the rest are `rest`
        int32_t rest;
    };
    const Case cases[] = {
        {0, 32, {128}, 0},
        {1, 28, {128, 0, -42, 0, 14, 0, -4, 0, 1}, 0},
        {2, 16, {}, 128},
        {3, 24, {128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128, 0,
                 128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128, 0, 128}, 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(doc::create());
        doc::select_unit(1);
        qv::VoiceUnit& b = doc::unit(1);
        b.wave.kind = qv::WAVE_OVERTONE;
        doc::reset_overtone_wave(b.wave, 1);
        for (qv::VoicePoint& p : b.wave.points)
            p.y = 99; // everything a preset does not set would show
        doc::apply_preset(c.preset);
        EXPECT_EQ(b.volume, c.volume) << c.preset;
        std::vector<int32_t> expected(31, c.rest);
        std::copy(c.leading.begin(), c.leading.end(), expected.begin());
        EXPECT_EQ(amplitudes(b.wave), expected) << c.preset;
        for (int32_t j = 0; j < 31; ++j)
            EXPECT_EQ(b.wave.points[static_cast<std::size_t>(j)].x, j + 1);
        EXPECT_EQ(doc::unit(0).volume, 64) << "the unselected unit is untouched";
    }
}

// The generator as the program defines it, run from a known state.
struct ReferenceGenerator {
    uint32_t state;
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
    int32_t random_int(int32_t lo, int32_t hi, int seconds) {
        for (int i = 0; i < seconds % 10; ++i)
            next();
        return lo + next() % (hi - lo + 1);
    }
};

int fixed_seconds_37() { return 37; }

TEST_F(DocumentTest, RandomIntSkipsByTheClockAndFollowsTheGenerator) {
    qv::set_random_seconds_source(fixed_seconds_37);
    ReferenceGenerator reference{qv::random_state()};
    for (const auto& range : {std::pair{1, 30}, {-128, 128}, {1, 199}, {5, 5}}) {
        const int32_t expected = reference.random_int(range.first, range.second, 37);
        EXPECT_EQ(qv::random_int(range.first, range.second), expected);
        EXPECT_EQ(qv::random_state(), reference.state);
    }
}

TEST_F(DocumentTest, RandomCoordinatePresetDrawsThenSortsByX) {
    qv::set_random_seconds_source(fixed_seconds_37);
    ReferenceGenerator reference{qv::random_state()};
    const int32_t count = reference.random_int(1, 30, 37);
    Points expected(31);
    expected[0] = {0, 0};
    for (int32_t j = 1; j < count; ++j) {
        const int32_t x = reference.random_int(1, 199, 37);
        expected[static_cast<std::size_t>(j)] = {x, reference.random_int(-100, 100, 37)};
    }
    std::stable_sort(expected.begin() + 1, expected.begin() + count,
                     [](const qv::VoicePoint& l, const qv::VoicePoint& r) { return l.x < r.x; });

    qv::VoiceUnit& a = doc::unit(0);
    a.volume = 3;
    doc::apply_preset(4);
    EXPECT_EQ(a.volume, 64);
    ASSERT_EQ(a.wave.point_count, count);
    EXPECT_EQ(head_points(a.wave, static_cast<std::size_t>(count)),
              Points(expected.begin(), expected.begin() + count));
}

TEST_F(DocumentTest, RandomOvertonePresetFillsTheFirstHarmonics) {
    qv::set_random_seconds_source(fixed_seconds_37);
    qv::VoiceUnit& a = doc::unit(0);
    a.wave.kind = qv::WAVE_OVERTONE;
    doc::reset_overtone_wave(a.wave, 0);
    ReferenceGenerator reference{qv::random_state()};
    const int32_t n = reference.random_int(1, 30, 37);
    std::vector<int32_t> expected(31, 0);
    for (int32_t j = 0; j < n; ++j)
        expected[static_cast<std::size_t>(j)] = reference.random_int(-128, 128, 37);
    doc::apply_preset(4);
    EXPECT_EQ(a.volume, 28);
    EXPECT_EQ(amplitudes(a.wave), expected);
}

TEST_F(DocumentTest, PresetsOutsideTheTableChangeNothing) {
    const std::vector<int32_t> before = amplitudes(doc::unit(0).wave);
    doc::apply_preset(6);
    doc::apply_preset(-1);
    doc::unit(0).wave.kind = qv::WAVE_NOISE;
    doc::apply_preset(1);
    EXPECT_EQ(amplitudes(doc::unit(0).wave), before);
    EXPECT_EQ(doc::unit(0).volume, 64);
}

// Rendering and notes need a set-up tone player and a published output rate.
class RenderedDocumentTest : public DocumentTest {
protected:
    void SetUp() override {
        qv::build_pitch_table();
        qv::RenderFormat::set(2, 44100, 16);
        ASSERT_TRUE(qv::TonePlayer::initialize(2, 44100, 16, 8));
        DocumentTest::SetUp();
        ASSERT_TRUE(doc::build_ready_samples());
        ASSERT_TRUE(doc::update_waves_and_envelopes());
    }
    void TearDown() override {
        DocumentTest::TearDown();
        qv::TonePlayer::release();
    }
    static std::vector<int16_t> mix_frames(std::size_t frames) {
        std::vector<int16_t> samples(frames * 2, 0);
        qv::TonePlayer::mix(std::span<uint8_t>(reinterpret_cast<uint8_t*>(samples.data()),
                                               samples.size() * 2));
        return samples;
    }
};

TEST_F(RenderedDocumentTest, ReadySamplesFollowTheUnits) {
    const qv::ReadySample& a = doc::voice().ready[0];
    ASSERT_EQ(a.body, 400);
    ASSERT_EQ(a.pcm.size(), 800u);
    EXPECT_EQ(a.pcm[100 * 2], 8191); // a quarter of full scale at the triangle's peak
    EXPECT_EQ(a.pcm[100 * 2 + 1], 8191);
    EXPECT_EQ(a.envelope_length, 1);
    EXPECT_EQ(a.envelope_table[0], 128);
    EXPECT_EQ(a.release_length, 441);

    doc::apply_preset(5);
    EXPECT_TRUE(doc::update_waves());
    EXPECT_EQ(doc::voice().ready[0].pcm[100 * 2], -8191);

    doc::unit(0).envelope.points[0] = {10, 128};
    EXPECT_TRUE(doc::update_envelopes());
    EXPECT_EQ(doc::voice().ready[0].envelope_length, 4410);
}

TEST_F(RenderedDocumentTest, CopyUnitCopiesAndRenders) {
    EXPECT_TRUE(doc::copy_unit(0, 0));
    doc::unit(0).wave.resolution = 120;
    doc::unit(0).envelope.points[31] = {30, 0};
    EXPECT_TRUE(doc::copy_unit(0, 1));
    const qv::VoiceUnit& b = doc::unit(1);
    EXPECT_EQ(b.wave.resolution, 120);
    EXPECT_EQ(b.volume, 64);
    EXPECT_EQ(head_points(b.wave, 3), head_points(doc::unit(0).wave, 3));
    EXPECT_EQ(b.envelope.points[31], (qv::VoicePoint{30, 0}));
    EXPECT_EQ(doc::voice().ready[1].pcm, doc::voice().ready[0].pcm);
    EXPECT_EQ(doc::voice().ready[1].release_length, 30 * 441);
    EXPECT_FALSE(doc::copy_unit(0, 2));
}

TEST_F(RenderedDocumentTest, EditsReachASoundingNote) {
    doc::set_velocity(128);
    const int32_t id = doc::note_on(1.0f);
    ASSERT_GE(id, 0);
    // Basic key 45 plays the 400-frame cycle at 2 octaves above its rendered rate: step 4.
    std::vector<int16_t> out = mix_frames(26);
    EXPECT_EQ(out[25 * 2], 8191); // frame 25 reads table frame 100

    doc::apply_preset(5);
    ASSERT_TRUE(doc::update_waves());
    out = mix_frames(100); // frames 26 .. 125: table frames 104 .. 500 wrapping at 400
    EXPECT_EQ(out[(125 - 26) * 2], -8191);

    doc::set_note_frequency(id, 0.5f);
    doc::note_off(id, false);
    out = mix_frames(441 + 1);
    EXPECT_EQ(qv::TonePlayer::active_tone_count(), 0);
    EXPECT_EQ(out.back(), 0);
}

TEST_F(RenderedDocumentTest, NotesStopImmediately) {
    const int32_t id = doc::note_on(1.0f);
    ASSERT_GE(id, 0);
    EXPECT_EQ(qv::TonePlayer::active_tone_count(), 1);
    doc::note_off(id, true);
    EXPECT_EQ(qv::TonePlayer::active_tone_count(), 0);
}

} // namespace
