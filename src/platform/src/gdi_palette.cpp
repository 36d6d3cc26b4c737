// Logical palettes, the system palette and the palette display switch.
#include "gdi_palette.h"

#include <algorithm>
#include <cstring>

#include "gdi_dc.h"
#include "platform/display.h"
#include "screen.h"

namespace skv::platform::gdi {

namespace {

// The 20 colours a palette display reserves: ten at the start of the system palette, ten at the
// end.
constexpr PALETTEENTRY kStatics[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
};

// Only called with the display lock held.
void resetSystemPalette(DisplayState& d) {
    std::memset(d.systemPalette, 0, sizeof d.systemPalette);
    std::copy(kStatics, kStatics + 10, d.systemPalette);
    std::copy(kStatics + 10, kStatics + 20, d.systemPalette + 246);
    d.systemUse = SYSPAL_STATIC;
}

int sq(int v) {
    return v * v;
}

} // namespace

DisplayState& displayState() {
    static DisplayState* s = [] {
        auto* d = new DisplayState; // lives as long as the process
        resetSystemPalette(*d);
        return d;
    }();
    return *s;
}

UINT PaletteObj::get(UINT start, UINT count, PALETTEENTRY* out) const {
    std::lock_guard<std::mutex> g(mu_);
    if (start >= entries_.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(entries_.size()) - start);
    std::copy_n(entries_.begin() + start, n, out);
    return n;
}

UINT PaletteObj::set(UINT start, UINT count, const PALETTEENTRY* in) {
    std::lock_guard<std::mutex> g(mu_);
    if (start >= entries_.size()) return 0;
    UINT n = std::min<UINT>(count, static_cast<UINT>(entries_.size()) - start);
    std::copy_n(in, n, entries_.begin() + start);
    return n;
}

int PaletteObj::describe(int size, void* buffer) const {
    if (!buffer) return sizeof(WORD);
    if (size < static_cast<int>(sizeof(WORD))) return 0;
    WORD n = static_cast<WORD>(this->size());
    std::memcpy(buffer, &n, sizeof n);
    return sizeof(WORD);
}

UINT nearestEntry(const PALETTEENTRY* entries, size_t count, int r, int g, int b) {
    UINT best = 0;
    int bestDistance = 0x7fffffff;
    for (size_t i = 0; i < count; ++i) {
        const PALETTEENTRY& e = entries[i];
        int d = sq(e.peRed - r) + sq(e.peGreen - g) + sq(e.peBlue - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<UINT>(i);
            if (d == 0) break;
        }
    }
    return best;
}

UINT PaletteObj::nearest(COLORREF colour) const {
    std::lock_guard<std::mutex> lk(mu_);
    return nearestEntry(entries_.data(), entries_.size(), GetRValue(colour), GetGValue(colour),
                        GetBValue(colour));
}

std::vector<uint8_t> systemIndicesOf(const PaletteObj& palette) {
    std::vector<uint8_t> map = palette.realizedMap();
    std::vector<PALETTEENTRY> entries = palette.entries();
    if (map.size() == entries.size()) return map;
    DisplayState& d = displayState();
    std::lock_guard<std::mutex> g(d.mu);
    if (!d.paletteDisplay) return {};
    map.resize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        map[i] = static_cast<uint8_t>(nearestEntry(d.systemPalette, 256, entries[i].peRed,
                                                   entries[i].peGreen, entries[i].peBlue));
    return map;
}

UINT realizePalette(PaletteObj& palette, bool foreground) {
    std::vector<PALETTEENTRY> entries = palette.entries();
    std::vector<uint8_t> map(entries.size());
    UINT changed = 0;
    {
        DisplayState& d = displayState();
        std::lock_guard<std::mutex> g(d.mu);
        if (!d.paletteDisplay) return 0;
        // The entries a foreground palette may take; the rest hold the static colours.
        int first = 10, last = 245;
        if (d.systemUse == SYSPAL_NOSTATIC) first = 1, last = 254;
        if (d.systemUse == SYSPAL_NOSTATIC256) first = 0, last = 255;
        int next = first;
        for (size_t i = 0; i < entries.size(); ++i) {
            const PALETTEENTRY& e = entries[i];
            if (e.peFlags & PC_EXPLICIT) {
                map[i] = static_cast<uint8_t>(e.peRed | (e.peGreen << 8)); // an index, low byte
                continue;
            }
            if (foreground) {
                bool own = (e.peFlags & (PC_NOCOLLAPSE | PC_RESERVED)) != 0;
                bool matched = false;
                if (!own) {
                    // Reuse an entry of the same colour: a static one, or one taken already.
                    for (int s = 0; s < 256 && !matched; ++s) {
                        bool usable = s < first || s > last || s < next;
                        const PALETTEENTRY& p = d.systemPalette[s];
                        if (usable && p.peRed == e.peRed && p.peGreen == e.peGreen &&
                            p.peBlue == e.peBlue) {
                            map[i] = static_cast<uint8_t>(s);
                            matched = true;
                        }
                    }
                }
                if (!matched && next <= last) {
                    PALETTEENTRY& p = d.systemPalette[next];
                    if (p.peRed != e.peRed || p.peGreen != e.peGreen || p.peBlue != e.peBlue)
                        ++changed;
                    p = PALETTEENTRY{e.peRed, e.peGreen, e.peBlue, 0};
                    map[i] = static_cast<uint8_t>(next++);
                    matched = true;
                }
                if (matched) continue;
            }
            map[i] = static_cast<uint8_t>(
                nearestEntry(d.systemPalette, 256, e.peRed, e.peGreen, e.peBlue));
        }
    }
    palette.setRealizedMap(std::move(map));
    return changed;
}

} // namespace skv::platform::gdi

namespace skv::platform {

void setPaletteDisplay(bool on) {
    {
        gdi::DisplayState& d = gdi::displayState();
        std::lock_guard<std::mutex> g(d.mu);
        d.paletteDisplay = on;
        gdi::resetSystemPalette(d);
    }
    // Pictures hold values of the old kind of display.
    win::resetPictures();
}

bool isPaletteDisplay() {
    gdi::DisplayState& d = gdi::displayState();
    std::lock_guard<std::mutex> g(d.mu);
    return d.paletteDisplay;
}

const PALETTEENTRY* staticColours() {
    return gdi::kStatics;
}

} // namespace skv::platform

using namespace skv::platform::gdi;

extern "C" {

HPALETTE CreatePalette(const LOGPALETTE* logPalette) {
    if (!logPalette || logPalette->palVersion != 0x300 || logPalette->palNumEntries == 0 ||
        logPalette->palNumEntries > 1024) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<PALETTEENTRY> entries(logPalette->palPalEntry,
                                      logPalette->palPalEntry + logPalette->palNumEntries);
    return static_cast<HPALETTE>(insertGdiObject(std::make_shared<PaletteObj>(std::move(entries))));
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) {
    auto p = lookupGdiObjectAs<PaletteObj>(palette, GdiObject::Kind::Palette);
    if (!p) return CLR_INVALID;
    return p->nearest(colour);
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, LPPALETTEENTRY entries) {
    auto p = lookupGdiObjectAs<PaletteObj>(palette, GdiObject::Kind::Palette);
    if (!p) return 0;
    if (!entries) return p->size();
    return p->get(start, count, entries);
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
    auto p = lookupGdiObjectAs<PaletteObj>(palette, GdiObject::Kind::Palette);
    if (!p || !entries) return 0;
    return p->set(start, count, entries);
}

UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, LPPALETTEENTRY entries) {
    if (!isDisplayDC(dc)) return 0;
    DisplayState& d = displayState();
    std::lock_guard<std::mutex> g(d.mu);
    if (!d.paletteDisplay) return 0;
    if (!entries) return 256;
    if (start >= 256) return 0;
    UINT n = std::min<UINT>(count, 256 - start);
    std::copy_n(d.systemPalette + start, n, entries);
    return n;
}

UINT GetSystemPaletteUse(HDC dc) {
    if (!isDisplayDC(dc)) return SYSPAL_ERROR;
    DisplayState& d = displayState();
    std::lock_guard<std::mutex> g(d.mu);
    return d.paletteDisplay ? d.systemUse : SYSPAL_ERROR;
}

UINT SetSystemPaletteUse(HDC dc, UINT use) {
    if (!isDisplayDC(dc)) return SYSPAL_ERROR;
    if (use != SYSPAL_STATIC && use != SYSPAL_NOSTATIC && use != SYSPAL_NOSTATIC256) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SYSPAL_ERROR;
    }
    DisplayState& d = displayState();
    std::lock_guard<std::mutex> g(d.mu);
    if (!d.paletteDisplay) return SYSPAL_ERROR;
    UINT previous = d.systemUse;
    d.systemUse = use;
    return previous;
}

} // extern "C"
