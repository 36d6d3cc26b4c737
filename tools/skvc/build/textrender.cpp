#include "textrender.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace skvc {

namespace {

// Next code point of UTF-8 text; malformed bytes come out as U+FFFD.
uint32_t nextCodePoint(const std::string& s, size_t* i) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t c = b(*i);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || (extra > 0 && *i + static_cast<size_t>(extra) >= s.size())) {
        ++*i;
        return 0xFFFD;
    }
    uint32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) {
        if ((b(*i + k) & 0xC0) != 0x80) {
            ++*i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b(*i + k) & 0x3F);
    }
    *i += static_cast<size_t>(extra) + 1;
    return cp;
}

struct Library {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

} // namespace

bool renderText(const std::vector<uint8_t>& font, const std::string& text, int32_t pixelSize,
                int32_t depth, TextPicture* out, std::string* error) {
    if (pixelSize < 4 || pixelSize > 512) {
        *error = "the text size must be 4 to 512 pixels";
        return false;
    }
    if (depth != 1 && depth != 8) {
        *error = "text is rendered at depth 1 or 8";
        return false;
    }
    Library ft;
    if (FT_Init_FreeType(&ft.lib) ||
        FT_New_Memory_Face(ft.lib, font.data(), static_cast<FT_Long>(font.size()), 0, &ft.face) ||
        FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(pixelSize))) {
        *error = "not a font FreeType can read (TrueType or OpenType)";
        return false;
    }
    const FT_Int32 loadFlags =
        FT_LOAD_RENDER | (depth == 1 ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT);
    const int32_t ascender = static_cast<int32_t>((ft.face->size->metrics.ascender + 63) >> 6);
    const int32_t lineHeight =
        std::max<int32_t>(1, static_cast<int32_t>((ft.face->size->metrics.height + 63) >> 6));

    struct Glyph {
        int32_t x, y, w, h;
        std::vector<uint8_t> cover;
    };
    std::vector<Glyph> glyphs;
    int32_t width = 1, lines = 1, penX = 0;
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = nextCodePoint(text, &i);
        if (cp == '\n') {
            ++lines;
            penX = 0;
            continue;
        }
        if (FT_Load_Char(ft.face, cp, loadFlags)) continue;
        const FT_GlyphSlot g = ft.face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        Glyph gl{penX + g->bitmap_left,
                 (lines - 1) * lineHeight + ascender - g->bitmap_top,
                 static_cast<int32_t>(bm.width),
                 static_cast<int32_t>(bm.rows),
                 {}};
        gl.cover.resize(size_t(gl.w) * gl.h);
        for (int32_t r = 0; r < gl.h; ++r) {
            const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
            for (int32_t c = 0; c < gl.w; ++c) {
                uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                ? ((row[c >> 3] >> (7 - (c & 7))) & 1) * 255
                                : row[c];
                gl.cover[size_t(r) * gl.w + c] = v;
            }
        }
        penX += static_cast<int32_t>((g->advance.x + 63) >> 6);
        width = std::max({width, penX, gl.x + gl.w});
        glyphs.push_back(std::move(gl));
        if (width > 8192) {
            *error = "the text is wider than 8192 pixels";
            return false;
        }
    }
    if (int64_t(lines) * lineHeight > 8192) {
        *error = "the text is taller than 8192 pixels";
        return false;
    }
    out->width = width;
    out->height = lines * lineHeight;
    out->coverage.assign(size_t(out->width) * out->height, 0);
    for (const Glyph& g : glyphs)
        for (int32_t r = 0; r < g.h; ++r)
            for (int32_t c = 0; c < g.w; ++c) {
                const int32_t x = g.x + c, y = g.y + r;
                if (x < 0 || y < 0 || x >= out->width || y >= out->height) continue;
                uint8_t& d = out->coverage[size_t(y) * out->width + x];
                d = std::max(d, g.cover[size_t(r) * g.w + c]);
            }
    return true;
}

} // namespace skvc
