// A score played on a real stage: frames of bitmap members drawn through their inks into the
// compositor, copied to the stage window in a page on the headless screen, and the page's
// picture read back pixel for pixel.
#include "gfx/animation.h"
#include "movie/score.h"
#include "movie/scorecompositor.h"
#include "movie_test_util.h"
#include "score_stage.h"
#include "stage_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

// A bitmap cast member drawn the way a sprite draws itself: at its channel's place, remapped when
// the stage palette changes, its old and new places marked when it moves, through the channel's
// ink with white as its transparent colour.
class SpriteBitmap : public nDIB {
public:
    void bounds(RECT* out) const override { *out = placed_; }

    void draw(skvView* view, const SpriteChannel* channel) override {
        nAnimation* stage = view ? view->animation() : nullptr;
        if (!stage || !channel) return;
        nDisplayOSB* display = stage->getDisplayOSB();
        if (skvPalette* p = stage->currentPalette(); p && !(p->objectId == mappedTo_)) {
            mapToPalette(display->getPaletteHandle());
            mappedTo_ = p->objectId;
        }
        if (!stage->buffersCreated() || !display->getDIB()) return;
        const RECT now = placeFor(*channel);
        if (!EqualRect(&now, &placed_)) {
            stage->addDirtyRect(placed_);
            placed_ = now;
            stage->addDirtyRect(placed_);
        }
        transparentIndex = static_cast<uint8_t>(
            GetNearestPaletteIndex(display->getPaletteHandle(), RGB(255, 255, 255)));
        if (InkRoutine ink = inkRoutineFor(channel->ink()))
            ink(*display->getDIB(), *this, placed_.left, placed_.top, width(), height(), 0, 0);
    }

    void place(skvView* view, const SpriteChannel* channel) override {
        nAnimation* stage = view ? view->animation() : nullptr;
        if (channel) placed_ = placeFor(*channel);
        if (stage) stage->addDirtyRect(placed_);
    }

private:
    RECT placeFor(const SpriteChannel& c) const {
        return RECT{c.left(), c.top(), c.left() + width(), c.top() + height()};
    }

    RECT placed_{};
    GUID mappedTo_{};
};

SpriteBitmap* spriteOf(int w, int h, uint8_t index) {
    auto* s = new SpriteBitmap;
    RGBQUAD colours[256];
    fillTestPalette(colours);
    s->create(w, h, nullptr, colours);
    std::memset(s->bits(), index, s->pixelBytes());
    return s;
}

Record paletteChannel(int16_t n) {
    return {at(1, 0), le16(n)};
}
Record cast(int sprite, int16_t member) {
    return {at(sprite + 1, 6), le16(member)};
}
Record top(int sprite, int16_t v) {
    return {at(sprite + 1, 8), le16(v)};
}
Record left(int sprite, int16_t v) {
    return {at(sprite + 1, 10), le16(v)};
}
Record ink(int sprite, uint8_t v) {
    return {at(sprite + 1, 4), {v}};
}

// The page's expected picture: grey, with the stage window at (8, 6); the window is one pixel
// wider and taller than the 24 x 16 stage, and that edge stays as first painted, white.
Art onPage(const Art& stage) {
    Art rows(30, std::string(40, '-'));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 25; ++x)
            rows[6 + y][8 + x] = (y < 16 && x < 24) ? stage[y][x] : 'W';
    return rows;
}

struct Picture {
    Art rows;
    Picture(char background) : rows(16, std::string(24, background)) {}
    Picture& block(int x, int y, int w, int h, char c) {
        for (int r = y; r < y + h; ++r)
            for (int k = x; k < x + w; ++k)
                rows[r][k] = c;
        return *this;
    }
    Picture& dot(int x, int y, char c) { return block(x, y, 1, 1, c); }
};

using Playing = StageTest;

} // namespace

TEST_F(Playing, FramesOfBitmapMembersReachThePageExactly) {
    StoreStream stream;
    // Palette 8 is palette 7 with red and purple swapped.
    auto* seven = new skvPalette();
    fillTestPalette(seven->colours);
    stream.addMember(7, seven);
    auto* eight = new skvPalette();
    fillTestPalette(eight->colours);
    std::swap(eight->colours[kRed], eight->colours[kPurple]);
    stream.addMember(8, eight);
    stream.addMember(5, spriteOf(4, 4, kRed));
    SpriteBitmap* ring = stream.addMember(6, spriteOf(4, 4, kGreen));
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 3; ++x)
            *ring->pixelAt(x, y) = kWhiteIndex;

    FrameString frames;
    frames.frame({paletteChannel(7), cast(1, 5), top(1, 2), left(1, 2), ink(1, 0), cast(2, 6),
                  top(2, 4), left(2, 4), ink(2, 1)});
    frames.frame({left(1, 12)});
    frames.frame({});
    frames.frame({paletteChannel(8)});
    frames.frame({});
    skvScore score;
    score.attachStream(&stream);
    score.setScoreData(frames.bytes());
    score.setDefaultPalette(7);
    score.setStageColour(kWhiteIndex);
    score.rewind();

    // The player's start: a stage in the page, its compositor given the store, the score and
    // buffers of the stage size.
    TestStage& s = startStage(9, 7, 24, 16);
    ScoreCompositor onStage(&score, &s.compositor());
    ASSERT_TRUE(putScoreOnStage(s, onStage, stream.store, 24, 16, false));
    auto play = [&](bool advance) {
        if (advance) {
            ASSERT_NE(score.nextFrame(), 0);
        }
        NMTX_SCOPED(g, s.viewMutex());
        s.redraw(0, 0);
    };
    auto shown = [&] { return artOf(skv::platform::captureWindow(page), 0, 0, 40, 30); };

    // Frame 1: the green ring, drawn transparently, lets the red square show through its hole.
    play(false);
    EXPECT_EQ(shown(), onPage(Picture('W')
                                  .block(2, 2, 4, 4, 'R')
                                  .block(4, 4, 4, 4, 'G')
                                  .dot(5, 5, 'R')
                                  .block(6, 5, 1, 2, 'W')
                                  .dot(5, 6, 'W')
                                  .rows));

    // Frame 2: the square moves; its old and new places are copied.
    play(true);
    const Picture moved =
        Picture('W').block(12, 2, 4, 4, 'R').block(4, 4, 4, 4, 'G').block(5, 5, 2, 2, 'W');
    EXPECT_EQ(shown(), onPage(moved.rows));

    // Frame 3: a new stage colour repaints the whole stage, the ring's hole included.
    score.setStageColour(kYellow);
    play(true);
    EXPECT_EQ(shown(), onPage(Picture('Y')
                                  .block(12, 2, 4, 4, 'R')
                                  .block(4, 4, 4, 4, 'G')
                                  .block(5, 5, 2, 2, 'Y')
                                  .rows));

    // Frame 4: the stage colour is palette entry 20, red in palette 7, the stage's until now;
    // but frame 4 makes palette 8 the stage's, where entry 20 is purple, and the stage takes
    // that colour in this very frame. The sprites keep their colours.
    score.setStageColour(kRed);
    const Picture purple =
        Picture('P').block(12, 2, 4, 4, 'R').block(4, 4, 4, 4, 'G').block(5, 5, 2, 2, 'P');
    play(true);
    EXPECT_EQ(shown(), onPage(purple.rows));
    EXPECT_EQ(s.compositor().currentPalette(), eight);
    play(true);
    EXPECT_EQ(shown(), onPage(purple.rows));
    {
        NMTX_SCOPED(g, s.viewMutex());
        s.setStageScore(nullptr);
    }
    stage.reset();
    stream.store.clear();
}
