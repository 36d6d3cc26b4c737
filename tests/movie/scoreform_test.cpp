// The score's stored form: fields, shifted palette numbers, scorelets, and hostile counts.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "core/classids.h"
#include "core/errors.h"
#include "core/object.h"
#include "movie/movieclasses.h"
#include "movie/score.h"
#include "movie/scorelet.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

void put32(std::vector<uint8_t>& v, int32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>((x >> (8 * i)) & 0xFF));
}

// A score body as a stream carries it (after the object header).
struct Body {
    int32_t palette = -100;
    int32_t tempo = 15;
    int32_t colour = 3;
    int32_t width = 320, height = 240;
    std::optional<int32_t> dataLength; // the data's own length unless set
    std::vector<uint8_t> data = FrameString().cast(1, 4).cast(1, 5).bytes();
    int32_t hub = 0;
    std::optional<int32_t> actionCount;
    std::vector<FrameAction> actions;
    std::vector<std::vector<int32_t>> scorelets; // each: mode, start, reserved, active, count, ...

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> v;
        put32(v, palette);
        put32(v, tempo);
        put32(v, colour);
        put32(v, width);
        put32(v, height);
        put32(v, dataLength.value_or(static_cast<int32_t>(data.size())));
        v.insert(v.end(), data.begin(), data.end());
        put32(v, hub);
        put32(v, actionCount.value_or(static_cast<int32_t>(actions.size())));
        for (const auto& a : actions) {
            put32(v, a.kind);
            put32(v, a.target);
        }
        put32(v, static_cast<int32_t>(scorelets.size()));
        for (const auto& s : scorelets)
            for (int32_t x : s)
                put32(v, x);
        return v;
    }
};

std::unique_ptr<skvScore> load(const Body& b) {
    auto score = std::make_unique<skvScore>();
    loadFrom(b.bytes(), [&](uArchive& ar) { score->serialize(ar); });
    return score;
}

int32_t loadError(const std::vector<uint8_t>& bytes) {
    skvScore score;
    try {
        loadFrom(bytes, [&](uArchive& ar) { score.serialize(ar); });
    } catch (const CoreError& e) {
        return e.code;
    }
    return 0;
}

} // namespace

TEST(ScoreForm, PaletteNumbersAreStoredShifted) {
    for (auto [stored, palette] : {std::pair{-100, -101}, {0, -1}, {3, 3}, {-1, -2}, {1, 1}}) {
        Body b;
        b.palette = stored;
        auto score = load(b);
        EXPECT_EQ(score->defaultPalette(), palette) << stored;
        EXPECT_EQ(score->currentPalette(), palette) << stored;
        // Written back the way it came.
        auto out = storedBytes([&](uArchive& ar) { score->serialize(ar); });
        const uint8_t* p = out.data() + skvObject::kHeaderSize;
        EXPECT_EQ(static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24), stored);
    }
    EXPECT_EQ(storedPaletteNumber(skvScore::kBuiltInDefaultPalette), -100);
}

TEST(ScoreForm, StoredPaletteNumbersBeyondSixteenBitsAreHeldAtTheEnds) {
    // The ends of the 16-bit range still read exactly; anything past them, down to INT32_MIN
    // (whose shift back would overflow), is held to the nearest end instead of wrapping round.
    const std::pair<int32_t, int16_t> cases[] = {
        {-32767, -32768},    {32767, 32767},          {-32768, -32768},
        {INT32_MIN, -32768}, {INT32_MIN + 1, -32768}, {-70000, -32768},
        {32768, 32767},      {70000, 32767},          {INT32_MAX, 32767}};
    for (auto [stored, palette] : cases) {
        Body b;
        b.palette = stored;
        auto score = load(b);
        EXPECT_EQ(score->defaultPalette(), palette) << stored;
        EXPECT_EQ(score->currentPalette(), palette) << stored;
    }
    EXPECT_EQ(paletteFromStored(INT32_MIN), -32768);
    EXPECT_EQ(storedPaletteNumber(paletteFromStored(INT32_MIN)), -32767);
}

TEST(ScoreForm, ReadingSetsUpTheScoreOnFrameOne) {
    Body b;
    b.hub = 7;
    b.actions = {{0, 2}, {2, -5}};
    b.scorelets = {{1, 12, 99, 1, 2, 30, 31}, {4, 20, 0, 0, 0}};
    auto score = load(b);
    EXPECT_EQ(score->defaultTempo(), 15);
    EXPECT_EQ(score->stageColour(), 3);
    int32_t w = 0, h = 0;
    score->stageSize(&w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(score->stageRect().right, 320);
    EXPECT_EQ(score->stageRect().bottom, 240);
    EXPECT_EQ(score->hubFrame(), 7);
    EXPECT_EQ(score->isStreamed(), 1);
    EXPECT_EQ(score->frameNumber(), 1);
    EXPECT_EQ(score->goFlag(), 1);
    EXPECT_EQ(score->spriteChannel(1)->castNumber(), 4);
    EXPECT_EQ(score->frameActions().count(), 2);
    ASSERT_EQ(score->scoreletCount(), 2);
    skvScorelet* s = score->scoreletAt(0);
    EXPECT_EQ(s->mode, 1);
    EXPECT_EQ(s->startFrame, 12);
    EXPECT_EQ(s->trigger, 12);
    EXPECT_EQ(s->reserved, 99);
    EXPECT_EQ(s->active, 1);
    EXPECT_EQ(s->enabled, 0);
    EXPECT_EQ(s->pauseList, (std::vector<int32_t>{30, 31}));
    EXPECT_EQ(score->scoreletAt(1)->mode, 4);
}

TEST(ScoreForm, RoundTripThroughTheObjectReader) {
    registerMovieClasses();
    skvScore score;
    score.setDefaultPalette(-101);
    score.setDefaultTempo(12);
    score.setStageColour(9);
    score.setStageSize(640, 480);
    score.setScoreData(FrameString().cast(2, 8).cast(3, 9).cast(4, 10).bytes());
    score.setHubFrame(3);
    score.frameActions().assign({{0, 3}, {1, -8}, {3, 20}});
    auto* stored = new skvScorelet;
    stored->mode = skvScorelet::kIdle;
    stored->startFrame = 2;
    stored->pauseList = {5};
    score.addScorelet(stored);
    // Made for a click at run time: it has no stored body and must not be counted.
    auto* madeForClick = new skvScorelet;
    madeForClick->mode = skvScorelet::kMadeForClick;
    score.addScorelet(madeForClick);
    auto* last = new skvScorelet;
    last->mode = skvScorelet::kOneShot;
    last->startFrame = 3;
    score.addScorelet(last);

    auto bytes = storedBytes([&](uArchive& ar) {
        writeObject(ar, score);
        // The next object must still be found where it starts.
        skvScore second;
        second.setStageSize(1, 2);
        writeObject(ar, second);
    });
    uArchive ar(new MemoryPipe(bytes), uArchive::kLoading);
    std::unique_ptr<skvObject> obj(readObject(ar));
    auto* back = dynamic_cast<skvScore*>(obj.get());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->objectId == CLSID_skvScore);
    EXPECT_EQ(back->defaultPalette(), -101);
    EXPECT_EQ(back->defaultTempo(), 12);
    EXPECT_EQ(back->stageColour(), 9);
    EXPECT_EQ(back->scoreData(), score.scoreData());
    EXPECT_EQ(back->hubFrame(), 3);
    ASSERT_EQ(back->frameActions().count(), 3);
    EXPECT_EQ(back->frameActions().entries()[2].target, 20);
    ASSERT_EQ(back->scoreletCount(), 2);
    EXPECT_EQ(back->scoreletAt(0)->mode, skvScorelet::kIdle);
    EXPECT_EQ(back->scoreletAt(0)->pauseList, std::vector<int32_t>{5});
    EXPECT_EQ(back->scoreletAt(1)->mode, skvScorelet::kOneShot);
    EXPECT_EQ(back->countFrames(), 3);

    std::unique_ptr<skvObject> next(readObject(ar));
    auto* second = dynamic_cast<skvScore*>(next.get());
    ASSERT_NE(second, nullptr);
    int32_t w = 0, h = 0;
    second->stageSize(&w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 2);
}

TEST(ScoreForm, HostileCountsAreRefusedBeforeAllocating) {
    Body negative;
    negative.dataLength = -1000;
    EXPECT_EQ(loadError(negative.bytes()), kErrShortRead);
    Body huge;
    huge.dataLength = 0x7FFFFFF0;
    EXPECT_EQ(loadError(huge.bytes()), kErrShortRead);
    Body longer;
    longer.dataLength = 1 << 20; // within the limit, but the stream runs short
    EXPECT_EQ(loadError(longer.bytes()), kErrShortRead);
    Body actions;
    actions.actionCount = 513;
    EXPECT_EQ(loadError(actions.bytes()), kErrShortRead);
    actions.actionCount = -1;
    EXPECT_EQ(loadError(actions.bytes()), kErrShortRead);
    Body pauses;
    pauses.scorelets = {{4, 2, 0, 0, 33}};
    EXPECT_EQ(loadError(pauses.bytes()), kErrShortRead);
    Body scorelets;
    auto s = scorelets.bytes();
    s[s.size() - 1] = 0x80; // scorelet count negative
    EXPECT_EQ(loadError(s), kErrShortRead);
    Body many;
    auto m = many.bytes();
    m[m.size() - 2] = 0x7F; // 0x7F00 scorelets, none there
    EXPECT_EQ(loadError(m), kErrShortRead);
}
