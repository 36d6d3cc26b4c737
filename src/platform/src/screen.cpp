// The screen: its size, the desktop picture, and composing the visible windows into one
// picture.
#include "screen.h"

#include <atomic>

#include "gdi_palette.h"
#include "platform/display.h"
#include "win_core.h"

namespace skv::platform::win {

namespace {

std::atomic<uint64_t> generation{1};
std::atomic<int> screenWidth{1024};
std::atomic<int> screenHeight{768};

gdi::Picture& desktop() {
    static auto* p = [] {
        auto* d = new gdi::Picture; // lives as long as the process
        d->resize(screenWidth.load(), screenHeight.load(),
                  displayValueOf(GetSysColor(COLOR_BACKGROUND)));
        return d;
    }();
    return *p;
}

// Copies `w` and its visible children onto `out`, with the window's client origin at `origin`,
// inside `clip` (both in `out`'s coordinates).
void paintInto(gdi::Picture& out, const Window* w, POINT origin, RECT clip) {
    RECT area{origin.x, origin.y, origin.x + w->width(), origin.y + w->height()};
    area = gdi::rectIntersection(area, clip);
    area = gdi::rectIntersection(area, RECT{0, 0, out.width, out.height});
    if (gdi::rectEmpty(area)) return;
    const gdi::Picture& p = w->picture;
    for (int y = area.top; y < area.bottom; ++y) {
        const int sy = y - origin.y;
        if (sy >= p.height) break;
        const int right = std::min<LONG>(area.right, origin.x + p.width);
        if (right <= area.left) continue;
        std::copy(p.row(sy) + (area.left - origin.x), p.row(sy) + (right - origin.x),
                  out.row(y) + area.left);
    }
    // Children bottom first, so that the top one ends up on top.
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        const Window* c = *it;
        if (!(c->style & WS_VISIBLE)) continue;
        paintInto(out, c, POINT{origin.x + c->rect.left, origin.y + c->rect.top}, area);
    }
}

} // namespace

gdi::Picture& desktopPicture() {
    return desktop();
}

gdi::Picture composeScreen() {
    gdi::Picture out = desktop();
    const RECT all{0, 0, out.width, out.height};
    const Window& root = desktopWindow();
    for (auto it = root.children.rbegin(); it != root.children.rend(); ++it) {
        const Window* w = *it;
        if (!(w->style & WS_VISIBLE)) continue;
        paintInto(out, w, POINT{w->rect.left, w->rect.top}, all);
    }
    return out;
}

bool composeWindow(HWND window, gdi::Picture& out) {
    Window* w = findWindow(window);
    if (!w || w == &desktopWindow()) return false;
    out = gdi::Picture();
    out.resize(w->width(), w->height(), 0);
    paintInto(out, w, POINT{0, 0}, RECT{0, 0, out.width, out.height});
    return true;
}

void screenChanged() {
    generation.fetch_add(1, std::memory_order_release);
}

uint64_t screenGeneration() {
    return generation.load(std::memory_order_acquire);
}

uint32_t displayValueOf(COLORREF colour) {
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    gdi::DisplayState& d = gdi::displayState();
    std::lock_guard<std::mutex> lk(d.mu);
    if (!d.paletteDisplay)
        return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
    const PALETTEENTRY* statics = skv::platform::staticColours();
    const PALETTEENTRY& s = statics[gdi::nearestEntry(statics, 20, r, g, b)];
    return gdi::nearestEntry(d.systemPalette, 256, s.peRed, s.peGreen, s.peBlue);
}

uint32_t displayValueToRgb(uint32_t value) {
    gdi::DisplayState& d = gdi::displayState();
    std::lock_guard<std::mutex> lk(d.mu);
    if (!d.paletteDisplay) return value & 0xFFFFFF;
    const PALETTEENTRY& e = d.systemPalette[value & 0xFF];
    return (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) |
           e.peBlue;
}

} // namespace skv::platform::win

namespace skv::platform {

void setScreenSize(int width, int height) {
    width = std::clamp(width, 1, 8192);
    height = std::clamp(height, 1, 8192);
    {
        std::lock_guard<std::mutex> g(win::wmMutex());
        win::screenWidth = width;
        win::screenHeight = height;
        win::desktop().resize(width, height, win::displayValueOf(GetSysColor(COLOR_BACKGROUND)));
        win::desktopWindow().rect = RECT{0, 0, width, height};
    }
    win::screenChanged();
}

SIZE screenSize() {
    return SIZE{win::screenWidth.load(), win::screenHeight.load()};
}

namespace {

Image toImage(const gdi::Picture& p) {
    Image img;
    img.width = p.width;
    img.height = p.height;
    img.pixels.resize(p.pixels.size());
    gdi::DisplayState& d = gdi::displayState();
    std::lock_guard<std::mutex> lk(d.mu);
    for (size_t i = 0; i < p.pixels.size(); ++i) {
        uint32_t v = p.pixels[i];
        if (d.paletteDisplay) {
            const PALETTEENTRY& e = d.systemPalette[v & 0xFF];
            v = (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) |
                e.peBlue;
        }
        img.pixels[i] = v & 0xFFFFFF;
    }
    return img;
}

} // namespace

Image captureScreen() {
    gdi::Picture p;
    {
        std::lock_guard<std::mutex> g(win::wmMutex());
        p = win::composeScreen();
    }
    return toImage(p);
}

Image captureWindow(HWND window) {
    gdi::Picture p;
    {
        std::lock_guard<std::mutex> g(win::wmMutex());
        if (!win::composeWindow(window, p)) return Image{};
    }
    return toImage(p);
}

} // namespace skv::platform
