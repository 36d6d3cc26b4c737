#include <gtest/gtest.h>

#include "movie/score.h"
#include "movie/scorecursor.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// Frames that write their own number into byte 100 and sprite 1's cast member.
std::vector<uint8_t> numberedFrames(int n) {
    FrameString f;
    for (int i = 1; i <= n; ++i)
        f.frame({{100, {static_cast<uint8_t>(i)}}, {at(2, 6), le16(static_cast<int16_t>(i))}});
    return f.bytes();
}

} // namespace

TEST(FrameDecoding, FramesApplyOnTopOfTheirPredecessors) {
    auto data = FrameString()
                    .frame({{0, {1, 2, 3}}, {998, {7, 8}}})
                    .frame({{1, {9}}})
                    .frame({{0, {}, 0}}) // a record that changes nothing still makes a frame
                    .bytes();
    skvScoreCursor c(data.data(), static_cast<int32_t>(data.size()));
    EXPECT_EQ(c.frameNumber(), 0);
    ASSERT_TRUE(c.decodeUpTo(1));
    EXPECT_EQ(c.frameNumber(), 1);
    EXPECT_EQ(c.current.bytes()[0], 1);
    EXPECT_EQ(c.current.bytes()[1], 2);
    EXPECT_EQ(c.current.bytes()[999], 8);
    ASSERT_TRUE(c.decodeUpTo(3));
    EXPECT_EQ(c.frameNumber(), 3);
    EXPECT_EQ(c.current.bytes()[0], 1);
    EXPECT_EQ(c.current.bytes()[1], 9);
    EXPECT_EQ(c.current.bytes()[2], 3);
    EXPECT_FALSE(c.decodeUpTo(4));
    EXPECT_EQ(c.frameNumber(), 3);
    EXPECT_EQ(c.current.bytes()[1], 9);
}

TEST(FrameDecoding, CountFramesFromTheReadPosition) {
    auto data = numberedFrames(6);
    skvScore score;
    score.setScoreData(data);
    score.goToFrame(1);
    EXPECT_EQ(score.countFrames(), 6);
    EXPECT_EQ(score.cachedFrameCount(), 6);
    score.goToFrame(4);
    EXPECT_EQ(score.countFrames(), 3);

    skvScore empty;
    EXPECT_EQ(empty.countFrames(), 1);
    EXPECT_EQ(empty.frameNumber(), 0);
}

TEST(GoToFrame, GoingBackwardsDecodesAgainFromZero) {
    // Frame 6 writes a byte no earlier frame touches: it must be gone after going back.
    FrameString f;
    for (int i = 1; i <= 7; ++i) {
        std::vector<Record> r{{100, {static_cast<uint8_t>(i)}}};
        if (i == 6) r.push_back({500, {0xAA}});
        f.frame(r);
    }
    skvScore score;
    score.setScoreData(f.bytes());
    ASSERT_EQ(score.goToFrame(7), 1);
    EXPECT_EQ(score.currentImage()->bytes()[500], 0xAA);
    score.clearGoFlag();
    ASSERT_EQ(score.goToFrame(5), 1);
    EXPECT_EQ(score.goFlag(), 1);
    EXPECT_EQ(score.frameNumber(), 5);
    EXPECT_EQ(score.currentImage()->bytes()[100], 5);
    EXPECT_EQ(score.currentImage()->bytes()[500], 0);
    // The same frame again is decoded again, not kept.
    score.currentImage()->bytes()[300] = 1;
    ASSERT_EQ(score.goToFrame(5), 1);
    EXPECT_EQ(score.currentImage()->bytes()[300], 0);
}

TEST(GoToFrame, FrameZeroShowsFrameOneAndMissingFramesStayOnTheLast) {
    skvScore score;
    score.setScoreData(numberedFrames(4));
    ASSERT_EQ(score.goToFrame(3), 1);
    ASSERT_EQ(score.goToFrame(0), 1);
    EXPECT_EQ(score.frameNumber(), 1);
    EXPECT_EQ(score.currentImage()->bytes()[100], 1);

    EXPECT_EQ(score.goToFrame(9), 0);
    EXPECT_EQ(score.frameNumber(), 4);
    EXPECT_EQ(score.currentImage()->bytes()[100], 4);
}

TEST(FrameDecoding, RecordsAreCutToTheImage) {
    auto data = FrameString()
                    .frame({{995, {1, 2, 3, 4, 5, 6, 7, 8}}})     // runs 3 bytes past the end
                    .frame({{-2, {9, 9, 10, 11}}})                // starts 2 bytes before it
                    .frame({{1200, {0xEE}}, {20, {0x33}}})        // wholly outside, then inside
                    .frame({{static_cast<int16_t>(-32768), {1}}}) // far below
                    .bytes();
    skvScoreCursor c(data.data(), static_cast<int32_t>(data.size()));
    ASSERT_TRUE(c.decodeUpTo(1));
    EXPECT_EQ(c.current.bytes()[995], 1);
    EXPECT_EQ(c.current.bytes()[999], 5);
    ASSERT_TRUE(c.decodeUpTo(2));
    EXPECT_EQ(c.current.bytes()[0], 10);
    EXPECT_EQ(c.current.bytes()[1], 11);
    EXPECT_EQ(c.current.bytes()[2], 0);
    ASSERT_TRUE(c.decodeUpTo(4));
    EXPECT_EQ(c.current.bytes()[20], 0x33);
}

TEST(FrameDecoding, RecordBytesStayInsideTheirFrame) {
    // The record claims 50 bytes but its frame holds 2: the next frame's bytes are not taken.
    std::vector<uint8_t> data;
    put16(data, 2 + 4 + 2);
    put16(data, 50);
    put16(data, 10);
    data.push_back(0x11);
    data.push_back(0x22);
    auto rest = FrameString().frame({{0, {0x44}}}).bytes();
    data.insert(data.end(), rest.begin(), rest.end());
    skvScoreCursor c(data.data(), static_cast<int32_t>(data.size()));
    ASSERT_TRUE(c.decodeUpTo(1));
    EXPECT_EQ(c.current.bytes()[10], 0x11);
    EXPECT_EQ(c.current.bytes()[11], 0x22);
    EXPECT_EQ(c.current.bytes()[12], 0);
    ASSERT_TRUE(c.decodeUpTo(2));
    EXPECT_EQ(c.current.bytes()[0], 0x44);

    // A negative count ends the frame's records; the frame itself still counts.
    auto neg = FrameString().frame({{5, {1}, -3}, {6, {2}}}).frame({{7, {3}}}).bytes();
    skvScoreCursor n(neg.data(), static_cast<int32_t>(neg.size()));
    ASSERT_TRUE(n.decodeUpTo(2));
    EXPECT_EQ(n.current.bytes()[6], 0);
    EXPECT_EQ(n.current.bytes()[7], 3);
}

TEST(FrameDecoding, AFrameThatOverrunsTheDataEndsDecoding) {
    auto data = FrameString().frame({{0, {1}}}).frame({{0, {2}}}).bytes(false);
    // A third frame claiming 40 bytes of which 6 are there.
    put16(data, 40);
    put16(data, 1);
    put16(data, 0);
    data.push_back(3);
    skvScoreCursor c(data.data(), static_cast<int32_t>(data.size()));
    EXPECT_EQ(c.countFrames(), 3); // two frames ahead of frame 0, plus one
    EXPECT_FALSE(c.decodeUpTo(3));
    EXPECT_EQ(c.frameNumber(), 2);
    EXPECT_EQ(c.current.bytes()[0], 2);

    // Lengths that cannot hold their own length word end decoding, as do negative ones.
    for (int16_t bad : {int16_t(1), int16_t(-4), int16_t(-32768)}) {
        auto d = FrameString().frame({{0, {1}}}).bytes(false);
        put16(d, bad);
        d.insert(d.end(), 8, 0x55);
        skvScoreCursor b(d.data(), static_cast<int32_t>(d.size()));
        EXPECT_FALSE(b.decodeUpTo(5)) << bad;
        EXPECT_EQ(b.frameNumber(), 1) << bad;
    }

    // No end marker at all: the data still ends, even on half a length word.
    auto noMarker = FrameString().frame({{0, {1}}}).bytes(false);
    noMarker.push_back(9);
    skvScoreCursor m(noMarker.data(), static_cast<int32_t>(noMarker.size()));
    EXPECT_FALSE(m.decodeUpTo(2));
    EXPECT_EQ(m.frameNumber(), 1);
}

TEST(ScoreCursor, ResetsKeepOrClearTheOtherImages) {
    auto data = numberedFrames(3);
    skvScoreCursor c(data.data(), static_cast<int32_t>(data.size()));
    c.decodeUpTo(3);
    c.previous.bytes()[40] = 1;
    c.puppet.bytes()[41] = 2;
    c.visibility[7] = 0;
    c.reset();
    EXPECT_EQ(c.frameNumber(), 1);
    EXPECT_EQ(c.current.bytes()[100], 1);
    EXPECT_EQ(c.previous.bytes()[40], 1);
    EXPECT_EQ(c.visibility[7], 0);
    c.fullReset();
    EXPECT_EQ(c.previous.bytes()[40], 0);
    EXPECT_EQ(c.puppet.bytes()[41], 0);
    EXPECT_NE(c.visibility[7], 0);
    EXPECT_EQ(c.readPosition(), data.size() - 2 - 2 * 13);
}
