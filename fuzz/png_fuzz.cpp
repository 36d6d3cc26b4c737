// Feeds arbitrary bytes to the authoring tool's picture reader (PNG, with BMP by its signature)
// and maps what it reads to a palette, as a bitmap member would be.
#include <cstdint>

#include "colourmap.h"
#include "gfx/palette.h"
#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skvc::RgbaImage image;
    std::vector<RGBQUAD> palette;
    std::string error;
    if (!skvc::decodeImage(std::vector<uint8_t>(data, data + size), &image, &palette, &error))
        return 0;
    if (int64_t(image.width) * image.height > 4096) return 0; // keep each run short
    skvc::ColourMapping m;
    m.palette = skv::builtInColours(-101);
    m.dither = true;
    (void)skvc::mapToPalette(image, m);
    return 0;
}
