// NSprite: a bitmap cast member that knows where it stands on the stage. It draws itself through
// the ink of the channel that shows it, places itself (marking its old and new areas for the
// copy to the window), answers hit tests, and carries the trigger a click on it starts in a hub
// score.
//
// Stored form: nDIB's (dib.h), then seven int32:
//
// | field            | notes                                                 |
// |------------------|-------------------------------------------------------|
// | left, top        | stage position of the top-left corner, as last placed |
// | reserved         | 50 unless set; not interpreted                         |
// | registration x/y | added to the channel's left and top when placing      |
// | reserved         | 1 unless set; not interpreted                          |
// | trigger          | the trigger a channel without a script number uses    |
//
// Inks come from one table shared by every sprite: entry 0 copies, 8 mattes, every other entry
// (4 among them) draws transparently. Reading a sprite rebuilds it.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/guid.h"
#include "core/spritechannel.h"
#include "gfx/dib.h"
#include "gfx/inks.h"

namespace skv {

class nAnimation;

// The module-wide ink table: 32 entries, null where an ink draws nothing. Sprites read by the
// stream thread rebuild it while the engine thread draws with it.
std::atomic<InkRoutine>* spriteInkTable();

class NSprite : public nDIB {
public:
    static constexpr int32_t kInkCount = 32;
    static constexpr int32_t kMatteInk = 8;
    static constexpr int32_t kHubSpriteInk = 4;

    NSprite();

    // Slot 2: whether the point hits the bitmap as the channel shows it.
    int hitTest(const SpriteChannel* channel, const tagPOINT& point) override;
    // Slot 3.
    void draw(skvView* view, const SpriteChannel* channel) override;
    // Slot 4: moves to the channel's place and marks the area for the copy to the window.
    void place(skvView* view, const SpriteChannel* channel) override;
    // Slot 5.
    int32_t sizeHint() override { return nDIB::sizeHint() + 24; }
    // Slot 6.
    void serialize(uArchive& ar) override;
    // Slot 7.
    int32_t trigger() override { return triggerNumber; }
    // Slot 14: (left, top, left + width, top + height).
    void bounds(RECT* out) const override;

    // Slots 41-46.
    virtual int32_t getLeft() const { return left; }
    virtual int32_t getTop() const { return top; }
    virtual int32_t getReserved50() const { return reserved50; }
    virtual int32_t getRegistrationX() const { return registrationX; }
    virtual int32_t getRegistrationY() const { return registrationY; }
    virtual int32_t getReserved1() const { return reserved1; }
    // Slots 47, 48: a channel's script number stands in for the trigger while it is in force.
    virtual void pushTrigger(int32_t n) {
        savedTrigger = triggerNumber;
        triggerNumber = n;
    }
    virtual void popTrigger() { triggerNumber = savedTrigger; }
    // Slot 49: the ink and the colour indices the inks use, for this channel on this stage.
    virtual void resolveColours(skvView* view, const SpriteChannel* channel);
    // Slots 50-54.
    virtual void setPosition(int32_t x, int32_t y) {
        left = x;
        top = y;
    }
    virtual void setReserved50(int32_t v) { reserved50 = v; }
    virtual void setRegistrationX(int32_t v) { registrationX = v; }
    virtual void setRegistrationY(int32_t v) { registrationY = v; }
    virtual void setReserved1(int32_t v) { reserved1 = v; }
    // Slot 55: rebuilds the shared ink table and the transparent index.
    virtual void resetInks();

    // Where the channel puts the sprite: its registration offset from the channel's corner.
    POINT positionFor(const SpriteChannel& channel) const;

    int16_t ink = 0; // the effective ink of the last draw
    int32_t left = 0;
    int32_t top = 0;
    int32_t reserved50 = 50;
    int32_t registrationX = 0;
    int32_t registrationY = 0;
    int32_t triggerNumber = 0;
    int32_t savedTrigger = 0;
    GUID paletteId{}; // the palette the pixels were last mapped to
    int32_t reserved1 = 1;
    int32_t hubHitMode = 0; // the last draw was on a hub score's stage

protected:
    // The stage's palette as the bitmap must match it: colour table on the first draw, remapped
    // when the palette changed. False when the view has no compositor.
    bool matchStagePalette(nAnimation& stage);
    // Puts back the pixels and colours the bitmap had before it was first mapped (or takes a
    // copy of them when they are new), so that each mapping starts from the authored colours.
    void restoreUnmapped();
    // Calls the ink routine of `ink` for the bitmap at its position; nothing for an ink outside
    // the table or an empty entry.
    void drawWithInk(nAnimation& stage, int32_t inkNumber);

private:
    std::vector<uint8_t> unmappedPixels_;
    std::array<RGBQUAD, 256> unmappedColours_{};
};

// Positions and registration offsets come from the stream as any int32, so a sum of them or an
// edge (position plus size) may pass the int32 range: it is worked out wide and held at the end
// of the range rather than wrapping round, so that a sprite placed far off the stage stays
// off it. Every sum of ordinary coordinates is unchanged.
constexpr int32_t heldCoordinate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The stage compositor behind a view, or null.
nAnimation* stageOf(skvView* view);
// The stage palette's colour at `index` and the stage palette's entry nearest to a colour.
COLORREF stageColourAt(nAnimation& stage, uint8_t index);
uint8_t nearestStageIndex(nAnimation& stage, COLORREF colour);

} // namespace skv
