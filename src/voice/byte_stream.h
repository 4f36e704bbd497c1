// Reading side of the voice and noise files: a stream of bytes from a file (or, for tests and
// fuzzing, from memory) and the variable-length integer code shared by both formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace qv {

struct ByteStream {
    bool is_file = false;
    std::FILE* file = nullptr;           // owned while is_file
    std::span<const uint8_t> memory;     // the source when reading from memory
    uint64_t size = 0;                   // bytes in the source when it was opened
    uint64_t position = 0;               // bytes consumed so far
};

// Opens `path` for binary reading. False if it cannot be opened (or is not a regular file).
bool open_file(ByteStream& stream, const std::string& path);

// Opens a regular file for binary reading and gives its size; nullptr for anything else. A
// named pipe or device is refused at once instead of waiting for a writer.
std::FILE* open_regular_file(const std::string& path, uint64_t& size);

// Reads from `bytes`, which must outlive the stream.
void open_memory(ByteStream& stream, std::span<const uint8_t> bytes);

// Reads `count` items of `size` bytes; succeeds only if all of them were read.
bool read(ByteStream& stream, void* destination, std::size_t size, std::size_t count);

// Reads one variable-length integer and hands back its 32-bit pattern as a signed value.
bool read_varint(ByteStream& stream, int32_t& value);

// Bytes not yet read: the bound for any allocation a count from the file asks for.
uint64_t bytes_left(const ByteStream& stream);

// Closes the file if one is open and clears every field; harmless on a closed stream.
void close(ByteStream& stream);

// Writes the code of `value` in one write of 1 to 5 bytes. On success adds the byte count to
// `counter` when given; a short write fails and leaves the counter unchanged.
bool write_varint(uint32_t value, std::FILE* file, int32_t* counter = nullptr);

// The little-endian fixed-width fields the writers emit directly.
bool write_u32_le(uint32_t value, std::FILE* file);

// Number of bytes the code of `value` takes.
int varint_length(uint32_t value);

} // namespace qv
