// nDIB's stored form (the table in dib.h).
#include <algorithm>
#include <cstring>

#include "core/archive.h"
#include "core/errors.h"
#include "core/guid.h"
#include "gfx/dib.h"
#include "gfx/palette.h"

namespace skv {

namespace {

int64_t stride8(int64_t width) {
    return ((width * 8 + 31) / 32) * 4;
}

// A stored value that no writer produces: the stream is corrupt from here on, which the reader
// treats like a stream that ends.
[[noreturn]] void refuse() {
    throw CoreError{kErrShortRead};
}

// Reads n bytes, growing the buffer as they arrive, so that a lying length on a short stream
// fails at the short read and not after a large allocation.
std::vector<uint8_t> readBlock(uArchive& ar, size_t n) {
    std::vector<uint8_t> out;
    size_t have = 0;
    while (have < n) {
        size_t chunk = std::min<size_t>(n - have, std::max<size_t>(have, 64 * 1024));
        out.resize(have + chunk);
        ar.read(out.data() + have, static_cast<int32_t>(chunk));
        have += chunk;
    }
    return out;
}

int16_t shiftedForStore(int16_t number) {
    return number < 0 ? static_cast<int16_t>(number + 1) : number;
}

int16_t unshiftedFromStore(int16_t stored) {
    if (stored > 0) return stored;
    return stored == INT16_MIN ? INT16_MIN : static_cast<int16_t>(stored - 1);
}

} // namespace

void nDIB::serialize(uArchive& ar) {
    if (ar.isStoring()) {
        skvObject::serialize(ar);
        storeBody(ar);
    } else {
        loadBody(ar);
    }
}

std::vector<uint8_t> nDIB::pixelsAs8Bit() const {
    const int32_t w = width(), h = height();
    const size_t s8 = static_cast<size_t>(stride8(w));
    std::vector<uint8_t> out(s8 * static_cast<size_t>(h), 0);
    if (!bits_) return out;
    const int32_t bc = bitCount();
    const size_t s = static_cast<size_t>(stride());
    for (int32_t r = 0; r < h; ++r) {
        const uint8_t* src = bits_ + r * s;
        uint8_t* dst = out.data() + r * s8;
        if (bc == 8) {
            std::memcpy(dst, src, s8);
        } else if (bc == 4) {
            for (int32_t x = 0; x < w; ++x)
                dst[x] = (x & 1) ? (src[x / 2] & 0x0F) : (src[x / 2] >> 4);
        } else if (bc == 1) {
            for (int32_t x = 0; x < w; ++x)
                dst[x] = (src[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
        }
        // Deeper pictures have no colour indices to store: their rows stay zero.
    }
    return out;
}

void nDIB::storeBody(uArchive& ar) {
    const char* tag = guidEqual(classId, CLSID_nDIBBackdrop) ? "NBAK"
                      : countUsedColours() > 16              ? "NDIB"
                                                             : "NPDB";
    ar.write(tag, 4);
    const uint16_t depth = authoredDepth_;
    ar.writeInt32(depth == 1 || depth == 4 ? depth : 8);
    ar.writeInt32(width());
    ar.writeInt32(height());
    ar.writeInt16(shiftedForStore(paletteNumber));
    ar.writeInt32(compression_);

    if (compression_ == kCompressionJPEG) {
        if (compressed_.empty()) {
            if (quality_ < 0 || quality_ > 100) quality_ = 80;
            jpegCompress(quality_);
            // What a reader will see, so that this bitmap and its copies look alike.
            jpegDecompress(1);
        }
        ar.writeInt32(static_cast<int32_t>(compressed_.size()));
        ar.writeInt32(quality_);
        ar.write(compressed_.data(), static_cast<int32_t>(compressed_.size()));
        return;
    }

    std::vector<uint8_t> pixels = pixelsAs8Bit();
    if (mapped) {
        // Undo every mapping, newest first, so that the authored indices are stored.
        for (int32_t m = mappingCount() - 1; m >= 0; --m) {
            const uint8_t* inverse = history_.data() + static_cast<size_t>(m) * 256;
            for (uint8_t& p : pixels)
                p = inverse[p];
        }
    }
    toStoredPixels(pixels);
    ar.write(pixels.data(), static_cast<int32_t>(pixels.size()));
}

void nDIB::loadBody(uArchive& ar) {
    char tag[4];
    ar.read(tag, 4); // tells the kind apart for readers of dumps, not for us
    const int32_t depth = ar.readInt32();
    const int32_t w = ar.readInt32();
    const int32_t h = ar.readInt32();
    int16_t storedPalette = ar.readInt16();
    if (depth != 1 && depth != 4 && depth != 8) refuse();
    if (w < 0 || h < 0 || w > kMaxDimension || h > kMaxDimension || stride8(w) * h > kMaxPixelBytes)
        refuse();
    if (depth == 1) storedPalette = 0; // 1-bit pictures always use the built-in colours
    const int32_t comp = ar.readInt32();
    int32_t length = 0, q = 0;
    if (comp == kCompressionJPEG) {
        length = ar.readInt32();
        q = ar.readInt32();
        if (length < 0 || length > kMaxCompressedLength) refuse();
    }

    std::vector<uint8_t> data =
        readBlock(ar, comp == kCompressionJPEG ? static_cast<size_t>(length)
                                               : static_cast<size_t>(stride8(w) * h));
    if (!create(w, h)) throw CoreError{kErrAllocFailed};
    authoredDepth_ = static_cast<uint16_t>(depth);
    paletteNumber = unshiftedFromStore(storedPalette);
    compression_ = comp;
    quality_ = q;

    if (comp == kCompressionJPEG) {
        if (length > 0) {
            compressed_ = std::move(data);
            // A picture that does not decode stays blank; the rest of the stream is unharmed.
            jpegDecompress(1);
            compressed_.clear();
            compressed_.shrink_to_fit();
        }
        return;
    }
    fromStoredPixels(data);
    replacePixels(std::move(data));
    if (const RGBQUAD* colours = builtInColours(paletteNumber)) {
        std::memcpy(info_->bmiColors, colours, sizeof info_->bmiColors);
        // An 8-bit picture has its colours now; the first draw must not put the stage's in
        // their place, or a picture authored in another palette than the stage's shows its
        // indices through the wrong colours. (1-bit pictures still take theirs at the first
        // draw, which also turns their pixels the right way round.)
        if (authoredDepth_ == 8) hasColourTable = 1;
    }
}

} // namespace skv
