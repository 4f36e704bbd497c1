// Any input is refused or read without a crash, a hang or an oversized allocation; whatever is
// read holds the frames its counts say and converts to the ready format when that is small.
#include "voice/wav.h"

#include <cstdlib>

namespace {

// Conversions of very slow rates grow a sample by up to 44100 times; skip the large ones.
constexpr double FUZZ_CONVERTED_BYTES_MAX = 4.0e6;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qv::PcmSample sample;
    if (!qv::read_wav({data, size}, sample)) {
        if (!sample.data.empty())
            std::abort(); // a failed read leaves no data
        return 0;
    }
    const uint64_t frame = static_cast<uint64_t>(sample.channels * sample.bits_per_sample / 8);
    if (sample.samples_per_second <= 0 || sample.head != 0 || sample.tail != 0 ||
        static_cast<uint64_t>(sample.body) * frame > sample.data.size() ||
        sample.data.size() > size)
        std::abort();
    const double converted = static_cast<double>(sample.body) * 4.0 * 44100.0 /
                             static_cast<double>(sample.samples_per_second);
    if (converted > FUZZ_CONVERTED_BYTES_MAX)
        return 0;
    qv::PcmSample copy;
    if (!qv::copy_pcm(copy, sample))
        std::abort();
    // A sample of no frames has no data, which conversion refuses.
    const bool converts = qv::convert_pcm(copy, 2, 44100, 16);
    if (converts != (sample.body > 0))
        std::abort();
    if (converts && copy.data.size() != static_cast<std::size_t>(copy.body) * 4)
        std::abort();
    return 0;
}
