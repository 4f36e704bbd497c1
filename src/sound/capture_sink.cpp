// The memory device: regions are produced one at a time, when the caller advances the clock,
// so what a test or tool reads back does not depend on thread timing.
#include "sound/sink.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

namespace qv {
namespace {

class MemoryCapture final : public CaptureSink {
public:
    explicit MemoryCapture(std::vector<uint8_t> buffer) : last_(std::move(buffer)) {}

    bool wait_room(const std::atomic<bool>& stop) override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return interrupted_ || stop.load() || requested_ > produced_; });
        return !interrupted_ && !stop.load();
    }

    bool write(std::span<const uint8_t> region) override {
        std::lock_guard lock(mutex_);
        if (region.size() != last_.size())
            return false;
        std::copy(region.begin(), region.end(), last_.begin());
        ++produced_;
        changed_.notify_all();
        return true;
    }

    void interrupt() override {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }

    int32_t latency_frames() const override { return 0; }

    bool next(std::span<uint8_t> region) override {
        std::unique_lock lock(mutex_);
        if (region.size() != last_.size() || interrupted_)
            return false;
        const int64_t wanted = ++requested_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return interrupted_ || produced_ >= wanted; });
        if (produced_ < wanted) {
            requested_ = produced_;
            return false;
        }
        std::copy(last_.begin(), last_.end(), region.begin());
        return true;
    }

    int64_t regions() const override {
        std::lock_guard lock(mutex_);
        return produced_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> last_;
    int64_t requested_ = 0;
    int64_t produced_ = 0;
    bool interrupted_ = false;
};

} // namespace

std::unique_ptr<CaptureSink> open_capture_sink(const SinkFormat& format, std::string& error) {
    try {
        std::vector<uint8_t> buffer(static_cast<std::size_t>(format.region_bytes()));
        return std::make_unique<MemoryCapture>(std::move(buffer));
    } catch (const std::bad_alloc&) {
        error = "no memory for the capture buffer";
        return nullptr;
    }
}

} // namespace qv
