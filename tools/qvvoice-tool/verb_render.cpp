// qvvoice-tool render FILE OUT.wav [options]: the editor's whole playback path without the
// window. FILE is prepared as the sample browser prepares it, one note plays through a stream
// on the memory device region by region, and every region lands in a WAV file.
#include "verbs.h"

#include "sound/stream.h"
#include "sound/tone_player.h"
#include "sound/tone_quality.h"
#include "voice/audition.h"
#include "voice/pitch_table.h"
#include "voice/render_format.h"
#include "voice/wav_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace qvtool {

namespace {

constexpr char USAGE[] = "usage: qvvoice-tool render FILE OUT.wav [--key K] [--hold S] [--rate R] "
                         "[--bits B] [--channels C] [--buffer SEC] [--loop]\n";
constexpr double MAX_HOLD_SECONDS = 600.0;  // keeps the whole recording in memory
constexpr int32_t MAX_RELEASE_SECONDS = 10; // a note that never ends is cut here

struct RenderOptions {
    std::string input;
    std::string output;
    int32_t key = 0; // 1/256 semitone
    double hold_seconds = 1.0;
    bool loop = false;
    qv::ToneQuality quality; // rate, bits, channels and buffer length of the stream
};

bool parse_int(std::string_view text, int32_t& out) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// std::from_chars for floating point is missing from older standard libraries.
bool parse_double(std::string_view text, double& out) {
    const std::string copy(text);
    char* end = nullptr;
    out = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && std::isfinite(out);
}

bool parse_options(Args args, RenderOptions& options) {
    std::vector<std::string_view> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--loop") {
            options.loop = true;
            continue;
        }
        if (arg.size() < 2 || arg.substr(0, 2) != "--") {
            files.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size())
            return false;
        const std::string_view value = args[++i];
        double seconds = 0.0;
        bool ok = true;
        if (arg == "--key")
            ok = parse_int(value, options.key);
        else if (arg == "--rate")
            ok = parse_int(value, options.quality.rate);
        else if (arg == "--bits")
            ok = parse_int(value, options.quality.bits);
        else if (arg == "--channels")
            ok = parse_int(value, options.quality.channels);
        else if (arg == "--hold")
            ok = parse_double(value, options.hold_seconds) && options.hold_seconds >= 0.0 &&
                 options.hold_seconds <= MAX_HOLD_SECONDS;
        else if (arg == "--buffer") {
            ok = parse_double(value, seconds) && seconds > 0.0 && seconds <= 10.0;
            options.quality.buffer_seconds = static_cast<float>(seconds);
        } else
            ok = false;
        if (!ok)
            return false;
    }
    if (files.size() != 2)
        return false;
    options.input = files[0];
    options.output = files[1];
    return true;
}

bool append(std::vector<uint8_t>& recording, const std::vector<uint8_t>& region) {
    try {
        recording.insert(recording.end(), region.begin(), region.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Advances the stream one region at a time: the note is released after the first region that
// reaches the hold time and the recording ends at the first region after which no tone sounds.
bool record_note(const RenderOptions& options, int32_t tone_id, std::vector<uint8_t>& recording) {
    std::vector<uint8_t> region(static_cast<std::size_t>(qv::SoundStream::region_bytes()));
    int32_t region_frames = 0;
    qv::SoundStream::format(nullptr, nullptr, nullptr, &region_frames);
    const int64_t rate = options.quality.rate;
    const double hold_frames = options.hold_seconds * static_cast<double>(rate);
    int64_t written = 0;
    int64_t released_at = -1;
    for (;;) {
        if (!qv::SoundStream::capture_next(region) || !append(recording, region))
            return false;
        written += region_frames;
        if (released_at < 0 && static_cast<double>(written) >= hold_frames) {
            qv::TonePlayer::stop_tone(tone_id, qv::ToneStop::Release);
            released_at = written;
        }
        if (released_at >= 0 && (qv::TonePlayer::active_tone_count() == 0 ||
                                 written - released_at >= MAX_RELEASE_SECONDS * rate))
            return true;
    }
}

int fail(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "qvvoice-tool: %s: %s\n", what.c_str(), why.c_str());
    return EXIT_FAILED;
}

} // namespace

int run_render(Args args) {
    RenderOptions options;
    if (!parse_options(args, options)) {
        std::fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    const qv::ToneQuality& q = options.quality;
    qv::build_pitch_table();
    qv::RenderFormat::set(q.channels, q.rate, q.bits); // envelope tables follow the output rate
    qv::StreamSettings settings = qv::ToneQuality::stream_settings(q);
    settings.device = qv::StreamDevice::Capture;
    if (!qv::SoundStream::open(settings, qv::STREAM_TONE_SLOTS))
        return fail("cannot open the stream", qv::SoundStream::last_error());

    qv::Voice voice;
    const qv::AuditionResult prepared = qv::prepare_audition(options.input, options.loop, voice);
    if (!prepared.start_note) {
        qv::SoundStream::close();
        return fail(options.input, prepared.recognised ? prepared.error : "not a WAV, voice or noise file");
    }
    const int32_t id = qv::TonePlayer::start_tone(voice, prepared.mode,
                                                  qv::key_to_frequency(options.key), -1, -1, -1);
    std::vector<uint8_t> recording;
    const bool recorded = id >= 0 && record_note(options, id, recording);
    qv::SoundStream::close(); // before the voice goes: no tone may outlive its data
    if (!recorded)
        return fail(options.input, id < 0 ? "no note could start" : "the stream stopped or memory ran out");
    if (!qv::write_wav_file(options.output, q.channels, q.rate, q.bits, recording))
        return fail(options.output, "cannot write the file");
    return EXIT_OK;
}

} // namespace qvtool
