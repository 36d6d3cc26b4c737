// skvStageView: painting the stage window, its palette messages and the redraw paths.
#include "gfx/stageview.h"

#include "gfx/dib.h"
#include "gfx/stagescore.h"

namespace skv {

namespace {

HBRUSH whiteBrush() {
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

} // namespace

skvStageView::skvStageView() {
    compositor_.attachView(this);
}

skvStageView::~skvStageView() {
    shutdown();
}

void skvStageView::setSplash(nDIB* splash) {
    if (splash == splash_) return;
    splash_ = splash;
    if (splash_) invalidate(nullptr);
}

void skvStageView::attachToWindow(HWND window) {
    if (window == parentWindow()) return;
    NMTX_SCOPED(guard, viewMutex());
    attachParent(window);
    attachingThread_ = GetCurrentThreadId();
    compositor_.attachView(this);
}

void skvStageView::setStageScore(StageScore* score) {
    score_ = score;
    compositor_.setCurrentScore(score);
}

void skvStageView::redraw(int32_t fullClear, int32_t quiet) {
    if (!compositor_.buffersCreated()) return;
    if (fullClear) compositor_.forceFullRedraw();
    compositor_.prepareForRender();
    if (score_) compositor_.render(score_, quiet);
    compositor_.updateScreen();
}

void skvStageView::redrawAndInvalidate(int32_t fullClear, int32_t quiet) {
    if (fullClear) {
        compositor_.prepareForRender();
        compositor_.forceFullRedraw();
        if (score_) compositor_.render(score_, quiet);
    }
    compositor_.updateScreen();
    invalidate(nullptr);
}

void skvStageView::onPaint(HDC dc, const RECT& rect) {
    if (!dc) return;
    if (!hasMovie()) {
        FillRect(dc, &rect, whiteBrush());
        return;
    }
    if (compositor_.buffersCreated()) {
        compositor_.addDirtyRect(rect);
        if (!isAnimating()) compositor_.updateScreen();
        return;
    }
    if (splash_)
        paintSplash(dc);
    else
        FillRect(dc, &rect, whiteBrush());
}

void skvStageView::paintSplash(HDC dc) {
    RECT client{};
    GetClientRect(window(), &client);
    const int32_t cw = client.right, ch = client.bottom;
    const int32_t w = splash_->width(), h = splash_->height();
    if (cw < w || ch < h || !splash_->bits()) {
        FillRect(dc, &client, whiteBrush());
        return;
    }
    const int32_t left = cw / 2 - w / 2, top = ch / 2 - h / 2;
    // The bands meet the bitmap's edges exactly, so nothing of an earlier picture is left
    // between them.
    const RECT bands[4] = {{0, 0, cw, top},
                           {0, top, left, top + h},
                           {left + w, top, cw, top + h},
                           {0, top + h, cw, ch}};
    for (const RECT& band : bands)
        FillRect(dc, &band, whiteBrush());
    StretchDIBits(dc, left, top, w, h, 0, 0, w, h, splash_->bits(),
                  reinterpret_cast<const BITMAPINFO*>(splash_->info()), DIB_RGB_COLORS, SRCCOPY);
    splashShown();
}

void skvStageView::onQueryNewPalette() {
    nDisplayOSB* display = compositor_.getDisplayOSB();
    display->realize();
    // The stage goes to the window again, in the colours just realized.
    if (compositor_.buffersCreated())
        compositor_.addDirtyRect(RECT{0, 0, compositor_.stageWidth(), compositor_.stageHeight()});
    compositor_.updateScreen();
}

} // namespace skv
