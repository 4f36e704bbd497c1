// Any input is refused or read without a crash, a hang or an oversized allocation; whatever is
// read writes back to a file that reads as the same voice.
#include "voice/byte_stream.h"
#include "voice/voice_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> written(const qv::Voice& voice) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    if (file == nullptr)
        std::abort();
    const bool ok = qv::write_voice(file, voice);
    std::fclose(file);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    if (!ok)
        std::abort(); // everything the reader accepts must be writable
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    qv::ByteStream stream;
    qv::open_memory(stream, {data, size});
    qv::Voice voice;
    if (!qv::read_voice(stream, voice))
        return 0;
    const std::vector<uint8_t> first = written(voice);
    qv::Voice again;
    qv::open_memory(stream, first);
    if (!qv::read_voice(stream, again) || written(again) != first)
        std::abort();
    return 0;
}
