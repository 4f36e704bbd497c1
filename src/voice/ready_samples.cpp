// Ready samples by wave kind: one 400-frame cycle for coordinate and overtone waves, the noise
// generator for noise designs, conversion of the unit's own PCM for sampled sounds.
#include "voice/ready_samples.h"

#include "voice/allocation.h"
#include "voice/noise_generator.h"
#include "voice/render.h"
#include "voice/wav.h"

#include <cstring>

namespace qv {

namespace {

std::string last_error;

bool fail(ReadySample& ready, const char* reason) {
    std::vector<int16_t>().swap(ready.pcm);
    ready.head = ready.body = ready.tail = 0;
    last_error = reason;
    return false;
}

bool build_wave_table(const VoiceUnit& unit, ReadySample& ready) {
    ready.body = WAVE_TABLE_LENGTH;
    if (!allocate_zeroed(ready.pcm, static_cast<std::size_t>(WAVE_TABLE_LENGTH * READY_CHANNELS)))
        return fail(ready, "out of memory");
    if (!render_wave_table(unit, ready, READY_CHANNELS, READY_BITS))
        return fail(ready, "cannot render the wave table");
    return true;
}

bool build_noise(VoiceUnit& unit, ReadySample& ready) {
    if (!render_noise(ready.pcm, unit.wave.noise, READY_CHANNELS, READY_RATE))
        return fail(ready, "cannot render the noise design");
    ready.body = static_cast<int32_t>(ready.pcm.size() / READY_CHANNELS);
    return true;
}

bool build_sampled(const VoiceUnit& unit, ReadySample& ready) {
    PcmSample work;
    if (!copy_pcm(work, unit.wave.sample))
        return fail(ready, "out of memory");
    if (!convert_pcm(work, READY_CHANNELS, READY_RATE, READY_BITS))
        return fail(ready, "cannot convert the sample");
    // The ready form keeps 16-bit samples; the converted bytes are little-endian 16-bit.
    if (!allocate_zeroed(ready.pcm, work.data.size() / 2))
        return fail(ready, "out of memory");
    for (std::size_t i = 0; i < ready.pcm.size(); ++i)
        ready.pcm[i] = static_cast<int16_t>(work.data[2 * i] | work.data[2 * i + 1] << 8);
    ready.head = work.head;
    ready.body = work.body;
    ready.tail = work.tail;
    return true;
}

} // namespace

bool build_ready_sample(VoiceUnit& unit, ReadySample& ready) {
    std::vector<int16_t>().swap(ready.pcm);
    ready.head = ready.body = ready.tail = 0;
    switch (unit.wave.kind) {
    case WAVE_COORDINATE:
    case WAVE_OVERTONE:
        return build_wave_table(unit, ready);
    case WAVE_NOISE:
        return build_noise(unit, ready);
    case WAVE_SAMPLED:
        return build_sampled(unit, ready);
    case WAVE_OGG:
        return fail(ready, "no Ogg decoder is installed");
    default:
        return true; // an unknown kind is carried but renders nothing
    }
}

bool build_ready_samples(Voice& voice) {
    last_error.clear();
    const std::size_t count = std::min(voice.units.size(), voice.ready.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<int16_t>().swap(voice.ready[i].pcm);
        voice.ready[i].head = voice.ready[i].body = voice.ready[i].tail = 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!build_ready_sample(voice.units[i], voice.ready[i])) {
            for (std::size_t k = 0; k < count; ++k) {
                std::vector<int16_t>().swap(voice.ready[k].pcm);
                voice.ready[k].head = voice.ready[k].body = voice.ready[k].tail = 0;
            }
            return false;
        }
    }
    return true;
}

const std::string& ready_samples_error() {
    return last_error;
}

} // namespace qv
