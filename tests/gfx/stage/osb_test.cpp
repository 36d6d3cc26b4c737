// The off-screen buffers: the plain buffer's bitmap, the display buffer's DIB section, its colour
// table against the stage palette, palette handles given back, and copies of rectangles.
#include "gfx/osb.h"
#include "stage_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

using Buffers = StageTest;

RGBQUAD testColour(uint8_t index) {
    RGBQUAD colours[256];
    fillTestPalette(colours);
    return colours[index];
}

bool sameColour(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// The stage palette entry showing a test colour.
uint8_t stageIndex(HPALETTE palette, uint8_t testIndex) {
    const RGBQUAD c = testColour(testIndex);
    return static_cast<uint8_t>(
        GetNearestPaletteIndex(palette, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue)));
}

} // namespace

TEST_F(Buffers, PlainBufferKeepsItsBitmapWhileTheSizeStays) {
    nOSB osb;
    EXPECT_EQ(osb.getDIB(), nullptr);
    ASSERT_EQ(osb.create(8, 6, 8), 1);
    nDIB* first = osb.getDIB();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width(), 8);
    EXPECT_EQ(first->height(), 6);
    EXPECT_EQ(first->countUsedColours(), 1); // zeroed
    *first->pixelAt(1, 1) = 9;
    EXPECT_EQ(osb.create(8, 6, 8), 1);
    EXPECT_EQ(osb.getDIB(), first);
    EXPECT_EQ(*osb.getDIB()->pixelAt(1, 1), 9);
    EXPECT_EQ(osb.create(9, 6, 8), 1);
    EXPECT_EQ(osb.getDIB()->width(), 9);
    EXPECT_EQ(*osb.getDIB()->pixelAt(1, 1), 0);
    EXPECT_EQ(osb.create(0, 0, 8), 0);
    EXPECT_EQ(osb.getDIB(), nullptr);
    osb.drawTo(OSBTarget{}); // nothing to draw, nowhere to draw it
}

TEST_F(Buffers, PlainBufferDrawsIntoABitmapOrADC) {
    nOSB osb;
    osb.create(4, 3, 8);
    nDIB* d = osb.getDIB();
    fillTestPalette(d->colours());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            *d->pixelAt(x, y) = x < 2 ? kRed : kBlue;
    RGBQUAD got[256];
    EXPECT_EQ(osb.getColours(got, 300), 256);
    EXPECT_TRUE(sameColour(got[kRed], testColour(kRed)));

    auto target = tile(6, 5, kGreen);
    osb.drawTo(OSBTarget{nullptr, target.get()});
    EXPECT_EQ(*target->pixelAt(0, 0), kRed);
    EXPECT_EQ(*target->pixelAt(3, 2), kBlue);
    EXPECT_EQ(*target->pixelAt(4, 0), kGreen);
    EXPECT_EQ(*target->pixelAt(0, 3), kGreen);

    HDC dc = GetDC(page);
    osb.drawTo(OSBTarget{dc, nullptr});
    ReleaseDC(page, dc);
    EXPECT_EQ(artOf(skv::platform::captureWindow(page), 0, 0, 5, 4),
              (Art{"RRBB-", "RRBB-", "RRBB-", "-----"}));
}

TEST_F(Buffers, DisplayBufferIsADIBSectionTheInksWriteInto) {
    HDC dc = GetDC(page);
    {
        nDisplayOSB osb;
        EXPECT_EQ(osb.create(0, 0, 8), 0);
        EXPECT_EQ(osb.create(-4, 3, 8), 0);
        osb.blit(nullptr, 0); // no buffer: nothing happens
        osb.setTargetDC(dc);
        ASSERT_EQ(osb.create(16, 8, 8), 1);
        EXPECT_TRUE(osb.hasSection());
        EXPECT_EQ(osb.getTargetDC(), dc);
        HBITMAP section = static_cast<HBITMAP>(GetCurrentObject(osb.getMemoryDC(), OBJ_BITMAP));
        DIBSECTION ds{};
        ASSERT_EQ(GetObjectA(section, sizeof ds, &ds), int(sizeof ds));
        EXPECT_EQ(ds.dsBm.bmBits, osb.getDIB()->bits());
        EXPECT_EQ(ds.dsBmih.biWidth, 16);
        EXPECT_EQ(ds.dsBmih.biHeight, 8); // bottom-up
        // The same size keeps everything.
        nDIB* dib = osb.getDIB();
        EXPECT_EQ(osb.create(16, 8, 8), 1);
        EXPECT_EQ(osb.getDIB(), dib);
        EXPECT_EQ(GetCurrentObject(osb.getMemoryDC(), OBJ_BITMAP), section);
    }
    ReleaseDC(page, dc);
}

TEST_F(Buffers, ColourTableIsTheStagePaletteAsBuilt) {
    HDC dc = GetDC(page);
    RGBQUAD movie[256];
    fillTestPalette(movie);
    HPALETTE palette = nullptr;
    {
        nDisplayOSB osb;
        osb.setColourTable(movie, 256, 1); // no buffer yet: nothing happens
        EXPECT_EQ(osb.getPaletteHandle(), nullptr);
        osb.setTargetDC(dc);
        osb.create(16, 8, 8);
        osb.setColourTable(movie, 256, 1);
        palette = osb.getPaletteHandle();
        ASSERT_NE(palette, nullptr);
        EXPECT_EQ(osb.realizePending(), 1);

        PALETTEENTRY entries[256];
        ASSERT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
        RGBQUAD table[256];
        ASSERT_EQ(GetDIBColorTable(osb.getMemoryDC(), 0, 256, table), 256u);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD e{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
            EXPECT_TRUE(sameColour(table[i], e)) << i;
            EXPECT_TRUE(sameColour(osb.header()->bmiColors[i], e)) << i;
            EXPECT_TRUE(sameColour(osb.getPaletteObject()->colours[i], e)) << i;
        }
        // The statics keep their places; the movie's own colours follow them.
        EXPECT_TRUE(sameColour(table[0], testColour(kBlackIndex)));
        EXPECT_TRUE(sameColour(table[255], testColour(kWhiteIndex)));
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(sameColour(table[10 + i], testColour(static_cast<uint8_t>(kRed + i))));
        // Both DCs show the stage palette.
        EXPECT_EQ(GetCurrentObject(osb.getMemoryDC(), OBJ_PAL), palette);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), palette);
        EXPECT_EQ(stageIndex(palette, kRed), 10);
    }
    // Gone with the buffer, and the window DC has its own palette back.
    EXPECT_EQ(GetObjectType(palette), 0u);
    EXPECT_NE(GetCurrentObject(dc, OBJ_PAL), palette);
    ReleaseDC(page, dc);
}

TEST_F(Buffers, ANewPaletteFreesTheOldOne) {
    HDC dc = GetDC(page);
    RGBQUAD movie[256];
    fillTestPalette(movie);
    nDisplayOSB osb;
    osb.setTargetDC(dc);
    osb.create(8, 8, 8);
    osb.setColourTable(movie, 256, 1);
    HPALETTE first = osb.getPaletteHandle();
    std::swap(movie[kRed], movie[kBlue]);
    osb.setColourTable(movie, 256, 1);
    HPALETTE second = osb.getPaletteHandle();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    // The old palette was taken out of both DCs before it was deleted, so it is really gone.
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetObjectType(second), DWORD(OBJ_PAL));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), second);
    EXPECT_TRUE(sameColour(osb.header()->bmiColors[10], testColour(kBlue)));
    ReleaseDC(page, dc);
}

TEST_F(Buffers, ARebuiltBufferKeepsTheStageColours) {
    HDC dc = GetDC(page);
    RGBQUAD movie[256];
    fillTestPalette(movie);
    nDisplayOSB osb;
    osb.setTargetDC(dc);
    osb.create(8, 8, 8);
    osb.setColourTable(movie, 256, 1);
    ASSERT_EQ(osb.create(12, 6, 8), 1);
    RGBQUAD table[256];
    ASSERT_EQ(GetDIBColorTable(osb.getMemoryDC(), 0, 256, table), 256u);
    EXPECT_TRUE(sameColour(table[10], testColour(kRed)));
    EXPECT_EQ(GetCurrentObject(osb.getMemoryDC(), OBJ_PAL), osb.getPaletteHandle());
    EXPECT_TRUE(sameColour(osb.getDIB()->colours()[11], testColour(kGreen)));
    ReleaseDC(page, dc);
}

TEST_F(Buffers, BlitCopiesOnlyTheRectanglesGiven) {
    HDC dc = GetDC(page);
    RGBQUAD movie[256];
    fillTestPalette(movie);
    nDisplayOSB osb;
    osb.setTargetDC(dc);
    osb.create(8, 4, 8);
    osb.setColourTable(movie, 256, 1);
    nDIB* d = osb.getDIB();
    std::memset(d->bits(), stageIndex(osb.getPaletteHandle(), kRed), d->pixelBytes());
    *d->pixelAt(1, 0) = stageIndex(osb.getPaletteHandle(), kYellow);
    const RECT rects[2] = {{0, 0, 2, 2}, {5, 1, 8, 3}};
    osb.blit(rects, 2);
    EXPECT_EQ(osb.realizePending(), 0); // realized before the first copy
    EXPECT_EQ(artOf(skv::platform::captureWindow(page), 0, 0, 9, 5),
              (Art{"RY-------", "RR---RRR-", "-----RRR-", "---------", "---------"}));
    osb.blit(nullptr, 0);
    EXPECT_EQ(artOf(skv::platform::captureWindow(page), 0, 0, 9, 5),
              (Art{"RYRRRRRR-", "RRRRRRRR-", "RRRRRRRR-", "RRRRRRRR-", "---------"}));
    ReleaseDC(page, dc);
}
