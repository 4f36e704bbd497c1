// The tone quality: the output format and buffer length of the sound stream and the device it
// plays on, kept between runs in the settings file "config.bin".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sound/stream.h"

namespace qv {

// The 32-byte code that starts "config.bin": 29 characters padded with three blanks.
constexpr std::string_view TONE_QUALITY_CODE = "qvConfig_ToneQuality_20061113   ";
constexpr std::size_t TONE_QUALITY_FILE_SIZE = 52;

// What the Config command has to run around the stream that it cannot reach from here.
struct ConfigSteps {
    std::function<void()> release_held_notes;    // the computer keyboard's notes, released
    std::function<bool()> build_ready_samples;   // the edited voice for the new format
    std::function<void()> update_waves_and_envelopes;
};

// Outcome of the Config command. `message` is the text the caller shows (null on success);
// `owned_by_main_window` says whether its box has the main window as owner.
struct ConfigResult {
    bool ok = true;
    const char* message = nullptr;
    bool owned_by_main_window = false;
    std::string detail; // the device's own reason when the stream would not open
};

// What the Config dialog shows for a record, and reads back when the user accepts it.
struct ConfigControls {
    int32_t device_index = 1;  // "wave mapper", "direct sound"
    int32_t channel_index = 1; // "mono", "stereo"
    int32_t bits_index = 1;    // "8bit", "16bit"
    int32_t rate_index = 2;    // "11025Hz", "22050Hz", "44100Hz"
    std::string buffer_text = "0.10"; // seconds
};

// The dialog's refusal of a buffer length outside 0.01 .. 1.00 s.
constexpr const char* BUFFER_RANGE_MESSAGE = "Sound Buffer :\r\nmin 0.01sec / max 1.00sec";

struct ToneQuality {
    int32_t rate = 44100;         // frames per second; the dialog offers 11025, 22050, 44100
    int32_t bits = 16;            // 8 or 16
    int32_t channels = 2;         // 1 or 2
    float buffer_seconds = 0.1f;  // one stream buffer, 0.01 .. 1.00
    int32_t device = 1;           // 0 "wave mapper" (ALSA), 1 "direct sound" (PulseAudio)

    static void set_defaults(ToneQuality& record);

    // Reads "config.bin". A missing, short or foreign file gives the defaults and false; the
    // values read are taken as they are (the stream refuses formats it cannot play).
    static bool load(const std::string& path, ToneQuality& record);

    // Writes the 52-byte file. The previous file stays as it was when writing fails.
    static bool save(const std::string& path, const ToneQuality& record);

    // Stream settings for a record: buffer frames = the integer part of rate x seconds in
    // single precision (0, which no stream accepts, when that is no 32-bit number); only
    // device 1 selects PulseAudio, every other value ALSA.
    static StreamSettings stream_settings(const ToneQuality& record);

    // The dialog's controls for a record (the buffer with two decimals) and the record read
    // back from them. Buffer text is read like scanf's "%f" from its first 9 characters: text
    // that is not a number gives 0.1 s, empty or blank text 0.0 s.
    static ConfigControls controls_for(const ToneQuality& record);
    static ToneQuality from_controls(const ConfigControls& controls);

    // Whether the dialog accepts a buffer length (compared in single precision).
    static bool buffer_in_range(float seconds);

    // The settings in force (defaults until set).
    static ToneQuality& current();

    // The Config command after the dialog was accepted with `accepted`: save it to
    // `config_path`, make it the settings in force and the render format, release the held
    // notes, close and reopen the stream with 8 tone slots, and re-render the edited voice.
    // After a failure the new settings stay saved and in force.
    static ConfigResult apply_config(const ToneQuality& accepted, const std::string& config_path,
                                     const ConfigSteps& steps);
};

} // namespace qv
