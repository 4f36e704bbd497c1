// Noise designs from ".qvnoise" files: the reader and the value limits that every render
// applies. The program reads these files but never writes them.
#pragma once

#include "voice/byte_stream.h"
#include "voice/voice.h"

#include <string>

namespace qv {

constexpr char NOISE_MAGIC[8] = {'Q', 'V', 'N', 'O', 'I', 'S', 'E', '-'};
constexpr uint32_t NOISE_VERSION = 20051028;

// Limits of a design; clamp_noise forces values into them.
constexpr int32_t NOISE_MAX_LENGTH_44K = 441000; // 10 s at 44100 Hz
constexpr int32_t NOISE_MAX_LAYERS = 4;
constexpr int32_t NOISE_MAX_CORNERS = 3;
constexpr int32_t NOISE_MAX_CORNER_MS = 10000;
constexpr int32_t NOISE_MAX_CORNER_LEVEL = 100;
constexpr int32_t NOISE_MAX_PAN = 100;
constexpr int32_t NOISE_WAVEFORM_COUNT = 7;
constexpr float NOISE_MAX_FREQUENCY = 44100.0f;
constexpr float NOISE_MAX_VOLUME = 200.0f;
constexpr float NOISE_MAX_OFFSET = 100.0f;

// Bits of a layer record's flags; any other bit makes the file unreadable.
constexpr int32_t NOISE_FLAG_ENVELOPE = 0x04;
constexpr int32_t NOISE_FLAG_PAN = 0x08;
constexpr int32_t NOISE_FLAG_MAIN = 0x10;
constexpr int32_t NOISE_FLAG_FREQUENCY_MOD = 0x20;
constexpr int32_t NOISE_FLAG_VOLUME_MOD = 0x40;
constexpr int32_t NOISE_FLAGS_VALID = 0x7C;

// Reads a noise file from an open stream. The design is replaced only on success; on failure
// it is released and noise_file_error() says why. Values are not clamped here.
bool read_noise(ByteStream& stream, NoiseDesign& design);

// Reason for the last failed read_noise.
const std::string& noise_file_error();

// Forces every value of the design into its range, in place.
void clamp_noise(NoiseDesign& design);

} // namespace qv
