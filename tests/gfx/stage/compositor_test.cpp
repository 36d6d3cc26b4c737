// The compositor on a live stage window: what reaches the window after each frame (dirty areas,
// the whole stage, stage colour changes), the previous picture kept for transitions, paint
// requests, the splash, sound next to the copy, the object store's palettes and a palette
// display.
#include <algorithm>

#include "core/guid.h"
#include "gfx/stagescore.h"
#include "stage_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

// A score whose frames the test draws.
struct FrameScript : StageScore {
    nAnimation* stage = nullptr;
    bool transition = false;
    int32_t colour = kWhiteIndex;
    int32_t palette = 7;
    std::function<void(nAnimation&)> draw;

    bool frameHasTransition() override { return transition; }
    int32_t stageColourIndex() override { return colour; }
    int32_t currentPaletteNumber() override { return palette; }
    void renderFrame(int32_t) override {
        if (draw) draw(*stage);
    }
};

// An expected picture, painted block by block.
struct Canvas {
    Art rows;
    Canvas(int w, int h, char c = 'W') : rows(h, std::string(w, c)) {}
    Canvas& block(int x, int y, int w, int h, char c) {
        for (int r = y; r < y + h && r < static_cast<int>(rows.size()); ++r)
            for (int k = x; k < x + w && k < static_cast<int>(rows[r].size()); ++k)
                rows[r][k] = c;
        return *this;
    }
};

RECT rectOf(int x, int y, int w, int h) {
    return RECT{x, y, x + w, y + h};
}

class Compositor : public StageTest {
protected:
    static constexpr int kW = 24, kH = 16;

    // A 24 x 16 stage at the page's origin (its window is one pixel larger), with buffers and
    // the test palette, playing a scripted score.
    void SetUp() override {
        StageTest::SetUp();
        startStage(1, 1, kW, kH);
        setUpCompositor(kW, kH);
        score.stage = &stage->compositor();
        stage->setStageScore(&score);
        stage->movie = true;
        stage->animating = true;
        red = tile(4, 4, kRed);
        green = tile(4, 4, kGreen);
        blue = tile(3, 3, kBlue);
        purple = tile(4, 4, kPurple);
    }

    // One frame down the player's path: clear, render, copy.
    void frame(std::function<void(nAnimation&)> draw, int32_t fullClear = 0) {
        score.draw = std::move(draw);
        NMTX_SCOPED(g, stage->viewMutex());
        stage->redraw(fullClear, 0);
    }
    Art shown() { return stageArt(0, 0, kW, kH); }
    uint8_t indexOf(uint8_t testIndex) {
        RGBQUAD c[256];
        fillTestPalette(c);
        const RGBQUAD& q = c[testIndex];
        return static_cast<uint8_t>(
            GetNearestPaletteIndex(stage->compositor().getDisplayOSB()->getPaletteHandle(),
                                   RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)));
    }

    FrameScript score;
    std::unique_ptr<nDIB> red, green, blue, purple;
};

} // namespace

TEST_F(Compositor, OnlyDirtyAreasReachTheWindowUntilThereAreTooMany) {
    // The first frame copies the whole stage.
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 2, 2);
        a.addDirtyRect(rectOf(2, 2, 4, 4));
    });
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 4, 4, 'R').rows);

    // The sprite moves: its old and new places are dirty; the green one is drawn unannounced.
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 10, 2);
        drawBitmap(a, *green, 18, 10);
        a.addDirtyRect(rectOf(2, 2, 4, 4));
        a.addDirtyRect(rectOf(10, 2, 4, 4));
    });
    const Art moved = Canvas(kW, kH).block(10, 2, 4, 4, 'R').rows;
    EXPECT_EQ(shown(), moved);

    // Nothing dirty: nothing is copied.
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 10, 2);
        drawBitmap(a, *blue, 0, 12);
    });
    EXPECT_EQ(shown(), moved);

    // The 101st rectangle makes the whole stage dirty.
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 10, 2);
        drawBitmap(a, *green, 18, 10);
        drawBitmap(a, *blue, 0, 12);
        for (int i = 0; i < 101; ++i)
            a.addDirtyRect(rectOf(i % kW, 0, 1, 1));
        EXPECT_EQ(a.dirtyCount(), nAnimation::kWholeStage);
    });
    const Art all = Canvas(kW, kH)
                        .block(10, 2, 4, 4, 'R')
                        .block(18, 10, 4, 4, 'G')
                        .block(0, 12, 3, 3, 'B')
                        .rows;
    EXPECT_EQ(shown(), all);

    // A hundred are kept, and the copy is clipped to their union.
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 10, 2);
        drawBitmap(a, *green, 18, 10);
        drawBitmap(a, *blue, 0, 12);
        drawBitmap(a, *purple, 20, 0);
        for (int i = 0; i < 100; ++i)
            a.addDirtyRect(rectOf(0, 0, 1, 1));
        EXPECT_EQ(a.dirtyCount(), 100);
    });
    EXPECT_EQ(shown(), all);
    EXPECT_EQ(stage->compositor().dirtyCount(), 0);

    // A full clear copies everything again.
    frame(
        [&](nAnimation& a) {
            drawBitmap(a, *purple, 20, 0);
            drawBitmap(a, *red, 3, 9, 1); // transparent ink over white: all of it shows
        },
        1);
    EXPECT_EQ(shown(), Canvas(kW, kH).block(20, 0, 4, 4, 'P').block(3, 9, 4, 4, 'R').rows);
}

TEST_F(Compositor, AChangedStageColourCopiesTheWholeStageOnce) {
    frame([&](nAnimation& a) { drawBitmap(a, *red, 2, 2); });
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 4, 4, 'R').rows);
    EXPECT_EQ(stage->compositor().stageColour(), RGB(255, 255, 255));

    score.colour = kYellow;
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 2, 2);
        drawBitmap(a, *green, 18, 10);
    });
    const Art yellow = Canvas(kW, kH, 'Y').block(2, 2, 4, 4, 'R').block(18, 10, 4, 4, 'G').rows;
    EXPECT_EQ(shown(), yellow);
    EXPECT_EQ(stage->compositor().stageColour(), RGB(250, 200, 20));

    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 2, 2);
        drawBitmap(a, *green, 18, 10);
        drawBitmap(a, *purple, 20, 0);
    });
    EXPECT_EQ(shown(), yellow);
}

TEST_F(Compositor, ATransitionFrameKeepsThePreviousPicture) {
    const uint8_t r = indexOf(kRed), b = indexOf(kBlue), w = indexOf(kWhiteIndex);
    frame([&](nAnimation& a) { drawBitmap(a, *red, 2, 2); });
    nDIB* before = stage->compositor().getPreviousOSB()->getDIB();
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(*before->pixelAt(3, 3), 0); // untouched so far

    score.transition = true;
    frame([&](nAnimation& a) {
        // By now the new frame's picture is cleared, the old one kept.
        EXPECT_EQ(*a.getDisplayOSB()->getDIB()->pixelAt(3, 3), w);
        EXPECT_EQ(*before->pixelAt(3, 3), r);
        EXPECT_EQ(*before->pixelAt(0, 0), w);
        EXPECT_EQ(before->colours()[10].rgbRed, 200);
        drawBitmap(a, *blue, 2, 2);
    });

    score.transition = false;
    frame([&](nAnimation& a) { drawBitmap(a, *green, 2, 2); });
    EXPECT_EQ(*before->pixelAt(3, 3), r); // the blue frame was never kept
    EXPECT_NE(*before->pixelAt(3, 3), b);
}

TEST_F(Compositor, PaintRequestsWaitForTheNextFrameWhileTheMoviePlays) {
    frame([&](nAnimation& a) { drawBitmap(a, *red, 2, 2); });
    {
        NMTX_SCOPED(g, stage->viewMutex());
        drawBitmap(stage->compositor(), *blue, 0, 12);
    }
    const RECT corner = rectOf(0, 12, 4, 4);
    stage->invalidate(&corner);
    stage->settle();
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 4, 4, 'R').rows);
    {
        NMTX_SCOPED(g, stage->viewMutex());
        ASSERT_EQ(stage->compositor().dirtyCount(), 1);
        EXPECT_EQ(stage->compositor().dirtyRects()[0].top, 12);
    }

    // Once the movie has ended, a paint request is painted at once.
    stage->animating = false;
    stage->invalidate(&corner);
    stage->settle();
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 4, 4, 'R').block(0, 12, 3, 3, 'B').rows);

    // Without a movie the window is white.
    stage->movie = false;
    stage->invalidate(nullptr);
    stage->settle();
    EXPECT_EQ(stageArt(0, 0, kW + 1, kH + 1), Canvas(kW + 1, kH + 1).rows);
}

TEST_F(Compositor, SoundStartsAndStopsJustBeforeThePictureIsCopied) {
    frame([&](nAnimation& a) { drawBitmap(a, *red, 2, 2); });
    skvObject sound;
    Art whenStarted;
    stage->soundHook = [&](skvObject* s) {
        EXPECT_EQ(s, &sound);
        whenStarted = shown();
    };
    frame([&](nAnimation& a) {
        drawBitmap(a, *blue, 2, 2);
        a.addDirtyRect(rectOf(2, 2, 4, 4));
        a.setPendingSound(&sound);
    });
    EXPECT_EQ(whenStarted, Canvas(kW, kH).block(2, 2, 4, 4, 'R').rows);
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 3, 3, 'B').block(5, 2, 1, 4, 'W').rows);
    EXPECT_TRUE(stage->compositor().lastSound() == sound.objectId);
    EXPECT_EQ(stage->compositor().pendingSound(), nullptr);

    frame([&](nAnimation& a) { a.requestSoundStop(); });
    EXPECT_TRUE(stage->compositor().lastSound() == GUID{});

    // A stop asked for before the frame is cleared with it.
    {
        NMTX_SCOPED(g, stage->viewMutex());
        stage->compositor().requestSoundStop();
    }
    frame([&](nAnimation&) {});
    auto events = stage->events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "start sound"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "stop sound"), 1);
}

TEST_F(Compositor, TempoGoesToThePlayerBehindTheView) {
    {
        NMTX_SCOPED(g, stage->viewMutex());
        stage->compositor().setTempo(12);
    }
    EXPECT_EQ(stage->events().back(), "tempo 12");
}

TEST_F(Compositor, TheObjectStoreGetsTheBuiltInsAndTheStagePalette) {
    qmsObjectManager own;
    auto* seven = new skvPalette();
    fillTestPalette(seven->colours);
    seven->objectId = paletteIdentity(7);
    own.add(seven);
    NMTX_SCOPED(g, stage->viewMutex());
    nAnimation& a = stage->compositor();
    a.reset();
    a.attachView(stage.get());
    EXPECT_EQ(a.stageWidth(), kW);
    EXPECT_EQ(a.buffersCreated(), 0);

    // A score naming a palette the store does not have keeps the stage's own.
    score.palette = 9;
    a.setCurrentScore(&score);
    a.setObjectStore(&own);
    for (int32_t n : kBuiltInPaletteNumbers)
        EXPECT_NE(own.find(paletteIdentity(n)), nullptr) << n;
    skvPalette* empty = a.currentPalette();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(own.find(empty->objectId), empty);

    score.palette = 7;
    a.setObjectStore(&own);
    EXPECT_EQ(a.currentPalette(), seven);
    // Buffers made afterwards show it.
    ASSERT_EQ(a.createBuffers(kW, kH, 8), 1);
    EXPECT_EQ(a.getDisplayOSB()->header()->bmiColors[10].rgbRed, 200);
    EXPECT_EQ(a.stageColourIndex(), 0); // nearest to the palette's first colour, black
    a.reset();
    own.clear();
}

TEST_F(Compositor, APaletteMemberDrawnOnTheStageBecomesItsPalette) {
    auto* other = new skvPalette();
    fillTestPalette(other->colours);
    std::swap(other->colours[kRed], other->colours[kGreen]);
    other->objectId = paletteIdentity(8);
    store.add(other);
    {
        NMTX_SCOPED(g, stage->viewMutex());
        other->draw(stage.get(), nullptr);
        EXPECT_EQ(stage->compositor().currentPalette(), other);
    }
    // The tile's own colour is what shows, remapped to the new palette.
    frame([&](nAnimation& a) { drawBitmap(a, *red, 2, 2); });
    EXPECT_EQ(shown(), Canvas(kW, kH).block(2, 2, 4, 4, 'R').rows);
    EXPECT_EQ(indexOf(kRed), 11);
}

TEST_F(Compositor, SplashIsCentredWithWhiteAllAround) {
    // No buffers yet: a fresh compositor on the same view.
    {
        NMTX_SCOPED(g, stage->viewMutex());
        stage->compositor().reset();
        stage->compositor().attachView(stage.get());
    }
    auto blackOut = [&] {
        NMTX_SCOPED(g, stage->viewMutex());
        const RECT all = rectOf(0, 0, kW + 1, kH + 1);
        FillRect(stage->getDC(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    };
    const int cw = kW + 1, ch = kH + 1; // the window is one pixel larger than the stage

    blackOut();
    auto splash = tile(6, 4, kRed);
    stage->setSplash(splash.get());
    stage->settle();
    // 25 / 2 - 6 / 2 = 9 and 17 / 2 - 4 / 2 = 6; everything else is white, including the
    // columns right of the picture and the row under it.
    EXPECT_EQ(stageArt(0, 0, cw, ch), Canvas(cw, ch).block(9, 6, 6, 4, 'R').rows);

    // A picture larger than the window is not drawn at all.
    blackOut();
    auto big = tile(30, 20, kBlue);
    stage->setSplash(big.get());
    stage->settle();
    EXPECT_EQ(stageArt(0, 0, cw, ch), Canvas(cw, ch).rows);

    // Without a splash the window is white too.
    blackOut();
    stage->setSplash(nullptr);
    stage->invalidate(nullptr);
    stage->settle();
    EXPECT_EQ(stageArt(0, 0, cw, ch), Canvas(cw, ch).rows);
}

class PaletteDisplay : public Compositor {
protected:
    void SetUp() override {
        StageTest::SetUp();
        skv::platform::setPaletteDisplay(true);
        {
            nAnimation fresh;
            EXPECT_EQ(fresh.stageColourIndex(), 255);
        }
        startStage(1, 1, kW, kH);
        setUpCompositor(kW, kH);
        score.stage = &stage->compositor();
        stage->setStageScore(&score);
        stage->movie = true;
        stage->animating = true;
        red = tile(4, 4, kRed);
        green = tile(4, 4, kGreen);
        blue = tile(3, 3, kBlue);
        purple = tile(4, 4, kPurple);
    }
};

TEST_F(PaletteDisplay, TheRealizedPaletteShowsTheStageExactly) {
    frame([&](nAnimation& a) {
        drawBitmap(a, *red, 2, 2);
        drawBitmap(a, *green, 8, 2);
        drawBitmap(a, *purple, 14, 8);
    });
    const Art expected =
        Canvas(kW, kH).block(2, 2, 4, 4, 'R').block(8, 2, 4, 4, 'G').block(14, 8, 4, 4, 'P').rows;
    EXPECT_EQ(shown(), expected);
    PALETTEENTRY system[256];
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetSystemPaletteEntries(screen, 0, 256, system), 256u);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(system[10].peRed, 200); // the movie's first own colour took the first free entry

    // Asked to realize again, the stage answers and copies itself.
    SendMessageA(stage->window(), WM_QUERYNEWPALETTE, 0, 0);
    EXPECT_EQ(stage->events().back(), "query palette");
    EXPECT_EQ(shown(), expected);
}
