// Wave tables and envelope tables: the worked examples, the channel factors and clipping, and
// malformed units that must neither divide by zero nor ask for absurd buffers.
#include "voice/render.h"
#include "voice/render_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double PI = 3.141592653589793;

qv::VoiceUnit wave_unit(int32_t kind, std::vector<qv::VoicePoint> points, int32_t volume,
                        int32_t pan, int32_t resolution = 0) {
    qv::VoiceUnit unit;
    unit.volume = volume;
    unit.pan = pan;
    unit.wave.kind = kind;
    unit.wave.point_count = static_cast<int32_t>(points.size());
    unit.wave.resolution = resolution;
    unit.wave.points = std::move(points);
    return unit;
}

std::vector<int16_t> render(const qv::VoiceUnit& unit) {
    std::vector<int16_t> pcm;
    EXPECT_TRUE(qv::render_unit_wave_table(unit, pcm));
    EXPECT_EQ(pcm.size(), 800u);
    return pcm;
}

qv::VoiceUnit example_coordinate_unit() {
    return wave_unit(qv::WAVE_COORDINATE, {{0, 0}, {50, 64}, {150, -64}}, 64, 64, 200);
}

TEST(WaveTable, SineAtEachPan) {
    struct Case {
        int32_t pan;
        double left, right; // gain of each channel
    };
    const Case cases[] = {{64, 1.0, 1.0}, {0, 1.0, 0.0}, {96, 0.5, 1.0}, {128, 0.0, 1.0}};
    for (const Case& c : cases) {
        const std::vector<int16_t> pcm =
            render(wave_unit(qv::WAVE_OVERTONE, {{1, 128}}, 128, c.pan));
        for (int i = 0; i < 400; ++i) {
            const double v = std::sin(2.0 * PI * i / 400);
            ASSERT_EQ(pcm[2 * i], static_cast<int16_t>(c.left * v * 32767)) << c.pan << " " << i;
            ASSERT_EQ(pcm[2 * i + 1], static_cast<int16_t>(c.right * v * 32767))
                << c.pan << " " << i;
        }
    }
    const std::vector<int16_t> centre = render(wave_unit(qv::WAVE_OVERTONE, {{1, 128}}, 128, 64));
    EXPECT_EQ(centre[0], 0);
    EXPECT_EQ(centre[200], 32767);  // frame 100, a quarter cycle
    EXPECT_EQ(centre[600], -32767); // frame 300
}

TEST(WaveTable, HarmonicsAreWeightedAndHarmonicZeroIsSilent) {
    const std::vector<int16_t> second = render(wave_unit(qv::WAVE_OVERTONE, {{2, 128}}, 128, 64));
    EXPECT_EQ(second[2 * 50], 16383); // peak of harmonic 2 is 1/2
    const std::vector<int16_t> plain = render(wave_unit(qv::WAVE_OVERTONE, {{1, 100}}, 128, 64));
    EXPECT_EQ(render(wave_unit(qv::WAVE_OVERTONE, {{0, 128}, {1, 100}, {0, -5}}, 128, 64)), plain);
}

TEST(WaveTable, CoordinateExample) {
    const std::vector<int16_t> pcm = render(example_coordinate_unit());
    struct Case {
        int frame;
        int16_t value;
    };
    const Case cases[] = {
        {0, 0},      {50, 4095},     // a = 25: halfway up the first segment
        {100, 8191}, {200, 0},       // a = 50 is a corner; a = 100 the zero crossing
        {300, -8191}, {399, -163},   // a = 199: on the segment back to the first level at 200
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pcm[2 * c.frame], c.value) << c.frame;
        EXPECT_EQ(pcm[2 * c.frame + 1], c.value) << c.frame;
    }
}

TEST(WaveTable, FirstPointLevelHoldsBeforeIt) {
    const std::vector<int16_t> pcm =
        render(wave_unit(qv::WAVE_COORDINATE, {{20, 100}, {200, -100}}, 128, 64, 400));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(pcm[2 * i], 25599) << i; // 100 / 128 of full scale
    EXPECT_LT(pcm[2 * 21], 25599);
}

TEST(WaveTable, SilenceWithoutPointsAndClippingBeyondFullScale) {
    for (int32_t kind : {qv::WAVE_COORDINATE, qv::WAVE_OVERTONE})
        EXPECT_EQ(render(wave_unit(kind, {}, 128, 64, 200)), std::vector<int16_t>(800, 0)) << kind;

    const std::vector<int16_t> loud =
        render(wave_unit(qv::WAVE_COORDINATE, {{0, 127}, {100, -128}}, 256, 64, 200));
    EXPECT_EQ(loud[0], 32767);
    EXPECT_EQ(loud[2 * 200], -32767); // clipped to -1 before scaling: never -32768
    const std::vector<int16_t> doubled =
        render(wave_unit(qv::WAVE_OVERTONE, {{1, 128}, {1, 128}}, 128, 0));
    EXPECT_EQ(doubled[2 * 100], 32767);
    EXPECT_EQ(doubled[2 * 300], -32767);
}

TEST(WaveTable, DegenerateCoordinateWavesStayFinite) {
    // A negative or zero resolution makes the wrap segment zero-wide; unsorted points reorder
    // the segments. Neither may divide by zero.
    const qv::VoiceUnit cases[] = {
        wave_unit(qv::WAVE_COORDINATE, {{-10, 64}}, 128, 64, -10),
        wave_unit(qv::WAVE_COORDINATE, {{0, 64}, {0, 32}}, 128, 64, 0),
        wave_unit(qv::WAVE_COORDINATE, {{150, 64}, {50, -64}, {100, 10}}, 128, 64, 200),
        wave_unit(qv::WAVE_COORDINATE, {{0, 64}}, 128, 64, std::numeric_limits<int32_t>::max()),
    };
    for (const qv::VoiceUnit& unit : cases) {
        const qv::WaveSource source{unit.wave.points.data(), unit.wave.point_count, unit.volume,
                                    400, unit.wave.resolution};
        for (int32_t i = 0; i < 400; ++i)
            ASSERT_TRUE(std::isfinite(qv::coordinate_value(source, i))) << i;
    }
    const qv::WaveSource first = {cases[0].wave.points.data(), 1, 128, 400, -10};
    EXPECT_EQ(qv::coordinate_value(first, 399), 0.5); // degenerate segment: its start level
    const qv::WaveSource no_length = {cases[2].wave.points.data(), 3, 128, 0, 200};
    EXPECT_EQ(qv::coordinate_value(no_length, 5), 0.0);
    EXPECT_EQ(qv::overtone_value(no_length, 5), 0.0);
}

TEST(WaveTable, ModuleSourceMatchesExplicitSource) {
    const qv::VoiceUnit unit = example_coordinate_unit();
    qv::set_wave_source(unit.wave.points.data(), 3, 64, 200, 200);
    const qv::WaveSource source{unit.wave.points.data(), 3, 64, 200, 200};
    EXPECT_EQ(qv::coordinate_value(50), 0.25);
    EXPECT_EQ(qv::coordinate_value(50), qv::coordinate_value(source, 50));
    EXPECT_EQ(qv::overtone_value(17), qv::overtone_value(source, 17));
}

TEST(WaveTable, EightBitMonoAndRefusedBuffers) {
    const qv::VoiceUnit unit = example_coordinate_unit();
    qv::ReadySample ready;
    ready.body = 400;
    ready.pcm.assign(200, 0); // 400 bytes: exactly one mono 8-bit cycle
    ASSERT_TRUE(qv::render_wave_table(unit, ready, 1, 8));
    const auto* bytes = reinterpret_cast<const uint8_t*>(ready.pcm.data());
    EXPECT_EQ(bytes[0], 128);
    EXPECT_EQ(bytes[100], 159); // trunc(0.25 * 127) + 128
    EXPECT_EQ(bytes[300], 97);  // trunc(-0.25 * 127) + 128

    EXPECT_FALSE(qv::render_wave_table(unit, ready, 2, 16)); // needs 800 samples
    EXPECT_FALSE(qv::render_wave_table(unit, ready, 3, 16));
    EXPECT_FALSE(qv::render_wave_table(unit, ready, 1, 12));
    std::vector<int16_t> pcm{1, 2, 3};
    qv::VoiceUnit noise = unit;
    noise.wave.kind = qv::WAVE_NOISE;
    EXPECT_FALSE(qv::render_unit_wave_table(noise, pcm));
    EXPECT_TRUE(pcm.empty());
}

TEST(WaveTable, UpdateRendersCoordinateAndOvertoneUnitsInPlace) {
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 4));
    voice.units[0] = example_coordinate_unit();
    voice.units[1] = wave_unit(qv::WAVE_OVERTONE, {{1, 128}, {3, 64}}, 100, 30);
    voice.units[2] = wave_unit(qv::WAVE_NOISE, {}, 128, 64);
    voice.units[3] = example_coordinate_unit(); // its table was never allocated
    voice.ready[0].pcm.assign(800, 7);
    voice.ready[1].pcm.assign(800, 7);
    voice.ready[2].pcm.assign(10, 7);
    const int16_t* table0 = voice.ready[0].pcm.data();

    EXPECT_FALSE(qv::update_wave_tables(voice)); // unit 3 could not be rendered
    EXPECT_EQ(voice.ready[0].pcm.data(), table0); // same buffer, rewritten
    EXPECT_EQ(voice.ready[0].body, 400);
    EXPECT_EQ(voice.ready[0].pcm, render(voice.units[0]));
    EXPECT_EQ(voice.ready[1].pcm, render(voice.units[1]));
    EXPECT_EQ(voice.ready[2].pcm, std::vector<int16_t>(10, 7));
    EXPECT_EQ(voice.ready[2].body, 0);
    EXPECT_TRUE(voice.ready[3].pcm.empty());

    voice.ready[3].pcm.assign(800, 0);
    EXPECT_TRUE(qv::update_wave_tables(voice));
}

// --- envelopes ---

qv::VoiceUnit envelope_unit(int32_t fps, std::vector<qv::VoicePoint> head,
                            std::vector<qv::VoicePoint> tail) {
    qv::VoiceUnit unit;
    unit.envelope.fps = fps;
    unit.envelope.head_count = static_cast<int32_t>(head.size());
    unit.envelope.tail_count = static_cast<int32_t>(tail.size());
    unit.envelope.points = head;
    unit.envelope.points.insert(unit.envelope.points.end(), tail.begin(), tail.end());
    return unit;
}

TEST(Envelope, WorkedExamples) {
    std::vector<uint8_t> table;
    int32_t release = -1;
    ASSERT_TRUE(qv::build_unit_envelope(envelope_unit(100, {{0, 128}}, {}), 44100, table, release));
    EXPECT_EQ(table, std::vector<uint8_t>{128});
    EXPECT_EQ(release, 0);

    ASSERT_TRUE(qv::build_unit_envelope(envelope_unit(100, {{10, 128}, {10, 0}}, {{1, 0}}), 44100,
                                        table, release));
    ASSERT_EQ(table.size(), 8820u);
    const std::pair<std::size_t, int> samples[] = {{0, 0},    {2205, 64},  {4409, 127},
                                                   {4410, 128}, {6615, 64}, {8819, 1}};
    for (const auto& [at, level] : samples)
        EXPECT_EQ(table[at], level) << at;
    EXPECT_EQ(release, 441);

    ASSERT_TRUE(
        qv::build_unit_envelope(envelope_unit(100, {{0, 128}}, {{25, 0}}), 22050, table, release));
    EXPECT_EQ(release, 5512);
}

TEST(Envelope, EmptySlotsAfterTheFirstPointAreSkipped) {
    std::vector<uint8_t> table;
    int32_t release = 0;
    ASSERT_TRUE(qv::build_unit_envelope(envelope_unit(100, {{0, 128}, {0, 0}, {20, 64}}, {{30, 0}}),
                                        100, table, release));
    ASSERT_EQ(table.size(), 20u);
    EXPECT_EQ(table[0], 128); // the (0, 0) slot is no corner: the ramp starts from 128
    EXPECT_EQ(table[10], 96);
    EXPECT_EQ(table[19], 68);
    EXPECT_EQ(release, 30);
}

TEST(Envelope, MalformedEnvelopesAreRefusedOrCut) {
    constexpr int32_t max = std::numeric_limits<int32_t>::max();
    struct Case {
        const char* what;
        qv::VoiceUnit unit;
        int32_t rate;
        bool ok;
        std::size_t length;
        int32_t release;
    };
    qv::VoiceUnit short_points = envelope_unit(100, {{1, 1}}, {{1, 0}});
    short_points.envelope.head_count = 5;
    qv::VoiceUnit negative_count = envelope_unit(100, {{1, 1}}, {});
    negative_count.envelope.head_count = -1;
    const Case cases[] = {
        {"fps 0", envelope_unit(0, {{10, 128}}, {{1, 0}}), 44100, false, 0, 0},
        {"fps negative", envelope_unit(-100, {{10, 128}}, {}), 44100, false, 0, 0},
        {"negative step", envelope_unit(100, {{10, 128}, {-5, 0}}, {}), 44100, false, 0, 0},
        {"negative release", envelope_unit(100, {{10, 128}}, {{-1, 0}}), 44100, false, 0, 0},
        {"counts beyond points", short_points, 44100, false, 0, 0},
        {"negative count", negative_count, 44100, false, 0, 0},
        {"negative rate", envelope_unit(100, {{10, 128}}, {}), -1, false, 0, 0},
        {"absurd rate", envelope_unit(100, {{10, 128}}, {}), max, false, 0, 0},
        {"no envelope, any fps", envelope_unit(0, {}, {}), 44100, true, 0, 0},
        {"rate 0", envelope_unit(100, {{10, 128}}, {{5, 0}}), 0, true, 1, 0},
        {"huge steps are cut", envelope_unit(1, {{max, 128}, {max, 0}}, {{max, 0}}), 44100, true,
         120u * 44100, 120 * 44100},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> table{1, 2};
        int32_t release = 99;
        EXPECT_EQ(qv::build_unit_envelope(c.unit, c.rate, table, release), c.ok) << c.what;
        EXPECT_EQ(table.size(), c.length) << c.what;
        EXPECT_EQ(release, c.release) << c.what;
    }
}

TEST(Envelope, BuildEnvelopesUsesTheOutputRateAndFailsWhole) {
    qv::RenderFormat::set(2, 22050, 16);
    int32_t channels = 0, rate = 0, bits = 0;
    qv::RenderFormat::get(&channels, &rate, &bits);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(bits, 16);

    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 2));
    voice.units[0] = envelope_unit(100, {{10, 128}}, {{25, 0}});
    voice.ready[1].envelope_table.assign(5, 1); // stale table of a unit without an envelope
    voice.ready[1].envelope_length = 5;
    ASSERT_TRUE(qv::build_envelopes(voice));
    EXPECT_EQ(voice.ready[0].envelope_length, 2205);
    EXPECT_EQ(voice.ready[0].envelope_table.size(), 2205u);
    EXPECT_EQ(voice.ready[0].release_length, 5512);
    EXPECT_EQ(voice.ready[1].envelope_length, 0);
    EXPECT_TRUE(voice.ready[1].envelope_table.empty());

    voice.units[1] = envelope_unit(0, {{10, 128}}, {{1, 0}});
    EXPECT_FALSE(qv::build_envelopes(voice));
    for (const qv::ReadySample& ready : voice.ready) {
        EXPECT_TRUE(ready.envelope_table.empty());
        EXPECT_EQ(ready.envelope_length, 0);
        EXPECT_EQ(ready.release_length, 0);
    }
    qv::RenderFormat::set(0, 0, 0);
}

// Each unit costs about 15 bytes of file but asks for a two-minute table: a small hand-made
// file with many such units must fail, not take all the memory there is.
TEST(Envelope, ManyLongEnvelopesFailTogetherInsteadOfExhaustingMemory) {
    qv::RenderFormat::set(2, 44100, 16);
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 16));
    for (qv::VoiceUnit& unit : voice.units)
        unit = envelope_unit(1, {{120, 128}}, {{0, 0}});
    EXPECT_FALSE(qv::build_envelopes(voice));
    for (const qv::ReadySample& ready : voice.ready) {
        EXPECT_TRUE(ready.envelope_table.empty());
        EXPECT_EQ(ready.envelope_length, 0);
    }
    qv::RenderFormat::set(0, 0, 0);
}

} // namespace
