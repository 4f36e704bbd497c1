// The sound stream on the memory device (refill thread, silence then mix, open and close
// rules), and the real devices failing fast and readably when there is no sound server.
#include "sound/stream.h"
#include "sound/tone_player.h"
#include "voice/pitch_table.h"

#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// Points PulseAudio clients, and ALSA's default PCM through its pulse plugin, at a socket in
// a fresh folder; `listening` decides whether anything listens there.
class FakeServer {
public:
    explicit FakeServer(bool listening) {
        namespace fs = std::filesystem;
        dir_ = fs::temp_directory_path() / ("qv-sound-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / ".asoundrc") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
        const std::string socket_path = (dir_ / "pulse.sock").string();
        if (listening) {
            // Accepts connections into its backlog and never says a word.
            fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
            EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            EXPECT_EQ(::listen(fd_, 16), 0);
        }
        ::setenv("PULSE_SERVER", ("unix:" + socket_path).c_str(), 1);
        ::setenv("HOME", dir_.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    ~FakeServer() {
        ::unsetenv("PULSE_SERVER");
        if (fd_ >= 0)
            ::close(fd_); // lets a client still waiting on it give up
        std::filesystem::remove_all(dir_);
    }

private:
    std::filesystem::path dir_;
    int fd_ = -1;
};

void expect_fast_failure(StreamDevice device, const char* reason_start) {
    StreamSettings s = capture_settings(2, 44100, 16, 4410);
    s.device = device;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SoundStream::open(s, STREAM_TONE_SLOTS));
    const auto took = std::chrono::steady_clock::now() - start;
    // Fails within about a second instead of hanging.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(SoundStream::last_error().rfind(reason_start, 0), 0u) << SoundStream::last_error();
    EXPECT_FALSE(TonePlayer::is_set_up());
    EXPECT_FALSE(SoundStream::is_open());
}

// No server at all: each device fails at once with its own words.
TEST_F(StreamTest, RealDevicesWithoutAServerFailFastWithTheirReason) {
    FakeServer absent(false);
    expect_fast_failure(StreamDevice::DirectSound, "PulseAudio");
    expect_fast_failure(StreamDevice::WaveMapper, "ALSA");
}

// A server that takes the connection and never answers must not hang the open.
TEST_F(StreamTest, RealDevicesGiveUpOnAServerThatNeverAnswers) {
    FakeServer silent(true);
    expect_fast_failure(StreamDevice::DirectSound, "the sound device did not answer");
    expect_fast_failure(StreamDevice::WaveMapper, "the sound device did not answer");
}

} // namespace
} // namespace qv
