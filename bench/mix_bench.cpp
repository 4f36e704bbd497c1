// The mixer's throughput with eight two-unit notes, and how long an edit holds the tone lock
// when it swaps fresh buffers into a sounding voice.
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

namespace {

using namespace qv;

constexpr int32_t TABLE_FRAMES = 400;

ReadySample wave_table(double harmonic) {
    ReadySample ready;
    ready.body = TABLE_FRAMES;
    ready.pcm.resize(TABLE_FRAMES * 2);
    for (int32_t i = 0; i < TABLE_FRAMES; ++i) {
        const auto s = static_cast<int16_t>(12000.0 * std::sin(2.0 * 3.141592653589793 * harmonic * i / TABLE_FRAMES));
        ready.pcm[2 * i] = s;
        ready.pcm[2 * i + 1] = s;
    }
    // A 0.2 s attack and decay and a 0.1 s release at 44100 Hz, as an edited unit has.
    ready.envelope_table.resize(8820);
    for (std::size_t i = 0; i < ready.envelope_table.size(); ++i)
        ready.envelope_table[i] = static_cast<uint8_t>(i < 4410 ? i * 128 / 4410 : 128 - (i - 4410) * 64 / 4410);
    ready.envelope_length = static_cast<int32_t>(ready.envelope_table.size());
    ready.release_length = 4410;
    return ready;
}

Voice two_unit_voice() {
    Voice voice;
    allocate_units(voice, 2);
    for (int32_t u = 0; u < 2; ++u) {
        voice.units[u].basic_key = 11520;
        voice.units[u].tuning = 1.0f;
        voice.ready[u] = wave_table(u + 1);
    }
    return voice;
}

void start_eight_notes(const Voice& voice) {
    for (int n = 0; n < 8; ++n)
        TonePlayer::start_tone(voice, 1, std::pow(2.0f, static_cast<float>(n) / 12.0f), n * 16, -1, 128 - n * 16);
}

// Mixes 0.1 s regions; reports output frames per second and the real-time factor.
void mix_eight_notes(benchmark::State& state, int32_t channels, int32_t rate, int32_t bits) {
    build_pitch_table();
    TonePlayer::initialize(channels, rate, bits, 8);
    const Voice voice = two_unit_voice();
    start_eight_notes(voice);
    const int32_t frames = rate / 10;
    std::vector<uint8_t> region(static_cast<std::size_t>(frames * channels * bits / 8));
    for (auto _ : state) {
        std::fill(region.begin(), region.end(), bits == 8 ? 128 : 0);
        TonePlayer::mix(region);
        benchmark::DoNotOptimize(region.data());
    }
    if (TonePlayer::active_tone_count() != 8)
        state.SkipWithError("the notes stopped sounding");
    TonePlayer::release();
    const double total = static_cast<double>(state.iterations()) * frames;
    state.counters["frames_per_second"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.counters["realtime_factor"] = benchmark::Counter(total / rate, benchmark::Counter::kIsRate);
}

void BM_Mix16BitStereo44100(benchmark::State& state) { mix_eight_notes(state, 2, 44100, 16); }
void BM_Mix8BitMono11025(benchmark::State& state) { mix_eight_notes(state, 1, 11025, 8); }
BENCHMARK(BM_Mix16BitStereo44100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Mix8BitMono11025)->Unit(benchmark::kMicrosecond);

// How long an edit holds the tone lock: swapping a unit's freshly rendered ready sample (or a
// whole voice) while eight notes of that voice sound. Nothing mixes meanwhile, so each call's
// duration is the hold itself. On a shared machine the longest wall-clock figure includes
// preemption, so the thread's own CPU time and the 99.9th percentile are reported beside it.
template <class Swap> void measure_hold(benchmark::State& state, Swap swap) {
    build_pitch_table();
    TonePlayer::initialize(2, 44100, 16, 8);
    Voice live = two_unit_voice();
    start_eight_notes(live);
    constexpr int BUCKETS = 1000; // 0.1 us each
    std::vector<int64_t> histogram(BUCKETS + 1, 0);
    double longest = 0.0, longest_cpu = 0.0, sum = 0.0;
    for (auto _ : state) {
        timespec cpu_start{}, cpu_end{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_start);
        const auto start = std::chrono::steady_clock::now();
        swap(live);
        const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu_end);
        const double cpu_us = static_cast<double>(cpu_end.tv_sec - cpu_start.tv_sec) * 1e6 +
                              static_cast<double>(cpu_end.tv_nsec - cpu_start.tv_nsec) / 1e3;
        longest = std::max(longest, us);
        longest_cpu = std::max(longest_cpu, cpu_us);
        sum += us;
        ++histogram[static_cast<std::size_t>(std::min(us * 10.0, static_cast<double>(BUCKETS)))];
    }
    TonePlayer::release();
    auto percentile = [&](double fraction) {
        const auto wanted = static_cast<int64_t>(static_cast<double>(state.iterations()) * fraction);
        int64_t seen = 0;
        int bucket = 0;
        while (bucket < BUCKETS && (seen += histogram[static_cast<std::size_t>(bucket)]) < wanted)
            ++bucket;
        return (bucket + 1) / 10.0;
    };
    int64_t over_target = 0; // holds of 10 us or more
    for (int bucket = 100; bucket <= BUCKETS; ++bucket)
        over_target += histogram[static_cast<std::size_t>(bucket)];
    state.counters["p999_hold_us"] = percentile(0.999);
    state.counters["p99999_hold_us"] = percentile(0.99999);
    state.counters["over_10us_per_million"] = 1e6 * static_cast<double>(over_target) / static_cast<double>(state.iterations());
    state.counters["longest_hold_us"] = longest;
    state.counters["longest_hold_cpu_us"] = longest_cpu;
    state.counters["mean_hold_us"] = sum / static_cast<double>(state.iterations());
}

void BM_LockHoldSwapReady(benchmark::State& state) {
    ReadySample fresh = wave_table(3);
    measure_hold(state, [&](Voice& live) { TonePlayer::swap_ready(live.ready[0], fresh); });
}
void BM_LockHoldSwapVoice(benchmark::State& state) {
    Voice fresh = two_unit_voice();
    measure_hold(state, [&](Voice& live) { TonePlayer::swap_voice(live, fresh); });
}
BENCHMARK(BM_LockHoldSwapReady);
BENCHMARK(BM_LockHoldSwapVoice);

} // namespace
