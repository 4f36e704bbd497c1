// Whatever a readable voice file holds, playing it renders, mixes and releases without reading
// outside a buffer, overflowing or leaving the output range: the audition path with the
// mixer included, in 16-bit stereo at 44100 Hz and 8-bit mono at 11025 Hz.
#include "sound/tone_player.h"
#include "voice/byte_stream.h"
#include "voice/pitch_table.h"
#include "voice/ready_samples.h"
#include "voice/render.h"
#include "voice/render_format.h"
#include "voice/voice_file.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t HELD_FRAMES = 2048;
constexpr int32_t RELEASED_FRAMES = 2048;

void play(const qv::Voice& source, int32_t channels, int32_t rate, int32_t bits, float frequency) {
    qv::RenderFormat::set(channels, rate, bits);
    qv::Voice voice;
    if (!qv::copy(source, voice) || !qv::build_ready_samples(voice) || !qv::build_envelopes(voice))
        return;
    if (!qv::TonePlayer::initialize(channels, rate, bits, 8))
        std::abort();
    const int32_t id = qv::TonePlayer::start_tone(voice, 1, frequency, -1, -1, 30);
    const int32_t once = qv::TonePlayer::start_tone(voice, 0, frequency, 100, 128, -1);
    const std::size_t bytes_per_frame = static_cast<std::size_t>(channels * bits / 8);
    std::vector<uint8_t> region(HELD_FRAMES * bytes_per_frame, bits == 8 ? 128 : 0);
    qv::TonePlayer::mix(region);
    qv::TonePlayer::stop_tone(id, qv::ToneStop::Release);
    qv::TonePlayer::stop_tone(once, qv::ToneStop::Release);
    region.assign(RELEASED_FRAMES * bytes_per_frame, bits == 8 ? 128 : 0);
    qv::TonePlayer::mix(region);
    if (bits == 8)
        for (uint8_t b : region)
            if (b == 0)
                std::abort(); // 8-bit output stays within 1 .. 255
    qv::TonePlayer::release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qv::build_pitch_table();
    qv::ByteStream stream;
    qv::open_memory(stream, {data, size});
    qv::Voice voice;
    if (!qv::read_voice(stream, voice))
        return 0;
    // The last byte picks the key, so pitch takes part in the search too.
    const int32_t key = size > 0 ? (static_cast<int32_t>(data[size - 1]) - 128) * 96 : 0;
    play(voice, 2, 44100, 16, qv::key_to_frequency(key));
    play(voice, 1, 11025, 8, qv::key_to_frequency(-key));
    return 0;
}
