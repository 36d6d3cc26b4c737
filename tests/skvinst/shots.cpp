#include "shots.h"

#include "test_files.h"

namespace skvinst_test {

namespace {

constexpr DWORD kAwaitMs = 60000;

uint32_t rgbOf(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// Painted: mostly the dialog colour, with some dark text on it.
bool looksPainted(const skv::platform::Image& image) {
    if (image.pixels.empty()) return false;
    const uint32_t face = rgbOf(GetSysColor(COLOR_3DFACE));
    size_t faceCount = 0, dark = 0;
    for (uint32_t p : image.pixels) {
        if (p == face) ++faceCount;
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (r + g + b < 120) ++dark;
    }
    return faceCount * 3 > image.pixels.size() && dark > 50;
}

} // namespace

skv::platform::Image captureScreen(const RECT& area) {
    HDC screen = GetDC(nullptr);
    skv::platform::Image image = skv::platform::captureArea(
        screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    ReleaseDC(nullptr, screen);
    return image;
}

bool saveShot(HWND window, const std::string& dir, const std::string& name, std::string* why) {
    const ULONGLONG deadline = GetTickCount64() + kAwaitMs;
    for (;;) {
        RECT r;
        if (!IsWindow(window) || !GetWindowRect(window, &r)) {
            *why = name + ": the window went away before it was painted";
            return false;
        }
        // The dialog's controls paint themselves when their process gets round to it; ask for
        // every one of them to be painted now, so that the picture holds them all.
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const skv::platform::Image image = captureScreen(r);
        if (looksPainted(image)) {
            makeDirectories(dir);
            return skv::platform::writePng(image, dir + "\\" + name + ".png", why);
        }
        if (GetTickCount64() > deadline) {
            *why = name + ": the window did not look painted within a minute";
            return false;
        }
        Sleep(50);
    }
}

bool showsMotion(HWND window, std::string* why) {
    const ULONGLONG deadline = GetTickCount64() + kAwaitMs;
    skv::platform::Image first;
    while (GetTickCount64() <= deadline) {
        RECT r;
        if (!IsWindow(window) || !GetWindowRect(window, &r)) {
            *why = "the window went away while it was watched";
            return false;
        }
        const skv::platform::Image now = captureScreen(r);
        // What counts is a change after the window first showed something.
        if (first.pixels.empty()) {
            if (looksPainted(now)) first = now;
        } else if (now.pixels != first.pixels) {
            return true;
        }
        Sleep(50);
    }
    *why = first.pixels.empty() ? "the window showed nothing within a minute"
                                : "nothing moved within a minute";
    return false;
}

} // namespace skvinst_test
