// BMP files, and packing pixels to the authored depth for them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/abandon.h"
#include "gfx/dib.h"

namespace skv {

namespace {

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

int64_t strideFor(int64_t width, int64_t bitCount) {
    return ((width * bitCount + 31) / 32) * 4;
}

// The largest BMP file worth reading: the biggest picture we accept plus its headers.
constexpr int64_t kMaxBmpFile = nDIB::kMaxPixelBytes + 14 + 124 + 1024;

} // namespace

// Each rejection below says which check failed.
#define SKV_REJECT(...)                                                                            \
    do {                                                                                           \
        abandoned("readBMP", __VA_ARGS__);                                                         \
        return 0;                                                                                  \
    } while (0)

int32_t nDIB::readBMP(const uint8_t* data, size_t size) {
    // File header: "BM", size, two reserved words, offset of the pixels.
    if (!data) SKV_REJECT("no data");
    if (size < 14) SKV_REJECT("%zu bytes are too few for the 14-byte file header", size);
    if (data[0] != 'B' || data[1] != 'M')
        SKV_REJECT("the file does not begin with \"BM\" (0x%02X 0x%02X)", data[0], data[1]);
    const uint32_t offBits = le32(data + 10);
    if (size < 18) SKV_REJECT("%zu bytes end before the picture header's size", size);
    const uint32_t headerSize = le32(data + 14);

    DibInfo info{};
    BITMAPINFOHEADER& h = info.bmiHeader;
    int32_t colours = 0;
    size_t colourAt = 0, colourSize = 4;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        // An OS/2 core header: 16-bit sizes and 3-byte colour entries.
        if (size < 14 + 12) SKV_REJECT("%zu bytes end inside the 12-byte core header", size);
        h.biWidth = le16(data + 18);
        h.biHeight = le16(data + 20);
        h.biPlanes = le16(data + 22);
        h.biBitCount = le16(data + 24);
        h.biSize = sizeof(BITMAPINFOHEADER);
        colourAt = 14 + 12;
        colourSize = 3;
        BITMAPCOREHEADER core{12, static_cast<WORD>(h.biWidth), static_cast<WORD>(h.biHeight),
                              h.biPlanes, h.biBitCount};
        colours = colourCount(reinterpret_cast<const BITMAPINFOHEADER*>(&core));
    } else if (headerSize == 40 || headerSize == 108 || headerSize == 124) {
        // Version 4 and 5 headers begin with the 40-byte header; the rest describes colour
        // spaces, which an 8-bit player ignores.
        if (size < 14 + size_t{headerSize})
            SKV_REJECT("%zu bytes end inside the %u-byte picture header", size, headerSize);
        std::memcpy(&h, data + 14, sizeof h); // little-endian host, as the stream format
        h.biSize = sizeof(BITMAPINFOHEADER);
        colourAt = 14 + headerSize;
        colours = colourCount(&h);
    } else {
        SKV_REJECT("a picture header of %u bytes is none of 12, 40, 108, 124", headerSize);
    }

    // Only uncompressed pictures of the usual depths have a byte layout the inks can walk.
    const uint16_t bc = h.biBitCount;
    if (h.biCompression != BI_RGB)
        SKV_REJECT("compression %u is not BI_RGB", unsigned(h.biCompression));
    if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32)
        SKV_REJECT("a depth of %u bits is none of 1, 4, 8, 16, 24, 32", unsigned(bc));
    const bool topDown = h.biHeight < 0;
    const int64_t width = h.biWidth, height = topDown ? -int64_t{h.biHeight} : h.biHeight;
    if (width <= 0 || height <= 0)
        SKV_REJECT("the size %lld x %lld is not positive", static_cast<long long>(width),
                   static_cast<long long>(height));
    if (width > kMaxDimension || height > kMaxDimension)
        SKV_REJECT("the size %lld x %lld is over the limit of %d", static_cast<long long>(width),
                   static_cast<long long>(height), int(kMaxDimension));
    const int64_t stride = strideFor(width, bc);
    if (stride * height > kMaxPixelBytes)
        SKV_REJECT("%lld bytes of pixels are over the limit of %lld",
                   static_cast<long long>(stride * height), static_cast<long long>(kMaxPixelBytes));
    if (colours < 0 || colours > 256) SKV_REJECT("%d colours are outside 0 to 256", colours);
    if (colourAt + colours * colourSize > size)
        SKV_REJECT("%zu bytes end inside the table of %d colours", size, colours);
    for (int32_t i = 0; i < colours; ++i) {
        const uint8_t* c = data + colourAt + i * colourSize;
        info.bmiColors[i] = RGBQUAD{c[0], c[1], c[2], 0};
    }
    // The pixels must cover every row; what a file holds beyond them is not needed.
    const size_t need = static_cast<size_t>(stride * height);
    if (offBits > size)
        SKV_REJECT("the pixels' offset %u lies past the end, at %zu bytes", offBits, size);
    if (size - offBits < need)
        SKV_REJECT("%zu bytes of pixels from offset %u are fewer than the %zu of %lld rows",
                   size - offBits, offBits, need, static_cast<long long>(height));

    std::vector<uint8_t> pixels;
    try {
        pixels.resize(need);
    } catch (const std::bad_alloc&) {
        SKV_REJECT("no memory for %zu bytes of pixels", need);
    }
    for (int64_t r = 0; r < height; ++r) {
        // Rows bottom-up in memory whatever the file's order.
        const int64_t from = topDown ? height - 1 - r : r;
        std::memcpy(pixels.data() + r * stride, data + offBits + from * stride,
                    static_cast<size_t>(stride));
    }
    h.biHeight = static_cast<LONG>(height);
    if (!adopt(info, std::move(pixels))) SKV_REJECT("the bitmap does not take the picture");
    authoredDepth_ = bc;
    return 1;
}

#undef SKV_REJECT

int32_t nDIB::readBMPFile(const char* path) {
    if (!path) return 0;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        abandoned("readBMPFile", "%s cannot be opened", path);
        return 0;
    }
    std::vector<uint8_t> data;
    int32_t result = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        long length = std::ftell(f);
        if (length > 0 && std::fseek(f, 0, SEEK_SET) == 0) {
            try {
                data.resize(static_cast<size_t>(std::min<int64_t>(length, kMaxBmpFile)));
                if (std::fread(data.data(), 1, data.size(), f) == data.size())
                    result = readBMP(data.data(), data.size());
                else
                    abandoned("readBMPFile", "%s cannot be read", path);
            } catch (const std::bad_alloc&) {
                abandoned("readBMPFile", "no memory for the %ld bytes of %s", length, path);
                result = 0;
            }
        } else {
            abandoned("readBMPFile", "%s is empty or cannot be read", path);
        }
    } else {
        abandoned("readBMPFile", "%s cannot be read", path);
    }
    std::fclose(f);
    return result;
}

std::vector<uint8_t> nDIB::bmpBytes() const {
    std::vector<uint8_t> out;
    if (!info_) return out;
    const BITMAPINFOHEADER& h = info_->bmiHeader;
    const int32_t bc = h.biBitCount;
    const size_t imageBytes = static_cast<size_t>(strideFor(width(), bc) * height());
    const int32_t colours = std::clamp(colourCount(&h), 0, 256);
    // An 8-bit file carries the whole 256-entry table, a 4-bit one 16 entries.
    const uint32_t tableBytes = bc == 8 ? 1024 : bc == 4 ? 64 : 4 * colours;
    const uint32_t offBits = 14 + 40 + tableBytes;
    out.reserve(offBits + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<uint32_t>(offBits + imageBytes));
    put32(out, 0);
    put32(out, offBits);
    const auto* header = reinterpret_cast<const uint8_t*>(info_);
    out.insert(out.end(), header, header + 40 + tableBytes);
    if (bits_) out.insert(out.end(), bits_, bits_ + std::min(imageBytes, pixelBytes()));
    out.resize(offBits + imageBytes, 0);
    return out;
}

int32_t nDIB::writeBMPFile(const char* path) {
    if (!path || !info_) return 0;
    std::vector<uint8_t> bytes = bmpBytes();
    std::FILE* f = std::fopen(path, "wb+");
    if (!f) return 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && written) ? 1 : 0;
}

int32_t nDIB::packForWrite() {
    if (authoredDepth_ == 8) return 0;
    if (authoredDepth_ == 4) packTo4();
    return 1;
}

int32_t nDIB::packTo4() {
    if (authoredDepth_ != 4 || bitCount() != 8 || !bits_) return 0;
    const int32_t w = width(), h = height(), s8 = stride();
    const size_t s4 = static_cast<size_t>(strideFor(w, 4));
    std::vector<uint8_t> packed(s4 * static_cast<size_t>(h), 0);
    // Indices 240-255 (the upper end of a 16-colour table laid out like the system palette)
    // become 0-15.
    auto nibble = [](uint8_t p) { return static_cast<uint8_t>((p >= 240 ? p + 16 : p) & 0x0F); };
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* src = bits_ + static_cast<size_t>(r) * s8;
        uint8_t* dst = packed.data() + r * s4;
        for (int32_t x = 0; x < w; x += 2) {
            const uint8_t q = x + 1 < w ? nibble(src[x + 1]) : 0;
            dst[x / 2] = static_cast<uint8_t>((nibble(src[x]) << 4) | q);
        }
    }
    replacePixels(std::move(packed));
    info_->bmiHeader.biBitCount = 4;
    return 1;
}

int32_t nDIB::unpack4() {
    if (!info_ || info_->bmiHeader.biCompression != BI_RGB || bitCount() != 4 || !bits_) return 0;
    const int32_t w = width(), h = height(), s4 = stride();
    const size_t s8 = static_cast<size_t>(strideFor(w, 8));
    std::vector<uint8_t> out(s8 * static_cast<size_t>(h), 0);
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* src = bits_ + static_cast<size_t>(r) * s4;
        uint8_t* dst = out.data() + r * s8;
        for (int32_t x = 0; x < w; ++x)
            dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
    }
    replacePixels(std::move(out));
    BITMAPINFOHEADER& hd = info_->bmiHeader;
    hd.biBitCount = 8;
    hd.biClrUsed = 16;
    hd.biSizeImage = static_cast<DWORD>(s8 * static_cast<size_t>(h));
    return 1;
}

int32_t nDIB::packTo1() {
    if (authoredDepth_ != 1 || bitCount() != 8 || !bits_) return 0;
    const int32_t w = width(), h = height(), s8 = stride();
    const size_t s1 = static_cast<size_t>(strideFor(w, 1));
    std::vector<uint8_t> packed(s1 * static_cast<size_t>(h), 0);
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* src = bits_ + static_cast<size_t>(r) * s8;
        uint8_t* dst = packed.data() + r * s1;
        for (int32_t x = 0; x < w; ++x)
            if (src[x] != 0xFF) dst[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    replacePixels(std::move(packed));
    info_->bmiHeader.biBitCount = 1;
    info_->bmiHeader.biCompression = BI_RGB;
    return 1;
}

int32_t nDIB::unpack1() {
    if (!info_ || info_->bmiHeader.biCompression != BI_RGB || bitCount() != 1 || !bits_) return 0;
    const int32_t w = width(), h = height(), s1 = stride();
    const size_t s8 = static_cast<size_t>(strideFor(w, 8));
    std::vector<uint8_t> out(s8 * static_cast<size_t>(h), 0);
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* src = bits_ + static_cast<size_t>(r) * s1;
        uint8_t* dst = out.data() + r * s8;
        for (int32_t x = 0; x < w; ++x)
            dst[x] = (src[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
    }
    replacePixels(std::move(out));
    BITMAPINFOHEADER& hd = info_->bmiHeader;
    hd.biBitCount = 8;
    hd.biClrUsed = 2;
    hd.biSizeImage = 0;
    return 1;
}

} // namespace skv
