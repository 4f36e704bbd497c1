// End to end through real sound servers: a private PulseAudio daemon with a null sink (started
// by the test fixture, see pulse_env.sh) receives a note through each device, "direct sound"
// through PulseAudio and "wave mapper" through ALSA's default PCM routed to the same daemon.
// The null sink's monitor is recorded and checked: silence, a 441 Hz note, silence again.
#include "sound/stream.h"
#include "sound/tone_player.h"
#include "voice/pitch_table.h"
#include "voice/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace qv {
namespace {

constexpr int32_t RATE = 44100;
constexpr double PI = 3.141592653589793;

// The editor's default voice: one coordinate unit at basic key 11520, so at factor 1.0 its
// 400-frame cycle is read four frames at a time: 441 Hz.
Voice default_voice() {
    Voice voice;
    EXPECT_TRUE(allocate_units(voice, 1));
    VoiceUnit& unit = voice.units[0];
    unit.basic_key = 11520;
    unit.volume = 64;
    unit.pan = 64;
    unit.tuning = 1.0f;
    unit.voice_flags = VOICE_FLAG_LOOP | VOICE_FLAG_SMOOTH;
    unit.data_flags = DATA_FLAG_WAVE;
    unit.wave.kind = WAVE_COORDINATE;
    unit.wave.resolution = 200;
    unit.wave.points = {{0, 0}, {50, 64}, {150, -64}};
    unit.wave.point_count = 3;
    ReadySample& ready = voice.ready[0];
    EXPECT_TRUE(render_unit_wave_table(unit, ready.pcm));
    ready.body = WAVE_TABLE_LENGTH;
    return voice;
}

// Records the null sink's monitor into a file until stopped.
class Recorder {
public:
    explicit Recorder(const std::string& path) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const char* argv[] = {"parec", "--device=qvtest.monitor", "--format=s16le", "--rate=44100",
                              "--channels=2", "--raw", "--latency-msec=20", nullptr};
        started_ = posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Recorder() { stop(); }
    bool started() const { return started_; }
    void stop() {
        if (!started_)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        started_ = false;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
};

std::vector<int16_t> read_left_channel(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> left;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return left;
}

// Frequency of the strongest component between 100 and 2000 Hz (Goertzel, 1 Hz steps).
double strongest_frequency(const std::vector<int16_t>& samples, std::size_t begin, std::size_t count) {
    double best = 0.0, best_power = -1.0;
    for (int f = 100; f <= 2000; ++f) {
        const double coefficient = 2.0 * std::cos(2.0 * PI * f / RATE);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t i = begin; i < begin + count; ++i) {
            const double s0 = samples[i] + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > best_power) {
            best_power = power;
            best = f;
        }
    }
    return best;
}

void sleep_seconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// A new record stream may stall for a while before data flows; wait until it does.
bool wait_for_recording(const std::string& path, std::uintmax_t bytes) {
    for (int i = 0; i < 100; ++i) {
        std::error_code ec;
        if (std::filesystem::file_size(path, ec) >= bytes && !ec)
            return true;
        sleep_seconds(0.05);
    }
    return false;
}

struct Output {
    StreamDevice device;
    int32_t channels, rate, bits;
    const char* name;
};

class DeviceTest : public ::testing::TestWithParam<Output> {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QV_PULSE_DIR");
        if (dir == nullptr)
            GTEST_FAIL() << "QV_PULSE_DIR is not set: run through CTest, which starts the daemon";
        dir_ = dir;
        build_pitch_table();
    }
    void TearDown() override { SoundStream::close(); }
    std::string dir_;
};

TEST_P(DeviceTest, PlaysTheDefaultVoiceAt441HzBetweenSilences) {
    const Voice voice = default_voice();
    const Output output = GetParam();
    const std::string path = dir_ + "/recording-" + output.name + ".raw";
    Recorder recorder(path);
    ASSERT_TRUE(recorder.started());
    ASSERT_TRUE(wait_for_recording(path, RATE * 4 / 5)) << "parec records nothing";
    sleep_seconds(0.3);

    StreamSettings settings;
    settings.channels = output.channels;
    settings.rate = output.rate;
    settings.bits = output.bits;
    settings.buffer_frames = buffer_frames_for(output.rate, 0.05);
    settings.device = output.device;
    ASSERT_TRUE(SoundStream::open(settings, STREAM_TONE_SLOTS)) << SoundStream::last_error();
    EXPECT_GT(SoundStream::granted_latency_frames(), 0);
    sleep_seconds(0.4);
    const int32_t id = TonePlayer::start_tone(voice, 1, 1.0f, -1, 104, -1);
    ASSERT_GT(id, 0);
    sleep_seconds(0.6);
    TonePlayer::stop_tone(id, ToneStop::Release);
    sleep_seconds(0.6);
    EXPECT_EQ(TonePlayer::active_tone_count(), 0);
    EXPECT_TRUE(SoundStream::close());
    sleep_seconds(0.2);
    recorder.stop();

    const std::vector<int16_t> left = read_left_channel(path);
    ASSERT_GT(left.size(), static_cast<std::size_t>(RATE)) << "the recording is too short";
    constexpr int LOUD = 500;
    std::size_t first = left.size(), last = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::abs(left[i]) > LOUD) {
            first = std::min(first, i);
            last = i;
        }
    }
    ASSERT_LT(first, left.size()) << "the note was not heard";
    const double heard = static_cast<double>(last - first) / RATE;
    EXPECT_GT(heard, 0.5);
    EXPECT_LT(heard, 1.0);
    // Silence before the note and after its release (the null sink's silence is exact zeros).
    ASSERT_GT(first, static_cast<std::size_t>(RATE / 4));
    for (std::size_t i = 0; i + 64 < first; ++i)
        ASSERT_LE(std::abs(left[i]), 2) << "sound before the note at sample " << i;
    ASSERT_GT(left.size() - last, static_cast<std::size_t>(RATE / 5));
    for (std::size_t i = last + 200; i < left.size(); ++i)
        ASSERT_LE(std::abs(left[i]), 2) << "sound after the release at sample " << i;
    const double frequency = strongest_frequency(left, first + RATE / 10, RATE / 4);
    EXPECT_NEAR(frequency, 441.0, 3.0);
}

// The server converts other formats to the null sink's 44100 Hz 16-bit stereo; the note's
// pitch does not depend on the output rate.
INSTANTIATE_TEST_SUITE_P(BothDevices, DeviceTest,
                         ::testing::Values(Output{StreamDevice::DirectSound, 2, 44100, 16, "PulseAudio"},
                                           Output{StreamDevice::WaveMapper, 2, 44100, 16, "AlsaDefault"},
                                           Output{StreamDevice::DirectSound, 1, 22050, 8, "PulseAudio8BitMono"},
                                           Output{StreamDevice::WaveMapper, 1, 11025, 8, "AlsaDefault8BitMono"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qv
