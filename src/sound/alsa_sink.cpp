// The "wave mapper" device: ALSA's default PCM, one period per region, two periods asked for
// and whatever the device grants kept.
#include "sound/sink.h"

#include "sound/alsa_levels.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <mutex>
#include <vector>

namespace qv {
namespace {

constexpr int WAIT_SLICE_MS = 20; // how often a waiting refill thread looks at its stop flag

using alsa_levels::wake_avail;

// ALSA prints its own diagnostics to stderr; the reason reaches the caller through `error`.
void quiet_alsa_errors(const char*, int, const char*, int, const char*, ...) {}

class AlsaSink final : public Sink {
public:
    AlsaSink(snd_pcm_t* pcm, const SinkFormat& format, snd_pcm_uframes_t buffer)
        : pcm_(pcm), frame_bytes_(format.frame_bytes()),
          region_(static_cast<snd_pcm_uframes_t>(format.buffer_frames)), buffer_(buffer) {}

    ~AlsaSink() override {
        snd_pcm_drop(pcm_);
        snd_pcm_close(pcm_);
    }

    bool wait_room(const std::atomic<bool>& stop) override {
        // Keep two regions queued: refill once no more than one is left. avail_min is set to
        // the same mark, so the wait sleeps until then; a wake-up short of it must not turn
        // into a busy loop at real-time priority, which would starve the device's own threads.
        while (!stop.load()) {
            const snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm_);
            if (avail < 0) {
                if (snd_pcm_recover(pcm_, static_cast<int>(avail), 1) < 0)
                    return false;
                continue;
            }
            if (static_cast<snd_pcm_uframes_t>(avail) >= wake_avail(region_, buffer_))
                return true;
            if (snd_pcm_wait(pcm_, WAIT_SLICE_MS) != 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    bool write(std::span<const uint8_t> region) override {
        const uint8_t* data = region.data();
        auto frames = static_cast<snd_pcm_uframes_t>(region.size() / static_cast<std::size_t>(frame_bytes_));
        int attempts = 0;
        while (frames > 0) {
            const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, data, frames);
            if (n == -EAGAIN) {
                if (++attempts > 100)
                    return false; // the device stopped taking data; drop this region
                snd_pcm_wait(pcm_, WAIT_SLICE_MS);
                continue;
            }
            if (n < 0) {
                if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0)
                    return false;
                continue;
            }
            data += static_cast<std::size_t>(n) * static_cast<std::size_t>(frame_bytes_);
            frames -= static_cast<snd_pcm_uframes_t>(n);
        }
        return true;
    }

    int32_t latency_frames() const override {
        return static_cast<int32_t>(buffer_ - wake_avail(region_, buffer_) + region_);
    }

private:
    snd_pcm_t* pcm_;
    int32_t frame_bytes_;
    snd_pcm_uframes_t region_;
    snd_pcm_uframes_t buffer_;
};

std::string alsa_reason(const char* step, int err) {
    return std::string("ALSA default device, ") + step + ": " + snd_strerror(err);
}

// Negotiates the format; the device may grant other period and buffer sizes than asked.
int configure(snd_pcm_t* pcm, const SinkFormat& format, snd_pcm_uframes_t& period,
              snd_pcm_uframes_t& buffer, const char*& step) {
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    int err;
    step = "hardware parameters";
    if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0)
        return err;
    step = "access";
    if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
        return err;
    step = "sample format";
    if ((err = snd_pcm_hw_params_set_format(pcm, hw, format.bits == 8 ? SND_PCM_FORMAT_U8
                                                                     : SND_PCM_FORMAT_S16_LE)) < 0)
        return err;
    step = "channels";
    if ((err = snd_pcm_hw_params_set_channels(pcm, hw, static_cast<unsigned>(format.channels))) < 0)
        return err;
    step = "rate";
    snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
    if ((err = snd_pcm_hw_params_set_rate(pcm, hw, static_cast<unsigned>(format.rate), 0)) < 0)
        return err;
    step = "period size";
    period = static_cast<snd_pcm_uframes_t>(format.buffer_frames);
    int dir = 0;
    if ((err = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir)) < 0)
        return err;
    step = "periods";
    unsigned periods = 2;
    dir = 0;
    if ((err = snd_pcm_hw_params_set_periods_near(pcm, hw, &periods, &dir)) < 0)
        return err;
    step = "hardware parameters";
    if ((err = snd_pcm_hw_params(pcm, hw)) < 0)
        return err;
    snd_pcm_hw_params_get_period_size(hw, &period, &dir);
    snd_pcm_hw_params_get_buffer_size(hw, &buffer);

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    step = "software parameters";
    if ((err = snd_pcm_sw_params_current(pcm, sw)) < 0)
        return err;
    snd_pcm_sw_params_set_avail_min(pcm, sw, wake_avail(static_cast<snd_pcm_uframes_t>(format.buffer_frames), buffer));
    snd_pcm_sw_params_set_start_threshold(
        pcm, sw, alsa_levels::start_threshold(static_cast<snd_pcm_uframes_t>(format.buffer_frames), period, buffer));
    if ((err = snd_pcm_sw_params(pcm, sw)) < 0)
        return err;
    step = "prepare";
    return snd_pcm_prepare(pcm);
}

} // namespace

std::unique_ptr<Sink> open_alsa_sink(const SinkFormat& format, std::string& error) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(quiet_alsa_errors); });

    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
        error = alsa_reason("open", err);
        return nullptr;
    }
    snd_pcm_uframes_t period = 0;
    snd_pcm_uframes_t buffer = 0;
    const char* step = "";
    err = configure(pcm, format, period, buffer, step);
    if (err < 0 || period == 0 || buffer < period) {
        error = alsa_reason(step, err < 0 ? err : -EINVAL);
        snd_pcm_close(pcm);
        return nullptr;
    }
    std::vector<uint8_t> silence;
    std::unique_ptr<AlsaSink> sink;
    try {
        silence.assign(static_cast<std::size_t>(format.region_bytes()), format.bits == 8 ? 128 : 0);
        sink = std::make_unique<AlsaSink>(pcm, format, buffer);
    } catch (const std::bad_alloc&) {
        snd_pcm_close(pcm);
        error = "ALSA default device: no memory";
        return nullptr;
    }
    // Silence in both regions, so the device plays silence until the first refill.
    const auto region_frames = static_cast<snd_pcm_uframes_t>(format.buffer_frames);
    for (snd_pcm_uframes_t i = 0; i < alsa_levels::prefill_regions(region_frames, buffer); ++i)
        sink->write(silence);
    return sink;
}

} // namespace qv
