// Input as the system would deliver it: a mouse event goes to the window under the position (or
// the one that has captured the mouse) as a posted message in that window's client coordinates;
// a key goes to the focus window of the screen window's thread. Input scripts run on a thread of
// their own, on the system's clock.
#include <atomic>
#include <memory>
#include <mutex>

#include "display_state.h"

namespace skv::platform {

namespace {

std::atomic<WPARAM> gButtons{0};

WPARAM buttonFlag(MouseButton b) {
    return b == MouseButton::Left ? MK_LBUTTON : b == MouseButton::Right ? MK_RBUTTON : MK_MBUTTON;
}

// The window a mouse event at screen position (x, y) goes to, and the point in its client area.
HWND mouseTarget(int x, int y, POINT* client) {
    HWND screen = win::screenWindow();
    if (!screen) return nullptr;
    POINT p{x, y};
    ClientToScreen(screen, &p);
    HWND target = nullptr;
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(screen, nullptr), &gui) && gui.hwndCapture)
        target = gui.hwndCapture;
    if (!target) target = WindowFromPoint(p);
    // The deepest child at the point, as the system's hit testing finds it.
    for (HWND child = target; child;) {
        POINT local = p;
        ScreenToClient(child, &local);
        HWND below = ChildWindowFromPointEx(child, local, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
        if (!below || below == child) break;
        target = child = below;
    }
    if (!target) return nullptr;
    *client = p;
    ScreenToClient(target, client);
    return target;
}

struct Runner {
    std::mutex mu;
    HANDLE thread = nullptr;
    HANDLE stop = nullptr;
    std::atomic<size_t> pending{0};
};

Runner& runner() {
    static auto* r = new Runner;
    return *r;
}

struct Job {
    std::vector<InputEvent> events;
    uint64_t startMs;
    HANDLE stop;
};

void deliver(const InputEvent& e) {
    switch (e.kind) {
    case InputEvent::Kind::Move:
        injectMouseMove(e.x, e.y);
        break;
    case InputEvent::Kind::ButtonDown:
    case InputEvent::Kind::ButtonUp:
        injectMouseButton(e.button, e.kind == InputEvent::Kind::ButtonDown, e.x, e.y);
        break;
    case InputEvent::Kind::KeyDown:
    case InputEvent::Kind::KeyUp:
        injectKey(e.virtualKey, e.kind == InputEvent::Kind::KeyDown);
        break;
    }
}

DWORD WINAPI runScript(LPVOID param) {
    std::unique_ptr<Job> job(static_cast<Job*>(param));
    for (const InputEvent& e : job->events) {
        const uint64_t at = job->startMs + e.atMs;
        for (uint64_t now = GetTickCount64(); now < at; now = GetTickCount64()) {
            const uint64_t wait = std::min<uint64_t>(at - now, 0x7FFFFFFF);
            if (WaitForSingleObject(job->stop, static_cast<DWORD>(wait)) == WAIT_OBJECT_0) return 0;
        }
        if (WaitForSingleObject(job->stop, 0) == WAIT_OBJECT_0) return 0;
        deliver(e);
        runner().pending--;
    }
    return 0;
}

} // namespace

void injectMouseMove(int x, int y) {
    POINT client;
    if (HWND target = mouseTarget(x, y, &client))
        PostMessageA(target, WM_MOUSEMOVE, gButtons.load(), MAKELPARAM(client.x, client.y));
}

void injectMouseButton(MouseButton button, bool down, int x, int y) {
    if (down)
        gButtons |= buttonFlag(button);
    else
        gButtons &= ~buttonFlag(button);
    POINT client;
    HWND target = mouseTarget(x, y, &client);
    if (!target) return;
    UINT message;
    switch (button) {
    case MouseButton::Left:
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case MouseButton::Right:
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    default:
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    }
    PostMessageA(target, message, gButtons.load(), MAKELPARAM(client.x, client.y));
}

void injectKey(int virtualKey, bool down) {
    HWND screen = win::screenWindow();
    if (!screen) return;
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    HWND target = screen;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(screen, nullptr), &gui) && gui.hwndFocus)
        target = gui.hwndFocus;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0 /* MAPVK_VK_TO_VSC */);
    LPARAM info = 1 | (static_cast<LPARAM>(scan) << 16);
    if (!down) info |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
    PostMessageA(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), info);
}

void runInputScript(std::vector<InputEvent> events) {
    Runner& r = runner();
    std::lock_guard<std::mutex> g(r.mu);
    if (r.thread) {
        SetEvent(r.stop);
        WaitForSingleObject(r.thread, INFINITE);
        CloseHandle(r.thread);
        CloseHandle(r.stop);
        r.thread = r.stop = nullptr;
    }
    r.pending = events.size();
    if (events.empty()) return;
    r.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto* job = new Job{std::move(events), GetTickCount64(), r.stop};
    r.thread = CreateThread(nullptr, 128 * 1024, runScript, job, 0, nullptr);
    if (!r.thread) {
        delete job;
        r.pending = 0;
    }
}

size_t pendingInputEvents() {
    return runner().pending.load();
}

} // namespace skv::platform
