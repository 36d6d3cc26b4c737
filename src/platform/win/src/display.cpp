#include "display_state.h"

namespace skv::platform {

namespace win {

DisplayState& displayState() {
    static auto* s = new DisplayState;
    return *s;
}

namespace {

BOOL CALLBACK firstVisible(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

HWND screenWindow() {
    HWND found = nullptr;
    EnumWindows(firstVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace win

bool selectDisplay(DisplayBackend backend, std::string*) {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    win::displayState().backend = backend;
    win::displayState().chosen = true;
    return true;
}

DisplayBackend currentDisplay() {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    return win::displayState().backend;
}

void closeDisplay() {}

void setScreenSize(int width, int height) {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    win::displayState().screen = SIZE{width, height};
}

SIZE screenSize() {
    std::lock_guard<std::mutex> g(win::displayState().mu);
    return win::displayState().screen;
}

void pumpDisplay() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

} // namespace skv::platform
