// nDIB: creation, header adoption, pixel access, colour tables and palette mapping.
#include "gfx/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/classids.h"
#include "gfx/inks.h"
#include "gfx/palette.h"

namespace skv {

namespace {

int64_t strideFor(int64_t width, int64_t bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

bool sizeAllowed(int64_t width, int64_t height, int64_t bitCount) {
    if (width < 0 || height < 0 || width > nDIB::kMaxDimension || height > nDIB::kMaxDimension)
        return false;
    return strideFor(width, bitCount) * height <= nDIB::kMaxPixelBytes;
}

void setColour(RGBQUAD* table, int index, int r, int g, int b) {
    table[index] = RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

} // namespace

nDIB::nDIB() : transparentIndex(defaultTransparentIndex()) {
    setClassId(CLSID_NSprite);
    create(4, 4);
}

nDIB::~nDIB() {
    delete info_;
}

int32_t nDIB::sizeHint() {
    return static_cast<int32_t>(pixelBytes()) + 16;
}

int32_t nDIB::width() const {
    return info_ ? info_->bmiHeader.biWidth : 0;
}
int32_t nDIB::height() const {
    return info_ ? info_->bmiHeader.biHeight : 0;
}

int32_t nDIB::stride() const {
    return info_ ? static_cast<int32_t>(strideFor(width(), bitCount())) : 0;
}

size_t nDIB::pixelBytes() const {
    return info_ ? static_cast<size_t>(stride()) * static_cast<size_t>(height()) : 0;
}

void nDIB::dropPixels() {
    owned_.clear();
    owned_.shrink_to_fit();
    bits_ = nullptr;
    mask_.clear();
}

void nDIB::replacePixels(std::vector<uint8_t> pixels) {
    owned_ = std::move(pixels);
    bits_ = owned_.empty() ? nullptr : owned_.data();
    mask_.clear(); // a mask belongs to the pixels it was built from
}

void nDIB::clearMappingHistory() {
    history_.clear();
    mapped = 0;
}

int32_t nDIB::adopt(const DibInfo& info, std::vector<uint8_t> pixels) {
    if (!info_) {
        info_ = new (std::nothrow) DibInfo{};
        if (!info_) return 0;
    }
    *info_ = info;
    replacePixels(std::move(pixels));
    clearMappingHistory();
    return 1;
}

int32_t nDIB::create(int32_t width, int32_t height, const uint8_t* pixels, const RGBQUAD* colours) {
    if (!sizeAllowed(width, height, 8)) return 0;
    delete info_;
    info_ = nullptr;
    dropPixels();
    clearMappingHistory();

    info_ = new (std::nothrow) DibInfo{};
    if (!info_) return 0;
    BITMAPINFOHEADER& h = info_->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 8;
    size_t bytes = pixelBytes();
    try {
        if (pixels)
            replacePixels(std::vector<uint8_t>(pixels, pixels + bytes));
        else
            replacePixels(std::vector<uint8_t>(bytes, 0));
    } catch (const std::bad_alloc&) {
        delete info_;
        info_ = nullptr;
        return 0;
    }
    if (colours) std::memcpy(info_->bmiColors, colours, sizeof info_->bmiColors);
    hasColourTable = colours ? 1 : 0;
    return 1;
}

int32_t nDIB::colourCount(const BITMAPINFOHEADER* header) {
    if (!header) return 0;
    // A core header is only 12 bytes long: nothing past them may be read.
    const bool core = header->biSize == sizeof(BITMAPCOREHEADER);
    uint16_t bitCount;
    if (core)
        std::memcpy(&bitCount, reinterpret_cast<const uint8_t*>(header) + 10, 2);
    else
        bitCount = header->biBitCount;
    int32_t d = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    if (core) return d;
    int64_t count = header->biClrUsed != 0 ? int64_t{header->biClrUsed} : d;
    if (d != 0 && d < count) count = d;
    return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
}

int32_t nDIB::setHeader(const BITMAPINFO* header, uint8_t* bits) {
    if (!header || header->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
    const BITMAPINFOHEADER& src = header->bmiHeader;
    if (!sizeAllowed(src.biWidth, src.biHeight, src.biBitCount)) return 0;
    auto* fresh = new (std::nothrow) DibInfo{};
    if (!fresh) return 0;
    int32_t colours = std::min(colourCount(&src), 256);
    std::memcpy(fresh, header, sizeof(BITMAPINFOHEADER) + 4 * static_cast<size_t>(colours));
    fresh->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    delete info_;
    info_ = fresh;
    dropPixels();
    clearMappingHistory();
    bits_ = bits;
    return 1;
}

int32_t nDIB::countUsedColours() const {
    if (!bits_ || !info_) return 0;
    bool seen[256] = {};
    const int32_t s = stride();
    const int32_t cols = std::min(width(), s);
    for (int32_t r = 0; r < height(); ++r) {
        const uint8_t* row = bits_ + static_cast<size_t>(r) * s;
        for (int32_t x = 0; x < cols; ++x)
            seen[row[x]] = true;
    }
    return static_cast<int32_t>(std::count(std::begin(seen), std::end(seen), true));
}

uint8_t* nDIB::pixelAt(int32_t x, int32_t y) {
    return const_cast<uint8_t*>(static_cast<const nDIB*>(this)->pixelAt(x, y));
}

const uint8_t* nDIB::pixelAt(int32_t x, int32_t y) const {
    // One byte per pixel only: a packed or deeper picture has no byte per pixel to give.
    if (!bits_ || bitCount() != 8 || x < 0 || y < 0 || x >= width() || y >= height())
        return nullptr;
    return bits_ + static_cast<size_t>(height() - y - 1) * stride() + x;
}

const uint8_t* nDIB::maskAt(int32_t x, int32_t y) const {
    if (mask_.empty() || x < 0 || y < 0 || x >= width() || y >= height()) return nullptr;
    return mask_.data() + static_cast<size_t>(height() - y) * (width() + 2) + x + 1;
}

int32_t nDIB::mapToPalette(HPALETTE palette) {
    // Packed or deeper pixels have no byte per pixel to remap.
    if (!palette || !mappingEnabled || !info_ || bitCount() != 8) return 0;
    PALETTEENTRY entries[256] = {};
    if (GetPaletteEntries(palette, 0, 256, entries) == 0) return 0;

    uint8_t remap[256];
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = info_->bmiColors[i];
        UINT n = GetNearestPaletteIndex(palette, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
        remap[i] = static_cast<uint8_t>(n == CLR_INVALID ? 0 : n);
    }
    // Where two colours land on the same entry the later one is remembered; entries nothing
    // lands on undo to 0.
    uint8_t inverse[256] = {};
    for (int i = 0; i < 256; ++i)
        inverse[remap[i]] = static_cast<uint8_t>(i);
    history_.insert(history_.end(), inverse, inverse + 256);

    if (bits_) {
        size_t n = pixelBytes();
        for (size_t i = 0; i < n; ++i)
            bits_[i] = remap[bits_[i]];
    }
    for (int i = 0; i < 256; ++i)
        info_->bmiColors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    info_->bmiHeader.biClrUsed = 256;
    mapped = 1;
    return 1;
}

void nDIB::bounds(RECT* out) const {
    if (out) *out = RECT{0, 0, width(), height()};
}

void nDIB::blitInto(nDIB& target, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                    int32_t sy, int32_t key) const {
    if (!bits_ || !target.bits_ || bitCount() != 8 || target.bitCount() != 8) return;
    InkClip c = clipInk(target.width(), target.height(), width(), height(), x, y, w, h, sx, sy);
    if (c.cols <= 0 || c.rows <= 0) return;
    for (int32_t r = 0; r < c.rows; ++r) {
        uint8_t* d = target.pixelAt(c.dstX, c.dstY + r);
        const uint8_t* s = pixelAt(c.srcX, c.srcY + r);
        if (key < 0 || key > 255) {
            std::memmove(d, s, static_cast<size_t>(c.cols)); // target may be this bitmap
        } else {
            const uint8_t k = static_cast<uint8_t>(key);
            for (int32_t i = 0; i < c.cols; ++i)
                d[i] = s[i] != k ? s[i] : d[i];
        }
    }
}

void nDIB::copyFrom(const nDIB& other) {
    if (!other.info_) return;
    if (&other == this) return;
    const BITMAPINFOHEADER& oh = other.info_->bmiHeader;
    if (!info_ || width() != oh.biWidth || height() != oh.biHeight || bitCount() != oh.biBitCount ||
        !bits_) {
        if (!sizeAllowed(oh.biWidth, oh.biHeight, oh.biBitCount)) return;
        std::vector<uint8_t> pixels;
        try {
            pixels.assign(other.pixelBytes(), 0);
        } catch (const std::bad_alloc&) {
            return;
        }
        if (!info_) info_ = new (std::nothrow) DibInfo{};
        if (!info_) return;
        replacePixels(std::move(pixels));
    }
    *info_ = *other.info_;
    if (bits_ && other.bits_) std::memcpy(bits_, other.bits_, other.pixelBytes());
    mask_.clear();
}

void nDIB::setColoursVGA() {
    if (!info_) return;
    RGBQUAD* t = info_->bmiColors;
    std::memset(t, 0, sizeof info_->bmiColors);
    static constexpr int kLow[8][3] = {{0, 0, 0},   {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192}};
    static constexpr int kHigh[8][3] = {{128, 128, 128}, {255, 0, 0},    {0, 255, 0},
                                        {255, 255, 0},   {0, 0, 255},    {255, 0, 255},
                                        {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 8; ++i) {
        setColour(t, i, kLow[i][0], kLow[i][1], kLow[i][2]);
        setColour(t, 248 + i, kHigh[i][0], kHigh[i][1], kHigh[i][2]);
    }
}

void nDIB::setColoursGrey4() {
    if (!info_) return;
    RGBQUAD* t = info_->bmiColors;
    std::memset(t, 0, sizeof info_->bmiColors);
    setColour(t, 0, 255, 255, 255);
    setColour(t, 7, 128, 128, 128);
    setColour(t, 248, 192, 192, 192);
    setColour(t, 255, 0, 0, 0);
}

void nDIB::setColoursMono() {
    if (!info_) return;
    RGBQUAD* t = info_->bmiColors;
    std::memset(t, 0, sizeof info_->bmiColors);
    setColour(t, 255, 255, 255, 255);
}

int32_t nDIB::fillColoursForFirstDraw(int32_t scorePaletteNumber, const RGBQUAD* stageColours) {
    if (hasColourTable || !info_ || (authoredDepth_ != 8 && authoredDepth_ != 1)) return 0;
    const RGBQUAD* colours = stageColours;
    if (authoredDepth_ == 1) {
        if (scorePaletteNumber < 0 && scorePaletteNumber != paletteNumber && paletteNumber < 0 &&
            bits_) {
            const size_t n = pixelBytes();
            for (size_t i = 0; i < n; ++i)
                bits_[i] = bits_[i] == 0xFF ? 0x00 : 0xFF;
        }
        if (isBuiltInPalette(paletteNumber)) colours = builtInColours(-1);
    }
    if (!colours) return 0;
    std::memcpy(info_->bmiColors, colours, sizeof info_->bmiColors);
    hasColourTable = 1;
    return 1;
}

HPALETTE nDIB::createPalette(int32_t* count) {
    if (count) *count = 0;
    if (!info_ || !bits_) return nullptr;
    // How often each pixel value occurs, over the visible bytes of every row.
    uint64_t uses[256] = {};
    const int32_t s = stride();
    const int32_t cols = std::min(width(), s);
    for (int32_t r = 0; r < height(); ++r) {
        const uint8_t* row = bits_ + static_cast<size_t>(r) * s;
        for (int32_t x = 0; x < cols; ++x)
            ++uses[row[x]];
    }
    int values[256];
    int used = 0;
    for (int v = 0; v < 256; ++v)
        if (uses[v]) values[used++] = v;
    if (used > 236) {
        // Keep the 236 most used values (the lower value among equals), in index order.
        int order[256];
        std::copy(values, values + used, order);
        std::stable_sort(order, order + used, [&](int a, int b) { return uses[a] > uses[b]; });
        std::sort(order, order + 236);
        std::copy(order, order + 236, values);
        used = 236;
    }
    if (used == 0) return nullptr;
    alignas(LOGPALETTE) unsigned char
        block[offsetof(LOGPALETTE, palPalEntry) + 236 * sizeof(PALETTEENTRY)];
    auto* lp = reinterpret_cast<LOGPALETTE*>(block);
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(used);
    auto* entries = reinterpret_cast<PALETTEENTRY*>(block + offsetof(LOGPALETTE, palPalEntry));
    for (int i = 0; i < used; ++i) {
        const RGBQUAD& c = info_->bmiColors[values[i]];
        entries[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, PC_RESERVED};
    }
    HPALETTE p = CreatePalette(lp);
    if (p && count) *count = used;
    return p;
}

} // namespace skv
