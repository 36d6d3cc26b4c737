// Painting: update regions, WM_PAINT and BeginPaint/EndPaint.
#include "gdi_dc.h"
#include "screen.h"
#include "win_core.h"

namespace skv::platform::win {

void notePaint(Window* w) {
    if (!w->queue || w->update.empty() || !visibleOnScreen(w)) return;
    kernel::Lock lk = kernel::lockScheduler();
    w->queue->paintHint = true;
    w->queue->waiters.wakeAll();
}

void invalidate(Window* w, const RECT* rect, bool erase) {
    RECT client{0, 0, w->width(), w->height()};
    gdi::Region r(rect ? gdi::rectIntersection(*rect, client) : client);
    if (r.empty()) return;
    w->update.unite(r);
    if (erase) w->erase = true;
    notePaint(w);
}

namespace {

// Invalidates every window: a null window handle means the whole screen.
void invalidateAll(Window* w, bool erase) {
    if (w != &desktopWindow()) invalidate(w, nullptr, erase);
    for (Window* c : w->children)
        invalidateAll(c, erase);
}

} // namespace

void resetPictures() {
    std::lock_guard<std::mutex> g(wmMutex());
    desktopPicture().fill(displayValueOf(GetSysColor(COLOR_BACKGROUND)));
    std::vector<Window*> all;
    std::vector<Window*> stack{&desktopWindow()};
    while (!stack.empty()) {
        Window* w = stack.back();
        stack.pop_back();
        if (w != &desktopWindow()) w->picture.fill(0);
        for (Window* c : w->children)
            stack.push_back(c);
    }
    invalidateAll(&desktopWindow(), true);
    screenChanged();
}

} // namespace skv::platform::win

using namespace skv::platform::win;
namespace gdi = skv::platform::gdi;

extern "C" {

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    std::lock_guard<std::mutex> g(wmMutex());
    if (!window) {
        invalidateAll(&desktopWindow(), erase != FALSE);
        return TRUE;
    }
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    invalidate(w, rect, erase != FALSE);
    return TRUE;
}

BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase) {
    if (!region) return InvalidateRect(window, nullptr, erase);
    auto r = gdi::lookupRegion(region);
    if (!r) return FALSE;
    gdi::Region add = r->get();
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    add.intersect(RECT{0, 0, w->width(), w->height()});
    if (add.empty()) return TRUE;
    w->update.unite(add);
    if (erase) w->erase = true;
    notePaint(w);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (rect)
        w->update.subtract(gdi::Region(*rect));
    else
        w->update = gdi::Region();
    if (w->update.empty()) w->erase = false;
    return TRUE;
}

BOOL ValidateRgn(HWND window, HRGN region) {
    if (!region) return ValidateRect(window, nullptr);
    auto r = gdi::lookupRegion(region);
    if (!r) return FALSE;
    gdi::Region cut = r->get();
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) return FALSE;
    w->update.subtract(cut);
    if (w->update.empty()) w->erase = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase) {
    std::lock_guard<std::mutex> g(wmMutex());
    Window* w = findWindow(window);
    if (!w) return FALSE;
    if (rect) *rect = w->update.bounds();
    return w->update.empty() ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND window) {
    bool needed;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        needed = !w->update.empty() && visibleOnScreen(w);
    }
    if (needed) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    if (!paint) return nullptr;
    *paint = PAINTSTRUCT{};
    gdi::Region area;
    bool erase;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(window);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        area = w->update;
        area.intersect(RECT{0, 0, w->width(), w->height()});
        erase = w->erase;
        w->update = gdi::Region();
        w->erase = false;
    }
    HDC dc = gdi::makeWindowDC(window, area);
    if (!dc) return nullptr;
    paint->hdc = dc;
    paint->rcPaint = area.bounds();
    paint->fErase = erase ? TRUE : FALSE;
    if (erase && SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0))
        paint->fErase = FALSE; // erased
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc) return FALSE;
    ReleaseDC(window, paint->hdc);
    return TRUE;
}

} // extern "C"
