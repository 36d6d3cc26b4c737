// The kind of display the process draws on.
//
// The default is a true-colour display: no system palette, RASTERCAPS without RC_PALETTE. A
// palette display (8 bits per pixel, RC_PALETTE, a 256-entry system palette whose first ten and
// last ten entries are the 20 static colours, static use SYSPAL_STATIC) can be switched on so that
// the palette-device paths of the player run under test.
#pragma once

#include "platform/wingdi.h"

namespace skv::platform {

// Switching (either way) resets the system palette to the static colours (zero between them)
// and the palette use to SYSPAL_STATIC.
SKV_PLATFORM_API void setPaletteDisplay(bool on);
SKV_PLATFORM_API bool isPaletteDisplay();

// The 20 static colours as the system palette holds them: entries 0-9 are the low statics, which
// sit at system palette entries 0-9, and entries 10-19 the high statics, at entries 246-255.
SKV_PLATFORM_API const PALETTEENTRY* staticColours();

} // namespace skv::platform
