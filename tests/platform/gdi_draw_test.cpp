// Drawing: DIB sections, memory and window DCs, BitBlt, StretchDIBits and FillRect with clip
// regions, palettes on a palette display, and the composed screen.
#include <cstring>
#include <vector>

#include "window_fixture.h"

namespace {

using skv::platform::captureScreen;
using skv::platform::captureWindow;
using skv::platform::Image;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// A BITMAPINFO with room for 256 colours.
struct Info {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};
    Info(int w, int h, int bpp) {
        header.biSize = sizeof header;
        header.biWidth = w;
        header.biHeight = h;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bpp);
    }
    const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

RGBQUAD quad(uint32_t rgb) {
    return RGBQUAD{static_cast<BYTE>(rgb), static_cast<BYTE>(rgb >> 8),
                   static_cast<BYTE>(rgb >> 16), 0};
}

// An 8-bit bottom-up DIB section of w x h filled by `pixel(x, y)` (y from the top), in a memory
// DC of its own.
struct Section {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    int w, h;
    size_t stride;
    Section(int w, int h, std::vector<uint32_t> colours) : w(w), h(h) {
        Info info(w, h, 8);
        for (size_t i = 0; i < colours.size(); ++i)
            info.colours[i] = quad(colours[i]);
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        previous = SelectObject(dc, bitmap);
        stride = (static_cast<size_t>(w) + 3) / 4 * 4;
    }
    ~Section() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint8_t& at(int x, int y) { return bits[(h - 1 - y) * stride + x]; } // bottom-up rows
};

class Drawing : public WindowTest {
protected:
    // A visible top-level window painted white, with its window DC.
    HWND canvas(int x, int y, int w, int h) {
        HWND hwnd = make(x, y, w, h);
        pump();
        return hwnd;
    }
};

TEST_F(Drawing, DibSectionBlitsExactPixelsIntoAWindow) {
    HWND w = canvas(10, 10, 8, 6);
    Section s(8, 6, {kRed, kGreen, kBlue});
    ASSERT_NE(s.bits, nullptr);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            s.at(x, y) = static_cast<uint8_t>((x + y) % 3);
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(s.bitmap, sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidth, 8);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
    EXPECT_EQ(ds.dsBm.bmBits, s.bits);
    EXPECT_EQ(ds.dsBmih.biBitCount, 8);

    HDC dc = GetDC(w);
    ASSERT_TRUE(BitBlt(dc, 0, 0, 8, 6, s.dc, 0, 0, SRCCOPY));
    Image img = captureWindow(w);
    ASSERT_EQ(img.width, 8);
    const uint32_t colours[3] = {kRed, kGreen, kBlue};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(img.at(x, y), colours[(x + y) % 3]) << x << "," << y;
    // The screen shows the same at the window's place.
    Image screen = captureScreen();
    EXPECT_EQ(screen.at(10, 10), kRed);
    EXPECT_EQ(screen.at(11, 10), kGreen);
    EXPECT_EQ(screen.at(9, 10), GetSysColor(COLOR_BACKGROUND) == RGB(0, 128, 128) ? 0x008080u : 0u);

    // A new colour table changes what the same indices show.
    RGBQUAD white = quad(kWhite);
    EXPECT_EQ(SetDIBColorTable(s.dc, 1, 1, &white), 1u);
    BitBlt(dc, 0, 0, 8, 6, s.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(captureWindow(w).at(1, 0), kWhite);
    ReleaseDC(w, dc);
}

TEST_F(Drawing, ClipRegionsLimitBitBltStretchDIBitsAndFillRect) {
    HWND w = canvas(0, 0, 20, 10);
    HDC dc = GetDC(w);
    RECT all{0, 0, 20, 10};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // Two separate rectangles joined with RGN_OR.
    HRGN clip = CreateRectRgn(1, 1, 4, 3);
    HRGN second = CreateRectRgn(10, 5, 12, 9);
    EXPECT_EQ(CombineRgn(clip, clip, second, RGN_OR), COMPLEXREGION);
    EXPECT_EQ(SelectClipRgn(dc, clip), COMPLEXREGION);
    DeleteObject(second);
    DeleteObject(clip); // the DC keeps its own copy

    Section s(20, 10, {kRed});
    BitBlt(dc, 0, 0, 20, 10, s.dc, 0, 0, SRCCOPY);
    Image img = captureWindow(w);
    int red = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside =
                (x >= 1 && x < 4 && y >= 1 && y < 3) || (x >= 10 && x < 12 && y >= 5 && y < 9);
            ASSERT_EQ(img.at(x, y), inside ? kRed : kWhite) << x << "," << y;
            red += inside;
        }
    EXPECT_EQ(red, 6 + 8);

    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    img = captureWindow(w);
    EXPECT_EQ(img.at(2, 2), kGreen);
    EXPECT_EQ(img.at(0, 0), kWhite);
    DeleteObject(green);

    Info info(1, 1, 24);
    const uint8_t blue[4] = {0xFF, 0, 0, 0};
    EXPECT_EQ(
        StretchDIBits(dc, 0, 0, 20, 10, 0, 0, 1, 1, blue, info.get(), DIB_RGB_COLORS, SRCCOPY), 1);
    img = captureWindow(w);
    EXPECT_EQ(img.at(11, 8), kBlue);
    EXPECT_EQ(img.at(5, 5), kWhite);
    // Without the clip region everything is drawn.
    SelectClipRgn(dc, nullptr);
    StretchDIBits(dc, 0, 0, 20, 10, 0, 0, 1, 1, blue, info.get(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(captureWindow(w).at(5, 5), kBlue);
    ReleaseDC(w, dc);
}

TEST_F(Drawing, StretchDIBitsCountsSourceRowsFromTheBottomAndStretches) {
    HWND w = canvas(0, 0, 8, 8);
    HDC dc = GetDC(w);
    // A 2 x 4 bottom-up bitmap: memory rows 0..3 from the bottom have indices 0..3.
    Info info(2, 4, 8);
    const uint32_t colours[4] = {kRed, kGreen, kBlue, kWhite};
    for (int i = 0; i < 4; ++i)
        info.colours[i] = quad(colours[i]);
    info.header.biClrUsed = 4;
    uint8_t bits[4 * 4];
    for (int row = 0; row < 4; ++row)
        bits[row * 4] = bits[row * 4 + 1] = static_cast<uint8_t>(row);
    // Source rows 1 and 2 from the bottom: the top of the destination shows row 2 (blue).
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 1, 2, 2, bits, info.get(), DIB_RGB_COLORS, SRCCOPY),
              2);
    Image img = captureWindow(w);
    EXPECT_EQ(img.at(0, 0), kBlue);
    EXPECT_EQ(img.at(1, 1), kGreen);
    // The whole bitmap stretched to 4 x 8: every source row becomes two rows.
    StretchDIBits(dc, 4, 0, 4, 8, 0, 0, 2, 4, bits, info.get(), DIB_RGB_COLORS, SRCCOPY);
    img = captureWindow(w);
    const uint32_t want[8] = {kWhite, kWhite, kBlue, kBlue, kGreen, kGreen, kRed, kRed};
    for (int y = 0; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            ASSERT_EQ(img.at(x, y), want[y]) << x << "," << y;
    // A top-down bitmap counts from its top row.
    info.header.biHeight = -4;
    StretchDIBits(dc, 0, 4, 2, 1, 0, 0, 2, 1, bits, info.get(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(captureWindow(w).at(0, 4), kRed);
    // Nonsense headers draw nothing and say so.
    info.header.biBitCount = 5;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, bits, info.get(), DIB_RGB_COLORS, SRCCOPY),
              0);
    ReleaseDC(w, dc);
}

// A logical palette of the given colours; `flags` go on entries first..last.
HPALETTE palette(const std::vector<uint32_t>& colours, BYTE flags = 0, size_t first = 0,
                 size_t last = 255) {
    std::vector<unsigned char> block(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(colours.size());
    for (size_t i = 0; i < colours.size(); ++i)
        lp->palPalEntry[i] = PALETTEENTRY{
            static_cast<BYTE>(colours[i] >> 16), static_cast<BYTE>(colours[i] >> 8),
            static_cast<BYTE>(colours[i]), static_cast<BYTE>(i >= first && i <= last ? flags : 0)};
    return CreatePalette(lp);
}

TEST_F(Drawing, PaletteIndicesPickTheDCsPaletteColours) {
    HWND w = canvas(0, 0, 4, 1);
    HDC dc = GetDC(w);
    HPALETTE pal = palette({kBlue, 0x123456, kGreen});
    HPALETTE old = SelectPalette(dc, pal, FALSE);
    EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
    EXPECT_FALSE(DeleteObject(pal)); // selected into a DC
    Info info(4, 1, 8);
    auto* indices = reinterpret_cast<WORD*>(info.colours);
    indices[0] = 2;
    indices[1] = 1;
    indices[2] = 0;
    info.header.biClrUsed = 3;
    const uint8_t bits[4] = {0, 1, 2, 0};
    StretchDIBits(dc, 0, 0, 4, 1, 0, 0, 4, 1, bits, info.get(), DIB_PAL_COLORS, SRCCOPY);
    Image img = captureWindow(w);
    EXPECT_EQ(img.at(0, 0), kGreen);
    EXPECT_EQ(img.at(1, 0), 0x123456u);
    EXPECT_EQ(img.at(2, 0), kBlue);
    SelectPalette(dc, old, FALSE);
    EXPECT_TRUE(DeleteObject(pal));
    ReleaseDC(w, dc);
}

TEST_F(Drawing, MemoryToMemoryKeepsIndicesOrMatchesColours) {
    Section a(4, 1, {kRed, kGreen, kBlue});
    Section same(4, 1, {kRed, kGreen, kBlue});
    Section other(4, 1, {kBlue, kGreen, kRed, 0x010101});
    for (int x = 0; x < 4; ++x)
        a.at(x, 0) = static_cast<uint8_t>(x % 3);
    BitBlt(same.dc, 0, 0, 4, 1, a.dc, 0, 0, SRCCOPY);
    BitBlt(other.dc, 0, 0, 4, 1, a.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(same.at(0, 0), 0);
    EXPECT_EQ(same.at(2, 0), 2);
    EXPECT_EQ(other.at(0, 0), 2); // red is entry 2 there
    EXPECT_EQ(other.at(2, 0), 0);
    EXPECT_EQ(other.at(1, 0), 1);
    // Raster operations work on the indices.
    BitBlt(same.dc, 0, 0, 4, 1, nullptr, 0, 0, DSTINVERT);
    EXPECT_EQ(same.at(1, 0), 0xFE);
    EXPECT_FALSE(BitBlt(same.dc, 0, 0, 4, 1, a.dc, 0, 0, 0x00F00021)); // PATCOPY: not supported
    // A selected bitmap is in one DC only and cannot be deleted there.
    HDC third = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(third, a.bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(a.bitmap));
    DeleteDC(third);
}

TEST_F(Drawing, PatBltInvertsOrFillsARectangleEitherWayRound) {
    Section s(4, 2, {kRed, kGreen});
    // One-pixel sides, as an outline drawn by inverting is made of.
    EXPECT_TRUE(PatBlt(s.dc, 1, 0, 2, 1, DSTINVERT));
    EXPECT_EQ(s.at(0, 0), 0);
    EXPECT_EQ(s.at(1, 0), 0xFF);
    EXPECT_EQ(s.at(2, 0), 0xFF);
    EXPECT_EQ(s.at(3, 0), 0);
    // A negative width reaches left of x: inverting the same pixels again gives them back.
    EXPECT_TRUE(PatBlt(s.dc, 3, 0, -2, 1, DSTINVERT));
    EXPECT_EQ(s.at(1, 0), 0);
    EXPECT_EQ(s.at(2, 0), 0);
    EXPECT_TRUE(PatBlt(s.dc, 0, 2, 1, -1, WHITENESS));
    EXPECT_EQ(s.at(0, 1), 0xFF);
    EXPECT_EQ(s.at(0, 0), 0);
    // Operations that need a brush are not offered.
    EXPECT_FALSE(PatBlt(s.dc, 0, 0, 1, 1, 0x00F00021)); // PATCOPY
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Drawing, ARealizedIdentityPaletteShowsExactColoursOnAPaletteDisplay) {
    skv::platform::setPaletteDisplay(true);
    HWND w = canvas(0, 0, 4, 1);
    pump();
    HDC dc = GetDC(w);
    EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    // Statics at both ends, the movie's colours between, as an identity palette has them.
    std::vector<uint32_t> colours(256);
    const PALETTEENTRY* statics = skv::platform::staticColours();
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e =
            i < 10     ? statics[i]
            : i >= 246 ? statics[i - 236]
                       : PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 77, 0};
        colours[i] = (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
    }
    HPALETTE pal = palette(colours, PC_NOCOLLAPSE, 10, 245);
    SelectPalette(dc, pal, FALSE);
    Section s(4, 1, colours);
    s.at(0, 0) = 20;
    s.at(1, 0) = 200;
    s.at(2, 0) = 255;
    s.at(3, 0) = 3;

    // Not realized yet: the movie's colours become the nearest system colours.
    BitBlt(dc, 0, 0, 4, 1, s.dc, 0, 0, SRCCOPY);
    Image img = captureWindow(w);
    EXPECT_NE(img.at(0, 0), colours[20]);
    EXPECT_EQ(img.at(2, 0), kWhite);

    MSG m;
    EXPECT_EQ(RealizePalette(dc), 236u); // every free entry took a movie colour
    EXPECT_EQ(RealizePalette(dc), 0u);   // and a second time nothing changes
    ASSERT_TRUE(PeekMessageA(&m, w, WM_PALETTECHANGED, WM_PALETTECHANGED, PM_REMOVE));
    EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(w));
    PALETTEENTRY system[256];
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, system), 256u);
    EXPECT_EQ(system[20].peRed, 20);
    EXPECT_EQ(system[200].peGreen, 55);

    BitBlt(dc, 0, 0, 4, 1, s.dc, 0, 0, SRCCOPY);
    img = captureWindow(w);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(img.at(x, 0), colours[s.at(x, 0)]) << x;
    // A plain colour is the nearest static one.
    RECT r{3, 0, 4, 1};
    HBRUSH b = CreateSolidBrush(RGB(250, 5, 5));
    FillRect(dc, &r, b);
    EXPECT_EQ(captureWindow(w).at(3, 0), kRed);
    DeleteObject(b);
    SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    DeleteObject(pal);
    ReleaseDC(w, dc);
}

TEST_F(Drawing, RegionsCombineIntoTheirCanonicalForm) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(10, 0, 20, 10);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(r, a, b, RGN_OR), SIMPLEREGION); // side by side: one rectangle
    RECT box;
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 20);
    HRGN whole = CreateRectRgn(0, 0, 20, 10);
    EXPECT_TRUE(EqualRgn(r, whole));
    EXPECT_EQ(CombineRgn(r, whole, a, RGN_DIFF), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(r, b));
    SetRectRgn(b, 5, 5, 15, 15);
    EXPECT_EQ(CombineRgn(r, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(r, 7, 7));
    EXPECT_TRUE(PtInRegion(r, 2, 2));
    EXPECT_TRUE(PtInRegion(r, 12, 12));
    EXPECT_EQ(CombineRgn(r, a, b, RGN_AND), SIMPLEREGION);
    GetRgnBox(r, &box);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.bottom, 10);
    EXPECT_EQ(OffsetRgn(r, 1, 1), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(r, 10, 10));
    EXPECT_EQ(CombineRgn(r, a, b, 99), ERROR);
    for (HRGN h : {a, b, r, whole})
        EXPECT_TRUE(DeleteObject(h));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock: stays
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), DWORD(OBJ_BRUSH));
}

TEST_F(Drawing, TheScreenShowsChildrenOverParentsInZOrder) {
    HWND a = canvas(0, 0, 30, 30);
    HWND child = make(5, 5, 10, 10, a);
    HWND hiddenChild = make(20, 20, 5, 5, a, 0);
    HWND b = canvas(20, 0, 30, 30); // on top of a
    pump();
    auto fill = [](HWND w, COLORREF c) {
        HDC dc = GetDC(w);
        RECT r{0, 0, 100, 100};
        HBRUSH br = CreateSolidBrush(c);
        FillRect(dc, &r, br);
        DeleteObject(br);
        ReleaseDC(w, dc);
    };
    fill(a, RGB(255, 0, 0));
    fill(child, RGB(0, 255, 0));
    fill(hiddenChild, RGB(0, 0, 255));
    fill(b, RGB(255, 255, 255));
    Image s = captureScreen();
    EXPECT_EQ(s.at(1, 1), kRed);
    EXPECT_EQ(s.at(7, 7), kGreen);
    EXPECT_EQ(s.at(22, 22), kWhite);   // b covers a and its hidden child
    EXPECT_EQ(s.at(60, 5), 0x008080u); // the desktop
    SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(hiddenChild, SW_SHOW);
    s = captureScreen();
    EXPECT_EQ(s.at(22, 22), kBlue);
    // A window alone shows its children, whatever covers it.
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Image alone = captureWindow(a);
    EXPECT_EQ(alone.width, 30);
    EXPECT_EQ(alone.at(22, 22), kBlue);
    EXPECT_EQ(alone.at(7, 7), kGreen);
}

// The same scene twice gives the same file, byte for byte.
std::vector<char> renderScene(const std::string& path, std::vector<HWND>& made) {
    HWND w = CreateWindowExA(0, kRecordingClass, "", WS_VISIBLE, 10, 20, 64, 48, nullptr, nullptr,
                             nullptr, nullptr);
    made.push_back(w);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    HDC dc = GetDC(w);
    Info info(64, 48, 8);
    for (int i = 0; i < 256; ++i)
        info.colours[i] =
            RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i * 3), static_cast<BYTE>(i * 7), 0};
    std::vector<uint8_t> bits(64 * 48);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<uint8_t>(i * 13 + GetTickCount());
    StretchDIBits(dc, 0, 0, 64, 48, 0, 0, 64, 48, bits.data(), info.get(), DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(w, dc);
    std::string error;
    EXPECT_TRUE(skv::platform::saveScreenPng(path, &error)) << error;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<char> bytes;
    if (f) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    std::remove(path.c_str());
    DestroyWindow(w);
    return bytes;
}

TEST_F(Drawing, SavedPngsAreIdenticalBetweenRuns) {
    const std::string path = ::testing::TempDir() + "skv_screen.png";
    skv::platform::setVirtualClock(true, 5000);
    std::vector<char> first = renderScene(path, made_);
    skv::platform::setVirtualClock(true, 5000);
    std::vector<char> second = renderScene(path, made_);
    ASSERT_GT(first.size(), 33u);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::memcmp(first.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    // IHDR: the screen's size, big-endian.
    EXPECT_EQ(static_cast<unsigned char>(first[19]), 320 & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(first[18]), 320 >> 8);
    EXPECT_EQ(static_cast<unsigned char>(first[23]), 240);
    std::string error;
    EXPECT_FALSE(skv::platform::saveScreenPng("/nonexistent-dir/x.png", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

} // namespace
