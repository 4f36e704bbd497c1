// The voice file: the 41-byte example both ways, the reader's accept/reject table, truncated and
// hostile files, and the writer's handling of every wave kind.
#include "voice/voice_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Test-side encoder, kept apart from the code under test.
struct FileBuilder {
    Bytes bytes;

    FileBuilder& raw(std::initializer_list<uint8_t> b) {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    FileBuilder& u32(uint32_t v) {
        return raw({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    }
    FileBuilder& v(int64_t value) {
        auto u = static_cast<uint32_t>(value);
        do {
            uint8_t b = u & 0x7F;
            u >>= 7;
            if (u != 0)
                b |= 0x80;
            bytes.push_back(b);
        } while (u != 0);
        return *this;
    }
    FileBuilder& header(uint32_t version, int32_t r1, int32_t r2, int32_t r3, int64_t units) {
        for (char c : std::string("QVVOICE-"))
            bytes.push_back(static_cast<uint8_t>(c));
        return u32(version).u32(0).v(r1).v(r2).v(r3).v(units);
    }
    // basic key, volume, pan, tuning 1.0, then the flags.
    FileBuilder& unit(uint32_t voice_flags, uint32_t data_flags) {
        return v(11520).v(64).v(64).v(0x3F800000).v(voice_flags).v(data_flags);
    }
    FileBuilder& coordinate_wave() { return v(0).v(2).v(200).raw({0, 0, 100, 0x80}); }
    FileBuilder& envelope(int32_t body, int32_t tail) {
        v(100).v(2).v(body).v(tail);
        for (int k = 0; k < 2 + body + tail; ++k)
            v(10 * k).v(64);
        return *this;
    }
};

Bytes write_bytes(const qv::Voice& voice, bool expect_ok = true) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(qv::write_voice(file, voice), expect_ok) << qv::voice_file_error();
    Bytes bytes(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

bool read_bytes(const Bytes& bytes, qv::Voice& voice) {
    qv::ByteStream stream;
    qv::open_memory(stream, bytes);
    return qv::read_voice(stream, voice);
}

qv::Voice example_voice() {
    qv::Voice voice;
    EXPECT_TRUE(qv::allocate_units(voice, 1));
    qv::VoiceUnit& u = voice.units[0];
    u.basic_key = 11520;
    u.volume = 64;
    u.pan = 64;
    u.tuning = 1.0f;
    u.voice_flags = 3;
    u.data_flags = 1;
    u.wave.kind = qv::WAVE_COORDINATE;
    u.wave.resolution = 200;
    u.wave.point_count = 3;
    u.wave.points = {{0, 0}, {50, 64}, {150, -64}};
    return voice;
}

const Bytes EXAMPLE_FILE = {
    'Q', 'V', 'V', 'O', 'I', 'C', 'E', '-', 0xCF, 0x17, 0x32, 0x01, 0x19, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x01, 0x80, 0x5A, 0x40, 0x40, 0x80, 0x80, 0x80, 0xFC, 0x03, 0x03, 0x01,
    0x00, 0x03, 0xC8, 0x01, 0x00, 0x00, 0x32, 0x40, 0x96, 0xC0};

TEST(VoiceFile, ExampleWrittenByteForByteAndReadBack) {
    ASSERT_EQ(EXAMPLE_FILE.size(), 41u);
    EXPECT_EQ(write_bytes(example_voice()), EXAMPLE_FILE);

    qv::Voice voice;
    ASSERT_TRUE(read_bytes(EXAMPLE_FILE, voice)) << qv::voice_file_error();
    ASSERT_EQ(voice.unit_count, 1);
    ASSERT_EQ(voice.ready.size(), 1u);
    const qv::VoiceUnit& u = voice.units[0];
    EXPECT_EQ(u.basic_key, 11520);
    EXPECT_EQ(u.volume, 64);
    EXPECT_EQ(u.pan, 64);
    EXPECT_EQ(u.tuning, 1.0f);
    EXPECT_EQ(u.voice_flags, 3u);
    EXPECT_EQ(u.data_flags, 1u);
    EXPECT_EQ(u.wave.kind, qv::WAVE_COORDINATE);
    EXPECT_EQ(u.wave.resolution, 200);
    ASSERT_EQ(u.wave.point_count, 3);
    ASSERT_EQ(u.wave.points.size(), 3u);
    EXPECT_EQ(u.wave.points[2].x, 150);
    EXPECT_EQ(u.wave.points[2].y, -64);
    EXPECT_EQ(u.envelope.head_count + u.envelope.body_count + u.envelope.tail_count, 0);
    EXPECT_TRUE(u.envelope.points.empty());
}

qv::Voice rich_voice() {
    qv::Voice voice = example_voice();
    voice.units.resize(2);
    voice.ready.resize(2);
    voice.unit_count = 2;
    voice.units[0].data_flags = 3;
    voice.units[0].envelope = {100, 2, 0, 1, {{0, 128}, {20, 64}, {30, 0}}};
    qv::VoiceUnit& b = voice.units[1];
    b.basic_key = -300;
    b.volume = 128;
    b.pan = 0;
    b.tuning = 1.5f;
    b.voice_flags = 7;
    b.data_flags = 3;
    b.wave.kind = qv::WAVE_OVERTONE;
    b.wave.point_count = 3;
    b.wave.points = {{1, 128}, {2, -128}, {31, 5}};
    b.envelope = {44100, 1, 0, 1, {{70000, 128}, {1, 0}}};
    return voice;
}

TEST(VoiceFile, RoundTripOfEveryReadableField) {
    const Bytes bytes = write_bytes(rich_voice());
    qv::Voice voice;
    ASSERT_TRUE(read_bytes(bytes, voice)) << qv::voice_file_error();
    EXPECT_EQ(write_bytes(voice), bytes);
    const qv::VoiceUnit& b = voice.units[1];
    EXPECT_EQ(b.basic_key, -300);
    EXPECT_EQ(b.tuning, 1.5f);
    EXPECT_EQ(b.wave.points[1].y, -128);
    EXPECT_EQ(b.envelope.fps, 44100);
    EXPECT_EQ(b.envelope.points[0].x, 70000);
    EXPECT_EQ(voice.units[0].envelope.points[2].x, 30);
    // The body size covers everything after its own field.
    EXPECT_EQ(bytes[12] | bytes[13] << 8 | bytes[14] << 16 | bytes[15] << 24,
              static_cast<int>(bytes.size()) - 16);
}

TEST(VoiceFile, AcceptsAndRejectsExactlyAsTheFormatSays) {
    constexpr uint32_t V = qv::VOICE_FILE_VERSION;
    struct Case {
        const char* what;
        Bytes bytes;
        bool accepted;
    };
    const Case cases[] = {
        {"plain", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).coordinate_wave().bytes, true},
        {"version + 1", FileBuilder().header(V + 1, 0, 0, 0, 0).bytes, false},
        {"version 1", FileBuilder().header(1, 0, 0, 0, 0).bytes, true},
        {"version with top bit", FileBuilder().header(0x80000000u, 0, 0, 0, 0).bytes, true},
        {"reserved 1 is 7", FileBuilder().header(V, 7, 0, 0, 0).bytes, true},
        {"reserved 2 is 1", FileBuilder().header(V, 0, 1, 0, 0).bytes, false},
        {"reserved 3 is 1", FileBuilder().header(V, 0, 0, 1, 0).bytes, false},
        {"bad magic", [] {
             FileBuilder f;
             f.header(V, 0, 0, 0, 0);
             f.bytes[7] = '_';
             return f.bytes;
         }(), false},
        {"no units", FileBuilder().header(V, 0, 0, 0, 0).bytes, true},
        {"unit without parts", FileBuilder().header(V, 0, 0, 0, 1).unit(0, 0).bytes, true},
        {"voice flags 7", FileBuilder().header(V, 0, 0, 0, 1).unit(7, 0).bytes, true},
        {"voice flags 8", FileBuilder().header(V, 0, 0, 0, 1).unit(8, 0).bytes, false},
        {"data flags 4", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 4).bytes, false},
        {"envelope", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).envelope(0, 1).bytes, true},
        {"tail count 0", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).envelope(0, 0).bytes, false},
        {"tail count 2", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).envelope(0, 2).bytes, false},
        {"body count 1", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).envelope(1, 1).bytes, false},
        {"overtones", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(1).v(1).v(1).v(128).bytes,
         true},
        {"noise kind", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(2).bytes, false},
        {"sampled kind", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(3).v(1).v(8).bytes,
         false},
        {"Ogg kind", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(4).bytes, false},
        {"kind 7", FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(7).bytes, false},
        {"ends inside a unit", FileBuilder().header(V, 0, 0, 0, 2).unit(3, 0).v(11520).bytes, false},
        {"trailing bytes", FileBuilder().header(V, 0, 0, 0, 0).raw({1, 2, 3}).bytes, true},
    };
    for (const Case& c : cases) {
        qv::Voice voice;
        EXPECT_EQ(read_bytes(c.bytes, voice), c.accepted) << c.what << ": "
                                                          << qv::voice_file_error();
        if (!c.accepted) {
            EXPECT_EQ(voice.unit_count, 0) << c.what;
        }
    }
}

TEST(VoiceFile, HostileCountsFailBeforeAllocating) {
    constexpr uint32_t V = qv::VOICE_FILE_VERSION;
    constexpr int64_t huge = std::numeric_limits<int32_t>::max();
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"2^31 - 1 units", FileBuilder().header(V, 0, 0, 0, huge).raw({0, 0, 0, 0, 0, 0}).bytes},
        {"2^31 units", FileBuilder().header(V, 0, 0, 0, huge + 1).bytes},
        {"negative units", FileBuilder().header(V, 0, 0, 0, -1).bytes},
        {"units beyond the bytes", FileBuilder().header(V, 0, 0, 0, 2).unit(0, 0).raw({0}).bytes},
        {"huge coordinate count",
         FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(0).v(huge).v(200).raw({1, 2}).bytes},
        {"negative coordinate count",
         FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(0).v(-1).v(200).bytes},
        {"huge overtone count",
         FileBuilder().header(V, 0, 0, 0, 1).unit(3, 1).v(1).v(1 << 30).v(1).v(1).bytes},
        {"huge head count",
         FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).v(100).v(huge).v(0).v(1).v(1).bytes},
        {"negative head count",
         FileBuilder().header(V, 0, 0, 0, 1).unit(3, 2).v(100).v(-1).v(0).v(1).v(1).v(0).bytes},
    };
    for (const Case& c : cases) {
        ASSERT_LE(c.bytes.size(), 48u) << c.what; // small files that claim a lot
        qv::Voice voice;
        EXPECT_FALSE(read_bytes(c.bytes, voice)) << c.what;
        EXPECT_STRNE(qv::voice_file_error(), "out of memory") << c.what;
        EXPECT_EQ(voice.unit_count, 0) << c.what;
    }
}

TEST(VoiceFile, EveryPrefixOfAValidFileIsRefused) {
    const Bytes whole = write_bytes(rich_voice());
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        qv::Voice voice;
        ASSERT_FALSE(read_bytes(prefix, voice)) << n;
        ASSERT_EQ(voice.unit_count, 0) << n;
    }
    qv::Voice voice;
    EXPECT_TRUE(read_bytes(whole, voice));
}

TEST(VoiceFile, CoordinatesKeepTheirLowEightBits) {
    qv::Voice voice = example_voice();
    voice.units[0].wave.point_count = 1;
    voice.units[0].wave.points = {{300, 200}};
    const Bytes bytes = write_bytes(voice);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[bytes.size() - 2], 0x2C);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xC8);
    qv::Voice back;
    ASSERT_TRUE(read_bytes(bytes, back));
    EXPECT_EQ(back.units[0].wave.points[0].x, 44);
    EXPECT_EQ(back.units[0].wave.points[0].y, -56);
}

TEST(VoiceFile, SampledAndNoiseUnitsAreWrittenButNotRead) {
    qv::Voice voice = example_voice();
    qv::VoiceUnit& u = voice.units[0];
    u.wave.kind = qv::WAVE_SAMPLED;
    u.wave.sample = {1, 22050, 8, 0, 3, 0, {0x80, 0x90, 0x70}};
    Bytes bytes = write_bytes(voice);
    const Bytes sampled_tail = {0x03, 0x01, 0x08, 0xA2, 0xAC, 0x01, 0x00, 0x03, 0x00,
                                0x80, 0x90, 0x70};
    ASSERT_GT(bytes.size(), sampled_tail.size());
    EXPECT_EQ(Bytes(bytes.end() - static_cast<std::ptrdiff_t>(sampled_tail.size()), bytes.end()),
              sampled_tail);
    qv::Voice back;
    EXPECT_FALSE(read_bytes(bytes, back));

    u.wave.kind = qv::WAVE_NOISE;
    bytes = write_bytes(voice);
    EXPECT_EQ(bytes.size(), 31u + 1); // the 31 bytes before the wave block, then code 2 alone
    EXPECT_EQ(bytes.back(), 0x02);
    EXPECT_FALSE(read_bytes(bytes, back));
}

TEST(VoiceFile, WriterRefusesInconsistentUnitsAndFailedWrites) {
    qv::Voice voice = example_voice();
    voice.units[0].wave.point_count = 4; // only 3 points stored
    write_bytes(voice, false);
    voice = example_voice();
    voice.units[0].data_flags = 3;
    voice.units[0].envelope = {100, 5, 0, 1, {{0, 128}}};
    write_bytes(voice, false);
    voice = example_voice();
    voice.units[0].wave.kind = qv::WAVE_SAMPLED;
    voice.units[0].wave.sample = {2, 44100, 16, 0, 10, 0, {1, 2}};
    write_bytes(voice, false);

    EXPECT_FALSE(qv::write_voice(nullptr, example_voice()));
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full != nullptr) { // every write to it fails with "no space"
        EXPECT_FALSE(qv::write_voice(full, example_voice()));
        std::fclose(full);
    }
}

} // namespace
