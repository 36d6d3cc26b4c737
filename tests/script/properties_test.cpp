// The "the" properties through the property opcodes: named ones, and the numbered tables with
// what each category takes from the stack.
#include <gtest/gtest.h>

#include "core/spritechannel.h"
#include "host_fixture.h"

namespace skvtest {
namespace {

std::string ret(const std::string& body) {
    return body + "\n" + kReturnTop;
}

// getEntity of property `number` in `category` with the objects pushed first.
std::string getEntity(int category, int number, const std::string& objects = "") {
    return ret(objects + "pushInt " + std::to_string(number) + "\ngetEntity " +
               std::to_string(category) + "\n");
}

// setEntity: the object (when the category takes one), the value, the number.
std::string setEntity(int category, int number, const std::string& objectAndValue) {
    return objectAndValue + "pushInt " + std::to_string(number) + "\nsetEntity " +
           std::to_string(category) + "\n";
}

// A body run for its effect: the handler returns 0.
std::string effect(const std::string& body) {
    return body + "\npushInt 0\n" + kReturnTop;
}

TEST_F(HostTest, NamedPropertiesReadTheirValues) {
    EXPECT_EQ(run(ret("getNamedProp 19")), integer(INT32_MAX));
    player.frame = 6;
    EXPECT_EQ(run(ret("getNamedProp 14")), integer(6));
    const std::pair<const char*, int32_t> fixed[] = {
        {"machineType", 256}, {"loaded", 1},        {"ticks", 0},        {"lastFrame", 30},
        {"stageLeft", 10},    {"stageBottom", 404}, {"frameScript", 46}, {"mouseUp", 1},
    };
    for (auto [name, value] : fixed) {
        ScriptValue v;
        ASSERT_TRUE(host().getNamedProp(engine, name, &v)) << name;
        EXPECT_EQ(see(v), integer(value)) << name;
        releaseValue(v);
    }
    ScriptValue movie;
    ASSERT_TRUE(host().getNamedProp(engine, "movie", &movie));
    EXPECT_EQ(see(movie), (Seen{vtString, 0, ""}));
    EXPECT_FALSE(host().getNamedProp(engine, "Frame", &movie)) << "names compare exactly";
}

TEST_F(HostTest, AnUnknownNamedPropertyReadsAsTheResult) {
    // Handler 1 returns 5, which stays the result after the call.
    EXPECT_EQ(run(ret("argList 0\ncallLocal 1\ngetNamedProp 17\n") + ".handler 1\npushInt 5\n" +
                  kReturnTop),
              integer(5));
    EXPECT_EQ(run(ret("pushInt 3\ngetObjectProp 17")), (Seen{vtVoid, 0, ""}))
        << "the object form reads as void";
}

TEST_F(HostTest, InputPropertiesComeFromThePlayer) {
    player.in.clickLoc = {40, 50};
    player.in.buttonDown = 1;
    player.in.lastClickSecond = GetTickCount() / 1000 - 2;
    ScriptValue v;
    ASSERT_TRUE(host().getNamedProp(engine, "clickLoc", &v));
    ScriptValue h, vv;
    host().getObjectProp(engine, "locH", v, &h);
    host().getObjectProp(engine, "locV", v, &vv);
    EXPECT_EQ(see(h), integer(40));
    EXPECT_EQ(see(vv), integer(50));
    releaseValue(v);
    ASSERT_TRUE(host().getNamedProp(engine, "lastClick", &v));
    EXPECT_EQ(see(v), integer(121)) << "two seconds old, in ticks, plus one";
    ASSERT_TRUE(host().getNamedProp(engine, "stillDown", &v));
    EXPECT_EQ(see(v), integer(1));
    ASSERT_TRUE(host().getNamedProp(engine, "locH", &v));
    EXPECT_EQ(see(v), integer(0)) << "locH without a point";
}

TEST_F(HostTest, FrameLabelAndMemberNames) {
    labels({{4, "start"}, {9, "end"}});
    engine.castNames.assign({{"BALL", 3}});
    player.frame = 9;
    ScriptValue v;
    ASSERT_TRUE(host().getNamedProp(engine, "frameLabel", &v));
    EXPECT_EQ(see(v), str("end"));
    releaseValue(v);
    player.frame = 5;
    host().getNamedProp(engine, "frameLabel", &v);
    EXPECT_EQ(see(v), (Seen{vtString, 0, ""}));
    EXPECT_EQ(run(ret("pushInt 3\ngetObjectProp 15")), str("BALL"));
    EXPECT_EQ(run(ret("pushInt 4\ngetObjectProp 15")), (Seen{vtString, 0, ""}));
}

TEST_F(HostTest, ItemDelimiterKeepsTheFirstCharacterOfWhatIsSet) {
    run(effect(".literal text \";|\"\npushLiteral L0\nsetNamedProp 13"));
    EXPECT_EQ(host().itemDelimiter(), ';');
    EXPECT_EQ(run(ret("getNamedProp 13")), str(";"));
    // Items now end at ';': the item count of "a;b,c" is 2.
    EXPECT_EQ(run(".literal text \"a;b,c\"\n" + getEntity(1, 3, "pushLiteral L0\n")), integer(2));
    run(effect(".literal text \"\"\npushLiteral L0\nsetNamedProp 13"));
    EXPECT_EQ(host().itemDelimiter(), '\0') << "the empty text sets NUL";
    EXPECT_EQ(run(ret("getNamedProp 13")), str(""));
}

TEST_F(HostTest, RandomSeedRestartsTheSequence) {
    run(ret("pushInt 1234\nsetNamedProp 18\npushInt 0"));
    EXPECT_EQ(host().randomSeed, 1234);
    const int32_t first = call("random", {ScriptValue::integer(1000000)}).num;
    call("random", {ScriptValue::integer(1000000)});
    run(ret("pushInt 1234\nsetNamedProp 18\npushInt 0"));
    EXPECT_EQ(call("random", {ScriptValue::integer(1000000)}).num, first);
    EXPECT_EQ(run(ret("getNamedProp 18")), integer(1234));
}

TEST_F(HostTest, HandlerNamesStoreTheFirstWord) {
    run(".literal text \"  onUp  more\"\n" + setEntity(0, 2, "pushLiteral L0\n") + "pushInt 0\n" +
        kReturnTop);
    EXPECT_STREQ(host().mouseUpHndl, "onUp");
    EXPECT_EQ(run(getEntity(0, 2)), (Seen{vtLiteral, 0, "onUp"}));
    const std::string longWord(100, 'w');
    run(".literal text \"" + longWord + "\"\n" + setEntity(0, 1, "pushLiteral L0\n") +
        "pushInt 0\n" + kReturnTop);
    EXPECT_EQ(std::string(host().mouseDownHndl), std::string(63, 'w'))
        << "a word longer than the field is cut to fit it";
    run(setEntity(0, 5, "pushInt 0\n") + "pushInt 0\n" + kReturnTop);
    EXPECT_STREQ(host().timeOutHandler, "0") << "a number is set as its text";
    run(setEntity(0, 0, "pushInt 9\n") + "pushInt 0\n" + kReturnTop);
    EXPECT_EQ(run(getEntity(0, 0)), integer(9)) << "floatPrecision";
    EXPECT_EQ(run(getEntity(0, 7)), (Seen{vtString, 0, ""})) << "the time formats are empty";
    EXPECT_EQ(run(getEntity(0, 10)), (Seen{vtVoid, 0, ""})) << "row 10 does not exist";
}

TEST_F(HostTest, TextPiecesAndCounts) {
    const std::string text = ".literal text \"one two,three\\nlast line, end \"\n";
    EXPECT_EQ(run(text + getEntity(0, 12, "pushLiteral L0\n")), str(" "));
    EXPECT_EQ(run(text + getEntity(0, 13, "pushLiteral L0\n")), str("end"));
    EXPECT_EQ(run(text + getEntity(0, 14, "pushLiteral L0\n")), str(" end "));
    EXPECT_EQ(run(text + getEntity(0, 15, "pushLiteral L0\n")), str("last line, end "));
    auto count = [&](const std::string& t, int number) {
        return run(".literal text \"" + t + "\"\n" + getEntity(1, number, "pushLiteral L0\n"));
    };
    EXPECT_EQ(count("a,b,,c", 3), integer(4));
    EXPECT_EQ(count("", 2), integer(0));
    EXPECT_EQ(count("  two  words ", 2), integer(2));
    EXPECT_EQ(count("no breaks", 4), integer(1));
    EXPECT_EQ(count("a\\r\\nb", 4), integer(3)) << "CR and LF each break a line";
    EXPECT_EQ(count("four", 1), integer(4));
    EXPECT_EQ(run(getEntity(1, 5, "pushInt 1\n")), (Seen{vtVoid, 0, ""}));
}

class SpriteTest : public HostTest {
protected:
    SpriteTest() {
        SpriteChannel& c = player.current[4]; // sprite 3
        c.setCastNumber(12);
        c.setLeft(100);
        c.setTop(50);
        c.setWidth(40);
        c.setHeight(30);
        c.setScriptNumber(8);
        c.bytes[4] = 0xA4;
        c.bytes[5] = 0x03;
    }
    Seen get(int number, int sprite = 3) {
        return run(getEntity(6, number, "pushInt " + std::to_string(sprite) + "\n"));
    }
    void set(int number, int value, int sprite = 3) {
        run(setEntity(6, number,
                      "pushInt " + std::to_string(sprite) + "\npushInt " + std::to_string(value) +
                          "\n") +
            "pushInt 0\n" + kReturnTop);
    }
};

TEST_F(SpriteTest, ChannelFieldsAndTheBoundingRectangle) {
    EXPECT_EQ(get(4), integer(12));
    EXPECT_EQ(get(35), integer(12));
    EXPECT_EQ(get(13), integer(100));
    EXPECT_EQ(get(14), integer(50));
    EXPECT_EQ(get(27), integer(40));
    EXPECT_EQ(get(8), integer(30));
    EXPECT_EQ(get(29), integer(8));
    EXPECT_EQ(get(10), integer(0x24)) << "ink reads its low 7 bits";
    EXPECT_EQ(get(12), integer(2)) << "line size: the low 3 bits less one";
    EXPECT_EQ(get(11), integer(100));
    EXPECT_EQ(get(23), integer(50));
    EXPECT_EQ(get(19), integer(140));
    EXPECT_EQ(get(3), integer(80));
    EXPECT_EQ(get(5), integer(0)) << "stand-ins read 0";
    EXPECT_EQ(get(36), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(get(11, 9), integer(0)) << "no member: an empty rectangle";
    // The location as a point.
    EXPECT_EQ(run(ret("pushInt 3\npushInt 33\ngetEntity 6\ngetObjectProp 16")), integer(100));
}

TEST_F(SpriteTest, WritesChangeTheChannel) {
    set(28, 50);
    EXPECT_EQ(player.current[4].bytes[18], 128);
    EXPECT_EQ(get(28), integer(49));
    set(28, 250);
    EXPECT_EQ(player.current[4].bytes[18], 0) << "held at 100%";
    set(12, 4);
    EXPECT_EQ(player.current[4].bytes[5], 0x05);
    EXPECT_EQ(get(12), integer(4));
    set(10, 0xFF);
    EXPECT_EQ(player.current[4].bytes[4], 0xFF) << "ink is written whole";
    set(13, -20);
    set(35, 99);
    EXPECT_EQ(player.current[4].left(), -20);
    EXPECT_EQ(player.current[4].castNumber(), 99);
    set(1, 7);
    EXPECT_EQ(player.current[4].bytes[0], 1);
    set(29, 5);
    EXPECT_EQ(player.current[4].scriptNumber(), 8) << "the script number is read-only";
    set(19, 5);
    EXPECT_EQ(get(19), integer(20)) << "the right side is read-only";
    set(25, 1);
    EXPECT_EQ(player.visible[3], 1);
    set(13, 77, 0);
    EXPECT_EQ(player.current[1].left(), 0) << "sprite 0 cannot be written";
    // The location from a point.
    run("pushInt 3\npushInt 7\npushInt 9\nargList 2\ncallExternal 25\n" +
        std::string("pushInt 33\nsetEntity 6\npushInt 0\n") + kReturnTop);
    EXPECT_EQ(player.current[4].left(), 7);
    EXPECT_EQ(player.current[4].top(), 9);
}

TEST_F(SpriteTest, APuppetIsReadAndWrittenThroughItsCopy) {
    set(18, 1);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"puppetSprite 3 1"}));
    EXPECT_EQ(get(18), integer(1));
    set(13, 222);
    EXPECT_EQ(player.puppets[4].left(), 222);
    EXPECT_EQ(player.current[4].left(), 100) << "the score's channel is left alone";
    EXPECT_EQ(get(13), integer(222));
    set(18, 0);
    EXPECT_EQ(get(18), integer(0));
}

TEST_F(HostTest, SystemProperties) {
    auto get7 = [&](int number) { return run(getEntity(7, number)); };
    auto set7 = [&](int number, int value) {
        run(setEntity(7, number, "pushInt " + std::to_string(value) + "\n") + "pushInt 0\n" +
            kReturnTop);
    };
    set7(26, 7);
    EXPECT_EQ(player.vol, 0xFFFFFFFFu);
    EXPECT_EQ(get7(26), integer(7));
    set7(26, 0);
    EXPECT_EQ(player.vol, 0x00010001u) << "the quietest level keeps volume 1";
    EXPECT_EQ(get7(26), integer(0));
    for (int level = 1; level <= 6; ++level) {
        set7(26, level);
        EXPECT_EQ(get7(26), integer(level)) << "level " << level << " reads back";
    }
    player.soundIsOn = 0;
    set7(25, 0);
    EXPECT_EQ(player.soundIsOn, 1) << "writing switches sound on whatever the value";
    set7(1, 1);
    EXPECT_EQ(host().beepOnClick, 1);
    EXPECT_EQ(get7(1), integer(1));
    set7(31, 600);
    set7(32, 1);
    set7(33, 1);
    EXPECT_EQ(player.timeoutTicks, 600u);
    EXPECT_EQ(get7(32), integer(1));
    EXPECT_EQ(get7(33), integer(1));
    EXPECT_EQ(get7(19), integer(77));
    set7(27, 5);
    EXPECT_EQ(get7(27), integer(5));
    host().timerBase = ScriptHost::ticksNow() - 90;
    EXPECT_EQ(get7(34), integer(90)) << "ticks since the timer base";
    set7(34, 5);
    EXPECT_EQ(host().timerBase, 5u) << "writing sets the base";
    EXPECT_EQ(get7(2), integer(0));
    EXPECT_EQ(get7(35), (Seen{vtVoid, 0, ""}));
}

TEST_F(HostTest, MemberPropertiesTakeACastLibraryFromFormatVersionFive) {
    engine.castNames.assign({{"BALL", 3}});
    EXPECT_EQ(run(getEntity(9, 1, "pushInt 3\n")), str("BALL"));
    EXPECT_EQ(run(".literal text \"ball\"\n" + getEntity(9, 10, "pushLiteral L0\n")), integer(3));
    // Version 5: the cast library is popped first, then the member.
    EXPECT_EQ(run(getEntity(9, 1, "pushInt 3\npushInt 1\n"), 5), str("BALL"));
    EXPECT_EQ(run(getEntity(9, 4, "pushInt 3\n")), integer(0));
    EXPECT_EQ(run(getEntity(9, 14, "pushInt 3\n")), (Seen{vtVoid, 0, ""}));
}

TEST_F(HostTest, CategoriesWithoutATableReadAsVoidAndKeepTheStackInShape) {
    for (int category : {2, 3, 4, 5, 8, 10, 11, 12, 200}) {
        EXPECT_EQ(run(getEntity(category, 1, "pushInt 1\n")), (Seen{vtVoid, 0, ""})) << category;
        EXPECT_EQ(
            run(setEntity(category, 1, "pushInt 1\npushInt 2\n") + "pushInt 0\n" + kReturnTop),
            integer(0))
            << category;
    }
    EXPECT_EQ(run(getEntity(13, 12, "pushInt 1\n")), integer(0));
    EXPECT_EQ(run(getEntity(13, 11, "pushInt 1\n")), (Seen{vtVoid, 0, ""}));
}

} // namespace
} // namespace skvtest
