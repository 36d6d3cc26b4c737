// skvStageView: the stage window together with its compositor. It paints the window (the stage
// picture, the splash while there is none, white otherwise), answers the palette messages, and
// carries the redraw paths the player drives every frame. The player derives from it and tells it
// through hasMovie and isAnimating what painting needs to know of the movie.
//
// Painting a rectangle of the window:
// 1. no movie: white;
// 2. stage buffers exist: the rectangle joins the dirty area; while the movie plays the next
//    frame copies it, otherwise it is copied now;
// 3. a splash bitmap is set: shown centred with white around it, or, when the window is smaller
//    than the bitmap, the window is all white;
// 4. otherwise white.
#pragma once

#include <cstdint>

#include "gfx/animation.h"
#include "gfx/view.h"

namespace skv {

class nDIB;
class StageScore;

class skvStageView : public skvView {
public:
    skvStageView();
    // Ends the view thread before the compositor its handlers use goes away.
    ~skvStageView() override;

    nAnimation* animation() override { return &compositor_; }
    nAnimation& compositor() { return compositor_; }

    // The picture shown centred while there are no stage buffers (not owned); a new one repaints
    // the whole window.
    void setSplash(nDIB* splash);
    nDIB* splash() const { return splash_; }
    // Re-parents the stage to a window and attaches the compositor to it.
    void attachToWindow(HWND window);
    DWORD attachingThread() const { return attachingThread_; }
    // The score the redraw paths render; the compositor clears its frames with its colours.
    void setStageScore(StageScore* score);
    StageScore* stageScore() const { return score_; }
    // The frame path: clear, render and copy the changed areas (everything when fullClear).
    void redraw(int32_t fullClear, int32_t quiet);
    // Copies the stage (rendered afresh when fullClear) and repaints the whole window.
    void redrawAndInvalidate(int32_t fullClear, int32_t quiet);

    void onPaint(HDC dc, const RECT& rect) override;
    void onQueryNewPalette() override;

protected:
    // A movie is open (its picture or the splash is what the window shows).
    virtual bool hasMovie() const { return false; }
    // The movie plays and has not ended: the next frame paints what a paint request asks for.
    virtual bool isAnimating() const { return false; }
    // The splash bitmap has just been drawn into the window (view thread, view mutex held, while
    // the window is being painted).
    virtual void splashShown() {}

private:
    void paintSplash(HDC dc);

    nAnimation compositor_;
    nDIB* splash_ = nullptr;
    StageScore* score_ = nullptr;
    DWORD attachingThread_ = 0;
};

} // namespace skv
