// The one 16-colour palette every panel bitmap shares. Index 0 is black, the colour key: it is
// painted only where the panel underneath should show through.
#pragma once

#include <array>
#include <cstdint>

namespace qvart {

enum Colour : uint8_t {
    CLEAR = 0,   // black, transparent when drawn
    INK = 1,     // outlines and text on light faces; near black but opaque
    NAVY = 2,    // wells, value boxes, grooves
    BLUE = 3,    // the dark-blue displays, black keys, knob boxes
    SKY = 4,     // highlights on blue
    SHADOW = 5,  // dark side of a grey bevel
    GREY = 6,    // panel face
    SILVER = 7,  // light face, white keys
    WHITE = 8,   // light side of a bevel
    GREEN = 9,   // selection, lamps, pointer
    DKGREEN = 10,
    RED = 11,
    MAROON = 12,
    CREAM = 13,  // lit white keys
    AMBER = 14,  // the digit colour
    MIST = 15,   // hover face, lighter than silver
};

struct Rgb {
    uint8_t r, g, b;
};

inline constexpr std::array<Rgb, 16> PALETTE{{
    {0, 0, 0},
    {20, 20, 36},
    {16, 24, 72},
    {36, 52, 136},
    {96, 136, 224},
    {76, 80, 100},
    {140, 144, 160},
    {192, 196, 208},
    {248, 248, 252},
    {72, 232, 112},
    {20, 104, 52},
    {236, 60, 52},
    {116, 24, 32},
    {252, 236, 150},
    {252, 176, 44},
    {222, 226, 236},
}};

} // namespace qvart
