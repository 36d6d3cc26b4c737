#include <gtest/gtest.h>

#include "host_fixture.h"
#include "script/framelabels.h"
#include "script/nametables.h"

using namespace skv;

namespace {

// A table from (frame, text) pairs, in the stored layout.
FrameLabelTable table(const std::vector<std::pair<int16_t, std::string>>& labels) {
    return skvtest::labelTable(labels);
}

TEST(FrameLabels, FrameOfALabelMatchesWholeNamesIgnoringCase) {
    FrameLabelTable t = table({{3, "Intro"}, {7, ""}, {9, "loop"}, {12, "Loop"}});
    EXPECT_EQ(t.frameOfLabel("intro"), 3);
    EXPECT_EQ(t.frameOfLabel("LOOP"), 9) << "the first match wins";
    EXPECT_EQ(t.frameOfLabel("intr"), 0);
    EXPECT_EQ(t.frameOfLabel("intro2"), 0);
    EXPECT_EQ(t.frameOfLabel(""), 0) << "an empty label never matches";
}

TEST(FrameLabels, LabelOfAFrame) {
    FrameLabelTable t = table({{3, "a"}, {9, "b"}, {9, "c"}});
    std::string s;
    EXPECT_TRUE(t.labelOfFrame(9, &s));
    EXPECT_EQ(s, "b");
    EXPECT_FALSE(t.labelOfFrame(4, &s));
    EXPECT_FALSE(t.labelOfFrame(100, &s));
}

TEST(FrameLabels, Markers) {
    FrameLabelTable t = table({{3, "a"}, {9, "b"}, {15, "c"}});
    EXPECT_EQ(t.marker(0, 1), 3) << "before the first label";
    EXPECT_EQ(t.marker(0, 10), 9);
    EXPECT_EQ(t.marker(1, 10), 15);
    EXPECT_EQ(t.marker(-1, 10), 3);
    EXPECT_EQ(t.marker(-5, 10), 3);
    EXPECT_EQ(t.marker(5, 9), 15) << "clamped to the last label";
    EXPECT_EQ(t.marker(1, 1), 3) << "the next label before the first one is the first";
    EXPECT_EQ(t.marker(2, 1), 9);
    EXPECT_EQ(t.marker(1, 20), 15);
}

TEST(FrameLabels, EmptyAndCorruptTables) {
    FrameLabelTable none = table({});
    std::string s;
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.frameOfLabel("x"), 0);
    EXPECT_FALSE(none.labelOfFrame(1, &s));
    EXPECT_EQ(none.marker(0, 5), 0);
    // A count whose pairs do not fit: no labels.
    FrameLabelTable big(std::vector<uint8_t>{100, 0, 1, 0, 0, 0});
    EXPECT_EQ(big.count(), 0);
    FrameLabelTable negative(std::vector<uint8_t>{0xFF, 0xFF, 1, 0});
    EXPECT_EQ(negative.count(), 0);
    // Text offsets past the text area, or running backwards, give the empty text.
    std::vector<uint8_t> b = {2, 0, 1, 0, 0, 0, 2, 0, 50, 0, 0, 0, 2, 0, 'a', 'b'};
    FrameLabelTable odd(b);
    ASSERT_EQ(odd.count(), 2);
    EXPECT_EQ(odd.textAt(0), "");
    EXPECT_EQ(odd.textAt(1), "");
    EXPECT_EQ(odd.frameOfLabel("ab"), 0);
}

TEST(NameTables, ExactMapsBesideTheLists) {
    NameTable n;
    n.assign({"go", "Go", "go"});
    EXPECT_EQ(n.nameIdOf("go"), 0);
    EXPECT_EQ(n.nameIdOf("Go"), 1);
    EXPECT_EQ(n.nameIdOf("GO"), -1);
    EXPECT_EQ(n.nameOf(-1), nullptr);
    EXPECT_EQ(n.nameOf(3), nullptr);
    CastNameTable c;
    c.assign({{"BALL", 3}, {"BAT", 4}});
    EXPECT_EQ(c.castNumberOf("BAT"), 4);
    EXPECT_EQ(c.castNumberOf("bat"), 0);
    EXPECT_STREQ(c.nameOf(3), "BALL");
    EXPECT_EQ(c.nameOf(9), nullptr);
}

} // namespace
