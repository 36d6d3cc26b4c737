// The stage's off-screen buffers.
//
// nOSB is a plain buffer: one 8-bit nDIB of the stage size. nDisplayOSB keeps its picture in a
// DIB section selected into a memory DC, and its nDIB points at the section's bits, so the inks
// write straight into memory that BitBlt copies to the window without conversion. The section's
// colour table always equals the stage palette as it was realized (statics included), which is
// what lets the copy skip colour translation.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/dib.h"
#include "gfx/palette.h"
#include "platform/wingdi.h"

namespace skv {

// Where drawTo puts a buffer's picture: a DC, or, when there is none, a bitmap.
struct OSBTarget {
    HDC dc = nullptr;
    nDIB* dib = nullptr;
};

class nOSB {
public:
    nOSB();
    // Slot 0.
    virtual ~nOSB();
    nOSB(const nOSB&) = delete;
    nOSB& operator=(const nOSB&) = delete;

    // Slots 1 and 3: a value nothing in the stage interprets.
    virtual int32_t getTag() const { return tag_; }
    // Slot 2: null when the buffer could not be made.
    virtual nDIB* getDIB() { return dib_.get(); }
    virtual void setTag(int32_t tag) { tag_ = tag; }
    // Slot 4: a zeroed width x height bitmap, kept when the size is unchanged (bits per pixel is
    // always 8). 1 on success.
    virtual int32_t create(int32_t width, int32_t height, int32_t bitsPerPixel);
    // Slot 5: up to `count` (at most 256) colours of the bitmap's table; answers how many.
    virtual int32_t getColours(RGBQUAD* out, int32_t count);
    // Slot 6: the whole picture at (0, 0) of the target.
    virtual void drawTo(const OSBTarget& target);

protected:
    std::unique_ptr<nDIB> dib_;
    int32_t tag_ = 0;
};

class nDisplayOSB : public nOSB {
public:
    nDisplayOSB();
    ~nDisplayOSB() override;

    // The DIB section of the size, bottom-up, made against the target DC. Fails for an empty
    // size; on failure the buffer has no bitmap and copies nothing.
    int32_t create(int32_t width, int32_t height, int32_t bitsPerPixel) override;
    // Slot 7: copies the rectangles (none or 0: the whole buffer) to the same place in the target
    // DC, realizing a newly set palette first.
    virtual void blit(const RECT* rects, int32_t count);
    // Slots 8-11.
    virtual HDC getMemoryDC() const { return memoryDC_; }
    virtual HDC getTargetDC() const { return targetDC_; }
    virtual skvPalette* getPaletteObject() { return palette_.get(); }
    virtual HPALETTE getPaletteHandle() const { return stagePalette_; }
    // Slot 12: selects the stage palette into the target and memory DCs (not forced to the
    // background) and realizes it in both.
    virtual void realize();
    // Slot 13: the DC copies go to (the view's window DC).
    virtual void setTargetDC(HDC dc);
    // Slot 14: makes `entries` the stage's colours: builds the identity palette, selects it,
    // reads its entries back into the colour table and the palette object, and marks it for
    // realizing. `mode` (the palette use) is kept for the caller's sake only.
    virtual void setColourTable(const RGBQUAD* entries, int32_t count, int32_t mode);

    bool hasSection() const { return section_ != nullptr; }
    int32_t realizePending() const { return realizePending_; }
    const DibInfo* header() const { return header_.get(); }

private:
    void releaseSection();
    // Selects the stage palette into a DC, remembering what it replaced there the first time.
    void selectStagePalette(HDC dc, HPALETTE* original);

    HGDIOBJ oldBitmap_ = nullptr;
    HDC memoryDC_ = nullptr;
    HDC targetDC_ = nullptr;
    std::unique_ptr<skvPalette> palette_;
    HBITMAP section_ = nullptr;
    std::unique_ptr<DibInfo> header_;
    HPALETTE oldMemoryPalette_ = nullptr;
    HPALETTE oldTargetPalette_ = nullptr;
    HPALETTE stagePalette_ = nullptr;
    uint8_t* bits_ = nullptr;
    int32_t realizePending_ = 0;
    int32_t paletteUse_ = 1;
};

} // namespace skv
