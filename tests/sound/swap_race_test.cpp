// Fresh buffers swapped into a voice while the capture stream mixes eight of its notes on the
// refill thread: run under ThreadSanitizer this proves the hand-over race-free, and under
// AddressSanitizer that no tone reads a buffer that was replaced.
#include "sound/stream.h"
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace qv {
namespace {

ReadySample random_ready(std::mt19937& random) {
    ReadySample ready;
    const int32_t frames = std::uniform_int_distribution<int32_t>(1, 3000)(random);
    ready.pcm.resize(static_cast<std::size_t>(frames) * 2);
    for (int16_t& s : ready.pcm)
        s = static_cast<int16_t>(std::uniform_int_distribution<int>(-32768, 32767)(random));
    ready.body = frames;
    if (random() % 2 == 0) {
        ready.envelope_table.resize(std::uniform_int_distribution<std::size_t>(1, 5000)(random));
        for (uint8_t& e : ready.envelope_table)
            e = static_cast<uint8_t>(random() % 129);
        ready.envelope_length = static_cast<int32_t>(ready.envelope_table.size());
        ready.release_length = static_cast<int32_t>(random() % 3000);
    }
    return ready;
}

Voice random_voice(std::mt19937& random) {
    Voice voice;
    allocate_units(voice, static_cast<int32_t>(1 + random() % 3));
    for (int32_t u = 0; u < voice.unit_count; ++u) {
        voice.units[u].basic_key = 0x4500 - static_cast<int32_t>(random() % 6000);
        voice.units[u].tuning = 1.0f;
        voice.ready[u] = random_ready(random);
    }
    return voice;
}

TEST(SwapRace, SwapsWhileEightNotesMixStayRaceFreeAndInRange) {
    build_pitch_table();
    std::mt19937 random(20261211);
    StreamSettings settings;
    settings.buffer_frames = 441;
    settings.device = StreamDevice::Capture;
    ASSERT_TRUE(SoundStream::open(settings, STREAM_TONE_SLOTS));

    Voice live = random_voice(random);
    std::vector<int32_t> ids;
    for (int n = 0; n < 8; ++n)
        ids.push_back(TonePlayer::start_tone(live, 1, 0.5f + 0.25f * static_cast<float>(n), -1, -1, n * 16));

    std::atomic<bool> done{false};
    std::atomic<int64_t> regions{0}, loud_regions{0}, out_of_range{0};
    std::thread consumer([&] {
        std::vector<uint8_t> region(static_cast<std::size_t>(SoundStream::region_bytes()));
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end && SoundStream::capture_next(region)) {
            bool loud = false;
            for (std::size_t i = 0; i + 1 < region.size(); i += 2) {
                const auto s = static_cast<int16_t>(static_cast<uint16_t>(region[i] | (region[i + 1] << 8)));
                if (s < -32766 || s > 32766)
                    ++out_of_range;
                loud = loud || s != 0;
            }
            ++regions;
            loud_regions += loud ? 1 : 0;
        }
        done.store(true);
    });

    int64_t swaps = 0;
    while (!done.load()) {
        if (swaps % 50 == 49) {
            Voice fresh = random_voice(random);
            TonePlayer::swap_voice(live, fresh);
        } else {
            const std::size_t u = random() % live.ready.size();
            ReadySample fresh = random_ready(random);
            TonePlayer::swap_ready(live.ready[u], fresh);
        }
        // Keep eight notes going: restart the ones that ended or were cut.
        const std::size_t n = random() % ids.size();
        TonePlayer::stop_tone(ids[n], swaps % 3 == 0 ? ToneStop::Immediate : ToneStop::Release);
        ids[n] = TonePlayer::start_tone(live, swaps % 5 == 0 ? 0 : 1, 1.0f, -1, -1, -1);
        TonePlayer::set_tone_frequency(ids[(n + 1) % ids.size()], 0.25f + static_cast<float>(random() % 16));
        ++swaps;
    }
    consumer.join();
    EXPECT_TRUE(SoundStream::close());
    EXPECT_EQ(out_of_range.load(), 0);
    EXPECT_GT(regions.load(), 10);
    EXPECT_GT(loud_regions.load(), regions.load() / 4); // the notes did sound
    EXPECT_GT(swaps, 10);
}

} // namespace
} // namespace qv
