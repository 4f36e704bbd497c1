// Sampled sounds: reading RIFF WAV files (PCM, 1 or 2 channels, 8 or 16 bits) into a PcmSample,
// and copying and converting PcmSamples between channel counts, widths and rates.
#pragma once

#include "voice/voice.h"

#include <cstdint>
#include <span>
#include <string>

namespace qv {

// Largest sample data a copy or conversion may produce; larger results fail like an
// allocation failure would.
constexpr uint64_t PCM_MAX_BYTES = uint64_t{1} << 30;

// Reads a WAV file. On failure the sample's data is absent and wav_error() says why.
bool read_wav(const std::string& path, PcmSample& sample);

// The same, from the bytes of a WAV file in memory.
bool read_wav(std::span<const uint8_t> bytes, PcmSample& sample);

// Reason for the last failed read_wav.
const std::string& wav_error();

// Copies every field and the data. False (destination data absent) when memory runs out.
bool copy_pcm(PcmSample& destination, const PcmSample& source);

// Converts in place: channels, then bits, then rate, stopping at the first step that fails.
bool convert_pcm(PcmSample& sample, int32_t channels, int32_t samples_per_second, int32_t bits);

// Mono to stereo repeats each sample; stereo to mono averages the two, truncating. On failure
// the sample is unchanged.
bool convert_channels(PcmSample& sample, int32_t channels);

// 16 to 8 bits keeps the high byte (v / 256 + 128); 8 to 16 bits shifts (u - 128) up. On
// failure the sample is unchanged.
bool convert_bits(PcmSample& sample, int32_t bits);

// Repeats or drops whole frames, without interpolation. Fails without change for a rate that
// is not positive; when memory runs out the sample is left empty (no data, zero counts).
bool convert_rate(PcmSample& sample, int32_t samples_per_second);

// Frees the data; the other fields keep their values.
void release_pcm(PcmSample& sample);

} // namespace qv
