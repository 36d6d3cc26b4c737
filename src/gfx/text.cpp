#include "gfx/text.h"

#include "core/archive.h"
#include "core/classids.h"
#include "gfx/animation.h"
#include "platform/winuser.h"

namespace skv {

namespace {

void swapBlackAndWhite(std::vector<uint8_t>& pixels) {
    for (uint8_t& p : pixels)
        p = p == 255 ? 0 : 255;
}

} // namespace

skvText::skvText() {
    setClassId(CLSID_skvText);
    resetInks();
}

void skvText::serialize(uArchive& ar) {
    NSprite::serialize(ar);
    if (ar.isStoring()) {
        ar.writeInt32(static_cast<int32_t>(textColour))
            .writeInt32(static_cast<int32_t>(backColour));
        ar.writeInt32(flag);
        return;
    }
    textColour = static_cast<COLORREF>(ar.readInt32());
    backColour = static_cast<COLORREF>(ar.readInt32());
    flag = ar.readInt32();
}

// The stored pixels are changed on their way out, never the ones in memory: a remapped text
// keeps its colours after it has been written.
void skvText::toStoredPixels(std::vector<uint8_t>& pixels) const {
    swapBlackAndWhite(pixels);
}

void skvText::fromStoredPixels(std::vector<uint8_t>& pixels) const {
    swapBlackAndWhite(pixels);
}

void skvText::resolveColours(skvView* view, const SpriteChannel* channel) {
    nAnimation* stage = stageOf(view);
    if (!stage || !channel) return;
    ink = channel->ink();
    whiteIndex = nearestStageIndex(*stage, RGB(255, 255, 255));
    blackIndex = nearestStageIndex(*stage, RGB(0, 0, 0));
    transparentIndex = whiteIndex;
    foregroundIndex = nearestStageIndex(*stage, textColour);
    backgroundIndex = nearestStageIndex(*stage, backColour);
}

void skvText::moveTo(const SpriteChannel& channel) {
    const POINT at = positionFor(channel);
    setPosition(at.x, at.y);
    NSprite::bounds(&textBounds); // the picture's own area: bounds() itself answers textBounds
}

void skvText::place(skvView* view, const SpriteChannel* channel) {
    if (channel) moveTo(*channel);
    if (nAnimation* stage = stageOf(view)) stage->addDirtyRect(textBounds);
}

void skvText::draw(skvView* view, const SpriteChannel* channel) {
    nAnimation* stage = stageOf(view);
    if (!stage || !channel) return;
    matchStagePalette(*stage);
    if (!stage->buffersCreated()) return;
    // The old place goes to the window too when the text moved.
    const RECT before = textBounds;
    moveTo(*channel);
    if (!EqualRect(&before, &textBounds)) stage->addDirtyRect(before);
    stage->addDirtyRect(textBounds);
    resolveColours(view, channel);
    // Text has no figure to matte: it is copied.
    drawWithInk(*stage, ink == kMatteInk ? 0 : ink);
}

} // namespace skv
