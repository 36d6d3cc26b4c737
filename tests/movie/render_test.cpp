// Rendering a frame against a stage that writes down what it is asked to do.
#include <gtest/gtest.h>

#include "gfx/dib.h"
#include "movie/score.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// Sprite 1 is channel 2.
Record spriteCast(int sprite, int16_t member) {
    return {at(sprite + 1, 6), le16(member)};
}
Record spriteLeft(int sprite, int16_t left) {
    return {at(sprite + 1, 10), le16(left)};
}
Record spriteType(int sprite, uint8_t type) {
    return {at(sprite + 1, 0), {type}};
}
Record tempoByte(uint8_t t) {
    return {at(0, 5), {t}};
}
Record sound(int16_t member) {
    return {at(0, 6), le16(member)};
}

struct Fixture {
    Log log;
    StoreStream stream;
    RecordingStage stage{&log};
    skvScore score;

    Fixture(const FrameString& frames, std::initializer_list<int32_t> members) {
        for (int32_t n : members)
            stream.addMember(n, new RecordingMember(&log, n));
        score.attachStream(&stream);
        score.setScoreData(frames.bytes());
        score.rewind();
    }
    Log render(int32_t quiet = 0) {
        log.clear();
        score.renderFrame(stage, quiet);
        return log;
    }
};

} // namespace

TEST(Render, ChangedChannelsMarkTheirOldAndNewAreas) {
    FrameString f;
    f.frame({spriteCast(1, 5), spriteLeft(1, 10), spriteCast(2, 6), spriteLeft(2, 1)});
    f.frame({spriteLeft(1, 20)});
    f.frame({spriteCast(1, 7)});
    Fixture t(f, {5, 6, 7});
    EXPECT_EQ(t.render(1), (Log{"draw 5 @10", "dirty 5", "draw 6 @1", "dirty 6"}));
    // Nothing changed: drawn again, nothing marked.
    EXPECT_EQ(t.render(1), (Log{"draw 5 @10", "draw 6 @1"}));
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"draw 5 @20", "dirty 5", "place 5 @10", "draw 6 @1"}));
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"draw 7 @20", "dirty 7", "place 5 @20", "draw 6 @1"}));
    // A forced redraw marks every channel with a member.
    t.score.requestRedraw();
    EXPECT_EQ(t.render(),
              (Log{"draw 7 @20", "dirty 7", "place 7 @20", "draw 6 @1", "dirty 6", "place 6 @1"}));
    EXPECT_EQ(t.render(), (Log{"draw 7 @20", "draw 6 @1"}));
}

TEST(Render, HiddenMembersOnlyPlaceThemselves) {
    FrameString f;
    f.frame({spriteCast(1, 5), spriteLeft(1, 10)});
    f.frame({spriteLeft(1, 30)});
    Fixture t(f, {5});
    t.score.findMember(5)->hidden = 1;
    EXPECT_EQ(t.render(1), (Log{"place 5 @10", "dirty 5"}));
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"place 5 @30", "dirty 5", "place 5 @10"}));
    t.score.findMember(5)->hidden = 0;
    EXPECT_EQ(t.render(), (Log{"draw 5 @30"}));
}

TEST(Render, InvisibleChannelsAreNotDrawnButStillMarked) {
    Fixture t(FrameString().frame({spriteCast(3, 5)}), {5});
    t.render(1);
    t.score.setVisibility(3, 0);
    EXPECT_EQ(t.score.visibility(3), 0);
    EXPECT_EQ(t.render(), (Log{"dirty 5", "place 5 @0"}));
    EXPECT_EQ(t.render(), Log{});
    t.score.setVisibility(3, 1);
    EXPECT_EQ(t.render(), (Log{"draw 5 @0", "dirty 5", "place 5 @0"}));
}

TEST(Render, MissingMembersAreSkipped) {
    Fixture t(FrameString().frame({spriteCast(1, 5), spriteCast(2, 99)}), {5});
    EXPECT_EQ(t.render(), (Log{"draw 5 @0", "dirty 5"}));
}

TEST(Render, PaletteAndSoundChannels) {
    FrameString f;
    f.frame({{at(1, 0), le16(7)}, sound(11)});
    f.frame({{at(1, 0), le16(0)}, sound(12)});
    f.frame({});
    Fixture t(f, {7, 11, 12});
    // A quiet render leaves sound alone; the palette is made the stage's either way.
    EXPECT_EQ(t.render(1), (Log{"draw 7", "palette changed"}));
    EXPECT_EQ(t.score.currentPalette(), 7);
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"place 11", "draw 12"}));
    t.score.nextFrame();
    EXPECT_EQ(t.render(), Log{});
    // A puppeted sound stops frames from changing it, except for the one a script forces.
    t.score.goToFrame(1);
    t.score.setSoundPuppet(1);
    EXPECT_EQ(t.render(), (Log{"draw 7", "palette changed"}));
    t.score.puppetSound(12);
    EXPECT_EQ(t.render(), (Log{"draw 7", "palette changed", "place 11", "draw 12"}));
    EXPECT_EQ(t.score.soundForced(), 0);
}

TEST(Render, TempoBytes) {
    for (auto [byte, expected] :
         std::initializer_list<std::pair<uint8_t, Log>>{{30, {"tempo 30"}},
                                                        {60, {"tempo 60"}},
                                                        {61, {}},
                                                        {0, {}},
                                                        {128, {"wait 128"}},
                                                        {135, {"wait 135"}},
                                                        {191, {}},
                                                        {200, {"wait 200"}},
                                                        {255, {"wait 255"}}}) {
        Fixture t(FrameString().frame({tempoByte(byte)}), {});
        EXPECT_EQ(t.render(), expected) << int(byte);
    }
}

TEST(Render, ShapeSpritesDrawOnlyInLinearScores) {
    FrameString f;
    f.frame({spriteType(1, 2), spriteLeft(1, 4), spriteType(2, 6), spriteType(3, 12),
             spriteCast(3, 5)});
    Fixture linear(f, {5});
    EXPECT_EQ(linear.render(), (Log{"shape 3 @4", "shape 2 @0"}));
    Fixture hub(f, {5});
    hub.score.setHubFrame(4);
    EXPECT_EQ(hub.render(), Log{});
}

TEST(Render, TransitionsRunBetweenFramesButNotIntoTheFirst) {
    FrameString f;
    // Effect 5, chunk 4, three quarter seconds.
    f.frame({{at(0, 2), {4, 3, 5}}});
    f.frame({{at(0, 0), {0}}});
    f.frame({{at(0, 4), {0}}});
    Fixture t(f, {});
    EXPECT_EQ(t.render(), Log{});
    t.score.nextFrame();
    EXPECT_EQ(t.render(1), Log{});
    EXPECT_EQ(t.render(), (Log{"transition 5 4 834 30"}));
    t.score.nextFrame();
    EXPECT_EQ(t.render(), Log{});
}

TEST(Render, APuppetTransitionGivesWayToTheFramesOwn) {
    FrameString f;
    f.frame({{at(0, 4), {2}}});
    f.frame({});
    Fixture t(f, {});
    t.score.setPuppetTransition(1);
    t.score.currentImage()->setTransitionEffect(9);
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"transition 9 0 0 30"}));
    EXPECT_EQ(t.score.puppetTransition(), 0);
    EXPECT_EQ(t.score.currentImage()->transitionEffect(), 2);
    EXPECT_EQ(t.score.previousImage()->transitionEffect(), 2);
}

TEST(Render, AScriptsTransitionWinsOverTheEnteredFramesOwnWhichComesBackAfter) {
    // Frame 2 names effect 5 with chunk 3; the script asked for effect 9, chunk 7, 2 quarters.
    FrameString f;
    f.frame({});
    f.frame({{at(0, 2), {3, 0}}, {at(0, 4), {5}}});
    f.frame({});
    Fixture t(f, {});
    t.score.setPuppetTransition(1);
    t.score.currentImage()->setTransitionEffect(9);
    t.score.currentImage()->setTransitionParams(0x0207);
    t.score.setPuppetTransitionValues(9, 0x0207);
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"transition 9 7 556 30"}));
    EXPECT_EQ(t.score.puppetTransition(), 0);
    // Frame 2's own values stay in its channel, and frame 3 inherits them.
    EXPECT_EQ(t.score.currentImage()->transitionEffect(), 5);
    EXPECT_EQ(t.score.currentImage()->chunkSize(), 3);
    t.score.nextFrame();
    EXPECT_EQ(t.render(), (Log{"transition 5 3 0 30"}));
}

TEST(Render, AMemberShownAgainByAFrameActionReachesTheWindowInThatFrame) {
    FrameString f;
    f.frame({spriteCast(1, 5), spriteLeft(1, 10)});
    Fixture t(f, {5});
    // Frame 1's actions: hide member 5, then (another time) show it again.
    t.score.frameActions().assign({{0, 1}, {2, -5}});
    t.score.fireFrameActions(1);
    EXPECT_EQ(t.render(), (Log{"place 5 @10", "dirty 5"}));
    EXPECT_EQ(t.render(), (Log{"place 5 @10"}));
    t.score.frameActions().assign({{0, 1}, {1, -5}});
    t.score.fireFrameActions(1);
    // Nothing else changed, yet its area goes to the window with the frame that shows it.
    EXPECT_EQ(t.render(), (Log{"draw 5 @10", "dirty 5"}));
    EXPECT_EQ(t.render(), (Log{"draw 5 @10"}));
}

TEST(Render, PuppetChannelsTakeTheSizeOfANewMember) {
    Log log;
    StoreStream stream;
    auto* bitmap = stream.addMember(9, new nDIB);
    bitmap->create(12, 7);
    stream.addMember(4, new RecordingMember(&log, 4));
    RecordingStage stage(&log);
    skvScore score;
    score.attachStream(&stream);
    score.setScoreData(FrameString().frame({spriteCast(1, 4)}).bytes());
    score.rewind();
    score.renderFrame(stage, 1);
    score.puppetSprite(1, 1);
    score.puppetChannel(1)->setCastNumber(9);
    score.renderFrame(stage, 1);
    EXPECT_EQ(score.spriteChannel(1)->width(), 12);
    EXPECT_EQ(score.spriteChannel(1)->height(), 7);
    // Once rendered, a script's own size is kept.
    score.puppetChannel(1)->setWidth(40);
    score.renderFrame(stage, 1);
    EXPECT_EQ(score.spriteChannel(1)->width(), 40);
}
