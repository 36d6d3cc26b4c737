// The GDI's drawing objects: bitmaps (DIB sections, 8-bit with a colour table, 24- and 32-bit,
// and the 1 x 1 monochrome bitmap every memory DC starts with), brushes and regions.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "gdi_objects.h"
#include "region.h"

namespace skv::platform::gdi {

class BitmapObj : public GdiObject {
public:
    // Fails (null) for a size or format the GDI does not make.
    static std::shared_ptr<BitmapObj> makeDibSection(int width, int height, int bitsPerPixel,
                                                     bool topDown,
                                                     const std::vector<RGBQUAD>& colours);
    // The default bitmap of a memory DC: nothing can be drawn on it.
    static std::shared_ptr<BitmapObj> makeMonochrome();
    // A device-dependent bitmap of 1 or 8 bits per pixel, rows top first and word-aligned,
    // filled from `bits` (rows `widthBytes` apart; null: zeros).
    static std::shared_ptr<BitmapObj> makeDeviceBitmap(int width, int height, int bitsPerPixel,
                                                       const void* bits, int widthBytes);

    DWORD objectType() const override { return OBJ_BITMAP; }
    int describe(int size, void* buffer) const override;

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bpp_; }
    bool topDown() const { return topDown_; }
    bool isDibSection() const { return dib_; }
    size_t stride() const { return stride_; }
    uint8_t* bits() { return storage_.data(); }
    // The first row from the top, and the distance to the next row down.
    uint8_t* topRow() {
        return topDown_ || height_ == 0 ? storage_.data()
                                        : storage_.data() + stride_ * (height_ - 1);
    }
    ptrdiff_t pitch() const {
        return topDown_ ? static_cast<ptrdiff_t>(stride_) : -static_cast<ptrdiff_t>(stride_);
    }

    std::vector<RGBQUAD> colours() const {
        std::lock_guard<std::mutex> g(mu_);
        return colours_;
    }
    UINT setColours(UINT start, UINT count, const RGBQUAD* in);
    UINT getColours(UINT start, UINT count, RGBQUAD* out) const;

    // The DC the bitmap is selected into (a bitmap is in one DC at a time), or null.
    std::atomic<const void*> selectedInto{nullptr};

private:
    BitmapObj() : GdiObject(Kind::Bitmap) {}

    int width_ = 0, height_ = 0, bpp_ = 1;
    bool topDown_ = false;
    bool dib_ = false;
    size_t stride_ = 0;
    std::vector<uint8_t> storage_;
    mutable std::mutex mu_;
    std::vector<RGBQUAD> colours_;
};

// A pattern brush's picture: one byte per pixel, rows top first. Monochrome pixels are 0 or 1.
struct BrushPattern {
    int width = 0, height = 0;
    bool monochrome = true;
    std::vector<uint8_t> pixels;
};

class BrushObj : public GdiObject {
public:
    BrushObj(UINT style, COLORREF colour) : GdiObject(Kind::Brush), style(style), colour(colour) {}
    explicit BrushObj(std::shared_ptr<const BrushPattern> pattern)
        : GdiObject(Kind::Brush), style(BS_PATTERN), colour(0), pattern(std::move(pattern)) {}
    DWORD objectType() const override { return OBJ_BRUSH; }
    int describe(int size, void* buffer) const override;

    const UINT style;
    const COLORREF colour;
    const std::shared_ptr<const BrushPattern> pattern; // BS_PATTERN only
};

class PenObj : public GdiObject {
public:
    PenObj(UINT style, int width, COLORREF colour)
        : GdiObject(Kind::Pen), style(style), width(width), colour(colour) {}
    DWORD objectType() const override { return OBJ_PEN; }
    int describe(int size, void* buffer) const override;

    const UINT style;
    const int width;
    const COLORREF colour;
};

// A brush handle, or a system colour index + 1, as FillRect takes them. Null for neither.
std::shared_ptr<BrushObj> brushFromHandle(HBRUSH brush);

class RegionObj : public GdiObject {
public:
    RegionObj() : GdiObject(Kind::Region) {}
    DWORD objectType() const override { return OBJ_REGION; }

    Region get() const {
        std::lock_guard<std::mutex> g(mu_);
        return region_;
    }
    void set(Region r) {
        std::lock_guard<std::mutex> g(mu_);
        region_ = std::move(r);
    }

private:
    mutable std::mutex mu_;
    Region region_;
};

std::shared_ptr<RegionObj> lookupRegion(HRGN region);

} // namespace skv::platform::gdi

namespace skv::platform::gdi {

// The stock objects a new DC starts with.
HPALETTE defaultPalette();
HBRUSH defaultBrush();
HBITMAP defaultBitmap();     // the 1 x 1 monochrome bitmap
HPEN defaultPen();           // BLACK_PEN
HGDIOBJ stockPen(int index); // WHITE_PEN, BLACK_PEN, NULL_PEN; null otherwise

} // namespace skv::platform::gdi
