// The plain and the display off-screen buffers.
#include "gfx/osb.h"

#include <algorithm>
#include <cstring>

#include "gfx/identitypalette.h"

namespace skv {

// ---- nOSB -------------------------------------------------------------------------------------

nOSB::nOSB() = default;
nOSB::~nOSB() = default;

int32_t nOSB::create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (dib_ && dib_->hasHeader() && dib_->width() == width && dib_->height() == height &&
        dib_->bitCount() == 8)
        return 1;
    auto fresh = std::make_unique<nDIB>();
    if (width <= 0 || height <= 0 || !fresh->create(width, height)) {
        dib_.reset();
        return 0;
    }
    dib_ = std::move(fresh);
    return 1;
}

int32_t nOSB::getColours(RGBQUAD* out, int32_t count) {
    if (!out || !dib_ || !dib_->colours()) return 0;
    const int32_t n = std::clamp(count, 0, 256);
    std::memcpy(out, dib_->colours(), sizeof(RGBQUAD) * static_cast<size_t>(n));
    return n;
}

void nOSB::drawTo(const OSBTarget& target) {
    if (!dib_ || !dib_->bits()) return;
    const int32_t w = dib_->width(), h = dib_->height();
    if (target.dc) {
        StretchDIBits(target.dc, 0, 0, w, h, 0, 0, w, h, dib_->bits(),
                      reinterpret_cast<const BITMAPINFO*>(dib_->info()), DIB_RGB_COLORS, SRCCOPY);
    } else if (target.dib) {
        dib_->blitInto(*target.dib, 0, 0, w, h, 0, 0, -1);
    }
}

// ---- nDisplayOSB ------------------------------------------------------------------------------

nDisplayOSB::nDisplayOSB() = default;

nDisplayOSB::~nDisplayOSB() {
    dib_.reset(); // it borrows the section's bits
    releaseSection();
    if (targetDC_ && oldTargetPalette_) SelectPalette(targetDC_, oldTargetPalette_, FALSE);
    if (stagePalette_) DeleteObject(stagePalette_);
}

void nDisplayOSB::releaseSection() {
    if (memoryDC_) {
        if (oldBitmap_) SelectObject(memoryDC_, oldBitmap_);
        if (oldMemoryPalette_) SelectPalette(memoryDC_, oldMemoryPalette_, FALSE);
        DeleteDC(memoryDC_);
    }
    memoryDC_ = nullptr;
    oldBitmap_ = nullptr;
    oldMemoryPalette_ = nullptr;
    if (section_) DeleteObject(section_);
    section_ = nullptr;
    bits_ = nullptr;
}

void nDisplayOSB::selectStagePalette(HDC dc, HPALETTE* original) {
    if (!dc || !stagePalette_) return;
    HPALETTE previous = SelectPalette(dc, stagePalette_, FALSE);
    if (!*original && previous && previous != stagePalette_) *original = previous;
}

int32_t nDisplayOSB::create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    if (header_ && dib_ && header_->bmiHeader.biWidth == width &&
        header_->bmiHeader.biHeight == height && header_->bmiHeader.biBitCount == 8)
        return 1;
    dib_.reset();
    header_.reset();
    releaseSection();

    auto info = std::make_unique<DibInfo>();
    std::memset(info.get(), 0, sizeof(DibInfo));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_RGB;

    memoryDC_ = CreateCompatibleDC(targetDC_);
    void* bits = nullptr;
    if (memoryDC_)
        section_ = CreateDIBSection(targetDC_, reinterpret_cast<const BITMAPINFO*>(info.get()),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section_ || !bits) {
        releaseSection();
        return 0;
    }
    oldBitmap_ = SelectObject(memoryDC_, section_);
    bits_ = static_cast<uint8_t*>(bits);

    // A buffer rebuilt for a new stage size goes on showing the stage's colours.
    if (palette_ && stagePalette_) {
        std::memcpy(info->bmiColors, palette_->colours, sizeof info->bmiColors);
        SetDIBColorTable(memoryDC_, 0, 256, info->bmiColors);
        selectStagePalette(memoryDC_, &oldMemoryPalette_);
        realizePending_ = 1;
    }

    auto dib = std::make_unique<nDIB>();
    if (!dib->setHeader(reinterpret_cast<const BITMAPINFO*>(info.get()), bits_)) {
        releaseSection();
        return 0;
    }
    header_ = std::move(info);
    dib_ = std::move(dib);
    return 1;
}

void nDisplayOSB::blit(const RECT* rects, int32_t count) {
    if (!dib_ || !header_ || !section_) return;
    const RECT whole{0, 0, header_->bmiHeader.biWidth, header_->bmiHeader.biHeight};
    if (!rects || count <= 0) {
        rects = &whole;
        count = 1;
    }
    if (realizePending_) {
        realize();
        realizePending_ = 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        const RECT& r = rects[i];
        BitBlt(targetDC_, r.left, r.top, r.right - r.left, r.bottom - r.top, memoryDC_, r.left,
               r.top, SRCCOPY);
    }
}

void nDisplayOSB::realize() {
    if (!stagePalette_) return;
    selectStagePalette(targetDC_, &oldTargetPalette_);
    if (targetDC_) RealizePalette(targetDC_);
    selectStagePalette(memoryDC_, &oldMemoryPalette_);
    if (memoryDC_) RealizePalette(memoryDC_);
}

void nDisplayOSB::setTargetDC(HDC dc) {
    if (dc == targetDC_) return;
    // The old DC gets its own palette back, so that the stage palette can be deleted later.
    if (targetDC_ && oldTargetPalette_) SelectPalette(targetDC_, oldTargetPalette_, FALSE);
    targetDC_ = dc;
    oldTargetPalette_ = nullptr;
    selectStagePalette(targetDC_, &oldTargetPalette_);
}

void nDisplayOSB::setColourTable(const RGBQUAD* entries, int32_t count, int32_t mode) {
    if (!header_ || !dib_) return;
    paletteUse_ = mode;
    if (!palette_) palette_ = std::make_unique<skvPalette>();
    if (entries)
        std::memcpy(palette_->colours, entries,
                    sizeof(RGBQUAD) * static_cast<size_t>(std::clamp(count, 0, 256)));

    HPALETTE fresh = makeIdentityPalette(palette_->colours, 256, 0);
    if (!fresh) return;
    HPALETTE old = stagePalette_;
    stagePalette_ = fresh;
    selectStagePalette(memoryDC_, &oldMemoryPalette_);
    selectStagePalette(targetDC_, &oldTargetPalette_);
    // Only once the new palette has taken its place in both DCs is the old one free to go: a
    // palette still selected into a DC cannot be deleted.
    if (old) DeleteObject(old);

    dib_->setHeader(reinterpret_cast<const BITMAPINFO*>(header_.get()), bits_);

    // The table is the palette as built, statics included, so copies need no translation.
    PALETTEENTRY realized[256] = {};
    GetPaletteEntries(fresh, 0, 256, realized);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD q{realized[i].peBlue, realized[i].peGreen, realized[i].peRed, 0};
        palette_->colours[i] = q;
        header_->bmiColors[i] = q;
    }
    if (GetSystemPaletteUse(targetDC_) == SYSPAL_STATIC) dib_->mapToPalette(fresh);
    SetDIBColorTable(memoryDC_, 0, 256, header_->bmiColors);
    realizePending_ = 1;
}

} // namespace skv
