// DCs: making and freeing them, selecting objects and palettes into them, clip regions and the
// device capabilities.
#include "gdi_dc.h"

#include <algorithm>

#include "platform/display.h"
#include "screen.h"

namespace skv::platform::gdi {

namespace {

// Counts a selection so that DeleteObject refuses the object while a DC uses it.
template <class T> void swapSelection(std::shared_ptr<T>& slot, std::shared_ptr<T> next) {
    if (next) next->selections++;
    if (slot) slot->selections--;
    slot = std::move(next);
}

} // namespace

DcObject::DcObject(Surface surface, HWND window)
    : GdiObject(Kind::DC), surface_(surface), window_(window) {
    paletteHandle = defaultPalette();
    swapSelection(palette, lookupGdiObjectAs<PaletteObj>(paletteHandle, Kind::Palette));
    brushHandle = defaultBrush();
    swapSelection(brush, lookupGdiObjectAs<BrushObj>(brushHandle, Kind::Brush));
    penHandle = defaultPen();
    swapSelection(pen, lookupGdiObjectAs<PenObj>(penHandle, Kind::Pen));
    if (surface == Surface::Memory) {
        bitmapHandle = defaultBitmap();
        swapSelection(bitmap, lookupGdiObjectAs<BitmapObj>(bitmapHandle, Kind::Bitmap));
    }
}

DcObject::~DcObject() {
    std::lock_guard<std::mutex> g(mu);
    if (bitmap) {
        if (!bitmap->stock) bitmap->selectedInto = nullptr;
        bitmap->selections--;
    }
    if (palette) palette->selections--;
    if (brush) brush->selections--;
    if (pen) pen->selections--;
}

std::shared_ptr<DcObject> lookupDC(HDC dc) {
    return lookupGdiObjectAs<DcObject>(dc, GdiObject::Kind::DC);
}

bool isDisplayDC(HDC dc) {
    return lookupDC(dc) != nullptr;
}

HDC makeWindowDC(HWND window, std::optional<Region> paintClip) {
    auto d = std::make_shared<DcObject>(DcObject::Surface::Window, window);
    d->paintClip = std::move(paintClip);
    return static_cast<HDC>(insertGdiObject(std::move(d)));
}

std::vector<RGBQUAD> paletteColoursOf(HDC dc, const std::vector<WORD>& indices) {
    std::vector<PALETTEENTRY> entries;
    if (auto d = lookupDC(dc)) {
        std::lock_guard<std::mutex> g(d->mu);
        if (d->palette) entries = d->palette->entries();
    }
    std::vector<RGBQUAD> out(indices.size(), RGBQUAD{0, 0, 0, 0});
    for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= entries.size()) continue;
        const PALETTEENTRY& e = entries[indices[i]];
        out[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    return out;
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

HDC GetDC(HWND window) {
    if (!window || window == GetDesktopWindow())
        return static_cast<HDC>(
            insertGdiObject(std::make_shared<DcObject>(DcObject::Surface::Screen, nullptr)));
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return makeWindowDC(window, std::nullopt);
}

int ReleaseDC(HWND window, HDC dc) {
    auto d = lookupDC(dc);
    if (!d || d->surface() == DcObject::Surface::Memory) return 0;
    return removeGdiObject(dc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !lookupDC(dc)) return nullptr;
    return static_cast<HDC>(
        insertGdiObject(std::make_shared<DcObject>(DcObject::Surface::Memory, nullptr)));
}

BOOL DeleteDC(HDC dc) {
    auto d = lookupDC(dc);
    if (!d) return FALSE;
    return removeGdiObject(dc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto d = lookupDC(dc);
    if (!d) return nullptr;
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    if (!o) return nullptr;
    std::lock_guard<std::mutex> g(d->mu);
    switch (o->kind()) {
    case GdiObject::Kind::Bitmap: {
        auto b = std::static_pointer_cast<BitmapObj>(o);
        if (d->surface() != DcObject::Surface::Memory) return nullptr;
        if (b == d->bitmap) return d->bitmapHandle;
        const void* none = nullptr;
        if (!b->stock && !b->selectedInto.compare_exchange_strong(none, d.get())) {
            SetLastError(ERROR_INVALID_PARAMETER); // in another DC already
            return nullptr;
        }
        HGDIOBJ previous = d->bitmapHandle;
        if (d->bitmap && !d->bitmap->stock) d->bitmap->selectedInto = nullptr;
        swapSelection(d->bitmap, std::move(b));
        d->bitmapHandle = static_cast<HBITMAP>(object);
        return previous;
    }
    case GdiObject::Kind::Brush: {
        HGDIOBJ previous = d->brushHandle;
        swapSelection(d->brush, std::static_pointer_cast<BrushObj>(o));
        d->brushHandle = static_cast<HBRUSH>(object);
        return previous;
    }
    case GdiObject::Kind::Pen: {
        HGDIOBJ previous = d->penHandle;
        swapSelection(d->pen, std::static_pointer_cast<PenObj>(o));
        d->penHandle = static_cast<HPEN>(object);
        return previous;
    }
    case GdiObject::Kind::Region: {
        Region r = std::static_pointer_cast<RegionObj>(o)->get();
        int complexity = r.complexity();
        d->clip = std::move(r);
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(complexity));
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    auto d = lookupDC(dc);
    if (!d) return nullptr;
    std::lock_guard<std::mutex> g(d->mu);
    switch (type) {
    case OBJ_BITMAP:
        return d->bitmapHandle;
    case OBJ_BRUSH:
        return d->brushHandle;
    case OBJ_PEN:
        return d->penHandle;
    case OBJ_PAL:
        return d->paletteHandle;
    default:
        return nullptr;
    }
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    auto d = lookupDC(dc);
    auto p = lookupGdiObjectAs<PaletteObj>(palette, GdiObject::Kind::Palette);
    if (!d || !p) return nullptr;
    std::lock_guard<std::mutex> g(d->mu);
    HPALETTE previous = d->paletteHandle;
    swapSelection(d->palette, std::move(p));
    d->paletteHandle = palette;
    d->forceBackground = forceBackground != FALSE;
    return previous;
}

UINT RealizePalette(HDC dc) {
    auto d = lookupDC(dc);
    if (!d) return GDI_ERROR;
    std::shared_ptr<PaletteObj> palette;
    bool foreground;
    {
        std::lock_guard<std::mutex> g(d->mu);
        palette = d->palette;
        foreground = d->surface() == DcObject::Surface::Window && !d->forceBackground;
    }
    if (!palette) return 0;
    UINT changed = realizePalette(*palette, foreground);
    if (changed > 0) {
        skv::platform::win::screenChanged();
        skv::platform::win::postToTopLevel(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(d->window()),
                                           0);
    }
    return changed;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colours) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    std::shared_ptr<BitmapObj> b;
    {
        std::lock_guard<std::mutex> g(d->mu);
        b = d->bitmap;
    }
    return b ? b->setColours(start, count, colours) : 0;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    std::shared_ptr<BitmapObj> b;
    {
        std::lock_guard<std::mutex> g(d->mu);
        b = d->bitmap;
    }
    return b ? b->getColours(start, count, colours) : 0;
}

int SelectClipRgn(HDC dc, HRGN region) {
    auto d = lookupDC(dc);
    if (!d) return ERROR;
    std::lock_guard<std::mutex> g(d->mu);
    if (!region) {
        d->clip.reset();
        return SIMPLEREGION;
    }
    auto r = lookupRegion(region);
    if (!r) return ERROR;
    d->clip = r->get();
    return d->clip->complexity();
}

int SetStretchBltMode(HDC dc, int mode) {
    auto d = lookupDC(dc);
    if (!d || mode < BLACKONWHITE || mode > HALFTONE) return 0;
    std::lock_guard<std::mutex> g(d->mu);
    int previous = d->stretchMode;
    d->stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC dc) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    std::lock_guard<std::mutex> g(d->mu);
    return d->stretchMode;
}

BOOL GdiFlush(void) {
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    auto d = lookupDC(dc);
    if (!d) return 0;
    const bool palette = skv::platform::isPaletteDisplay();
    switch (index) {
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP | RC_DIBTODEV |
               RC_STRETCHBLT | RC_STRETCHDIB | (palette ? RC_PALETTE : 0);
    case HORZRES:
        return skv::platform::screenSize().cx;
    case VERTRES:
        return skv::platform::screenSize().cy;
    case BITSPIXEL:
        return palette ? 8 : 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return palette ? 20 : -1;
    case SIZEPALETTE:
        return palette ? 256 : 0;
    case NUMRESERVED:
        return palette ? 20 : 0;
    case COLORRES:
        return palette ? 18 : 24;
    default:
        return 0;
    }
}

} // extern "C"
