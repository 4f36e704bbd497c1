// qvvoice-tool info: the JSON of a voice file, and the exit statuses of failures.
#include "tool_run.h"

#include "voice/voice_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

using tooltest::run_tool;

const std::vector<unsigned char> EXAMPLE_FILE = {
    'Q', 'V', 'V', 'O', 'I', 'C', 'E', '-', 0xCF, 0x17, 0x32, 0x01, 0x19, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x01, 0x80, 0x5A, 0x40, 0x40, 0x80, 0x80, 0x80, 0xFC, 0x03, 0x03, 0x01,
    0x00, 0x03, 0xC8, 0x01, 0x00, 0x00, 0x32, 0x40, 0x96, 0xC0};

int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ToolInfo, PrintsTheExampleVoice) {
    tooltest::TempDir dir;
    const auto path = dir.path / "example.qvvoice";
    tooltest::write_file(path, EXAMPLE_FILE);
    const tooltest::ToolResult r = run_tool({"info", path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"units\":[{\"basic_key\":11520,\"volume\":64,\"pan\":64,\"tuning\":1.0,"
                     "\"voice_flags\":3,\"data_flags\":1,\"wave\":{\"kind\":0,\"resolution\":200,"
                     "\"points\":[[0,0],[50,64],[150,-64]]},\"envelope\":null}]}\n");
    EXPECT_EQ(r.err, "");
}

TEST(ToolInfo, EnvelopesOvertonesEmptyWavesAndOddTunings) {
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 3));
    qv::VoiceUnit& a = voice.units[0];
    a = {-256, 128, 0, 0.1f, 2, 3, {}, {100, 2, 0, 1, {{0, 128}, {20, 64}, {30, 0}}}};
    a.wave.kind = qv::WAVE_OVERTONE;
    a.wave.point_count = 2;
    a.wave.points = {{1, 128}, {3, -40}};
    voice.units[1] = {17664, 0, 128, std::numeric_limits<float>::quiet_NaN(), 0, 0, {}, {}};
    voice.units[2] = {0, 1, 2, 3.0e10f, 1, 2, {}, {7, 0, 0, 1, {{5, 9}}}};

    tooltest::TempDir dir;
    const auto path = dir.path / "three.qvvoice";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(qv::write_voice(file, voice));
    std::fclose(file);

    const tooltest::ToolResult r = run_tool({"info", path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"units\":["
              "{\"basic_key\":-256,\"volume\":128,\"pan\":0,\"tuning\":0.1,\"voice_flags\":2,"
              "\"data_flags\":3,\"wave\":{\"kind\":1,\"resolution\":0,\"points\":[[1,128],[3,-40]]},"
              "\"envelope\":{\"fps\":100,\"head\":[[0,128],[20,64]],\"tail\":[[30,0]]}},"
              "{\"basic_key\":17664,\"volume\":0,\"pan\":128,\"tuning\":null,\"voice_flags\":0,"
              "\"data_flags\":0,\"wave\":{\"kind\":0,\"resolution\":0,\"points\":[]},"
              "\"envelope\":null},"
              "{\"basic_key\":0,\"volume\":1,\"pan\":2,\"tuning\":3e+10,\"voice_flags\":1,"
              "\"data_flags\":2,\"wave\":{\"kind\":0,\"resolution\":0,\"points\":[]},"
              "\"envelope\":{\"fps\":7,\"head\":[],\"tail\":[[5,9]]}}"
              "]}\n");
}

TEST(ToolInfo, UnreadableFilesFailWithOneLine) {
    tooltest::TempDir dir;
    std::vector<unsigned char> truncated(EXAMPLE_FILE.begin(), EXAMPLE_FILE.end() - 1);
    tooltest::write_file(dir.path / "short.qvvoice", truncated);
    std::vector<unsigned char> other = EXAMPLE_FILE;
    other[0] = 'X';
    tooltest::write_file(dir.path / "other.qvvoice", other);

    const std::string cases[] = {(dir.path / "missing.qvvoice").string(),
                                 (dir.path / "short.qvvoice").string(),
                                 (dir.path / "other.qvvoice").string(), dir.path.string()};
    for (const std::string& path : cases) {
        const tooltest::ToolResult r = run_tool({"info", path});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out, "") << path;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    }
    EXPECT_NE(run_tool({"info", cases[2]}).err.find("not a voice file"), std::string::npos);
}

TEST(ToolInfo, UsageErrors) {
    const std::vector<std::string> cases[] = {{"info"}, {"info", "a", "b"}, {}, {"no-such-verb"}};
    for (const auto& args : cases) {
        const tooltest::ToolResult r = run_tool(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
    }
}

} // namespace
