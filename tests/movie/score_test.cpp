// Playing a score: advancing, jumps and the hub model, puppets, frame actions, member look-up.
#include <gtest/gtest.h>

#include "core/classids.h"
#include "core/guid.h"
#include "gfx/dib.h"
#include "movie/score.h"
#include "movie/scorelet.h"
#include "movie/spriteenabler.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// Frame i writes i into byte 100 and `jumps[i]` (if any) into its frame script.
std::vector<uint8_t> framesWithJumps(int n, std::map<int, int16_t> jumps = {}) {
    FrameString f;
    for (int i = 1; i <= n; ++i)
        f.frame({{100, {static_cast<uint8_t>(i)}}, {at(0, 16), le16(jumps[i])}});
    return f.bytes();
}

int shownFrame(skvScore& score) {
    return score.currentImage()->bytes()[100];
}

} // namespace

TEST(Advance, LinearScoresPlayInOrderAndIgnoreFrameScripts) {
    skvScore score;
    score.setScoreData(framesWithJumps(3, {{1, 3}}));
    score.rewind();
    EXPECT_EQ(score.pendingJump(), 3);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_EQ(shownFrame(score), 2);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.nextFrame(), 0);
    EXPECT_EQ(score.frameNumber(), 3);
    EXPECT_EQ(shownFrame(score), 3);
}

TEST(Advance, AHubScoreFollowsThePendingJump) {
    skvScore score;
    score.setHubFrame(9);
    score.setScoreData(framesWithJumps(6, {{2, 5}, {5, 1}}));
    score.rewind();
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_EQ(score.pendingJump(), 5);
    score.clearGoFlag();
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 5);
    EXPECT_EQ(score.goFlag(), 1);
    // A jump clears the pending jump: the target's own frame script is not taken up until
    // the target is reached by decoding.
    EXPECT_EQ(score.pendingJump(), 0);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 6);
    EXPECT_EQ(score.nextFrame(), 0);
}

TEST(Advance, AJumpBackwardsDecodesFromTheStart) {
    skvScore score;
    score.setHubFrame(20);
    // Frame 4 writes a byte that frame 2 must not show after the jump back.
    FrameString f;
    for (int i = 1; i <= 4; ++i) {
        std::vector<Record> r{{100, {static_cast<uint8_t>(i)}}, {at(0, 16), le16(i == 4 ? 2 : 0)}};
        if (i == 4) r.push_back({600, {0x66}});
        f.frame(r);
    }
    score.setScoreData(f.bytes());
    score.rewind();
    for (int i = 0; i < 3; ++i)
        score.nextFrame();
    ASSERT_EQ(score.frameNumber(), 4);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_EQ(shownFrame(score), 2);
    EXPECT_EQ(score.currentImage()->bytes()[600], 0);
}

TEST(HubModel, AParkedScoreStaysOnItsHubFrameWhileItHasScorelets) {
    skvScore score;
    score.setHubFrame(3);
    score.setScoreData(framesWithJumps(5));
    score.rewind();
    // Without scorelets the hub frame is passed like any other.
    score.nextFrame();
    score.nextFrame();
    ASSERT_EQ(score.frameNumber(), 3);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 4);

    auto* s = new skvScorelet;
    s->mode = skvScorelet::kStartsItself;
    s->startFrame = 4;
    score.addScorelet(s);
    score.goToFrame(3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(score.nextFrame(), 1);
        EXPECT_EQ(score.frameNumber(), 3);
    }
    // The first update cut its frames from score frame 4 and started it; the next advanced
    // it, and the one after that found its end.
    EXPECT_TRUE(s->framesCut());
    EXPECT_EQ(s->trigger, 4);
    EXPECT_EQ(s->startFrame, 0);
    EXPECT_EQ(s->active, 1);
    EXPECT_EQ(s->currentImage()->bytes()[100], 5);
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 3);
    EXPECT_EQ(s->active, 0);
    EXPECT_EQ(s->needsClear, 1);
}

TEST(HubModel, GoingToAFrameFromTheHubStartsItsTrigger) {
    skvScore score;
    score.setHubFrame(2);
    score.setScoreData(framesWithJumps(14));
    score.rewind();
    // Not parked yet: a plain go to frame.
    EXPECT_EQ(score.gotoFrame(12), 1);
    EXPECT_EQ(score.frameNumber(), 12);
    score.goToFrame(2);
    // Parked: 12 is a trigger. The scorelet made for it plays from score frame 12.
    EXPECT_EQ(score.gotoFrame(12), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_EQ(score.runningTrigger(), 12);
    skvScorelet* s = score.findScorelet(12);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->mode, skvScorelet::kMadeForClick);
    EXPECT_EQ(s->active, 1);
    EXPECT_EQ(s->armed, 1);
    EXPECT_EQ(s->currentImage()->bytes()[100], 12);
    // A second trigger while one runs is ignored.
    score.gotoFrame(13);
    EXPECT_EQ(score.runningTrigger(), 12);
    EXPECT_EQ(score.findScorelet(13), nullptr);
    // The hub frame itself is a frame, not a trigger.
    EXPECT_EQ(score.gotoFrame(2), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_EQ(score.scoreletCount(), 1);
}

TEST(HubModel, AJumpToTheHubFrameParksAndUpdatesScorelets) {
    skvScore score;
    score.setHubFrame(2);
    score.setScoreData(framesWithJumps(4, {{4, 2}}));
    auto* s = new skvScorelet;
    s->mode = skvScorelet::kIdle;
    s->startFrame = 3;
    score.addScorelet(s);
    score.rewind();
    score.goToFrame(3);
    // Advancing decodes frame 4, whose frame script becomes the pending jump.
    EXPECT_EQ(score.nextFrame(), 1);
    ASSERT_EQ(score.frameNumber(), 4);
    EXPECT_EQ(score.pendingJump(), 2);
    EXPECT_FALSE(s->framesCut());
    EXPECT_EQ(score.nextFrame(), 1);
    EXPECT_EQ(score.frameNumber(), 2);
    EXPECT_TRUE(s->framesCut());
    EXPECT_EQ(s->active, 0); // idle scorelets wait for their chance
}

TEST(Triggers, EnablingWaitsForStreamedScoresOnly) {
    skvScore memory;
    EXPECT_TRUE(memory.isTriggerEnabled(40));

    StoreStream stream;
    auto* score = new skvScore;
    // A score read from a stream enables only what enablers switched on.
    loadFrom(storedBytes([](uArchive& ar) {
                 skvScore s;
                 s.setScoreData(framesWithJumps(3));
                 s.setHubFrame(1);
                 auto* one = new skvScorelet;
                 one->mode = skvScorelet::kOneShot;
                 one->startFrame = 3;
                 s.addScorelet(one);
                 s.serialize(ar);
             }),
             [&](uArchive& ar) {
                 ar.readInt32(); // skip the header: the reader would have consumed it
                 ar.readGuid();
                 ar.readGuid();
                 ar.readGuid();
                 ar.readInt32();
                 ar.readInt32();
                 ar.readInt32();
                 score->serialize(ar);
             });
    stream.store.add(score);
    EXPECT_FALSE(score->isTriggerEnabled(3));
    EXPECT_FALSE(score->isTriggerEnabled(7));

    skvSpriteEnabler early(7), forScorelet(3);
    early.attach(&stream);
    forScorelet.attach(&stream);
    EXPECT_TRUE(score->isTriggerEnabled(7));
    EXPECT_TRUE(score->isTriggerEnabled(3));
    EXPECT_EQ(score->findScorelet(3)->enabled, 1);

    // A one-shot plays once; afterwards its trigger is disabled and it stays put.
    score->goToFrame(1);
    score->startTrigger(3);
    EXPECT_EQ(score->runningTrigger(), 3);
    skvScorelet* s = score->findScorelet(3);
    s->attachStream(&stream);
    EXPECT_EQ(s->gotoHubFrame(), 0);
    EXPECT_EQ(s->done, 1);
    EXPECT_FALSE(score->isTriggerEnabled(3));
    EXPECT_TRUE(score->isScoreletDone(3));
    const int32_t frame = s->frameNumber();
    EXPECT_EQ(s->rewind(), 1);
    EXPECT_EQ(s->nextFrame(), 1);
    EXPECT_EQ(s->frameNumber(), frame);
}

TEST(Triggers, ScoreletsSortActiveByLayerAfterInactive) {
    skvScore score;
    auto make = [&](int32_t mode, int32_t active, int32_t layer) {
        auto* s = new skvScorelet;
        s->mode = mode;
        s->active = active;
        s->maxLayer = layer;
        score.addScorelet(s);
        return s;
    };
    skvScorelet* inactive = make(skvScorelet::kStartsItself, 0, 3);
    skvScorelet* oneShot = make(skvScorelet::kOneShot, 1, 10);
    skvScorelet* plain = make(skvScorelet::kStartsItself, 1, 10);
    skvScorelet* low = make(skvScorelet::kIdle, 1, 4);
    score.sortScorelets();
    EXPECT_EQ(score.scoreletAt(0), low);
    EXPECT_EQ(score.scoreletAt(1), plain);
    EXPECT_EQ(score.scoreletAt(2), oneShot);
    EXPECT_EQ(score.scoreletAt(3), inactive);
}

TEST(Puppets, APuppetChannelKeepsWhatScriptsSetButFollowsTheScoreScript) {
    StoreStream stream;
    auto* bitmap = stream.addMember(9, new nDIB);
    bitmap->create(33, 21);
    skvScore score;
    score.attachStream(&stream);
    FrameString f;
    f.frame({{at(3, 6), le16(4)}, {at(3, 10), le16(50)}, {at(3, 16), le16(70)}});
    f.frame({{at(3, 10), le16(60)}, {at(3, 16), le16(71)}});
    score.setScoreData(f.bytes());
    score.rewind();
    score.puppetSprite(2, 1);
    EXPECT_TRUE(score.spriteChannel(2)->isPuppet());
    SpriteChannel* p = score.propertyChannel(2);
    ASSERT_EQ(p, score.puppetChannel(2));
    p->setCastNumber(9);
    p->setLeft(5);

    score.nextFrame();
    const SpriteChannel& shown = *score.spriteChannel(2);
    EXPECT_EQ(shown.left(), 5);
    EXPECT_EQ(shown.castNumber(), 9);
    EXPECT_EQ(shown.scriptNumber(), 71);
    // The size comes from the new member only when rendering looks members up.
    EXPECT_EQ(shown.width(), 0);
    score.cursor().mergePuppets(&score);
    EXPECT_EQ(score.spriteChannel(2)->width(), 33);
    EXPECT_EQ(score.spriteChannel(2)->height(), 21);

    // Off: the puppet copy stays in the current image until the frames change it.
    score.puppetSprite(2, 0);
    EXPECT_FALSE(score.spriteChannel(2)->isPuppet());
    EXPECT_EQ(score.spriteChannel(2)->castNumber(), 9);
    EXPECT_EQ(score.propertyChannel(2), score.spriteChannel(2));
    score.goToFrame(2);
    EXPECT_EQ(score.spriteChannel(2)->castNumber(), 4);
    EXPECT_EQ(score.spriteChannel(2)->left(), 60);

    // Sprite 0 and sprites past 48 have no channel to puppet.
    score.puppetSprite(0, 1);
    EXPECT_FALSE(score.puppetChannel(0)->isPuppet());
    EXPECT_EQ(score.spriteChannel(49), nullptr);
    EXPECT_EQ(score.propertyChannel(-1), nullptr);
    score.puppetSprite(49, 1);
}

TEST(Puppets, TheSoundPuppetRemembersTheFramesSound) {
    skvScore score;
    score.setScoreData(FrameString().frame({{at(0, 6), le16(11)}}).bytes());
    score.rewind();
    score.puppetSound(20);
    EXPECT_EQ(score.currentImage()->soundNumber(), 20);
    EXPECT_EQ(score.soundPuppet(), 1);
    EXPECT_EQ(score.soundForced(), 1);
    score.puppetSound(21);
    score.puppetSound(0);
    EXPECT_EQ(score.soundPuppet(), 0);
    EXPECT_EQ(score.currentImage()->soundNumber(), 11);
}

TEST(FrameActions, TargetsAreSignExtendedFromBit29) {
    EXPECT_EQ((FrameAction{0, 0x3FFFFFFF}.value()), -1);
    EXPECT_EQ((FrameAction{0, static_cast<int32_t>(0xC0000005)}.value()), 5);
    EXPECT_EQ((FrameAction{1, 0x20000000}.value()), -0x20000000);
    EXPECT_EQ((FrameAction{1, 0x1FFFFFFF}.value()), 0x1FFFFFFF);
    EXPECT_TRUE((FrameAction{4, 1}.isMarker()));
    EXPECT_TRUE((FrameAction{5, 1}.shows()));
    EXPECT_FALSE((FrameAction{3, 1}.shows()));
}

TEST(FrameActions, FiringShowsAndHidesMembersAndStopsScorelets) {
    StoreStream stream;
    auto* a = stream.addMember(5, new skvObject);
    auto* b = stream.addMember(6, new skvObject);
    b->hidden = 1;
    skvScore score;
    score.attachStream(&stream);
    auto* s = new skvScorelet;
    s->startFrame = 8;
    s->active = 1;
    score.addScorelet(s);
    const int32_t minus = 0x3FFFFFFF; // -1 in 30 bits, tagged bits above ignored
    score.frameActions().assign({
        {0, 2},                                               // frame 2:
        {2, static_cast<int32_t>(0xC0000000u | (minus - 4))}, // hide member 5
        {1, -6},                                              // show member 6
        {3, 8},                                               // stop the scorelet of trigger 8
        {0, 3},                                               // frame 3:
        {1, -5},                                              // show member 5
    });
    score.fireFrameActions(2);
    EXPECT_EQ(a->hidden, 1);
    EXPECT_EQ(b->hidden, 0);
    EXPECT_EQ(s->active, 0);
    EXPECT_EQ(s->needsClear, 1);
    score.fireFrameActions(4);
    EXPECT_EQ(a->hidden, 1);
    score.fireFrameActions(3);
    EXPECT_EQ(a->hidden, 0);
}

TEST(FrameActions, AHubJumpFiresTheActionsOfTheFrameItLeaves) {
    StoreStream stream;
    auto* m = stream.addMember(5, new skvObject);
    skvScore score;
    score.attachStream(&stream);
    score.setHubFrame(10);
    score.setScoreData(framesWithJumps(3, {{2, 1}}));
    score.frameActions().assign({{0, 2}, {2, -5}});
    score.rewind();
    score.nextFrame();
    EXPECT_EQ(m->hidden, 0);
    score.nextFrame(); // leaves frame 2 for frame 1
    EXPECT_EQ(score.frameNumber(), 1);
    EXPECT_EQ(m->hidden, 1);
}

TEST(Members, NumbersNameObjectsInTheStore) {
    const GUID id = memberGuid(300);
    EXPECT_EQ(id.Data1, 300u);
    EXPECT_EQ(id.Data2, 300);
    EXPECT_EQ(id.Data3, 300);
    for (uint8_t b : id.Data4)
        EXPECT_EQ(b, 0x2C);
    const GUID neg = memberGuid(int16_t{-101});
    EXPECT_EQ(neg.Data1, 0xFFFFFF9Bu);
    EXPECT_EQ(neg.Data2, 0xFF9B);

    StoreStream stream;
    auto* m = stream.addMember(300, new skvObject);
    auto* palette = stream.addMember(-3, new skvObject);
    auto* zero = new skvObject;
    zero->objectId = GUID{};
    stream.store.add(zero);
    skvScore score;
    EXPECT_EQ(score.findMember(300), nullptr); // no stream yet
    score.attachStream(&stream);
    EXPECT_EQ(score.findMember(300), m);
    EXPECT_EQ(score.findMemberWaiting(300), m);
    EXPECT_EQ(score.findMember(-3), palette);
    EXPECT_EQ(score.findMember(301), nullptr);
    // Number 0 is no member, even if something sits under the all-zero identifier.
    EXPECT_EQ(score.findMember(0), nullptr);
    EXPECT_EQ(score.findMemberWaiting(0), nullptr);
}
