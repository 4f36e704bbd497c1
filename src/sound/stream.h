// The output stream: one refill thread writes silence into each region, lets the tone player
// mix into it and hands it to one of three devices (ALSA, PulseAudio, or memory for tests
// and tools).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qv {

// The device a stream plays on. The first two are what the user picks; Capture keeps the
// regions in memory on a virtual clock that the caller advances.
enum class StreamDevice : int32_t {
    WaveMapper = 0,  // ALSA's "default" PCM
    DirectSound = 1, // the PulseAudio (or pipewire-pulse) server
    Capture = 2,
};

struct StreamSettings {
    int32_t channels = 2;          // 1 or 2
    int32_t rate = 44100;          // frames per second
    int32_t bits = 16;             // 8 or 16
    int32_t buffer_frames = 4410;  // frames per region: the integer part of rate x seconds
    StreamDevice device = StreamDevice::DirectSound;
};

constexpr int32_t STREAM_TONE_SLOTS = 8;

// Frames per region for a buffer length in seconds (the integer part of rate x seconds).
int32_t buffer_frames_for(int32_t rate, double seconds);

namespace SoundStream {

// Sets the tone player up for the settings and starts the device and the refill thread.
// Opening an open stream closes it and fails. Fails within about a second when the device will
// not open; last_error() then holds the device's own reason.
bool open(const StreamSettings& settings, int32_t tone_slots);
// False when the stream was not open.
bool close();
bool is_open();
// The open stream's format; false (and zeros) when closed. Null outputs are skipped.
bool format(int32_t* channels, int32_t* rate, int32_t* bits, int32_t* buffer_frames);
// Why the last open failed.
std::string last_error();
// Output latency the device granted, in frames (buffer it keeps ahead of the speaker); 0 when
// closed.
int32_t granted_latency_frames();

// Capture device only: advances the virtual clock by one region, letting the refill thread
// produce it, and copies it into `region` (region_bytes() long). False when no capture stream
// is open or `region` has the wrong size.
bool capture_next(std::span<uint8_t> region);
int32_t region_bytes();
// Regions the capture device has consumed since it opened.
int64_t captured_regions();

} // namespace SoundStream
} // namespace qv
