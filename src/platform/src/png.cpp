// Writing pictures as PNG files with libpng: 8-bit RGB, no time or text chunks and fixed
// settings, so that the same picture always gives the same bytes.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/display.h"

namespace skv::platform {

namespace {

struct PngError {
    std::string message;
};

void onError(png_structp png, png_const_charp message) {
    static_cast<PngError*>(png_get_error_ptr(png))->message = message;
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp: nothing with a destructor may live in this function's frame
// across the calls that can fail.
bool writeRows(FILE* f, const Image& image, const std::vector<png_bytep>& rows, PngError* err) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, err, onError, onWarning);
    if (!png) {
        err->message = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        err->message = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        if (error) *error = "the picture is empty: capture a screen or a window that exists";
        return false;
    }
    std::vector<uint8_t> rgb(image.pixels.size() * 3);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        rgb[3 * i] = static_cast<uint8_t>(image.pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(image.pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(image.pixels[i]);
    }
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y)
        rows[y] = rgb.data() + static_cast<size_t>(y) * image.width * 3;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot create " + path + ": " + std::strerror(errno) +
                     " (check that the folder exists and is writable)";
        return false;
    }
    PngError err;
    bool ok = writeRows(f, image, rows, &err);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err.message = std::strerror(errno);
    }
    if (!ok) {
        std::remove(path.c_str());
        if (error) *error = "cannot write " + path + ": " + err.message;
    }
    return ok;
}

} // namespace skv::platform
