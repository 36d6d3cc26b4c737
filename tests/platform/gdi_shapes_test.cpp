// Pens, pattern brushes, lines and filled shapes in an 8-bit DIB section, pixel for pixel. The
// expected pictures are worked out by hand from the coverage rules: one letter per colour index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wingdi.h"

namespace {

using Art = std::vector<std::string>;

// Colour indices of the test bitmap and their letters.
enum : uint8_t { kWhite = 0, kBlack = 1, kRed = 2, kBlue = 3 };
constexpr char kLetters[] = ".#RB";

// A w x h 8-bit DIB section in a memory DC of its own, white at first.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = w;
        info.header.biHeight = h;
        info.header.biPlanes = 1;
        info.header.biBitCount = 8;
        info.colours[kWhite] = RGBQUAD{255, 255, 255, 0};
        info.colours[kBlack] = RGBQUAD{0, 0, 0, 0};
        info.colours[kRed] = RGBQUAD{0, 0, 255, 0};
        info.colours[kBlue] = RGBQUAD{255, 0, 0, 0};
        for (int i = 4; i < 256; ++i)
            info.colours[i] = RGBQUAD{128, 128, 128, 0};
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap_ = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                   &p, nullptr, 0);
        bits_ = static_cast<uint8_t*>(p);
        old_ = SelectObject(dc, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc);
    }
    Art art() const {
        const size_t stride = (static_cast<size_t>(w_) + 3) / 4 * 4;
        Art rows;
        for (int y = 0; y < h_; ++y) {
            std::string row;
            for (int x = 0; x < w_; ++x) {
                const uint8_t v = bits_[(h_ - 1 - y) * stride + x];
                row += v < 4 ? kLetters[v] : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }

    HDC dc = nullptr;

private:
    int w_, h_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint8_t* bits_ = nullptr;
};

COLORREF red() {
    return RGB(255, 0, 0);
}
COLORREF blue() {
    return RGB(0, 0, 255);
}

// Selects a pen and a brush for the life of the object, then puts the old ones back and deletes
// them.
struct Tools {
    HDC dc;
    HGDIOBJ pen, brush, oldPen, oldBrush;
    Tools(HDC dc, HGDIOBJ pen, HGDIOBJ brush)
        : dc(dc), pen(pen), brush(brush), oldPen(SelectObject(dc, pen)),
          oldBrush(SelectObject(dc, brush)) {}
    ~Tools() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
};

TEST(GdiShapes, RectangleCoversItsAreaWithAOnePixelPenInside) {
    Canvas c(9, 7);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(c.dc, 1, 1, 6, 5));
    }
    EXPECT_EQ(c.art(), (Art{".........", ".#####...", ".#RRR#...", ".#RRR#...", ".#####...",
                            ".........", "........."}));
}

// A pen wider than one pixel is centred on the figure's outline, the path through the centres
// of its outermost pixels: half the pen lies outside the box.
TEST(GdiShapes, WidePensAreCentredOnTheOutline) {
    Canvas odd(10, 10);
    {
        Tools t(odd.dc, CreatePen(PS_SOLID, 3, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(odd.dc, 2, 2, 8, 8));
    }
    EXPECT_EQ(odd.art(),
              (Art{"..........", ".########.", ".########.", ".########.", ".###RR###.",
                   ".###RR###.", ".########.", ".########.", ".########.", ".........."}));

    // An even width puts its odd pixel above and to the left of the outline; corners given the
    // other way round are put in order.
    Canvas even(9, 7);
    {
        Tools t(even.dc, CreatePen(PS_SOLID, 2, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(even.dc, 7, 6, 1, 0));
    }
    EXPECT_EQ(even.art(), (Art{"#######..", "##RRR##..", "##RRR##..", "##RRR##..", "#######..",
                               "#######..", "........."}));

    // A box one pixel wide is a line as wide as the pen.
    Canvas thin(5, 7);
    {
        Tools t(thin.dc, CreatePen(PS_SOLID, 3, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(thin.dc, 2, 1, 3, 5));
    }
    EXPECT_EQ(thin.art(), (Art{".###.", ".###.", ".###.", ".###.", ".###.", ".###.", "....."}));

    // A circle through the centres of its outermost pixels, four from the middle one: the pen
    // takes the pixels whose centres lie within 1.5 of it, the brush those further in.
    Canvas round(11, 11);
    {
        Tools t(round.dc, CreatePen(PS_SOLID, 3, RGB(0, 0, 0)), CreateSolidBrush(blue()));
        EXPECT_TRUE(Ellipse(round.dc, 1, 1, 10, 10));
    }
    const Art circle{"...#####...", "..#######..", ".#########.", "####BBB####",
                     "###BBBBB###", "###BBBBB###", "###BBBBB###", "####BBB####",
                     ".#########.", "..#######..", "...#####..."};
    EXPECT_EQ(round.art(), circle);

    // Corners of radius 3 on the outline of a 12 x 9 box.
    Canvas rounded(14, 11);
    {
        Tools t(rounded.dc, CreatePen(PS_SOLID, 3, RGB(0, 0, 0)), CreateSolidBrush(blue()));
        EXPECT_TRUE(RoundRect(rounded.dc, 1, 1, 13, 10, 7, 7));
    }
    EXPECT_EQ(rounded.art(),
              (Art{"..##########..", ".############.", "##############", "###BBBBBBBB###",
                   "###BBBBBBBB###", "###BBBBBBBB###", "###BBBBBBBB###", "###BBBBBBBB###",
                   "##############", ".############.", "..##########.."}));
}

// PS_INSIDEFRAME brings the figure in by half the pen, so that the band ends on the box.
TEST(GdiShapes, InsideFramePensKeepWithinTheBox) {
    Canvas c(9, 7);
    {
        Tools t(c.dc, CreatePen(PS_INSIDEFRAME, 2, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(c.dc, 7, 6, 1, 0));
    }
    EXPECT_EQ(c.art(), (Art{".######..", ".######..", ".##RR##..", ".##RR##..", ".######..",
                            ".######..", "........."}));

    // The circle of the centred pen above, drawn from a box one pixel larger all round.
    Canvas round(11, 11);
    {
        Tools t(round.dc, CreatePen(PS_INSIDEFRAME, 3, RGB(0, 0, 0)), CreateSolidBrush(blue()));
        EXPECT_TRUE(Ellipse(round.dc, 0, 0, 11, 11));
    }
    EXPECT_EQ(round.art(), (Art{"...#####...", "..#######..", ".#########.", "####BBB####",
                                "###BBBBB###", "###BBBBB###", "###BBBBB###", "####BBB####",
                                ".#########.", "..#######..", "...#####..."}));

    // One pixel wide, it is the same as a solid pen.
    Canvas one(9, 7);
    {
        Tools t(one.dc, CreatePen(PS_INSIDEFRAME, 1, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(one.dc, 1, 1, 6, 5));
    }
    EXPECT_EQ(one.art(), (Art{".........", ".#####...", ".#RRR#...", ".#RRR#...", ".#####...",
                              ".........", "........."}));
}

TEST(GdiShapes, TheNullPenLeavesOutTheRightColumnAndBottomRow) {
    Canvas c(7, 5);
    {
        Tools t(c.dc, GetStockObject(NULL_PEN), CreateSolidBrush(blue()));
        EXPECT_TRUE(Rectangle(c.dc, 1, 1, 5, 4));
        // Nothing at all with the null pen and the null brush.
        SelectObject(c.dc, GetStockObject(NULL_BRUSH));
        EXPECT_TRUE(Rectangle(c.dc, 0, 0, 7, 5));
        EXPECT_TRUE(Ellipse(c.dc, 0, 0, 7, 5));
    }
    EXPECT_EQ(c.art(), (Art{".......", ".BBB...", ".BBB...", ".......", "......."}));
}

TEST(GdiShapes, EllipseTakesThePixelsWhoseCentresLieInside) {
    Canvas c(8, 5);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Ellipse(c.dc, 1, 0, 7, 4));
    }
    EXPECT_EQ(c.art(), (Art{"..####..", ".#RRRR#.", ".#RRRR#.", "..####..", "........"}));
}

TEST(GdiShapes, RoundRectangleRoundsItsCornersWithTheGivenEllipse) {
    Canvas c(9, 6);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)), CreateSolidBrush(blue()));
        EXPECT_TRUE(RoundRect(c.dc, 0, 0, 8, 5, 4, 4));
    }
    EXPECT_EQ(c.art(),
              (Art{".######..", "#BBBBBB#.", "#BBBBBB#.", "#BBBBBB#.", ".######..", "........."}));

    // An ellipse as tall as the rectangle rounds its ends fully.
    Canvas pill(10, 4);
    {
        Tools t(pill.dc, GetStockObject(NULL_PEN), CreateSolidBrush(red()));
        EXPECT_TRUE(RoundRect(pill.dc, 0, 0, 11, 5, 4, 4));
    }
    EXPECT_EQ(pill.art(), (Art{".RRRRRRRR.", "RRRRRRRRRR", "RRRRRRRRRR", ".RRRRRRRR."}));
}

TEST(GdiShapes, MonochromePatternsTileFromTheOriginInTextAndBackgroundColours) {
    // A diagonal: row r has bit r set from the left. 1 bits take the background colour.
    const uint8_t rows[8][2] = {{0x80, 0}, {0x40, 0}, {0x20, 0}, {0x10, 0},
                                {0x08, 0}, {0x04, 0}, {0x02, 0}, {0x01, 0}};
    BITMAP bm{0, 8, 8, 2, 1, 1, const_cast<uint8_t*>(&rows[0][0])};
    HBITMAP pattern = CreateBitmapIndirect(&bm);
    ASSERT_NE(pattern, nullptr);
    HBRUSH brush = CreatePatternBrush(pattern);
    ASSERT_NE(brush, nullptr);
    EXPECT_TRUE(DeleteObject(pattern)); // the brush keeps its own copy

    Canvas c(12, 4);
    SetTextColor(c.dc, blue());
    EXPECT_EQ(SetBkColor(c.dc, red()), RGB(255, 255, 255));
    {
        Tools t(c.dc, GetStockObject(NULL_PEN), brush);
        EXPECT_TRUE(Rectangle(c.dc, 1, 0, 11, 4));
    }
    // The pattern's phase is the DC's, not the rectangle's: column 8 of row 0 is its column 0.
    EXPECT_EQ(c.art(), (Art{".BBBBBBBRB..", ".RBBBBBBBR..", ".BRBBBBBBB..", "............"}));
}

TEST(GdiShapes, EightBitPatternsWriteTheirIndicesIntoAnEightBitBitmap) {
    const uint8_t rows[2][2] = {{kRed, kBlue}, {kBlue, kRed}};
    HBITMAP pattern = CreateBitmap(2, 2, 1, 8, rows);
    ASSERT_NE(pattern, nullptr);
    Canvas c(5, 4);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)), CreatePatternBrush(pattern));
        EXPECT_TRUE(Rectangle(c.dc, 0, 0, 5, 4));
        EXPECT_TRUE(DeleteObject(pattern));
    }
    EXPECT_EQ(c.art(), (Art{"#####", "#RBR#", "#BRB#", "#####"}));
}

TEST(GdiShapes, LinesLeaveOutTheirEndPoint) {
    Canvas c(8, 6);
    HPEN pen = CreatePen(PS_SOLID, 1, red());
    HGDIOBJ old = SelectObject(c.dc, pen);
    POINT before{-1, -1};
    EXPECT_TRUE(MoveToEx(c.dc, 0, 0, &before));
    EXPECT_EQ(before.x, 0);
    EXPECT_TRUE(LineTo(c.dc, 5, 2));
    // The next line starts where the last one ended.
    EXPECT_TRUE(LineTo(c.dc, 5, 5));
    SelectObject(c.dc, old);
    DeleteObject(pen);
    EXPECT_EQ(c.art(),
              (Art{"RR......", "..RR....", "....RR..", ".....R..", ".....R..", "........"}));
}

// Where the ideal line runs exactly half-way between two pixels, which one it takes depends on
// its direction, as in Windows GDI: a line and its reverse need not cover the same pixels.
TEST(GdiShapes, LinesBreakTiesByTheirDirection) {
    struct Case {
        POINT from, to;
        Art art;
    };
    const Case cases[] = {
        {{0, 0}, {4, 2}, {"RR...", "..RR.", ".....", ".....", "....."}},
        {{4, 2}, {0, 0}, {".R...", "..RR.", "....R", ".....", "....."}},
        {{4, 0}, {0, 2}, {"...RR", ".RR..", ".....", ".....", "....."}},
        {{0, 2}, {4, 0}, {"...R.", ".RR..", "R....", ".....", "....."}},
        {{0, 0}, {2, 4}, {"R....", "R....", ".R...", ".R...", "....."}},
        {{2, 4}, {0, 0}, {".....", "R....", ".R...", ".R...", "..R.."}},
        {{2, 0}, {0, 4}, {"..R..", ".R...", ".R...", "R....", "....."}},
        {{0, 4}, {2, 0}, {".....", ".R...", ".R...", "R....", "R...."}},
    };
    for (const Case& k : cases) {
        Canvas c(5, 5);
        HPEN pen = CreatePen(PS_SOLID, 1, red());
        HGDIOBJ old = SelectObject(c.dc, pen);
        MoveToEx(c.dc, k.from.x, k.from.y, nullptr);
        EXPECT_TRUE(LineTo(c.dc, k.to.x, k.to.y));
        SelectObject(c.dc, old);
        DeleteObject(pen);
        EXPECT_EQ(c.art(), k.art) << "from " << k.from.x << "," << k.from.y << " to " << k.to.x
                                  << "," << k.to.y;
    }
}

// Draws a line from `from` to `to` with a pen of the given width, in blue.
void wideLine(Canvas& c, int width, POINT from, POINT to) {
    HPEN pen = CreatePen(PS_SOLID, width, blue());
    HGDIOBJ old = SelectObject(c.dc, pen);
    MoveToEx(c.dc, from.x, from.y, nullptr);
    EXPECT_TRUE(LineTo(c.dc, to.x, to.y));
    SelectObject(c.dc, old);
    DeleteObject(pen);
}

// A wide line is the pen's disc swept from one point to the other: a band as wide as the pen,
// centred on the ideal line, with round ends that take in the end point.
TEST(GdiShapes, WideLinesAreCentredBandsWithRoundEnds) {
    Canvas five(11, 8);
    wideLine(five, 5, {3, 3}, {6, 3});
    EXPECT_EQ(five.art(), (Art{"...........", "..BBBBBB...", ".BBBBBBBB..", ".BBBBBBBB..",
                               ".BBBBBBBB..", "..BBBBBB...", "...........", "..........."}));

    // An even width has its odd row above the line.
    Canvas four(10, 6);
    wideLine(four, 4, {2, 2}, {6, 2});
    EXPECT_EQ(four.art(), (Art{".BBBBBB...", "BBBBBBBB..", "BBBBBBBB..", ".BBBBBB...", "..........",
                               ".........."}));

    Canvas slope(8, 8);
    wideLine(slope, 3, {1, 1}, {5, 4});
    EXPECT_EQ(slope.art(), (Art{"BBB.....", "BBBB....", "BBBBB...", "..BBBBB.", "...BBBB.",
                                "....BBB.", "........", "........"}));

    Canvas two(6, 5);
    wideLine(two, 2, {0, 0}, {3, 3});
    EXPECT_EQ(two.art(), (Art{"BB....", "BBB...", ".BBB..", "..BB..", "......"}));

    // The clip region cuts the band.
    Canvas clipped(10, 6);
    HRGN clip = CreateRectRgn(0, 0, 4, 6);
    SelectClipRgn(clipped.dc, clip);
    wideLine(clipped, 4, {2, 2}, {6, 2});
    SelectClipRgn(clipped.dc, nullptr);
    DeleteObject(clip);
    EXPECT_EQ(clipped.art(), (Art{".BBB......", "BBBB......", "BBBB......", ".BBB......",
                                  "..........", ".........."}));
}

TEST(GdiShapes, DrawingKeepsToTheClipRegion) {
    Canvas c(6, 4);
    HRGN clip = CreateRectRgn(2, 1, 6, 4);
    SelectClipRgn(c.dc, clip);
    {
        Tools t(c.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)), CreateSolidBrush(red()));
        EXPECT_TRUE(Rectangle(c.dc, 0, 0, 5, 4));
        MoveToEx(c.dc, 0, 3, nullptr);
        EXPECT_TRUE(LineTo(c.dc, 6, 3));
    }
    SelectClipRgn(c.dc, nullptr);
    DeleteObject(clip);
    EXPECT_EQ(c.art(), (Art{"......", "..RR#.", "..RR#.", "..####"}));
}

TEST(GdiShapes, DcStateAndObjects) {
    Canvas c(2, 2);
    EXPECT_EQ(GetBkMode(c.dc), OPAQUE);
    EXPECT_EQ(SetBkMode(c.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(c.dc, 7), 0);
    EXPECT_EQ(GetBkMode(c.dc), TRANSPARENT);
    EXPECT_EQ(SetTextColor(c.dc, PALETTERGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(c.dc), PALETTERGB(1, 2, 3));
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), GetStockObject(BLACK_PEN));

    HPEN pen = CreatePen(PS_SOLID, 3, red());
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    LOGPEN lp{};
    EXPECT_EQ(GetObject(pen, sizeof lp, &lp), static_cast<int>(sizeof lp));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    HGDIOBJ old = SelectObject(c.dc, pen);
    EXPECT_FALSE(DeleteObject(pen)); // still selected
    SelectObject(c.dc, old);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(CreatePen(2, 1, red()), nullptr); // dashed pens are not made

    BITMAP bad{0, 8, 8, 3, 1, 1, nullptr}; // odd row width
    EXPECT_EQ(CreateBitmapIndirect(&bad), nullptr);
    BITMAP deep{0, 8, 8, 0, 1, 4, nullptr};
    EXPECT_EQ(CreateBitmapIndirect(&deep), nullptr);
    EXPECT_EQ(CreatePatternBrush(nullptr), nullptr);
}

} // namespace
