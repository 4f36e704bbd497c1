// qvvoice-tool render: the default voice played through the whole playback path compares
// sample for sample with a note computed here from the rendering and mixing formulas.
#include "tool_run.h"

#include "voice/voice.h"
#include "voice/voice_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using tooltest::run_tool;
using Bytes = std::vector<unsigned char>;

// The 41-byte file of the editor's new voice: one coordinate unit at key 45, volume 64.
const Bytes DEFAULT_VOICE = {'Q', 'V', 'V', 'O', 'I', 'C', 'E', '-', 0xCF, 0x17, 0x32, 0x01,
                             0x19, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x80, 0x5A, 0x40,
                             0x40, 0x80, 0x80, 0x80, 0xFC, 0x03, 0x03, 0x01, 0x00, 0x03, 0xC8,
                             0x01, 0x00, 0x00, 0x32, 0x40, 0x96, 0xC0};

struct Wav {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    Bytes data;
};

uint32_t le(const Bytes& b, std::size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

bool read_wav(const std::filesystem::path& path, Wav& wav) {
    std::ifstream in(path, std::ios::binary);
    const Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size())
            return false;
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
            wav.channels = static_cast<int>(le(b, at + 10, 2));
            wav.rate = static_cast<int>(le(b, at + 12, 4));
            wav.bits = static_cast<int>(le(b, at + 22, 2));
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            wav.data.assign(b.begin() + static_cast<std::ptrdiff_t>(at + 8),
                            b.begin() + static_cast<std::ptrdiff_t>(at + 8 + size));
        }
        at += 8 + size + (size & 1);
    }
    return wav.channels > 0;
}

// One 400-frame cycle of the default triangle-like wave: resolution 200, points (0, 0),
// (50, 64), (150, -64), volume 64, centred, stereo 16-bit.
std::vector<int16_t> default_wave_table() {
    const int px[] = {0, 50, 150};
    const int py[] = {0, 64, -64};
    std::vector<int16_t> table;
    for (int i = 0; i < 400; ++i) {
        const int a = 200 * i / 400;
        int k = 0;
        while (k < 3 && px[k] <= a)
            ++k;
        double value;
        if (k == 0) {
            value = py[0];
        } else {
            const int x0 = px[k - 1], y0 = py[k - 1];
            const int x1 = k == 3 ? 200 : px[k], y1 = k == 3 ? py[0] : py[k];
            value = a == x0 ? y0 : y0 + static_cast<double>(y1 - y0) * (a - x0) / (x1 - x0);
        }
        double s = 64.0 * (64.0 * value / 128.0 / 128.0) / 64.0;
        s = std::clamp(s, -1.0, 1.0);
        const auto sample = static_cast<int16_t>(static_cast<int>(s * 32767.0));
        table.push_back(sample); // left
        table.push_back(sample); // right
    }
    return table;
}

struct Format {
    int channels, rate, bits, region_frames;
};

// The note as the mixer defines it: repeat mode, velocity 104, centred, no envelope, released
// after the first region that reaches `hold_frames`, recorded until the tone has ended.
Bytes expected_note(const Format& f, double hold_frames, float frequency) {
    const std::vector<int16_t> pcm = default_wave_table();
    const int rate_ratio = 44100 / f.rate;
    const int fade_frames = f.rate / 100;
    const int release_frames = f.rate * 100 / 1000;
    const float step = 4.0f; // key offset 0x4500 - 45 * 256 = two octaves: factor 4.0 exactly
    double position = 0.0;
    bool key_held = true;
    bool playing = true;
    int release_counter = 0;
    Bytes out;
    for (long written = 0;;) {
        for (int frame = 0; frame < f.region_frames; ++frame) {
            int values[2] = {0, 0};
            if (playing) {
                const int i = static_cast<int>(position);
                for (int ch = 0; ch < 2; ++ch) {
                    int v = f.channels == 1 ? (pcm[2 * i] + pcm[2 * i + 1]) / 2 : pcm[2 * i + ch];
                    v = v * 104 / 128;
                    v = v * 64 / 64;
                    if (release_counter > release_frames - fade_frames)
                        v = (release_frames - release_counter) * v / fade_frames;
                    values[ch] = v;
                }
                position += static_cast<double>(frequency * step * static_cast<float>(rate_ratio));
                if (position >= 400)
                    position -= 400;
                if (position >= 400)
                    position = 0;
                if (!key_held)
                    ++release_counter;
                if (release_counter >= release_frames)
                    playing = false;
            }
            for (int ch = 0; ch < f.channels; ++ch) {
                int sum = values[ch];
                if (f.bits == 8) {
                    sum = std::clamp(sum >> 8, -127, 127);
                    out.push_back(static_cast<unsigned char>(std::clamp(128 + (sum + 128) - 128, 1, 255)));
                } else {
                    sum = std::clamp(std::clamp(sum, -32767, 32767), -32766, 32766);
                    const auto u = static_cast<uint16_t>(static_cast<int16_t>(sum));
                    out.push_back(static_cast<unsigned char>(u & 0xFF));
                    out.push_back(static_cast<unsigned char>(u >> 8));
                }
            }
        }
        written += f.region_frames;
        if (key_held && static_cast<double>(written) >= hold_frames) {
            key_held = false;
            continue;
        }
        if (!key_held && !playing)
            return out;
    }
}

struct RenderCase {
    const char* name;
    std::vector<std::string> options;
    Format format;
    double hold_frames;
    float frequency;
};

TEST(ToolRender, DefaultVoiceMatchesTheFormulas) {
    const RenderCase cases[] = {
        {"44100 Hz stereo 16-bit, 10 ms regions", {"--hold", "0.05", "--buffer", "0.01"},
         {2, 44100, 16, 441}, 2205.0, 1.0f},
        {"an octave up, hold inside a region", {"--key", "3072", "--hold", "0.03", "--buffer", "0.02"},
         {2, 44100, 16, 882}, 1323.0, 2.0f},
        {"11025 Hz mono 8-bit", {"--rate", "11025", "--bits", "8", "--channels", "1", "--hold", "0.2"},
         {1, 11025, 8, 1102}, 2205.0, 1.0f},
        {"22050 Hz stereo 8-bit", {"--rate", "22050", "--bits", "8", "--hold", "0", "--buffer", "0.05"},
         {2, 22050, 8, 1102}, 0.0, 1.0f},
    };
    tooltest::TempDir dir;
    const std::filesystem::path voice = dir.path / "default.qvvoice";
    tooltest::write_file(voice, DEFAULT_VOICE);
    for (const RenderCase& c : cases) {
        const std::filesystem::path out = dir.path / "out.wav";
        std::vector<std::string> args = {"render", voice.string(), out.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const tooltest::ToolResult r = run_tool(args);
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        Wav wav;
        ASSERT_TRUE(read_wav(out, wav)) << c.name;
        EXPECT_EQ(wav.channels, c.format.channels) << c.name;
        EXPECT_EQ(wav.rate, c.format.rate) << c.name;
        EXPECT_EQ(wav.bits, c.format.bits) << c.name;
        const Bytes expected = expected_note(c.format, c.hold_frames, c.frequency);
        ASSERT_EQ(wav.data.size(), expected.size()) << c.name;
        const auto mismatch = std::mismatch(wav.data.begin(), wav.data.end(), expected.begin());
        EXPECT_TRUE(mismatch.first == wav.data.end())
            << c.name << ": first difference at byte " << (mismatch.first - wav.data.begin());
    }
}

// A unit with a release time but no envelope table keeps sounding after note-off; the
// recording stops ten seconds after the release.
TEST(ToolRender, EndlessNoteIsCutTenSecondsAfterTheRelease) {
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 1));
    qv::VoiceUnit& u = voice.units[0];
    u.basic_key = 45 * 256;
    u.volume = 64;
    u.pan = 64;
    u.tuning = 1.0f;
    u.voice_flags = 3;
    u.data_flags = 3;
    u.wave.resolution = 200;
    u.wave.point_count = 2;
    u.wave.points = {{0, 0}, {50, 64}};
    u.envelope.fps = 100;
    u.envelope.tail_count = 1;
    u.envelope.points = {{50, 0}};
    tooltest::TempDir dir;
    const std::filesystem::path path = dir.path / "endless.qvvoice";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(qv::write_voice(file, voice));
    std::fclose(file);
    const tooltest::ToolResult r = run_tool({"render", path.string(), (dir.path / "out.wav").string(),
                                             "--rate", "11025", "--buffer", "0.5", "--hold", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    Wav wav;
    ASSERT_TRUE(read_wav(dir.path / "out.wav", wav));
    // Regions of 5512 frames: released after the first, cut once 110250 more frames are out.
    EXPECT_EQ(wav.data.size(), 22u * 5512u * 4u);
    const std::size_t last = wav.data.size() - 4;
    EXPECT_TRUE(wav.data[last] != 0 || wav.data[last + 1] != 0 || wav.data[last - 400] != 0)
        << "still sounding when cut";
}

// The browser's loop switch decides whether a WAV sample repeats: played once it falls silent
// at its end and the recording stops at the release; looped it sounds to the release and then
// fades out over 100 ms.
TEST(ToolRender, LoopSwitchDecidesWhetherAWavRepeats) {
    tooltest::TempDir dir;
    const std::filesystem::path wav_path = dir.path / "tone.wav";
    const std::string command = "sox -n -r 44100 -c 1 -b 16 -e signed-integer '" +
                                wav_path.string() + "' synth 0.3 sine 300";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto render = [&](bool loop, Wav& wav) {
        std::vector<std::string> args = {"render", wav_path.string(), (dir.path / "out.wav").string(),
                                         "--hold", "1", "--buffer", "0.1"};
        if (loop)
            args.push_back("--loop");
        const tooltest::ToolResult r = run_tool(args);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(read_wav(dir.path / "out.wav", wav));
    };
    // Peak of the frames [from, to) of 16-bit stereo data.
    const auto peak = [](const Wav& wav, std::size_t from, std::size_t to) {
        int most = 0;
        for (std::size_t f = from; f < to && 4 * f + 3 < wav.data.size(); ++f)
            for (std::size_t b = 4 * f; b < 4 * f + 4; b += 2)
                most = std::max(most, std::abs(static_cast<int16_t>(wav.data[b] | wav.data[b + 1] << 8)));
        return most;
    };
    Wav once;
    render(false, once);
    EXPECT_EQ(once.data.size(), 44100u * 4u);
    EXPECT_GT(peak(once, 0, 13000), 10000);
    EXPECT_EQ(peak(once, 13300, 44100), 0);

    Wav looped;
    render(true, looped);
    EXPECT_EQ(looped.data.size(), 11u * 4410u * 4u);
    EXPECT_GT(peak(looped, 40000, 44100), 10000);
    EXPECT_GT(peak(looped, 44100, 44100 + 3900), 10000);
    EXPECT_LT(peak(looped, 48500, 48510), 1000) << "the last 10 ms fade out";
}

// Values no editor writes reach rendering and the mixer through this path: each file plays
// safely or is refused with a message, never read outside a buffer or overflowing.
TEST(ToolRender, HostileVoiceFilesPlaySafelyOrAreRefused) {
    struct Case {
        const char* name;
        void (*spoil)(qv::VoiceUnit&);
    };
    const Case cases[] = {
        {"tuning no number", [](qv::VoiceUnit& u) { u.tuning = std::nanf(""); }},
        {"tuning negative", [](qv::VoiceUnit& u) { u.tuning = -3.0f; }},
        {"tuning huge", [](qv::VoiceUnit& u) { u.tuning = 1e30f; }},
        {"basic key lowest", [](qv::VoiceUnit& u) { u.basic_key = INT32_MIN; }},
        {"basic key highest", [](qv::VoiceUnit& u) { u.basic_key = INT32_MAX; }},
        {"beat fit", [](qv::VoiceUnit& u) { u.voice_flags = 7; }},
        {"volume and pan beyond 128", [](qv::VoiceUnit& u) { u.volume = INT32_MAX; u.pan = INT32_MIN; }},
        {"resolution huge", [](qv::VoiceUnit& u) { u.wave.resolution = INT32_MAX; }},
        {"resolution negative", [](qv::VoiceUnit& u) { u.wave.resolution = -200; }},
        {"harmonics 0 and huge", [](qv::VoiceUnit& u) {
             u.wave.kind = qv::WAVE_OVERTONE;
             u.wave.points = {{0, 128}, {INT32_MAX, INT32_MIN}, {INT32_MIN, 5}};
             u.wave.point_count = 3; }},
        {"envelope step huge", [](qv::VoiceUnit& u) { u.envelope.points[0] = {INT32_MAX, 128}; }},
        {"envelope step negative", [](qv::VoiceUnit& u) { u.envelope.points[0] = {-100, 128}; }},
        {"release huge", [](qv::VoiceUnit& u) { u.envelope.points[1] = {INT32_MAX, 0}; }},
        {"envelope fps 0", [](qv::VoiceUnit& u) { u.envelope.fps = 0; }},
        {"envelope fps negative", [](qv::VoiceUnit& u) { u.envelope.fps = -100; }},
        {"envelope level beyond 128", [](qv::VoiceUnit& u) { u.envelope.points[0] = {5, INT32_MAX}; }},
    };
    tooltest::TempDir dir;
    for (const Case& c : cases) {
        qv::Voice voice;
        ASSERT_TRUE(qv::allocate_units(voice, 3)); // a third unit, which no tone has room for
        for (qv::VoiceUnit& u : voice.units) {
            u.basic_key = 45 * 256;
            u.volume = 64;
            u.pan = 64;
            u.tuning = 1.0f;
            u.voice_flags = 3;
            u.data_flags = 3;
            u.wave.resolution = 200;
            u.wave.point_count = 3;
            u.wave.points = {{0, 0}, {50, 64}, {150, -64}};
            u.envelope.fps = 100;
            u.envelope.head_count = 1;
            u.envelope.tail_count = 1;
            u.envelope.points = {{2, 128}, {3, 0}};
        }
        c.spoil(voice.units[0]);
        const std::filesystem::path path = dir.path / "hostile.qvvoice";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_TRUE(qv::write_voice(file, voice)) << c.name;
        std::fclose(file);
        const tooltest::ToolResult r = run_tool({"render", path.string(), (dir.path / "out.wav").string(),
                                                 "--rate", "11025", "--hold", "0.05", "--buffer", "0.05"});
        EXPECT_TRUE(r.status == 0 || (r.status == 1 && !r.err.empty())) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << c.name << ": " << r.err;
    }
}

TEST(ToolRender, RefusesWhatItCannotPlay) {
    tooltest::TempDir dir;
    const std::filesystem::path voice = dir.path / "default.qvvoice";
    tooltest::write_file(voice, DEFAULT_VOICE);
    const std::string out = (dir.path / "out.wav").string();
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"render", voice.string()}, 2},
        {{"render", voice.string(), out, "--hold"}, 2},
        {{"render", voice.string(), out, "--hold", "-1"}, 2},
        {{"render", voice.string(), out, "--buffer", "0"}, 2},
        {{"render", voice.string(), out, "--key", "x"}, 2},
        {{"render", voice.string(), out, "--volume", "3"}, 2},
        {{"render", voice.string(), out, "--bits", "12"}, 1},
        {{"render", voice.string(), out, "--rate", "96000"}, 1},
        {{"render", voice.string(), out, "--channels", "3"}, 1},
        {{"render", (dir.path / "missing.qvvoice").string(), out}, 1},
        {{"render", (dir.path / "notes.txt").string(), out}, 1},
    };
    for (const auto& c : cases) {
        const tooltest::ToolResult r = run_tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
