// Writes a canvas as an uncompressed 4-bit BMP with the shared palette.
#pragma once

#include "canvas.h"

#include <string>

namespace qvart {

// BITMAPINFOHEADER, 16 palette entries, bottom-up rows padded to 4 bytes. False, with a reason
// on stderr, when the file cannot be written.
bool write_bmp4(const std::string& path, const Canvas& canvas);

} // namespace qvart
