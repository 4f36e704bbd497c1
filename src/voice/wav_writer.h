// Writing interleaved PCM as a plain RIFF WAV file: "fmt " (16-byte PCM format) then "data".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

// The complete file image. False for channels other than 1 .. 2, bits other than 8 or 16, a
// rate that is not positive, data that is not whole frames or too long for a RIFF size field,
// or when memory runs out.
bool wav_file_bytes(std::vector<uint8_t>& out, int32_t channels, int32_t rate, int32_t bits,
                    std::span<const uint8_t> data);

// Writes the file; false on the conditions above or when the file cannot be written, in which
// case a file already at `path` is left as it was.
bool write_wav_file(const std::string& path, int32_t channels, int32_t rate, int32_t bits,
                    std::span<const uint8_t> data);

} // namespace qv
