#include <gtest/gtest.h>

#include "gfx/identitypalette.h"
#include "gfx_test_util.h"
#include "platform/display.h"

using namespace skv;
using namespace skv::test;

namespace {

RGBQUAD quadOf(const PALETTEENTRY& e) {
    return rgb(e.peRed, e.peGreen, e.peBlue);
}

bool sameEntry(const PALETTEENTRY& e, RGBQUAD c, BYTE flags) {
    return e.peRed == c.rgbRed && e.peGreen == c.rgbGreen && e.peBlue == c.rgbBlue &&
           e.peFlags == flags;
}

// A movie palette that holds every static colour exactly: white at 0, black at 255, the other
// 18 statics at 100-117; everything else is (i, 7, 13), far from any static.
std::vector<RGBQUAD> moviePalette() {
    std::vector<RGBQUAD> c(256);
    for (int i = 0; i < 256; ++i)
        c[i] = rgb(i, 7, 13);
    c[0] = rgb(255, 255, 255);
    c[255] = rgb(0, 0, 0);
    for (int s = 1; s <= 18; ++s)
        c[99 + s] = quadOf(kStaticColours[s]);
    return c;
}

std::vector<PALETTEENTRY> entriesOf(HPALETTE p) {
    std::vector<PALETTEENTRY> e(256);
    EXPECT_EQ(GetPaletteEntries(p, 0, 256, e.data()), 256u);
    return e;
}

void expectStaticsInPlace(const std::vector<PALETTEENTRY>& e) {
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(sameEntry(e[i], quadOf(kStaticColours[i]), 0)) << i;
        EXPECT_TRUE(sameEntry(e[246 + i], quadOf(kStaticColours[10 + i]), 0)) << 246 + i;
    }
}

TEST(NearestColour, SmallestSquaredDistanceLowerIndexOnTies) {
    const RGBQUAD c[4] = {rgb(10, 10, 10), rgb(20, 20, 20), rgb(0, 0, 30), rgb(20, 20, 20)};
    EXPECT_EQ(nearestColour(rgb(19, 19, 19), c, 4), 1);
    EXPECT_EQ(nearestColour(rgb(15, 15, 15), c, 4), 0); // equally far from 0 and 1
    EXPECT_EQ(nearestColour(rgb(0, 0, 29), c, 4), 2);
    EXPECT_EQ(nearestColour(rgb(255, 255, 255), c, 4), 1); // 3 is as near, but later
    EXPECT_EQ(nearestColour(rgb(0, 0, 29), c, 2), 0);      // only the first two count
    EXPECT_EQ(nearestColour(rgb(0, 0, 0), c, 0), -1);
}

class IdentityPalette : public ::testing::Test {
protected:
    void TearDown() override { skv::platform::setPaletteDisplay(false); }
};

TEST_F(IdentityPalette, TrueColourDisplayUsesTheStaticTableAndSkipsMatchedColours) {
    std::vector<RGBQUAD> movie = moviePalette();
    HPALETTE p = makeIdentityPalette(movie.data(), 256, 0);
    ASSERT_NE(p, nullptr);
    std::vector<PALETTEENTRY> e = entriesOf(p);
    expectStaticsInPlace(e);
    // White (0), black (255) and 100-117 stand in for statics; the other 236 fill 10-245.
    for (int i = 1; i <= 99; ++i)
        EXPECT_TRUE(sameEntry(e[9 + i], movie[i], PC_NOCOLLAPSE)) << i;
    for (int i = 118; i <= 254; ++i)
        EXPECT_TRUE(sameEntry(e[i - 9], movie[i], PC_NOCOLLAPSE)) << i;
    DeleteObject(p);
}

TEST_F(IdentityPalette, PaletteDisplayWithStaticsReadsTheSystemPalette) {
    skv::platform::setPaletteDisplay(true);
    std::vector<RGBQUAD> movie = moviePalette();
    HPALETTE p = makeIdentityPalette(movie.data(), 256, 0);
    ASSERT_NE(p, nullptr);
    std::vector<PALETTEENTRY> e = entriesOf(p);
    expectStaticsInPlace(e);
    EXPECT_TRUE(sameEntry(e[10], movie[1], PC_NOCOLLAPSE));
    EXPECT_TRUE(sameEntry(e[108], movie[99], PC_NOCOLLAPSE));
    EXPECT_TRUE(sameEntry(e[109], movie[118], PC_NOCOLLAPSE));
    EXPECT_TRUE(sameEntry(e[245], movie[254], PC_NOCOLLAPSE));
    DeleteObject(p);
}

TEST_F(IdentityPalette, SystemPaletteEntriesAreTakenAsTheyAre) {
    // A system palette whose statics differ from the usual ones: those are what stays in place
    // and what the movie's colours are matched against.
    PALETTEENTRY system[256] = {};
    for (int i = 0; i < 10; ++i) {
        system[i] = PALETTEENTRY{BYTE(i), 1, 1, 0};
        system[246 + i] = PALETTEENTRY{BYTE(200 + i), 2, 2, 0};
    }
    system[100] = PALETTEENTRY{9, 9, 9, PC_RESERVED};
    std::vector<RGBQUAD> movie(256, rgb(100, 100, 250));
    movie[3] = rgb(0, 1, 1); // exactly system entry 0
    PALETTEENTRY out[256];
    buildIdentityEntries(movie.data(), 256, 0, SYSPAL_STATIC, system, out);
    EXPECT_TRUE(sameEntry(out[0], rgb(0, 1, 1), 0));
    EXPECT_TRUE(sameEntry(out[255], rgb(209, 2, 2), 0));
    EXPECT_TRUE(sameEntry(out[10], rgb(100, 100, 250), PC_NOCOLLAPSE)); // movie 0
    EXPECT_TRUE(sameEntry(out[13], rgb(100, 100, 250), PC_NOCOLLAPSE)); // movie 4: 3 skipped
}

TEST_F(IdentityPalette, NoStaticUseKeepsOnlyBlackAndWhiteAtTheEnds) {
    skv::platform::setPaletteDisplay(true);
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(SetSystemPaletteUse(screen, SYSPAL_NOSTATIC), UINT(SYSPAL_STATIC));
    ReleaseDC(nullptr, screen);
    std::vector<RGBQUAD> movie(256, rgb(1, 2, 3));
    movie[0] = rgb(255, 0, 0);
    movie[255] = rgb(0, 255, 0);
    HPALETTE p = makeIdentityPalette(movie.data(), 200, 0);
    ASSERT_NE(p, nullptr);
    std::vector<PALETTEENTRY> e = entriesOf(p);
    EXPECT_TRUE(sameEntry(e[0], rgb(0, 0, 0), 0));
    EXPECT_TRUE(sameEntry(e[255], rgb(255, 255, 255), 0));
    EXPECT_TRUE(sameEntry(e[1], rgb(1, 2, 3), PC_RESERVED));
    EXPECT_TRUE(sameEntry(e[199], rgb(1, 2, 3), PC_RESERVED));
    EXPECT_TRUE(sameEntry(e[200], rgb(0, 0, 0), PC_RESERVED)); // beyond the movie's count
    EXPECT_TRUE(sameEntry(e[254], rgb(0, 0, 0), PC_RESERVED));
    DeleteObject(p);
}

TEST_F(IdentityPalette, TwoStaticsMatchingOneColourLeaveAnExtraColourThatDoesNotFit) {
    std::vector<RGBQUAD> movie = moviePalette();
    // Without its exact copy, static 18 (0, 255, 255) is nearest to the copy of static 9
    // (166, 202, 240) at 108, already matched: 237 colours compete for 236 places.
    movie[117] = rgb(117, 7, 13);
    PALETTEENTRY e[256];
    buildIdentityEntries(movie.data(), 256, 0, SYSPAL_ERROR, nullptr, e);
    for (int i = 1; i <= 99; ++i)
        EXPECT_TRUE(sameEntry(e[9 + i], movie[i], PC_NOCOLLAPSE)) << i;
    EXPECT_TRUE(sameEntry(e[109], movie[117], PC_NOCOLLAPSE));
    for (int i = 118; i <= 253; ++i)
        EXPECT_TRUE(sameEntry(e[i - 8], movie[i], PC_NOCOLLAPSE)) << i;
    // Movie colour 254 found no place; the high statics are untouched.
    EXPECT_TRUE(sameEntry(e[246], quadOf(kStaticColours[10]), 0));
}

TEST_F(IdentityPalette, FewColoursOrKeepAllGoInOrder) {
    std::vector<RGBQUAD> movie = moviePalette();
    PALETTEENTRY e[256];
    buildIdentityEntries(movie.data(), 256, 1, SYSPAL_ERROR, nullptr, e);
    for (int i = 0; i < 236; ++i)
        EXPECT_TRUE(sameEntry(e[10 + i], movie[i], PC_NOCOLLAPSE)) << i;

    buildIdentityEntries(movie.data(), 3, 0, SYSPAL_ERROR, nullptr, e);
    EXPECT_TRUE(sameEntry(e[10], movie[0], PC_NOCOLLAPSE)); // white stays: everything fits
    EXPECT_TRUE(sameEntry(e[12], movie[2], PC_NOCOLLAPSE));
    EXPECT_TRUE(sameEntry(e[13], rgb(0, 0, 0), 0));
}

} // namespace
