// Noise synthesis of the longest design and the conversion of an imported sample to the ready
// format: both run on the user-interface thread when a file is previewed or loaded.
#include "voice/noise_generator.h"
#include "voice/wav.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

// 10 s, four layers, every oscillator of every layer in use, random ones included.
qv::NoiseDesign longest_design() {
    qv::NoiseDesign design;
    design.length_44k = 441000;
    design.unit_count = 4;
    design.units.resize(4);
    for (int k = 0; k < 4; ++k) {
        qv::NoiseUnit& layer = design.units[static_cast<std::size_t>(k)];
        layer.enabled = 1;
        layer.pan = -60 + 40 * k;
        layer.envelope_count = 3;
        layer.envelope = {{10, 100}, {2000, 60}, {8000, 0}};
        layer.main = {k == 3 ? qv::NOISE_RANDOM : qv::NOISE_SINE + k, 220.0f * (k + 1), 100.0f,
                      10.0f, 0};
        layer.frequency_mod = {k % 2 ? qv::NOISE_RANDOM : qv::NOISE_SAW2, 6.0f, 30.0f, 0.0f, 0};
        layer.volume_mod = {qv::NOISE_RECT2, 3.0f + k, 80.0f, 25.0f, 1};
    }
    return design;
}

void BM_RenderNoiseLongest(benchmark::State& state) {
    qv::NoiseDesign design = longest_design();
    std::vector<int16_t> pcm;
    for (auto _ : state) {
        if (!qv::render_noise(pcm, design, 2, 44100))
            state.SkipWithError("render failed");
        benchmark::DoNotOptimize(pcm.data());
    }
    state.SetItemsProcessed(state.iterations() * 441000);
}
BENCHMARK(BM_RenderNoiseLongest)->Unit(benchmark::kMillisecond);

void BM_ConvertTenSecondsToReady(benchmark::State& state) {
    qv::PcmSample source;
    source.channels = 1;
    source.samples_per_second = 22050;
    source.bits_per_sample = 8;
    source.body = 220500;
    source.data.resize(220500);
    for (std::size_t i = 0; i < source.data.size(); ++i)
        source.data[i] = static_cast<uint8_t>(std::rand());
    for (auto _ : state) {
        qv::PcmSample work;
        if (!qv::copy_pcm(work, source) || !qv::convert_pcm(work, 2, 44100, 16))
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(work.data.data());
    }
    state.SetItemsProcessed(state.iterations() * 220500);
}
BENCHMARK(BM_ConvertTenSecondsToReady)->Unit(benchmark::kMillisecond);

} // namespace
