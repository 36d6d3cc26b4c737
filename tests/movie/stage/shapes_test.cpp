// Shape sprites, a text member and a bitmap sprite drawn by a linear score on a real stage, read
// back from the stage window pixel for pixel. Every expected picture is worked out by hand from
// the GDI's coverage rules (platform/wingdi.h) and the shapes' own corrections.
#include "gfx/animation.h"
#include "gfx/sprite.h"
#include "gfx/text.h"
#include "movie/score.h"
#include "movie/scorecompositor.h"
#include "movie_test_util.h"
#include "score_stage.h"
#include "stage_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

constexpr int kW = 24, kH = 20;

// Score sprite types of the shapes.
enum : uint8_t {
    kRectType = 2,
    kRoundType = 3,
    kEllipseType = 4,
    kLineDownType = 5,
    kLineUpType = 6
};

struct Shape {
    int channel;
    uint8_t type;
    int16_t left, top, width, height;
    int lineSize;
    uint8_t fore, back;
    int16_t pattern;
    uint8_t ink = 0;
};

void addChannel(std::vector<Record>& records, int channel, uint8_t type, uint8_t back, uint8_t fore,
                uint8_t ink, uint8_t byte5, int16_t cast, int16_t left, int16_t top, int16_t width,
                int16_t height) {
    records.push_back({at(channel, 0), {type, 0, back, fore, ink, byte5}});
    records.push_back({at(channel, 6), le16(cast)});
    records.push_back({at(channel, 8), le16(top)});
    records.push_back({at(channel, 10), le16(left)});
    records.push_back({at(channel, 12), le16(height)});
    records.push_back({at(channel, 14), le16(width)});
}

RGBQUAD testColour(uint8_t index) {
    RGBQUAD colours[256];
    fillTestPalette(colours);
    return colours[index];
}

COLORREF colourRef(uint8_t index) {
    const RGBQUAD q = testColour(index);
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

struct Picture {
    Art rows = Art(kH, std::string(kW, 'W'));
    Picture& set(int x, int y, char c) {
        rows[y][x] = c;
        return *this;
    }
    Picture& row(int x, int y, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i)
            if (s[i] != ' ') rows[y][x + i] = s[i];
        return *this;
    }
};

using ShapesOnStage = StageTest;

} // namespace

TEST_F(ShapesOnStage, EveryKindWithPenAndPatternLandsOnTheExpectedPixels) {
    StoreStream stream;
    auto* palette = new skvPalette();
    fillTestPalette(palette->colours);
    stream.addMember(7, palette);

    // A text member: ink pixels black, paper white, drawn in its own blue on yellow.
    auto* text = new skvText;
    text->create(4, 2);
    const uint8_t textPixels[2][4] = {{0, kWhiteIndex, 0, kWhiteIndex},
                                      {kWhiteIndex, 0, kWhiteIndex, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            *text->pixelAt(x, y) = textPixels[y][x];
    text->textColour = colourRef(kBlue);
    text->backColour = colourRef(kYellow);
    stream.addMember(30, text);

    // A bitmap sprite: green with one black and one white pixel, which the copy ink paints in
    // the channel's foreground and background colours.
    auto* bitmap = new NSprite;
    bitmap->create(4, 3);
    std::memset(bitmap->bits(), kGreen, bitmap->pixelBytes());
    *bitmap->pixelAt(1, 1) = kBlackIndex;
    *bitmap->pixelAt(2, 1) = kWhiteIndex;
    RGBQUAD colours[256];
    fillTestPalette(colours);
    std::memcpy(bitmap->colours(), colours, sizeof colours);
    bitmap->hasColourTable = 1;
    stream.addMember(31, bitmap);

    const Shape shapes[] = {
        // Pattern 15 is all ones: filled in the background colour.
        {2, kRectType, 1, 1, 6, 5, 1, kBlue, kYellow, 15},
        {3, kEllipseType, 9, 1, 6, 4, 1, kBlue, kYellow, 15},
        {4, kRoundType, 16, 1, 7, 4, 1, kBlue, kYellow, 15},
        {5, kLineDownType, 1, 8, 5, 3, 1, kBlue, kYellow, 0},
        {6, kLineUpType, 8, 8, 5, 3, 1, kBlue, kYellow, 0},
        // One line width high: drawn as the rectangle it covers.
        {7, kLineDownType, 15, 9, 6, 1, 1, kBlue, kYellow, 0},
        // Ink 4 with equal colours: not drawn; the same with ink 0 is.
        {8, kRectType, 1, 12, 4, 3, 1, kBlue, kBlue, 15, 4},
        {9, kRectType, 6, 12, 4, 3, 1, kBlue, kBlue, 15, 0},
        // No pen, the diagonal pattern 4: its phase is the stage's.
        {10, kRectType, 12, 12, 8, 3, 0, kRed, kGreen, 4},
    };
    std::vector<Record> frame{{at(1, 0), le16(7)}};
    for (const Shape& s : shapes)
        addChannel(frame, s.channel, s.type, s.back, s.fore, s.ink,
                   static_cast<uint8_t>(s.lineSize + 1), s.pattern, s.left, s.top, s.width,
                   s.height);
    addChannel(frame, 11, 0, kWhiteIndex, kBlackIndex, 8, 0, 30, 20, 12, 4, 2);
    addChannel(frame, 12, 0, kPurple, kRed, 0, 0, 31, 1, 16, 4, 3);
    FrameString frames;
    frames.frame(frame);
    frames.frame({{at(5, 10), le16(2)}}); // the downward line moves one pixel right
    skvScore score;
    score.attachStream(&stream);
    score.setScoreData(frames.bytes());
    score.setDefaultPalette(7);
    score.setStageColour(kWhiteIndex);
    score.rewind();

    TestStage& s = startStage(2, 2, kW, kH);
    ScoreCompositor onStage(&score, &s.compositor());
    ASSERT_TRUE(putScoreOnStage(s, onStage, stream.store, kW, kH, true));

    Picture expected;
    // Rectangle (1, 1, 7, 6): a one-pixel outline, the inside in the pattern's background.
    expected.row(1, 1, "BBBBBB").row(1, 2, "BYYYYB").row(1, 3, "BYYYYB").row(1, 4, "BYYYYB");
    expected.row(1, 5, "BBBBBB");
    // Ellipse (9, 1, 15, 5).
    expected.row(9, 1, " BBBB ").row(9, 2, "BYYYYB").row(9, 3, "BYYYYB").row(9, 4, " BBBB ");
    // Round rectangle (16, 1, 23, 5, 3, 4): its corner pixels fall outside the corner ellipses,
    // and the inside, one pixel in, is too low for round corners.
    expected.row(16, 1, " BBBBB ").row(16, 2, "BYYYYYB").row(16, 3, "BYYYYYB");
    expected.row(16, 4, " BBBBB ");
    // (1, 8) to (5, 10), end left out; (8, 10) up to (13, 7), end left out.
    expected.row(1, 8, "BB").row(3, 9, "BB");
    expected.set(8, 10, 'B').row(9, 9, "BB").row(11, 8, "BB");
    // The flat line as a rectangle reaches its right edge: six pixels, not five.
    expected.row(15, 9, "BBBBBB");
    // Only the ink-0 rectangle.
    expected.row(6, 12, "BBBB").row(6, 13, "BBBB").row(6, 14, "BBBB");
    // Rows 12-14 use pattern rows 4-6 (22, 44, 88): 1 bits green.
    expected.row(12, 12, "RRGRRRGR").row(12, 13, "RGRRRGRR").row(12, 14, "GRRRGRRR");
    // The text, in its own colours; matte draws as copy.
    expected.row(20, 12, "BYBY").row(20, 13, "YBYB");
    // The bitmap: black becomes the foreground (red), white the background (purple).
    expected.row(1, 16, "GGGG").row(1, 17, "GRPG").row(1, 18, "GGGG");
    EXPECT_EQ(stageArt(0, 0, kW, kH), expected.rows);

    // Frame 2: the moved line's old and new places both reach the window.
    ASSERT_NE(score.nextFrame(), 0);
    {
        NMTX_SCOPED(g, s.viewMutex());
        s.redraw(0, 0);
    }
    expected.row(1, 8, "WBB").row(3, 9, "WBB");
    EXPECT_EQ(stageArt(0, 0, kW, kH), expected.rows);

    {
        NMTX_SCOPED(g, s.viewMutex());
        s.setStageScore(nullptr);
    }
    stage.reset();
    stream.store.clear();
}

TEST_F(ShapesOnStage, AHubScoreDrawsNoShapesAndItsSpritesAsTransparentFigures) {
    StoreStream stream;
    auto* palette = new skvPalette();
    fillTestPalette(palette->colours);
    stream.addMember(7, palette);
    // Two 3 x 3 bitmaps of red with a white centre. On a hub stage the one in sprite channel 1
    // is the opaque background; the other is transparent where it shows the stage colour index
    // (the entry nearest palette entry 0: black).
    auto make = [&](int16_t number) {
        auto* b = new NSprite;
        b->create(3, 3);
        std::memset(b->bits(), kRed, b->pixelBytes());
        *b->pixelAt(1, 1) = kBlackIndex;
        RGBQUAD colours[256];
        fillTestPalette(colours);
        std::memcpy(b->colours(), colours, sizeof colours);
        b->hasColourTable = 1;
        stream.addMember(number, b);
        return b;
    };
    NSprite* background = make(40);
    NSprite* figure = make(41);
    std::vector<Record> frame{{at(1, 0), le16(7)}};
    addChannel(frame, 2, 0, kWhiteIndex, kBlackIndex, 8, 0, 40, 1, 1, 3, 3);
    addChannel(frame, 3, 0, kWhiteIndex, kBlackIndex, 0, 0, 41, 5, 1, 3, 3);
    addChannel(frame, 4, kRectType, kBlue, kBlue, 0, 2, 15, 10, 1, 3, 3);
    FrameString frames;
    frames.frame(frame);
    skvScore score;
    score.attachStream(&stream);
    score.setScoreData(frames.bytes());
    score.setHubFrame(1);
    score.setDefaultPalette(7);
    score.setStageColour(kYellow);
    score.rewind();

    TestStage& s = startStage(2, 2, kW, kH);
    ScoreCompositor onStage(&score, &s.compositor());
    ASSERT_TRUE(putScoreOnStage(s, onStage, stream.store, kW, kH, true));
    Art shown = stageArt(0, 0, 14, 5);
    EXPECT_EQ(shown, (Art{"YYYYYYYYYYYYYY", "YRRRYRRRYYYYYY", "YRKRYRYRYYYYYY", "YRRRYRRRYYYYYY",
                          "YYYYYYYYYYYYYY"}));
    EXPECT_EQ(background->ink, 0);
    EXPECT_EQ(figure->ink, NSprite::kHubSpriteInk);
    // The drawn figure now hits only where it is not transparent.
    SpriteChannel c = (*score.currentImage())[3];
    EXPECT_EQ(figure->hitTest(&c, POINT{6, 2}), 0);
    EXPECT_EQ(figure->hitTest(&c, POINT{5, 2}), 1);

    {
        NMTX_SCOPED(g, s.viewMutex());
        s.setStageScore(nullptr);
    }
    stage.reset();
    stream.store.clear();
}
