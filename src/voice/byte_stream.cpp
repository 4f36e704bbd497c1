// ByteStream and the variable-length integer: 7-bit groups, least significant first, bit 7 set
// on every byte but the last; at most five bytes for 32 bits.
#include "voice/byte_stream.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {
constexpr int VARINT_MAX_BYTES = 5;
}

std::FILE* open_regular_file(const std::string& path, uint64_t& size) {
    // Without O_NONBLOCK, opening a named pipe blocks until something writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    size = static_cast<uint64_t>(info.st_size);
    return file;
}

bool open_file(ByteStream& stream, const std::string& path) {
    close(stream);
    uint64_t size = 0;
    std::FILE* file = open_regular_file(path, size);
    if (file == nullptr)
        return false;
    stream.is_file = true;
    stream.file = file;
    stream.size = size;
    return true;
}

void open_memory(ByteStream& stream, std::span<const uint8_t> bytes) {
    close(stream);
    stream.memory = bytes;
    stream.size = bytes.size();
}

bool read(ByteStream& stream, void* destination, std::size_t size, std::size_t count) {
    if (size != 0 && count > SIZE_MAX / size)
        return false;
    const std::size_t total = size * count;
    if (total > bytes_left(stream))
        return false;
    if (total == 0)
        return true;
    if (stream.is_file) {
        if (std::fread(destination, 1, total, stream.file) != total)
            return false;
    } else {
        std::memcpy(destination, stream.memory.data() + stream.position, total);
    }
    stream.position += total;
    return true;
}

bool read_varint(ByteStream& stream, int32_t& value) {
    uint8_t bytes[VARINT_MAX_BYTES] = {};
    int n = 0;
    for (;;) {
        if (!read(stream, &bytes[n], 1, 1))
            return false;
        ++n;
        if ((bytes[n - 1] & 0x80) == 0)
            break;
        if (n == VARINT_MAX_BYTES)
            return false; // the value is too long
    }
    uint32_t result = 0;
    for (int i = 0; i < n; ++i) // a fifth byte keeps only its low 4 bits: the shift drops the rest
        result |= static_cast<uint32_t>(bytes[i] & 0x7F) << (7 * i);
    value = static_cast<int32_t>(result);
    return true;
}

uint64_t bytes_left(const ByteStream& stream) {
    return stream.position < stream.size ? stream.size - stream.position : 0;
}

void close(ByteStream& stream) {
    if (stream.is_file && stream.file != nullptr)
        std::fclose(stream.file);
    stream = ByteStream{};
}

int varint_length(uint32_t value) {
    if (value < 0x80u)
        return 1;
    if (value < 0x4000u)
        return 2;
    if (value < 0x200000u)
        return 3;
    if (value < 0x10000000u)
        return 4;
    return 5;
}

bool write_varint(uint32_t value, std::FILE* file, int32_t* counter) {
    uint8_t bytes[VARINT_MAX_BYTES];
    const int n = varint_length(value);
    for (int i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>((value >> (7 * i)) & 0x7F);
        if (i + 1 < n)
            bytes[i] |= 0x80;
    }
    if (file == nullptr || std::fwrite(bytes, 1, static_cast<std::size_t>(n), file) !=
                               static_cast<std::size_t>(n))
        return false;
    if (counter != nullptr)
        *counter += n;
    return true;
}

bool write_u32_le(uint32_t value, std::FILE* file) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return file != nullptr && std::fwrite(bytes, 1, 4, file) == 4;
}

} // namespace qv
