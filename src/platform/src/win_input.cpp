// Input state and input: focus, activation, capture, cursors, the pointer, and the mouse and key
// events a backend (or an input script) reports, turned into queued input messages.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <utility>

#include "platform/display.h"
#include "screen.h"
#include "win_core.h"

namespace skv::platform::win {

namespace {

// Guarded by the window-manager lock.
struct InputState {
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    // The last button that went down, for double clicks.
    UINT lastDown = 0;
    HWND lastDownWindow = nullptr;
    DWORD lastDownTime = 0;
    POINT lastDownPos{};
};

InputState& input() {
    static auto* s = new InputState;
    return *s;
}

std::atomic<uint64_t> pointer{0};

struct CursorInfo {
    int systemId = 0; // an IDC_ value, 0 for a cursor made with CreateCursor
    int width = 0, height = 0, hotX = 0, hotY = 0;
    std::vector<uint8_t> andPlane, xorPlane;
};

struct Cursors {
    std::mutex mu;
    std::set<const CursorInfo*> live;
    std::vector<CursorInfo*> system; // made once each, never freed
    std::atomic<HCURSOR> current{nullptr};
};

Cursors& cursors() {
    static auto* c = new Cursors;
    return *c;
}

HCURSOR toHandle(CursorInfo* c) {
    return reinterpret_cast<HCURSOR>(c);
}

} // namespace

POINT cursorPos() {
    uint64_t v = pointer.load();
    return POINT{static_cast<LONG>(static_cast<int32_t>(v >> 32)),
                 static_cast<LONG>(static_cast<int32_t>(v & 0xFFFFFFFFu))};
}

void setCursorPos(POINT p) {
    pointer.store((static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) |
                  static_cast<uint32_t>(p.y));
}

void activateWindow(HWND topLevel, WORD how) {
    HWND previous;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(topLevel);
        if (!w || w == &desktopWindow()) return;
        previous = input().active;
        if (previous == topLevel) return;
        input().active = topLevel;
    }
    if (previous)
        SendMessageA(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0),
                     reinterpret_cast<LPARAM>(topLevel));
    SendMessageA(topLevel, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(previous));
}

bool activateOnClick(HWND hwnd, UINT message) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    {
        std::lock_guard<std::mutex> g(wmMutex());
        if (!top || input().active == top) return true;
    }
    LRESULT r = SendMessageA(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                             MAKELPARAM(HTCLIENT, message));
    if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) activateWindow(top, WA_CLICKACTIVE);
    return r != MA_ACTIVATEANDEAT && r != MA_NOACTIVATEANDEAT;
}

void loseInputState(const std::vector<HWND>& windows) {
    auto in = [&](HWND h) {
        return h && std::find(windows.begin(), windows.end(), h) != windows.end();
    };
    HWND lostFocus = nullptr, lostActive = nullptr;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        InputState& s = input();
        if (in(s.focus)) lostFocus = std::exchange(s.focus, nullptr);
        if (in(s.active)) lostActive = std::exchange(s.active, nullptr);
        if (in(s.capture)) s.capture = nullptr;
    }
    if (lostFocus) SendMessageA(lostFocus, WM_KILLFOCUS, 0, 0);
    if (lostActive) SendMessageA(lostActive, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
}

void forgetInputState(const std::vector<Window*>& windows) {
    InputState& s = input();
    for (Window* w : windows) {
        if (s.focus == w->handle) s.focus = nullptr;
        if (s.active == w->handle) s.active = nullptr;
        if (s.capture == w->handle) s.capture = nullptr;
        if (s.lastDownWindow == w->handle) s.lastDownWindow = nullptr;
    }
}

HCURSOR currentCursorHandle() {
    return cursors().current.load();
}

bool cursorShape(HCURSOR cursor, int* systemId, int* width, int* height, int* hotX, int* hotY,
                 std::vector<uint8_t>* andPlane, std::vector<uint8_t>* xorPlane) {
    Cursors& c = cursors();
    std::lock_guard<std::mutex> g(c.mu);
    auto* info = reinterpret_cast<const CursorInfo*>(cursor);
    if (!c.live.count(info)) return false;
    *systemId = info->systemId;
    *width = info->width;
    *height = info->height;
    *hotX = info->hotX;
    *hotY = info->hotY;
    *andPlane = info->andPlane;
    *xorPlane = info->xorPlane;
    return true;
}

namespace {

WPARAM mouseFlags() {
    WPARAM f = 0;
    if (GetKeyState(VK_LBUTTON) & 0x8000) f |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) & 0x8000) f |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) & 0x8000) f |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) & 0x8000) f |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000) f |= MK_CONTROL;
    return f;
}

// Queues a mouse message for the window under the pointer (or the capture window).
void deliverMouse(UINT message, POINT at) {
    std::shared_ptr<MessageQueue> q;
    MSG msg{};
    {
        std::lock_guard<std::mutex> g(wmMutex());
        InputState& s = input();
        Window* target = s.capture ? findWindow(s.capture) : nullptr;
        if (!target) target = windowAt(at);
        if (!target || target == &desktopWindow() || !target->queue) return;
        const bool down =
            message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
        const DWORD now = GetTickCount();
        if (down) {
            const bool dbl = target->cls && (target->cls->style & CS_DBLCLKS) &&
                             s.lastDown == message && s.lastDownWindow == target->handle &&
                             now - s.lastDownTime <= GetDoubleClickTime() &&
                             std::abs(at.x - s.lastDownPos.x) <= 2 &&
                             std::abs(at.y - s.lastDownPos.y) <= 2;
            if (dbl) {
                s.lastDown = 0; // a third click starts over
                message += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
            } else {
                s.lastDown = message;
                s.lastDownWindow = target->handle;
                s.lastDownTime = now;
                s.lastDownPos = at;
            }
        }
        POINT origin = clientOrigin(target);
        msg = MSG{target->handle,
                  message,
                  mouseFlags(),
                  MAKELPARAM(at.x - origin.x, at.y - origin.y),
                  now,
                  at};
        q = target->queue;
    }
    postTo(*q, msg, true);
}

} // namespace

} // namespace skv::platform::win

using namespace skv::platform::win;

namespace skv::platform {

void injectMouseMove(int x, int y) {
    setCursorPos(POINT{x, y});
    deliverMouse(WM_MOUSEMOVE, POINT{x, y});
}

void injectMouseButton(MouseButton button, bool down, int x, int y) {
    // A pointer that has to travel to the button's position passes through a move first, as a
    // real mouse's does, so that whoever tracks the pointer sees where the press happens.
    const POINT was = cursorPos();
    if (was.x != x || was.y != y) injectMouseMove(x, y);
    const int vk = button == MouseButton::Left    ? VK_LBUTTON
                   : button == MouseButton::Right ? VK_RBUTTON
                                                  : VK_MBUTTON;
    setKeyState(vk, down);
    UINT message = button == MouseButton::Left    ? WM_LBUTTONDOWN
                   : button == MouseButton::Right ? WM_RBUTTONDOWN
                                                  : WM_MBUTTONDOWN;
    if (!down) message += 1; // the matching ...BUTTONUP
    deliverMouse(message, POINT{x, y});
}

void injectKey(int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey > 255) return;
    const bool wasDown = (GetKeyState(virtualKey) & 0x8000) != 0;
    setKeyState(virtualKey, down);
    std::shared_ptr<MessageQueue> q;
    MSG msg{};
    {
        std::lock_guard<std::mutex> g(wmMutex());
        InputState& s = input();
        Window* target = s.focus ? findWindow(s.focus) : nullptr;
        if (!target && s.active) target = findWindow(s.active);
        if (!target || !target->queue) return;
        // Repeat count 1, no scan code; bit 30 the previous state, bit 31 set on release.
        LPARAM lParam =
            1 | (wasDown ? (1 << 30) : 0) | (down ? 0 : static_cast<LPARAM>(0x80000000u));
        msg = MSG{target->handle,
                  static_cast<UINT>(down ? WM_KEYDOWN : WM_KEYUP),
                  static_cast<WPARAM>(virtualKey),
                  lParam,
                  GetTickCount(),
                  cursorPos()};
        q = target->queue;
    }
    postTo(*q, msg, true);
}

} // namespace skv::platform

extern "C" {

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = cursorPos();
    return TRUE;
}

HWND SetFocus(HWND window) {
    HWND previous;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        if (window && !findWindow(window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        previous = input().focus;
        if (previous == window) return previous;
        input().focus = window;
    }
    if (previous) SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window) SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND GetFocus(void) {
    std::lock_guard<std::mutex> g(wmMutex());
    return input().focus;
}

HWND SetActiveWindow(HWND window) {
    HWND previous = GetActiveWindow();
    HWND top = GetAncestor(window, GA_ROOT);
    if (!top) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    activateWindow(top, WA_ACTIVE);
    return previous;
}

HWND GetActiveWindow(void) {
    std::lock_guard<std::mutex> g(wmMutex());
    return input().active;
}

HWND SetCapture(HWND window) {
    std::lock_guard<std::mutex> g(wmMutex());
    if (!findWindow(window)) return nullptr;
    return std::exchange(input().capture, window);
}

BOOL ReleaseCapture(void) {
    std::lock_guard<std::mutex> g(wmMutex());
    input().capture = nullptr;
    return TRUE;
}

HWND GetCapture(void) {
    std::lock_guard<std::mutex> g(wmMutex());
    return input().capture;
}

UINT GetDoubleClickTime(void) {
    return 500;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    const int vk = static_cast<int>(msg->wParam);
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    int ch = 0;
    if (vk >= 'A' && vk <= 'Z') {
        ch = shift ? vk : vk - 'A' + 'a';
    } else if (vk >= '0' && vk <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        ch = shift ? shifted[vk - '0'] : vk;
    } else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB ||
               vk == VK_ESCAPE) {
        ch = vk;
    }
    if (!ch) return FALSE;
    return PostMessageA(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    static const int known[] = {32512, 32513, 32514, 32515, 32646, 32648, 32649};
    if (std::find(std::begin(known), std::end(known), id) == std::end(known)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    Cursors& c = cursors();
    std::lock_guard<std::mutex> g(c.mu);
    for (CursorInfo* info : c.system)
        if (info->systemId == id) return toHandle(info);
    auto* info = new CursorInfo;
    info->systemId = id;
    info->width = info->height = 32;
    c.system.push_back(info);
    c.live.insert(info);
    return toHandle(info);
}

HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height,
                     const void* andPlane, const void* xorPlane) {
    if (width <= 0 || height <= 0 || width > 256 || height > 256 || !andPlane || !xorPlane) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* info = new CursorInfo;
    info->width = width;
    info->height = height;
    info->hotX = std::clamp(hotX, 0, width - 1);
    info->hotY = std::clamp(hotY, 0, height - 1);
    const size_t bytes = static_cast<size_t>((width + 15) / 16 * 2) * height;
    info->andPlane.assign(static_cast<const uint8_t*>(andPlane),
                          static_cast<const uint8_t*>(andPlane) + bytes);
    info->xorPlane.assign(static_cast<const uint8_t*>(xorPlane),
                          static_cast<const uint8_t*>(xorPlane) + bytes);
    Cursors& c = cursors();
    std::lock_guard<std::mutex> g(c.mu);
    c.live.insert(info);
    return toHandle(info);
}

BOOL DestroyCursor(HCURSOR cursor) {
    Cursors& c = cursors();
    auto* info = reinterpret_cast<CursorInfo*>(cursor);
    {
        std::lock_guard<std::mutex> g(c.mu);
        if (!c.live.count(info) || info->systemId != 0) return info && c.live.count(info);
        c.live.erase(info);
    }
    HCURSOR expected = cursor;
    c.current.compare_exchange_strong(expected, nullptr);
    delete info;
    return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
    Cursors& c = cursors();
    if (cursor) {
        std::lock_guard<std::mutex> g(c.mu);
        if (!c.live.count(reinterpret_cast<const CursorInfo*>(cursor))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return c.current.load();
        }
    }
    HCURSOR previous = c.current.exchange(cursor);
    if (previous != cursor) screenChanged();
    return previous;
}

HCURSOR GetCursor(void) {
    return cursors().current.load();
}

} // extern "C"
