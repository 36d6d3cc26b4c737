// gdi_figures OUT: draws a catalogue of the figures the player's shapes are made of (lines,
// rectangles, round rectangles and ellipses, with one-pixel and wide pens, the null pen, solid
// and pattern brushes) each into a DIB section of its own, and writes every picture to OUT. Built
// for Linux on our GDI and for Windows on the system's, so that Wine's GDI holds ours to account
// figure by figure (compare_figures.py).
//
// OUT: for every figure a line "name width height\n" and then width * height bytes, one per
// pixel: 0 the background, 1 the pen, 2 the brush's foreground (a pattern's 0 bits and solid
// brushes), 3 a pattern's 1 bits; anything else 255.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/wingdi.h"

namespace {

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kPen = RGB(255, 0, 0);
constexpr COLORREF kBrush = RGB(0, 0, 255);
constexpr COLORREF kPatternOne = RGB(0, 255, 0);

struct Canvas {
    int width, height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;

    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; ++i)
            bits[i] = 0x00FFFFFF;
        SetBkColor(dc, kPatternOne);
        SetTextColor(dc, kBrush);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

uint8_t classOf(uint32_t v) {
    const COLORREF c = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    if (c == kBackground) return 0;
    if (c == kPen) return 1;
    if (c == kBrush) return 2;
    if (c == kPatternOne) return 3;
    return 255;
}

FILE* out = nullptr;
int figures = 0;

void emit(const std::string& name, const Canvas& c) {
    GdiFlush();
    std::fprintf(out, "%s %d %d\n", name.c_str(), c.width, c.height);
    std::vector<uint8_t> row(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = classOf(c.bits[i]);
    std::fwrite(row.data(), 1, row.size(), out);
    ++figures;
}

// The 8 x 8 patterns of shapes: a checkerboard and diagonal stripes (1 bits are the background
// colour of the DC, 0 bits its text colour).
HBRUSH patternBrush(int which) {
    WORD rows[8];
    for (int y = 0; y < 8; ++y)
        rows[y] = which == 0 ? static_cast<WORD>(y % 2 ? 0xAA : 0x55)
                             : static_cast<WORD>(0xFF & ~(0x81 << (y % 8)) & 0xFF);
    HBITMAP b = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(b);
    DeleteObject(b);
    return brush;
}

enum class Fill { None, Solid, Checker, Stripes };

const char* fillName(Fill f) {
    switch (f) {
    case Fill::None:
        return "none";
    case Fill::Solid:
        return "solid";
    case Fill::Checker:
        return "checker";
    case Fill::Stripes:
        return "stripes";
    }
    return "?";
}

struct Tools {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HGDIOBJ oldPen = nullptr, oldBrush = nullptr;
    HDC dc;
    Tools(HDC d, int penWidth, Fill fill) : dc(d) {
        if (penWidth > 0) pen = CreatePen(PS_SOLID, penWidth, kPen);
        if (fill == Fill::Solid) brush = CreateSolidBrush(kBrush);
        if (fill == Fill::Checker) brush = patternBrush(0);
        if (fill == Fill::Stripes) brush = patternBrush(1);
        oldPen = SelectObject(dc, pen ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
        oldBrush =
            SelectObject(dc, brush ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
    }
    ~Tools() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        if (pen) DeleteObject(pen);
        if (brush) DeleteObject(brush);
    }
};

void lines() {
    // Every direction up to 10 pixels each way from the middle, with the one-pixel pen.
    for (int dy = -10; dy <= 10; ++dy) {
        for (int dx = -10; dx <= 10; ++dx) {
            Canvas c(25, 25);
            Tools t(c.dc, 1, Fill::None);
            MoveToEx(c.dc, 12, 12, nullptr);
            LineTo(c.dc, 12 + dx, 12 + dy);
            emit("line1 " + std::to_string(dx) + "," + std::to_string(dy), c);
        }
    }
    // Wide pens, fewer directions.
    const int steps[] = {-17, -9, -4, 0, 3, 8, 16};
    for (int w : {2, 3, 4, 5, 8}) {
        for (int dy : steps) {
            for (int dx : steps) {
                Canvas c(48, 48);
                Tools t(c.dc, w, Fill::None);
                MoveToEx(c.dc, 24, 24, nullptr);
                LineTo(c.dc, 24 + dx, 24 + dy);
                emit("line" + std::to_string(w) + " " + std::to_string(dx) + "," +
                         std::to_string(dy),
                     c);
            }
        }
    }
}

void figuresOf(const char* kind) {
    const int sizes[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 13, 16, 21, 30};
    for (int pen : {0, 1, 2, 3, 5}) {
        for (Fill fill : {Fill::None, Fill::Solid, Fill::Checker, Fill::Stripes}) {
            if (pen == 0 && fill == Fill::None) continue;
            for (int w : sizes) {
                for (int h : sizes) {
                    // Pattern brushes only on a few sizes: coverage is the same as solid.
                    if ((fill == Fill::Checker || fill == Fill::Stripes) && w != h && w != 21)
                        continue;
                    Canvas c(w + 12, h + 12);
                    Tools t(c.dc, pen, fill);
                    const std::string k = kind;
                    if (k == "rect") Rectangle(c.dc, 5, 6, 5 + w, 6 + h);
                    if (k == "ellipse") Ellipse(c.dc, 5, 6, 5 + w, 6 + h);
                    // The player's round rectangles: corners as tall as the shape.
                    if (k == "roundrect") RoundRect(c.dc, 5, 6, 5 + w, 6 + h, h, h + 1);
                    if (k == "roundrect8") RoundRect(c.dc, 5, 6, 5 + w, 6 + h, 8, 6);
                    emit(k + " pen" + std::to_string(pen) + " " + fillName(fill) + " " +
                             std::to_string(w) + "x" + std::to_string(h),
                         c);
                }
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: gdi_figures OUT\n  draws the catalogue of figures into OUT "
                             "(one record per figure: a line \"name width height\", then a byte "
                             "per pixel)\n");
        return 2;
    }
    out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "gdi_figures: cannot write %s\n", argv[1]);
        return 1;
    }
    lines();
    for (const char* kind : {"rect", "ellipse", "roundrect", "roundrect8"})
        figuresOf(kind);
    std::fclose(out);
    std::printf("gdi_figures: %d figures in %s\n", figures, argv[1]);
    return 0;
}
