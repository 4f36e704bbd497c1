// The real devices failing fast and readably when the sound server is missing or mute. Kept
// out of the ThreadSanitizer run: the sound libraries' own threads are not instrumented.
#include "sound/stream.h"
#include "sound/tone_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qv {
namespace {

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
    StreamSettings s;
    s.buffer_frames = 4410;
    s.device = device;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SoundStream::open(s, STREAM_TONE_SLOTS));
    const auto took = std::chrono::steady_clock::now() - start;
    // The open gives up after one second; the margin only absorbs a loaded machine, a hang
    // still fails here.
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_EQ(SoundStream::last_error().rfind(reason_start, 0), 0u) << SoundStream::last_error();
    EXPECT_FALSE(TonePlayer::is_set_up());
    EXPECT_FALSE(SoundStream::is_open());
}

// No server at all: each device fails at once with its own words.
TEST(DeviceFailure, RealDevicesWithoutAServerFailFastWithTheirReason) {
    FakeServer absent(false);
    expect_fast_failure(StreamDevice::DirectSound, "PulseAudio");
    expect_fast_failure(StreamDevice::WaveMapper, "ALSA");
}

// A server that takes the connection and never answers must not hang the open.
TEST(DeviceFailure, RealDevicesGiveUpOnAServerThatNeverAnswers) {
    FakeServer silent(true);
    expect_fast_failure(StreamDevice::DirectSound, "the sound device did not answer");
    expect_fast_failure(StreamDevice::WaveMapper, "the sound device did not answer");
}

} // namespace
} // namespace qv
