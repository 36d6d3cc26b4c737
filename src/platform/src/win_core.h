// The window system's records: classes, windows, per-thread message queues and the messages sent
// between threads.
//
// Locks. The window tree, every window record and every picture are guarded by the
// window-manager lock (screen.h). Queues, timers and sent-message records are guarded by the
// scheduler lock, so that a thread can block on its queue through kernel::blockCurrent and the
// virtual clock sees it idle. The window-manager lock is taken before the scheduler lock, and
// neither is held while a window procedure runs.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "kernel.h"
#include "picture.h"
#include "platform/winuser.h"
#include "region.h"

namespace skv::platform::win {

struct MessageQueue;

struct WindowClass {
    std::string name;
    std::string key; // the name in lower case
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool system = false;
    int windows = 0; // windows of the class alive
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    std::vector<uint8_t> extra;

    Window* parent = nullptr;      // the desktop for a top-level window; null for the desktop
    std::vector<Window*> children; // z-order, top first
    RECT rect{};                   // in the parent's client coordinates

    DWORD threadId = 0;
    std::shared_ptr<MessageQueue> queue;

    gdi::Region update; // client coordinates
    bool erase = false; // the next BeginPaint sends WM_ERASEBKGND
    bool destroying = false;

    std::vector<std::pair<std::string, HANDLE>> props;
    gdi::Picture picture; // the client area's picture

    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
};

// A message sent to another thread, waiting for its answer.
struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    bool failed = false;                       // the window or its thread went away
    std::shared_ptr<MessageQueue> senderQueue; // null: nobody waits (SendNotifyMessage)
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    uint64_t dueUs;
};

struct MessageQueue : std::enable_shared_from_this<MessageQueue> {
    DWORD threadId = 0;
    // Guarded by the scheduler lock.
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<SentMessage>> sent; // arrived, not picked up yet
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool dead = false;      // the thread has ended
    bool paintHint = false; // a window of the thread may need painting
    kernel::WaitQueue waiters;
    // Only the owning thread touches these.
    std::vector<std::shared_ptr<SentMessage>> handling; // innermost last; null: not a send
    DWORD lastTime = 0;
    POINT lastPos{};
};

// ---- windows (window-manager lock held) --------------------------------------------------------

Window* findWindow(HWND h); // null for an invalid or dying-and-gone window
Window& desktopWindow();
bool isDescendant(const Window* ancestor, const Window* w);
bool visibleOnScreen(const Window* w); // it and all its ancestors WS_VISIBLE
POINT clientOrigin(const Window* w);   // in screen coordinates
// The deepest visible window at a screen point (the desktop when none).
Window* windowAt(POINT screen);
// Invalidates part of a window (whole client area when `rect` is null); wakes its thread.
void invalidate(Window* w, const RECT* rect, bool erase);
// Marks the thread's queue as having something to paint.
void notePaint(Window* w);

// ---- queues ------------------------------------------------------------------------------------

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> currentQueue();
// Posting, with the scheduler lock taken inside. False when the queue's thread has ended.
bool postTo(MessageQueue& q, const MSG& msg, bool asInput);
// The window procedure of a window, called on the calling thread (no lock held).
LRESULT callWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Removes a destroyed window's queued messages and timers and answers its senders (scheduler
// lock held).
void forgetWindowMessages(MessageQueue& q, HWND hwnd);
// Handles the messages other threads have sent to the calling thread.
void handleSentMessages(MessageQueue& q);

// The position of the cursor (screen) and the current time, as a message records them.
POINT cursorPos();
void setCursorPos(POINT p);

// The default procedures of the system classes.
LRESULT CALLBACK buttonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK staticProc(HWND, UINT, WPARAM, LPARAM);

// ---- input state (win_input.cpp) ----------------------------------------------------------------

// Activation on a click: WM_MOUSEACTIVATE and activation of the top-level window. False when the
// click is to be eaten.
bool activateOnClick(HWND hwnd, UINT message);
// Makes a top-level window the active one (WM_ACTIVATE to both windows; no lock held).
void activateWindow(HWND topLevel, WORD how);
// Windows about to be destroyed lose the focus, activation and capture (messages sent; no lock).
void loseInputState(const std::vector<HWND>& windows);
// Windows gone: nothing refers to them any more (window-manager lock held).
void forgetInputState(const std::vector<Window*>& windows);

// Destroys the windows of an ended thread without messages.
void destroyThreadWindows(DWORD threadId);

} // namespace skv::platform::win
