// skvView: the view thread, the stage window's creation and message loop, and the window's place
// in its parent.
#include "gfx/view.h"

#include <algorithm>

#include "core/abandon.h"

namespace skv {

skvView::skvView() = default;

skvView::~skvView() {
    shutdown();
}

void skvView::shutdown() {
    // The thread's own stop: a player behind the view gives its stop slot the meaning of
    // stopping playback.
    skvView::stop();
    HANDLE h = thread_.exchange(nullptr);
    if (!h) return;
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
}

void skvView::suspend() {
    if (HANDLE h = thread_.load()) SuspendThread(h);
}

void skvView::resume() {
    if (HANDLE h = thread_.load()) ResumeThread(h);
}

void skvView::stop() {
    if (!running_.load() || !thread_.load() || onViewThread()) {
        stopRequested_.store(1);
        return;
    }
    stopRequested_.store(1);
    while (running_.load()) {
        // The view thread may be waiting on this thread: in a message it sent that this thread is
        // handling now, or in one it is about to send here while it winds down.
        if (InSendMessage()) ReplyMessage(0);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
}

void skvView::waitForWindow() {
    if (!thread_.load()) {
        DWORD id = 0;
        HANDLE h = CreateThread(nullptr, kStackSize, &skvView::entry, this, CREATE_SUSPENDED, &id);
        if (!h) return;
        threadId_.store(id);
        thread_.store(h);
        ResumeThread(h);
    }
    HANDLE h = thread_.load();
    while (!window_.load()) {
        // A thread that has ended without a window will not make one.
        if (WaitForSingleObject(h, 0) != WAIT_TIMEOUT) return;
        MSG msg;
        PeekMessageA(&msg, parent_.load(), 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
}

DWORD WINAPI skvView::entry(LPVOID self) {
    try {
        static_cast<skvView*>(self)->run();
    } catch (...) {
        // The view's failure ends the view, never the process.
        abandoned("skvView", "the view thread ended by %s", caughtExceptionText().c_str());
    }
    return 0;
}

void skvView::run() {
    nmtxLock lock(&mutex_);
    lock.lock();
    running_.store(1);
    try {
        if (!stopRequested_.load() && createWindow()) {
            if (centre_.load()) centreNow();
            onInit();
            InvalidateRect(window_.load(), nullptr, TRUE);
            // stop requested is deliberately not cleared here: a stop asked for while the window
            // was being made would be lost, and its caller would wait for ever.
            while (!stopRequested_.load()) {
                lock.unlock();
                MSG msg;
                const HWND hwnd = window_.load();
                while (!stopRequested_.load() && PeekMessageA(&msg, hwnd, 0, 0, PM_NOREMOVE)) {
                    if (GetMessageA(&msg, hwnd, 0, 0) <= 0) {
                        stopRequested_.store(1); // WM_QUIT, or the window is gone
                        break;
                    }
                    DispatchMessageA(&msg);
                }
                lock.lock();
                // The loop lasts as long as the window: one destroyed from outside ends it.
                if (destroyed_) stopRequested_.store(1);
                if (!stopRequested_.load()) onIdle();
            }
        }
    } catch (...) {
        // Ends the loop; the window still goes below.
        abandoned("skvView", "the message loop ended by %s", caughtExceptionText().c_str());
    }
    lock.lock();
    try {
        closeSoundOutput();
        onExit();
    } catch (...) {
        // The window goes all the same.
        abandoned("skvView", "closing the sound and onExit: %s", caughtExceptionText().c_str());
    }
    destroyWindow();
    window_.store(nullptr);
    parent_.store(nullptr);
    stopRequested_.store(1);
    running_.store(0);
}

bool skvView::createWindow() {
    if (HWND old = window_.exchange(nullptr); old && IsWindow(old)) DestroyWindow(old);
    const int32_t x = std::max(requestedX_.load(), 1);
    const int32_t y = std::max(requestedY_.load(), 1);
    HWND hwnd =
        CreateWindowExA(0, "BUTTON", "skvView", style_, x - 1, y - 1, requestedWidth_.load() + 1,
                        requestedHeight_.load() + 1, parent_.load(), nullptr, nullptr, nullptr);
    if (!hwnd) return false;
    windowDC_ = GetDC(hwnd);
    dcPalette_ = false;
    savedPalette_ = nullptr;
    destroyed_ = false;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&skvView::stageWindowProc));
    window_.store(hwnd);
    return true;
}

void skvView::destroyWindow() {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    // The DC object outlives a window destroyed from outside; it is given back either way.
    if (windowDC_) ReleaseDC(hwnd, windowDC_);
    windowDC_ = nullptr;
    dcPalette_ = false;
    if (!destroyed_ && IsWindow(hwnd)) {
        SetParent(hwnd, nullptr);
        DestroyWindow(hwnd);
    }
}

void skvView::onIdle() {
    mutex_.unlock();
    Sleep(1);
    mutex_.lock();
}

void skvView::onPaletteChanged(HWND changer) {
    if (changer != window_.load()) onQueryNewPalette();
}

void skvView::onPaint(HDC dc, const RECT& rect) {
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void skvView::show(int32_t flag, bool paintNow) {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    if (onViewThread())
        showNow(hwnd, flag != 0, paintNow);
    else
        PostMessageA(hwnd, kMsgShow, flag ? 1 : 0, paintNow ? 1 : 0);
}

void skvView::showNow(HWND hwnd, bool visible, bool paintNow) {
    ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
    if (visible && paintNow) UpdateWindow(hwnd);
}

void skvView::setRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x == requestedX_.load() && y == requestedY_.load() && width == requestedWidth_.load() &&
        height == requestedHeight_.load())
        return;
    requestedX_.store(x), requestedY_.store(y);
    requestedWidth_.store(width), requestedHeight_.store(height);
    x_.store(x), y_.store(y), width_.store(width), height_.store(height);
    HWND hwnd = window_.load();
    if (!hwnd) return;
    if (onViewThread())
        place();
    else
        PostMessageA(hwnd, kMsgPlace, 0, 0);
}

void skvView::setPosition(int32_t x, int32_t y) {
    centre_.store(0);
    setRect(x, y, requestedWidth_.load(), requestedHeight_.load());
}

void skvView::setSize(int32_t width, int32_t height) {
    setRect(requestedX_.load(), requestedY_.load(), width, height);
}

void skvView::place() {
    HWND hwnd = window_.load();
    if (!hwnd) return;
    SetWindowPos(hwnd, nullptr, requestedX_.load(), requestedY_.load(), requestedWidth_.load(),
                 requestedHeight_.load(), SWP_NOSENDCHANGING | SWP_NOCOPYBITS | SWP_NOZORDER);
    if (centre_.load()) centreNow();
}

HDC skvView::getDC() {
    if (windowDC_ && !dcPalette_) {
        savedPalette_ =
            SelectPalette(windowDC_, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
        dcPalette_ = true;
    }
    return windowDC_;
}

void skvView::centreInParent() {
    centre_.store(1);
    HWND hwnd = window_.load();
    if (!hwnd) return;
    if (onViewThread())
        centreNow();
    else
        PostMessageA(hwnd, kMsgCentre, 0, 0);
}

void skvView::centreNow() {
    HWND hwnd = window_.load();
    HWND parent = parent_.load();
    if (!hwnd || !parent) return;
    RECT p, s;
    if (!GetWindowRect(parent, &p) || !GetWindowRect(hwnd, &s)) return;
    const int32_t w = s.right - s.left, h = s.bottom - s.top;
    const int32_t x = (p.right - p.left) / 2 - w / 2;
    const int32_t y = (p.bottom - p.top) / 2 - h / 2;
    // WM_MOVE records the centred position as the current one.
    SetWindowPos(hwnd, parent, x, y, w, h, 0);
}

void skvView::attachParent(HWND parent) {
    if (!IsWindow(parent)) return;
    parent_.store(parent);
    const LONG_PTR style = GetWindowLongPtrA(parent, GWL_STYLE);
    if (!(style & WS_CLIPCHILDREN)) SetWindowLongPtrA(parent, GWL_STYLE, style | WS_CLIPCHILDREN);
    HWND hwnd = window_.load();
    if (!hwnd) return;
    // The view thread cannot suspend itself and carry on re-parenting.
    const bool hold = !onViewThread();
    if (hold) suspend();
    SetParent(hwnd, parent);
    if (hold) resume();
}

void skvView::invalidate(const RECT* rect) {
    if (HWND hwnd = window_.load()) InvalidateRect(hwnd, rect, TRUE);
}

int skvView::messageBox(const char* text) {
    mutex_.unlock();
    const int answer = MessageBoxA(window_.load(), text, "Skyvora", MB_ICONINFORMATION);
    mutex_.lock();
    return answer;
}

LRESULT CALLBACK skvView::stageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<skvView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!view) return DefWindowProcA(hwnd, message, wParam, lParam);
    return view->handleMessage(hwnd, message, wParam, lParam);
}

LRESULT skvView::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    NMTX_SCOPED(guard, &mutex_);
    const int32_t mx = LOWORD(lParam), my = HIWORD(lParam);
    try {
        switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (dc) onPaint(dc, ps.rcPaint);
            EndPaint(hwnd, &ps);
            return 1;
        }
        case WM_DESTROY:
            destroyed_ = true;
            break;
        case WM_MOVE:
            // Positions in the parent may be negative, unlike mouse coordinates.
            x_.store(GET_X_LPARAM(lParam)), y_.store(GET_Y_LPARAM(lParam));
            break;
        case WM_SIZE:
            width_.store(LOWORD(lParam)), height_.store(HIWORD(lParam));
            onSize(LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
            return 0;
        case WM_CLOSE:
            return 1;
        case WM_SETCURSOR: {
            const DWORD pos = GetMessagePos();
            POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
            ScreenToClient(hwnd, &pt);
            onSetCursor(pt.x, pt.y);
            return 1;
        }
        case WM_MOUSEMOVE:
            onMouseMove(mx, my);
            return 0;
        case WM_LBUTTONDOWN:
            onLButtonDown(mx, my);
            return 0;
        case WM_LBUTTONUP:
            onLButtonUp(mx, my);
            return 0;
        case WM_LBUTTONDBLCLK:
            onLButtonDblClk(mx, my);
            return 0;
        case WM_RBUTTONDOWN:
            onRButtonDown(mx, my);
            return 0;
        case WM_RBUTTONUP:
            onRButtonUp(mx, my);
            return 0;
        case WM_RBUTTONDBLCLK:
            onRButtonDblClk(mx, my);
            return 0;
        case WM_KEYDOWN:
            onKeyDown();
            break;
        case WM_TIMER:
            onTimer();
            break;
        case WM_HSCROLL:
            onHScroll(LOWORD(wParam), HIWORD(wParam));
            break;
        case WM_QUERYNEWPALETTE:
            onQueryNewPalette();
            break;
        case WM_PALETTECHANGED:
            onPaletteChanged(reinterpret_cast<HWND>(wParam));
            break;
        case MM_WOM_DONE:
            onWaveDone(lParam);
            break;
        case kMsgStatus:
        case kMsgProgress:
            onNotify(wParam, lParam);
            break;
        case kMsgPlace:
            place();
            return 0;
        case kMsgCentre:
            centreNow();
            return 0;
        case kMsgShow:
            showNow(hwnd, wParam != 0, lParam != 0);
            return 0;
        default:
            break;
        }
    } catch (...) {
        // A handler's failure ends that message only.
        abandoned("skvView", "message 0x%04X (wParam %llu, lParam %lld): %s", message,
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam),
                  caughtExceptionText().c_str());
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace skv
