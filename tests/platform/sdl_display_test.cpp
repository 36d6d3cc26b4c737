// The SDL2 backend on a real X display: the window it opens shows the same picture as the
// headless screen. Run under xvfb-run (the build registers it so when xvfb-run is there); the X
// server's own screenshot (xwd) is compared with the headless capture pixel by pixel. Set
// SKV_SCREENSHOT_DIR to keep both pictures as PNG files for a look.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/wingdi.h"
#include "platform/winuser.h"

namespace {

using skv::platform::Image;

uint32_t be32(const std::vector<unsigned char>& d, size_t at) {
    return (uint32_t{d[at]} << 24) | (uint32_t{d[at + 1]} << 16) | (uint32_t{d[at + 2]} << 8) |
           d[at + 3];
}

// Reads an XWD dump of a 24-bit TrueColor screen (what Xvfb -screen ... x24 gives), stored with
// 24 or 32 bits per pixel.
bool readXwd(const std::string& path, Image* out, std::string* why) {
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(f)), {});
    if (d.size() < 100) return *why = "xwd wrote no picture", false;
    const uint32_t headerSize = be32(d, 0), format = be32(d, 8), width = be32(d, 16),
                   height = be32(d, 20), byteOrder = be32(d, 28), bpp = be32(d, 44),
                   bytesPerLine = be32(d, 48), redMask = be32(d, 56), ncolors = be32(d, 76);
    if (format != 2 || (bpp != 32 && bpp != 24) || redMask != 0xFF0000)
        return *why = "unexpected XWD layout (want ZPixmap, 32 bits per pixel, RGB masks), got " +
                      std::to_string(format) + " " + std::to_string(bpp) + " " +
                      std::to_string(redMask),
               false;
    const size_t start = headerSize + size_t{ncolors} * 12;
    if (d.size() < start + size_t{bytesPerLine} * height) return *why = "XWD data cut short", false;
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->pixels.resize(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = &d[start + size_t{y} * bytesPerLine + x * (bpp / 8)];
            const unsigned char* last = p + bpp / 8 - 1;
            uint32_t v =
                byteOrder == 0
                    ? (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16)
                    : (uint32_t{last[0]} | uint32_t{last[-1]} << 8 | uint32_t{last[-2]} << 16);
            out->pixels[size_t{y} * width + x] = v & 0xFFFFFF;
        }
    return true;
}

LRESULT CALLBACK paintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // Stripes of colour from an 8-bit DIB, clipped to two rectangles.
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD c[4];
        } info{{sizeof(BITMAPINFOHEADER), 16, 16, 1, 8, BI_RGB, 0, 0, 0, 4, 0},
               {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {40, 90, 200, 0}}};
        unsigned char bits[16 * 16];
        for (int i = 0; i < 256; ++i)
            bits[i] = static_cast<unsigned char>((i % 16) / 4);
        HRGN clip = CreateRectRgn(0, 0, 60, 40);
        HRGN more = CreateRectRgn(70, 50, 120, 90);
        CombineRgn(clip, clip, more, RGN_OR);
        SelectClipRgn(dc, clip);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, 16, 16, bits,
                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
        SelectClipRgn(dc, nullptr);
        DeleteObject(clip);
        DeleteObject(more);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(SdlDisplay, TheRealWindowShowsWhatTheHeadlessScreenHolds) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        GTEST_SKIP() << "no X display: run under xvfb-run (install xvfb with scripts/setup.sh)";
    if (std::system("command -v xwd >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xwd is not installed (package x11-apps, see scripts/setup.sh)";
    skv::platform::setScreenSize(160, 120);
    std::string error;
    if (!skv::platform::selectDisplay(skv::platform::DisplayBackend::Sdl, &error))
        GTEST_SKIP() << "SDL2 cannot open a window here: " << error;
    ASSERT_EQ(skv::platform::currentDisplay(), skv::platform::DisplayBackend::Sdl);

    WNDCLASSA wc{};
    wc.lpfnWndProc = paintProc;
    wc.lpszClassName = "SkvSdlTest";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND parent = CreateWindowExA(0, "SkvSdlTest", "", WS_VISIBLE, 10, 5, 130, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, 90, 10, 30, 20, parent,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    skv::platform::pumpDisplay();
    skv::platform::pumpDisplay(); // one full pass after the picture was final
    const Image headless = skv::platform::captureScreen();

    const std::string dump = ::testing::TempDir() + "skv_sdl_screen.xwd";
    ASSERT_EQ(std::system(("xwd -root -silent > '" + dump + "'").c_str()), 0);
    Image root;
    ASSERT_TRUE(readXwd(dump, &root, &error)) << error;
    std::remove(dump.c_str());
    int wx = 0, wy = 0;
    ASSERT_TRUE(skv::platform::displayWindowPosition(&wx, &wy));
    ASSERT_LE(wx + headless.width, root.width);
    ASSERT_LE(wy + headless.height, root.height);
    Image shown;
    shown.width = headless.width;
    shown.height = headless.height;
    for (int y = 0; y < headless.height; ++y)
        for (int x = 0; x < headless.width; ++x)
            shown.pixels.push_back(root.at(wx + x, wy + y));
    if (const char* dir = std::getenv("SKV_SCREENSHOT_DIR")) {
        skv::platform::writePng(headless, std::string(dir) + "/headless.png");
        skv::platform::writePng(shown, std::string(dir) + "/sdl-window.png");
        skv::platform::writePng(root, std::string(dir) + "/x-root.png");
    }
    int differing = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i)
        differing += shown.pixels[i] != headless.pixels[i];
    EXPECT_EQ(differing, 0) << "of " << shown.pixels.size() << " pixels";
    // The picture is not trivially uniform: desktop, white, the three stripe colours, the button.
    EXPECT_EQ(headless.at(0, 0), 0x008080u);
    EXPECT_EQ(headless.at(10 + 2, 5 + 2), 0xFF0000u);
    EXPECT_EQ(headless.at(10 + 100, 5 + 95), 0xFFFFFFu);
    EXPECT_EQ(headless.at(10 + 95, 5 + 15), 0xC0C0C0u);

    DestroyWindow(parent);
    skv::platform::closeDisplay();
}

} // namespace
