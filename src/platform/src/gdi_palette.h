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

private:
    mutable std::mutex mu_;
    std::vector<PALETTEENTRY> entries_;
};

// The display's state: its kind, and on a palette display the system palette and its use.
struct DisplayState {
    std::mutex mu;
    bool paletteDisplay = false;
    UINT systemUse = SYSPAL_STATIC;
    PALETTEENTRY systemPalette[256]{};
};
DisplayState& displayState();

} // namespace skv::platform::gdi
