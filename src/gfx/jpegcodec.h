// jpegCodec: the JPEG coder of compressed bitmaps, on libjpeg.
//
// Decoding quantizes to at most 256 colours in two passes with Floyd-Steinberg dithering, so that
// a JPEG bitmap becomes an 8-bit bitmap with its own colour table. Corrupt or hostile data fails
// the one call: libjpeg's fatal errors come back here instead of ending the process, and images
// larger than the bitmap limits are refused before the decoder allocates for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wingdi.h"

namespace skv {

class jpegCodec {
public:
    jpegCodec() = default;

    void setQuality(int32_t quality) { quality_ = quality; }
    int32_t quality() const { return quality_; }

    // Decodes `data` into an 8-bit bottom-up bitmap: the header (size 40, the image's width and
    // height, 1 plane, 8 bits), 256 colours (the unused ones zero) and stride x height pixels.
    // False on any failure, with the outputs untouched and lastError() saying why.
    bool decompress(const uint8_t* data, size_t length, BITMAPINFOHEADER* header,
                    RGBQUAD colours[256], std::vector<uint8_t>* bits);
    // Encodes an 8-bit bottom-up bitmap through its colour table as an RGB JPEG at quality().
    bool compress(const BITMAPINFOHEADER& header, const RGBQUAD* colours, const uint8_t* bits,
                  std::vector<uint8_t>* out);

    const std::string& lastError() const { return lastError_; }

    // Progressive files with more scans than this are refused: a scan costs a pass over the
    // whole image, and a few bytes can ask for thousands.
    static constexpr int kMaxScans = 256;

private:
    int32_t quality_ = 100;
    std::string lastError_;
};

} // namespace skv
