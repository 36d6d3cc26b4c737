// Nearest-colour matching and the stage's identity palette: a logical palette that keeps the
// system's 20 static colours at their places (entries 0-9 and 246-255) and puts the movie's
// colours in the 236 entries between, so that a bitmap whose colour table equals the realized
// palette is copied to the screen without colour translation.
#pragma once

#include <cstdint>

#include "platform/wingdi.h"

namespace skv {

// The static colours used when the display has no system palette: 0-9 the low statics (system
// palette entries 0-9), 10-19 the high statics (entries 246-255).
extern const PALETTEENTRY kStaticColours[20];

// The index of the nearest of `count` colours (squared distance of red, green and blue; the
// lower index on ties). -1 when there are none.
int32_t nearestColour(const RGBQUAD& colour, const RGBQUAD* colours, int32_t count);

// The 256 entries of the identity palette for `count` movie colours (at most 256), given the
// system palette use (GetSystemPaletteUse) and, for SYSPAL_STATIC, the system palette's 256
// entries. keepAll puts movie colours 0-235 in order even when more than 236 are given.
void buildIdentityEntries(const RGBQUAD* colours, int32_t count, int32_t keepAll, UINT systemUse,
                          const PALETTEENTRY* systemPalette, PALETTEENTRY out[256]);

// The identity palette for the screen's system palette (version 0x300, 256 entries), or null
// when it cannot be created. The stage asks with count 256 and keepAll 0.
HPALETTE makeIdentityPalette(const RGBQUAD* colours, int32_t count, int32_t keepAll);

} // namespace skv
