// Logical palettes and the display's system palette, shared with the rest of the GDI (selecting
// and realizing palettes into DCs builds on these).
#pragma once

#include <mutex>
#include <vector>

#include "gdi_objects.h"

namespace skv::platform::gdi {

class PaletteObj : public GdiObject {
public:
    explicit PaletteObj(std::vector<PALETTEENTRY> entries)
        : GdiObject(Kind::Palette), entries_(std::move(entries)) {}

    DWORD objectType() const override { return OBJ_PAL; }
    // GetObject of a palette: its entry count as a WORD.
    int describe(int size, void* buffer) const override;

    // A copy of the entries, taken under the palette's lock.
    std::vector<PALETTEENTRY> entries() const {
        std::lock_guard<std::mutex> g(mu_);
        return entries_;
    }
    UINT size() const {
        std::lock_guard<std::mutex> g(mu_);
        return static_cast<UINT>(entries_.size());
    }
    UINT get(UINT start, UINT count, PALETTEENTRY* out) const;
    UINT set(UINT start, UINT count, const PALETTEENTRY* in);
    UINT nearest(COLORREF colour) const;

    // On a palette display: the system palette index of every entry as the last realization
    // set it; empty until the palette is realized.
    std::vector<uint8_t> realizedMap() const {
        std::lock_guard<std::mutex> g(mu_);
        return map_;
    }
    void setRealizedMap(std::vector<uint8_t> map) {
        std::lock_guard<std::mutex> g(mu_);
        map_ = std::move(map);
    }

private:
    mutable std::mutex mu_;
    std::vector<PALETTEENTRY> entries_;
    std::vector<uint8_t> map_;
};

// The nearest entry (squared distance, lower index on ties) among `count` entries.
UINT nearestEntry(const PALETTEENTRY* entries, size_t count, int r, int g, int b);

// The display's state: its kind, and on a palette display the system palette and its use.
struct DisplayState {
    std::mutex mu;
    bool paletteDisplay = false;
    UINT systemUse = SYSPAL_STATIC;
    PALETTEENTRY systemPalette[256]{};
};
DisplayState& displayState();

// The system palette indices of a palette's entries: as realized, or (not realized yet) the
// nearest system colours. Empty on a true-colour display.
std::vector<uint8_t> systemIndicesOf(const PaletteObj& palette);
// Realizes a palette on a palette display. In the foreground it takes the free system entries;
// answers the number of system entries whose colour changed.
UINT realizePalette(PaletteObj& palette, bool foreground);

} // namespace skv::platform::gdi
