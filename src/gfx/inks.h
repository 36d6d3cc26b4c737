// The ink routines: how a sprite's pixels go into the stage's off-screen picture.
//
// Every routine takes the destination D, the source S, the destination rectangle (x, y, w, h) in
// D (y counted from the top) and the source position (sx, sy) of its top-left corner, and reads
// the colour indices it needs from S: T (transparent), F (foreground), B (background), W (white)
// and K (black).
//
// | ink               | source authored at 8 (or 4) bits        | source authored at 1 bit       |
// |-------------------|-----------------------------------------|--------------------------------|
// | copy (0)          | B = W and F = K: D := S (whole rows);    | D := B where S != 0, else F    |
// |                   | else D := F where S = K, B where S = W,  |                                |
// |                   | else S                                   |                                |
// | transparent (1, 4 | D := S where S != T                      | D := F where S != T            |
// | and the others)   |                                          |                                |
// | matte (8)         | D := S where the mask byte is 0          | mask byte 0: D := B if S = T,  |
// |                   |                                          | else F                         |
//
// The matte mask marks the pixels that the background (pixels of value T connected to the border)
// does not reach, so holes of colour T enclosed by the figure stay opaque.
//
// Clipping: a rectangle reaching past D's right or bottom edge is cut there; one starting left of
// or above D loses its first columns or rows; the source rectangle is kept inside S as well.
#pragma once

#include <cstdint>

#include "gfx/dib.h"

namespace skv {

using InkRoutine = void (*)(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h,
                            int32_t sx, int32_t sy);

void inkCopy(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
             int32_t sy);
void inkTransparent(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                    int32_t sy);
void inkMatte(nDIB& dst, nDIB& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
              int32_t sy);

// The routine of ink number 0-31 in the default table (0 copy, 8 matte, any other transparent);
// null outside 0-31.
InkRoutine inkRoutineFor(int32_t ink);

// The transparent index a new bitmap starts with: 255 on a palette display, 0 otherwise.
uint8_t defaultTransparentIndex();

// The part of a (x, y, w, h) / (sx, sy) copy that lies inside both bitmaps, top-down
// coordinates. Empty when cols or rows is 0.
struct InkClip {
    int32_t dstX = 0, dstY = 0; // top-left of the clipped block in the destination
    int32_t srcX = 0, srcY = 0; // and in the source
    int32_t cols = 0, rows = 0;
};
InkClip clipInk(int32_t dstWidth, int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, int32_t x,
                int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy);

} // namespace skv
