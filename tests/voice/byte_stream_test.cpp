// The variable-length integer code, both directions, and the bounded reads of ByteStream.
#include "voice/byte_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> encode(uint32_t value, int32_t* counter = nullptr) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(qv::write_varint(value, file, counter));
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

struct VarintCase {
    uint32_t value;
    std::vector<uint8_t> bytes;
};

TEST(Varint, EncodesAndDecodesTheTable) {
    const VarintCase cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x80, 0x01}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x80, 0x80, 0x01}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x80, 0x80, 0x80, 0x80, 0x01}},
        {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
        {11520, {0x80, 0x5A}},
        {17664, {0x80, 0x8A, 0x01}},
        {static_cast<uint32_t>(-64), {0xC0, 0xFF, 0xFF, 0xFF, 0x0F}},
        {0x3F800000, {0x80, 0x80, 0x80, 0xFC, 0x03}}, // the float 1.0
    };
    for (const VarintCase& c : cases) {
        int32_t counter = 10;
        EXPECT_EQ(encode(c.value, &counter), c.bytes) << c.value;
        EXPECT_EQ(counter, 10 + static_cast<int32_t>(c.bytes.size())) << c.value;
        EXPECT_EQ(qv::varint_length(c.value), static_cast<int>(c.bytes.size()));

        qv::ByteStream stream;
        qv::open_memory(stream, c.bytes);
        int32_t value = 0;
        ASSERT_TRUE(qv::read_varint(stream, value)) << c.value;
        EXPECT_EQ(static_cast<uint32_t>(value), c.value);
        EXPECT_EQ(qv::bytes_left(stream), 0u);
    }
    EXPECT_EQ(encode(300), (std::vector<uint8_t>{0xAC, 0x02})); // no counter: same bytes
}

TEST(Varint, ReadingOddAndBrokenCodes) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool ok;
        uint32_t value;
    } cases[] = {
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, true, 0xFFFFFFFF}, // high bits of the fifth byte drop
        {{0x80, 0x80, 0x80, 0x80, 0x80}, false, 0},         // too long
        {{0x80, 0x80}, false, 0},                           // ends inside the code
        {{}, false, 0},
    };
    for (const Case& c : cases) {
        qv::ByteStream stream;
        qv::open_memory(stream, c.bytes);
        int32_t value = 0;
        EXPECT_EQ(qv::read_varint(stream, value), c.ok);
        if (c.ok) {
            EXPECT_EQ(static_cast<uint32_t>(value), c.value);
        }
    }
}

TEST(ByteStream, ShortReadsFailAndFilesAreBounded) {
    const std::vector<uint8_t> seven = {1, 2, 3, 4, 5, 6, 7};
    qv::ByteStream stream;
    qv::open_memory(stream, seven);
    uint16_t items[4] = {};
    EXPECT_FALSE(qv::read(stream, items, 2, 4));
    EXPECT_TRUE(qv::read(stream, items, 2, 3));
    EXPECT_EQ(items[0], 0x0201);
    EXPECT_EQ(qv::bytes_left(stream), 1u);
    EXPECT_FALSE(qv::read(stream, items, SIZE_MAX, 2)); // size times count overflows

    char path[] = "/tmp/qv_bytestreamXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, seven.data(), seven.size()), 7);
    ::close(fd);
    qv::ByteStream file;
    ASSERT_TRUE(qv::open_file(file, path));
    EXPECT_TRUE(file.is_file);
    EXPECT_EQ(qv::bytes_left(file), 7u);
    EXPECT_FALSE(qv::read(file, items, 2, 4));
    EXPECT_TRUE(qv::read(file, items, 1, 7));
    qv::close(file);
    qv::close(file); // closing twice is harmless
    EXPECT_FALSE(file.is_file);
    std::remove(path);

    EXPECT_FALSE(qv::open_file(file, "/nonexistent/voice.qvvoice"));
    EXPECT_FALSE(qv::open_file(file, "/tmp")); // a folder is not a file
}

TEST(WriteVarint, ShortWriteFailsAndKeepsTheCounter) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    int32_t counter = 5;
    EXPECT_FALSE(qv::write_varint(0x4000, full, &counter));
    EXPECT_EQ(counter, 5);
    std::fclose(full);
}

} // namespace
