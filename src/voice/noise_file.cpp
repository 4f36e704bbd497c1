// The noise file reader: magic, version, length, then up to four layer records whose flags say
// which parts follow. Parts a record leaves out read as zero.
#include "voice/noise_file.h"

#include "voice/allocation.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

std::string last_error;

bool fail(const char* reason) {
    last_error = reason;
    return false;
}

// Frequency, volume and offset are stored ten-fold as integers.
bool read_tenths(ByteStream& stream, float& value) {
    int32_t raw = 0;
    if (!read_varint(stream, raw))
        return false;
    value = static_cast<float>(raw) / 10.0f;
    return true;
}

bool read_oscillator(ByteStream& stream, NoiseOscillator& osc) {
    return read_varint(stream, osc.waveform) && read_varint(stream, osc.reverse) &&
           read_tenths(stream, osc.frequency) && read_tenths(stream, osc.volume) &&
           read_tenths(stream, osc.offset);
}

bool read_layer(ByteStream& stream, NoiseUnit& layer) {
    layer.enabled = 1;
    int32_t flags = 0;
    if (!read_varint(stream, flags))
        return fail("truncated layer flags");
    if ((static_cast<uint32_t>(flags) & ~static_cast<uint32_t>(NOISE_FLAGS_VALID)) != 0)
        return fail("unknown layer flag bits");
    if (flags & NOISE_FLAG_ENVELOPE) {
        int32_t count = 0;
        if (!read_varint(stream, count))
            return fail("truncated envelope");
        // A negative count is a huge unsigned one on disk: just as invalid.
        if (count < 0 || count > NOISE_MAX_CORNERS)
            return fail("more than 3 envelope corners");
        if (!allocate_zeroed(layer.envelope, static_cast<std::size_t>(count)))
            return fail("out of memory");
        layer.envelope_count = count;
        for (VoicePoint& corner : layer.envelope)
            if (!read_varint(stream, corner.x) || !read_varint(stream, corner.y))
                return fail("truncated envelope");
    }
    if (flags & NOISE_FLAG_PAN) {
        int8_t pan = 0;
        if (!read(stream, &pan, 1, 1))
            return fail("truncated pan");
        layer.pan = pan;
    }
    if ((flags & NOISE_FLAG_MAIN) && !read_oscillator(stream, layer.main))
        return fail("truncated oscillator");
    if ((flags & NOISE_FLAG_FREQUENCY_MOD) && !read_oscillator(stream, layer.frequency_mod))
        return fail("truncated oscillator");
    if ((flags & NOISE_FLAG_VOLUME_MOD) && !read_oscillator(stream, layer.volume_mod))
        return fail("truncated oscillator");
    return true;
}

bool read_design(ByteStream& stream, NoiseDesign& design) {
    char magic[sizeof NOISE_MAGIC] = {};
    if (!read(stream, magic, 1, sizeof magic) || std::memcmp(magic, NOISE_MAGIC, sizeof magic) != 0)
        return fail("not a noise file");
    uint8_t version[4] = {};
    if (!read(stream, version, 1, 4))
        return fail("truncated header");
    const uint32_t v = static_cast<uint32_t>(version[0]) | static_cast<uint32_t>(version[1]) << 8 |
                       static_cast<uint32_t>(version[2]) << 16 |
                       static_cast<uint32_t>(version[3]) << 24;
    if (v > NOISE_VERSION)
        return fail("newer noise file version");
    int8_t count = 0;
    if (!read_varint(stream, design.length_44k) || !read(stream, &count, 1, 1))
        return fail("truncated header");
    if (count < 0 || count > NOISE_MAX_LAYERS)
        return fail("layer count outside 0 .. 4");
    if (!allocate_zeroed(design.units, static_cast<std::size_t>(count)))
        return fail("out of memory");
    design.unit_count = count;
    for (NoiseUnit& layer : design.units)
        if (!read_layer(stream, layer))
            return false;
    return true;
}

template <class T> T clamped(T value, T low, T high) {
    return std::min(std::max(value, low), high);
}

// Floats at or below 0 become 0 (a NaN from a hand-made design included).
float clamp_positive(float value, float high) {
    if (!(value > 0.0f))
        return 0.0f;
    return value > high ? high : value;
}

void clamp_oscillator(NoiseOscillator& osc) {
    if (osc.waveform < 0 || osc.waveform >= NOISE_WAVEFORM_COUNT)
        osc.waveform = 0;
    osc.frequency = clamp_positive(osc.frequency, NOISE_MAX_FREQUENCY);
    osc.volume = clamp_positive(osc.volume, NOISE_MAX_VOLUME);
    osc.offset = clamp_positive(osc.offset, NOISE_MAX_OFFSET);
}

} // namespace

bool read_noise(ByteStream& stream, NoiseDesign& design) {
    last_error.clear();
    NoiseDesign parsed;
    if (!read_design(stream, parsed)) {
        release_noise(design);
        return false;
    }
    design = std::move(parsed);
    return true;
}

const std::string& noise_file_error() {
    return last_error;
}

void clamp_noise(NoiseDesign& design) {
    // A negative length would make a negative frame count; treat it as empty.
    design.length_44k = clamped(design.length_44k, 0, NOISE_MAX_LENGTH_44K);
    for (NoiseUnit& layer : design.units) {
        if (!layer.enabled)
            continue;
        for (VoicePoint& corner : layer.envelope) {
            corner.x = clamped(corner.x, 0, NOISE_MAX_CORNER_MS);
            corner.y = clamped(corner.y, 0, NOISE_MAX_CORNER_LEVEL);
        }
        layer.pan = clamped(layer.pan, -NOISE_MAX_PAN, NOISE_MAX_PAN);
        clamp_oscillator(layer.main);
        clamp_oscillator(layer.frequency_mod);
        clamp_oscillator(layer.volume_mod);
    }
}

} // namespace qv
