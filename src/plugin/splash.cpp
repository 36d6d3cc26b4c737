// The "BUFFERING" picture, drawn from a 5 x 7 letter set at twice its size.
#include "plugin/splash.h"

#include <cstring>
#include <string_view>

namespace skv::plugin {

namespace {

constexpr int kGlyphW = 5, kGlyphH = 7, kScale = 2, kGap = 1, kMargin = 6;
constexpr std::string_view kWord = "BUFFERING";

// Rows of the letters the word needs, top row first; bit 4 is the leftmost column.
const uint8_t* glyph(char c) {
    static const uint8_t b[] = {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E};
    static const uint8_t u[] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
    static const uint8_t f[] = {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10};
    static const uint8_t e[] = {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F};
    static const uint8_t r[] = {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11};
    static const uint8_t i[] = {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E};
    static const uint8_t n[] = {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11};
    static const uint8_t g[] = {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F};
    switch (c) {
    case 'B':
        return b;
    case 'U':
        return u;
    case 'F':
        return f;
    case 'E':
        return e;
    case 'R':
        return r;
    case 'I':
        return i;
    case 'N':
        return n;
    case 'G':
        return g;
    default:
        return nullptr;
    }
}

} // namespace

std::unique_ptr<nDIB> loadBufferingPicture() {
    const int letters = static_cast<int>(kWord.size());
    const int width = 2 * kMargin + letters * (kGlyphW + kGap) * kScale - kGap * kScale;
    const int height = 2 * kMargin + kGlyphH * kScale;
    RGBQUAD colours[256] = {};
    colours[0] = RGBQUAD{255, 255, 255, 0};
    colours[1] = RGBQUAD{64, 64, 64, 0};
    auto picture = std::make_unique<nDIB>();
    if (!picture->create(width, height, nullptr, colours)) return nullptr;
    auto set = [&](int x, int y) {
        if (uint8_t* p = picture->pixelAt(x, y)) *p = 1;
    };
    for (int x = 0; x < width; ++x) {
        set(x, 0);
        set(x, height - 1);
    }
    for (int y = 0; y < height; ++y) {
        set(0, y);
        set(width - 1, y);
    }
    for (int n = 0; n < letters; ++n) {
        const uint8_t* rows = glyph(kWord[n]);
        const int left = kMargin + n * (kGlyphW + kGap) * kScale;
        for (int row = 0; row < kGlyphH; ++row)
            for (int col = 0; col < kGlyphW; ++col) {
                if (!(rows[row] & (0x10 >> col))) continue;
                for (int dy = 0; dy < kScale; ++dy)
                    for (int dx = 0; dx < kScale; ++dx)
                        set(left + col * kScale + dx, kMargin + row * kScale + dy);
            }
    }
    return picture;
}

} // namespace skv::plugin
