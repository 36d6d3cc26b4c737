// Screen DCs and the device capabilities of the display.
#include "gdi_dc.h"

#include "platform/display.h"

namespace skv::platform::gdi {

bool isDisplayDC(HDC dc) {
    return lookupGdiObjectAs<DcObject>(dc, GdiObject::Kind::DC) != nullptr;
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

HDC GetDC(HWND window) {
    if (window) {
        // No window system yet: there is no window whose DC could be given.
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<HDC>(insertGdiObject(std::make_shared<DcObject>(DcObject::Surface::Screen)));
}

int ReleaseDC(HWND window, HDC dc) {
    if (!lookupGdiObjectAs<DcObject>(dc, GdiObject::Kind::DC)) return 0;
    return removeGdiObject(dc) ? 1 : 0;
}

int GetDeviceCaps(HDC dc, int index) {
    auto d = lookupGdiObjectAs<DcObject>(dc, GdiObject::Kind::DC);
    if (!d) return 0;
    const bool palette = skv::platform::isPaletteDisplay();
    switch (index) {
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP | RC_DIBTODEV |
               RC_STRETCHBLT | RC_STRETCHDIB | (palette ? RC_PALETTE : 0);
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
