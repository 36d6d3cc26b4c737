// Pixels: FillRect, BitBlt and StretchDIBits between window pictures, the screen and bitmaps.
//
// Every drawing call works on values: device values in window pictures (0x00RRGGBB on a
// true-colour display, system palette indices on a palette display), colour indices in 8-bit
// bitmaps, 0x00RRGGBB in 24- and 32-bit ones. A colour reaches a destination as the DC's
// palette says (see the colour matching rules in platform/wingdi.h); raster operations then
// combine values, as a device does.
#include <array>
#include <cstring>
#include <unordered_map>

#include "gdi_surface.h"
#include "screen.h"

namespace skv::platform::gdi {

namespace {

bool ropUsesSource(DWORD rop) {
    return rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS;
}

bool ropSupported(DWORD rop) {
    switch (rop) {
    case SRCCOPY:
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case NOTSRCCOPY:
    case DSTINVERT:
    case BLACKNESS:
    case WHITENESS:
        return true;
    default:
        return false;
    }
}

uint32_t applyRop(DWORD rop, uint32_t s, uint32_t d, uint32_t mask) {
    switch (rop) {
    case SRCCOPY:
        return s;
    case SRCPAINT:
        return s | d;
    case SRCAND:
        return s & d;
    case SRCINVERT:
        return s ^ d;
    case NOTSRCCOPY:
        return ~s & mask;
    case DSTINVERT:
        return ~d & mask;
    case BLACKNESS:
        return 0;
    default: // WHITENESS
        return mask;
    }
}

// Turns source values into destination values.
class Converter {
public:
    Converter(const Colours& src, const Colours& dst) : src_(src), dst_(dst) {
        if (src.format == Format::Device && dst.format == Format::Device) {
            identity_ = true;
        } else if (src.format == Format::Index8) {
            useLut_ = true;
            const bool sameTable = dst.format == Format::Index8 &&
                                   dst.table.size() == src.table.size() &&
                                   std::memcmp(dst.table.data(), src.table.data(),
                                               src.table.size() * sizeof(PALETTEENTRY)) == 0;
            for (unsigned i = 0; i < 256; ++i) {
                if (sameTable) {
                    lut_[i] = i;
                } else {
                    int r, g, b;
                    src.toRgb(i, r, g, b);
                    lut_[i] = dst.fromRgb(r, g, b);
                }
            }
        } else if (!(dst.format == Format::Index8 ||
                     (dst.format == Format::Device && dst.paletteDevice)) &&
                   !(src.format == Format::Device && src.paletteDevice)) {
            identity_ = true; // red-green-blue on both sides
        }
    }
    // A source whose 8-bit values index the destination DC's palette (DIB_PAL_COLORS).
    Converter(const std::vector<WORD>& indices, const Colours& dst) : src_(dst), dst_(dst) {
        useLut_ = true;
        for (unsigned i = 0; i < 256; ++i)
            lut_[i] = i < indices.size() ? dst.fromLogical(indices[i]) : 0;
    }

    uint32_t operator()(uint32_t v) {
        if (identity_) return v;
        if (useLut_) return lut_[v & 0xFF];
        auto it = cache_.find(v);
        if (it != cache_.end()) return it->second;
        int r, g, b;
        src_.toRgb(v, r, g, b);
        uint32_t out = dst_.fromRgb(r, g, b);
        if (cache_.size() < 65536) cache_.emplace(v, out);
        return out;
    }

private:
    const Colours& src_;
    const Colours& dst_;
    bool identity_ = false;
    bool useLut_ = false;
    std::array<uint32_t, 256> lut_{};
    std::unordered_map<uint32_t, uint32_t> cache_;
};

// Copies dst rectangle (x, y, w, h) from the source, mapping each destination pixel to the source
// pixel (sourceX(t), sourceY(t)) for offset t; pixels whose source lies outside it are left.
template <class MapX, class MapY>
void transfer(const View& dst, const Region& clip, RECT area, const View* src, Converter* convert,
              DWORD rop, uint32_t mask, MapX mapX, MapY mapY) {
    Region todo(area);
    todo.intersect(clip);
    for (const RECT& r : todo.rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            int sy = 0;
            if (src) {
                sy = mapY(y - area.top);
                if (sy < 0 || sy >= src->height) continue;
            }
            for (int x = r.left; x < r.right; ++x) {
                uint32_t s = 0;
                if (src) {
                    int sx = mapX(x - area.left);
                    if (sx < 0 || sx >= src->width) continue;
                    s = (*convert)(src->get(sx, sy));
                }
                uint32_t d = rop == SRCCOPY ? 0 : dst.get(x, y);
                dst.put(x, y, applyRop(rop, s, d, mask));
            }
        }
    }
}

} // namespace

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Target t;
    if (!rect || !takeTarget(dc, t)) return 0;
    auto b = brushFromHandle(brush);
    if (!b) return 0;
    if (b->style == BS_NULL) return 1;
    const uint32_t value = t.colours.fromColorRef(b->colour);
    auto lock = lockFor(needsWmLock(t));
    View v = viewOf(t, false);
    if (!v.valid()) return 1;
    Region todo(*rect);
    todo.intersect(clipOf(t, v));
    for (const RECT& r : todo.rects())
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                v.put(x, y, value);
    drawn(t);
    return 1;
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX,
            int sourceY, DWORD rop) {
    if (!ropSupported(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Target dt, st;
    if (!takeTarget(destination, dt)) return FALSE;
    const bool withSource = ropUsesSource(rop);
    if (withSource && !takeTarget(source, st)) return FALSE;
    if (width <= 0 || height <= 0) return TRUE;
    auto lock = lockFor(needsWmLock(dt) || (withSource && needsWmLock(st)));
    View dv = viewOf(dt, false);
    if (!dv.valid()) return TRUE;
    View sv;
    if (withSource) {
        sv = viewOf(st, true);
        if (!sv.valid()) return TRUE;
    }
    Converter convert(st.colours, dt.colours);
    RECT area{x, y, x + width, y + height};
    transfer(
        dv, clipOf(dt, dv), area, withSource ? &sv : nullptr, &convert, rop, dt.colours.mask(),
        [&](int t) { return sourceX + t; }, [&](int t) { return sourceY + t; });
    drawn(dt);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    return BitBlt(dc, x, y, width, height, nullptr, 0, 0, rop);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
    if (!info || !ropSupported(rop) || (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bpp = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 ||
        h.biWidth > 16384 || h.biHeight == 0 || h.biHeight < -16384 || h.biHeight > 16384 ||
        (bpp != 8 && bpp != 24 && bpp != 32) || width < 0 || height < 0 || sourceWidth < 0 ||
        sourceHeight < 0 || (ropUsesSource(rop) && !bits)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Target t;
    if (!takeTarget(dc, t)) return 0;
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return 0;

    const bool topDown = h.biHeight < 0;
    const int bitmapHeight = topDown ? -h.biHeight : h.biHeight;
    const size_t stride = (static_cast<size_t>(h.biWidth) * bpp + 31) / 32 * 4;
    View sv;
    sv.format = bpp == 8 ? Format::Index8 : bpp == 24 ? Format::Rgb24 : Format::Rgb32;
    sv.width = h.biWidth;
    sv.height = bitmapHeight;
    auto* base = const_cast<uint8_t*>(static_cast<const uint8_t*>(bits));
    sv.top = topDown ? base : base + stride * (bitmapHeight - 1);
    sv.pitch = topDown ? static_cast<ptrdiff_t>(stride) : -static_cast<ptrdiff_t>(stride);

    Colours sc;
    sc.format = sv.format;
    std::vector<WORD> indices;
    if (bpp == 8) {
        const UINT count = h.biClrUsed == 0 ? 256 : std::min<UINT>(h.biClrUsed, 256);
        const uint8_t* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
        if (usage == DIB_RGB_COLORS) {
            std::vector<RGBQUAD> quads(count);
            std::memcpy(quads.data(), table, count * sizeof(RGBQUAD));
            sc.table = toEntries(quads);
        } else {
            indices.resize(count);
            std::memcpy(indices.data(), table, count * sizeof(WORD));
        }
    }
    Converter convert = bpp == 8 && usage == DIB_PAL_COLORS ? Converter(indices, t.colours)
                                                            : Converter(sc, t.colours);
    // Source rows: counted from the bitmap's first row in memory, which is the bottom row of a
    // bottom-up bitmap; the destination's top row shows the source rectangle's top row.
    auto mapX = [&](int dx) {
        return sourceX + static_cast<int>(static_cast<int64_t>(dx) * sourceWidth / width);
    };
    auto mapY = [&](int dy) {
        const int offset = static_cast<int>(static_cast<int64_t>(dy) * sourceHeight / height);
        return topDown ? sourceY + offset
                       : bitmapHeight - 1 - (sourceY + sourceHeight - 1 - offset);
    };
    auto lock = lockFor(needsWmLock(t));
    View dv = viewOf(t, false);
    if (!dv.valid()) return sourceHeight;
    transfer(dv, clipOf(t, dv), RECT{x, y, x + width, y + height},
             ropUsesSource(rop) ? &sv : nullptr, &convert, rop, t.colours.mask(), mapX, mapY);
    drawn(t);
    return sourceHeight;
}

int GetClipBox(HDC dc, LPRECT rect) {
    Target t;
    if (!rect || !takeTarget(dc, t)) return ERROR;
    auto lock = lockFor(needsWmLock(t));
    View v = viewOf(t, false);
    Region r = clipOf(t, v);
    *rect = r.bounds();
    return r.complexity();
}

} // extern "C"
