// qvvoice-tool info FILE: a voice file as one JSON object, for inspecting and diffing.
#include "verbs.h"

#include "voice/byte_stream.h"
#include "voice/voice_file.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace qvtool {

namespace {

// Shortest decimal that reads back as the same float, always with a fraction or exponent so
// that it reads as a number with a point ("1.0"). JSON has no NaN or infinity: those are null.
std::string json_float(float value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

void append_points(std::string& out, const std::vector<qv::VoicePoint>& points,
                   std::size_t first, std::size_t count) {
    out += '[';
    for (std::size_t k = 0; k < count && first + k < points.size(); ++k) {
        const qv::VoicePoint& p = points[first + k];
        if (k > 0)
            out += ',';
        out += '[' + std::to_string(p.x) + ',' + std::to_string(p.y) + ']';
    }
    out += ']';
}

std::size_t count_of(int32_t count) { return count > 0 ? static_cast<std::size_t>(count) : 0; }

void append_unit(std::string& out, const qv::VoiceUnit& u) {
    out += "{\"basic_key\":" + std::to_string(u.basic_key);
    out += ",\"volume\":" + std::to_string(u.volume);
    out += ",\"pan\":" + std::to_string(u.pan);
    out += ",\"tuning\":" + json_float(u.tuning);
    out += ",\"voice_flags\":" + std::to_string(u.voice_flags);
    out += ",\"data_flags\":" + std::to_string(u.data_flags);
    out += ",\"wave\":{\"kind\":" + std::to_string(u.wave.kind);
    out += ",\"resolution\":" + std::to_string(u.wave.resolution) + ",\"points\":";
    append_points(out, u.wave.points, 0, count_of(u.wave.point_count));
    out += "},\"envelope\":";
    if ((u.data_flags & qv::DATA_FLAG_ENVELOPE) == 0) {
        out += "null}";
        return;
    }
    const qv::VoiceEnvelope& e = u.envelope;
    out += "{\"fps\":" + std::to_string(e.fps) + ",\"head\":";
    append_points(out, e.points, 0, count_of(e.head_count));
    out += ",\"tail\":";
    append_points(out, e.points, count_of(e.head_count) + count_of(e.body_count),
                  count_of(e.tail_count));
    out += "}}";
}

} // namespace

int run_info(Args args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: qvvoice-tool info FILE\n");
        return EXIT_USAGE;
    }
    const std::string path(args[0]);
    qv::ByteStream stream;
    errno = 0;
    if (!qv::open_file(stream, path)) {
        std::fprintf(stderr, "qvvoice-tool: %s: %s\n", path.c_str(),
                     errno != 0 ? std::strerror(errno) : "not a regular file");
        return EXIT_FAILED;
    }
    qv::Voice voice;
    const bool read = qv::read_voice(stream, voice);
    qv::close(stream);
    if (!read) {
        std::fprintf(stderr, "qvvoice-tool: %s: %s\n", path.c_str(), qv::voice_file_error());
        return EXIT_FAILED;
    }
    std::string out = "{\"units\":[";
    for (std::size_t i = 0; i < voice.units.size(); ++i) {
        if (i > 0)
            out += ',';
        append_unit(out, voice.units[i]);
    }
    out += "]}\n";
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "qvvoice-tool: cannot write the output\n");
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

} // namespace qvtool
