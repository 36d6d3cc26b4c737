#include <gtest/gtest.h>

#include "gfx/inks.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

Rows filled(int w, int h, uint8_t v) {
    return Rows(h, std::vector<uint8_t>(w, v));
}

// A 3 x 2 sprite with the default colours of a sprite: foreground black (index 5), background
// white (index 2).
std::unique_ptr<nDIB> sprite() {
    auto s = bitmapOf({{1, 2, 3}, {4, 5, 6}});
    s->whiteIndex = 2;
    s->blackIndex = 5;
    s->backgroundIndex = 2;
    s->foregroundIndex = 5;
    s->transparentIndex = 2;
    return s;
}

TEST(InkTable, CopyMatteAndTransparentForEveryOtherInk) {
    EXPECT_EQ(inkRoutineFor(0), &inkCopy);
    EXPECT_EQ(inkRoutineFor(8), &inkMatte);
    for (int ink : {1, 2, 4, 7, 9, 31})
        EXPECT_EQ(inkRoutineFor(ink), &inkTransparent) << ink;
    EXPECT_EQ(inkRoutineFor(32), nullptr);
    EXPECT_EQ(inkRoutineFor(-1), nullptr);
}

TEST(InkCopy, DefaultColoursCopyTheBitmapUnchanged) {
    auto s = sprite();
    auto d = bitmapOf(filled(6, 4, 9));
    inkCopy(*d, *s, 1, 1, 3, 2, 0, 0);
    EXPECT_EQ(
        rowsOf(*d),
        (Rows{{9, 9, 9, 9, 9, 9}, {9, 1, 2, 3, 9, 9}, {9, 4, 5, 6, 9, 9}, {9, 9, 9, 9, 9, 9}}));
}

TEST(InkCopy, FullWidthRowsCopyAsOneBlockAndStillClip) {
    auto s = sprite();
    struct Case {
        int y;
        Rows expected;
    } cases[] = {
        {1, {{9, 9, 9}, {1, 2, 3}, {4, 5, 6}, {9, 9, 9}}},
        {-1, {{4, 5, 6}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}}},
        {3, {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}, {1, 2, 3}}},
    };
    for (const Case& c : cases) {
        auto d = bitmapOf(filled(3, 4, 9));
        inkCopy(*d, *s, 0, c.y, 3, 2, 0, 0);
        EXPECT_EQ(rowsOf(*d), c.expected) << c.y;
    }
}

TEST(InkCopy, OtherColoursReplaceBlackAndWhite) {
    auto s = sprite();
    s->backgroundIndex = 7; // white (2) becomes 7
    s->foregroundIndex = 8; // black (5) becomes 8
    auto d = bitmapOf(filled(3, 2, 9));
    inkCopy(*d, *s, 0, 0, 3, 2, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 7, 3}, {4, 8, 6}}));
}

TEST(InkCopy, BlackWinsWhereBlackAndWhiteAreOneIndex) {
    auto s = sprite();
    s->blackIndex = 2;
    s->foregroundIndex = 8;
    s->backgroundIndex = 7;
    auto d = bitmapOf(filled(3, 2, 9));
    inkCopy(*d, *s, 0, 0, 3, 2, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 8, 3}, {4, 5, 6}}));
}

TEST(InkCopy, OneBitSourceDrawsForegroundAndBackground) {
    auto s = bitmapOf({{0, 255, 0}});
    s->setAuthoredDepth(1);
    s->foregroundIndex = 40;
    s->backgroundIndex = 50;
    auto d = bitmapOf(filled(3, 1, 9));
    inkCopy(*d, *s, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{40, 50, 40}}));
}

TEST(InkTransparent, SkipsTheTransparentIndex) {
    auto s = sprite();
    auto d = bitmapOf(filled(3, 2, 9));
    inkTransparent(*d, *s, 0, 0, 3, 2, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 9, 3}, {4, 5, 6}}));
}

TEST(InkTransparent, OneBitSourceDrawsForegroundWhereNotTransparent) {
    auto s = bitmapOf({{0, 255, 0}});
    s->setAuthoredDepth(1);
    s->transparentIndex = 255;
    s->foregroundIndex = 40;
    auto d = bitmapOf(filled(3, 1, 9));
    inkTransparent(*d, *s, 0, 0, 3, 1, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{40, 9, 40}}));
}

TEST(InkClipping, LeftAndTopEdgesDropTheFirstColumnsAndRows) {
    auto s = sprite();
    auto d = bitmapOf(filled(4, 3, 9));
    inkCopy(*d, *s, -1, -1, 3, 2, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{5, 6, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}}));
}

TEST(InkClipping, RightAndBottomEdgesCutTheSprite) {
    auto s = sprite();
    auto d = bitmapOf(filled(4, 3, 9));
    inkCopy(*d, *s, 2, 2, 3, 2, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 1, 2}}));
}

TEST(InkClipping, AllFourEdgesAtOnce) {
    auto s = bitmapOf({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
    s->transparentIndex = 0;
    auto d = bitmapOf(filled(2, 2, 0));
    inkTransparent(*d, *s, -1, -1, 4, 4, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{6, 7}, {10, 11}}));
}

TEST(InkClipping, SpritesWhollyOutsideDrawNothing) {
    auto s = sprite();
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-3, 0}, {0, -2}, {100000, 5}, {-2000000000, 0}}) {
        auto d = bitmapOf(filled(4, 3, 9));
        inkCopy(*d, *s, x, y, 3, 2, 0, 0);
        inkMatte(*d, *s, x, y, 3, 2, 0, 0);
        inkTransparent(*d, *s, x, y, 3, 2, 0, 0);
        EXPECT_EQ(rowsOf(*d), filled(4, 3, 9)) << x << "," << y;
    }
}

TEST(InkClipping, SourceRectangleIsKeptInsideTheSource) {
    auto s = sprite();
    auto d = bitmapOf(filled(6, 4, 9));
    // Asked for more than the sprite holds, and from an offset: only real pixels are drawn.
    inkCopy(*d, *s, 0, 0, 6, 4, 1, 0);
    EXPECT_EQ(
        rowsOf(*d),
        (Rows{{2, 3, 9, 9, 9, 9}, {5, 6, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9}}));
    auto d2 = bitmapOf(filled(2, 2, 9));
    inkCopy(*d2, *s, 0, 0, 2, 2, -1, 0); // left of the source: its first column is column 0
    EXPECT_EQ(rowsOf(*d2), (Rows{{9, 1}, {9, 4}}));
}

// A ring of 1 around a hole of the transparent colour 0, on a transparent background.
Rows ring() {
    return {{0, 0, 0, 0, 0}, {0, 1, 1, 1, 0}, {0, 1, 0, 1, 0}, {0, 1, 1, 1, 0}, {0, 0, 0, 0, 0}};
}

TEST(InkMatte, EnclosedHoleStaysOpaqueAndBorderBackgroundIsTransparent) {
    auto s = bitmapOf(ring());
    s->transparentIndex = 0;
    auto d = bitmapOf(filled(5, 5, 9));
    inkMatte(*d, *s, 0, 0, 5, 5, 0, 0);
    EXPECT_EQ(
        rowsOf(*d),
        (Rows{
            {9, 9, 9, 9, 9}, {9, 1, 1, 1, 9}, {9, 1, 0, 1, 9}, {9, 1, 1, 1, 9}, {9, 9, 9, 9, 9}}));
    ASSERT_NE(s->mask(), nullptr);
    EXPECT_EQ(*s->maskAt(2, 2), 0);
    EXPECT_NE(*s->maskAt(0, 0), 0);
    EXPECT_NE(*s->maskAt(4, 4), 0);
}

TEST(InkMatte, HoleOpenToTheBorderIsTransparent) {
    Rows open = ring();
    open[1][2] = 0; // a gap in the top of the ring lets the background in
    auto s = bitmapOf(open);
    s->transparentIndex = 0;
    auto d = bitmapOf(filled(5, 5, 9));
    inkMatte(*d, *s, 0, 0, 5, 5, 0, 0);
    EXPECT_EQ(
        rowsOf(*d),
        (Rows{
            {9, 9, 9, 9, 9}, {9, 1, 9, 1, 9}, {9, 1, 9, 1, 9}, {9, 1, 1, 1, 9}, {9, 9, 9, 9, 9}}));
}

TEST(InkMatte, DiagonalGapDoesNotLetTheBackgroundIn) {
    // The background touches the hole only corner to corner.
    auto s = bitmapOf({{0, 0, 0, 0}, {0, 1, 1, 0}, {0, 1, 0, 1}, {0, 0, 1, 0}});
    s->transparentIndex = 0;
    auto d = bitmapOf(filled(4, 4, 9));
    inkMatte(*d, *s, 0, 0, 4, 4, 0, 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{9, 9, 9, 9}, {9, 1, 1, 9}, {9, 1, 0, 1}, {9, 9, 1, 9}}));
}

TEST(InkMatte, OneBitSourceDrawsBackgroundForTransparentAndForegroundElsewhere) {
    auto s = bitmapOf(ring());
    s->setAuthoredDepth(1);
    s->transparentIndex = 0;
    s->backgroundIndex = 60;
    s->foregroundIndex = 70;
    auto d = bitmapOf(filled(5, 5, 9));
    inkMatte(*d, *s, 0, 0, 5, 5, 0, 0);
    EXPECT_EQ(rowsOf(*d)[2], (std::vector<uint8_t>{9, 70, 60, 70, 9}));
    EXPECT_EQ(rowsOf(*d)[0], (std::vector<uint8_t>(5, 9)));
}

TEST(InkMatte, MaskIsBuiltOnceWithTheFirstTransparentIndex) {
    auto s = bitmapOf(ring());
    s->transparentIndex = 0;
    auto d = bitmapOf(filled(5, 5, 9));
    inkMatte(*d, *s, 0, 0, 5, 5, 0, 0);
    s->transparentIndex = 1; // a later colour change does not rebuild the mask
    auto d2 = bitmapOf(filled(5, 5, 9));
    inkMatte(*d2, *s, 0, 0, 5, 5, 0, 0);
    EXPECT_EQ(rowsOf(*d2), rowsOf(*d));
}

TEST(InkMatte, TransparentIndex255FillsWith254) {
    Rows r = ring();
    for (auto& row : r)
        for (auto& p : row)
            p = p == 0 ? 255 : p;
    auto s = bitmapOf(r);
    s->transparentIndex = 255;
    auto d = bitmapOf(filled(5, 5, 9));
    inkMatte(*d, *s, 0, 0, 5, 5, 0, 0);
    EXPECT_EQ(rowsOf(*d)[2], (std::vector<uint8_t>{9, 1, 255, 1, 9}));
    EXPECT_EQ(*s->maskAt(0, 0), 255 ^ 254);
}

TEST(InkMatte, CheckerboardLeavesOnlyBorderPixelsAsBackground) {
    // Every transparent pixel inside is walled in on four sides, so only those on the edge are
    // reached from outside; the fill has to visit many short spans to find that out.
    const int w = 301, h = 157;
    Rows r(h, std::vector<uint8_t>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r[y][x] = (x + y) % 2 == 0 ? 0 : 1;
    auto s = bitmapOf(r);
    s->transparentIndex = 0;
    ASSERT_EQ(s->makeMask(), 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            const bool background = r[y][x] == 0 && edge;
            ASSERT_EQ(*s->maskAt(x, y) != 0, background) << x << "," << y;
        }
}

TEST(InkMatte, AllTransparentBitmapIsAllBackground) {
    auto s = bitmapOf(filled(200, 120, 3));
    s->transparentIndex = 3;
    auto d = bitmapOf(filled(200, 120, 9));
    inkMatte(*d, *s, 0, 0, 200, 120, 0, 0);
    EXPECT_EQ(rowsOf(*d), filled(200, 120, 9));
}

// Background by a plain breadth-first search from a transparent frame around the picture.
std::vector<std::vector<bool>> backgroundOf(const Rows& r, uint8_t t) {
    const int h = static_cast<int>(r.size()), w = static_cast<int>(r[0].size());
    std::vector<std::vector<bool>> seen(h + 2, std::vector<bool>(w + 2, false));
    auto open = [&](int x, int y) {
        return x == 0 || y == 0 || x == w + 1 || y == h + 1 || r[y - 1][x - 1] == t;
    };
    std::vector<std::pair<int, int>> queue{{0, 0}};
    seen[0][0] = true;
    for (size_t i = 0; i < queue.size(); ++i) {
        auto [x, y] = queue[i];
        const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
        for (int k = 0; k < 4; ++k) {
            int nx = x + dx[k], ny = y + dy[k];
            if (nx < 0 || ny < 0 || nx > w + 1 || ny > h + 1 || seen[ny][nx] || !open(nx, ny))
                continue;
            seen[ny][nx] = true;
            queue.emplace_back(nx, ny);
        }
    }
    std::vector<std::vector<bool>> out(h, std::vector<bool>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[y][x] = seen[y + 1][x + 1];
    return out;
}

TEST(InkMatte, MaskMatchesAPlainFloodFill) {
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int round = 0; round < 40; ++round) {
        const int w = 1 + next() % 60, h = 1 + next() % 40;
        Rows r(h, std::vector<uint8_t>(w));
        for (auto& row : r)
            for (auto& p : row)
                p = next() % 100 < 55 ? 7 : static_cast<uint8_t>(next() % 4);
        auto s = bitmapOf(r);
        s->transparentIndex = 7;
        ASSERT_EQ(s->makeMask(), 1);
        auto expected = backgroundOf(r, 7);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(*s->maskAt(x, y) != 0, expected[y][x])
                    << "round " << round << " at " << x << "," << y;
    }
}

// Rows of one-pixel teeth between open rows, walled off from the sides: the fill keeps a span
// per tooth waiting while it goes deeper.
Rows comb(int teeth, int levels) {
    const int w = 2 * teeth + 1;
    Rows r;
    r.push_back(std::vector<uint8_t>(w, 0)); // open to the border
    for (int l = 0; l < levels; ++l) {
        std::vector<uint8_t> teethRow(w, 1), openRow(w, 0);
        for (int x = 1; x < w; x += 2)
            teethRow[x] = 0;
        openRow[0] = openRow[w - 1] = 1;
        r.push_back(teethRow);
        if (l + 1 < levels) r.push_back(openRow);
    }
    r.push_back(std::vector<uint8_t>(w, 1));
    return r;
}

int unfilledBackground(const Rows& r) {
    auto s = bitmapOf(r);
    s->transparentIndex = 0;
    EXPECT_EQ(s->makeMask(), 1);
    auto expected = backgroundOf(r, 0);
    int missed = 0;
    for (size_t y = 0; y < r.size(); ++y)
        for (size_t x = 0; x < r[0].size(); ++x)
            if (expected[y][x] && *s->maskAt(int(x), int(y)) == 0) ++missed;
    return missed;
}

TEST(InkMatte, FullSpanStackLeavesSomeBackgroundUnfilled) {
    EXPECT_EQ(unfilledBackground(comb(1000, 4)), 0);
    // Far more waiting spans than the stack holds: the ones that do not fit are dropped, and
    // what only they led to draws as figure. Nothing is written outside the mask either way.
    EXPECT_GT(unfilledBackground(comb(4000, 6)), 0);
}

} // namespace
