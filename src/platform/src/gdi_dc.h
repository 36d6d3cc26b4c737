// Device contexts: the screen DC, window DCs (drawing into a window's picture) and memory DCs
// (drawing into the bitmap selected into them), with what is selected into each.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "gdi_bitmap.h"
#include "gdi_palette.h"
#include "region.h"

namespace skv::platform::gdi {

class DcObject : public GdiObject {
public:
    enum class Surface { Screen, Window, Memory };

    DcObject(Surface surface, HWND window);
    ~DcObject() override;

    DWORD objectType() const override { return surface_ == Surface::Memory ? OBJ_MEMDC : OBJ_DC; }
    bool deletable() const override { return false; }
    Surface surface() const { return surface_; }
    HWND window() const { return window_; }

    // What is selected, and the clip regions. Guarded by mu.
    mutable std::mutex mu;
    HBITMAP bitmapHandle = nullptr;
    std::shared_ptr<BitmapObj> bitmap;
    HPALETTE paletteHandle = nullptr;
    std::shared_ptr<PaletteObj> palette;
    bool forceBackground = false;
    HBRUSH brushHandle = nullptr;
    std::shared_ptr<BrushObj> brush;
    HPEN penHandle = nullptr;
    std::shared_ptr<PenObj> pen;
    int bkMode = OPAQUE;
    COLORREF bkColour = RGB(255, 255, 255);
    COLORREF textColour = RGB(0, 0, 0);
    POINT position{0, 0};            // MoveToEx and LineTo
    std::optional<Region> clip;      // SelectClipRgn, in DC coordinates
    std::optional<Region> paintClip; // BeginPaint's update region
    int stretchMode = BLACKONWHITE;

private:
    Surface surface_;
    HWND window_;
};

std::shared_ptr<DcObject> lookupDC(HDC dc);
// True when `dc` is a live DC drawing on the display (so the system palette applies to it).
bool isDisplayDC(HDC dc);
// A DC for a window's client area; with `paintClip`, one that BeginPaint hands out.
HDC makeWindowDC(HWND window, std::optional<Region> paintClip);
// The colours that palette indices (DIB_PAL_COLORS) stand for in a DC.
std::vector<RGBQUAD> paletteColoursOf(HDC dc, const std::vector<WORD>& indices);

} // namespace skv::platform::gdi
