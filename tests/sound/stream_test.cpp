// The sound stream on the memory device: the refill thread, silence then mix, the open and
// close rules.
#include "sound/alsa_levels.h"
#include "sound/stream.h"
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

using test::constant_pcm;
using test::counting_pcm;
using test::make_voice;

StreamSettings capture_settings(int32_t channels, int32_t rate, int32_t bits, int32_t frames) {
    StreamSettings s;
    s.channels = channels;
    s.rate = rate;
    s.bits = bits;
    s.buffer_frames = frames;
    s.device = StreamDevice::Capture;
    return s;
}

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { build_pitch_table(); }
    void TearDown() override { SoundStream::close(); }

    static std::vector<uint8_t> next_region() {
        std::vector<uint8_t> region(static_cast<std::size_t>(SoundStream::region_bytes()));
        EXPECT_TRUE(SoundStream::capture_next(region));
        return region;
    }
};

TEST(BufferFrames, AreTheIntegerPartOfRateTimesSeconds) {
    EXPECT_EQ(buffer_frames_for(44100, 0.1), 4410);
    EXPECT_EQ(buffer_frames_for(11025, 0.01), 110);
    EXPECT_EQ(buffer_frames_for(22050, 1.0), 22050);
    EXPECT_EQ(buffer_frames_for(44100, 0.0505), 2227);
}

// Whatever period and buffer ALSA grants, the device starts: either the silence written at
// open reaches the start threshold, or the refill thread finds room to write more before it.
TEST(AlsaLevels, EveryGrantedBufferStartsPlaying) {
    using namespace alsa_levels;
    const struct { Frames region, period, buffer; } cases[] = {
        {4410, 4410, 8820},   {4410, 4410, 13230}, // as asked; the pulse plugin's three periods
        {4410, 4096, 8192},   {2205, 2048, 4096},  // power-of-two periods under two regions
        {4410, 1024, 4096},   {44100, 16384, 32768}, // a buffer shorter than one region
        {110, 64, 256},       {441, 512, 1024},
    };
    for (const auto& c : cases) {
        const Frames threshold = start_threshold(c.region, c.period, c.buffer);
        Frames queued = prefill_regions(c.region, c.buffer) * c.region;
        for (int refill = 0; refill < 3 && queued < threshold; ++refill) {
            ASSERT_GE(c.buffer - queued, wake_avail(c.region, c.buffer))
                << "stalls before playing: region " << c.region << ", period " << c.period
                << ", buffer " << c.buffer;
            queued += std::min(c.region, c.buffer - queued);
        }
        EXPECT_GE(queued, threshold) << c.region << "/" << c.period << "/" << c.buffer;
        EXPECT_GT(threshold, 0u);
    }
}

TEST_F(StreamTest, AStreamWithoutTonesProducesSilenceInItsFormat) {
    struct Case { int32_t channels, bits; uint8_t silence; };
    for (const Case c : {Case{2, 16, 0}, Case{1, 8, 128}}) {
        ASSERT_TRUE(SoundStream::open(capture_settings(c.channels, 22050, c.bits, 220), STREAM_TONE_SLOTS));
        EXPECT_EQ(SoundStream::region_bytes(), 220 * c.channels * c.bits / 8);
        for (int r = 0; r < 3; ++r)
            for (uint8_t b : next_region())
                ASSERT_EQ(b, c.silence);
        EXPECT_EQ(SoundStream::captured_regions(), 3);
        EXPECT_TRUE(SoundStream::close());
    }
}

TEST_F(StreamTest, EachRegionIsSilenceThenTheMixOfTheActiveTones) {
    const Voice voice = make_voice({{counting_pcm(300)}});
    ASSERT_TRUE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    TonePlayer::start_tone(voice, 1, 1.5f, 20, 100, 90);
    std::vector<uint8_t> streamed;
    for (int r = 0; r < 3; ++r) {
        const auto region = next_region();
        streamed.insert(streamed.end(), region.begin(), region.end());
    }
    ASSERT_TRUE(SoundStream::close());

    // The same note mixed directly into silent buffers of the same size.
    ASSERT_TRUE(TonePlayer::initialize(2, 44100, 16, STREAM_TONE_SLOTS));
    TonePlayer::start_tone(voice, 1, 1.5f, 20, 100, 90);
    std::vector<uint8_t> direct;
    for (int r = 0; r < 3; ++r) {
        std::vector<uint8_t> region(441 * 4, 0);
        TonePlayer::mix(region);
        direct.insert(direct.end(), region.begin(), region.end());
    }
    TonePlayer::release();
    EXPECT_EQ(streamed, direct);
    EXPECT_NE(streamed, std::vector<uint8_t>(streamed.size(), 0)); // the note is in region one
}

TEST_F(StreamTest, OpeningAnOpenStreamClosesItAndFails) {
    ASSERT_TRUE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    EXPECT_FALSE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    EXPECT_FALSE(SoundStream::is_open());
    EXPECT_FALSE(TonePlayer::is_set_up());
    EXPECT_FALSE(SoundStream::close());
}

TEST_F(StreamTest, FormatReportsTheOpenStreamAndZerosWhenClosed) {
    int32_t channels = -1, rate = -1, bits = -1, frames = -1;
    EXPECT_FALSE(SoundStream::format(&channels, &rate, &bits, &frames));
    EXPECT_EQ(channels + rate + bits + frames, 0);
    ASSERT_TRUE(SoundStream::open(capture_settings(1, 11025, 8, 110), STREAM_TONE_SLOTS));
    EXPECT_TRUE(SoundStream::format(&channels, &rate, nullptr, &frames));
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 11025);
    EXPECT_EQ(frames, 110);
    EXPECT_TRUE(SoundStream::close());
    EXPECT_FALSE(SoundStream::close()); // the second close fails quietly
    EXPECT_FALSE(SoundStream::format(nullptr, &rate, nullptr, nullptr));
    EXPECT_EQ(rate, 0);
}

TEST_F(StreamTest, SettingsItCannotPlayAreRefusedWithAReason) {
    const StreamSettings bad[] = {capture_settings(3, 44100, 16, 441), capture_settings(2, 44100, 24, 441),
                                  capture_settings(2, 44100, 16, 0), capture_settings(2, 44100, 16, 1 << 30),
                                  capture_settings(2, 96000, 16, 441)};
    for (const StreamSettings& s : bad) {
        EXPECT_FALSE(SoundStream::open(s, STREAM_TONE_SLOTS));
        EXPECT_FALSE(SoundStream::last_error().empty());
        EXPECT_FALSE(TonePlayer::is_set_up());
    }
}

TEST_F(StreamTest, ToneIdsKeepCountingAcrossReopenings) {
    const Voice voice = make_voice({{constant_pcm(10, 1, 1)}});
    ASSERT_TRUE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    const int32_t first = TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1);
    ASSERT_TRUE(SoundStream::close());
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1), -1); // closed: no player
    ASSERT_TRUE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    EXPECT_EQ(TonePlayer::start_tone(voice, 1, 1.0f, -1, -1, -1), first + 1);
}

TEST_F(StreamTest, CaptureCallsFailWhenNoCaptureStreamIsOpen) {
    std::vector<uint8_t> region(1764);
    EXPECT_FALSE(SoundStream::capture_next(region));
    ASSERT_TRUE(SoundStream::open(capture_settings(2, 44100, 16, 441), STREAM_TONE_SLOTS));
    std::vector<uint8_t> wrong(100);
    EXPECT_FALSE(SoundStream::capture_next(wrong));
    EXPECT_TRUE(SoundStream::capture_next(region));
}

} // namespace
} // namespace qv
