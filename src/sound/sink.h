// The small interface the refill thread drives, one implementation per output device.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qv {

struct SinkFormat {
    int32_t channels = 0;
    int32_t rate = 0;
    int32_t bits = 0;
    int32_t buffer_frames = 0; // frames per region

    int32_t frame_bytes() const { return channels * bits / 8; }
    int32_t region_bytes() const { return buffer_frames * frame_bytes(); }
};

class Sink {
public:
    virtual ~Sink() = default; // stops and closes the device
    // Blocks until the device wants the next region; false once `stop` is set or interrupt()
    // was called.
    virtual bool wait_room(const std::atomic<bool>& stop) = 0;
    // Hands one region to the device; false on a device error (the thread carries on).
    virtual bool write(std::span<const uint8_t> region) = 0;
    // Wakes a wait_room that does not poll `stop` by itself.
    virtual void interrupt() {}
    // Frames the device holds ahead of the speaker, as granted when it opened.
    virtual int32_t latency_frames() const = 0;
};

// Each opener returns null with the device's own reason in `error` when the device will not
// open. They may block; the stream runs them under a deadline.
std::unique_ptr<Sink> open_alsa_sink(const SinkFormat& format, std::string& error);
std::unique_ptr<Sink> open_pulse_sink(const SinkFormat& format, std::string& error);

// Memory device on a virtual clock: each next() lets the refill thread produce exactly one
// region and returns it.
class CaptureSink : public Sink {
public:
    virtual bool next(std::span<uint8_t> region) = 0;
    virtual int64_t regions() const = 0;
};
std::unique_ptr<CaptureSink> open_capture_sink(const SinkFormat& format, std::string& error);

} // namespace qv
