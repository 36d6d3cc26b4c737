// Scorelets over a parked hub score: cutting frames, finishing, rendering and erasing.
#include <gtest/gtest.h>

#include "core/objectmanager.h"
#include "movie/scorelet.h"
#include "movie/spriteenabler.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// Frame i puts member 10 + i on sprite 2 (channel 3) and writes i into byte 100.
std::vector<uint8_t> memberFrames(int n, std::map<int, int16_t> jumps = {}) {
    FrameString f;
    for (int i = 1; i <= n; ++i)
        f.frame({{100, {static_cast<uint8_t>(i)}},
                 {at(3, 6), le16(static_cast<int16_t>(10 + i))},
                 {at(0, 16), le16(jumps[i])}});
    return f.bytes();
}

} // namespace

TEST(Scorelets, CuttingStartsAtTheTriggerFrame) {
    skvScore score;
    score.setScoreData(memberFrames(5));
    skvScorelet s;
    s.cutFrames(score, 3);
    EXPECT_TRUE(s.framesCut());
    s.rewind();
    EXPECT_EQ(s.currentImage()->bytes()[100], 3);
    EXPECT_EQ(s.countFrames(), 3);
    // Frames 0 and 1 both start at the beginning; a start past the end gives no frames.
    s.cutFrames(score, 0);
    s.rewind();
    EXPECT_EQ(s.currentImage()->bytes()[100], 1);
    s.cutFrames(score, 40);
    s.rewind();
    EXPECT_EQ(s.frameNumber(), 0);
    EXPECT_EQ(s.countFrames(), 1);
}

TEST(Scorelets, MaxLayerIsTheHighestChannelAnyFrameUses) {
    skvScore score;
    FrameString f;
    f.frame({{at(5, 6), le16(1)}});
    f.frame({{at(20, 6), le16(2)}});
    f.frame({{at(20, 6), le16(0)}, {at(7, 6), le16(3)}});
    score.setScoreData(f.bytes());
    skvScorelet s;
    s.mode = skvScorelet::kOneShot;
    s.done = 1;
    s.active = 1;
    s.cutFrames(score, 1);
    s.computeMaxLayer();
    EXPECT_EQ(s.maxLayer, 20);
    EXPECT_EQ(s.mode, skvScorelet::kOneShot);
    EXPECT_EQ(s.done, 1);
    EXPECT_EQ(s.active, 1);

    skvScorelet empty;
    empty.cutFrames(score, 9);
    empty.computeMaxLayer();
    EXPECT_EQ(empty.maxLayer, 2); // below the first sprite channel
}

TEST(Scorelets, FinishingLoopsOrEndsByMode) {
    skvScore score;
    score.setScoreData(memberFrames(4));
    for (int32_t mode : {skvScorelet::kStartsItself, skvScorelet::kIdle, skvScorelet::kMadeForClick,
                         skvScorelet::kOneShot}) {
        skvScorelet s;
        s.mode = mode;
        s.cutFrames(score, 2);
        s.setHubFrame(9);
        s.rewind();
        s.goToFrame(3);
        const int32_t r = s.gotoHubFrame();
        EXPECT_EQ(s.done, 1);
        EXPECT_EQ(r, mode == skvScorelet::kStartsItself ? 1 : 0) << mode;
        EXPECT_EQ(s.frameNumber(), mode == skvScorelet::kOneShot ? 3 : 1) << mode;
        EXPECT_EQ(s.enabled, mode == skvScorelet::kOneShot ? 0 : 1) << mode;
    }
}

TEST(Scorelets, AnArmedScoreletLeavesAnEnablerBehind) {
    StoreStream stream;
    auto* score = new skvScore;
    score->setScoreData(memberFrames(4));
    stream.store.add(score);
    skvScorelet s;
    s.mode = skvScorelet::kMadeForClick;
    s.enablerTrigger = 3;
    s.attachStream(&stream);
    s.gotoHubFrame(); // not armed: nothing is left
    EXPECT_EQ(stream.store.count(), 1u);
    s.done = 0;
    s.armed = 1;
    s.gotoHubFrame();
    ASSERT_EQ(stream.store.count(), 2u);
    int32_t trigger = 0;
    stream.store.forEach([&](skvObject* o) {
        if (auto* e = dynamic_cast<skvSpriteEnabler*>(o)) trigger = e->triggerNumber;
    });
    EXPECT_EQ(trigger, 3);
    // Only once.
    s.gotoHubFrame();
    EXPECT_EQ(stream.store.count(), 2u);
}

TEST(Scorelets, ARunningTriggerEndsWithItsScorelet) {
    StoreStream stream;
    skvScore score;
    score.attachStream(&stream);
    score.setHubFrame(2);
    // Frames 5 and 6 are trigger 5's animation; frame 6 jumps back to the hub.
    score.setScoreData(memberFrames(6, {{6, 2}}));
    score.rewind();
    score.goToFrame(2);
    score.gotoFrame(5);
    ASSERT_EQ(score.runningTrigger(), 5);
    skvScorelet* s = score.findScorelet(5);
    ASSERT_NE(s, nullptr);
    // The scorelet's frames: 5, 6 (jumping to the hub), which finishes it.
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(s->currentImage()->bytes()[100], 6);
    EXPECT_EQ(score.runningTrigger(), 5);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.runningTrigger(), 0);
    EXPECT_EQ(s->active, 0);
    EXPECT_EQ(s->needsClear, 1);
    EXPECT_EQ(s->done, 1);
    EXPECT_EQ(score.frameNumber(), 2);
}

TEST(Scorelets, RenderingDrawsActiveOnesAndErasesStoppedOnes) {
    Log log;
    StoreStream stream;
    for (int n : {11, 12, 13, 14})
        stream.addMember(n, new RecordingMember(&log, n));
    RecordingStage stage(&log);
    skvScore score;
    score.attachStream(&stream);
    score.setHubFrame(1);
    score.setScoreData(memberFrames(4));
    auto* s = new skvScorelet;
    s->mode = skvScorelet::kStartsItself;
    s->startFrame = 3;
    score.addScorelet(s);
    score.rewind();
    score.nextFrame(); // parked: cuts and starts the scorelet
    ASSERT_EQ(s->active, 1);

    log.clear();
    score.renderFrame(stage, 1);
    // The score's own sprite on channel 3, then the scorelet's (which starts at channel 3).
    EXPECT_EQ(log, (Log{"draw 11 @0", "dirty 11", "draw 13 @0", "dirty 13"}));

    s->stop();
    log.clear();
    score.renderFrame(stage, 1);
    EXPECT_EQ(log, (Log{"draw 11 @0", "place 13 @0"}));
    EXPECT_EQ(s->needsClear, 0);
    EXPECT_EQ((*s->previousImage())[3].castNumber(), 0);
    log.clear();
    score.renderFrame(stage, 1);
    EXPECT_EQ(log, (Log{"draw 11 @0"}));
}
