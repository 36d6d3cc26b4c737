// nDIB: the player's bitmap. One byte per pixel in memory whatever the authored depth, rows
// bottom-up (the first row in memory is the bottom row of the picture), each row padded to a
// multiple of four bytes, with a 256-entry colour table. It can be remapped to a display palette
// any number of times and still be written back in its authored colour indices, because every
// remapping keeps a 256-byte inverse map.
//
// Stored form, after the 64-byte object header (little-endian):
//
// | # | field           | width | notes                                                        |
// |---|-----------------|-------|--------------------------------------------------------------|
// | 1 | tag             | 4     | "NBAK" for the backdrop class, else "NDIB" when more than 16 |
// |   |                 |       | pixel values occur, "NPDB" otherwise; ignored on reading     |
// | 2 | authored depth  | int32 | 1, 4 or 8                                                    |
// | 3 | width           | int32 |                                                              |
// | 4 | height          | int32 |                                                              |
// | 5 | palette number  | int16 | a negative number p is stored as p + 1; a stored s <= 0      |
// |   |                 |       | reads as s - 1. Depth 1 always reads as -1                   |
// | 6 | compression     | int32 | 48 = JPEG                                                    |
// | 7 | length          | int32 | JPEG only: bytes of JPEG data                                |
// | 8 | quality         | int32 | JPEG only                                                    |
// | 9 | data            |       | JPEG bytes, or stride x height pixel bytes, rows bottom-up   |
//
// The colour table is not stored: a raw bitmap of a built-in palette takes that palette's
// colours on reading, any other gets its colours on its first draw; a JPEG bitmap takes the
// decoder's colours. Widths, heights and lengths from a stream are checked against kMax* before
// anything is allocated; a bad one raises CoreError 666 like a short read.
#pragma once

#include <cstdint>
#include <vector>

#include "core/classids.h"
#include "core/object.h"
#include "platform/wingdi.h"

namespace skv {

// The bitmap class whose stored form carries the "NBAK" tag.
inline constexpr GUID CLSID_nDIBBackdrop = classIdInFamily(0x1A90DE94);

// A BITMAPINFOHEADER with room for 256 colours: 1,064 bytes.
struct DibInfo {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};
static_assert(sizeof(DibInfo) == 1064, "DibInfo must be 1,064 bytes");

class nDIB : public skvObject {
public:
    static constexpr int32_t kCompressionJPEG = 48;
    static constexpr int16_t kNoPalette = -100;
    // Limits on what a stream, a BMP file or a JPEG may ask for.
    static constexpr int32_t kMaxDimension = 8192;
    static constexpr int64_t kMaxPixelBytes = 16 * 1024 * 1024;
    static constexpr int32_t kMaxCompressedLength = 16 * 1024 * 1024;

    // A 4 x 4 bitmap of zero pixels.
    nDIB();
    ~nDIB() override;

    int32_t sizeHint() override; // stride x height + 16
    void serialize(uArchive& ar) override;

    virtual void setAuthoredDepth(uint16_t depth) { authoredDepth_ = depth; }
    virtual uint16_t authoredDepth() const { return authoredDepth_; }
    virtual int32_t width() const;
    virtual int32_t height() const;
    // Remaps the pixels to the nearest entries of `palette` and makes its entries the colour
    // table, remembering the inverse map. 0 without a palette or while mapping is disabled.
    virtual int32_t mapToPalette(HPALETTE palette);
    virtual void bounds(RECT* out) const;
    // Copies a w x h block from (sx, sy) of this bitmap to (x, y) of `target`, clipped like the
    // inks. key -1 copies every pixel, otherwise source pixels equal to key are skipped.
    virtual void blitInto(nDIB& target, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                          int32_t sy, int32_t key) const;
    // Takes the other bitmap's header, colour table and pixels (resizing this one if needed).
    virtual void copyFrom(const nDIB& other);
    virtual int32_t compressedLength() const { return static_cast<int32_t>(compressed_.size()); }
    virtual const uint8_t* compressedData() const {
        return compressed_.empty() ? nullptr : compressed_.data();
    }
    // Replaces the compressed bytes with a JPEG of the pixels. 0, or -1 on failure.
    virtual int32_t jpegCompress(int32_t quality);
    // Decodes the compressed bytes into the header, colour table and pixels. 0, or -1 without
    // compressed bytes or when they do not decode (the bitmap is then unchanged).
    virtual int32_t jpegDecompress(int32_t remapNeeded);
    virtual int32_t compression() const { return compression_; }
    virtual void setCompression(int32_t value) { compression_ = value; }
    virtual int32_t quality() const { return quality_; }
    virtual void setQuality(int32_t value) { quality_ = value; }
    // Packs the pixels to the authored depth for a BMP file: depth 4 packs and answers 1,
    // depth 8 answers 0.
    virtual int32_t packForWrite();
    // Pack and unpack answer 1 when they changed the pixels, else 0.
    virtual int32_t packTo4();
    virtual int32_t unpack4();
    virtual int32_t packTo1();
    virtual int32_t unpack1();
    virtual void setMappingEnabled(int32_t flag) { mappingEnabled = flag; }
    virtual void setColoursVGA();
    virtual void setColoursGrey4();
    virtual void setColoursMono();
    // A logical palette of at most 236 of the colours the pixels use, each PC_RESERVED; the
    // least-used values are left out when more are in use. `count` receives the entry count.
    virtual HPALETTE createPalette(int32_t* count);
    // 1 on success; 0 leaves the bitmap unchanged.
    virtual int32_t readBMPFile(const char* path);
    virtual int32_t writeBMPFile(const char* path);

    // A new width x height 8-bit bitmap with the given pixels (stride x height bytes) and 256
    // colours, either of which may be null (zero pixels; no colour table). 0 on failure, which
    // leaves the bitmap without a header.
    int32_t create(int32_t width, int32_t height, const uint8_t* pixels = nullptr,
                   const RGBQUAD* colours = nullptr);
    // Takes a copy of the header and its colours and uses `bits` without owning them (a resource
    // or a DIB section). 0 when the header is unusable.
    int32_t setHeader(const BITMAPINFO* header, uint8_t* bits);
    // The colours a header's table holds: a 12-byte core header by its bit count, an info header
    // by biClrUsed, never more than the bit count allows.
    static int32_t colourCount(const BITMAPINFOHEADER* header);
    int32_t countUsedColours() const;
    // The byte of pixel (x, y), y counted from the top; null outside the bitmap.
    uint8_t* pixelAt(int32_t x, int32_t y);
    const uint8_t* pixelAt(int32_t x, int32_t y) const;
    // The matte mask byte of pixel (x, y); null outside the bitmap or before makeMask.
    const uint8_t* maskAt(int32_t x, int32_t y) const;
    // Builds the matte mask for the current transparent index (once; later calls keep it).
    // Answers 1 when a mask exists afterwards.
    int32_t makeMask();
    // Gives a raw bitmap its colours on its first draw (nothing once it has a colour table):
    // the stage's colours for 8 bits; for 1 bit the colours of built-in palette -1 when its own
    // palette is built in, else the stage's, and its pixels inverted (0xFF becomes 0, anything
    // else 0xFF) when the score shows another built-in palette than its own. 1 when it filled.
    int32_t fillColoursForFirstDraw(int32_t scorePaletteNumber, const RGBQUAD* stageColours);
    // readBMPFile over bytes in memory.
    int32_t readBMP(const uint8_t* data, size_t size);
    // The BMP file writeBMPFile writes, as bytes.
    std::vector<uint8_t> bmpBytes() const;

    bool hasHeader() const { return info_ != nullptr; }
    const DibInfo* info() const { return info_; }
    DibInfo* info() { return info_; }
    RGBQUAD* colours() { return info_ ? info_->bmiColors : nullptr; }
    const RGBQUAD* colours() const { return info_ ? info_->bmiColors : nullptr; }
    int32_t bitCount() const { return info_ ? info_->bmiHeader.biBitCount : 0; }
    // Bytes per row at the header's bit count.
    int32_t stride() const;
    uint8_t* bits() { return bits_; }
    const uint8_t* bits() const { return bits_; }
    // stride x height: the bytes the pixel buffer holds.
    size_t pixelBytes() const;
    bool ownsBits() const { return bits_ != nullptr && bits_ == owned_.data(); }
    const uint8_t* mask() const { return mask_.empty() ? nullptr : mask_.data(); }
    int32_t mappingCount() const { return static_cast<int32_t>(history_.size() / 256); }
    // The inverse maps, 256 bytes each, oldest first.
    const uint8_t* mappingHistory() const { return history_.empty() ? nullptr : history_.data(); }
    bool isMapped() const { return mapped != 0; }

    // Colour indices the inks use, set by the sprite before every draw.
    uint8_t transparentIndex;
    uint8_t foregroundIndex = 0;
    uint8_t backgroundIndex = 0;
    uint8_t whiteIndex = 0;
    uint8_t blackIndex = 0;
    int32_t hasColourTable = 0;         // the colour table has been filled for the stage
    int32_t mapped = 0;                 // the pixels have been remapped at least once
    int32_t mappingEnabled = 1;         // mapToPalette does nothing while 0
    int32_t remapNeeded = 0;            // the next draw remaps the pixels
    int16_t paletteNumber = kNoPalette; // negative: a built-in palette

protected:
    void storeBody(uArchive& ar);
    void loadBody(uArchive& ar);
    // Raw pixels on their way to or from the stream (8-bit stride, authored indices): a subclass
    // that keeps them in another form there changes them here. The pixels in memory stay as
    // they are.
    virtual void toStoredPixels(std::vector<uint8_t>& pixels) const {}
    virtual void fromStoredPixels(std::vector<uint8_t>& pixels) const {}
    // Forgets every mapping: the pixels are taken to hold authored indices again.
    void clearMappingHistory();

private:
    void dropPixels();
    void replacePixels(std::vector<uint8_t> pixels);
    // Replaces header, colour table and pixels (owned from now on); drops the mask and the
    // mapping history, which belonged to the old pixels. 0 when out of memory (nothing changed).
    int32_t adopt(const DibInfo& info, std::vector<uint8_t> pixels);
    // Pixels as one byte each at the 8-bit stride, whatever the header's bit count.
    std::vector<uint8_t> pixelsAs8Bit() const;

    std::vector<uint8_t> owned_; // the pixels when this bitmap allocated them
    uint8_t* bits_ = nullptr;    // owned_.data() or borrowed memory
    std::vector<uint8_t> compressed_;
    int32_t compression_ = 0;
    int32_t quality_ = 0;
    std::vector<uint8_t> mask_; // (width + 2) x (height + 2), built on the first matte draw
    DibInfo* info_ = nullptr;
    uint16_t authoredDepth_ = 8;
    std::vector<uint8_t> history_; // inverse maps, 256 bytes each, oldest first
};

} // namespace skv
