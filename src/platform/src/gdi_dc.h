// Device contexts. For now only the screen DC exists (GetDC of no window); window and memory DCs
// join it as further kinds of DcObject.
#pragma once

#include "gdi_objects.h"

namespace skv::platform::gdi {

class DcObject : public GdiObject {
public:
    enum class Surface { Screen };

    explicit DcObject(Surface surface) : GdiObject(Kind::DC), surface_(surface) {}

    DWORD objectType() const override { return OBJ_DC; }
    bool deletable() const override { return false; }
    Surface surface() const { return surface_; }

private:
    Surface surface_;
};

// True when `dc` is a live DC drawing on the display (so the system palette applies to it).
bool isDisplayDC(HDC dc);

} // namespace skv::platform::gdi
