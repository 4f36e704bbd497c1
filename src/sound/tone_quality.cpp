// "config.bin" and the Config command's sequence around the stream.
#include "sound/tone_quality.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "voice/atomic_file.h"
#include "voice/render_format.h"

namespace qv {

namespace {

constexpr std::size_t CODE_SIZE = 32;
constexpr std::size_t RECORD_SIZE = 20;

uint32_t read_u32_le(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void put_u32_le(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool read_record(std::FILE* file, ToneQuality& record) {
    uint8_t code[CODE_SIZE];
    uint8_t fields[RECORD_SIZE];
    if (std::fread(code, 1, CODE_SIZE, file) != CODE_SIZE ||
        std::memcmp(code, TONE_QUALITY_CODE.data(), CODE_SIZE) != 0)
        return false;
    if (std::fread(fields, 1, RECORD_SIZE, file) != RECORD_SIZE)
        return false;
    record.rate = static_cast<int32_t>(read_u32_le(fields));
    record.bits = static_cast<int32_t>(read_u32_le(fields + 4));
    record.channels = static_cast<int32_t>(read_u32_le(fields + 8));
    record.buffer_seconds = std::bit_cast<float>(read_u32_le(fields + 12));
    record.device = static_cast<int32_t>(read_u32_le(fields + 16));
    return true;
}

} // namespace

void ToneQuality::set_defaults(ToneQuality& record) { record = ToneQuality{}; }

bool ToneQuality::load(const std::string& path, ToneQuality& record) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ToneQuality read{};
    const bool ok = file && read_record(file, read);
    if (file)
        std::fclose(file);
    record = ok ? read : ToneQuality{};
    return ok;
}

bool ToneQuality::save(const std::string& path, const ToneQuality& record) {
    uint8_t bytes[TONE_QUALITY_FILE_SIZE];
    std::memcpy(bytes, TONE_QUALITY_CODE.data(), CODE_SIZE);
    put_u32_le(bytes + 32, static_cast<uint32_t>(record.rate));
    put_u32_le(bytes + 36, static_cast<uint32_t>(record.bits));
    put_u32_le(bytes + 40, static_cast<uint32_t>(record.channels));
    put_u32_le(bytes + 44, std::bit_cast<uint32_t>(record.buffer_seconds));
    put_u32_le(bytes + 48, static_cast<uint32_t>(record.device));
    return write_file_atomically(path, [&](std::FILE* file) {
        return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
    });
}

StreamSettings ToneQuality::stream_settings(const ToneQuality& record) {
    StreamSettings settings;
    settings.channels = record.channels;
    settings.rate = record.rate;
    settings.bits = record.bits;
    // int32 times float32 is a float32 product; a file can hold any bit pattern there.
    const float frames = static_cast<float>(record.rate) * record.buffer_seconds;
    settings.buffer_frames = std::isfinite(frames) && frames > -2147483648.0f &&
                                     frames < 2147483648.0f
                                 ? static_cast<int32_t>(frames)
                                 : 0;
    settings.device = record.device == 1 ? StreamDevice::DirectSound : StreamDevice::WaveMapper;
    return settings;
}

namespace {

constexpr std::size_t BUFFER_TEXT_LIMIT = 9;
constexpr float BUFFER_TEXT_NOT_A_NUMBER = 0.1f;

// scanf("%f") without the locale: blanks skipped, an optional sign, the longest number.
float parse_buffer_text(std::string_view text) {
    text = text.substr(0, BUFFER_TEXT_LIMIT);
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (at == text.size())
        return 0.0f; // nothing to convert
    bool negative = false;
    if (text[at] == '+' || text[at] == '-')
        negative = text[at++] == '-';
    float value = 0.0f;
    const char* first = text.data() + at;
    // from_chars takes a minus of its own: a second sign would slip through it.
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        return BUFFER_TEXT_NOT_A_NUMBER;
    const auto result = std::from_chars(first, text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument || first == text.data() + text.size())
        return BUFFER_TEXT_NOT_A_NUMBER;
    return negative ? -value : value;
}

} // namespace

ConfigControls ToneQuality::controls_for(const ToneQuality& record) {
    ConfigControls controls;
    controls.device_index = record.device != 0 ? 1 : 0;
    controls.channel_index = record.channels == 1 ? 0 : 1;
    controls.bits_index = record.bits == 8 ? 0 : 1;
    controls.rate_index = record.rate == 11025 ? 0 : record.rate == 22050 ? 1 : 2;
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, record.buffer_seconds,
                                      std::chars_format::fixed, 2);
    controls.buffer_text.assign(text, result.ec == std::errc() ? result.ptr : text);
    return controls;
}

ToneQuality ToneQuality::from_controls(const ConfigControls& controls) {
    ToneQuality record;
    record.device = controls.device_index != 0 ? 1 : 0;
    record.buffer_seconds = parse_buffer_text(controls.buffer_text);
    record.channels = controls.channel_index != 0 ? 2 : 1;
    record.bits = controls.bits_index != 0 ? 16 : 8;
    record.rate = controls.rate_index == 0 ? 11025 : controls.rate_index == 1 ? 22050 : 44100;
    return record;
}

bool ToneQuality::buffer_in_range(float seconds) { return seconds >= 0.01f && seconds <= 1.0f; }

ToneQuality& ToneQuality::current() {
    static ToneQuality in_force;
    return in_force;
}

ConfigResult ToneQuality::apply_config(const ToneQuality& accepted, const std::string& config_path,
                                       const ConfigSteps& steps) {
    (void)save(config_path, accepted); // the command goes on whether or not this worked
    current() = accepted;
    RenderFormat::set(accepted.channels, accepted.rate, accepted.bits);
    if (steps.release_held_notes)
        steps.release_held_notes();
    ConfigResult result;
    if (!SoundStream::close()) {
        result = {false, "release active tone", true, {}};
        return result;
    }
    if (!SoundStream::open(stream_settings(accepted), STREAM_TONE_SLOTS)) {
        result = {false, "initialize active tone", true, SoundStream::last_error()};
        return result;
    }
    if (steps.build_ready_samples && !steps.build_ready_samples()) {
        result = {false, "ready sample", false, {}};
        return result;
    }
    if (steps.update_waves_and_envelopes)
        steps.update_waves_and_envelopes();
    return result;
}

} // namespace qv
