// The output stream: opens the chosen device under a deadline, runs the refill thread
// (silence, then the tone player's mix, one region per turn) and shuts it down.
#include "sound/stream.h"

#include "sound/sink.h"
#include "sound/tone_player.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace qv {
namespace {

// A device that has not answered by then is treated as absent; the caller gets its reason.
constexpr auto OPEN_DEADLINE = std::chrono::milliseconds(1000);
// A refill thread stuck inside a device call is left behind after this long at close.
constexpr auto CLOSE_DEADLINE = std::chrono::milliseconds(3000);
constexpr int32_t MAX_BUFFER_FRAMES = 441000; // ten seconds at the highest rate

// One open stream: the device, the region buffer and the refill thread's flags. Shared with
// the thread, so a thread left behind at close still owns what it touches.
struct Run {
    std::unique_ptr<Sink> sink;
    CaptureSink* capture = nullptr; // the same device when it is the memory one
    SinkFormat format;
    std::vector<uint8_t> region;
    std::atomic<bool> open{false}; // refills write only while set; changed under stream_lock
    std::atomic<bool> stop{false};
    std::mutex done_mutex;
    std::condition_variable done_changed;
    bool done = false;
};

std::mutex stream_lock;            // held across each refill; taken before the tone lock
std::shared_ptr<Run> current;      // user-interface thread only
std::thread refill_thread;         // user-interface thread only
StreamSettings settings_copy;      // user-interface thread only
std::string error_text;            // user-interface thread only

void raise_priority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 1;
    // Without the right to real-time scheduling the thread simply runs at normal priority.
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void refill_loop(const std::shared_ptr<Run>& run) {
    raise_priority();
    const uint8_t silence = run->format.bits == 8 ? 128 : 0;
    while (!run->stop.load()) {
        if (!run->sink->wait_room(run->stop))
            break;
        {
            std::lock_guard guard(stream_lock);
            if (!run->open.load())
                break; // closing: write nothing more
            std::fill(run->region.begin(), run->region.end(), silence);
            TonePlayer::mix(run->region);
        }
        if (!run->sink->write(run->region))
            std::this_thread::sleep_for(std::chrono::milliseconds(10)); // device error: go on
    }
    std::lock_guard guard(run->done_mutex);
    run->done = true;
    run->done_changed.notify_all();
}

using Opener = std::function<std::unique_ptr<Sink>(std::string&)>;

// Runs a device opener on a helper thread and gives up after OPEN_DEADLINE; a device that
// answers later is closed by the helper.
std::unique_ptr<Sink> open_within_deadline(Opener opener, std::string& error) {
    struct Pending {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        bool abandoned = false;
        std::unique_ptr<Sink> sink;
        std::string error;
    };
    auto pending = std::make_shared<Pending>();
    std::thread helper;
    try {
        helper = std::thread([pending, opener = std::move(opener)] {
            std::string reason;
            std::unique_ptr<Sink> sink = opener(reason);
            std::lock_guard guard(pending->mutex);
            if (pending->abandoned)
                sink.reset();
            pending->sink = std::move(sink);
            pending->error = std::move(reason);
            pending->done = true;
            pending->changed.notify_all();
        });
    } catch (const std::system_error&) {
        error = "cannot start a thread to open the device";
        return nullptr;
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->changed.wait_for(lock, OPEN_DEADLINE, [&] { return pending->done; })) {
        pending->abandoned = true;
        lock.unlock();
        helper.detach();
        error = "the sound device did not answer within a second";
        return nullptr;
    }
    lock.unlock();
    helper.join();
    error = pending->error;
    return std::move(pending->sink);
}

std::unique_ptr<Sink> open_device(const StreamSettings& settings, const SinkFormat& format,
                                  CaptureSink*& capture, std::string& error) {
    switch (settings.device) {
    case StreamDevice::WaveMapper:
        return open_within_deadline([format](std::string& e) { return open_alsa_sink(format, e); },
                                    error);
    case StreamDevice::DirectSound:
        return open_within_deadline([format](std::string& e) { return open_pulse_sink(format, e); },
                                    error);
    case StreamDevice::Capture: {
        std::unique_ptr<CaptureSink> sink = open_capture_sink(format, error);
        capture = sink.get();
        return sink;
    }
    }
    error = "unknown sound device";
    return nullptr;
}

bool settings_valid(const StreamSettings& s) {
    if (s.channels != 1 && s.channels != 2) {
        error_text = "unsupported channel count";
        return false;
    }
    if (s.bits != 8 && s.bits != 16) {
        error_text = "unsupported sample size";
        return false;
    }
    if (s.buffer_frames < 1 || s.buffer_frames > MAX_BUFFER_FRAMES) {
        error_text = "unsupported buffer length";
        return false;
    }
    return true;
}

// A program that ends with the stream still open stops its thread on the way out instead of
// dying on a joinable thread.
struct CloseAtExit {
    ~CloseAtExit() { SoundStream::close(); }
} close_at_exit;

} // namespace

int32_t buffer_frames_for(int32_t rate, double seconds) {
    const double frames = std::trunc(static_cast<double>(rate) * seconds);
    if (!(frames >= 0.0))
        return 0;
    return frames > INT32_MAX ? INT32_MAX : static_cast<int32_t>(frames);
}

namespace SoundStream {

bool open(const StreamSettings& settings, int32_t tone_slots) {
    if (current) {
        close();
        error_text = "the stream was already open";
        return false;
    }
    error_text.clear();
    if (!settings_valid(settings))
        return false;
    if (!TonePlayer::initialize(settings.channels, settings.rate, settings.bits, tone_slots)) {
        error_text = "the tone player cannot play this format";
        return false;
    }
    auto run = std::make_shared<Run>();
    run->format = SinkFormat{settings.channels, settings.rate, settings.bits, settings.buffer_frames};
    try {
        run->region.resize(static_cast<std::size_t>(run->format.region_bytes()));
    } catch (const std::bad_alloc&) {
        error_text = "no memory for the stream buffer";
        TonePlayer::release();
        return false;
    }
    run->sink = open_device(settings, run->format, run->capture, error_text);
    if (!run->sink) {
        TonePlayer::release();
        return false;
    }
    // Open before the thread starts, so no refill ever finds the flag clear at start-up.
    run->open.store(true);
    try {
        refill_thread = std::thread(refill_loop, run);
    } catch (const std::system_error&) {
        error_text = "cannot start the refill thread";
        TonePlayer::release();
        return false;
    }
    current = std::move(run);
    settings_copy = settings;
    return true;
}

bool close() {
    if (!current)
        return false;
    std::shared_ptr<Run> run = std::move(current);
    current.reset();
    {
        // Once this lock is given back no refill can reach the tone player any more.
        std::lock_guard guard(stream_lock);
        run->open.store(false);
    }
    run->stop.store(true);
    run->sink->interrupt();
    bool finished;
    {
        std::unique_lock lock(run->done_mutex);
        finished = run->done_changed.wait_for(lock, CLOSE_DEADLINE, [&] { return run->done; });
    }
    // A thread stuck in the device keeps its own reference to the run and ends on its own.
    if (finished)
        refill_thread.join();
    else
        refill_thread.detach();
    TonePlayer::release();
    return true;
}

bool is_open() { return current != nullptr; }

bool format(int32_t* channels, int32_t* rate, int32_t* bits, int32_t* buffer_frames) {
    const bool open = current != nullptr;
    if (channels != nullptr)
        *channels = open ? settings_copy.channels : 0;
    if (rate != nullptr)
        *rate = open ? settings_copy.rate : 0;
    if (bits != nullptr)
        *bits = open ? settings_copy.bits : 0;
    if (buffer_frames != nullptr)
        *buffer_frames = open ? settings_copy.buffer_frames : 0;
    return open;
}

std::string last_error() { return error_text; }

int32_t granted_latency_frames() { return current ? current->sink->latency_frames() : 0; }

bool capture_next(std::span<uint8_t> region) {
    if (!current || current->capture == nullptr)
        return false;
    return current->capture->next(region);
}

int32_t region_bytes() { return current ? current->format.region_bytes() : 0; }

int64_t captured_regions() {
    return current && current->capture != nullptr ? current->capture->regions() : 0;
}

} // namespace SoundStream
} // namespace qv
