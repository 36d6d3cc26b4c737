// Maps RGBA pictures to palette indices: each pixel takes the nearest of a set of candidate
// entries of a 256-colour palette, optionally with Floyd-Steinberg error diffusion. Pixels whose
// alpha is below one half take a fixed index instead.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"
#include "platform/wingdi.h"

namespace skvc {

struct ColourMapping {
    const RGBQUAD* palette = nullptr; // 256 entries
    std::vector<uint8_t> candidates;  // the indices pixels may take; empty means all 256
    bool dither = false;
    uint8_t transparentIndex = 0; // for pixels with alpha < 128
};

// One index per pixel, top row first, width x height.
std::vector<uint8_t> mapToPalette(const RgbaImage& image, const ColourMapping& mapping);

// A 1-bit picture (0 white, 255 black, as palette -1 has them) as it must be stored to show
// black as black in a movie showing `shownPalette`: a 1-bit bitmap reads as palette -1 whatever
// is stored and has its pixels inverted on its first draw when the movie shows another built-in
// palette.
void storeOneBitPixels(std::vector<uint8_t>& pixels, int32_t shownPalette);

} // namespace skvc
