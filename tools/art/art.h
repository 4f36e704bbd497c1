// One drawing function per panel bitmap; each returns the image at its slot size.
#pragma once

#include "canvas.h"

namespace qvart {

Canvas draw_monitor();   // BMP_MONITOR: monitor frame and the edit-mode labels
Canvas draw_sliderfld(); // BMP_SLIDERFLD: overtone list rows and frame
Canvas draw_scroll_v();  // BMP_SCROLL_V: scroll-bar arrows, track and thumbs
Canvas draw_scroll_h();  // BMP_SCROLL_H: the same bar lying down
Canvas draw_keyboard();  // BMP_KEYBOARD: octave picture, lamps, letters, velocity slider
Canvas draw_tenkey();    // BMP_TENKEY: large digits and the Fps label
Canvas draw_voicesw();   // BMP_VOICESW: the A/B switch
Canvas draw_preset();    // BMP_PRESET: preset column and its six buttons
Canvas draw_voicevol();  // BMP_VOICEVOL: voice volume slider frame
Canvas draw_symbol();    // BMP_SYMBOL: knobs, lamps, point markers, small digits
Canvas draw_etcetera();  // BMP_ETCETERA: release, pan and correct sliders, logo plates

} // namespace qvart
