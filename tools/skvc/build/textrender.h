// Text rendered with FreeType into a coverage picture, for text members: one byte per pixel,
// top row first, 0 where the paper shows and 255 where the ink covers it fully. Eight-bit
// rendering keeps FreeType's anti-aliased coverage; one-bit rendering uses its monochrome
// rasterizer, so every byte is 0 or 255.
//
// Lines are split at '\n', each starts at the left edge and lines are the font's line height
// apart; the picture is as wide as the widest line and as tall as the lines. Text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvc {

struct TextPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> coverage; // width x height
};

// False with a reason when the font cannot be read or the size is out of range (4 to 512
// pixels). An empty text gives a picture one line high and 1 pixel wide.
bool renderText(const std::vector<uint8_t>& font, const std::string& text, int32_t pixelSize,
                int32_t depth, TextPicture* out, std::string* error);

} // namespace skvc
