// Decoding the program's bitmap resources for the display: the eleven panel bitmaps are
// embedded with the Qt resource system and decoded to native 0x00RRGGBB pixels.
#pragma once

#include "graphics/display.h"

#include <QString>

#include <string_view>

namespace qv::platform {

// Decodes the bitmap resource `name` (letters, digits and '_' only) from the bitmap folder.
bool decode_bitmap(std::string_view name, DecodedBitmap& out);

// Makes decode_bitmap the display's bitmap decoder.
void install_bitmap_decoder();

// Where bitmaps are looked up, as NAME.bmp: the embedded ":/bitmaps" unless a test or tool
// points it at a folder of its own.
void set_bitmap_folder(const QString& folder);
QString bitmap_folder();

} // namespace qv::platform
