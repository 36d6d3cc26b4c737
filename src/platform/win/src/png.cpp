// PNG files of pictures, written with zlib: 8-bit RGB, no filtering, no time or text chunks, so
// that equal pictures give equal files.
#include <zlib.h>

#include <cstdio>

#include "platform/display.h"

namespace skv::platform {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, static_cast<uint32_t>(
                   crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

} // namespace

bool writePng(const Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        if (error) *error = "the picture for " + path + " is empty";
        return false;
    }
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(image.height) * (1 + 3 * static_cast<size_t>(image.width)));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.at(x, y);
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) !=
        Z_OK) {
        if (error) *error = "cannot compress the picture for " + path;
        return false;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(image.width));
    put32(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
    chunk(file, "IHDR", header);
    chunk(file, "IDAT", packed);
    chunk(file, "IEND", {});

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot write " + path + ": check that its folder exists and is writable";
        return false;
    }
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !ok) {
        if (error) *error = "cannot write all of " + path + " (is the disk full?)";
        return false;
    }
    return true;
}

} // namespace skv::platform
