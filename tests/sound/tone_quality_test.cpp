// "config.bin" and the stream settings made from it, and the Config command's failures.
#include "sound/tone_quality.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include <unistd.h>

#include "voice/render_format.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using qv::ToneQuality;

Bytes read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void append_u32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The file for a record, built from the layout rather than from the writer.
Bytes config_file(int32_t rate, int32_t bits, int32_t channels, uint32_t seconds_bits, int32_t device) {
    const char code[] = "qvConfig_ToneQuality_20061113   ";
    Bytes bytes(code, code + 32);
    append_u32(bytes, static_cast<uint32_t>(rate));
    append_u32(bytes, static_cast<uint32_t>(bits));
    append_u32(bytes, static_cast<uint32_t>(channels));
    append_u32(bytes, seconds_bits);
    append_u32(bytes, static_cast<uint32_t>(device));
    return bytes;
}

void expect_defaults(const ToneQuality& q, const std::string& label) {
    EXPECT_EQ(q.rate, 44100) << label;
    EXPECT_EQ(q.bits, 16) << label;
    EXPECT_EQ(q.channels, 2) << label;
    EXPECT_EQ(std::bit_cast<uint32_t>(q.buffer_seconds), 0x3DCCCCCDu) << label;
    EXPECT_EQ(q.device, 1) << label;
}

class ToneQualityTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qv-config-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder / "config.bin";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    fs::path path;
};

TEST_F(ToneQualityTest, DefaultsGiveA4410FrameBufferOnPulseAudio) {
    ToneQuality q{};
    q.rate = 1;
    ToneQuality::set_defaults(q);
    expect_defaults(q, "set_defaults");
    const qv::StreamSettings s = ToneQuality::stream_settings(q);
    EXPECT_EQ(s.rate, 44100);
    EXPECT_EQ(s.bits, 16);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.buffer_frames, 4410);
    EXPECT_EQ(s.device, qv::StreamDevice::DirectSound);
}

TEST_F(ToneQualityTest, StreamSettingsTruncateTheSinglePrecisionProduct) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        int32_t rate;
        float seconds;
        int32_t device;
        int32_t frames;
        qv::StreamDevice expected_device;
    } cases[] = {
        {22050, 0.25f, 0, 5512, qv::StreamDevice::WaveMapper},
        {11025, 0.01f, 1, 110, qv::StreamDevice::DirectSound},
        {44100, 1.0f, 2, 44100, qv::StreamDevice::WaveMapper}, // only 1 selects PulseAudio
        {44100, 0.3f, -1, 13230, qv::StreamDevice::WaveMapper},
        {44100, nan, 1, 0, qv::StreamDevice::DirectSound},      // hostile files: no frames
        {44100, inf, 1, 0, qv::StreamDevice::DirectSound},
        {2000000000, 3.0f, 1, 0, qv::StreamDevice::DirectSound},
    };
    for (const auto& c : cases) {
        ToneQuality q;
        q.rate = c.rate;
        q.buffer_seconds = c.seconds;
        q.device = c.device;
        const qv::StreamSettings s = ToneQuality::stream_settings(q);
        EXPECT_EQ(s.buffer_frames, c.frames) << c.rate << " x " << c.seconds;
        EXPECT_EQ(s.device, c.expected_device) << c.device;
    }
}

TEST_F(ToneQualityTest, SavedFileHasTheLayout) {
    ToneQuality q;
    q.rate = 22050;
    q.bits = 16;
    q.channels = 2;
    q.buffer_seconds = 0.25f;
    q.device = 0;
    ASSERT_TRUE(ToneQuality::save(path.string(), q));
    EXPECT_EQ(read_bytes(path), config_file(22050, 16, 2, std::bit_cast<uint32_t>(0.25f), 0));
    ToneQuality back;
    ASSERT_TRUE(ToneQuality::load(path.string(), back));
    EXPECT_EQ(back.rate, 22050);
    EXPECT_EQ(back.buffer_seconds, 0.25f);
    EXPECT_EQ(back.device, 0);
    EXPECT_EQ(ToneQuality::stream_settings(back).device, qv::StreamDevice::WaveMapper);
}

TEST_F(ToneQualityTest, LoadThenSaveWritesAnyValidFileBackByteForByte) {
    // Values no dialog offers, and a float pattern that is no number, are carried as read.
    const Bytes original = config_file(-7, 12, 5, 0x7FC00123u, 2);
    write_bytes(path, original);
    ToneQuality q;
    ASSERT_TRUE(ToneQuality::load(path.string(), q));
    EXPECT_EQ(q.rate, -7);
    EXPECT_EQ(q.device, 2);
    ASSERT_TRUE(ToneQuality::save((folder / "again.bin").string(), q));
    EXPECT_EQ(read_bytes(folder / "again.bin"), original);
}

TEST_F(ToneQualityTest, ForeignShortOrMissingFilesGiveTheDefaults) {
    const Bytes good = config_file(11025, 8, 1, std::bit_cast<uint32_t>(0.5f), 0);
    Bytes no_blanks(good.begin(), good.begin() + 29);
    no_blanks.insert(no_blanks.end(), good.begin() + 32, good.end());
    Bytes first_byte = good;
    first_byte[0] = 'Q';
    Bytes last_blank = good;
    last_blank[31] = 0;
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"code without its three blanks", no_blanks},
        {"first byte of the code", first_byte},
        {"last blank of the code", last_blank},
        {"record one byte short", Bytes(good.begin(), good.end() - 1)},
        {"code only", Bytes(good.begin(), good.begin() + 32)},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        write_bytes(path, c.bytes);
        ToneQuality q;
        q.rate = 1;
        EXPECT_FALSE(ToneQuality::load(path.string(), q)) << c.name;
        expect_defaults(q, c.name);
        EXPECT_EQ(read_bytes(path), c.bytes) << "a foreign file is left alone: " << c.name;
    }
    ToneQuality q;
    EXPECT_FALSE(ToneQuality::load((folder / "missing.bin").string(), q));
    expect_defaults(q, "missing");
    EXPECT_FALSE(ToneQuality::load(folder.string(), q));
    expect_defaults(q, "a folder");

    Bytes longer = good;
    longer.push_back(9);
    write_bytes(path, longer);
    EXPECT_TRUE(ToneQuality::load(path.string(), q)) << "bytes after the record are not read";
    EXPECT_EQ(q.rate, 11025);
}

TEST_F(ToneQualityTest, FailedSaveKeepsThePreviousFile) {
    EXPECT_FALSE(ToneQuality::save((folder / "missing" / "config.bin").string(), ToneQuality{}));
}

TEST_F(ToneQualityTest, DialogShowsARecordAndReadsItBack) {
    ToneQuality q;
    q.rate = 22050;
    q.buffer_seconds = 0.25f;
    q.device = 0;
    const qv::ConfigControls shown = ToneQuality::controls_for(q);
    EXPECT_EQ(shown.rate_index, 1);
    EXPECT_EQ(shown.bits_index, 1);
    EXPECT_EQ(shown.channel_index, 1);
    EXPECT_EQ(shown.buffer_text, "0.25");
    EXPECT_EQ(shown.device_index, 0);
    // Accepting unchanged writes the same 52 bytes back.
    ASSERT_TRUE(ToneQuality::save(path.string(), ToneQuality::from_controls(shown)));
    EXPECT_EQ(read_bytes(path), config_file(22050, 16, 2, std::bit_cast<uint32_t>(0.25f), 0));

    q.device = 2; // shown as "direct sound", though only 1 opens PulseAudio
    q.rate = 8000;
    q.bits = 12;
    q.channels = 5;
    const qv::ConfigControls odd = ToneQuality::controls_for(q);
    EXPECT_EQ(odd.device_index, 1);
    EXPECT_EQ(odd.rate_index, 2);
    EXPECT_EQ(odd.bits_index, 1);
    EXPECT_EQ(odd.channel_index, 1);
    const ToneQuality back = ToneQuality::from_controls(odd);
    EXPECT_EQ(back.device, 1);
    EXPECT_EQ(back.rate, 44100);
    EXPECT_EQ(back.bits, 16);
    EXPECT_EQ(back.channels, 2);
}

TEST_F(ToneQualityTest, BufferTextIsReadLikeScanfAndRangeChecked) {
    const struct {
        const char* text;
        float seconds;
        bool accepted;
    } cases[] = {
        {"0.009", 0.009f, false}, {"0.01", 0.01f, true},  {"1", 1.0f, true},
        {"1.001", 1.001f, false}, {"abc", 0.1f, true},    {"", 0.0f, false},
        {"   ", 0.0f, false},     {" 0.5sec", 0.5f, true}, {"+0.2", 0.2f, true},
        {"-0.5", -0.5f, false},   {".", 0.1f, true},       {"0.0099999999", 0.0099999f, false}, // only 9 characters are read
        {"--0.5", 0.1f, true},    {"+-0.5", 0.1f, true}, // one sign only, then a number
    };
    for (const auto& c : cases) {
        qv::ConfigControls controls;
        controls.buffer_text = c.text;
        const ToneQuality q = ToneQuality::from_controls(controls);
        EXPECT_EQ(q.buffer_seconds, c.seconds) << "'" << c.text << "'";
        EXPECT_EQ(ToneQuality::buffer_in_range(q.buffer_seconds), c.accepted) << "'" << c.text << "'";
    }
    EXPECT_FALSE(ToneQuality::buffer_in_range(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_STREQ(qv::BUFFER_RANGE_MESSAGE, "Sound Buffer :\r\nmin 0.01sec / max 1.00sec");
}

// The stream is not open: the command stops at the close with its message, but the new
// settings are saved and in force already.
TEST_F(ToneQualityTest, ConfigWithoutAnOpenStreamReportsTheClose) {
    ToneQuality accepted;
    accepted.rate = 22050;
    accepted.bits = 8;
    accepted.channels = 1;
    int released = 0;
    int rebuilt = 0;
    const qv::ConfigSteps steps{[&] { ++released; }, [&] { ++rebuilt; return true; }, [] {}};
    const qv::ConfigResult result = ToneQuality::apply_config(accepted, path.string(), steps);
    EXPECT_FALSE(result.ok);
    ASSERT_NE(result.message, nullptr);
    EXPECT_STREQ(result.message, "release active tone");
    EXPECT_TRUE(result.owned_by_main_window);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(rebuilt, 0);
    EXPECT_EQ(ToneQuality::current().rate, 22050);
    int32_t channels = 0, rate = 0, bits = 0;
    qv::RenderFormat::get(&channels, &rate, &bits);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(read_bytes(path), config_file(22050, 8, 1, 0x3DCCCCCDu, 1));
}

// An open stream closes, but a format no device plays cannot reopen.
TEST_F(ToneQualityTest, ConfigWithAnUnplayableFormatReportsTheOpen) {
    qv::StreamSettings capture;
    capture.device = qv::StreamDevice::Capture;
    ASSERT_TRUE(qv::SoundStream::open(capture, qv::STREAM_TONE_SLOTS));
    ToneQuality accepted;
    accepted.bits = 12;
    int rebuilt = 0;
    const qv::ConfigSteps steps{{}, [&] { ++rebuilt; return true; }, {}};
    const qv::ConfigResult result = ToneQuality::apply_config(accepted, path.string(), steps);
    EXPECT_FALSE(result.ok);
    ASSERT_NE(result.message, nullptr);
    EXPECT_STREQ(result.message, "initialize active tone");
    EXPECT_FALSE(qv::SoundStream::is_open());
    EXPECT_EQ(rebuilt, 0);
    EXPECT_EQ(ToneQuality::current().bits, 12);
    // The next command finds no stream to close.
    EXPECT_STREQ(ToneQuality::apply_config(accepted, path.string(), steps).message,
                 "release active tone");
}

} // namespace
