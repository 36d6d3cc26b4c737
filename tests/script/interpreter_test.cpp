// The interpreter cases that need C++ to set up or to watch what happens: movie scripts and the
// host's calls, built-ins and properties, code written by a loop, the step limit and the opcode
// table. Scripts that only need their results checked are case files in tests/script/cases, run
// by scriptcase_test.cpp.
#include "script_fixture.h"

#include "script/opcodes.h"

using namespace skvtest;

namespace {

// Returns the top of the stack from the handler.
const std::string kReturnTop = "    argListNoResult 1\n    callExternal 1\n";

TEST_F(ScriptTest, ANarrowJumpReaches255BytesAhead) {
    // 0x53 0xFF jumps 255 bytes forward: over 253 nops to the pushInt. (The signed two-byte
    // form is in cases/jumps.skasm.)
    std::string body = "jump.b 255\n";
    for (int i = 0; i < 253; ++i)
        body += "nop\n";
    body += "pushInt 7\n" + kReturnTop;
    EXPECT_EQ(eval(body), integer(7));
}

TEST_F(ScriptTest, CallsBetweenHandlersAndMovieScripts) {
    // Script 1 is a movie script with "helper" (nameId 13) adding its two parameters.
    addScript(1, ".handler 13 params 2\npushParam 0\npushParam 8\nadd\n" + kReturnTop, true);
    skvScript* caller = addScript(2, R"(
.handler 0
    pushInt 20
    pushInt 22
    argList 2
    callExternal 13
)" + kReturnTop + R"(
.handler 0
    pushInt 5
    pushInt 6
    argListNoResult 2
    callExternal 13
    pushInt 1
)" + kReturnTop);
    EXPECT_EQ(call(caller, 0), integer(42));
    EXPECT_EQ(call(caller, 1), integer(1)) << "a call without result leaves nothing";
    EXPECT_TRUE(host->calls.empty()) << "a movie handler must win over the built-ins";
}

TEST_F(ScriptTest, AFoundHandlerInAnEarlierMovieScriptWinsAndDuplicatesTakeTheLowestIndex) {
    addScript(1, ".handler 13\npushInt 1\n" + kReturnTop + ".handler 13\npushInt 2\n" + kReturnTop,
              true);
    addScript(2, ".handler 13\npushInt 3\n" + kReturnTop, true);
    attach();
    MovieHandler m = engine.findMovieHandler(kHelper);
    ASSERT_EQ(m.state, MovieHandler::kFound);
    EXPECT_EQ(m.index, 0);
    EXPECT_EQ(m.script, score.objects[1].get());
    EXPECT_EQ(eval("argList 0\ncallExternal 13\n" + kReturnTop), integer(1));
}

TEST_F(ScriptTest, ACallWhoseMovieScriptHasNotArrivedDoesNothing) {
    skvScript* caller = addScript(2, R"(
.handler 0
    pushInt 7
    pushInt 8
    argList 1
    callExternal 20
    popGlobal 14
    popGlobal 15
)");
    engine.scripts.push_back({0, 77, 1}); // listed last, never arrived
    attach();
    // The argument stays and no result is pushed: the two stores take the 8 and the 7.
    EXPECT_TRUE(engine.runEvent(caller, 0));
    EXPECT_EQ(see(engine.global(kG1)), integer(8));
    EXPECT_EQ(see(engine.global(kG2)), integer(7));
    EXPECT_TRUE(host->calls.empty());
    // Once a later movie script is there (without the handler) the built-in is asked.
    addScript(78, ".handler 5\nret\n", true);
    host->builtins["unknownBuiltin"] = [](const ScriptValue* a, int32_t n) {
        return ScriptValue::integer(a[0].asInt() * 10);
    };
    EXPECT_TRUE(engine.runEvent(caller, 0));
    EXPECT_EQ(see(engine.global(kG1)), integer(80));
    EXPECT_EQ(see(engine.global(kG2)), integer(7));
    ASSERT_EQ(host->calls.size(), 1u);
    EXPECT_EQ(host->calls[0].args, std::vector<Seen>{integer(8)});
}

TEST_F(ScriptTest, BuiltinsGetTheirArgumentsFirstDeepestAndFailuresBecomeVoid) {
    host->builtins["unknownBuiltin"] = [](const ScriptValue* a, int32_t n) -> ScriptValue {
        if (n == 0) throw ProxyError{kProxyNotANumber};
        return makeString(std::string(a[0].text()) + "/" + a[1].text());
    };
    skvScript* s = addScript(3, R"(
.literal text "x"
.literal text "y"
.handler 0
    pushLiteral L0
    pushLiteral L1
    argList 2
    callExternal 20
)" + kReturnTop + R"(
.handler 0
    argList 0
    callExternal 20
)" + kReturnTop + R"(
.handler 0
    argList 0
    callExternal 999
)" + kReturnTop + R"(
.handler 0
    pushSymbol 20
    argList 0
    callIndirect
)" + kReturnTop);
    EXPECT_EQ(call(s, 0), str("x/y"));
    EXPECT_EQ(call(s, 1), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(errorOf(s, 2), kScriptNameWithoutText);
    EXPECT_EQ(call(s, 3), (Seen{vtVoid, 0, ""})) << "callIndirect reaches the same built-in";
    host->builtins.clear();
    EXPECT_EQ(errorOf(s, 0), kScriptNoBuiltin);
}

TEST_F(ScriptTest, DelayPauseAndContinueGoToTheHost) {
    // The special names that give values are in cases/special_names.skasm; these three act on
    // the host, which only C++ can watch.
    EXPECT_EQ(eval("pushInt 30\nargListNoResult 1\ncallExternal 8\npushInt 1\n" + kReturnTop),
              integer(1));
    EXPECT_EQ(host->delays, std::vector<int32_t>{30});
    eval("argListNoResult 0\ncallExternal 22\n");
    EXPECT_EQ(host->pauseFlag, 1);
    eval("argListNoResult 0\ncallExternal 23\n");
    EXPECT_EQ(host->pauseFlag, 0);
}

TEST_F(ScriptTest, GlobalsKeepTheirValuesAndClearGlobalsResetsThem) {
    attach();
    EXPECT_EQ(eval("pushInt 7\npopGlobal 14\n"), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(see(engine.global(kG1)), integer(7));
    // A text literal stored in a global is the global's own copy.
    skvScript* s =
        addScript(60, ".literal text \"kept\"\n.handler 0\npushLiteral L0\npopGlobal 15\n");
    call(s, 0);
    score.objects.erase(60); // the block goes away; the global must not point into it
    EXPECT_EQ(see(engine.global(kG2)), (Seen{vtLiteral, 0, "kept"}));
    EXPECT_EQ(eval("pushGlobal 15\npushGlobalAlt 14\nconcat\n" + kReturnTop), str("kept7"));
    // Ids past the globals read as none and take no store.
    EXPECT_EQ(eval("pushInt 1\npopGlobal 30000\npushGlobal 30000\n" + kReturnTop),
              (Seen{vtNone, 0, ""}));
    eval("argListNoResult 0\ncallExternal 7\n");
    EXPECT_EQ(see(engine.global(kG1)), (Seen{vtNone, 0, ""}));
    EXPECT_EQ(see(engine.global(kG2)), (Seen{vtNone, 0, ""}));
    // A later attach keeps globals.
    eval("pushInt 3\npopGlobal 14\n");
    attach();
    EXPECT_EQ(see(engine.global(kG1)), integer(3));
}

TEST_F(ScriptTest, TheStackHolds1023Values) {
    // 1023 values fit; the 1024th push raises 8005. (Underflow and locals that do not fit are in
    // cases/stack.skasm.)
    std::string fill;
    for (int i = 0; i < 1023; ++i)
        fill += "pushZero\n";
    skvScript* s = addScript(61, ".handler 0\n" + fill + ".handler 0\n" + fill + "pushZero\n");
    EXPECT_EQ(errorOf(s, 0), 0);
    EXPECT_EQ(errorOf(s, 1), kScriptStackLimit);
}

TEST_F(ScriptTest, EveryInvalidOpcodeRaisesItsError) {
    // How an invalid opcode ends its event is in cases/invalid_opcode.skasm.
    for (int op : {0x02, 0x18, 0x1B, 0x3F, 0x40, 0x4D, 0x4E, 0x5E, 0x63, 0x67, 0x80, 0x87, 0xA3,
                   0xA7, 0xBF, 0xC0, 0xFF}) {
        skvScript* b = addScript(100 + op, ".handler 0\n.byte " + std::to_string(op) + " 0 0\n");
        EXPECT_EQ(errorOf(b, 0), kScriptBadOpcode) << "opcode " << op;
    }
}

TEST_F(ScriptTest, AbortStopsEveryHandlerOfTheEvent) {
    addScript(1, ".handler 13\nargListNoResult 0\ncallExternal 6\npushInt 1\npopGlobal 14\n", true);
    skvScript* s = addScript(2, R"(
.handler 0
    argListNoResult 0
    callExternal 13
    pushInt 2
    popGlobal 15
)");
    attach();
    EXPECT_TRUE(engine.runEvent(s, 0));
    EXPECT_EQ(see(engine.global(kG1)), (Seen{vtNone, 0, ""}));
    EXPECT_EQ(see(engine.global(kG2)), (Seen{vtNone, 0, ""}));
    EXPECT_TRUE(engine.abortFlag);
    // The next event starts with the flag cleared.
    skvScript* t = addScript(3, ".handler 0\npushInt 2\npopGlobal 15\n");
    EXPECT_TRUE(engine.runEvent(t, 0));
    EXPECT_EQ(see(engine.global(kG2)), integer(2));
}

TEST_F(ScriptTest, SpriteOperatorsAndPropertiesGoToTheHost) {
    EXPECT_EQ(eval("pushInt 3\npushInt 3\nspriteIntersects\n" + kReturnTop), integer(1));
    EXPECT_EQ(eval("pushInt 2\npushInt 3\nspriteWithin\n" + kReturnTop), integer(1));
    host->frame = 12;
    EXPECT_EQ(eval("getNamedProp 21\n" + kReturnTop), integer(12));
    eval("pushInt 40\nsetNamedProp 21\n");
    EXPECT_EQ(host->frame, 40);
    // An unknown property reads as the current result.
    EXPECT_EQ(eval("getNamedPropAlt 0\n" + kReturnTop), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(eval("pushInt 1\ngetObjectProp 0\n" + kReturnTop), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(eval("pushInt 1\npushInt 2\nsetObjectProp 0\npushInt 5\n" + kReturnTop), integer(5));
    // The base host's numbered properties pop the property number (and the value to set); a
    // category without a table reads as void.
    EXPECT_EQ(eval("pushInt 1\npushInt 3\ngetEntity 3\n" + kReturnTop), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(eval("pushInt 9\npushInt 3\nsetEntity 7\npushInt 6\n" + kReturnTop), integer(6));
}

TEST_F(ScriptTest, AStepLimitEndsAnEndlessLoop) {
    engine.setStepLimit(10000);
    skvScript* s = addScript(66, ".handler 0\nloop:\njump.w 0\n");
    attach();
    EXPECT_FALSE(engine.runEvent(s, 0));
    EXPECT_EQ(engine.stackTop(), 0);
}

TEST_F(ScriptTest, TheInterpreterRejectsExactlyTheOpcodesTheTableCallsInvalid) {
    engine.setStepLimit(1000); // "jump 0" is valid and never ends
    std::string fill;
    for (int i = 0; i < 12; ++i)
        fill += "pushZero\n";
    for (int op = 0; op < 256; ++op) {
        skvScript* s = addScript(1000 + op, ".handler 0 params 2 locals 2\n" + fill + ".byte " +
                                                std::to_string(op) + " 0 0\n");
        int32_t error = errorOf(s, 0);
        if (kOpcodes[size_t(op)].valid())
            EXPECT_NE(error, kScriptBadOpcode) << "opcode " << op;
        else
            EXPECT_EQ(error, kScriptBadOpcode) << "opcode " << op;
    }
}

} // namespace
