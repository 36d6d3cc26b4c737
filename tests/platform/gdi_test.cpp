#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/display.h"
#include "platform/wingdi.h"

namespace {

// A logical palette of the given entries (LOGPALETTE's array really holds them all).
HPALETTE makePalette(const std::vector<PALETTEENTRY>& entries, WORD version = 0x300) {
    std::vector<unsigned char> block(offsetof(LOGPALETTE, palPalEntry) +
                                     std::max<size_t>(entries.size(), 1) * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = version;
    lp->palNumEntries = static_cast<WORD>(entries.size());
    if (!entries.empty())
        std::memcpy(block.data() + offsetof(LOGPALETTE, palPalEntry), entries.data(),
                    entries.size() * sizeof(PALETTEENTRY));
    return CreatePalette(lp);
}

class Gdi : public ::testing::Test {
protected:
    void TearDown() override { skv::platform::setPaletteDisplay(false); }
};

TEST_F(Gdi, CreatePaletteChecksVersionAndCount) {
    EXPECT_EQ(makePalette({{1, 2, 3, 0}}, 0x200), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(makePalette({}), nullptr);
    EXPECT_EQ(CreatePalette(nullptr), nullptr);
    HPALETTE p = makePalette({{1, 2, 3, 0}, {4, 5, 6, PC_RESERVED}});
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetObjectType(p), DWORD(OBJ_PAL));
    WORD count = 0;
    EXPECT_EQ(GetObject(p, sizeof count, &count), int(sizeof(WORD)));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(DeleteObject(p));
}

TEST_F(Gdi, EntriesAreReadAndWrittenWithinThePalette) {
    HPALETTE p = makePalette({{1, 1, 1, 0}, {2, 2, 2, 0}, {3, 3, 3, 0}});
    PALETTEENTRY e[4] = {};
    EXPECT_EQ(GetPaletteEntries(p, 0, 0, nullptr), 3u); // the size
    EXPECT_EQ(GetPaletteEntries(p, 1, 10, e), 2u);      // cut at the end
    EXPECT_EQ(e[0].peRed, 2);
    EXPECT_EQ(e[1].peRed, 3);
    EXPECT_EQ(GetPaletteEntries(p, 3, 1, e), 0u);
    const PALETTEENTRY nine[2] = {{9, 9, 9, PC_NOCOLLAPSE}, {8, 8, 8, 0}};
    EXPECT_EQ(SetPaletteEntries(p, 2, 2, nine), 1u);
    EXPECT_EQ(GetPaletteEntries(p, 2, 1, e), 1u);
    EXPECT_EQ(e[0].peRed, 9);
    EXPECT_EQ(e[0].peFlags, PC_NOCOLLAPSE);
    DeleteObject(p);
}

TEST_F(Gdi, NearestIndexByColourDistanceLowerIndexOnTies) {
    HPALETTE p = makePalette({{0, 0, 0, 0}, {100, 0, 0, 0}, {0, 100, 0, 0}, {100, 0, 0, 0}});
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(90, 0, 0)), 1u);
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(70, 70, 0)), 1u); // 1, 2 and 3 equally near
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(0, 60, 0)), 2u);
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(10, 10, 10)), 0u);
    DeleteObject(p);
    EXPECT_EQ(GetNearestPaletteIndex(p, RGB(0, 0, 0)), CLR_INVALID);
}

TEST_F(Gdi, DeletedAndForeignHandlesAreRefused) {
    HPALETTE p = makePalette({{1, 2, 3, 0}});
    ASSERT_TRUE(DeleteObject(p));
    EXPECT_FALSE(DeleteObject(p));
    EXPECT_EQ(GetObjectType(p), 0u);
    EXPECT_EQ(GetPaletteEntries(p, 0, 1, nullptr), 0u);
    // A kernel handle is not a GDI object, nor is a DC a palette.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(DeleteObject(event));
    EXPECT_EQ(GetObjectType(event), 0u);
    CloseHandle(event);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_DC));
    EXPECT_EQ(GetPaletteEntries(reinterpret_cast<HPALETTE>(dc), 0, 1, nullptr), 0u);
    EXPECT_FALSE(DeleteObject(dc)); // a DC is given back with ReleaseDC
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 0);
}

TEST_F(Gdi, TrueColourDisplayHasNoSystemPalette) {
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), 0);
    EXPECT_EQ(GetDeviceCaps(dc, NUMRESERVED), 0);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
    PALETTEENTRY e[256];
    EXPECT_EQ(GetSystemPaletteEntries(dc, 0, 256, e), 0u);
    EXPECT_EQ(GetSystemPaletteUse(dc), UINT(SYSPAL_ERROR));
    EXPECT_EQ(SetSystemPaletteUse(dc, SYSPAL_NOSTATIC), UINT(SYSPAL_ERROR));
    ReleaseDC(nullptr, dc);
}

TEST_F(Gdi, PaletteDisplayHasTwentyStaticColours) {
    skv::platform::setPaletteDisplay(true);
    HDC dc = GetDC(nullptr);
    EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), 256);
    EXPECT_EQ(GetDeviceCaps(dc, NUMRESERVED), 20);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_EQ(GetSystemPaletteUse(dc), UINT(SYSPAL_STATIC));
    PALETTEENTRY e[256];
    ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, e), 256u);
    auto is = [](const PALETTEENTRY& p, int r, int g, int b) {
        return p.peRed == r && p.peGreen == g && p.peBlue == b;
    };
    EXPECT_TRUE(is(e[0], 0, 0, 0));
    EXPECT_TRUE(is(e[1], 128, 0, 0));
    EXPECT_TRUE(is(e[8], 192, 220, 192));
    EXPECT_TRUE(is(e[9], 166, 202, 240));
    EXPECT_TRUE(is(e[246], 255, 251, 240));
    EXPECT_TRUE(is(e[248], 128, 128, 128));
    EXPECT_TRUE(is(e[255], 255, 255, 255));
    EXPECT_EQ(GetSystemPaletteEntries(dc, 250, 10, e), 6u);
    EXPECT_TRUE(is(e[5], 255, 255, 255));
    // The use can change, and switching the display back and forth resets it.
    EXPECT_EQ(SetSystemPaletteUse(dc, SYSPAL_NOSTATIC), UINT(SYSPAL_STATIC));
    EXPECT_EQ(GetSystemPaletteUse(dc), UINT(SYSPAL_NOSTATIC));
    EXPECT_EQ(SetSystemPaletteUse(dc, 99), UINT(SYSPAL_ERROR));
    skv::platform::setPaletteDisplay(true);
    EXPECT_EQ(GetSystemPaletteUse(dc), UINT(SYSPAL_STATIC));
    ReleaseDC(nullptr, dc);
}

} // namespace
