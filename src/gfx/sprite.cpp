#include "gfx/sprite.h"

#include <algorithm>

#include "core/archive.h"
#include "core/classids.h"
#include "gfx/animation.h"
#include "gfx/stagescore.h"
#include "gfx/view.h"

namespace skv {

namespace {

std::atomic<InkRoutine> gInks[NSprite::kInkCount];

// Sprite channel 1 of a hub score is its background picture, drawn opaque.
constexpr int32_t kHubBackgroundChannel = 2;

bool showsHub(nAnimation& stage) {
    StageScore* score = stage.currentScore();
    return score && score->isHub();
}

} // namespace

std::atomic<InkRoutine>* spriteInkTable() {
    return gInks;
}

nAnimation* stageOf(skvView* view) {
    return view ? view->animation() : nullptr;
}

COLORREF stageColourAt(nAnimation& stage, uint8_t index) {
    if (skvPalette* p = stage.currentPalette()) {
        const RGBQUAD& q = p->colours[index];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    return RGB(0, 0, 0);
}

uint8_t nearestStageIndex(nAnimation& stage, COLORREF colour) {
    const UINT i = GetNearestPaletteIndex(stage.getDisplayOSB()->getPaletteHandle(), colour);
    return i == CLR_INVALID ? 0 : static_cast<uint8_t>(i);
}

NSprite::NSprite() {
    setClassId(CLSID_NSprite);
    resetInks();
}

void NSprite::resetInks() {
    for (int32_t i = 0; i < kInkCount; ++i)
        gInks[i].store(inkRoutineFor(i), std::memory_order_relaxed);
    transparentIndex = defaultTransparentIndex();
}

void NSprite::serialize(uArchive& ar) {
    nDIB::serialize(ar);
    if (ar.isStoring()) {
        ar.writeInt32(left).writeInt32(top).writeInt32(reserved50);
        ar.writeInt32(registrationX).writeInt32(registrationY).writeInt32(reserved1);
        ar.writeInt32(triggerNumber);
        return;
    }
    left = ar.readInt32();
    top = ar.readInt32();
    reserved50 = ar.readInt32();
    registrationX = ar.readInt32();
    registrationY = ar.readInt32();
    reserved1 = ar.readInt32();
    triggerNumber = ar.readInt32();
    resetInks();
}

void NSprite::bounds(RECT* out) const {
    *out = RECT{left, top, heldCoordinate(int64_t{left} + width()),
                heldCoordinate(int64_t{top} + height())};
}

POINT NSprite::positionFor(const SpriteChannel& channel) const {
    return POINT{heldCoordinate(int64_t{registrationX} + channel.left()),
                 heldCoordinate(int64_t{registrationY} + channel.top())};
}

void NSprite::place(skvView* view, const SpriteChannel* channel) {
    if (channel) {
        const POINT at = positionFor(*channel);
        setPosition(at.x, at.y);
    }
    if (nAnimation* stage = stageOf(view)) {
        RECT r;
        bounds(&r);
        stage->addDirtyRect(r);
    }
}

void NSprite::resolveColours(skvView* view, const SpriteChannel* channel) {
    nAnimation* stage = stageOf(view);
    if (!stage || !channel) return;
    ink = channel->ink();
    whiteIndex = nearestStageIndex(*stage, RGB(255, 255, 255));
    blackIndex = nearestStageIndex(*stage, RGB(0, 0, 0));
    if (showsHub(*stage)) {
        StageScore* score = stage->currentScore();
        ink = score->drawingChannel() == kHubBackgroundChannel ? 0 : kHubSpriteInk;
        transparentIndex = stage->stageColourIndex();
    } else if (ink == 1 || ink == kMatteInk) {
        transparentIndex = whiteIndex;
    } else {
        transparentIndex = nearestStageIndex(*stage, stageColourAt(*stage, channel->backColour()));
    }
    foregroundIndex = nearestStageIndex(*stage, stageColourAt(*stage, channel->foreColour()));
    backgroundIndex = nearestStageIndex(*stage, stageColourAt(*stage, channel->backColour()));
}

bool NSprite::matchStagePalette(nAnimation& stage) {
    skvPalette* palette = stage.currentPalette();
    if (!palette) return true;
    if (compression() != kCompressionJPEG) {
        const int32_t scorePalette =
            stage.currentScore() ? stage.currentScore()->currentPaletteNumber() : paletteNumber;
        fillColoursForFirstDraw(scorePalette, palette->colours);
    }
    if (!guidEqual(palette->objectId, paletteId) || remapNeeded) {
        restoreUnmapped();
        mapToPalette(stage.getDisplayOSB()->getPaletteHandle());
        remapNeeded = 0;
        paletteId = palette->objectId;
    }
    return true;
}

void NSprite::restoreUnmapped() {
    uint8_t* pixels = bits();
    RGBQUAD* table = colours();
    if (!pixels || !table || bitCount() != 8) {
        unmappedPixels_.clear();
        return;
    }
    const size_t n = pixelBytes();
    // Fresh pixels (a first draw, a decoded JPEG) or pixels that changed size are what the
    // mapping starts from; otherwise start again from the copy taken before the first mapping,
    // so that going from palette to palette never maps colours that a mapping already moved.
    if (remapNeeded || !isMapped() || unmappedPixels_.size() != n) {
        unmappedPixels_.assign(pixels, pixels + n);
        std::copy(table, table + 256, unmappedColours_.begin());
        return;
    }
    std::copy(unmappedPixels_.begin(), unmappedPixels_.end(), pixels);
    std::copy(unmappedColours_.begin(), unmappedColours_.end(), table);
    clearMappingHistory();
}

void NSprite::drawWithInk(nAnimation& stage, int32_t inkNumber) {
    // The table has 32 entries: inks outside it draw nothing.
    if (inkNumber < 0 || inkNumber >= kInkCount) return;
    const InkRoutine routine = gInks[inkNumber].load(std::memory_order_relaxed);
    nDIB* picture = stage.getDisplayOSB()->getDIB();
    if (!routine || !picture) return;
    routine(*picture, *this, left, top, width(), height(), 0, 0);
}

void NSprite::draw(skvView* view, const SpriteChannel* channel) {
    nAnimation* stage = stageOf(view);
    if (!stage || !channel) return;
    hubHitMode = showsHub(*stage) ? 1 : 0;
    matchStagePalette(*stage);
    if (!stage->buffersCreated()) return;

    const POINT at = positionFor(*channel);
    const int32_t x = at.x, y = at.y;
    if (x != left || y != top || width() != channel->width() || height() != channel->height()) {
        RECT old;
        bounds(&old);
        stage->addDirtyRect(old);
        setPosition(x, y);
        RECT now;
        bounds(&now);
        stage->addDirtyRect(now);
    }
    // Pushed once: a second push would put the channel's number in place of the member's own
    // trigger as the saved one.
    if (const int32_t script = channel->scriptNumber(); script != 0 && triggerNumber != script)
        pushTrigger(script);
    resolveColours(view, channel);
    drawWithInk(*stage, ink);
}

int NSprite::hitTest(const SpriteChannel* channel, const tagPOINT& point) {
    if (!channel) return 0;
    const POINT at = positionFor(*channel);
    setPosition(at.x, at.y);
    RECT r;
    bounds(&r);
    if (point.x < r.left || point.x >= r.right || point.y < r.top || point.y >= r.bottom) return 0;
    // Inside the bounds, so both offsets lie in [0, size): no wrap even at the range's ends.
    const int32_t dx = point.x - left, dy = point.y - top;
    if (hubHitMode) {
        const uint8_t* p = pixelAt(dx, dy);
        return p && *p != transparentIndex ? 1 : 0;
    }
    if (ink == kMatteInk && mask()) {
        const uint8_t* m = maskAt(dx, dy);
        if (m && *m != 0) return 0;
    }
    return 1;
}

} // namespace skv
