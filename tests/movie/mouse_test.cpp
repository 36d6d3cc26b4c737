// The mouse on a score: hit tests from the top channel down, clicks that become script events or
// start triggers, and the cursor over what lies under the mouse.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/sprite.h"
#include "movie/cursors.h"
#include "movie/score.h"
#include "movie/scorelet.h"
#include "movie/spriteenabler.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// A sprite's channel: member, place and size, and optionally its script number.
std::vector<Record> sprite(int channel, int16_t member, int16_t left, int16_t top, int16_t size,
                           int16_t script = 0) {
    return {{at(channel, 6), le16(member)}, {at(channel, 10), le16(left)},
            {at(channel, 8), le16(top)},    {at(channel, 12), le16(size)},
            {at(channel, 14), le16(size)},  {at(channel, 16), le16(script)}};
}

NSprite* squareSprite(int size, uint8_t fill, int32_t trigger = 0) {
    auto* s = new NSprite;
    s->create(size, size);
    std::memset(s->bits(), fill, s->pixelBytes());
    s->triggerNumber = trigger;
    return s;
}

struct EventLog : ScoreEvents {
    Log log;
    std::vector<int32_t> sprites; // the sprite each press or release names
    void mouseDown(int32_t s, int32_t c, int32_t f, int32_t sprite) override {
        note("down", s, c, f);
        sprites.push_back(sprite);
    }
    void mouseUp(int32_t s, int32_t c, int32_t f, int32_t sprite) override {
        note("up", s, c, f);
        sprites.push_back(sprite);
    }
    void note(const char* what, int32_t s, int32_t c, int32_t f) {
        log.push_back(std::string(what) + " " + std::to_string(s) + " " + std::to_string(c) + " " +
                      std::to_string(f));
    }
};

HCURSOR arrow() {
    return LoadCursorA(nullptr, IDC_ARROW);
}

// A hub score parked on frame 2. Frame 1 shows member 5 (trigger 7 of its own) on channel 3 at
// (0, 0) and member 6 with script number 9 on channel 4 at (10, 0); member 8, with neither, is on
// channel 5 at (20, 0). Frames 9 and 10 are trigger 9's animation, 10 jumping back to the hub.
std::vector<uint8_t> hubFrames() {
    FrameString f;
    std::vector<Record> first = sprite(3, 5, 0, 0, 4);
    for (const Record& r : sprite(4, 6, 10, 0, 4, 9))
        first.push_back(r);
    for (const Record& r : sprite(5, 8, 20, 0, 4))
        first.push_back(r);
    f.frame(first);
    for (int i = 2; i <= 8; ++i)
        f.frame({});
    f.frame(sprite(6, 5, 30, 30, 4));
    f.frame({{at(0, 16), le16(2)}});
    return f.bytes();
}

class HubMouse : public ::testing::Test {
protected:
    void SetUp() override {
        stream.addMember(5, squareSprite(4, 1, 7));
        stream.addMember(6, squareSprite(4, 1));
        stream.addMember(8, squareSprite(4, 1));
        SetCursor(arrow());
    }
    void park(skvScore& score) {
        score.attachStream(&stream);
        score.setHubFrame(2);
        if (score.scoreData().empty()) score.setScoreData(hubFrames());
        score.rewind();
        score.goToFrame(2);
    }
    StoreStream stream;
};

} // namespace

TEST(ScoreMouse, HitsScanFromTheTopChannelDownAndSkipWhatCannotBeSeen) {
    StoreStream stream;
    stream.addMember(5, squareSprite(4, 1));
    stream.addMember(6, squareSprite(4, 1));
    FrameString f;
    std::vector<Record> frame = sprite(2, 5, 0, 0, 4, 11);
    for (const Record& r : sprite(3, 6, 2, 2, 4, 12))
        frame.push_back(r);
    // A shape sprite (type 2, a rectangle) on channel 4, hit anywhere in its channel's area.
    frame.push_back({at(4, 0), {2}});
    for (const Record& r : sprite(4, 0, 20, 20, 3))
        frame.push_back(r);
    frame.push_back({at(0, 16), le16(40)}); // the frame script
    f.frame(frame);
    skvScore score;
    score.attachStream(&stream);
    score.setScoreData(f.bytes());
    score.rewind();
    EventLog events;
    score.setEvents(&events);

    // Both sprites cover (3, 3): the higher channel wins.
    EXPECT_EQ(score.castNumberAt(3, 3), 6);
    score.mouseDown(3, 3);
    EXPECT_EQ(score.clickedSprite(), 2);
    score.mouseUp(3, 3);
    score.mouseDown(1, 1);
    EXPECT_EQ(score.clickedSprite(), 1);
    score.mouseDown(12, 12);
    EXPECT_EQ(score.clickedSprite(), 0);
    score.mouseUp(12, 12);
    EXPECT_EQ(events.log,
              (Log{"down 12 6 40", "up 12 6 40", "down 11 5 40", "down 0 0 40", "up 0 0 40"}));
    // The events name the sprite as the score numbers it: channel 3 is sprite 2.
    EXPECT_EQ(events.sprites, (std::vector<int32_t>{2, 2, 1, 0, 0}));
    EXPECT_EQ(score.castNumberAt(12, 12), -1);
    EXPECT_EQ(score.memberAt(12, 12), nullptr);

    ScoreHit hit;
    ASSERT_TRUE(score.hitTest(POINT{22, 22}, &hit));
    EXPECT_EQ(hit.channel, 4);
    EXPECT_EQ(hit.member, nullptr);
    EXPECT_FALSE(score.hitTest(POINT{23, 22}, &hit)); // right edge excluded

    // An invisible channel and a hidden member are passed over.
    score.setVisibility(2, 0);
    EXPECT_EQ(score.castNumberAt(3, 3), 5);
    score.setVisibility(2, 1);
    stream.store.find(memberGuid(6))->hidden = 1;
    EXPECT_EQ(score.castNumberAt(3, 3), 5);
}

TEST(ScoreMouse, AMatteSpriteIsMissedWhereItsMaskMarksBackground) {
    // A white 6 x 6 square with a black ring: its inside is enclosed, its corners are not.
    auto* ring = new NSprite;
    ring->create(6, 6);
    std::memset(ring->bits(), 0, ring->pixelBytes());
    for (int i = 0; i < 6; ++i) {
        *ring->pixelAt(i, 1) = *ring->pixelAt(i, 4) = 9;
        *ring->pixelAt(1, i) = *ring->pixelAt(4, i) = 9;
    }
    ring->transparentIndex = 0;
    ASSERT_EQ(ring->makeMask(), 1);
    SpriteChannel channel{};
    channel.setLeft(10);
    channel.setTop(20);
    channel.bytes[4] = 8;
    ring->ink = 8;
    EXPECT_EQ(ring->hitTest(&channel, POINT{10, 20}), 0); // a corner: background
    EXPECT_EQ(ring->hitTest(&channel, POINT{11, 21}), 1); // the ring
    EXPECT_EQ(ring->hitTest(&channel, POINT{12, 23}), 1); // enclosed: part of the figure
    EXPECT_EQ(ring->hitTest(&channel, POINT{15, 25}), 0); // the bottom-right corner
    EXPECT_EQ(ring->hitTest(&channel, POINT{16, 22}), 0); // outside the bounds
    // Another ink takes the whole rectangle.
    ring->ink = 1;
    EXPECT_EQ(ring->hitTest(&channel, POINT{10, 20}), 1);
    // On a hub stage the transparent colour decides, enclosed or not.
    ring->hubHitMode = 1;
    EXPECT_EQ(ring->hitTest(&channel, POINT{12, 23}), 0);
    EXPECT_EQ(ring->hitTest(&channel, POINT{14, 20}), 1);
    ring->destroy();
}

TEST_F(HubMouse, AClickStartsTheChannelsTriggerOrElseTheMembers) {
    skvScore score;
    park(score);
    EventLog events;
    score.setEvents(&events);

    // Hub scores ignore mouse down; neither sprite 8 (no trigger at all) nor empty stage does
    // anything on mouse up but report the miss.
    score.mouseDown(11, 1);
    score.mouseUp(21, 1);
    EXPECT_EQ(score.runningTrigger(), 0);
    EXPECT_EQ(score.scoreletCount(), 0);
    score.mouseUp(50, 50);
    EXPECT_EQ(events.log, (Log{"up 0 0 0"}));

    // Member 5's channel has no script number: its own trigger 7 is started.
    score.mouseUp(1, 1);
    EXPECT_EQ(score.runningTrigger(), 7);
    ASSERT_NE(score.findScorelet(7), nullptr);
    EXPECT_EQ(score.findScorelet(7)->mode, skvScorelet::kMadeForClick);
}

TEST_F(HubMouse, ASecondClickWaitsForTheRunningTriggerWithTheCursorHidden) {
    skvScore score;
    park(score);
    score.mouseMove(11, 1);
    EXPECT_EQ(GetCursor(), loadPluginCursor(kClickCursor));
    score.mouseMove(21, 1); // no trigger: the arrow
    EXPECT_EQ(GetCursor(), arrow());

    score.mouseUp(11, 1);
    ASSERT_EQ(score.runningTrigger(), 9);
    EXPECT_EQ(GetCursor(), nullptr);
    score.mouseUp(1, 1); // ignored while 9 plays
    EXPECT_EQ(score.runningTrigger(), 9);
    EXPECT_EQ(score.findScorelet(7), nullptr);
    score.mouseMove(1, 1);
    EXPECT_EQ(GetCursor(), nullptr);

    // Frames 9 and 10 play; 10 jumps to the hub, which ends the trigger and brings the arrow back.
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.runningTrigger(), 0);
    EXPECT_EQ(GetCursor(), arrow());
    score.mouseUp(1, 1);
    EXPECT_EQ(score.runningTrigger(), 7);
}

TEST_F(HubMouse, TheCursorTellsEnabledTriggersFromOnesStillOnTheirWay) {
    auto* score = new skvScore;
    loadFrom(storedBytes([](uArchive& ar) {
                 skvScore s;
                 s.setScoreData(hubFrames());
                 s.setHubFrame(2);
                 s.serialize(ar);
             }),
             [&](uArchive& ar) {
                 // The reader would have taken the object header.
                 ar.readInt32();
                 ar.readGuid();
                 ar.readGuid();
                 ar.readGuid();
                 ar.readInt32();
                 ar.readInt32();
                 ar.readInt32();
                 score->serialize(ar);
             });
    stream.store.add(score);
    park(*score);

    // Trigger 9 has not been enabled by the stream yet: the wait cursor, and a click does nothing.
    score->mouseMove(11, 1);
    EXPECT_EQ(GetCursor(), loadPluginCursor(kWaitCursor));
    score->mouseUp(11, 1);
    EXPECT_EQ(score->runningTrigger(), 0);

    skvSpriteEnabler enabler(9);
    enabler.attach(&stream);
    score->mouseMove(11, 1);
    EXPECT_EQ(GetCursor(), loadPluginCursor(kClickCursor));
    score->mouseMove(40, 40);
    EXPECT_EQ(GetCursor(), arrow());
}

TEST(PluginCursors, BothResourcesLoadOnceAsTheirPictures) {
    HCURSOR click = loadPluginCursor(kClickCursor);
    HCURSOR wait = loadPluginCursor(kWaitCursor);
    ASSERT_NE(click, nullptr);
    ASSERT_NE(wait, nullptr);
    EXPECT_NE(click, wait);
    EXPECT_EQ(loadPluginCursor(kClickCursor), click);
    EXPECT_EQ(loadPluginCursor(0x6002), nullptr);
    // A cursor the platform takes: SetCursor keeps it.
    SetCursor(wait);
    EXPECT_EQ(GetCursor(), wait);
    SetCursor(arrow());
    int32_t x = -1, y = -1;
    const char* const* art = pluginCursorArt(kClickCursor, &x, &y);
    ASSERT_NE(art, nullptr);
    EXPECT_EQ(art[y][x], '#'); // the hot spot is on the finger's outline
}
