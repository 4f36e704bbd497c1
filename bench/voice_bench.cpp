// The voice file both ways, wave tables and envelope tables, with voices shaped like the
// editor's: 31 coordinate points, 31 overtones, 31 envelope points.
#include "voice/render.h"
#include "voice/render_format.h"
#include "voice/voice_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t POINTS = 31;

qv::VoiceEnvelope editor_envelope() {
    qv::VoiceEnvelope e{100, POINTS, 0, 1, {}};
    for (int32_t k = 0; k < POINTS; ++k)
        e.points.push_back({k == 0 ? 0 : 10, k == 0 ? 128 : 128 - 4 * k});
    e.points.push_back({30, 0});
    return e;
}

// Unit A a coordinate wave, unit B an overtone wave, both with envelopes and 1600-byte tables.
qv::Voice two_unit_voice() {
    qv::Voice voice;
    if (!qv::allocate_units(voice, 2))
        std::abort();
    for (int32_t u = 0; u < 2; ++u) {
        qv::VoiceUnit& unit = voice.units[static_cast<std::size_t>(u)];
        unit = {11520, 64, 64 + 20 * u, 1.0f, 3, 3, {}, editor_envelope()};
        unit.wave.kind = u == 0 ? qv::WAVE_COORDINATE : qv::WAVE_OVERTONE;
        unit.wave.resolution = 200;
        unit.wave.point_count = POINTS;
        for (int32_t k = 0; k < POINTS; ++k)
            unit.wave.points.push_back(u == 0 ? qv::VoicePoint{k * 6, (k * 37) % 256 - 128}
                                              : qv::VoicePoint{k + 1, 128 / (k + 1)});
        voice.ready[static_cast<std::size_t>(u)].pcm.assign(800, 0);
    }
    return voice;
}

void BM_WriteVoice(benchmark::State& state) {
    const qv::Voice voice = two_unit_voice();
    std::FILE* file = std::tmpfile();
    for (auto _ : state) {
        std::rewind(file);
        if (!qv::write_voice(file, voice))
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * std::ftell(file));
    std::fclose(file);
}
BENCHMARK(BM_WriteVoice);

void BM_ReadVoice(benchmark::State& state) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    if (!qv::write_voice(file, two_unit_voice()))
        std::abort();
    std::fclose(file);
    const std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    qv::Voice voice;
    for (auto _ : state) {
        qv::ByteStream stream;
        qv::open_memory(stream, bytes);
        if (!qv::read_voice(stream, voice))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(voice.units.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadVoice);

void BM_UpdateWaveTables(benchmark::State& state) {
    qv::Voice voice = two_unit_voice();
    for (auto _ : state) {
        qv::update_wave_tables(voice);
        benchmark::DoNotOptimize(voice.ready[1].pcm.data());
    }
}
BENCHMARK(BM_UpdateWaveTables);

void BM_BuildEnvelopes(benchmark::State& state) {
    qv::RenderFormat::set(2, 44100, 16);
    qv::Voice voice;
    if (!qv::allocate_units(voice, 1))
        std::abort();
    voice.units[0].envelope = editor_envelope(); // 3 s: 132300 entries
    for (auto _ : state) {
        if (!qv::build_envelopes(voice))
            state.SkipWithError("build failed");
        benchmark::DoNotOptimize(voice.ready[0].envelope_table.data());
    }
    state.counters["entries"] = voice.ready[0].envelope_length;
}
BENCHMARK(BM_BuildEnvelopes);

} // namespace
