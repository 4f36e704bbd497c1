// The output format published to rendering: envelope tables are built at the stream's rate.
#pragma once

#include <cstdint>

namespace qv::RenderFormat {

// Stores the format the output stream is opened with. Zero until first set.
void set(int32_t channels, int32_t rate, int32_t bits);

// Reads the stored format; every output is optional.
void get(int32_t* channels, int32_t* rate, int32_t* bits);

} // namespace qv::RenderFormat
