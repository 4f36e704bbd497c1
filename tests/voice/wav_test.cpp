// WAV reading (hand-made and sox-made files, hostile sizes) and the PCM copy and conversions.
#include "voice/wav.h"
#include "voice/wav_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put_id(std::vector<uint8_t>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

struct Format {
    uint32_t tag = 1;
    uint32_t channels = 1;
    uint32_t rate = 22050;
    uint32_t bits = 16;
};

std::vector<uint8_t> riff_header(const Format& f) {
    std::vector<uint8_t> out;
    put_id(out, "RIFF");
    put32(out, 0); // not checked
    put_id(out, "WAVE");
    put_id(out, "fmt ");
    put32(out, 16);
    put16(out, f.tag);
    put16(out, f.channels);
    put32(out, f.rate);
    put32(out, f.rate * f.channels * f.bits / 8);
    put16(out, f.channels * f.bits / 8);
    put16(out, f.bits);
    return out;
}

void put_chunk(std::vector<uint8_t>& out, const char* id, std::vector<uint8_t> body,
               bool pad = true) {
    put_id(out, id);
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1)
        out.push_back(0);
}

// A mono 16-bit 22050 Hz file with four samples: 52 bytes.
std::vector<uint8_t> small_wav() {
    std::vector<uint8_t> file = riff_header({});
    put_chunk(file, "data", {1, 0, 2, 0, 0xFF, 0xFF, 0x00, 0x80});
    return file;
}

TEST(WavRead, SmallMonoFile) {
    const std::vector<uint8_t> file = small_wav();
    ASSERT_EQ(file.size(), 52u);
    qv::PcmSample s;
    ASSERT_TRUE(qv::read_wav(file, s)) << qv::wav_error();
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.samples_per_second, 22050);
    EXPECT_EQ(s.bits_per_sample, 16);
    EXPECT_EQ(s.head, 0);
    EXPECT_EQ(s.body, 4);
    EXPECT_EQ(s.tail, 0);
    EXPECT_EQ(s.data, (std::vector<uint8_t>{1, 0, 2, 0, 0xFF, 0xFF, 0x00, 0x80}));
}

TEST(WavRead, SkipsOtherChunksWithTheirPadByte) {
    for (std::size_t list_size : {4u, 5u, 0u}) {
        std::vector<uint8_t> file = riff_header({});
        // The odd chunk's body ends in bytes that look like a chunk header: misreading the pad
        // byte would find them.
        std::vector<uint8_t> list(list_size, 'd');
        put_chunk(file, "LIST", list);
        put_chunk(file, "data", {7, 0, 9, 0});
        qv::PcmSample s;
        ASSERT_TRUE(qv::read_wav(file, s)) << list_size << ": " << qv::wav_error();
        EXPECT_EQ(s.body, 2);
        EXPECT_EQ(s.data, (std::vector<uint8_t>{7, 0, 9, 0}));
    }
}

TEST(WavRead, RejectsMalformedFiles) {
    auto with_format = [](Format f) {
        std::vector<uint8_t> file = riff_header(f);
        put_chunk(file, "data", {0, 0, 0, 0});
        return file;
    };
    std::vector<uint8_t> list_first = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    put_chunk(list_first, "LIST", {1, 2});
    const std::vector<uint8_t> plain = riff_header({});
    put_chunk(list_first, "fmt ", std::vector<uint8_t>(plain.begin() + 20, plain.end()));
    std::vector<uint8_t> no_data = riff_header({});
    put_chunk(no_data, "LIST", {1, 2, 3});
    std::vector<uint8_t> huge_data = riff_header({});
    put_id(huge_data, "data");
    put32(huge_data, 0xFFFFFFF0u);
    huge_data.insert(huge_data.end(), 64, 0);
    std::vector<uint8_t> huge_skip = riff_header({});
    put_id(huge_skip, "LIST");
    put32(huge_skip, 0xFFFFFFFFu);
    put_chunk(huge_skip, "data", {0, 0});
    std::vector<uint8_t> short_data = small_wav();
    short_data.pop_back();
    std::vector<uint8_t> not_riff = small_wav();
    not_riff[0] = 'X';
    std::vector<uint8_t> not_wave = small_wav();
    not_wave[11] = 'X';

    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"format tag 3", with_format({3, 1, 22050, 32})},
        {"24 bits", with_format({1, 1, 22050, 24})},
        {"6 channels", with_format({1, 6, 22050, 16})},
        {"0 channels", with_format({1, 0, 22050, 16})},
        {"rate 0", with_format({1, 1, 0, 16})},
        {"negative rate", with_format({1, 1, 0x80000000u, 16})},
        {"first chunk not fmt", list_first},
        {"no data chunk", no_data},
        {"data larger than the file", huge_data},
        {"chunk size past the end", huge_skip},
        {"data one byte short", short_data},
        {"not RIFF", not_riff},
        {"not WAVE", not_wave},
    };
    for (const auto& [name, bytes] : cases) {
        qv::PcmSample s;
        s.data = {1, 2, 3};
        EXPECT_FALSE(qv::read_wav(bytes, s)) << name;
        EXPECT_TRUE(s.data.empty()) << name;
        EXPECT_FALSE(qv::wav_error().empty()) << name;
    }
}

TEST(WavRead, EveryTruncationIsRefused) {
    std::vector<uint8_t> file = riff_header({1, 2, 8000, 8});
    put_chunk(file, "LIST", {1, 2, 3});
    put_chunk(file, "data", {1, 2, 3, 4});
    qv::PcmSample s;
    ASSERT_TRUE(qv::read_wav(file, s));
    for (std::size_t n = 0; n < file.size(); ++n) {
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<long>(n));
        EXPECT_FALSE(qv::read_wav(prefix, s)) << n << " bytes";
    }
}

TEST(WavRead, MissingFileFails) {
    qv::PcmSample s;
    EXPECT_FALSE(qv::read_wav(std::string("/nonexistent/qv/none.wav"), s));
    EXPECT_FALSE(qv::read_wav(testing::TempDir(), s)); // a folder
}

// --- files made by sox --------------------------------------------------------------------------

std::vector<uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TEST(WavRead, SoxFilesReadAsTheirHeadersSay) {
    const std::string dir = testing::TempDir();
    struct Case {
        int rate, channels, bits;
    };
    const Case cases[] = {
        {11025, 1, 8}, {22050, 2, 8}, {44100, 1, 16}, {48000, 2, 16}, {32000, 2, 8}};
    for (const Case& c : cases) {
        const std::string base = dir + "/qv_sox_" + std::to_string(c.rate) + "_" +
                                 std::to_string(c.channels) + "_" + std::to_string(c.bits);
        const std::string wav = base + ".wav";
        const std::string raw = base + ".raw";
        const std::string encoding = c.bits == 8 ? "unsigned-integer" : "signed-integer";
        const std::string make = "sox -n -r " + std::to_string(c.rate) + " -c " +
                                 std::to_string(c.channels) + " -b " + std::to_string(c.bits) +
                                 " -e " + encoding + " '" + wav + "' synth 0.25 sine 440 sine 660" +
                                 " && sox '" + wav + "' -t raw '" + raw + "'";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const std::vector<uint8_t> samples = slurp(raw);
        const int frame = c.channels * c.bits / 8;
        ASSERT_EQ(samples.size() % static_cast<std::size_t>(frame), 0u);

        qv::PcmSample s;
        ASSERT_TRUE(qv::read_wav(wav, s)) << wav << ": " << qv::wav_error();
        EXPECT_EQ(s.channels, c.channels);
        EXPECT_EQ(s.samples_per_second, c.rate);
        EXPECT_EQ(s.bits_per_sample, c.bits);
        EXPECT_EQ(s.body, c.rate / 4);
        EXPECT_EQ(s.data, samples) << wav;

        // An odd-sized "LIST" chunk with its pad byte between "fmt " and "data".
        std::vector<uint8_t> file = slurp(wav);
        const uint32_t fmt_size = file[16] | file[17] << 8 | file[18] << 16 | file[19] << 24;
        std::vector<uint8_t> list;
        put_chunk(list, "LIST", {'I', 'N', 'F', 'O', 'x'});
        ASSERT_EQ(list.size(), 14u);
        file.insert(file.begin() + 20 + fmt_size, list.begin(), list.end());
        const std::string spliced = base + "_list.wav";
        spit(spliced, file);
        qv::PcmSample t;
        ASSERT_TRUE(qv::read_wav(spliced, t)) << qv::wav_error();
        EXPECT_EQ(t.body, s.body);
        EXPECT_EQ(t.data, s.data);
        std::remove(wav.c_str());
        std::remove(raw.c_str());
        std::remove(spliced.c_str());
    }
}

// --- writer -------------------------------------------------------------------------------------

TEST(WavWriter, WritesWhatTheReaderReadsBack) {
    const std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> file;
    ASSERT_TRUE(qv::wav_file_bytes(file, 2, 44100, 16, data));
    EXPECT_EQ(file.size(), 44u + 8);
    qv::PcmSample s;
    ASSERT_TRUE(qv::read_wav(file, s));
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.samples_per_second, 44100);
    EXPECT_EQ(s.bits_per_sample, 16);
    EXPECT_EQ(s.body, 2);
    EXPECT_EQ(s.data, data);
    // An odd 8-bit mono body gets its pad byte and still reads back.
    ASSERT_TRUE(qv::wav_file_bytes(file, 1, 8000, 8, std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(file.size(), 44u + 4);
    ASSERT_TRUE(qv::read_wav(file, s));
    EXPECT_EQ(s.data, (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_FALSE(qv::wav_file_bytes(file, 2, 44100, 16, std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(qv::wav_file_bytes(file, 2, 0, 16, data));
    EXPECT_FALSE(qv::write_wav_file("/nonexistent/qv/out.wav", 2, 44100, 16, data));
}

// A write cut short (here by a file-size limit) leaves the earlier file as it was, not a
// truncated WAV under its name.
TEST(WavWriter, AFailedWriteKeepsTheFileThatWasThere) {
    const std::string out = testing::TempDir() + "/qv_kept.wav";
    ASSERT_TRUE(qv::write_wav_file(out, 2, 44100, 16, std::vector<uint8_t>(400, 1)));
    const std::vector<uint8_t> before = slurp(out);
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 2000;
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = qv::write_wav_file(out, 2, 44100, 16, std::vector<uint8_t>(8000, 2));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(slurp(out), before);
    std::remove(out.c_str());
}

// --- copy and conversion ------------------------------------------------------------------------

qv::PcmSample pcm(int32_t channels, int32_t rate, int32_t bits, std::vector<uint8_t> data) {
    qv::PcmSample s;
    s.channels = channels;
    s.samples_per_second = rate;
    s.bits_per_sample = bits;
    s.body = static_cast<int32_t>(data.size() / static_cast<std::size_t>(channels * bits / 8));
    s.data = std::move(data);
    return s;
}

std::vector<uint8_t> le16(std::initializer_list<int16_t> values) {
    std::vector<uint8_t> out;
    for (int16_t v : values)
        put16(out, static_cast<uint16_t>(v));
    return out;
}

TEST(PcmConvert, ChannelAndWidthTable) {
    struct Case {
        const char* name;
        qv::PcmSample in;
        int32_t channels, bits;
        std::vector<uint8_t> out;
    };
    const Case cases[] = {
        {"8-bit mono to stereo", pcm(1, 8000, 8, {0x00, 0xFF}), 2, 8, {0x00, 0x00, 0xFF, 0xFF}},
        {"8-bit stereo to mono", pcm(2, 8000, 8, {0x10, 0x21}), 1, 8, {0x18}},
        {"16-bit stereo to mono", pcm(2, 8000, 16, le16({-3, 0})), 1, 16, le16({-1})},
        {"16-bit mono to stereo", pcm(1, 8000, 16, le16({-300})), 2, 16, le16({-300, -300})},
        {"16-bit to 8-bit",
         pcm(1, 8000, 16, le16({-1, -256, 32767, -32768, 255})),
         1,
         8,
         {128, 127, 255, 0, 128}},
        {"8-bit to 16-bit", pcm(1, 8000, 8, {0, 128, 255}), 1, 16, le16({-32768, 0, 32512})},
        {"stereo 16 to mono 8", pcm(2, 8000, 16, le16({1000, 3000})), 1, 8, {128 + 7}},
        {"unchanged", pcm(2, 8000, 16, le16({5, 6})), 2, 16, le16({5, 6})},
    };
    for (const Case& c : cases) {
        qv::PcmSample s = c.in;
        ASSERT_TRUE(qv::convert_pcm(s, c.channels, 8000, c.bits)) << c.name;
        EXPECT_EQ(s.data, c.out) << c.name;
        EXPECT_EQ(s.channels, c.channels) << c.name;
        EXPECT_EQ(s.bits_per_sample, c.bits) << c.name;
        EXPECT_EQ(s.body, c.in.body) << c.name;
    }
}

TEST(PcmConvert, RateRepeatsOrDropsWholeFrames) {
    qv::PcmSample up = pcm(2, 22050, 16, le16({-5, 7}));
    ASSERT_TRUE(qv::convert_rate(up, 44100));
    EXPECT_EQ(up.body, 2);
    EXPECT_EQ(up.samples_per_second, 44100);
    EXPECT_EQ(up.data, le16({-5, 7, -5, 7}));

    std::vector<int16_t> frames;
    std::vector<uint8_t> bytes;
    for (int16_t i = 0; i < 400; ++i) {
        put16(bytes, static_cast<uint16_t>(i));
        put16(bytes, static_cast<uint16_t>(-i));
    }
    qv::PcmSample down = pcm(2, 44100, 16, bytes);
    ASSERT_TRUE(qv::convert_rate(down, 22050));
    ASSERT_EQ(down.body, 200);
    ASSERT_EQ(down.data.size(), 800u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(static_cast<int16_t>(down.data[4 * i] | down.data[4 * i + 1] << 8), 2 * i);
        EXPECT_EQ(static_cast<int16_t>(down.data[4 * i + 2] | down.data[4 * i + 3] << 8), -2 * i);
    }

    // Odd ratios round each part up: 3 mono 8-bit frames at 3 Hz become 4 frames at 4 Hz.
    qv::PcmSample odd = pcm(1, 3, 8, {10, 20, 30});
    ASSERT_TRUE(qv::convert_rate(odd, 4));
    EXPECT_EQ(odd.data, (std::vector<uint8_t>{10, 10, 20, 30}));
    EXPECT_EQ(odd.body, 4);

    // A sample with head and tail parts: every part is rounded up on its own and no source
    // frame past the end is read.
    qv::PcmSample parts = pcm(1, 3, 8, {1, 2, 3, 4, 5});
    parts.head = 1;
    parts.body = 3;
    parts.tail = 1;
    ASSERT_TRUE(qv::convert_rate(parts, 4));
    EXPECT_EQ(parts.head + parts.body + parts.tail, 2 + 4 + 2);
    EXPECT_EQ(parts.data, (std::vector<uint8_t>{1, 1, 2, 3, 4, 4, 5, 5}));
}

TEST(PcmConvert, FailuresLeaveAConsistentSample) {
    qv::PcmSample s = pcm(1, 8000, 8, {1, 2});
    const qv::PcmSample before = s;
    EXPECT_FALSE(qv::convert_channels(s, 3));
    EXPECT_FALSE(qv::convert_bits(s, 24));
    EXPECT_FALSE(qv::convert_rate(s, 0));
    EXPECT_FALSE(qv::convert_rate(s, -44100));
    EXPECT_EQ(s.data, before.data);
    EXPECT_EQ(s.samples_per_second, 8000);

    qv::PcmSample empty;
    empty.channels = 1;
    empty.bits_per_sample = 8;
    empty.samples_per_second = 8000;
    EXPECT_FALSE(qv::convert_channels(empty, 2)); // data absent
    EXPECT_FALSE(qv::convert_rate(empty, 8000));

    qv::PcmSample lying = pcm(1, 8000, 8, {1, 2});
    lying.body = 1000; // more frames than bytes
    EXPECT_FALSE(qv::convert_pcm(lying, 2, 44100, 16));

    // A result over 1 GiB fails like an allocation failure: the sample is emptied, no abort.
    qv::PcmSample huge = pcm(2, 1, 16, le16({1, 2}));
    EXPECT_FALSE(qv::convert_rate(huge, 1 << 30));
    EXPECT_TRUE(huge.data.empty());
    EXPECT_EQ(huge.body, 0);
}

TEST(PcmCopy, CopiesFieldsAndData) {
    qv::PcmSample source = pcm(2, 11025, 8, {1, 2, 3, 4});
    source.head = 0;
    qv::PcmSample copy;
    ASSERT_TRUE(qv::copy_pcm(copy, source));
    EXPECT_EQ(copy.channels, 2);
    EXPECT_EQ(copy.samples_per_second, 11025);
    EXPECT_EQ(copy.bits_per_sample, 8);
    EXPECT_EQ(copy.body, 2);
    EXPECT_EQ(copy.data, source.data);
    copy.data[0] = 99;
    EXPECT_EQ(source.data[0], 1);

    qv::PcmSample none = pcm(1, 8000, 16, {});
    ASSERT_TRUE(qv::copy_pcm(copy, none));
    EXPECT_TRUE(copy.data.empty());
    EXPECT_EQ(copy.bits_per_sample, 16);
    qv::release_pcm(source);
    EXPECT_TRUE(source.data.empty());
    EXPECT_EQ(source.body, 2);
}

} // namespace
