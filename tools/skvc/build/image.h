// Pictures an author hands the builder, decoded to 8-bit RGBA rows, top row first. PNG files
// (any colour type; a palette PNG also gives its palette) and BMP files (read by the player's
// own reader) are accepted. Both readers take untrusted bytes: sizes are checked before
// anything is allocated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wingdi.h"

namespace skvc {

struct RgbaImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // width x height x 4: red, green, blue, alpha; top row first

    const uint8_t* at(int32_t x, int32_t y) const { return &pixels[(size_t(y) * width + x) * 4]; }
};

// Larger pictures are refused (the player's bitmaps have the same limits).
inline constexpr int32_t kMaxImageDimension = 8192;
inline constexpr int64_t kMaxImagePixels = 16 * 1024 * 1024;

// Decodes PNG bytes. On success a palette PNG also fills `palette` (its colours in order);
// other PNGs leave it empty. False with a reason otherwise.
bool decodePng(const uint8_t* data, size_t size, RgbaImage* out, std::vector<RGBQUAD>* palette,
               std::string* error);
// Decodes BMP bytes (1, 4, 8, 24 or 32 bits). False with a reason otherwise.
bool decodeBmp(const uint8_t* data, size_t size, RgbaImage* out, std::string* error);
// PNG or BMP by the first bytes.
bool decodeImage(const std::vector<uint8_t>& bytes, RgbaImage* out, std::vector<RGBQUAD>* palette,
                 std::string* error);

} // namespace skvc
