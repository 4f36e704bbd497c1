// How long an edit of the voice holds the tone lock, which is how long it can delay the
// refill thread (target: 10 us), and what the edits cost in all on the editing thread.
#include "sound/tone_player.h"
#include "voice/pitch_table.h"
#include "voice/render.h"
#include "voice/render_format.h"
#include "voice/voice_document.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace {

namespace doc = qv::VoiceDocument;
using Clock = std::chrono::steady_clock;

// A document with eight of its notes sounding, so each swap has tones to move over.
struct SoundingDocument {
    explicit SoundingDocument(int32_t attack_steps) {
        qv::build_pitch_table();
        qv::RenderFormat::set(2, 44100, 16);
        qv::TonePlayer::initialize(2, 44100, 16, 8);
        doc::create();
        doc::unit(1).volume = 64;
        doc::unit(0).envelope.points[1] = {attack_steps, 100};
        doc::build_ready_samples();
        doc::update_waves_and_envelopes();
        for (int n = 0; n < 8; ++n)
            doc::note_on(qv::key_to_frequency(n * 300));
    }
    ~SoundingDocument() {
        doc::release();
        qv::TonePlayer::release();
    }
};

// Fresh records as an edit makes them: a new wave table, a copy of the envelope table.
std::array<qv::ReadySample, 2> fresh_records() {
    std::array<qv::ReadySample, 2> fresh;
    for (std::size_t u = 0; u < fresh.size(); ++u) {
        const qv::ReadySample& live = doc::voice().ready[u];
        fresh[u] = live;
        qv::render_unit_wave_table(doc::unit(static_cast<int32_t>(u)), fresh[u].pcm);
    }
    return fresh;
}

// Times only the hand-over; the longest and the high percentiles go in the counters (on a
// busy machine the longest is a preemption inside the lock, not work done under it).
void BM_ToneLockHold(benchmark::State& state) {
    SoundingDocument sounding(static_cast<int32_t>(state.range(0)));
    std::vector<double> holds;
    holds.reserve(1 << 20);
    for (auto _ : state) {
        std::array<qv::ReadySample, 2> fresh = fresh_records();
        const auto start = Clock::now();
        qv::TonePlayer::swap_ready(std::span<qv::ReadySample>(doc::voice().ready),
                                   std::span<qv::ReadySample>(fresh));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        if (holds.size() < holds.capacity())
            holds.push_back(seconds);
    }
    std::sort(holds.begin(), holds.end());
    if (!holds.empty()) {
        state.counters["max_hold_us"] = holds.back() * 1e6;
        state.counters["p999_hold_us"] = holds[holds.size() * 999 / 1000] * 1e6;
        state.counters["p9999_hold_us"] = holds[holds.size() * 9999 / 10000] * 1e6;
    }
    state.counters["active_tones"] = qv::TonePlayer::active_tone_count();
}
// Attack of 1 step and of 2 s (an 88200-entry envelope table): the hold must not grow with it.
BENCHMARK(BM_ToneLockHold)->Arg(1)->Arg(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The whole operations on the editing thread, rendering included.
void BM_UpdateWaves(benchmark::State& state) {
    SoundingDocument sounding(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(doc::update_waves());
}
BENCHMARK(BM_UpdateWaves)->Unit(benchmark::kMicrosecond);

void BM_UpdateEnvelopes(benchmark::State& state) {
    SoundingDocument sounding(static_cast<int32_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(doc::update_envelopes());
}
BENCHMARK(BM_UpdateEnvelopes)->Arg(1)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace
