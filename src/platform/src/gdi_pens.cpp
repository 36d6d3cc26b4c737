// Pens, pattern brushes and the device-dependent bitmaps patterns are made from; a DC's
// background mode, its background and text colours and its current position.
#include <algorithm>
#include <cstring>
#include <utility>

#include "gdi_dc.h"

namespace skv::platform::gdi {

namespace {

constexpr int kMaxDeviceBitmap = 4096;

struct StockPens {
    HGDIOBJ white, black, none;
};

StockPens& stockPens() {
    static StockPens* s = [] {
        auto* p = new StockPens; // lives as long as the process
        p->white = insertStockObject(std::make_shared<PenObj>(PS_SOLID, 1, RGB(255, 255, 255)));
        p->black = insertStockObject(std::make_shared<PenObj>(PS_SOLID, 1, RGB(0, 0, 0)));
        p->none = insertStockObject(std::make_shared<PenObj>(PS_NULL, 0, 0));
        return p;
    }();
    return *s;
}

// Runs f on the DC's state under its lock; `fail` when the handle is not a DC.
template <class F, class R> R withDC(HDC dc, R fail, F f) {
    auto d = lookupDC(dc);
    if (!d) return fail;
    std::lock_guard<std::mutex> g(d->mu);
    return f(*d);
}

} // namespace

std::shared_ptr<BitmapObj> BitmapObj::makeDeviceBitmap(int width, int height, int bitsPerPixel,
                                                       const void* bits, int widthBytes) {
    if (width <= 0 || height <= 0 || width > kMaxDeviceBitmap || height > kMaxDeviceBitmap)
        return {};
    if (bitsPerPixel != 1 && bitsPerPixel != 8) return {};
    const size_t stride = (static_cast<size_t>(width) * bitsPerPixel + 15) / 16 * 2;
    const size_t from = widthBytes > 0 ? static_cast<size_t>(widthBytes) : stride;
    if (from < (static_cast<size_t>(width) * bitsPerPixel + 7) / 8) return {};
    std::shared_ptr<BitmapObj> b(new BitmapObj);
    b->width_ = width;
    b->height_ = height;
    b->bpp_ = bitsPerPixel;
    b->topDown_ = true;
    b->stride_ = stride;
    b->storage_.assign(stride * static_cast<size_t>(height), 0);
    if (bits) {
        const auto* in = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            std::memcpy(&b->storage_[stride * y], in + from * y, std::min(stride, from));
    }
    return b;
}

int PenObj::describe(int size, void* buffer) const {
    if (!buffer) return sizeof(LOGPEN);
    if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
    LOGPEN lp{style, POINT{width, 0}, colour};
    std::memcpy(buffer, &lp, sizeof lp);
    return sizeof lp;
}

HPEN defaultPen() {
    return static_cast<HPEN>(stockPens().black);
}

HGDIOBJ stockPen(int index) {
    switch (index) {
    case WHITE_PEN:
        return stockPens().white;
    case BLACK_PEN:
        return stockPens().black;
    case NULL_PEN:
        return stockPens().none;
    default:
        return nullptr;
    }
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

HPEN CreatePen(int style, int width, COLORREF colour) {
    if (style != PS_SOLID && style != PS_NULL && style != PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int w = style == PS_NULL ? 0 : std::max(width, 1);
    return static_cast<HPEN>(
        insertGdiObject(std::make_shared<PenObj>(static_cast<UINT>(style), w, colour)));
}

HBITMAP CreateBitmapIndirect(const BITMAP* bitmap) {
    if (!bitmap || bitmap->bmPlanes != 1 || (bitmap->bmWidthBytes & 1) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto b = BitmapObj::makeDeviceBitmap(bitmap->bmWidth, bitmap->bmHeight, bitmap->bmBitsPixel,
                                         bitmap->bmBits, bitmap->bmWidthBytes);
    if (!b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HBITMAP>(insertGdiObject(std::move(b)));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    BITMAP bm{};
    bm.bmWidth = width;
    bm.bmHeight = height;
    bm.bmPlanes = static_cast<WORD>(planes);
    bm.bmBitsPixel = static_cast<WORD>(bitsPerPixel);
    bm.bmBits = const_cast<void*>(bits);
    return CreateBitmapIndirect(&bm);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto b = lookupGdiObjectAs<BitmapObj>(bitmap, GdiObject::Kind::Bitmap);
    if (!b || (b->bitsPerPixel() != 1 && b->bitsPerPixel() != 8)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pattern = std::make_shared<BrushPattern>();
    pattern->width = b->width();
    pattern->height = b->height();
    pattern->monochrome = b->bitsPerPixel() == 1;
    pattern->pixels.resize(static_cast<size_t>(pattern->width) * pattern->height);
    const uint8_t* row = b->topRow();
    for (int y = 0; y < pattern->height; ++y, row += b->pitch()) {
        for (int x = 0; x < pattern->width; ++x) {
            pattern->pixels[static_cast<size_t>(y) * pattern->width + x] =
                pattern->monochrome ? static_cast<uint8_t>((row[x / 8] >> (7 - x % 8)) & 1)
                                    : row[x];
        }
    }
    return static_cast<HBRUSH>(insertGdiObject(std::make_shared<BrushObj>(std::move(pattern))));
}

int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return withDC(dc, 0, [&](DcObject& d) { return std::exchange(d.bkMode, mode); });
}

int GetBkMode(HDC dc) {
    return withDC(dc, 0, [](DcObject& d) { return d.bkMode; });
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
    return withDC(dc, CLR_INVALID, [&](DcObject& d) { return std::exchange(d.bkColour, colour); });
}

COLORREF GetBkColor(HDC dc) {
    return withDC(dc, CLR_INVALID, [](DcObject& d) { return d.bkColour; });
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    return withDC(dc, CLR_INVALID,
                  [&](DcObject& d) { return std::exchange(d.textColour, colour); });
}

COLORREF GetTextColor(HDC dc) {
    return withDC(dc, CLR_INVALID, [](DcObject& d) { return d.textColour; });
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    return withDC(dc, FALSE, [&](DcObject& d) {
        if (previous) *previous = d.position;
        d.position = POINT{x, y};
        return TRUE;
    });
}

} // extern "C"
