#include "image.h"

#include <png.h>

#include <cstring>

#include "gfx/dib.h"

namespace skvc {

bool decodePng(const uint8_t* data, size_t size, RgbaImage* out, std::vector<RGBQUAD>* palette,
               std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        *error = std::string("not a readable PNG file (") + image.message + ")";
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageDimension ||
        image.height > kMaxImageDimension ||
        int64_t(image.width) * int64_t(image.height) > kMaxImagePixels) {
        png_image_free(&image);
        *error = "the picture is " + std::to_string(image.width) + " x " +
                 std::to_string(image.height) + " pixels; at most " +
                 std::to_string(kMaxImageDimension) + " on a side and " +
                 std::to_string(kMaxImagePixels) + " pixels in all";
        return false;
    }
    const bool hasColourMap = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
    const uint32_t mapEntries = image.colormap_entries;
    out->width = static_cast<int32_t>(image.width);
    out->height = static_cast<int32_t>(image.height);
    if (hasColourMap && palette) {
        // Read the indices and the colour map, then expand: the palette keeps the file's order.
        image.format = PNG_FORMAT_RGBA_COLORMAP;
        std::vector<uint8_t> indices(PNG_IMAGE_SIZE(image));
        std::vector<uint8_t> map(PNG_IMAGE_COLORMAP_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, indices.data(), 0, map.data())) {
            *error = std::string("the PNG file is damaged (") + image.message + ")";
            png_image_free(&image);
            return false;
        }
        const uint32_t n = image.colormap_entries;
        palette->clear();
        for (uint32_t i = 0; i < n && i < mapEntries; ++i)
            palette->push_back(RGBQUAD{map[i * 4 + 2], map[i * 4 + 1], map[i * 4 + 0], 0});
        out->pixels.resize(size_t(out->width) * out->height * 4);
        for (size_t p = 0; p < indices.size(); ++p) {
            const uint8_t k = indices[p] < n ? indices[p] : 0;
            std::memcpy(&out->pixels[p * 4], &map[size_t(k) * 4], 4);
        }
        return true;
    }
    if (palette) palette->clear();
    image.format = PNG_FORMAT_RGBA;
    out->pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out->pixels.data(), 0, nullptr)) {
        *error = std::string("the PNG file is damaged (") + image.message + ")";
        png_image_free(&image);
        return false;
    }
    return true;
}

bool decodeBmp(const uint8_t* data, size_t size, RgbaImage* out, std::string* error) {
    skv::nDIB dib;
    if (!dib.readBMP(data, size)) {
        *error = "not a BMP file the player can read (1, 4, 8, 24 or 32 bits, uncompressed)";
        return false;
    }
    const int32_t bits = dib.bitCount();
    RGBQUAD table[256];
    std::memcpy(table, dib.colours(), sizeof table);
    if (bits == 1) {
        // Unpacking turns a set bit into 0 and a clear bit into 255.
        RGBQUAD zero = table[0], one = table[1];
        dib.unpack1();
        table[0] = one;
        table[255] = zero;
    } else if (bits == 4) {
        dib.unpack4();
    } else if (bits == 24 || bits == 32) {
        out->width = dib.width();
        out->height = dib.height();
        out->pixels.assign(size_t(out->width) * out->height * 4, 255);
        const int32_t step = bits / 8;
        for (int32_t y = 0; y < out->height; ++y) {
            // Rows are bottom-up in memory, blue, green, red per pixel.
            const uint8_t* row = dib.bits() + size_t(out->height - 1 - y) * dib.stride();
            for (int32_t x = 0; x < out->width; ++x) {
                uint8_t* p = &out->pixels[(size_t(y) * out->width + x) * 4];
                p[0] = row[x * step + 2];
                p[1] = row[x * step + 1];
                p[2] = row[x * step + 0];
            }
        }
        return true;
    }
    if (dib.bitCount() != 8) {
        *error = "not a BMP file the player can read (1, 4, 8, 24 or 32 bits, uncompressed)";
        return false;
    }
    out->width = dib.width();
    out->height = dib.height();
    out->pixels.assign(size_t(out->width) * out->height * 4, 0);
    for (int32_t y = 0; y < out->height; ++y) {
        for (int32_t x = 0; x < out->width; ++x) {
            const RGBQUAD& c = table[*dib.pixelAt(x, y)];
            uint8_t* p = &out->pixels[(size_t(y) * out->width + x) * 4];
            p[0] = c.rgbRed;
            p[1] = c.rgbGreen;
            p[2] = c.rgbBlue;
            p[3] = 255;
        }
    }
    return true;
}

bool decodeImage(const std::vector<uint8_t>& bytes, RgbaImage* out, std::vector<RGBQUAD>* palette,
                 std::string* error) {
    if (palette) palette->clear();
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return decodePng(bytes.data(), bytes.size(), out, palette, error);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return decodeBmp(bytes.data(), bytes.size(), out, error);
    *error = "neither a PNG nor a BMP file";
    return false;
}

} // namespace skvc
