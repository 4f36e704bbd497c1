// The noise generator (tables, random sequence, oscillators, envelope, pan, output formats) and
// the noise file reader with its limits.
#include "voice/byte_stream.h"
#include "voice/noise_file.h"
#include "voice/noise_generator.h"
#include "voice/pitch_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double TWO_PI = 2.0 * 3.141592653589793;

qv::NoiseOscillator osc(int32_t waveform, float frequency, float volume = 100.0f,
                        float offset = 0.0f, int32_t reverse = 0) {
    return {waveform, frequency, volume, offset, reverse};
}

// One enabled layer with the given main oscillator, centre pan and the instant corner
// (0 ms, 100 %).
qv::NoiseDesign one_layer(qv::NoiseOscillator main, int32_t length = 2000) {
    qv::NoiseDesign design;
    design.length_44k = length;
    design.unit_count = 1;
    design.units.resize(1);
    qv::NoiseUnit& layer = design.units[0];
    layer.enabled = 1;
    layer.envelope_count = 1;
    layer.envelope = {{0, 100}};
    layer.main = main;
    return design;
}

std::vector<int16_t> render16(qv::NoiseDesign design, int32_t channels = 2, int32_t rate = 44100) {
    std::vector<int16_t> out;
    EXPECT_TRUE(qv::render_noise(out, design, channels, rate));
    return out;
}

int32_t sine_entry(int32_t i) {
    return static_cast<int32_t>(std::sin(TWO_PI * i / 441.0) * 32767.0);
}

TEST(NoiseRandom, FirstEightValues) {
    qv::NoiseRandom random;
    const int16_t expected[] = {-13108, 4113, -8740, -4627, -13877, -18249, -32126, 14651};
    for (int16_t value : expected)
        EXPECT_EQ(random.next(), value);
}

TEST(NoiseTables, ShapesOfTheFixedTables) {
    qv::NoiseTables tables;
    ASSERT_TRUE(qv::build_noise_tables(tables));
    const auto& t = tables.tables;
    for (std::size_t k = 0; k < t.size(); ++k)
        EXPECT_EQ(t[k].size(), k == qv::NOISE_RANDOM ? 44100u : 441u) << "table " << k;
    EXPECT_EQ(t[qv::NOISE_SINE][1], 466);
    EXPECT_EQ(t[qv::NOISE_SINE][110], sine_entry(110));
    EXPECT_EQ(t[qv::NOISE_SAW][0], 32767);
    EXPECT_EQ(t[qv::NOISE_SAW][440], -32618);
    EXPECT_EQ(t[qv::NOISE_RECT][219], 32767);
    EXPECT_EQ(t[qv::NOISE_RECT][220], -32767);
    EXPECT_EQ(t[qv::NOISE_RANDOM][0], -13108);
    EXPECT_EQ(t[qv::NOISE_RANDOM][7], 14651);
    // Sixteen harmonics at 1/n each overshoot near the start of the cycle and clip.
    EXPECT_EQ(t[qv::NOISE_SAW2][5], 32767);
    EXPECT_EQ(t[qv::NOISE_SAW2][0], 0);
    EXPECT_GT(t[qv::NOISE_RECT2][110], 20000); // odd harmonics: a flat top near pi/4 * 32767
    EXPECT_LT(t[qv::NOISE_RECT2][330], -20000);
}

TEST(NoiseRender, SineLayerIsHalfTheSineTableInBothChannels) {
    const std::vector<int16_t> pcm = render16(one_layer(osc(qv::NOISE_SINE, 100.0f)));
    ASSERT_EQ(pcm.size(), 2u * 2000);
    const int16_t first[] = {0, 233, 466, 700, 933};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pcm[2 * i], first[i]) << "frame " << i;
        EXPECT_EQ(pcm[2 * i + 1], first[i]) << "frame " << i;
    }
    for (int i = 0; i < 2000; ++i) // one table entry per frame, wrapping every 441 frames
        ASSERT_EQ(pcm[2 * i], sine_entry(i % 441) / 2) << "frame " << i;

    // Two such layers add up to the full sine table.
    qv::NoiseDesign twice = one_layer(osc(qv::NOISE_SINE, 100.0f));
    twice.unit_count = 2;
    twice.units.push_back(twice.units[0]);
    const std::vector<int16_t> sum = render16(twice);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(sum[2 * i + 1], sine_entry(i % 441)) << "frame " << i;
}

TEST(NoiseRender, PanScalesOneChannel) {
    const std::vector<int16_t> centre = render16(one_layer(osc(qv::NOISE_SINE, 100.0f)));
    qv::NoiseDesign left = one_layer(osc(qv::NOISE_SINE, 100.0f));
    left.units[0].pan = -100;
    qv::NoiseDesign right_half = one_layer(osc(qv::NOISE_SINE, 100.0f));
    right_half.units[0].pan = 50;
    const std::vector<int16_t> l = render16(left);
    const std::vector<int16_t> r = render16(right_half);
    for (std::size_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(l[2 * i], centre[2 * i]);
        ASSERT_EQ(l[2 * i + 1], 0);
        ASSERT_EQ(r[2 * i], sine_entry(static_cast<int32_t>(i % 441)) / 4);
        ASSERT_EQ(r[2 * i + 1], centre[2 * i + 1]);
    }
}

// A rectangle at 1 Hz stays in its high half for the first 22050 frames: a constant signal.
TEST(NoiseRender, CornerRampsLinearlyThenHolds) {
    qv::NoiseDesign design = one_layer(osc(qv::NOISE_RECT, 1.0f));
    design.units[0].envelope = {{10, 100}};
    const std::vector<int16_t> pcm = render16(design);
    const double full = 32767.0 * 32767.0 / 65534.0; // half scale: no volume modulation
    for (int k : {0, 1, 220, 440})
        EXPECT_EQ(pcm[2 * k], static_cast<int16_t>(full * (k / 441.0))) << "frame " << k;
    for (int k : {441, 442, 1999})
        EXPECT_EQ(pcm[2 * k], 16383) << "frame " << k;
}

TEST(NoiseRender, CornersOfZeroDurationAndDecay) {
    qv::NoiseDesign design = one_layer(osc(qv::NOISE_RECT, 1.0f));
    // Jump to 50 % at once, rise to 100 % over 1 ms (44 frames), fall to 0 over 1 ms.
    design.units[0].envelope_count = 3;
    design.units[0].envelope = {{0, 50}, {1, 100}, {1, 0}};
    const std::vector<int16_t> pcm = render16(design);
    const double full = 32767.0 * 32767.0 / 65534.0;
    EXPECT_EQ(pcm[0], static_cast<int16_t>(full * 0.5));
    EXPECT_EQ(pcm[2 * 22], static_cast<int16_t>(full * (0.5 + 22 * 0.5 / 44)));
    EXPECT_EQ(pcm[2 * 44], static_cast<int16_t>(full));
    EXPECT_EQ(pcm[2 * 66], static_cast<int16_t>(full * (1.0 - 22 / 44.0)));
    EXPECT_EQ(pcm[2 * 88], 0);
    EXPECT_EQ(pcm[2 * 1500], 0);
}

TEST(NoiseRender, RandomOscillatorInterpolatesAndStepsOnWrap) {
    const std::vector<int16_t> pcm = render16(one_layer(osc(qv::NOISE_RANDOM, 100.0f)));
    // From 0 towards the first random value over one cycle, then from it towards the second.
    for (int k : {0, 1, 100, 440})
        EXPECT_EQ(pcm[2 * k], (k * -13108) / 441 / 2) << "frame " << k;
    EXPECT_EQ(pcm[2 * 441], -13108 / 2);
    EXPECT_EQ(pcm[2 * 541], (-13108 + (100 * (4113 + 13108)) / 441) / 2);
}

TEST(NoiseRender, ModulationAndReverse) {
    qv::build_pitch_table();
    // Reversed saw reads its table from the end.
    const std::vector<int16_t> reversed =
        render16(one_layer(osc(qv::NOISE_SAW, 100.0f, 100.0f, 0.0f, 1)));
    EXPECT_EQ(reversed[0], -32618 / 2);
    // Full-depth volume modulation by a high rectangle doubles the half-scale output.
    qv::NoiseDesign loud = one_layer(osc(qv::NOISE_RECT, 1.0f));
    loud.units[0].volume_mod = osc(qv::NOISE_RECT, 1.0f);
    EXPECT_EQ(render16(loud)[0], 32767);
    // A high rectangle on the frequency modulation raises the pitch by 50 semitones.
    qv::NoiseDesign raised = one_layer(osc(qv::NOISE_SINE, 100.0f));
    raised.units[0].frequency_mod = osc(qv::NOISE_RECT, 1.0f);
    const std::vector<int16_t> pcm = render16(raised);
    const double step = qv::key_to_frequency(12800);
    EXPECT_EQ(pcm[2], sine_entry(static_cast<int32_t>(step)) / 2);
    EXPECT_EQ(pcm[4], sine_entry(static_cast<int32_t>(2 * step)) / 2);
}

TEST(NoiseRender, FrameCountsAndFormats) {
    qv::NoiseDesign empty;
    empty.length_44k = 500000;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(qv::render_noise(bytes, empty, 2, 44100, 16));
    EXPECT_EQ(bytes.size(), 441000u * 4);
    EXPECT_EQ(empty.length_44k, 441000); // clamped in place
    ASSERT_TRUE(qv::render_noise(bytes, empty, 2, 22050, 16));
    EXPECT_EQ(bytes.size(), 220500u * 4);
    ASSERT_TRUE(qv::render_noise(bytes, empty, 1, 22050, 8));
    EXPECT_EQ(bytes.size(), 220500u);
    EXPECT_EQ(bytes[0], 128);

    // 8 bits keep the high byte with an arithmetic shift: -16309 >> 8 = -64.
    qv::NoiseDesign saw = one_layer(osc(qv::NOISE_SAW, 100.0f, 100.0f, 0.0f, 1), 10);
    ASSERT_TRUE(qv::render_noise(bytes, saw, 1, 44100, 8));
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(bytes[0], -64 + 128);
    ASSERT_TRUE(qv::render_noise(bytes, saw, 1, 44100, 16));
    EXPECT_EQ(static_cast<int16_t>(bytes[0] | bytes[1] << 8), -16309);

    const std::array<std::array<int32_t, 3>, 5> refused = {
        {{3, 44100, 16}, {2, 0, 16}, {2, -1, 16}, {2, 48000, 16}, {2, 44100, 24}}};
    for (auto [channels, rate, bits] : refused) {
        EXPECT_FALSE(qv::render_noise(bytes, saw, channels, rate, bits));
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(NoiseRender, SecondRenderIsIdenticalAndLayersSum) {
    qv::NoiseDesign design = one_layer(osc(qv::NOISE_RANDOM, 3000.0f, 150.0f, 37.0f), 44100);
    design.unit_count = 4;
    design.units.resize(4);
    for (int k = 1; k < 4; ++k) {
        qv::NoiseUnit& layer = design.units[static_cast<std::size_t>(k)];
        layer.enabled = 1;
        layer.pan = -60 + 40 * k;
        layer.envelope_count = 3;
        layer.envelope = {{5, 100}, {100, 40}, {200, 0}};
        layer.main = osc(k, 220.0f * k, 120.0f, 10.0f * k, k % 2);
        layer.frequency_mod = osc(qv::NOISE_RANDOM, 5.0f, 20.0f);
        layer.volume_mod = osc(qv::NOISE_SAW2, 7.0f, 80.0f);
    }
    const std::vector<int16_t> first = render16(design);
    const std::vector<int16_t> second = render16(design);
    EXPECT_EQ(first, second);
    int nonzero = 0;
    for (int16_t s : first)
        nonzero += s != 0;
    EXPECT_GT(nonzero, 40000);
    // A disabled layer contributes nothing.
    qv::NoiseDesign only_first = design;
    for (int k = 1; k < 4; ++k)
        only_first.units[static_cast<std::size_t>(k)].enabled = 0;
    EXPECT_EQ(render16(only_first),
              render16(one_layer(osc(qv::NOISE_RANDOM, 3000.0f, 150.0f, 37.0f), 44100)));
}

// A frame-by-frame walk written straight from the generator's description, to hold the
// block-wise, table-driven renderer to the same numbers.
struct RefOsc {
    const std::vector<int16_t>* table;
    bool random, reverse;
    double phase, increment, depth;
    int32_t index = 0, current = 0, delta = 0;

    int32_t value() const {
        const int32_t p = static_cast<int32_t>(phase);
        if (random)
            return current + (p * delta) / 441;
        return (*table)[static_cast<std::size_t>(reverse ? 441 - p - 1 : p)];
    }
    void advance(double step, const std::vector<int16_t>& random_table) {
        phase += step;
        if (phase >= 441) {
            phase -= 441;
            if (phase >= 441)
                phase = 0;
            if (random) {
                current = random_table[static_cast<std::size_t>(index)];
                index = (index + 1) % 44100;
                delta = random_table[static_cast<std::size_t>(index)] - current;
            }
        }
    }
};

std::vector<int16_t> reference_render(qv::NoiseDesign design) {
    qv::clamp_noise(design);
    qv::build_pitch_table();
    qv::NoiseTables tables;
    EXPECT_TRUE(qv::build_noise_tables(tables));
    const std::vector<int16_t>& random_table = tables.tables[qv::NOISE_RANDOM];
    struct Layer {
        double pan[2] = {1, 1};
        std::vector<int64_t> duration;
        std::vector<double> level;
        std::size_t index = 0;
        int64_t counter = 0;
        double current = 0, delta = 0;
        RefOsc osc[3];
        void skip() {
            for (; index < level.size(); ++index) {
                delta = level[index] - current;
                if (duration[index] != 0)
                    break;
                current = level[index];
            }
        }
    };
    std::vector<Layer> layers;
    for (const qv::NoiseUnit& unit : design.units) {
        Layer l;
        if (unit.pan < 0)
            l.pan[1] = (unit.pan + 100) / 100.0;
        if (unit.pan > 0)
            l.pan[0] = (100 - unit.pan) / 100.0;
        for (const qv::VoicePoint& corner : unit.envelope) {
            l.duration.push_back(44100LL * corner.x / 1000);
            l.level.push_back(corner.y / 100.0);
        }
        l.skip();
        const qv::NoiseOscillator* source[3] = {&unit.main, &unit.frequency_mod, &unit.volume_mod};
        for (int k = 0; k < 3; ++k) {
            const qv::NoiseOscillator& o = *source[k];
            RefOsc& r = l.osc[k];
            r.table = &tables.tables[static_cast<std::size_t>(o.waveform)];
            r.random = o.waveform == qv::NOISE_RANDOM;
            r.reverse = o.reverse != 0;
            r.increment = (44100.0 / 44100) * (static_cast<double>(o.frequency) / 100);
            r.depth = static_cast<double>(o.volume) / 100;
            r.phase = r.random ? 0 : 441 * static_cast<double>(o.offset) / 100;
            if (r.phase >= 441)
                r.phase = 0;
            if (r.random) {
                r.index = static_cast<int32_t>(static_cast<double>(o.offset) / 100 * 44100) % 44100;
                r.delta = random_table[static_cast<std::size_t>(r.index)];
            }
        }
        layers.push_back(l);
    }
    std::vector<int16_t> out;
    for (int32_t frame = 0; frame < design.length_44k; ++frame) {
        for (int c = 0; c < 2; ++c) {
            double sum = 0;
            for (const Layer& l : layers) {
                const double m = l.osc[0].value() * l.osc[0].depth;
                const double v = l.osc[2].value() * l.osc[2].depth;
                const double level = l.index < l.level.size()
                                         ? l.current + l.counter * l.delta / l.duration[l.index]
                                         : l.current;
                sum += (v + 32767) * m / 65534 * l.pan[c] * level;
            }
            out.push_back(static_cast<int16_t>(std::clamp(std::trunc(sum), -32767.0, 32767.0)));
        }
        for (Layer& l : layers) {
            int32_t f = l.osc[1].value();
            if (!l.osc[1].random)
                f = (f * 12800) / 32767;
            const int32_t key = static_cast<int32_t>(f * l.osc[1].depth);
            l.osc[0].advance(l.osc[0].increment * qv::key_to_frequency(key), random_table);
            l.osc[1].advance(l.osc[1].increment, random_table);
            l.osc[2].advance(l.osc[2].increment, random_table);
            if (l.index < l.level.size() && ++l.counter == l.duration[l.index]) {
                l.counter = 0;
                l.current = l.level[l.index];
                l.delta = 0;
                ++l.index;
                l.skip();
            }
        }
    }
    return out;
}

TEST(NoiseRender, MatchesAFrameByFrameWalk) {
    qv::NoiseDesign design;
    design.length_44k = 30000;
    design.unit_count = 4;
    design.units.resize(4);
    const int32_t waveforms[4][3] = {{qv::NOISE_SINE, qv::NOISE_RANDOM, qv::NOISE_SAW2},
                                     {qv::NOISE_RANDOM, qv::NOISE_SAW, qv::NOISE_RECT},
                                     {qv::NOISE_RECT2, qv::NOISE_SINE, qv::NOISE_RANDOM},
                                     {qv::NOISE_SAW, qv::NOISE_RECT2, qv::NOISE_NONE}};
    for (int k = 0; k < 4; ++k) {
        qv::NoiseUnit& layer = design.units[static_cast<std::size_t>(k)];
        layer.enabled = 1;
        layer.pan = -90 + 55 * k;
        layer.envelope_count = 3;
        layer.envelope = {{k, 100}, {50 * (k + 1), 30 + 10 * k}, {300, 0}};
        layer.main = osc(waveforms[k][0], 150.0f + 333.3f * k, 90.0f + 30 * k, 12.5f * k, k % 2);
        layer.frequency_mod = osc(waveforms[k][1], 3.0f + 40 * k, 25.0f + 50 * k, 40.0f, k / 2);
        layer.volume_mod = osc(waveforms[k][2], 7.5f + k, 60.0f + 40 * k, 100.0f, (k + 1) % 2);
    }
    const std::vector<int16_t> expected = reference_render(design);
    const std::vector<int16_t> actual = render16(design);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "sample " << i;
}

TEST(NoiseLimits, ClampForcesEveryValueIntoRange) {
    qv::NoiseDesign design = one_layer(osc(9, 50000.0f, -3.0f, 250.0f), -5);
    design.units[0].pan = 150;
    design.units[0].envelope = {{20000, -4}};
    design.units[0].frequency_mod = osc(-1, -2.0f, 201.0f, -0.5f);
    qv::clamp_noise(design);
    EXPECT_EQ(design.length_44k, 0);
    EXPECT_EQ(design.units[0].pan, 100);
    EXPECT_EQ(design.units[0].envelope[0].x, 10000);
    EXPECT_EQ(design.units[0].envelope[0].y, 0);
    const qv::NoiseOscillator& m = design.units[0].main;
    EXPECT_EQ(m.waveform, 0);
    EXPECT_EQ(m.frequency, 44100.0f);
    EXPECT_EQ(m.volume, 0.0f);
    EXPECT_EQ(m.offset, 100.0f);
    const qv::NoiseOscillator& f = design.units[0].frequency_mod;
    EXPECT_EQ(f.waveform, 0);
    EXPECT_EQ(f.frequency, 0.0f);
    EXPECT_EQ(f.volume, 200.0f);
    EXPECT_EQ(f.offset, 0.0f);
}

// --- the file reader --------------------------------------------------------------------------

void put_varint(std::vector<uint8_t>& out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}

std::vector<uint8_t> header(uint32_t version, int32_t length, int8_t layers) {
    std::vector<uint8_t> out = {'Q', 'V', 'N', 'O', 'I', 'S', 'E', '-'};
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(version >> (8 * i)));
    put_varint(out, static_cast<uint32_t>(length));
    out.push_back(static_cast<uint8_t>(layers));
    return out;
}

void put_oscillator(std::vector<uint8_t>& out, int32_t waveform, int32_t reverse, int32_t f10,
                    int32_t v10, int32_t o10) {
    for (int32_t v : {waveform, reverse, f10, v10, o10})
        put_varint(out, static_cast<uint32_t>(v));
}

// Two layers: the first with every part, the second with only its envelope.
std::vector<uint8_t> valid_file() {
    std::vector<uint8_t> file = header(20051028, 44100, 2);
    put_varint(file, 0x7C);
    put_varint(file, 2);
    for (int32_t v : {0, 100, 250, 30})
        put_varint(file, static_cast<uint32_t>(v));
    file.push_back(static_cast<uint8_t>(-40));
    put_oscillator(file, qv::NOISE_SINE, 0, 12345, 1000, 0);
    put_oscillator(file, qv::NOISE_RANDOM, 1, 55, 200, 5);
    put_oscillator(file, qv::NOISE_RECT2, 0, 33, 2000, 1000);
    put_varint(file, 0x04);
    put_varint(file, 0);
    return file;
}

bool parse(const std::vector<uint8_t>& bytes, qv::NoiseDesign& design) {
    qv::ByteStream stream;
    qv::open_memory(stream, bytes);
    const bool ok = qv::read_noise(stream, design);
    qv::close(stream);
    return ok;
}

TEST(NoiseFile, ReadsEveryPart) {
    qv::NoiseDesign design;
    ASSERT_TRUE(parse(valid_file(), design));
    EXPECT_EQ(design.length_44k, 44100);
    ASSERT_EQ(design.unit_count, 2);
    ASSERT_EQ(design.units.size(), 2u);
    const qv::NoiseUnit& a = design.units[0];
    EXPECT_EQ(a.enabled, 1);
    ASSERT_EQ(a.envelope_count, 2);
    EXPECT_EQ(a.envelope[1].x, 250);
    EXPECT_EQ(a.envelope[1].y, 30);
    EXPECT_EQ(a.pan, -40);
    EXPECT_EQ(a.main.waveform, qv::NOISE_SINE);
    EXPECT_EQ(a.main.frequency, 1234.5f);
    EXPECT_EQ(a.main.volume, 100.0f);
    EXPECT_EQ(a.frequency_mod.reverse, 1);
    EXPECT_EQ(a.frequency_mod.frequency, 5.5f);
    EXPECT_EQ(a.frequency_mod.offset, 0.5f);
    EXPECT_EQ(a.volume_mod.volume, 200.0f);
    EXPECT_EQ(a.volume_mod.offset, 100.0f);
    const qv::NoiseUnit& b = design.units[1];
    EXPECT_EQ(b.enabled, 1);
    EXPECT_EQ(b.envelope_count, 0);
    EXPECT_EQ(b.pan, 0);
    EXPECT_EQ(b.main.waveform, qv::NOISE_NONE);
    EXPECT_EQ(b.main.frequency, 0.0f);
}

TEST(NoiseFile, OlderVersionAndNoLayersAreAccepted) {
    qv::NoiseDesign design;
    EXPECT_TRUE(parse(header(1, 10, 0), design));
    EXPECT_EQ(design.unit_count, 0);
    EXPECT_EQ(design.length_44k, 10);
}

TEST(NoiseFile, RejectsMalformedFiles) {
    std::vector<uint8_t> bad_magic = valid_file();
    bad_magic[7] = '_';
    std::vector<uint8_t> newer = valid_file();
    newer[8] += 1; // 20051029
    std::vector<uint8_t> five_layers = header(20051028, 100, 5);
    std::vector<uint8_t> negative_layers = header(20051028, 100, -1);
    std::vector<uint8_t> flag_0x80 = header(20051028, 100, 1);
    put_varint(flag_0x80, 0x84);
    put_varint(flag_0x80, 0);
    std::vector<uint8_t> flag_bit0 = header(20051028, 100, 1);
    put_varint(flag_bit0, 0x05);
    put_varint(flag_bit0, 0);
    std::vector<uint8_t> four_corners = header(20051028, 100, 1);
    put_varint(four_corners, 0x04);
    put_varint(four_corners, 4);
    for (int i = 0; i < 8; ++i)
        put_varint(four_corners, 1);
    std::vector<uint8_t> negative_corners = header(20051028, 100, 1);
    put_varint(negative_corners, 0x04);
    put_varint(negative_corners, 0xFFFFFFFF);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"magic", bad_magic},           {"newer version", newer},
        {"five layers", five_layers},   {"negative layer count", negative_layers},
        {"flag 0x80", flag_0x80},       {"flag 0x01", flag_bit0},
        {"four corners", four_corners}, {"negative corner count", negative_corners},
    };
    for (const auto& [name, bytes] : cases) {
        qv::NoiseDesign design = one_layer(osc(qv::NOISE_SINE, 1.0f));
        EXPECT_FALSE(parse(bytes, design)) << name;
        EXPECT_EQ(design.unit_count, 0) << name; // released
        EXPECT_TRUE(design.units.empty()) << name;
        EXPECT_FALSE(qv::noise_file_error().empty()) << name;
    }
}

TEST(NoiseFile, EveryTruncationIsRefused) {
    const std::vector<uint8_t> file = valid_file();
    for (std::size_t n = 0; n < file.size(); ++n) {
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<long>(n));
        qv::NoiseDesign design;
        EXPECT_FALSE(parse(prefix, design)) << n << " bytes";
    }
}

} // namespace
