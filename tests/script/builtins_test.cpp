// The built-in table: choosing an entry, converting arguments and results, and the operations.
#include <gtest/gtest.h>

#include <set>

#include "host_fixture.h"
#include "platform/display.h"
#include "platform/winuser.h"

namespace skvtest {
namespace {

const Seen kVoid{vtVoid, 0, ""};

TEST(BuiltinTable, HasItsEntriesInOrderWithSignaturesThatFitTheirCounts) {
    ASSERT_EQ(builtinCount(), 127);
    const BuiltinEntry* t = builtinTable();
    EXPECT_STREQ(t[0].name, "alert");
    EXPECT_STREQ(t[126].name, "zoomBox");
    for (int32_t i = 0; i < builtinCount(); ++i) {
        const std::string sig = t[i].signature;
        EXPECT_LE(int(sig.size()), 5) << t[i].name;
        // Only the argument-count overloads of the net functions differ from their signature.
        if (std::string(t[i].name).find("net") == std::string::npos) {
            EXPECT_EQ(int(sig.size()), t[i].argCount) << t[i].name;
        }
        for (char c : sig)
            EXPECT_NE(std::string("LSTYPROVNX").find(c), std::string::npos) << t[i].name;
    }
}

TEST_F(HostTest, ACallNoEntryTakesBeepsAndRaises8003) {
    platform::clearMessageBoxes();
    EXPECT_EQ(errorOf("go", {ScriptValue::voidValue()}), kScriptNoBuiltin);
    EXPECT_EQ(platform::messageBeeps().size(), 1u);
    EXPECT_EQ(errorOf("noSuchBuiltin"), kScriptNoBuiltin);
    EXPECT_EQ(errorOf("length", {txt("a"), txt("b")}), kScriptNoBuiltin)
        << "more arguments than any entry takes";
    EXPECT_EQ(errorOf("Length", {txt("a")}), kScriptNoBuiltin) << "names compare exactly";
    EXPECT_EQ(errorOf("length", {ScriptValue::none()}), kScriptNoBuiltin);
    EXPECT_TRUE(player.calls.empty());
}

TEST_F(HostTest, OverloadsAreChosenByArgumentTypeAndResultsTakeTheEntrysType) {
    EXPECT_EQ(call("string", {ScriptValue::integer(-12)}), str("-12"));
    EXPECT_EQ(call("string", {ScriptValue::borrowed("lent")}), str("lent"))
        << "S takes a borrowed text too";
    EXPECT_EQ(call("string", {sym(hLoop)}), (Seen{vtLiteral, 0, "loop"}))
        << "a symbol's name, lent from the name table";
    EXPECT_EQ(shown("string", {makePoint(10, 20)}), "point(10, 20)");
    EXPECT_EQ(shown("string", {makeRect(1, 2, 3, 4)}), "rect(1, 2, 3, 4)");
    EXPECT_EQ(call("cast", {ScriptValue::integer(9)}), (Seen{vtObject, 9, ""}));
    EXPECT_EQ(call("beep", {ScriptValue::integer(0)}), kVoid);
    EXPECT_EQ(call("constrainH", {ScriptValue::integer(1), ScriptValue::integer(2)}), integer(0));
}

TEST_F(HostTest, MissingArgumentsReachTheOperationAsZero) {
    // inflate takes three; a call with none still fits and reads an empty rect.
    EXPECT_EQ(shown("inflate"), "rect(0, 0, 0, 0)");
    EXPECT_EQ(call("chars", {txt("abc")}), str("")) << "first and last read as 0";
    EXPECT_EQ(call("length"), integer(0));
    EXPECT_EQ(shown("inside"), "0");
}

TEST_F(HostTest, FailingOperationsGiveVoidWithoutAnError) {
    EXPECT_EQ(call("do", {txt("go 5")}), kVoid);
    EXPECT_EQ(call("go", {ScriptValue::integer(5), txt("other movie")}), kVoid);
    EXPECT_EQ(call("play", {txt("a"), txt("b")}), kVoid);
    EXPECT_TRUE(player.calls.empty());
}

TEST_F(HostTest, IntegerConversions) {
    EXPECT_EQ(call("integer", {txt("12")}), integer(12));
    EXPECT_EQ(call("integer", {txt("-7")}), integer(-7));
    EXPECT_EQ(call("integer", {txt("12a")}), kVoid);
    EXPECT_EQ(call("integer", {txt("12 ")}), kVoid);
    EXPECT_EQ(call("integer", {txt("")}), integer(0));
    EXPECT_EQ(call("integer", {txt("-")}), kVoid);
    EXPECT_EQ(call("integer", {txt("x")}), kVoid);
    EXPECT_EQ(call("integer", {txt("99999999999")}), integer(INT32_MAX));
    EXPECT_EQ(call("integer", {sym(hTwelve)}), integer(12)) << "a symbol reads as its name";
    EXPECT_EQ(call("integer", {makePoint(1, 2)}), kVoid);
    EXPECT_EQ(call("integer", {makeRect(1, 2, 3, 4)}), kVoid);
    EXPECT_EQ(call("integer", {ScriptValue::integer(5)}), integer(5));
    EXPECT_EQ(call("value", {txt("42")}), integer(42));
    EXPECT_EQ(call("value", {txt("4x")}), kVoid);
}

TEST_F(HostTest, TextBuiltins) {
    EXPECT_EQ(call("chars", {txt("hello"), ScriptValue::integer(2), ScriptValue::integer(4)}),
              str("ell"));
    EXPECT_EQ(call("chars", {txt("abc"), ScriptValue::integer(-3), ScriptValue::integer(99)}),
              str("abc"))
        << "clipped to the text";
    EXPECT_EQ(call("chars", {txt("abc"), ScriptValue::integer(3), ScriptValue::integer(2)}),
              str(""));
    EXPECT_EQ(call("chars", {txt("abc"), ScriptValue::integer(5), ScriptValue::integer(9)}),
              str(""));
    EXPECT_EQ(call("charToNum", {txt("\xff")}), integer(-1)) << "a signed byte";
    EXPECT_EQ(call("charToNum", {txt("A")}), integer(65));
    EXPECT_EQ(call("charToNum", {txt("")}), integer(0));
    EXPECT_EQ(call("numToChar", {ScriptValue::integer(0x141)}), str("A")) << "the low 8 bits";
    EXPECT_EQ(call("length", {txt("four")}), integer(4));
    EXPECT_EQ(call("offset", {txt("B"), txt("abc")}), integer(2));
    EXPECT_EQ(call("offset", {txt("bC"), txt("aBc")}), integer(2));
    EXPECT_EQ(call("offset", {txt(""), txt("abc")}), integer(0));
    EXPECT_EQ(call("offset", {txt("cd"), txt("abc")}), integer(0));
    EXPECT_EQ(call("offset", {txt("abcd"), txt("abc")}), integer(0));
}

TEST_F(HostTest, PointsAndRects) {
    EXPECT_EQ(shown("point", {ScriptValue::integer(3), ScriptValue::integer(-4)}), "point(3, -4)");
    EXPECT_EQ(shown("rect", {makePoint(1, 2), makePoint(30, 40)}), "rect(1, 2, 30, 40)");
    EXPECT_EQ(shown("inflate",
                    {makeRect(10, 10, 20, 20), ScriptValue::integer(2), ScriptValue::integer(-1)}),
              "rect(8, 11, 22, 19)");
    EXPECT_EQ(shown("offset",
                    {makeRect(10, 10, 20, 20), ScriptValue::integer(5), ScriptValue::integer(-5)}),
              "rect(15, 5, 25, 15)");
    EXPECT_EQ(shown("union", {makeRect(0, 5, 10, 10), makeRect(20, 0, 30, 8)}),
              "rect(0, 0, 30, 10)");
    EXPECT_EQ(shown("intersect", {makeRect(0, 0, 10, 10), makeRect(5, 5, 30, 30)}),
              "rect(5, 5, 10, 10)");
    // Apart horizontally only: that axis collapses to 0, the other keeps its overlap.
    EXPECT_EQ(shown("intersect", {makeRect(0, 0, 10, 10), makeRect(20, 5, 30, 15)}),
              "rect(0, 5, 0, 10)");
    EXPECT_EQ(shown("intersect", {makeRect(0, 0, 10, 10), makeRect(0, 10, 10, 20)}),
              "rect(0, 0, 10, 0)")
        << "touching edges do not overlap";
    auto in = [&](int h, int v) {
        return call("inside", {makePoint(int16_t(h), int16_t(v)), makeRect(10, 20, 30, 40)}).num;
    };
    EXPECT_EQ(in(10, 20), 1);
    EXPECT_EQ(in(29, 39), 1);
    EXPECT_EQ(in(30, 25), 0) << "the right edge is outside";
    EXPECT_EQ(in(15, 40), 0) << "the bottom edge is outside";
    EXPECT_EQ(in(9, 25), 0);
    EXPECT_EQ(call("map", {makePoint(1, 1), makeRect(0, 0, 1, 1), makeRect(0, 0, 2, 2)}),
              (Seen{vtPoint, 0, ""}))
        << "map is not supported: a point without fields";
}

TEST_F(HostTest, RandomIsFromOneToNAndFollowsItsSeed) {
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(call("random", {ScriptValue::integer(1)}), integer(1));
    std::set<int32_t> seen;
    for (int i = 0; i < 300; ++i) {
        int32_t r = call("random", {ScriptValue::integer(6)}).num;
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 6);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 6u);
    host().setRandomSeed(99);
    std::vector<int32_t> a, b;
    for (int i = 0; i < 20; ++i)
        a.push_back(call("random", {ScriptValue::integer(1000)}).num);
    host().setRandomSeed(99);
    for (int i = 0; i < 20; ++i)
        b.push_back(call("random", {ScriptValue::integer(1000)}).num);
    EXPECT_EQ(a, b);
    EXPECT_EQ(call("random", {ScriptValue::integer(0)}), kVoid) << "no number from 1 to 0";
}

TEST_F(HostTest, GoByNumberLabelAndMarker) {
    labels({{5, "intro"}, {10, "loop"}, {20, "end"}});
    player.frame = 12;
    call("go", {ScriptValue::integer(3)});
    call("go", {txt("LOOP")});
    EXPECT_EQ(call("go", {txt("missing")}), kVoid);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"go 3", "go 10"}));

    auto goSymbol = [&](int32_t frameBefore, int32_t nameId) {
        player.frame = frameBefore;
        call("go", {sym(nameId)});
        return player.frame;
    };
    EXPECT_EQ(goSymbol(12, hLoop), 10);
    EXPECT_EQ(goSymbol(12, hNext), 20);
    EXPECT_EQ(goSymbol(12, hPrevious), 5);
    EXPECT_EQ(goSymbol(20, hNext), 20) << "next at the last label stays there";
    EXPECT_EQ(goSymbol(3, hPrevious), 5) << "previous before the first label: the first";
    EXPECT_EQ(goSymbol(3, hNext), 5) << "next before the first label: the first";
    EXPECT_EQ(goSymbol(14, hOther), 14) << "another symbol goes to the current frame";

    player.frame = 12;
    EXPECT_EQ(call("label", {txt("end")}), integer(20));
    EXPECT_EQ(call("label", {txt("nope")}), kVoid);
    EXPECT_EQ(call("marker", {ScriptValue::integer(-1)}), integer(5));
    EXPECT_EQ(call("marker", {txt("intro")}), integer(5));
}

TEST_F(HostTest, WithoutALabelTableEveryLabelAndMarkerIsFrameOne) {
    player.frame = 7;
    EXPECT_EQ(call("label", {txt("anything")}), integer(1));
    EXPECT_EQ(call("marker", {ScriptValue::integer(2)}), integer(1));
    call("go", {sym(hNext)});
    EXPECT_EQ(player.frame, 1);
}

TEST_F(HostTest, PlayRemembersOneFrameToGoBackTo) {
    labels({{10, "song"}});
    player.frame = 3;
    call("play", {txt("song")});
    EXPECT_EQ(player.frame, 10);
    player.frame = 14;
    call("play", {ScriptValue::integer(0)});
    EXPECT_EQ(player.frame, 3);
    call("play", {ScriptValue::integer(0)});
    EXPECT_EQ(player.frame, 3) << "the frame is forgotten once used";
    EXPECT_EQ(call("play", {txt("missing")}), kVoid);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"go 10", "go 3"}));
}

TEST_F(HostTest, PuppetsTakeTheirChannelFromANumberOrAGlobal) {
    engine.setGlobal(hG, ScriptValue::integer(4));
    call("puppetSprite", {ScriptValue::integer(3), ScriptValue::integer(1)});
    call("puppetSprite", {sym(hG), ScriptValue::integer(0)});
    player.mouseSprite = 4;
    EXPECT_EQ(call("rollOver", {sym(hG)}), integer(1));
    EXPECT_EQ(call("rollOver", {ScriptValue::integer(3)}), integer(0));
    call("puppetTransition", {ScriptValue::integer(1), ScriptValue::integer(2),
                              ScriptValue::integer(3), ScriptValue::integer(4)});
    EXPECT_EQ(player.calls, (std::vector<std::string>{"puppetSprite 3 1", "puppetSprite 4 0",
                                                      "transition 1 2 3 4"}));
}

TEST_F(HostTest, SoundCommands) {
    engine.castNames.assign({{"BANG", 7}});
    call("puppetSound", {txt("bang")});
    call("puppetSound", {ScriptValue::integer(1), txt("Bang")});
    call("puppetSound", {txt("nothing here"), ScriptValue::integer(1)});
    call("puppetSound", {ScriptValue::integer(0)});
    call("sound", {sym(hFadeIn), ScriptValue::integer(1)});
    call("sound", {sym(hFadeOut), ScriptValue::integer(1), ScriptValue::integer(30)});
    call("sound", {sym(hStop), ScriptValue::integer(1)});
    call("sound", {sym(hOther), ScriptValue::integer(1)});
    EXPECT_EQ(player.calls,
              (std::vector<std::string>{"puppetSound 7", "puppetSound 7", "puppetSound 0",
                                        "puppetSound 0", "fadeIn 105", "fadeOut 30", "stopSound"}))
        << "the default fade at 8 fps is (60 / 8) x 15 ticks";

    player.calls.clear();
    player.vol = 0;
    call("sound", {sym(hPlayFile), ScriptValue::integer(1), txt("x.wav")});
    EXPECT_EQ(player.vol, 0xFFFFFFFFu) << "a silent output is turned up first";
    player.soundIsOn = 0;
    call("sound", {sym(hPlayFile), ScriptValue::integer(1), txt("x.wav")});
    EXPECT_EQ(player.calls, (std::vector<std::string>{"replaySound"}));
    player.busy = 1;
    EXPECT_EQ(call("soundBusy", {ScriptValue::integer(1)}), integer(1));
}

TEST_F(HostTest, CursorNumbersChooseTheCursors) {
    const std::pair<int32_t, int32_t> cases[] = {
        {1, kCursorIBeam},      {2, kCursorCross},  {3, kCursorMove},
        {4, kCursorWait},       {200, kCursorNone}, {1000, kCursorPlugIn},
        {1001, kCursorPlugIn2}, {0, kCursorArrow},  {5, kCursorArrow},
    };
    for (auto [n, cursor] : cases) {
        call("cursor", {ScriptValue::integer(n)});
        EXPECT_EQ(player.cursor, cursor) << n;
    }
}

TEST_F(HostTest, PlaybackAndEventCommands) {
    call("halt");
    call("quit");
    call("updateStage");
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stopAtEnd", "stopAtEnd", "updateStage"}));
    call("pass");
    EXPECT_EQ(host().passFlag, 1);
    call("dontPassEvent");
    EXPECT_EQ(host().passFlag, 0);
    call("startTimer");
    EXPECT_EQ(host().timerBase, ScriptHost::ticksNow());
}

TEST_F(HostTest, BeepSoundsAndWaitsASecondPerBeep) {
    platform::clearMessageBoxes();
    const uint64_t before = platform::clockNowMs();
    call("beep", {ScriptValue::integer(0)});
    EXPECT_EQ(platform::clockNowMs(), before) << "a single beep does not wait";
    call("beep", {ScriptValue::integer(2)});
    EXPECT_EQ(platform::clockNowMs() - before, 2000u);
    EXPECT_EQ(platform::messageBeeps().size(), 3u);
}

TEST_F(HostTest, AlertShowsAnInformationBoxCaptionedForThePlayer) {
    platform::clearMessageBoxes();
    call("alert", {txt("Hello")});
    auto boxes = platform::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Hello");
    EXPECT_EQ(boxes[0].caption, "Skyvora");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, UINT(MB_ICONINFORMATION));
}

TEST_F(HostTest, NetRequestsPassOnlyKnownSchemes) {
    RecordingBrowser& net = player.net;
    EXPECT_EQ(call("getNetText", {txt("http://example.org/a.txt")}), (Seen{vtString, 0, ""}));
    EXPECT_EQ(call("getLatestNetID"), integer(1));
    call("getNetText", {txt("file:///etc/passwd")});
    call("gotoNetPage", {txt("javascript:alert(1)")});
    call("preloadNetThing", {txt("no scheme at all")});
    EXPECT_EQ(call("getlatestnetid"), integer(1)) << "refused requests make no id";
    call("gotoNetPage", {txt("HTTPS://example.org/")});
    call("preloadnetthing", {txt("qmsp://server/movie.qms")});
    EXPECT_EQ(net.requests, (std::vector<std::string>{"text http://example.org/a.txt",
                                                      "page HTTPS://example.org/",
                                                      "preload qmsp://server/movie.qms"}));
    EXPECT_EQ(call("netDone"), integer(0)) << "the latest has not finished";
    EXPECT_EQ(call("netDone", {ScriptValue::integer(0)}), integer(1));
    EXPECT_EQ(call("netDone", {ScriptValue::integer(77)}), integer(1)) << "an unknown id";
    EXPECT_EQ(call("netError", {ScriptValue::integer(1)}), integer(0));
    EXPECT_EQ(call("netTextResult"), (Seen{vtString, 0, ""}));
    net.textResult = "fetched";
    EXPECT_EQ(call("netTextResult", {ScriptValue::integer(5)}), str("fetched"));
}

TEST_F(HostTest, TheTrackingPageIsBuiltFromTheEmbedParameters) {
    RecordingBrowser& net = player.net;
    net.parameters = {
        {"sw1", "ads.example/log"}, {"sw2", "7"}, {"sw3", "12"}, {"sw4", "http://site/page"}};
    call("netGravityLog");
    net.parameters = {{"sw1", "http://ads.example/log"}, {"sw4", "plain"}};
    call("netgravitylog");
    EXPECT_EQ(net.requests,
              (std::vector<std::string>{
                  "page http://ads.example/log?SpaceID=12&AdID=7&URL=http:%2f%2fsite/page",
                  "page http://ads.example/log?SpaceID=&AdID=&URL=plain"}));
    player.hasBrowser = false;
    call("netGravityLog");
    EXPECT_EQ(net.requests.size(), 2u);
}

TEST_F(HostTest, WithoutAPlayerCommandsDoNothing) {
    host().setLink(nullptr);
    labels({{5, "a"}});
    call("go", {txt("a")});
    call("puppetSprite", {ScriptValue::integer(1), ScriptValue::integer(1)});
    call("cursor", {ScriptValue::integer(1)});
    call("netGravityLog");
    EXPECT_EQ(call("netDone", {ScriptValue::integer(3)}), integer(1));
    EXPECT_EQ(call("getLatestNetID"), integer(-1));
    EXPECT_EQ(call("soundBusy", {ScriptValue::integer(1)}), integer(0));
    EXPECT_TRUE(player.calls.empty());
    EXPECT_EQ(player.cursor, -1);
}

TEST_F(HostTest, ScriptsCallBuiltinsWithSymbolsAndGlobals) {
    // go #next from frame 1 with labels at 5 and 9, then puppetSprite through global g.
    labels({{5, "a"}, {9, "b"}});
    engine.setGlobal(hG, ScriptValue::integer(6));
    Seen r = run(std::string("pushSymbol 2\n"
                             "argListNoResult 1\n"
                             "callExternal 12\n"
                             "pushSymbol 9\n"
                             "pushInt 1\n"
                             "argListNoResult 2\n"
                             "callExternal 10\n"
                             "pushInt 41\n"
                             "argList 1\n"
                             "callExternal 20\n") +
                 kReturnTop);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"go 5", "puppetSprite 6 1"}));
    EXPECT_EQ(r, str("41"));
}

} // namespace
} // namespace skvtest
