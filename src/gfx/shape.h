// skvShape: a line, rectangle, round rectangle or ellipse drawn with the GDI into the stage's
// picture, outlined with the channel's line size in its foreground colour and filled with one of
// the 64 patterns (shapepatterns.h). A shape member carries its kind and pattern; for a shape
// sprite of the score a shape is made on the spot from the channel.
//
// Stored form, after the object header (none of NSprite's fields):
//
// | field   | type  | notes                                                           |
// |---------|-------|-----------------------------------------------------------------|
// | kind    | int16 | 1 line top-left to bottom-right, 2 line bottom-left to top-right, |
// |         |       | 3 rectangle, 4 round rectangle, 5 ellipse                        |
// | pattern | int16 | fill pattern 1-64; 0 fills nothing                               |
#pragma once

#include <cstdint>

#include "gfx/sprite.h"

namespace skv {

class skvShape : public NSprite {
public:
    enum Kind : int16_t {
        kLineDown = 1,
        kLineUp = 2,
        kRectangle = 3,
        kRoundRectangle = 4,
        kEllipse = 5
    };

    skvShape();

    // Inside (left, top, left + width - 1, top + height - 1) of the channel, right and bottom
    // excluded.
    int hitTest(const SpriteChannel* channel, const tagPOINT& point) override;
    void draw(skvView* view, const SpriteChannel* channel) override;
    // Marks the channel's area, one pixel wider to the left and top, joined with every pixel
    // a stroke of its line size reaches there (for the copy).
    void place(skvView* view, const SpriteChannel* channel) override;
    int32_t sizeHint() override { return 0; }
    void serialize(uArchive& ar) override;
    void bounds(RECT* out) const override { *out = shapeBounds; }

    // The channel's line size: the low 3 bits of byte 5 hold it plus one.
    static int32_t lineSizeOf(const SpriteChannel& channel) { return (channel.bytes[5] & 7) - 1; }

    RECT shapeBounds{};
    int16_t kind = kRectangle;
    int16_t pattern = 0;
};

} // namespace skv
