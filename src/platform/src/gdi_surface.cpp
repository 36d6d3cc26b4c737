// Taking a DC's surface for drawing.
#include "gdi_surface.h"

#include "screen.h"

namespace skv::platform::gdi {

bool takeTarget(HDC dc, Target& t) {
    t.dc = lookupDC(dc);
    if (!t.dc) return false;
    std::shared_ptr<PaletteObj> palette;
    {
        std::lock_guard<std::mutex> g(t.dc->mu);
        t.surface = t.dc->surface();
        t.window = t.dc->window();
        t.bitmap = t.dc->bitmap;
        t.clip = t.dc->clip;
        t.paintClip = t.dc->paintClip;
        palette = t.dc->palette;
    }
    Colours& c = t.colours;
    if (palette) c.logical = palette->entries();
    if (t.surface == DcObject::Surface::Memory) {
        if (!t.bitmap || !t.bitmap->isDibSection()) return true; // nothing to draw on
        c.format = t.bitmap->bitsPerPixel() == 8    ? Format::Index8
                   : t.bitmap->bitsPerPixel() == 24 ? Format::Rgb24
                                                    : Format::Rgb32;
        if (c.format == Format::Index8) c.table = toEntries(t.bitmap->colours());
        return true;
    }
    c.format = Format::Device;
    if (palette) c.logicalToSystem = systemIndicesOf(*palette);
    DisplayState& d = displayState();
    std::lock_guard<std::mutex> g(d.mu);
    c.paletteDevice = d.paletteDisplay;
    if (c.paletteDevice) {
        std::copy(d.systemPalette, d.systemPalette + 256, c.system.begin());
        const PALETTEENTRY* statics = skv::platform::staticColours();
        for (int i = 0; i < 20; ++i)
            c.staticToSystem[i] = static_cast<uint8_t>(nearestEntry(
                d.systemPalette, 256, statics[i].peRed, statics[i].peGreen, statics[i].peBlue));
    }
    if (c.paletteDevice && c.logicalToSystem.size() != c.logical.size()) c.logical.clear();
    return true;
}

// The surface of a target; for windows and the screen the window-manager lock must be held.
View viewOf(Target& t, bool asSource) {
    View v;
    v.format = t.colours.format;
    Picture* p = nullptr;
    switch (t.surface) {
    case DcObject::Surface::Memory:
        if (!t.bitmap || !t.bitmap->isDibSection()) return v;
        v.width = t.bitmap->width();
        v.height = t.bitmap->height();
        v.top = t.bitmap->topRow();
        v.pitch = t.bitmap->pitch();
        return v;
    case DcObject::Surface::Window:
        p = win::windowPicture(t.window);
        break;
    case DcObject::Surface::Screen:
        if (asSource) {
            t.screenCopy = win::composeScreen();
            p = &t.screenCopy;
        } else {
            p = &win::desktopPicture();
        }
        break;
    }
    if (!p || p->pixels.empty()) return v;
    v.width = p->width;
    v.height = p->height;
    v.top = reinterpret_cast<uint8_t*>(p->pixels.data());
    v.pitch = static_cast<ptrdiff_t>(p->width) * 4;
    return v;
}

bool needsWmLock(const Target& t) {
    return t.surface != DcObject::Surface::Memory;
}

// What a destination may be drawn on: its surface, the paint region and the clip region.
Region clipOf(const Target& t, const View& v) {
    Region r(RECT{0, 0, v.width, v.height});
    if (t.paintClip) r.intersect(*t.paintClip);
    if (t.clip) r.intersect(*t.clip);
    return r;
}
std::unique_lock<std::mutex> lockFor(bool needed) {
    return needed ? std::unique_lock<std::mutex>(win::wmMutex()) : std::unique_lock<std::mutex>();
}

void drawn(const Target& t) {
    if (t.surface != DcObject::Surface::Memory) win::screenChanged();
}

} // namespace skv::platform::gdi
