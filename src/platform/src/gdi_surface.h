// The surfaces drawing calls work on: a DC's picture (a window's, the screen's or the bitmap
// selected into a memory DC) as rows of values, and how those values relate to colours.
//
// Every drawing call works on values: device values in window pictures (0x00RRGGBB on a
// true-colour display, system palette indices on a palette display), colour indices in 8-bit
// bitmaps, 0x00RRGGBB in 24- and 32-bit ones. A colour reaches a destination as the DC's
// palette says (see the colour matching rules in platform/wingdi.h).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "gdi_dc.h"
#include "picture.h"
#include "platform/display.h"
#include "platform/winuser.h"

namespace skv::platform::gdi {

enum class Format { Device, Index8, Rgb24, Rgb32 };

inline uint32_t packRgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

struct View {
    Format format = Format::Device;
    int width = 0, height = 0;
    uint8_t* top = nullptr;
    ptrdiff_t pitch = 0;

    bool valid() const { return top != nullptr && width > 0 && height > 0; }
    uint8_t* rowAt(int y) const { return top + pitch * y; }
    uint32_t get(int x, int y) const {
        const uint8_t* p = rowAt(y);
        switch (format) {
        case Format::Device:
            return reinterpret_cast<const uint32_t*>(p)[x];
        case Format::Index8:
            return p[x];
        case Format::Rgb24:
            p += 3 * x;
            return packRgb(p[2], p[1], p[0]);
        case Format::Rgb32:
            p += 4 * x;
            return packRgb(p[2], p[1], p[0]);
        }
        return 0;
    }
    void put(int x, int y, uint32_t v) const {
        uint8_t* p = rowAt(y);
        switch (format) {
        case Format::Device:
            reinterpret_cast<uint32_t*>(p)[x] = v;
            return;
        case Format::Index8:
            p[x] = static_cast<uint8_t>(v);
            return;
        case Format::Rgb24:
        case Format::Rgb32:
            p += (format == Format::Rgb24 ? 3 : 4) * x;
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
            if (format == Format::Rgb32) p[3] = 0;
            return;
        }
    }
};

// How the values of one surface relate to colours.
struct Colours {
    Format format = Format::Device;
    bool paletteDevice = false;
    std::array<PALETTEENTRY, 256> system{};
    std::vector<PALETTEENTRY> logical;    // the DC's palette
    std::vector<uint8_t> logicalToSystem; // its system indices (palette device)
    std::vector<PALETTEENTRY> table;      // an 8-bit bitmap's colours
    std::array<uint8_t, 20> staticToSystem{};

    uint32_t mask() const {
        return (format == Format::Index8 || (format == Format::Device && paletteDevice))
                   ? 0xFFu
                   : 0xFFFFFFu;
    }

    uint32_t fromRgb(int r, int g, int b) const {
        switch (format) {
        case Format::Device:
            if (!paletteDevice) return packRgb(r, g, b);
            if (logical.empty()) return nearestEntry(system.data(), 256, r, g, b);
            return logicalToSystem[nearestEntry(logical.data(), logical.size(), r, g, b)];
        case Format::Index8:
            return nearestEntry(table.data(), table.size(), r, g, b);
        default:
            return packRgb(r, g, b);
        }
    }

    // A colour index of the DC's palette (DIB_PAL_COLORS, PALETTEINDEX).
    uint32_t fromLogical(unsigned i) const {
        if (i >= logical.size()) return 0;
        if (format == Format::Device && paletteDevice) return logicalToSystem[i];
        const PALETTEENTRY& e = logical[i];
        return fromRgb(e.peRed, e.peGreen, e.peBlue);
    }

    // A brush's colour.
    uint32_t fromColorRef(COLORREF c) const {
        if ((c >> 24) == 0x01) return fromLogical(c & 0xFFFF);
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        if ((c >> 24) == 0x02 || !(format == Format::Device && paletteDevice))
            return fromRgb(r, g, b);
        // A plain colour on a palette device is the nearest static colour.
        const PALETTEENTRY* statics = skv::platform::staticColours();
        return staticToSystem[nearestEntry(statics, 20, r, g, b)];
    }

    void toRgb(uint32_t v, int& r, int& g, int& b) const {
        if (format == Format::Index8 || (format == Format::Device && paletteDevice)) {
            const PALETTEENTRY e = format == Format::Index8
                                       ? (v < table.size() ? table[v] : PALETTEENTRY{})
                                       : system[v & 0xFF];
            r = e.peRed, g = e.peGreen, b = e.peBlue;
            return;
        }
        r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
    }
};

inline std::vector<PALETTEENTRY> toEntries(const std::vector<RGBQUAD>& quads) {
    std::vector<PALETTEENTRY> out(quads.size());
    for (size_t i = 0; i < quads.size(); ++i)
        out[i] = PALETTEENTRY{quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, 0};
    return out;
}

// A DC's state, taken once per call.
struct Target {
    std::shared_ptr<DcObject> dc;
    DcObject::Surface surface = DcObject::Surface::Screen;
    HWND window = nullptr;
    std::shared_ptr<BitmapObj> bitmap;
    std::optional<Region> clip, paintClip;
    Colours colours;
    Picture screenCopy; // the screen as a source
};

// Takes a DC's state; false for a handle that is not a DC.
bool takeTarget(HDC dc, Target& t);
// The surface of a target; for windows and the screen the window-manager lock must be held.
View viewOf(Target& t, bool asSource);
bool needsWmLock(const Target& t);
// What a destination may be drawn on: its surface, the paint region and the clip region.
Region clipOf(const Target& t, const View& v);
// The window-manager lock when the target needs it, else nothing.
std::unique_lock<std::mutex> lockFor(bool needed);
// Tells the screen a window or the desktop changed.
void drawn(const Target& t);

} // namespace skv::platform::gdi
