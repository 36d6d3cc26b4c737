// Pens, pattern brushes, lines and filled shapes in an 8-bit DIB section, pixel for pixel: one
// letter per colour index. The pictures of figures are Windows GDI's, as Wine's GDI draws them
// (tests/windows/gdi_figures.cpp's catalogue), moved to where these tests draw.
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

HGDIOBJ blackPen(int width) {
    return CreatePen(PS_SOLID, width, RGB(0, 0, 0));
}

// What draw(dc) paints on a w x h canvas with the pen and the brush (both deleted after).
template <class Draw> Art figure(int w, int h, HGDIOBJ pen, HGDIOBJ brush, Draw draw) {
    Canvas c(w, h);
    {
        Tools t(c.dc, pen, brush);
        EXPECT_TRUE(draw(c.dc));
    }
    return c.art();
}

TEST(GdiShapes, RectanglesWithAOnePixelPenOutlineTheirArea) {
    EXPECT_EQ(figure(9, 7, blackPen(1), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 1, 1, 6, 5); }),
              (Art{".........", ".#####...", ".#RRR#...", ".#RRR#...", ".#####...", ".........",
                   "........."}));
    // The outline is four lines between the corner pixels, each leaving its end point out: a
    // box one pixel wide is a line, and a box of one pixel has no outline at all.
    EXPECT_EQ(figure(3, 5, blackPen(1), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 1, 1, 2, 4); }),
              (Art{"...", ".#.", ".#.", ".#.", "..."}));
    EXPECT_EQ(figure(4, 3, blackPen(1), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 1, 1, 3, 2); }),
              (Art{"....", ".##.", "...."}));
    EXPECT_EQ(figure(3, 3, blackPen(1), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 1, 1, 2, 2); }),
              (Art{"...", "...", "..."}));
}

// A pen wider than one pixel is a region: a band along each side of the outline through the
// figure's outermost pixels, and a disc as wide as the pen at every point of it. Half the pen
// lies outside the box; an even width has its odd pixel above and to the left.
TEST(GdiShapes, WidePensAreRegionsAlongTheOutline) {
    // The discs at the corners are round: a 3-pixel one leaves out its corner pixels.
    EXPECT_EQ(figure(10, 10, blackPen(3), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 2, 2, 8, 8); }),
              (Art{"..........", "..######..", ".########.", ".########.", ".###RR###.",
                   ".###RR###.", ".########.", ".########.", "..######..", ".........."}));
    // Corners given the other way round are put in order.
    EXPECT_EQ(figure(9, 7, blackPen(2), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 7, 6, 1, 0); }),
              (Art{"#######..", "##RRR##..", "##RRR##..", "##RRR##..", "#######..", "#######..",
                   "........."}));
    // A box one pixel wide is a line as wide as the pen, with round ends.
    EXPECT_EQ(figure(5, 7, blackPen(3), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 2, 1, 3, 5); }),
              (Art{"..#..", ".###.", ".###.", ".###.", ".###.", "..#..", "....."}));
    // Ellipses and round rectangles: the bands between the points of the outline are rounded
    // to whole pixels, so that the figure need not come out symmetric.
    EXPECT_EQ(figure(12, 12, blackPen(3), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 11, 11); }),
              (Art{"....######..", "..#########.", ".###########", "######B####.", "#####BBB####",
                   "####BBBBB###", "####BBBBB###", "#####BBB####", "######B####.", ".###########",
                   "..#########.", "....######.."}));
    EXPECT_EQ(figure(9, 9, blackPen(2), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 8, 8); }),
              (Art{"..####...", ".######..", "########.", "###BB###.", "##BBBB##.", "###BB###.",
                   "########.", ".######..", "........."}));
    // A 5-pixel pen round a 6 x 6 circle leaves a hole the brush would fill.
    EXPECT_EQ(
        figure(13, 13, blackPen(5), GetStockObject(NULL_BRUSH),
               [](HDC dc) { return Ellipse(dc, 3, 3, 11, 11); }),
        (Art{".............", "....######...", "..#########..", ".###########.", ".############",
             ".############", ".#####.######", ".#####.######", ".############", ".############",
             ".###########.", "..#########..", "....######..."}));
    EXPECT_EQ(figure(15, 12, blackPen(3), CreateSolidBrush(blue()),
                     [](HDC dc) { return RoundRect(dc, 1, 1, 14, 11, 8, 6); }),
              (Art{"...###########.", ".##############", "##############.", "#####BBBBBB####",
                   "####BBBBBBBB###", "###BBBBBBBBB###", "###BBBBBBBBB###", "####BBBBBBBB###",
                   "#####BBBBBB####", "##############.", ".##############", "...###########."}));
    EXPECT_EQ(figure(12, 8, blackPen(2), CreateSolidBrush(blue()),
                     [](HDC dc) { return RoundRect(dc, 1, 1, 11, 7, 6, 7); }),
              (Art{"..#######...", ".#########..", "####BBB####.", "###BBBBB###.", "###BBBBB###.",
                   "###########.", ".#########..", "............"}));
}

// PS_INSIDEFRAME brings the figure in by half the pen, so that the pen ends on the box.
TEST(GdiShapes, InsideFramePensKeepWithinTheBox) {
    // As the 5 x 5 box (2, 1, 7, 6) with a centred pen.
    EXPECT_EQ(figure(9, 7, CreatePen(PS_INSIDEFRAME, 2, RGB(0, 0, 0)), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 7, 6, 1, 0); }),
              (Art{".######..", ".######..", ".##RR##..", ".##RR##..", ".######..", ".######..",
                   "........."}));
    // The circle of the centred pen round (1, 1, 11, 11) above; the ellipse keeps to the box
    // it is brought in to.
    EXPECT_EQ(figure(12, 12, CreatePen(PS_INSIDEFRAME, 3, RGB(0, 0, 0)), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 0, 0, 12, 12); }),
              (Art{"....######..", "..#########.", ".###########", "######B####.", "#####BBB####",
                   "####BBBBB###", "####BBBBB###", "#####BBB####", "######B####.", ".###########",
                   "..#########.", "....######.."}));
    // One pixel wide, it is the same as a solid pen.
    EXPECT_EQ(figure(9, 7, CreatePen(PS_INSIDEFRAME, 1, RGB(0, 0, 0)), CreateSolidBrush(red()),
                     [](HDC dc) { return Rectangle(dc, 1, 1, 6, 5); }),
              (Art{".........", ".#####...", ".#RRR#...", ".#RRR#...", ".#####...", ".........",
                   "........."}));
}

// With the null pen a rectangle leaves out its right column and bottom row, but an ellipse or a
// round rectangle covers its whole box; a round rectangle whose corners are 2 pixels or less
// either way is a rectangle.
TEST(GdiShapes, TheNullPenShrinksOnlyRectangles) {
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

    const auto nullPen = [](int w, int h, auto draw) {
        return figure(w, h, GetStockObject(NULL_PEN), CreateSolidBrush(blue()), draw);
    };
    const Art square{".......", ".BBBB..", ".BBBB..", ".BBBB..", ".BBBB..", ".......", "......."};
    EXPECT_EQ(nullPen(7, 7, [](HDC dc) { return Rectangle(dc, 1, 1, 6, 6); }), square);
    EXPECT_EQ(nullPen(7, 7, [](HDC dc) { return Ellipse(dc, 1, 1, 6, 6); }),
              (Art{".......", "..BBB..", ".BBBBB.", ".BBBBB.", ".BBBBB.", "..BBB..", "......."}));
    EXPECT_EQ(nullPen(10, 4, [](HDC dc) { return RoundRect(dc, 0, 0, 10, 4, 4, 5); }),
              (Art{".BBBBBBBB.", "BBBBBBBBBB", "BBBBBBBBBB", ".BBBBBBBB."}));
    EXPECT_EQ(nullPen(8, 4, [](HDC dc) { return RoundRect(dc, 1, 1, 7, 3, 2, 3); }),
              (Art{"........", ".BBBBB..", "........", "........"}));
}

// A one-pixel outline is one-pixel lines through the points of the corner ellipse's quarters
// (the midpoint walk of the figure's box), so that it is one pixel thick on the diagonals too;
// the brush fills the round rectangle region of the box and the pen is drawn over it.
TEST(GdiShapes, OnePixelOutlinesAreLinesThroughTheQuarterEllipses) {
    EXPECT_EQ(figure(8, 5, blackPen(1), CreateSolidBrush(red()),
                     [](HDC dc) { return Ellipse(dc, 1, 0, 7, 4); }),
              (Art{"..####..", ".#RRRR#.", ".#RRRR#.", "..####..", "........"}));
    EXPECT_EQ(figure(9, 9, blackPen(1), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 8, 8); }),
              (Art{".........", "...###...", "..#BBB#..", ".#BBBBB#.", ".#BBBBB#.", ".#BBBBB#.",
                   "..#BBB#..", "...###...", "........."}));
    EXPECT_EQ(figure(18, 8, blackPen(1), GetStockObject(NULL_BRUSH),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 17, 7); }),
              (Art{"..................", ".....########.....", "..###........###..",
                   ".#..............#.", ".#..............#.", "..###........###..",
                   ".....########.....", ".................."}));
    EXPECT_EQ(figure(9, 6, blackPen(1), CreateSolidBrush(blue()),
                     [](HDC dc) { return RoundRect(dc, 0, 0, 8, 5, 8, 6); }),
              (Art{"..####...", ".#BBBB#..", "#BBBBBB#.", ".#BBBB#..", "..####...", "........."}));
    EXPECT_EQ(figure(8, 8, blackPen(1), CreateSolidBrush(blue()),
                     [](HDC dc) { return RoundRect(dc, 1, 1, 7, 7, 6, 7); }),
              (Art{"........", "...##...", "..#BB#..", ".#BBBB#.", ".#BBBB#.", "..#BB#..",
                   "...##...", "........"}));
}

// The midpoint walk of a narrow, tall ellipse ends half-way across before it reaches the top
// and bottom rows: neither the outline nor the brush takes those rows.
TEST(GdiShapes, NarrowTallEllipsesStopWhereTheirWalkDoes) {
    EXPECT_EQ(figure(5, 10, GetStockObject(NULL_PEN), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 4, 9); }),
              (Art{".....", ".....", "..B..", ".BBB.", ".BBB.", ".BBB.", ".BBB.", "..B..", ".....",
                   "....."}));
    EXPECT_EQ(figure(5, 10, blackPen(1), CreateSolidBrush(blue()),
                     [](HDC dc) { return Ellipse(dc, 1, 1, 4, 9); }),
              (Art{".....", ".....", "..#..", ".#B#.", ".#B#.", ".#B#.", ".#B#.", "..#..", ".....",
                   "....."}));
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

// A wide line is a band as wide as the pen between its two points, its sides rounded to whole
// pixels, and a disc as wide as the pen at each end.
TEST(GdiShapes, WideLinesAreBandsWithRoundEnds) {
    Canvas five(11, 8);
    wideLine(five, 5, {3, 3}, {6, 3});
    EXPECT_EQ(five.art(), (Art{"...........", "..BBBBBB...", ".BBBBBBBB..", ".BBBBBBBB..",
                               ".BBBBBBBB..", "..BBBBBB...", "...........", "..........."}));

    // An even width has its odd row above the line.
    Canvas four(10, 6);
    wideLine(four, 4, {6, 2}, {2, 2});
    EXPECT_EQ(four.art(), (Art{".BBBBBB...", "BBBBBBBB..", "BBBBBBBB..", ".BBBBBB...", "..........",
                               ".........."}));

    Canvas slope(8, 8);
    wideLine(slope, 3, {1, 5}, {4, 1});
    EXPECT_EQ(slope.art(), (Art{"....B...", "...BBB..", "..BBBB..", ".BBBBB..", "BBBBB...",
                                "BBBB....", ".B......", "........"}));

    Canvas two(7, 7);
    wideLine(two, 2, {1, 1}, {4, 4});
    EXPECT_EQ(two.art(),
              (Art{"BB.....", "BBB....", "BBBB...", ".BBBB..", "..BBB..", ".......", "......."}));

    // The clip region cuts the band.
    Canvas clipped(10, 6);
    HRGN clip = CreateRectRgn(0, 0, 4, 6);
    SelectClipRgn(clipped.dc, clip);
    wideLine(clipped, 4, {6, 2}, {2, 2});
    SelectClipRgn(clipped.dc, nullptr);
    DeleteObject(clip);
    EXPECT_EQ(clipped.art(), (Art{".BBB......", "BBBB......", "BBBB......", ".BBB......",
                                  "..........", ".........."}));
}

// A line is walked only where it crosses what can be drawn on: the part inside a clip region is
// the same as that part of the whole line, in every octant, and a line from far away costs no
// more than its visible part.
TEST(GdiShapes, ClippedLinesKeepTheirPixels) {
    const POINT ends[][2] = {{{0, 0}, {59, 23}},  {{59, 23}, {0, 0}},  {{3, 39}, {57, 2}},
                             {{57, 2}, {3, 39}},  {{10, 0}, {33, 39}}, {{33, 39}, {10, 0}},
                             {{50, 1}, {20, 38}}, {{20, 38}, {50, 1}}};
    for (const auto& e : ends) {
        for (int width : {1, 3}) {
            Canvas whole(60, 40), part(60, 40);
            wideLine(whole, width, e[0], e[1]);
            HRGN clip = CreateRectRgn(23, 11, 41, 29);
            SelectClipRgn(part.dc, clip);
            wideLine(part, width, e[0], e[1]);
            SelectClipRgn(part.dc, nullptr);
            DeleteObject(clip);
            Art expected = whole.art();
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 60; ++x)
                    if (x < 23 || x >= 41 || y < 11 || y >= 29) expected[y][x] = '.';
            EXPECT_EQ(part.art(), expected) << "width " << width << " from " << e[0].x << ","
                                            << e[0].y << " to " << e[1].x << "," << e[1].y;
        }
    }

    // Rising one row over 2 * 10^8 pixels, the line crosses the canvas once, in the middle.
    Canvas far(20, 10);
    wideLine(far, 1, {-100000000, 5}, {100000000, 6});
    const Art a = far.art();
    for (int x = 0; x < 20; ++x) {
        int count = 0, row = -1;
        for (int y = 0; y < 10; ++y)
            if (a[y][x] == 'B') ++count, row = y;
        EXPECT_EQ(count, 1) << "column " << x;
        EXPECT_EQ(row, x <= 0 ? 5 : 6) << "column " << x;
    }
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
