// Copying and converting PcmSamples. Every step works from the frame counts, checks that the
// data holds that many frames, and refuses results beyond PCM_MAX_BYTES before allocating.
#include "voice/allocation.h"
#include "voice/wav.h"

#include <cmath>
#include <cstring>

namespace qv {

namespace {

bool supported_format(const PcmSample& s) {
    return (s.channels == 1 || s.channels == 2) &&
           (s.bits_per_sample == 8 || s.bits_per_sample == 16);
}

int64_t frame_total(const PcmSample& s) {
    return static_cast<int64_t>(s.head) + s.body + s.tail;
}

int64_t frame_size(const PcmSample& s) {
    return int64_t{s.channels} * s.bits_per_sample / 8;
}

// Data present, a format the converters know, and at least as many bytes as the counts say.
bool convertible(const PcmSample& s) {
    if (s.data.empty() || !supported_format(s) || s.head < 0 || s.body < 0 || s.tail < 0)
        return false;
    return static_cast<uint64_t>(frame_total(s) * frame_size(s)) <= s.data.size();
}

bool allocate_result(std::vector<uint8_t>& out, uint64_t bytes) {
    return bytes <= PCM_MAX_BYTES && allocate_zeroed(out, static_cast<std::size_t>(bytes));
}

int16_t load16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

void store16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

// New byte length of one part after a rate change: rounded up, computed in floating point.
double resampled_bytes(int64_t frames, int64_t frame_bytes, int32_t from, int32_t to) {
    const double bytes = static_cast<double>(frames * frame_bytes);
    return std::trunc((bytes * to + from - 1) / from);
}

} // namespace

bool copy_pcm(PcmSample& destination, const PcmSample& source) {
    if (&destination == &source)
        return true;
    std::vector<uint8_t> data;
    const int64_t bytes = frame_total(source) * frame_size(source);
    if (bytes < 0 || !allocate_result(data, static_cast<uint64_t>(bytes))) {
        release_pcm(destination);
        return false;
    }
    if (!data.empty() && !source.data.empty())
        std::memcpy(data.data(), source.data.data(), std::min(data.size(), source.data.size()));
    destination.channels = source.channels;
    destination.samples_per_second = source.samples_per_second;
    destination.bits_per_sample = source.bits_per_sample;
    destination.head = source.head;
    destination.body = source.body;
    destination.tail = source.tail;
    destination.data = std::move(data);
    return true;
}

bool convert_pcm(PcmSample& sample, int32_t channels, int32_t samples_per_second, int32_t bits) {
    return convert_channels(sample, channels) && convert_bits(sample, bits) &&
           convert_rate(sample, samples_per_second);
}

bool convert_channels(PcmSample& sample, int32_t channels) {
    if (!convertible(sample) || (channels != 1 && channels != 2))
        return false;
    if (sample.channels == channels)
        return true;
    const uint64_t frames = static_cast<uint64_t>(frame_total(sample));
    const uint64_t width = static_cast<uint64_t>(sample.bits_per_sample / 8);
    std::vector<uint8_t> out;
    if (!allocate_result(out, frames * width * static_cast<uint64_t>(channels)))
        return false;
    const uint8_t* in = sample.data.data();
    for (uint64_t i = 0; i < frames; ++i) {
        if (channels == 2 && width == 1) {
            out[2 * i] = out[2 * i + 1] = in[i];
        } else if (channels == 2) {
            std::memcpy(&out[4 * i], in + 2 * i, 2);
            std::memcpy(&out[4 * i + 2], in + 2 * i, 2);
        } else if (width == 1) {
            out[i] = static_cast<uint8_t>((in[2 * i] + in[2 * i + 1]) / 2);
        } else {
            store16(&out[2 * i], (load16(in + 4 * i) + load16(in + 4 * i + 2)) / 2);
        }
    }
    sample.data = std::move(out);
    sample.channels = channels;
    return true;
}

bool convert_bits(PcmSample& sample, int32_t bits) {
    if (!convertible(sample))
        return false;
    if (sample.bits_per_sample == bits)
        return true;
    if (bits != 8 && bits != 16)
        return false;
    const uint64_t count =
        static_cast<uint64_t>(frame_total(sample)) * static_cast<uint64_t>(sample.channels);
    std::vector<uint8_t> out;
    if (!allocate_result(out, count * static_cast<uint64_t>(bits / 8)))
        return false;
    const uint8_t* in = sample.data.data();
    for (uint64_t i = 0; i < count; ++i) {
        if (bits == 8)
            out[i] = static_cast<uint8_t>(load16(in + 2 * i) / 256 + 128);
        else
            store16(&out[2 * i], (in[i] - 128) * 256);
    }
    sample.data = std::move(out);
    sample.bits_per_sample = bits;
    return true;
}

bool convert_rate(PcmSample& sample, int32_t samples_per_second) {
    if (!convertible(sample) || samples_per_second <= 0 || sample.samples_per_second <= 0)
        return false;
    const int32_t from = sample.samples_per_second;
    const int32_t to = samples_per_second;
    if (from == to)
        return true;
    const int64_t f = frame_size(sample);
    const double head = resampled_bytes(sample.head, f, from, to);
    const double body = resampled_bytes(sample.body, f, from, to);
    const double tail = resampled_bytes(sample.tail, f, from, to);
    const double total = head + body + tail;
    std::vector<uint8_t> out;
    // Checked in floating point first so that no conversion to an integer can overflow.
    if (total > static_cast<double>(PCM_MAX_BYTES) ||
        !allocate_result(out, static_cast<uint64_t>(total / f) * static_cast<uint64_t>(f))) {
        release_pcm(sample);
        sample.head = sample.body = sample.tail = 0;
        return false;
    }
    const uint64_t frames = out.size() / static_cast<uint64_t>(f);
    const uint64_t source_frames = static_cast<uint64_t>(frame_total(sample));
    const std::size_t width = static_cast<std::size_t>(f);
    for (uint64_t i = 0; i < frames; ++i) {
        uint64_t from_frame = i * static_cast<uint64_t>(from) / static_cast<uint64_t>(to);
        // Rounding each part up separately can add a frame or two past the source's end.
        if (from_frame >= source_frames)
            from_frame = source_frames == 0 ? 0 : source_frames - 1;
        if (source_frames != 0)
            std::memcpy(&out[i * width], &sample.data[from_frame * width], width);
    }
    sample.head = static_cast<int32_t>(static_cast<int64_t>(head) / f);
    sample.body = static_cast<int32_t>(static_cast<int64_t>(body) / f);
    sample.tail = static_cast<int32_t>(static_cast<int64_t>(tail) / f);
    sample.data = std::move(out);
    sample.samples_per_second = to;
    return true;
}

} // namespace qv
