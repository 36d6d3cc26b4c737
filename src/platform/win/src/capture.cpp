// Pictures of windows: what the window's DC shows, copied into a 32-bit DIB section.
#include "platform/display.h"

namespace skv::platform {

Image captureArea(HDC source, int x, int y, int w, int h) {
    Image image;
    if (!source || w <= 0 || h <= 0) return image;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        if (BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY)) {
            GdiFlush();
            image.width = w;
            image.height = h;
            const auto* p = static_cast<const uint32_t*>(bits);
            image.pixels.assign(p, p + static_cast<size_t>(w) * h);
            for (uint32_t& px : image.pixels)
                px &= 0x00FFFFFFu;
        }
        SelectObject(memory, old);
    }
    if (dib) DeleteObject(dib);
    DeleteDC(memory);
    return image;
}

Image captureWindow(HWND window) {
    RECT r;
    if (!window || !IsWindow(window) || !GetWindowRect(window, &r)) return {};
    HDC source = GetWindowDC(window);
    if (!source) return {};
    Image image = captureArea(source, 0, 0, r.right - r.left, r.bottom - r.top);
    ReleaseDC(window, source);
    return image;
}

bool saveWindowPng(HWND window, const std::string& path, std::string* error) {
    const Image image = captureWindow(window);
    if (image.pixels.empty()) {
        if (error) *error = "there is no window to take a picture of";
        return false;
    }
    return writePng(image, path, error);
}

} // namespace skv::platform
