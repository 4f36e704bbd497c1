// Fill levels of the ALSA device buffer, in frames: when the refill thread wakes, how many
// silent regions go in at open, and when the device starts playing. Apart from the device
// code so that every granted period and buffer size can be checked without a device.
#pragma once

#include <algorithm>

namespace qv::alsa_levels {

using Frames = unsigned long; // snd_pcm_uframes_t

// Free frames at which one more region goes in: then two regions are queued (or the whole
// buffer, when the device granted less than two).
inline Frames wake_avail(Frames region, Frames buffer) {
    const Frames fill = std::max(region, std::min(2 * region, buffer));
    return std::min(buffer, buffer - fill + region);
}

// Whole regions of silence that fit the buffer at open, at most two.
inline Frames prefill_regions(Frames region, Frames buffer) {
    return region == 0 ? 0 : std::min<Frames>(2, buffer / region);
}

// Frames queued before the device starts: two periods, but never more than the open queues
// (one region, cut to the buffer, when none fits whole), or the device would wait forever
// for data that the refill thread only writes once it is playing.
inline Frames start_threshold(Frames region, Frames period, Frames buffer) {
    const Frames queued = std::min(buffer, std::max<Frames>(1, prefill_regions(region, buffer)) * region);
    return std::min({2 * period, buffer, queued});
}

} // namespace qv::alsa_levels
