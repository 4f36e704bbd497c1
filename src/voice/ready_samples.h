// Ready-sample building: every unit of a voice rendered into 44100 Hz stereo 16-bit PCM, by its
// wave kind. Envelope tables are built separately (build_envelopes).
#pragma once

#include "voice/voice.h"

#include <string>

namespace qv {

// Renders one unit's PCM, head, body and tail into `ready`, whose previous PCM is dropped and
// whose envelope fields are left alone. A kind above WAVE_OGG leaves it empty and succeeds;
// an Ogg unit fails (no decoder is installed). On failure `ready` holds no PCM and zero counts.
// Noise units are clamped in place, as every noise render does.
bool build_ready_sample(VoiceUnit& unit, ReadySample& ready);

// Rebuilds the PCM of every unit's ready sample. At the first failure every unit is left
// without PCM and with zero counts and the result is false; ready_samples_error() says why.
bool build_ready_samples(Voice& voice);

const std::string& ready_samples_error();

} // namespace qv
