// Any input is refused or read without a crash, a hang or an oversized allocation; whatever is
// read renders, with its hostile values clamped, in both output formats, the same way twice.
#include "voice/byte_stream.h"
#include "voice/noise_file.h"
#include "voice/noise_generator.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Long designs would only slow the fuzzer down; the per-frame path is the same.
constexpr int32_t FUZZ_LENGTH_MAX = 3000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qv::ByteStream stream;
    qv::open_memory(stream, {data, size});
    qv::NoiseDesign design;
    const bool ok = qv::read_noise(stream, design);
    qv::close(stream);
    if (!ok) {
        if (!design.units.empty() || design.unit_count != 0)
            std::abort(); // a failed read leaves the design released
        return 0;
    }
    if (design.unit_count != static_cast<int32_t>(design.units.size()) || design.unit_count > 4)
        std::abort();
    design.length_44k = std::clamp(design.length_44k, -10, FUZZ_LENGTH_MAX);
    qv::NoiseDesign copy = design;
    std::vector<int16_t> ready;
    std::vector<int16_t> again;
    std::vector<uint8_t> small;
    if (!qv::render_noise(ready, design, 2, 44100) || !qv::render_noise(again, copy, 2, 44100) ||
        ready != again || !qv::render_noise(small, design, 1, 11025, 8))
        std::abort();
    if (ready.size() != static_cast<std::size_t>(std::max(design.length_44k, 0)) * 2)
        std::abort();
    return 0;
}
