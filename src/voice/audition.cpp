// The sample browser's preparation of each kind of file. Very short sounds (under 5 ms) always
// repeat, or the preview would be a click.
#include "voice/audition.h"

#include "voice/byte_stream.h"
#include "voice/noise_file.h"
#include "voice/ready_samples.h"
#include "voice/render.h"
#include "voice/voice_file.h"
#include "voice/wav.h"

#include <cstdarg>
#include <cstdio>

namespace qv {

namespace {

constexpr float SHORTEST_ONE_SHOT_SECONDS = 0.005f;
constexpr float NOISE_RATE = 44100.0f;

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(out.data(), out.size(), pattern, again);
        out.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return out;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// Short sounds repeat whatever the browser asked for.
void choose_loop(AuditionResult& r, float seconds, bool loop) {
    if (seconds < SHORTEST_ONE_SHOT_SECONDS) {
        loop = true;
        r.looping = true;
    }
    r.mode = loop ? 1 : 0;
    r.start_note = true;
}

void prepare_wav(const std::string& path, bool loop, Voice& voice, AuditionResult& r) {
    if (!allocate_units(voice, 1)) {
        r.error = "out of memory";
        return;
    }
    VoiceUnit& unit = voice.units[0];
    init_imported_unit(unit, WAVE_SAMPLED);
    if (!read_wav(path, unit.wave.sample)) {
        r.error = wav_error();
        return;
    }
    const PcmSample& s = unit.wave.sample;
    const float seconds = static_cast<float>(s.body) / static_cast<float>(s.samples_per_second);
    const std::string name(audition_file_name(path));
    r.description =
        format(s.channels == 1 ? "%s\r\n Mono\r\n %d Hz\r\n %d bps\r\n %0.2f sec"
                               : "%s\r\n Stereo\r\n %d Hz\r\n %d bps\r\n %0.2f sec",
               name.c_str(), s.samples_per_second, s.bits_per_sample, static_cast<double>(seconds));
    r.described = true;
    if (!build_ready_samples(voice)) {
        r.error = ready_samples_error();
        return;
    }
    choose_loop(r, seconds, loop);
}

void prepare_voice(const std::string& path, Voice& voice, AuditionResult& r) {
    ByteStream stream;
    if (!open_file(stream, path)) {
        r.error = "cannot open the file";
        return;
    }
    if (!read_voice(stream, voice)) {
        r.error = voice_file_error();
    } else {
        r.description = format("%s\r\n%d voice", std::string(audition_file_name(path)).c_str(),
                               voice.unit_count);
        r.described = true;
        if (!build_ready_samples(voice))
            r.error = ready_samples_error();
        else if (!build_envelopes(voice))
            r.error = "cannot build the envelopes";
        else {
            r.mode = 1; // a voice always repeats
            r.looping = true;
            r.start_note = true;
        }
    }
    close(stream);
}

void prepare_noise(const std::string& path, bool loop, Voice& voice, AuditionResult& r) {
    if (!allocate_units(voice, 1)) {
        r.error = "out of memory";
        return;
    }
    VoiceUnit& unit = voice.units[0];
    init_imported_unit(unit, WAVE_NOISE);
    ByteStream stream;
    if (!open_file(stream, path)) {
        r.error = "cannot open the file";
        return;
    }
    if (!read_noise(stream, unit.wave.noise)) {
        r.error = noise_file_error();
    } else {
        const float seconds = static_cast<float>(unit.wave.noise.length_44k) / NOISE_RATE;
        r.description = format("%s\r\n%0.2f sec", std::string(audition_file_name(path)).c_str(),
                               static_cast<double>(seconds));
        r.described = true;
        if (!build_ready_samples(voice))
            r.error = ready_samples_error();
        else if (!build_envelopes(voice))
            r.error = "cannot build the envelopes";
        else
            choose_loop(r, seconds, loop);
    }
    close(stream);
}

} // namespace

std::string_view audition_file_name(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

AuditionFile audition_file_kind(std::string_view path) {
    const std::string_view name = audition_file_name(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return AuditionFile::Other;
    const std::string_view extension = name.substr(dot);
    if (same_ignoring_case(extension, ".wav"))
        return AuditionFile::Wav;
    if (same_ignoring_case(extension, ".qvvoice"))
        return AuditionFile::Voice;
    if (same_ignoring_case(extension, ".qvnoise"))
        return AuditionFile::Noise;
    if (same_ignoring_case(extension, ".ogg"))
        return AuditionFile::Ogg;
    return AuditionFile::Other;
}

AuditionResult prepare_audition(const std::string& path, bool loop, Voice& voice) {
    AuditionResult r;
    release(voice);
    switch (audition_file_kind(path)) {
    case AuditionFile::Wav:
        prepare_wav(path, loop, voice, r);
        break;
    case AuditionFile::Voice:
        prepare_voice(path, voice, r);
        break;
    case AuditionFile::Noise:
        prepare_noise(path, loop, voice, r);
        break;
    case AuditionFile::Ogg:
        r.error = "no Ogg decoder is installed";
        break;
    case AuditionFile::Other:
        r.error = "not a .wav, .qvvoice, .qvnoise or .ogg file";
        return r;
    }
    r.recognised = true;
    return r;
}

} // namespace qv
