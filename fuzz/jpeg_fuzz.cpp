// Feeds arbitrary bytes to the JPEG decoder: any input either decodes or fails the one call.
#include <cstdint>
#include <vector>

#include "gfx/jpegcodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skv::jpegCodec codec;
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    if (codec.decompress(data, size, &header, colours, &bits)) {
        std::vector<uint8_t> again;
        codec.compress(header, colours, bits.data(), &again);
    }
    return 0;
}
