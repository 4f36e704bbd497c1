// Set on the user-interface thread, read wherever a table is built; atomics keep both sides
// well defined without a lock.
#include "voice/render_format.h"

#include <atomic>

namespace qv::RenderFormat {

namespace {
std::atomic<int32_t> format_channels{0};
std::atomic<int32_t> format_rate{0};
std::atomic<int32_t> format_bits{0};
} // namespace

void set(int32_t channels, int32_t rate, int32_t bits) {
    format_channels.store(channels);
    format_rate.store(rate);
    format_bits.store(bits);
}

void get(int32_t* channels, int32_t* rate, int32_t* bits) {
    if (channels != nullptr)
        *channels = format_channels.load();
    if (rate != nullptr)
        *rate = format_rate.load();
    if (bits != nullptr)
        *bits = format_bits.load();
}

} // namespace qv::RenderFormat
