// skvText: a text cast member. Its pixels are the text as the authoring tool rendered it; it
// draws like a bitmap sprite, but in its own text and background colours, and matte draws as
// copy.
//
// Stored form: NSprite's (sprite.h), with every pixel p stored as 0 when p is 255 and 255
// otherwise (black and white swap places), then:
//
// | field             | type  |                                          |
// |-------------------|-------|------------------------------------------|
// | text colour       | int32 | COLORREF                                 |
// | background colour | int32 | COLORREF                                 |
// | flag              | int32 | carried through, not interpreted          |
#pragma once

#include <cstdint>

#include "gfx/sprite.h"

namespace skv {

class skvText : public NSprite {
public:
    skvText();

    void draw(skvView* view, const SpriteChannel* channel) override;
    void place(skvView* view, const SpriteChannel* channel) override;
    void serialize(uArchive& ar) override;
    void bounds(RECT* out) const override { *out = textBounds; }
    // Slot 49: white is transparent; foreground and background are the text's own colours.
    void resolveColours(skvView* view, const SpriteChannel* channel) override;

    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backColour = RGB(255, 255, 255);
    RECT textBounds{};
    int32_t flag = 0;

protected:
    void toStoredPixels(std::vector<uint8_t>& pixels) const override;
    void fromStoredPixels(std::vector<uint8_t>& pixels) const override;

private:
    void moveTo(const SpriteChannel& channel);
};

} // namespace skv
