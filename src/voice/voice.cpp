// Container operations of the voice records: allocation, release, deep copy, import defaults.
#include "voice/voice.h"

#include "voice/allocation.h"

namespace qv {

bool allocate_units(Voice& voice, int32_t count) {
    release(voice);
    if (count < 0)
        return false;
    if (!allocate_zeroed(voice.units, static_cast<std::size_t>(count)) ||
        !allocate_zeroed(voice.ready, static_cast<std::size_t>(count))) {
        release(voice);
        return false;
    }
    voice.unit_count = count;
    return true;
}

void release_noise(NoiseDesign& design) { design = NoiseDesign{}; }

void release(Voice& voice) {
    // Ogg handles would be closed here, but no decoder is installed: they are always 0.
    std::vector<VoiceUnit>().swap(voice.units);
    std::vector<ReadySample>().swap(voice.ready);
    voice.unit_count = 0;
}

bool copy_noise(NoiseDesign& destination, const NoiseDesign& source) {
    release_noise(destination);
    if (source.units.empty())
        return true;
    if (!copy_array(destination.units, source.units)) {
        release_noise(destination);
        return false;
    }
    destination.length_44k = source.length_44k;
    destination.unit_count = source.unit_count;
    return true;
}

namespace {

bool copy_unit_parts(VoiceUnit& out, const VoiceUnit& in) {
    out.basic_key = in.basic_key;
    out.volume = in.volume;
    out.pan = in.pan;
    out.tuning = in.tuning;
    out.voice_flags = in.voice_flags;
    out.data_flags = in.data_flags;
    out.wave.kind = in.wave.kind;

    const PcmSample& s = in.wave.sample;
    PcmSample& d = out.wave.sample;
    d.channels = s.channels;
    d.samples_per_second = s.samples_per_second;
    d.bits_per_sample = s.bits_per_sample;
    d.head = s.head;
    d.body = s.body;
    d.tail = s.tail;
    if (!copy_array(d.data, s.data))
        return false;

    out.envelope.fps = in.envelope.fps;
    out.envelope.head_count = in.envelope.head_count;
    out.envelope.body_count = in.envelope.body_count;
    out.envelope.tail_count = in.envelope.tail_count;
    if (!copy_array(out.envelope.points, in.envelope.points))
        return false;

    out.wave.point_count = in.wave.point_count;
    out.wave.resolution = in.wave.resolution;
    if (!copy_array(out.wave.points, in.wave.points))
        return false;

    out.wave.ogg_handle = 0;
    return copy_noise(out.wave.noise, in.wave.noise);
}

} // namespace

bool copy(const Voice& source, Voice& destination) {
    if (&source == &destination)
        return true;
    if (!allocate_units(destination, source.unit_count))
        return false;
    for (int32_t i = 0; i < source.unit_count; ++i) {
        if (!copy_unit_parts(destination.units[static_cast<std::size_t>(i)],
                             source.units[static_cast<std::size_t>(i)])) {
            release(destination);
            return false;
        }
    }
    return true;
}

void init_imported_unit(VoiceUnit& unit, int32_t kind) {
    unit.basic_key = IMPORTED_BASIC_KEY;
    unit.volume = 128;
    unit.pan = 64;
    unit.tuning = 1.0f;
    unit.voice_flags = VOICE_FLAG_SMOOTH;
    unit.data_flags = DATA_FLAG_WAVE;
    unit.envelope = VoiceEnvelope{};
    unit.wave.noise = NoiseDesign{};
    unit.wave.kind = kind;
}

} // namespace qv
