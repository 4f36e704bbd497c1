// Noise synthesis. Each layer is a main oscillator whose pitch follows a frequency-modulation
// oscillator and whose amplitude follows a volume-modulation oscillator, shaped by an envelope
// of up to three linear corners and panned; the layers are summed and clipped.
#include "voice/noise_generator.h"

#include "voice/allocation.h"
#include "voice/noise_file.h"
#include "voice/pitch_table.h"
#include "voice/render.h"

#include <algorithm>

namespace qv {

namespace {

std::string last_error;

bool fail(const char* reason) {
    last_error = reason;
    return false;
}

constexpr int32_t NOISE_OUTPUT_RATE_MAX = 44100;  // the frame count divides 44100 by the rate
constexpr int32_t KEY_SPAN_OF_FULL_SCALE = 12800; // full-scale modulation = 50 semitones

int16_t trunc_to_i16(double value) {
    return static_cast<int16_t>(value);
}

double clip_unit(double value) {
    return value > 1.0 ? 1.0 : (value < -1.0 ? -1.0 : value);
}

// One cycle of a sum of overtones (harmonic, amplitude 128) at full volume, clipped to +-1.
bool overtone_table(std::vector<int16_t>& table, std::span<const VoicePoint> overtones) {
    if (!allocate_zeroed(table, TABLE_LENGTH))
        return false;
    WaveSource source;
    source.points = overtones.data();
    source.point_count = static_cast<int32_t>(overtones.size());
    source.volume = 128;
    source.length = TABLE_LENGTH;
    for (int32_t i = 0; i < TABLE_LENGTH; ++i)
        table[static_cast<std::size_t>(i)] =
            trunc_to_i16(clip_unit(overtone_value(source, i)) * 32767.0);
    return true;
}

// Falling ramp from full scale to almost minus full scale.
void fill_saw(std::vector<int16_t>& table) {
    for (int32_t i = 0; i < TABLE_LENGTH; ++i)
        table[static_cast<std::size_t>(i)] = trunc_to_i16(32767.0 - i * 65534.0 / TABLE_LENGTH);
}

// Square wave: the first (truncated) half high.
void fill_rect(std::vector<int16_t>& table) {
    for (int32_t i = 0; i < TABLE_LENGTH; ++i)
        table[static_cast<std::size_t>(i)] = i < TABLE_LENGTH / 2 ? 32767 : -32767;
}

struct OscillatorState {
    const int16_t* table = nullptr;
    const int16_t* random = nullptr; // the random table, for NOISE_RANDOM only
    const double* scaled = nullptr;  // other waveforms: table entry x depth, per phase
    const float* factors = nullptr;  // as frequency modulation: the pitch factor, per phase
    double phase = 0.0;
    double increment = 0.0;
    double depth = 0.0;
    int32_t index = 0;   // random table position
    int32_t current = 0; // random value interpolated from
    int32_t delta = 0;   // to the next random value
};

// NOISE_RANDOM interpolates linearly between successive random values over one cycle;
// the others read their table (a reversed copy when the oscillator runs backwards).
inline int32_t oscillator_value(const OscillatorState& osc) {
    const int32_t p = static_cast<int32_t>(osc.phase);
    if (osc.random != nullptr) [[unlikely]]
        return osc.current + (p * osc.delta) / TABLE_LENGTH;
    return osc.table[p];
}

inline void advance(OscillatorState& osc, double step) {
    osc.phase += step;
    if (osc.phase < TABLE_LENGTH)
        return;
    osc.phase -= TABLE_LENGTH;
    if (osc.phase >= TABLE_LENGTH) // a step beyond a whole cycle restarts it
        osc.phase = 0.0;
    if (osc.random != nullptr) {
        osc.current = osc.random[osc.index];
        osc.index = osc.index + 1 == RANDOM_TABLE_LENGTH ? 0 : osc.index + 1;
        osc.delta = osc.random[osc.index] - osc.current;
    }
}

// The tables read forwards and, for reversed oscillators, backwards.
struct TableSet {
    NoiseTables forward;
    NoiseTables backward; // entry i = forward entry 440 - i; the random table is never reversed
};

OscillatorState prepare_oscillator(const NoiseOscillator& osc, const TableSet& tables,
                                   int32_t rate) {
    OscillatorState state;
    const auto waveform = static_cast<std::size_t>(osc.waveform);
    const bool backward = osc.reverse != 0 && osc.waveform != NOISE_RANDOM;
    state.table = (backward ? tables.backward : tables.forward).tables[waveform].data();
    state.increment = (44100.0 / rate) * (static_cast<double>(osc.frequency) / 100.0);
    state.depth = static_cast<double>(osc.volume) / 100.0;
    if (osc.waveform == NOISE_RANDOM) {
        state.random = state.table;
        state.index = static_cast<int32_t>(static_cast<double>(osc.offset) / 100.0 * 44100.0);
        if (state.index >= RANDOM_TABLE_LENGTH)
            state.index = 0;
        state.delta = state.random[state.index];
    } else {
        state.phase = TABLE_LENGTH * static_cast<double>(osc.offset) / 100.0;
        if (state.phase >= TABLE_LENGTH)
            state.phase = 0.0;
    }
    return state;
}

// Piecewise-linear envelope: from level 0 towards each corner over its duration in frames;
// corners of zero duration take effect at once.
struct EnvelopeState {
    std::array<int64_t, NOISE_MAX_CORNERS> duration{};
    std::array<double, NOISE_MAX_CORNERS> level{};
    int32_t count = 0;
    int32_t index = 0;
    int64_t counter = 0;
    double current = 0.0;
    double delta = 0.0;

    void skip_instant_corners() {
        while (index < count) {
            delta = level[static_cast<std::size_t>(index)] - current;
            if (duration[static_cast<std::size_t>(index)] != 0)
                break;
            current = level[static_cast<std::size_t>(index)];
            ++index;
        }
    }
    double value() const {
        if (index >= count)
            return current;
        return current + static_cast<double>(counter) * delta /
                             static_cast<double>(duration[static_cast<std::size_t>(index)]);
    }
    void advance() {
        if (index >= count)
            return;
        if (++counter == duration[static_cast<std::size_t>(index)]) {
            counter = 0;
            current = level[static_cast<std::size_t>(index)];
            delta = 0.0;
            ++index;
            skip_instant_corners();
        }
    }
};

struct LayerState {
    double pan[2] = {1.0, 1.0};
    EnvelopeState envelope;
    OscillatorState main;
    OscillatorState frequency_mod;
    OscillatorState volume_mod;
};

// key_to_frequency, inlined for the per-frame path. Modulation keys stay within +-65534, so
// the 32-bit index arithmetic cannot wrap here.
inline float key_factor(const float* pitch, int32_t key) {
    int32_t index = ((key + 24576) * 16) / 256;
    if (index < 0)
        index = 0;
    if (index >= PITCH_TABLE_SIZE)
        index = PITCH_TABLE_SIZE - 1;
    return pitch[index];
}

// Per-phase results of a layer's table oscillators, computed once per render instead of once
// per frame: the same arithmetic on the same entries.
struct LayerTables {
    std::array<double, TABLE_LENGTH> main;
    std::array<double, TABLE_LENGTH> volume;
    std::array<float, TABLE_LENGTH> factors;
};

void scale_table(OscillatorState& osc, std::array<double, TABLE_LENGTH>& out) {
    for (int32_t p = 0; p < TABLE_LENGTH; ++p)
        out[static_cast<std::size_t>(p)] = osc.table[p] * osc.depth;
    osc.scaled = out.data();
}

// Full-scale table values modulate by 50 semitones (12800 keys), times the depth.
void factor_table(OscillatorState& fm, std::array<float, TABLE_LENGTH>& out, const float* pitch) {
    for (int32_t p = 0; p < TABLE_LENGTH; ++p) {
        const int32_t keys = (fm.table[p] * KEY_SPAN_OF_FULL_SCALE) / NOISE_FULL_SCALE;
        out[static_cast<std::size_t>(p)] = key_factor(pitch, static_cast<int32_t>(keys * fm.depth));
    }
    fm.factors = out.data();
}

LayerState prepare_layer(const NoiseUnit& unit, const TableSet& tables, int32_t rate,
                         LayerTables& scaled, const float* pitch) {
    LayerState layer;
    if (unit.pan < 0)
        layer.pan[1] = (unit.pan + 100) / 100.0;
    else if (unit.pan > 0)
        layer.pan[0] = (100 - unit.pan) / 100.0;
    const int32_t corners = std::min<int32_t>(
        std::min<int32_t>(unit.envelope_count, static_cast<int32_t>(unit.envelope.size())),
        NOISE_MAX_CORNERS);
    for (int32_t k = 0; k < corners; ++k) {
        const VoicePoint& corner = unit.envelope[static_cast<std::size_t>(k)];
        layer.envelope.duration[static_cast<std::size_t>(k)] =
            (static_cast<int64_t>(rate) * corner.x) / 1000;
        layer.envelope.level[static_cast<std::size_t>(k)] = corner.y / 100.0;
    }
    layer.envelope.count = std::max(corners, 0);
    layer.envelope.skip_instant_corners();
    layer.main = prepare_oscillator(unit.main, tables, rate);
    layer.frequency_mod = prepare_oscillator(unit.frequency_mod, tables, rate);
    layer.volume_mod = prepare_oscillator(unit.volume_mod, tables, rate);
    scale_table(layer.main, scaled.main);
    scale_table(layer.volume_mod, scaled.volume);
    factor_table(layer.frequency_mod, scaled.factors, pitch);
    return layer;
}

// An oscillator's value times its depth: a table read for every waveform but the random one.
inline double scaled_value(const OscillatorState& osc) {
    if (osc.random != nullptr) [[unlikely]]
        return oscillator_value(osc) * osc.depth;
    return osc.scaled[static_cast<int32_t>(osc.phase)];
}

// The pitch factor of the frequency modulation: computed for the random waveform, looked up for
// the others.
inline float modulation_factor(const OscillatorState& fm, const float* pitch) {
    if (fm.random != nullptr) [[unlikely]]
        return key_factor(pitch, static_cast<int32_t>(oscillator_value(fm) * fm.depth));
    return fm.factors[static_cast<int32_t>(fm.phase)];
}

inline void advance_layer(LayerState& layer, const float* pitch) {
    const float factor = modulation_factor(layer.frequency_mod, pitch);
    advance(layer.main, layer.main.increment * factor);
    advance(layer.frequency_mod, layer.frequency_mod.increment);
    advance(layer.volume_mod, layer.volume_mod.increment);
    layer.envelope.advance();
}

// trunc(sum) limited to +-32767: anything from 32767 up truncates to at least the limit.
inline int32_t clip_sample(double sum) {
    if (sum >= 32767.0)
        return 32767;
    if (sum <= -32767.0)
        return -32767;
    return static_cast<int32_t>(sum);
}

// Frames are synthesised in blocks: each layer runs a block on a local copy of its state (kept
// in registers) and adds into the block's sums, then the sums are clipped and stored. Layers
// are independent and summed in order, so the result equals a frame-by-frame walk.
constexpr int32_t BLOCK_FRAMES = 256;

// The oscillators' recurrences run first and leave per-frame values; the arithmetic on those
// values then runs as a plain loop the compiler can vectorise (lane by lane the same results).
template <int Channels>
void run_layer(LayerState& state, double* sums, int32_t frames, const float* pitch) {
    double m[BLOCK_FRAMES];
    double v[BLOCK_FRAMES];
    double level[BLOCK_FRAMES];
    LayerState layer = state;
    for (int32_t i = 0; i < frames; ++i) {
        m[i] = scaled_value(layer.main);
        v[i] = scaled_value(layer.volume_mod);
        level[i] = layer.envelope.value();
        advance_layer(layer, pitch);
    }
    state = layer;
    const double pan[2] = {layer.pan[0], layer.pan[1]};
    for (int32_t i = 0; i < frames; ++i) {
        const double amplitude = (v[i] + 32767.0) * m[i] / 65534.0;
        for (int c = 0; c < Channels; ++c)
            sums[i * Channels + c] += amplitude * pan[c] * level[i];
    }
}

// `store(sample index, clipped sample)` writes the output.
template <int Channels, class Store>
void synthesise_frames(std::span<LayerState> layers, int32_t frames, Store store) {
    const float* pitch = pitch_table().data();
    double sums[BLOCK_FRAMES * Channels];
    std::size_t out = 0;
    for (int32_t start = 0; start < frames; start += BLOCK_FRAMES) {
        const int32_t count = std::min(BLOCK_FRAMES, frames - start);
        std::fill_n(sums, count * Channels, 0.0);
        for (LayerState& layer : layers)
            run_layer<Channels>(layer, sums, count, pitch);
        for (int32_t i = 0; i < count * Channels; ++i)
            store(out++, clip_sample(sums[i]));
    }
}

template <class Store>
void synthesise(std::span<LayerState> layers, int32_t frames, int32_t channels, Store store) {
    if (channels == 2)
        synthesise_frames<2>(layers, frames, store);
    else
        synthesise_frames<1>(layers, frames, store);
}

struct Prepared {
    TableSet tables;
    std::vector<LayerTables> scaled;
    std::array<LayerState, NOISE_MAX_LAYERS> layers;
    std::size_t layer_count = 0;
    int32_t frames = 0;
};

bool prepare(Prepared& p, NoiseDesign& design, int32_t channels, int32_t rate, int32_t bits) {
    last_error.clear();
    if (channels != 1 && channels != 2)
        return fail("channels must be 1 or 2");
    if (bits != 8 && bits != 16)
        return fail("bits must be 8 or 16");
    if (rate < 1 || rate > NOISE_OUTPUT_RATE_MAX)
        return fail("rate must be 1 .. 44100");
    clamp_noise(design);
    build_pitch_table();
    if (!build_noise_tables(p.tables.forward))
        return fail("out of memory");
    for (std::size_t k = 0; k < p.tables.backward.tables.size(); ++k) {
        if (k == NOISE_RANDOM)
            continue;
        const std::vector<int16_t>& forward = p.tables.forward.tables[k];
        if (!allocate_zeroed(p.tables.backward.tables[k], TABLE_LENGTH))
            return fail("out of memory");
        std::reverse_copy(forward.begin(), forward.end(), p.tables.backward.tables[k].begin());
    }
    const std::size_t count =
        std::min(design.units.size(), static_cast<std::size_t>(std::max(design.unit_count, 0)));
    if (!allocate_zeroed(p.scaled, NOISE_MAX_LAYERS))
        return fail("out of memory");
    for (std::size_t i = 0; i < count && p.layer_count < p.layers.size(); ++i)
        if (design.units[i].enabled) {
            p.layers[p.layer_count] = prepare_layer(design.units[i], p.tables, rate,
                                                    p.scaled[p.layer_count], pitch_table().data());
            ++p.layer_count;
        }
    p.frames = noise_frame_count(design.length_44k, rate);
    return true;
}

} // namespace

int16_t NoiseRandom::next() {
    const uint32_t t =
        static_cast<uint32_t>(static_cast<int32_t>(seed_a)) + static_cast<uint32_t>(seed_b);
    const uint16_t w = static_cast<uint16_t>(((t & 0xFFu) << 8) | ((t >> 8) & 0xFFu));
    seed_b = seed_a;
    seed_a = static_cast<int16_t>(w);
    return seed_a;
}

bool build_noise_tables(NoiseTables& tables) {
    std::vector<VoicePoint> saw2;
    std::vector<VoicePoint> rect2;
    try {
        for (int32_t n = 1; n <= 16; ++n)
            saw2.push_back({n, 128});
        for (int32_t n = 1; n <= 15; n += 2)
            rect2.push_back({n, 128});
    } catch (const std::bad_alloc&) {
        return false;
    }
    const VoicePoint sine[1] = {{1, 128}};
    auto& t = tables.tables;
    if (!allocate_zeroed(t[NOISE_NONE], TABLE_LENGTH) || !overtone_table(t[NOISE_SINE], sine) ||
        !allocate_zeroed(t[NOISE_SAW], TABLE_LENGTH) ||
        !allocate_zeroed(t[NOISE_RECT], TABLE_LENGTH) ||
        !allocate_zeroed(t[NOISE_RANDOM], RANDOM_TABLE_LENGTH) ||
        !overtone_table(t[NOISE_SAW2], saw2) || !overtone_table(t[NOISE_RECT2], rect2)) {
        tables = NoiseTables{};
        return false;
    }
    fill_saw(t[NOISE_SAW]);
    fill_rect(t[NOISE_RECT]);
    NoiseRandom random;
    for (int16_t& value : t[NOISE_RANDOM])
        value = random.next();
    return true;
}

int32_t noise_frame_count(int32_t length_44k, int32_t rate) {
    if (rate < 1 || rate > NOISE_OUTPUT_RATE_MAX)
        return 0;
    return std::clamp(length_44k, 0, NOISE_MAX_LENGTH_44K) / (NOISE_OUTPUT_RATE_MAX / rate);
}

bool render_noise(std::vector<uint8_t>& out, NoiseDesign& design, int32_t channels, int32_t rate,
                  int32_t bits) {
    std::vector<uint8_t>().swap(out);
    Prepared p;
    if (!prepare(p, design, channels, rate, bits))
        return false;
    const std::size_t samples =
        static_cast<std::size_t>(p.frames) * static_cast<std::size_t>(channels);
    if (!allocate_zeroed(out, samples * static_cast<std::size_t>(bits / 8)))
        return fail("out of memory");
    const std::span<LayerState> layers(p.layers.data(), p.layer_count);
    uint8_t* bytes = out.data();
    if (bits == 16)
        synthesise(layers, p.frames, channels, [bytes](std::size_t i, int32_t s) {
            bytes[2 * i] = static_cast<uint8_t>(s & 0xFF);
            bytes[2 * i + 1] = static_cast<uint8_t>((s >> 8) & 0xFF);
        });
    else
        synthesise(layers, p.frames, channels, [bytes](std::size_t i, int32_t s) {
            bytes[i] = static_cast<uint8_t>((s >> 8) + 128); // arithmetic shift
        });
    return true;
}

bool render_noise(std::vector<int16_t>& out, NoiseDesign& design, int32_t channels, int32_t rate) {
    std::vector<int16_t>().swap(out);
    Prepared p;
    if (!prepare(p, design, channels, rate, 16))
        return false;
    if (!allocate_zeroed(out,
                         static_cast<std::size_t>(p.frames) * static_cast<std::size_t>(channels)))
        return fail("out of memory");
    int16_t* samples = out.data();
    synthesise(std::span<LayerState>(p.layers.data(), p.layer_count), p.frames, channels,
               [samples](std::size_t i, int32_t s) { samples[i] = static_cast<int16_t>(s); });
    return true;
}

const std::string& noise_render_error() {
    return last_error;
}

} // namespace qv
