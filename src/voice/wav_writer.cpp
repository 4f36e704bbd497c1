// Plain RIFF WAV writer: little-endian fields written one by one, a pad byte after odd data.
#include "voice/wav_writer.h"

#include "voice/allocation.h"
#include "voice/atomic_file.h"

#include <cstdio>

namespace qv {

namespace {

constexpr uint32_t FORMAT_CHUNK_SIZE = 16;
constexpr uint32_t HEADER_SIZE = 44; // RIFF header, "fmt " chunk, "data" chunk header

void put16(uint8_t*& p, uint32_t v) {
    *p++ = static_cast<uint8_t>(v);
    *p++ = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t*& p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p, v >> 16);
}

void put_id(uint8_t*& p, const char* id) {
    for (int i = 0; i < 4; ++i)
        *p++ = static_cast<uint8_t>(id[i]);
}

} // namespace

bool wav_file_bytes(std::vector<uint8_t>& out, int32_t channels, int32_t rate, int32_t bits,
                    std::span<const uint8_t> data) {
    std::vector<uint8_t>().swap(out);
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate <= 0)
        return false;
    const uint32_t block = static_cast<uint32_t>(channels * bits / 8);
    const uint64_t padded = data.size() + (data.size() & 1u);
    if (data.size() % block != 0 || HEADER_SIZE + padded - 8 > UINT32_MAX)
        return false;
    if (!allocate_zeroed(out, static_cast<std::size_t>(HEADER_SIZE + padded)))
        return false;
    uint8_t* p = out.data();
    put_id(p, "RIFF");
    put32(p, static_cast<uint32_t>(HEADER_SIZE + padded - 8));
    put_id(p, "WAVE");
    put_id(p, "fmt ");
    put32(p, FORMAT_CHUNK_SIZE);
    put16(p, 1); // PCM
    put16(p, static_cast<uint32_t>(channels));
    put32(p, static_cast<uint32_t>(rate));
    put32(p, static_cast<uint32_t>(rate) * block);
    put16(p, block);
    put16(p, static_cast<uint32_t>(bits));
    put_id(p, "data");
    put32(p, static_cast<uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), p);
    return true;
}

bool write_wav_file(const std::string& path, int32_t channels, int32_t rate, int32_t bits,
                    std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes;
    if (!wav_file_bytes(bytes, channels, rate, bits, data))
        return false;
    // Written aside and renamed, so a failed write leaves no truncated file behind.
    return write_file_atomically(path, [&bytes](std::FILE* file) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    });
}

} // namespace qv
