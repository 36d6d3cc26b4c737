// nAnimation: frames drawn into the display buffer and the changed areas copied to the window.
#include "gfx/animation.h"

#include <algorithm>
#include <cstring>

#include "core/classids.h"
#include "core/guid.h"
#include "core/objectmanager.h"
#include "gfx/inks.h"
#include "gfx/stagescore.h"
#include "gfx/view.h"

namespace skv {

namespace {

COLORREF colourOf(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

} // namespace

nAnimation::nAnimation() {
    transitions_.cutShort = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    reset();
}

nAnimation::~nAnimation() {
    if (transitions_.cutShort) CloseHandle(transitions_.cutShort);
}

void nAnimation::cutTransitionsShort() {
    if (transitions_.cutShort) SetEvent(transitions_.cutShort);
}

void nAnimation::allowTransitions() {
    if (transitions_.cutShort) ResetEvent(transitions_.cutShort);
}

void nAnimation::reset() {
    view_ = nullptr;
    viewDC_ = nullptr;
    store_ = nullptr;
    buffersCreated_ = 0;
    stopSoundPending_ = 0;
    dirtyCount_ = kWholeStage;
    forceFullRedraw_ = 1;
    stageColour_ = CLR_INVALID;
    palette_ = nullptr;
    realizePending_ = 0;
    // The same rule as a sprite's transparent index: the last entry on a palette display.
    stageColourIndex_ = defaultTransparentIndex();
    lastSound_ = GUID{};
}

void nAnimation::attachView(skvView* view) {
    if (view_ && viewDC_) view_->releaseDC();
    viewDC_ = nullptr;
    view_ = view;
    if (view_) {
        width_ = view_->width();
        height_ = view_->height();
    }
    dirtyCount_ = kWholeStage;
}

void nAnimation::setObjectStore(qmsObjectManager* store) {
    store_ = store;
    if (!store_) return;
    installBuiltInPalettes(*store_);
    if (!palette_) {
        palette_ = new skvPalette();
        store_->add(palette_);
    }
    if (score_) {
        skvObject* found = store_->findOrWait(paletteIdentity(score_->currentPaletteNumber()));
        // A palette that has not arrived yet leaves the current one in place.
        if (auto* p = dynamic_cast<skvPalette*>(found)) setPalette(p);
    }
}

int32_t nAnimation::createBuffers(int32_t width, int32_t height, int32_t bitsPerPixel) {
    buffersCreated_ = 1;
    if (view_) {
        if (viewDC_) view_->releaseDC();
        viewDC_ = view_->getDC();
    }
    display_.setTargetDC(viewDC_);
    const int32_t made = display_.create(width, height, 8);
    previous_.create(width, height, 8);
    width_ = width;
    height_ = height;
    dirtyCount_ = kWholeStage;
    // New buffers start with the stage's colours rather than an empty colour table.
    if (made && palette_) setPalette(nullptr);
    return made;
}

void nAnimation::setPalette(skvPalette* palette) {
    if (palette && (!palette_ || !(palette->objectId == palette_->objectId))) {
        palette_ = palette;
        // New colours show everywhere on the stage, not just where sprites changed: the whole
        // stage goes to the window with this frame.
        forceFullRedraw_ = 1;
    }
    if (!palette_) return;
    display_.setColourTable(palette_->colours, 256, paletteUse_);
    HPALETTE handle = display_.getPaletteHandle();
    if (!handle) return;
    if (nDIB* dib = display_.getDIB()) dib->mapToPalette(handle);
    const UINT nearest = GetNearestPaletteIndex(handle, colourOf(palette_->colours[0]));
    if (nearest != CLR_INVALID) stageColourIndex_ = static_cast<uint8_t>(nearest);
}

void nAnimation::prepareForRender() {
    nDIB* picture = display_.getDIB();
    if (score_ && picture && score_->frameHasTransition()) {
        if (nDIB* before = previous_.getDIB()) before->copyFrom(*picture);
    }
    fillStageColour();
    if (forceFullRedraw_) {
        dirtyCount_ = kWholeStage;
        forceFullRedraw_ = 0;
    }
    stopSoundPending_ = 0;
}

void nAnimation::fillStageColour() {
    if (!score_) return;
    // The index comes from the stream: only its low byte can name a palette entry.
    const uint8_t index = static_cast<uint8_t>(score_->stageColourIndex());
    const COLORREF colour = palette_ ? colourOf(palette_->colours[index]) : RGB(0, 0, 0);
    if (colour != stageColour_) {
        stageColour_ = colour;
        forceFullRedraw_ = 1;
    }
    UINT fill = GetNearestPaletteIndex(display_.getPaletteHandle(), colour);
    if (fill == CLR_INVALID) fill = 0;
    nDIB* picture = display_.getDIB();
    if (picture && picture->bits())
        std::memset(picture->bits(), static_cast<int>(fill), picture->pixelBytes());
    filledWith_ = palette_;
}

void nAnimation::stagePaletteChanged() {
    // The frame's palette arrives after the stage was cleared in the colour of the one before;
    // clear it again before the sprites draw, or the first frame and every frame that changes
    // the palette would show the old palette's stage colour.
    if (palette_ != filledWith_) fillStageColour();
}

void nAnimation::render(StageScore* score, int32_t quiet) {
    score_ = score;
    if (score_) score_->renderFrame(quiet);
}

int32_t nAnimation::runTransition(int32_t effect, int32_t chunkSize, int32_t durationMs,
                                  int32_t rate) {
    nDIB* now = display_.getDIB();
    nDIB* before = previous_.getDIB();
    if (!now || !before || !viewDC_ || effect < 0 || effect > 52) return 0;
    // The player is going away: the frame shows at once.
    if (transitions_.cutShort && WaitForSingleObject(transitions_.cutShort, 0) == WAIT_OBJECT_0)
        return 0;
    // Both pictures in the stage's colours: the old one was drawn before this frame's palette
    // change, and the effects mix their pixels.
    if (HPALETTE stage = display_.getPaletteHandle();
        stage && before->colours() && now->colours() &&
        std::memcmp(before->colours(), now->colours(), sizeof(RGBQUAD) * 256) != 0)
        before->mapToPalette(stage);
    // The steps draw with the stage's colours on a palette device too.
    if (realizePending_) {
        display_.realize();
        realizePending_ = 0;
    }
    // The table is made afresh for every frame that runs an effect.
    TransitionTable table;
    buildTransitionTable(table);
    return skv::runTransition(table, effect, viewDC_, now, before, rate,
                              static_cast<uint32_t>(std::max(durationMs, 0)), chunkSize, 0,
                              &transitions_);
}

void nAnimation::addDirtyRect(const RECT& rect) {
    if (dirtyCount_ == kWholeStage) return;
    if (dirtyCount_ < kMaxDirtyRects)
        dirty_[dirtyCount_++] = rect;
    else
        dirtyCount_ = kWholeStage;
}

void nAnimation::addDirtyMember(skvObject* member) {
    if (!member || !(member->classId == CLSID_NSprite || member->classId == CLSID_skvText ||
                     member->classId == CLSID_skvShape))
        return;
    if (auto* bitmap = dynamic_cast<nDIB*>(member)) {
        RECT r;
        bitmap->bounds(&r);
        addDirtyRect(r);
    }
}

void nAnimation::updateScreen() {
    if (stopSoundPending_) {
        if (view_) view_->stopSoundOutput();
        lastSound_ = GUID{};
        stopSoundPending_ = 0;
    }
    if (pendingSound_) {
        // The frame's sound starts just before its picture reaches the window.
        if (view_) view_->startSound(pendingSound_);
        lastSound_ = pendingSound_->objectId;
        pendingSound_ = nullptr;
    }
    if (forceFullRedraw_) dirtyCount_ = kWholeStage;
    if (dirtyCount_ != 0) {
        HDC target = display_.getTargetDC();
        HRGN clip = nullptr;
        if (dirtyCount_ > 0 && target) {
            clip = CreateRectRgn(0, 0, 0, 0);
            for (int32_t i = 0; clip && i < dirtyCount_; ++i) {
                if (HRGN part = CreateRectRgnIndirect(&dirty_[i])) {
                    CombineRgn(clip, clip, part, RGN_OR);
                    DeleteObject(part);
                }
            }
            if (clip) SelectClipRgn(target, clip);
        }
        if (dirtyCount_ > 0)
            display_.blit(dirty_, dirtyCount_);
        else
            display_.blit(nullptr, 0);
        if (clip) {
            SelectClipRgn(target, nullptr);
            DeleteObject(clip);
        }
        dirtyCount_ = 0;
    }
    if (realizePending_) {
        display_.realize();
        realizePending_ = 0;
    }
}

void nAnimation::setTempo(int32_t framesPerSecond) {
    if (view_) view_->setStageTempo(framesPerSecond);
}

} // namespace skv
