// The fill patterns shapes are drawn with: 64 pictures of 16 x 16 pixels, numbered 1-64 by
// shapes (pattern n is entry n - 1; 0 or less fills nothing). Entries 0-55 are monochrome, their
// 0 bits painted in the text colour and their 1 bits in the background colour; entries 56-63
// hold palette indices.
#pragma once

#include <cstdint>

#include "platform/wingdi.h"

namespace skv {

inline constexpr int32_t kShapePatterns = 64;
inline constexpr int32_t kMonochromePatterns = 56;
inline constexpr int32_t kPatternSize = 16;

// One entry's picture as CreateBitmapIndirect takes it: rows top first, widthBytes apart.
struct PatternPicture {
    int32_t bitsPerPixel = 1;
    int32_t widthBytes = 2;
    uint8_t bytes[kPatternSize * kPatternSize] = {};
};

// Entry 0-63 of the table.
void shapePatternPixels(int32_t entry, PatternPicture* out);
// The bitmap of pattern number 1-64, made on first use and kept for the life of the process;
// null for any other number.
HBITMAP shapePatternBitmap(int32_t patternNumber);

} // namespace skv
