// nAnimation: the stage compositor. It rebuilds the whole stage picture in its display buffer for
// every frame, keeps a list of the areas that changed, and copies only those to the window.
//
// Every frame goes prepareForRender (keep the old picture for a transition, clear to the stage
// colour), render (the score draws each member with its ink), updateScreen (start or stop the
// frame's sound, then copy the dirty rectangles, clipped to their union). More than 100 dirty
// rectangles, a forced redraw and a change of the stage colour copy the whole stage instead.
//
// Every call is made with the view mutex held.
#pragma once

#include <cstdint>

#include "gfx/osb.h"
#include "gfx/palette.h"
#include "gfx/transition.h"
#include "platform/wingdi.h"

namespace skv {

class qmsObjectManager;
class skvObject;
class skvView;
class StageScore;

class nAnimation {
public:
    static constexpr int32_t kMaxDirtyRects = 100;
    // Dirty count meaning "the whole stage".
    static constexpr int32_t kWholeStage = -1;

    nAnimation();
    ~nAnimation();
    nAnimation(const nAnimation&) = delete;
    nAnimation& operator=(const nAnimation&) = delete;

    // Forgets the view, the store and the palette and asks for a full copy next time.
    void reset();
    // Takes the view's current size as the stage size.
    void attachView(skvView* view);
    // Installs the built-in palettes in the store, gives the stage a palette object there, and
    // shows the attached score's palette when the store has it.
    void setObjectStore(qmsObjectManager* store);
    // The display and previous buffers at the size, drawing to the view's window DC. 1 when the
    // display buffer could be made.
    int32_t createBuffers(int32_t width, int32_t height, int32_t bitsPerPixel);
    // Makes the palette (none: the current one again) the stage's colours.
    void setPalette(skvPalette* palette);
    void prepareForRender();
    // The score's frame made a palette the stage's: the stage is cleared again in the stage
    // colour of that palette if it was cleared with another (before any sprite draws).
    void stagePaletteChanged();
    void render(StageScore* score, int32_t quiet);
    // Takes the window from the previous picture to the one just drawn with the effect (0-52;
    // others show the frame at once), while the caller waits. 1 when an effect ran.
    int32_t runTransition(int32_t effect, int32_t chunkSize, int32_t durationMs, int32_t rate);
    // Told of every step a transition draws (on the thread that drew it).
    void setTransitionStepHook(TransitionStepHook hook) { transitions_.stepHook = std::move(hook); }
    // From any thread: a transition running now, or started before allowTransitions, ends at
    // once with the whole new picture (the one thing that does not wait for the view lock).
    void cutTransitionsShort();
    void allowTransitions();
    void addDirtyRect(const RECT& rect);
    // The bounds of a bitmap member; other members have none to add.
    void addDirtyMember(skvObject* member);
    void updateScreen();

    void forceFullRedraw() { forceFullRedraw_ = 1; }
    void requestSoundStop() { stopSoundPending_ = 1; }
    void setPendingSound(skvObject* sound) { pendingSound_ = sound; }
    void setWaitMode(int32_t mode) { waitMode_ = mode; }
    int32_t waitMode() const { return waitMode_; }
    void setRealizePending(int32_t flag) { realizePending_ = flag; }
    uint8_t stageColourIndex() const { return stageColourIndex_; }
    nOSB* getPreviousOSB() { return &previous_; }
    nDisplayOSB* getDisplayOSB() { return &display_; }
    HDC getViewDC() const { return viewDC_; }
    // A frame's tempo, for the player behind the view.
    void setTempo(int32_t framesPerSecond);

    skvView* view() const { return view_; }
    qmsObjectManager* objectStore() const { return store_; }
    StageScore* currentScore() const { return score_; }
    void setCurrentScore(StageScore* score) { score_ = score; }
    skvPalette* currentPalette() const { return palette_; }
    int32_t buffersCreated() const { return buffersCreated_; }
    int32_t stageWidth() const { return width_; }
    int32_t stageHeight() const { return height_; }
    int32_t dirtyCount() const { return dirtyCount_; }
    const RECT* dirtyRects() const { return dirty_; }
    COLORREF stageColour() const { return stageColour_; }
    const GUID& lastSound() const { return lastSound_; }
    skvObject* pendingSound() const { return pendingSound_; }
    int32_t stopSoundPending() const { return stopSoundPending_; }
    int32_t realizePending() const { return realizePending_; }
    int32_t paletteUse() const { return paletteUse_; }

private:
    void fillStageColour();

    nOSB previous_;
    nDisplayOSB display_;
    int32_t width_ = 0, height_ = 0;
    skvView* view_ = nullptr;
    HDC viewDC_ = nullptr;
    qmsObjectManager* store_ = nullptr;
    int32_t buffersCreated_ = 0;
    skvObject* pendingSound_ = nullptr;
    int32_t dirtyCount_ = kWholeStage;
    RECT dirty_[kMaxDirtyRects]{};
    GUID lastSound_{};
    int32_t forceFullRedraw_ = 1;
    const skvPalette* filledWith_ = nullptr; // the palette of the last stage clear
    int32_t realizePending_ = 0;
    int32_t stopSoundPending_ = 0;
    StageScore* score_ = nullptr;
    skvPalette* palette_ = nullptr; // belongs to the object store
    COLORREF stageColour_ = CLR_INVALID;
    uint8_t stageColourIndex_ = 0;
    int32_t paletteUse_ = 1;
    int32_t waitMode_ = 0;
    TransitionContext transitions_;
};

} // namespace skv
