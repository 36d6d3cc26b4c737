// DIB sections, brushes, regions and the stock objects.
#include "gdi_bitmap.h"

#include <algorithm>
#include <cstring>

#include "gdi_dc.h"
#include "gdi_palette.h"
#include "platform/display.h"
#include "platform/winuser.h"

namespace skv::platform::gdi {

namespace {

// Large enough for any stage and screen, small enough that width x height x 4 cannot overflow.
constexpr int kMaxDimension = 16384;

} // namespace

std::shared_ptr<BitmapObj> BitmapObj::makeDibSection(int width, int height, int bitsPerPixel,
                                                     bool topDown,
                                                     const std::vector<RGBQUAD>& colours) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return {};
    if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return {};
    std::shared_ptr<BitmapObj> b(new BitmapObj);
    b->width_ = width;
    b->height_ = height;
    b->bpp_ = bitsPerPixel;
    b->topDown_ = topDown;
    b->dib_ = true;
    b->stride_ = (static_cast<size_t>(width) * bitsPerPixel + 31) / 32 * 4;
    b->storage_.assign(b->stride_ * static_cast<size_t>(height), 0);
    if (bitsPerPixel == 8) {
        b->colours_ = colours;
        b->colours_.resize(256, RGBQUAD{0, 0, 0, 0});
    }
    return b;
}

std::shared_ptr<BitmapObj> BitmapObj::makeMonochrome() {
    std::shared_ptr<BitmapObj> b(new BitmapObj);
    b->width_ = 1;
    b->height_ = 1;
    b->bpp_ = 1;
    b->stride_ = 2;
    b->storage_.assign(2, 0);
    return b;
}

UINT BitmapObj::setColours(UINT start, UINT count, const RGBQUAD* in) {
    std::lock_guard<std::mutex> g(mu_);
    if (start >= colours_.size() || !in) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(colours_.size()) - start);
    std::copy_n(in, n, colours_.begin() + start);
    return n;
}

UINT BitmapObj::getColours(UINT start, UINT count, RGBQUAD* out) const {
    std::lock_guard<std::mutex> g(mu_);
    if (start >= colours_.size() || !out) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(colours_.size()) - start);
    std::copy_n(colours_.begin() + start, n, out);
    return n;
}

int BitmapObj::describe(int size, void* buffer) const {
    const bool section = dib_ && size >= static_cast<int>(sizeof(DIBSECTION));
    if (!buffer) return dib_ ? sizeof(DIBSECTION) : sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{};
    bm.bmWidth = width_;
    bm.bmHeight = height_;
    bm.bmWidthBytes = static_cast<LONG>(stride_);
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(bpp_);
    bm.bmBits = dib_ ? const_cast<uint8_t*>(storage_.data()) : nullptr;
    if (!section) {
        std::memcpy(buffer, &bm, sizeof bm);
        return sizeof bm;
    }
    DIBSECTION ds{};
    ds.dsBm = bm;
    ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
    ds.dsBmih.biWidth = width_;
    ds.dsBmih.biHeight = topDown_ ? -height_ : height_;
    ds.dsBmih.biPlanes = 1;
    ds.dsBmih.biBitCount = static_cast<WORD>(bpp_);
    ds.dsBmih.biCompression = BI_RGB;
    ds.dsBmih.biSizeImage = static_cast<DWORD>(storage_.size());
    ds.dsBmih.biClrUsed = bpp_ == 8 ? 256 : 0;
    std::memcpy(buffer, &ds, sizeof ds);
    return sizeof ds;
}

int BrushObj::describe(int size, void* buffer) const {
    if (!buffer) return sizeof(LOGBRUSH);
    if (size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
    LOGBRUSH lb{style, colour, 0};
    std::memcpy(buffer, &lb, sizeof lb);
    return sizeof lb;
}

namespace {

struct StockObjects {
    HGDIOBJ brushes[6];
    HGDIOBJ defaultPalette;
    HGDIOBJ defaultBitmap;
    HGDIOBJ sysColourBrushes[32];
};

DWORD sysColour(int index) {
    switch (index) {
    case COLOR_BACKGROUND:
        return RGB(0, 128, 128);
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
        return RGB(255, 255, 255);
    case COLOR_SCROLLBAR:
    case COLOR_BTNFACE:
        return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
        return RGB(128, 128, 128);
    default:
        return RGB(0, 0, 0);
    }
}

StockObjects& stock() {
    static StockObjects* s = [] {
        auto* o = new StockObjects; // lives as long as the process
        const COLORREF brushColours[5] = {RGB(255, 255, 255), RGB(192, 192, 192),
                                          RGB(128, 128, 128), RGB(64, 64, 64), RGB(0, 0, 0)};
        for (int i = 0; i < 5; ++i)
            o->brushes[i] =
                insertStockObject(std::make_shared<BrushObj>(BS_SOLID, brushColours[i]));
        o->brushes[NULL_BRUSH] = insertStockObject(std::make_shared<BrushObj>(BS_NULL, 0));
        const PALETTEENTRY* statics = skv::platform::staticColours();
        o->defaultPalette = insertStockObject(
            std::make_shared<PaletteObj>(std::vector<PALETTEENTRY>(statics, statics + 20)));
        o->defaultBitmap = insertStockObject(BitmapObj::makeMonochrome());
        for (int i = 0; i < 32; ++i)
            o->sysColourBrushes[i] =
                insertStockObject(std::make_shared<BrushObj>(BS_SOLID, sysColour(i)));
        return o;
    }();
    return *s;
}

} // namespace

std::shared_ptr<BrushObj> brushFromHandle(HBRUSH brush) {
    uintptr_t v = reinterpret_cast<uintptr_t>(brush);
    if (v >= 1 && v <= 32) // COLOR_xxx + 1
        return lookupGdiObjectAs<BrushObj>(stock().sysColourBrushes[v - 1], GdiObject::Kind::Brush);
    return lookupGdiObjectAs<BrushObj>(brush, GdiObject::Kind::Brush);
}

std::shared_ptr<RegionObj> lookupRegion(HRGN region) {
    return lookupGdiObjectAs<RegionObj>(region, GdiObject::Kind::Region);
}

HPALETTE defaultPalette() {
    return static_cast<HPALETTE>(stock().defaultPalette);
}

HBITMAP defaultBitmap() {
    return static_cast<HBITMAP>(stock().defaultBitmap);
}

HBRUSH defaultBrush() {
    return static_cast<HBRUSH>(stock().brushes[WHITE_BRUSH]);
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

HGDIOBJ GetStockObject(int index) {
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return stock().brushes[index];
    if (index == DEFAULT_PALETTE) return stock().defaultPalette;
    return stockPen(index);
}

DWORD GetSysColor(int index) {
    return sysColour(index);
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= 32) return nullptr;
    return static_cast<HBRUSH>(stock().sysColourBrushes[index]);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(insertGdiObject(std::make_shared<BrushObj>(BS_SOLID, colour)));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits) *bits = nullptr;
    if (!info || section || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB ||
        h.biHeight == INT32_MIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<RGBQUAD> colours;
    if (h.biBitCount == 8) {
        const UINT count = h.biClrUsed == 0 ? 256 : std::min<UINT>(h.biClrUsed, 256);
        // The colour table follows the header, whatever size the header says it has.
        const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
        if (usage == DIB_RGB_COLORS) {
            colours.resize(count);
            std::memcpy(colours.data(), table, count * sizeof(RGBQUAD));
        } else {
            std::vector<WORD> indices(count);
            std::memcpy(indices.data(), table, count * sizeof(WORD));
            colours = paletteColoursOf(dc, indices);
        }
    }
    const bool topDown = h.biHeight < 0;
    auto b = BitmapObj::makeDibSection(h.biWidth, topDown ? -h.biHeight : h.biHeight, h.biBitCount,
                                       topDown, colours);
    if (!b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* memory = b->bits();
    HBITMAP handle = static_cast<HBITMAP>(insertGdiObject(std::move(b)));
    if (handle && bits) *bits = memory;
    return handle;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_shared<RegionObj>();
    RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right),
              std::max(top, bottom)};
    r->set(Region(rect));
    return static_cast<HRGN>(insertGdiObject(std::move(r)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    auto r = lookupRegion(region);
    if (!r) return FALSE;
    r->set(Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                       std::max(top, bottom)}));
    return TRUE;
}

int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode) {
    auto d = lookupRegion(destination);
    auto ra = lookupRegion(a);
    if (!d || !ra) return ERROR;
    Region result = ra->get();
    if (mode == RGN_COPY) {
        d->set(result);
        return result.complexity();
    }
    auto rb = lookupRegion(b);
    if (!rb) return ERROR;
    Region other = rb->get();
    switch (mode) {
    case RGN_AND:
        result.intersect(other);
        break;
    case RGN_OR:
        result.unite(other);
        break;
    case RGN_XOR:
        result.exclusiveOr(other);
        break;
    case RGN_DIFF:
        result.subtract(other);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    int complexity = result.complexity();
    d->set(std::move(result));
    return complexity;
}

int OffsetRgn(HRGN region, int dx, int dy) {
    auto r = lookupRegion(region);
    if (!r) return ERROR;
    Region g = r->get();
    g.offset(dx, dy);
    int complexity = g.complexity();
    r->set(std::move(g));
    return complexity;
}

int GetRgnBox(HRGN region, LPRECT rect) {
    auto r = lookupRegion(region);
    if (!r || !rect) return ERROR;
    Region g = r->get();
    *rect = g.bounds();
    return g.complexity();
}

BOOL PtInRegion(HRGN region, int x, int y) {
    auto r = lookupRegion(region);
    return r && r->get().contains(x, y) ? TRUE : FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto ra = lookupRegion(a), rb = lookupRegion(b);
    if (!ra || !rb) return ERROR;
    return ra->get() == rb->get() ? TRUE : FALSE;
}

} // extern "C"
