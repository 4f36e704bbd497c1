// The "direct sound" device: a PulseAudio playback stream through the simple API (PipeWire
// desktops serve it too), asking for two regions of latency and one region per request.
#include "sound/sink.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace qv {
namespace {

constexpr pa_usec_t WAIT_SLICE_US = 10000; // how often a waiting refill thread looks at its stop flag

class PulseSink final : public Sink {
public:
    PulseSink(pa_simple* stream, const SinkFormat& format)
        : stream_(stream),
          region_us_(static_cast<pa_usec_t>(format.buffer_frames) * 1000000u /
                     static_cast<pa_usec_t>(format.rate)),
          rate_(format.rate) {}

    ~PulseSink() override {
        int err = 0;
        pa_simple_flush(stream_, &err);
        pa_simple_free(stream_);
    }

    // The simple API has no "wait for room": pace by the reported latency, refilling once no
    // more than one region is left ahead of the server's own latency. Never wait longer than a
    // region, so a latency that does not fall (a slow device) cannot stall the stream; the
    // write then blocks until the server has room.
    bool wait_room(const std::atomic<bool>& stop) override {
        pa_usec_t waited = 0;
        while (!stop.load()) {
            int err = 0;
            const pa_usec_t latency = pa_simple_get_latency(stream_, &err);
            if (latency == static_cast<pa_usec_t>(-1) || latency <= region_us_ + server_us_ ||
                waited >= region_us_)
                return true;
            const pa_usec_t wait = std::min(latency - region_us_ - server_us_, WAIT_SLICE_US);
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
            waited += wait;
        }
        return false;
    }

    bool write(std::span<const uint8_t> region) override {
        int err = 0;
        return pa_simple_write(stream_, region.data(), region.size(), &err) == 0;
    }

    int32_t latency_frames() const override { return granted_frames_; }

    // After the two silent regions: what the server adds beyond them is its own latency.
    void measure_latency() {
        int err = 0;
        const pa_usec_t latency = pa_simple_get_latency(stream_, &err);
        if (latency == static_cast<pa_usec_t>(-1))
            return;
        granted_frames_ = static_cast<int32_t>(latency * static_cast<pa_usec_t>(rate_) / 1000000u);
        server_us_ = latency > 2 * region_us_ ? latency - 2 * region_us_ : 0;
    }

private:
    pa_simple* stream_;
    pa_usec_t region_us_;
    pa_usec_t server_us_ = 0;
    int32_t rate_;
    int32_t granted_frames_ = 0;
};

} // namespace

std::unique_ptr<Sink> open_pulse_sink(const SinkFormat& format, std::string& error) {
    pa_sample_spec sample_format{};
    sample_format.format = format.bits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    sample_format.rate = static_cast<uint32_t>(format.rate);
    sample_format.channels = static_cast<uint8_t>(format.channels);

    const auto region = static_cast<uint32_t>(format.region_bytes());
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 2 * region;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = region;
    attr.fragsize = static_cast<uint32_t>(-1);

    int err = 0;
    pa_simple* stream = pa_simple_new(nullptr, "quavel Voice", PA_STREAM_PLAYBACK, nullptr, "notes",
                                      &sample_format, nullptr, &attr, &err);
    if (stream == nullptr) {
        error = std::string("PulseAudio: ") + pa_strerror(err);
        return nullptr;
    }
    std::vector<uint8_t> silence;
    std::unique_ptr<PulseSink> sink;
    try {
        silence.assign(region, format.bits == 8 ? 128 : 0);
        sink = std::make_unique<PulseSink>(stream, format);
    } catch (const std::bad_alloc&) {
        pa_simple_free(stream);
        error = "PulseAudio: no memory";
        return nullptr;
    }
    // Silence in both regions, so the server plays silence until the first refill.
    sink->write(silence);
    sink->write(silence);
    sink->measure_latency();
    return sink;
}

} // namespace qv
