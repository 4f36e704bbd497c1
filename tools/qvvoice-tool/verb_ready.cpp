// qvvoice-tool ready FILE OUT.wav: the first unit's ready sample, built as the sample browser
// builds it, written as a 44100 Hz stereo 16-bit WAV file. Turns noise designs into samples.
#include "verbs.h"

#include "voice/audition.h"
#include "voice/render.h"
#include "voice/wav_writer.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace qvtool {

int run_ready(Args args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: qvvoice-tool ready FILE OUT.wav\n");
        return EXIT_USAGE;
    }
    const std::string path(args[0]);
    const std::string out(args[1]);
    qv::Voice voice;
    const qv::AuditionResult result = qv::prepare_audition(path, false, voice);
    if (!result.start_note) {
        std::fprintf(stderr, "qvvoice-tool: %s: %s\n", path.c_str(), result.error.c_str());
        return EXIT_FAILED;
    }
    if (voice.unit_count < 1 || voice.units[0].wave.kind > qv::WAVE_OGG) {
        std::fprintf(stderr, "qvvoice-tool: %s: the first unit renders nothing\n", path.c_str());
        return EXIT_FAILED;
    }
    const qv::ReadySample& ready = voice.ready[0];
    const std::size_t frames = static_cast<std::size_t>(ready.head) +
                               static_cast<std::size_t>(ready.body) +
                               static_cast<std::size_t>(ready.tail);
    const std::size_t samples = std::min(frames * qv::READY_CHANNELS, ready.pcm.size());
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(samples * 2);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "qvvoice-tool: out of memory\n");
        return EXIT_FAILED;
    }
    for (std::size_t i = 0; i < samples; ++i) {
        const auto v = static_cast<uint16_t>(ready.pcm[i]);
        bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    if (!qv::write_wav_file(out, qv::READY_CHANNELS, qv::READY_RATE, qv::READY_BITS, bytes)) {
        std::fprintf(stderr, "qvvoice-tool: %s: cannot write the file\n", out.c_str());
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

} // namespace qvtool
