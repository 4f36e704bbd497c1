// Preparing a file for the sample browser's preview: load a WAV, voice or noise file into the
// audition voice, build what the tone player plays, and describe the file in a few lines. The
// caller starts the note (TonePlayer::start_tone) from the result.
#pragma once

#include "voice/voice.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

enum class AuditionFile { Wav, Voice, Noise, Ogg, Other };

// The kind of file by its extension (from the last dot of the file name, letter case ignored).
AuditionFile audition_file_kind(std::string_view path);

// The part of a path after its last separator.
std::string_view audition_file_name(std::string_view path);

struct AuditionResult {
    bool recognised = false; // a known extension: the browser's hear request succeeds
    bool described = false;  // `description` is new; otherwise the previous text stays
    std::string description; // lines separated by "\r\n"
    bool start_note = false; // everything succeeded: start one note of the voice
    int32_t mode = 0;        // the note's mode: non-zero repeats the body
    bool looping = false;    // set the browser's looping flag to true (never clears it)
    std::string error;       // why nothing plays, empty when a note starts
};

// Releases `voice`, then loads `path` into it by its extension and builds its ready samples
// (and envelope tables for voice and noise files). `loop` is the browser's loop request.
AuditionResult prepare_audition(const std::string& path, bool loop, Voice& voice);

} // namespace qv
