// The voice file (.qvvoice): a fixed header, then unit records of variable-length integers.
#pragma once

#include "voice/byte_stream.h"
#include "voice/voice.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace qv {

constexpr std::string_view VOICE_FILE_MAGIC = "QVVOICE-";
constexpr uint32_t VOICE_FILE_VERSION = 20060111;

// Writes the whole file to `file`, opened for binary writing at its start. False on a short
// write or failed seek (a partial file is left for the caller), or when a unit's counts do not
// match its arrays.
bool write_voice(std::FILE* file, const Voice& voice);

// Reads a voice file from `stream` (opened and closed by the caller) into `voice`, replacing
// its units. Accepts coordinate and overtone waves only. On failure `voice` is left empty.
bool read_voice(ByteStream& stream, Voice& voice);

// Why the last write_voice or read_voice of this thread failed, e.g. "not a voice file".
const char* voice_file_error();

} // namespace qv
