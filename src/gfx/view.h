// skvView: the stage window and the thread that owns it.
//
// The view thread creates a child window of the system "BUTTON" class named "skvView", replaces
// its window procedure with the stage's own, and runs the window's message loop; between passes
// of the loop it calls onIdle, which the player makes its frame tick. The view mutex is held by
// the view thread at all times except while it peeks and dispatches messages, and every message
// handler takes it again, so a handler never runs concurrently with an outside call that holds
// it.
//
// Stage window messages and what they become:
//
// | message                          | handling                                   | result  |
// |----------------------------------|--------------------------------------------|---------|
// | WM_PAINT                         | BeginPaint; onPaint (dc, paint rectangle)   | 1       |
// | WM_DESTROY                       | the view forgets the window                | default |
// | WM_MOVE / WM_SIZE                | current position / size; onSize            | default |
// | WM_ACTIVATE, WM_ACTIVATEAPP      | nothing                                    | 0       |
// | WM_CLOSE                         | nothing: the stage cannot be closed so     | 1       |
// | WM_SETCURSOR                     | onSetCursor at the message position        | 1       |
// | mouse moves and buttons          | onMouseMove, onLButtonDown ... (x, y)      | 0       |
// | WM_KEYDOWN, WM_TIMER, WM_HSCROLL | onKeyDown, onTimer, onHScroll              | default |
// | palette messages, MM_WOM_DONE    | onQueryNewPalette, onPaletteChanged,       | default |
// |                                  | onWaveDone                                 |         |
// | 8025, 8026                       | onNotify (wParam, lParam)                  | default |
//
// "default" means the message also goes to DefWindowProc, whose result is returned. Mouse
// coordinates are the unsigned low and high words of lParam.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Util/nmtx.h"
#include "platform/wingdi.h"
#include "platform/winuser.h"

namespace skv {

class nAnimation;
class skvObject;

class skvView {
public:
    static constexpr size_t kStackSize = 131072;
    // The status messages the stream posts to the stage window.
    static constexpr UINT kMsgStatus = 8025;
    static constexpr UINT kMsgProgress = 8026;

    skvView();
    // Stops the thread and waits for it to end. A subclass whose handlers the thread may still be
    // running must call shutdown() in its own destructor.
    virtual ~skvView();
    skvView(const skvView&) = delete;
    skvView& operator=(const skvView&) = delete;

    // Slots 1 and 2: the view thread, held around re-parenting.
    virtual void suspend();
    virtual void resume();
    // Slot 3: asks the loop to end and, from another thread, waits until the thread has left its
    // body, answering messages sent to the calling thread meanwhile. Call it without holding the
    // view mutex: the thread needs it to leave its loop.
    virtual void stop();
    // Slot 4: starts the view thread on first use and waits until the window exists (or the
    // thread has ended without one).
    virtual void waitForWindow();
    // Slot 7: the thread body.
    virtual void run();
    // Slot 8.
    virtual void reservedHook() {}
    // Slots 9-20: input and window events, on the view thread with the view mutex held.
    virtual void onMouseMove(int32_t x, int32_t y) {}
    virtual void onLButtonDown(int32_t x, int32_t y) {}
    virtual void onLButtonUp(int32_t x, int32_t y) {}
    virtual void onLButtonDblClk(int32_t x, int32_t y) {}
    virtual void onRButtonDown(int32_t x, int32_t y) {}
    virtual void onRButtonUp(int32_t x, int32_t y) {}
    virtual void onRButtonDblClk(int32_t x, int32_t y) {}
    virtual void onSetCursor(int32_t x, int32_t y) {}
    virtual void onSize(int32_t width, int32_t height) {}
    virtual void onHScroll(int32_t code, int32_t position) {}
    virtual void onKeyDown() {}
    virtual void onTimer() {}
    // Slot 21: another window changed the system palette.
    virtual void onPaletteChanged(HWND window);
    // Slot 22.
    virtual void onQueryNewPalette() {}
    // Slot 23: fills the rectangle white.
    virtual void onPaint(HDC dc, const RECT& rect);
    // Slot 24: a wave output buffer is done; `header` is the MM_WOM_DONE lParam.
    virtual void onWaveDone(LPARAM header) {}
    // Slot 25: once, after the window exists and before its first invalidation.
    virtual void onInit() {}
    // Slot 26: the stream's status messages 8025 and 8026.
    virtual void onNotify(WPARAM code, LPARAM data) {}
    // Slot 27: lets other threads at the view for a millisecond.
    virtual void onIdle();
    // Slot 28: after the loop, before the window goes.
    virtual void onExit() {}

    // What the compositor asks of the player behind the view.
    virtual nAnimation* animation() { return nullptr; }
    virtual void setStageTempo(int32_t framesPerSecond) {}
    virtual void stopSoundOutput() {}
    virtual void startSound(skvObject* sound) {}
    // At the end of the thread body, before onExit.
    virtual void closeSoundOutput() {}

    // Stops the thread and reaps it; the view can be destroyed afterwards.
    void shutdown();

    void setStyle(DWORD style) { style_ = style; }
    // Applied on the view thread: from any other thread the request is posted to it, because a
    // caller that holds the view mutex would otherwise wait for a window procedure that waits
    // for the mutex. With `paintNow` a window being shown is also painted at once, before the
    // view thread handles anything posted after the request: a paint otherwise waits until the
    // queue is empty, which a stream posting its statuses may not let happen for a while.
    void show(int32_t flag, bool paintNow = false);
    // Stores the rectangle as requested and current one and moves the window there. A centred
    // view keeps being centred when only its size changes; an explicit position ends centring.
    void setRect(int32_t x, int32_t y, int32_t width, int32_t height);
    void setPosition(int32_t x, int32_t y);
    void setSize(int32_t width, int32_t height);
    // The window DC, with the stock palette selected on the first call.
    HDC getDC();
    // The window DC lives as long as the window.
    void releaseDC() {}
    void centreInParent();
    void attachParent(HWND parent);
    // InvalidateRect with erasing; none means the whole window.
    void invalidate(const RECT* rect = nullptr);
    // A message box on the stage window, with the view mutex released while it shows.
    int messageBox(const char* text);

    nmtx* viewMutex() { return &mutex_; }
    HWND window() const { return window_.load(); }
    HWND parentWindow() const { return parent_.load(); }
    // The window's rectangle as last set or reported.
    int32_t x() const { return x_.load(); }
    int32_t y() const { return y_.load(); }
    int32_t width() const { return width_.load(); }
    int32_t height() const { return height_.load(); }
    bool isRunning() const { return running_.load() != 0; }
    bool stopRequested() const { return stopRequested_.load() != 0; }
    bool isCentred() const { return centre_.load() != 0; }
    DWORD threadId() const { return threadId_.load(); }
    bool onViewThread() const { return threadId() == GetCurrentThreadId(); }

private:
    // Requests the view thread carries out for other threads.
    static constexpr UINT kMsgPlace = WM_APP + 0x100;
    static constexpr UINT kMsgShow = WM_APP + 0x101;
    static constexpr UINT kMsgCentre = WM_APP + 0x102;

    static DWORD WINAPI entry(LPVOID self);
    static LRESULT CALLBACK stageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool createWindow();
    void destroyWindow();
    // Moves the window to the current rectangle (and centres it when asked), on the view thread.
    void place();
    void centreNow();
    void showNow(HWND hwnd, bool visible, bool paintNow);

    nmtx mutex_;
    DWORD style_ = WS_CHILD;
    std::atomic<HWND> window_{nullptr};
    std::atomic<HWND> parent_{nullptr};
    std::atomic<int32_t> x_{0}, y_{0}, width_{0}, height_{0};
    std::atomic<int32_t> centre_{0};
    std::atomic<int32_t> running_{0};
    HPALETTE savedPalette_ = nullptr;
    bool dcPalette_ = false; // the stock palette is selected into the window DC
    HDC windowDC_ = nullptr;
    bool destroyed_ = false; // the window got WM_DESTROY
    std::atomic<int32_t> stopRequested_{0};
    std::atomic<int32_t> requestedX_{-100}, requestedY_{-100};
    std::atomic<int32_t> requestedWidth_{0}, requestedHeight_{0};

    std::atomic<HANDLE> thread_{nullptr};
    std::atomic<DWORD> threadId_{0};
};

} // namespace skv
