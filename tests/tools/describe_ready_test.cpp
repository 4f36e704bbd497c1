// qvvoice-tool describe and ready on sox-made WAV files, noise files and voice files.
#include "tool_run.h"

#include "voice/noise_generator.h"
#include "voice/render.h"
#include "voice/voice_file.h"
#include "voice/wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using tooltest::run_tool;

std::string sox_wav(const std::filesystem::path& path, int rate, int channels, int bits,
                    const std::string& seconds) {
    const std::string command = "sox -n -r " + std::to_string(rate) + " -c " +
                                std::to_string(channels) + " -b " + std::to_string(bits) + " -e " +
                                (bits == 8 ? "unsigned-integer" : "signed-integer") + " '" +
                                path.string() + "' synth " + seconds + " sine 300";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path.string();
}

int newlines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void put_varint(std::vector<unsigned char>& out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<unsigned char>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<unsigned char>(v));
}

// One layer: a 440 Hz saw modulated by a random oscillator, panned right, rising over 50 ms.
std::vector<unsigned char> noise_file(uint32_t length) {
    std::vector<unsigned char> out = {'Q', 'V', 'N',  'O',  'I',  'S',
                                      'E', '-', 0x54, 0xF3, 0x31, 0x01};
    put_varint(out, length);
    out.push_back(1);
    put_varint(out, 0x04 | 0x08 | 0x10 | 0x20);
    put_varint(out, 1);
    put_varint(out, 50);
    put_varint(out, 100);
    out.push_back(30);
    for (uint32_t v : {2u, 0u, 4400u, 1000u, 0u, 4u, 0u, 200u, 300u, 0u})
        put_varint(out, v);
    return out;
}

TEST(ToolDescribe, SoxWavFiles) {
    tooltest::TempDir dir;
    tooltest::ToolResult r =
        run_tool({"describe", sox_wav(dir.path / "tone.wav", 22050, 1, 16, "2")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "tone.wav\n Mono\n 22050 Hz\n 16 bps\n 2.00 sec\n");
    EXPECT_EQ(r.err, "");
    r = run_tool({"describe", sox_wav(dir.path / "LOUD.WAV", 11025, 2, 8, "0.5")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "LOUD.WAV\n Stereo\n 11025 Hz\n 8 bps\n 0.50 sec\n");
}

TEST(ToolDescribe, NoiseAndVoiceFiles) {
    tooltest::TempDir dir;
    tooltest::write_file(dir.path / "wind.qvnoise", noise_file(22050));
    tooltest::ToolResult r = run_tool({"describe", (dir.path / "wind.qvnoise").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wind.qvnoise\n0.50 sec\n");

    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 2));
    for (qv::VoiceUnit& unit : voice.units) {
        unit.volume = 128;
        unit.pan = 64;
        unit.tuning = 1.0f;
        unit.voice_flags = 3;
        unit.data_flags = 1;
        unit.wave.kind = qv::WAVE_OVERTONE;
        unit.wave.point_count = 1;
        unit.wave.points = {{1, 128}};
    }
    const std::string path = (dir.path / "pair.qvvoice").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(qv::write_voice(file, voice)) << qv::voice_file_error();
    std::fclose(file);
    r = run_tool({"describe", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pair.qvvoice\n2 voice\n");
}

TEST(ToolDescribe, FailuresSayOneLine) {
    tooltest::TempDir dir;
    tooltest::write_file(dir.path / "song.ogg", {'O', 'g', 'g', 'S', 0});
    tooltest::write_file(dir.path / "notes.txt", {'h', 'i'});
    tooltest::write_file(dir.path / "bad.wav", {'R', 'I', 'F', 'F'});
    tooltest::write_file(dir.path / "bad.qvnoise", {'Q', 'V', 'N'});
    for (const char* name : {"song.ogg", "notes.txt", "bad.wav", "bad.qvnoise", "missing.wav"}) {
        for (const char* verb : {"describe", "ready"}) {
            std::vector<std::string> args = {verb, (dir.path / name).string()};
            if (std::string(verb) == "ready")
                args.push_back((dir.path / "out.wav").string());
            const tooltest::ToolResult r = run_tool(args);
            EXPECT_EQ(r.status, 1) << verb << " " << name;
            EXPECT_EQ(r.out, "") << verb << " " << name;
            EXPECT_EQ(newlines(r.err), 1) << verb << " " << name << ": " << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path / "out.wav"));
    EXPECT_EQ(run_tool({"describe"}).status, 2);
    EXPECT_EQ(run_tool({"ready", "x.wav"}).status, 2);
}

TEST(ToolReady, SoxWavBecomesTheReadyFormat) {
    tooltest::TempDir dir;
    const std::string in = sox_wav(dir.path / "in.wav", 11025, 2, 8, "0.1");
    const std::string out = (dir.path / "out.wav").string();
    const tooltest::ToolResult r = run_tool({"ready", in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    qv::PcmSample source;
    qv::PcmSample ready;
    ASSERT_TRUE(qv::read_wav(in, source));
    ASSERT_TRUE(qv::read_wav(out, ready)) << qv::wav_error();
    EXPECT_EQ(ready.channels, 2);
    EXPECT_EQ(ready.samples_per_second, 44100);
    EXPECT_EQ(ready.bits_per_sample, 16);
    ASSERT_EQ(ready.body, 4 * source.body);
    // Each 8-bit frame repeated four times, widened to 16 bits.
    for (int32_t i = 0; i < ready.body; ++i)
        for (int c = 0; c < 2; ++c) {
            const std::size_t at = static_cast<std::size_t>(4 * i + 2 * c);
            const int16_t v = static_cast<int16_t>(ready.data[at] | ready.data[at + 1] << 8);
            ASSERT_EQ(v, (source.data[static_cast<std::size_t>(2 * (i / 4) + c)] - 128) * 256)
                << "frame " << i;
        }
    // soxi agrees on the header it reads.
    const std::string soxi = "test \"$(soxi -r '" + out + "')\" = 44100 && test \"$(soxi -c '" +
                             out + "')\" = 2 && test \"$(soxi -b '" + out + "')\" = 16";
    EXPECT_EQ(std::system(soxi.c_str()), 0);
}

TEST(ToolReady, VoiceFileGivesItsFirstUnitsCycle) {
    tooltest::TempDir dir;
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 2));
    for (qv::VoiceUnit& unit : voice.units) {
        unit.volume = 100;
        unit.pan = 20;
        unit.tuning = 1.0f;
        unit.voice_flags = 3;
        unit.data_flags = 1;
        unit.wave.kind = qv::WAVE_OVERTONE;
        unit.wave.point_count = 2;
        unit.wave.points = {{1, 128}, {3, -64}};
    }
    voice.units[1].wave.points[0].y = 5; // the second unit must not be the one written
    const std::string path = (dir.path / "v.qvvoice").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(qv::write_voice(file, voice)) << qv::voice_file_error();
    std::fclose(file);
    const std::string out = (dir.path / "v.wav").string();
    const tooltest::ToolResult r = run_tool({"ready", path, out});
    ASSERT_EQ(r.status, 0) << r.err;
    qv::PcmSample ready;
    ASSERT_TRUE(qv::read_wav(out, ready)) << qv::wav_error();
    EXPECT_EQ(ready.body, qv::WAVE_TABLE_LENGTH);
    std::vector<int16_t> expected;
    ASSERT_TRUE(qv::render_unit_wave_table(voice.units[0], expected));
    ASSERT_EQ(ready.data.size(), expected.size() * 2);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(ready.data[2 * i] | ready.data[2 * i + 1] << 8), expected[i])
            << "sample " << i;
}

TEST(ToolReady, NoiseDesignBecomesASample) {
    tooltest::TempDir dir;
    tooltest::write_file(dir.path / "wind.qvnoise", noise_file(22050));
    const std::string out = (dir.path / "wind.wav").string();
    const tooltest::ToolResult r = run_tool({"ready", (dir.path / "wind.qvnoise").string(), out});
    ASSERT_EQ(r.status, 0) << r.err;
    qv::PcmSample ready;
    ASSERT_TRUE(qv::read_wav(out, ready)) << qv::wav_error();
    EXPECT_EQ(ready.body, 22050);

    qv::NoiseDesign design;
    design.length_44k = 22050;
    design.unit_count = 1;
    design.units.resize(1);
    qv::NoiseUnit& layer = design.units[0];
    layer.enabled = 1;
    layer.envelope_count = 1;
    layer.envelope = {{50, 100}};
    layer.pan = 30;
    layer.main = {qv::NOISE_SAW, 440.0f, 100.0f, 0.0f, 0};
    layer.frequency_mod = {qv::NOISE_RANDOM, 20.0f, 30.0f, 0.0f, 0};
    std::vector<uint8_t> expected;
    ASSERT_TRUE(qv::render_noise(expected, design, 2, 44100, 16));
    EXPECT_EQ(ready.data, expected);
}

} // namespace
