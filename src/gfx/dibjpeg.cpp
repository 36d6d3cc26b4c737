// nDIB's JPEG side: the compressed bytes and the pixels they decode to.
#include <cstring>

#include "core/abandon.h"
#include "gfx/dib.h"
#include "gfx/jpegcodec.h"

namespace skv {

int32_t nDIB::jpegCompress(int32_t quality) {
    if (!info_ || !bits_) return -1;
    jpegCodec codec;
    codec.setQuality(quality);
    compressed_.clear();
    std::vector<uint8_t> data;
    if (!codec.compress(info_->bmiHeader, info_->bmiColors, bits_, &data)) return -1;
    compressed_ = std::move(data);
    compression_ = kCompressionJPEG;
    quality_ = quality;
    return 0;
}

int32_t nDIB::jpegDecompress(int32_t remap) {
    if (compressed_.empty()) {
        abandoned("jpegDecompress", "no compressed bytes");
        return -1;
    }
    jpegCodec codec;
    DibInfo decoded{};
    std::vector<uint8_t> pixels;
    if (!codec.decompress(compressed_.data(), compressed_.size(), &decoded.bmiHeader,
                          decoded.bmiColors, &pixels))
        return -1; // the codec said why
    if (!adopt(decoded, std::move(pixels))) {
        abandoned("jpegDecompress", "the bitmap does not take the %ld x %ld picture",
                  long(decoded.bmiHeader.biWidth), long(decoded.bmiHeader.biHeight));
        return -1;
    }
    remapNeeded = remap;
    hasColourTable = 1;
    return 0;
}

} // namespace skv
