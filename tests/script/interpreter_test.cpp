#include "script_fixture.h"

#include <climits>

#include "script/opcodes.h"

using namespace skvtest;

namespace {

// Returns the top of the stack from the handler.
const std::string kReturnTop = "    argListNoResult 1\n    callExternal 1\n";

TEST_F(ScriptTest, IntegerArithmeticWrapsAndNeverStops) {
    EXPECT_EQ(eval("pushInt 7\npushInt 5\nsub\npushInt 3\nmul\n" + kReturnTop), integer(6));
    EXPECT_EQ(eval("pushInt -7\npushInt 2\ndiv\n" + kReturnTop), integer(-3));
    EXPECT_EQ(eval("pushInt -7\npushInt 2\nmod\n" + kReturnTop), integer(-1));
    EXPECT_EQ(eval("pushInt 7\npushInt -2\nmod\n" + kReturnTop), integer(1));
    // Division and remainder by zero give a value and the handler goes on.
    EXPECT_EQ(eval("pushInt 9\npushZero\ndiv\npushInt 1\nadd\n" + kReturnTop), integer(1));
    EXPECT_EQ(eval("pushInt 9\npushZero\nmod\n" + kReturnTop), integer(0));
    // INT_MIN / -1 would trap in hardware; it wraps instead.
    skvScript* s =
        addScript(50, ".literal int 0x80000000\n.handler 0\npushLiteral L0\npushInt -1\n"
                      "div\n" +
                          kReturnTop + ".handler 0\npushLiteral L0\nnegate\n" + kReturnTop +
                          ".handler 0\npushLiteral L0\npushInt -1\nmod\n" + kReturnTop);
    EXPECT_EQ(call(s, 0), integer(INT_MIN));
    EXPECT_EQ(call(s, 1), integer(INT_MIN));
    EXPECT_EQ(call(s, 2), integer(0));
}

TEST_F(ScriptTest, ArithmeticKeepsTheLeftTypeButNeverMakesAPointer) {
    // A symbol plus an integer stays a symbol; none takes the right operand's type.
    EXPECT_EQ(eval("pushSymbol 3\npushInt 2\nadd\n" + kReturnTop), (Seen{vtSymbol, 5, ""}));
    EXPECT_EQ(eval("pushParam 0\npushSymbol 2\nadd\n" + kReturnTop, {}, 1),
              (Seen{vtSymbol, 2, ""}));
    // Text on the left of an arithmetic operator yields an integer, not a text made of a number.
    skvScript* s = addScript(51, ".literal text \"abc\"\n.handler 0\npushLiteral L0\npushInt 1\n"
                                 "add\n" +
                                     kReturnTop + ".handler 0\npushLiteral L0\nnot\n" + kReturnTop +
                                     ".handler 0\npushLiteral L0\nnegate\n" + kReturnTop);
    EXPECT_EQ(call(s, 0), integer(1));
    EXPECT_EQ(call(s, 1), integer(0));
    EXPECT_EQ(call(s, 2), integer(0));
}

TEST_F(ScriptTest, ComparisonsAcrossTypes) {
    skvScript* s = addScript(52, R"(
.literal text "10"
.literal text "b"
.literal text "a"
.literal text "ab"
.handler 0
    pushLiteral L0
    pushInt 10
    eq
)" + kReturnTop + R"(
.handler 0
    argList 0
    callLocal 4       ; an empty handler returns void
    pushZero
    eq
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushLiteral L2
    lt
)" + kReturnTop + R"(
.handler 0
    pushLiteral L2
    pushLiteral L3
    lt
)" + kReturnTop + R"(
.handler 0
)" + R"(
.handler 0
    pushSymbol 7
    pushInt 7
    eq
)" + kReturnTop + R"(
.handler 0
    pushInt -1
    pushInt 1
    lt
)" + kReturnTop);
    EXPECT_EQ(call(s, 0), integer(1)) << "text 10 = integer 10";
    EXPECT_EQ(call(s, 1), integer(1)) << "void = 0";
    EXPECT_EQ(call(s, 2), integer(0)) << "b < a";
    EXPECT_EQ(call(s, 3), integer(1)) << "a < ab: a prefix sorts first";
    EXPECT_EQ(call(s, 5), integer(1)) << "a symbol equals the integer of its nameId";
    EXPECT_EQ(call(s, 6), integer(1)) << "signed comparison";
}

TEST_F(ScriptTest, TextOperators) {
    skvScript* s = addScript(53, R"(
.literal text "a"
.literal text "hello world"
.literal text "world"
.literal text ""
.literal text "hello"
.handler 0
    pushLiteral L0
    pushInt 5
    concatSpace
)" + kReturnTop + R"(
.handler 0
    pushInt 1
    pushInt 2
    concat
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushLiteral L2
    contains
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushLiteral L3
    contains
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushLiteral L4
    startsWith
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushLiteral L2
    startsWith
)" + kReturnTop + R"(
.handler 0
    pushSymbol 2
    pushLiteral L0
    concat
)" + kReturnTop);
    EXPECT_EQ(call(s, 0), str("a 5"));
    EXPECT_EQ(call(s, 1), str("12"));
    EXPECT_EQ(call(s, 2), integer(1));
    EXPECT_EQ(call(s, 3), integer(0)) << "the empty text is contained nowhere";
    EXPECT_EQ(call(s, 4), integer(1));
    EXPECT_EQ(call(s, 5), integer(0));
    EXPECT_EQ(call(s, 6), str("a")) << "a symbol converts to the empty text";
}

TEST_F(ScriptTest, LiteralsPushWhatTheirTypeSays) {
    skvScript* s = addScript(54, R"(
.literal float 12345
.literal int -5
.literal raw 3 77
.literal raw 1 999999
.literal raw 7 1234
.handler 0
    pushLiteral L0
)" + kReturnTop + ".handler 0\npushLiteral L1\n" +
                                     kReturnTop + ".handler 0\npushLiteral L2\n" + kReturnTop +
                                     ".handler 0\npushLiteral L3\n" + kReturnTop +
                                     ".handler 0\npushLiteral 4000\n" + kReturnTop +
                                     ".handler 0\npushLiteral L4\n" + kReturnTop);
    EXPECT_EQ(call(s, 0), (Seen{vtFloat, 0, ""})) << "the stored float is not used";
    EXPECT_EQ(call(s, 1), integer(-5));
    EXPECT_EQ(call(s, 2), (Seen{vtObject, 77, ""}));
    EXPECT_EQ(call(s, 3), (Seen{vtLiteral, 0, ""})) << "text outside the block is empty";
    EXPECT_EQ(call(s, 4), (Seen{vtVoid, 0, ""})) << "a literal outside the table is void";
    EXPECT_EQ(call(s, 5), integer(1234)) << "a stored rect type must not become a pointer";
}

TEST_F(ScriptTest, JumpsAndLoops) {
    // Sum 0..9 with a counting loop.
    Seen r = eval(R"(
    pushZero
    popLocal 0
    pushZero
    popLocal 8
top:
    pushLocal 8
    pushInt 10
    lt
    jumpIfZero done
    pushLocal 0
    pushLocal 8
    add
    popLocal 0
    pushLocal 8
    pushInt 1
    add
    popLocal 8
    jumpBack top
done:
    pushLocal 0
)" + kReturnTop,
                  {}, 0, 2);
    EXPECT_EQ(r, integer(45));
    // A jump to the very end finishes the handler normally; one outside its code leaves it.
    EXPECT_EQ(eval("pushInt 1\njump end\npushInt 2\nend:"), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(engine.stackTop(), 0);
    EXPECT_EQ(eval("pushInt 3\npopLocal 0\njumpBack.w -200\npushInt 9\n" + kReturnTop, {}, 0, 1),
              (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(eval("jumpBack 40\npushInt 9\n" + kReturnTop), (Seen{vtVoid, 0, ""}));
}

TEST_F(ScriptTest, WideJumpOperandsAreSignedAndNarrowOnesReach255) {
    // 0x53 0xFF jumps 255 bytes forward: over 253 nops to the pushInt.
    std::string body = "jump.b 255\n";
    for (int i = 0; i < 253; ++i)
        body += "nop\n";
    body += "pushInt 7\n" + kReturnTop;
    EXPECT_EQ(eval(body), integer(7));
    // jump with a negative two-byte distance goes back.
    Seen r = eval(R"(
    pushZero
    popLocal 0
    jump fwd
back:
    pushInt 5
    popLocal 0
    jump out
fwd:
    jump.w back
out:
    pushLocal 0
)" + kReturnTop,
                  {}, 0, 1);
    EXPECT_EQ(r, integer(5));
}

TEST_F(ScriptTest, MissingArgumentsAreNoneAndExtraOnesOnlyReachableThroughParam) {
    skvScript* s = addScript(55, R"(
.handler 0 params 2
    pushParam 8
)" + kReturnTop + R"(
.handler 0 params 1
    argList 1
    pushInt 3
    callExternal 3   ; param(3)
)" + kReturnTop + R"(
.handler 0 params 1
    argList 0
    callExternal 4   ; paramCount()
)" + kReturnTop + R"(
.handler 0 params 1
    pushParam 16     ; past the arguments and the declared parameter
)" + kReturnTop + R"(
.handler 0 params 1
    argList 1
    pushInt 40
    callExternal 3   ; param(40): outside the stack
)" + kReturnTop);
    EXPECT_EQ(call(s, 0, {ScriptValue::integer(1)}), (Seen{vtNone, 0, ""}));
    EXPECT_EQ(
        call(s, 1, {ScriptValue::integer(1), ScriptValue::integer(2), ScriptValue::integer(3)}),
        integer(3));
    EXPECT_EQ(call(s, 2, {ScriptValue::integer(1), ScriptValue::integer(2)}), integer(2));
    EXPECT_EQ(call(s, 3, {ScriptValue::integer(1)}), (Seen{vtNone, 0, ""}));
    EXPECT_EQ(call(s, 4, {ScriptValue::integer(1)}), (Seen{vtNone, 0, ""}));
}

TEST_F(ScriptTest, ReturnWithoutArgumentKeepsTheResultAndEndsTheHandler) {
    skvScript* s = addScript(56, R"(
.handler 0
    argListNoResult 0
    callExternal 1
    pushInt 9
)" + kReturnTop + R"(
.handler 0
    argList 0
    callLocal 2
    drop 1
    argList 0
    callExternal 5   ; result(): what the last handler returned
)" + kReturnTop + R"(
.handler 0
    pushInt 42
)" + kReturnTop);
    EXPECT_EQ(call(s, 0), (Seen{vtVoid, 0, ""}));
    EXPECT_EQ(call(s, 1), integer(42));
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

TEST_F(ScriptTest, SpecialNames) {
    EXPECT_EQ(eval("pushInt 3\nargList 1\ncallExternal 9\n" + kReturnTop), integer(1)); // integerp
    EXPECT_EQ(eval("pushSymbol 1\nargList 1\ncallExternal 16\n" + kReturnTop), integer(1));
    EXPECT_EQ(eval("pushInt 1\nargList 1\ncallExternal 10\n" + kReturnTop), integer(0));  // stringp
    EXPECT_EQ(eval("argList 0\ncallExternal 18\n" + kReturnTop), integer(1));             // ilk
    EXPECT_EQ(eval("pushInt -9\nargList 1\ncallExternal 12\n" + kReturnTop), integer(9)); // abs
    EXPECT_EQ(eval("pushSymbol -9\nargList 1\ncallExternal 12\n" + kReturnTop),
              (Seen{vtSymbol, 9, ""}));
    EXPECT_EQ(eval("pushInt 5\nargList 1\ncallExternal 19\n" + kReturnTop), integer(0)); // put
    EXPECT_EQ(eval("pushInt 30\nargListNoResult 1\ncallExternal 8\npushInt 1\n" + kReturnTop),
              integer(1));
    EXPECT_EQ(host->delays, std::vector<int32_t>{30});
    eval("argListNoResult 0\ncallExternal 22\n");
    EXPECT_EQ(host->pauseFlag, 1);
    eval("argListNoResult 0\ncallExternal 23\n");
    EXPECT_EQ(host->pauseFlag, 0);
    // exit ends the handler after removing its arguments.
    EXPECT_EQ(eval("pushInt 4\npopLocal 0\nargListNoResult 0\ncallExternal 2\npushInt 9\n"
                   "popLocal 0\n",
                   {}, 0, 1),
              (Seen{vtVoid, 0, ""}));
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

TEST_F(ScriptTest, VariablesOutsideTheFrameStayInsideTheStack) {
    // Stores to slots that do not exist are dropped; reads give none.
    EXPECT_EQ(eval("pushInt 5\npopLocal 8\npushLocal 8\n" + kReturnTop, {}, 0, 1),
              (Seen{vtNone, 0, ""}));
    EXPECT_EQ(eval("pushInt 5\npopLocal.w -8\npushLocal.w -8\n" + kReturnTop, {}, 0, 1),
              (Seen{vtNone, 0, ""}));
    EXPECT_EQ(eval("pushInt 5\npopParam 0\npushParam 0\n" + kReturnTop, {}, 0, 0),
              (Seen{vtNone, 0, ""}));
    EXPECT_EQ(
        eval("pushInt 5\npopParam 0\npushParam 0\n" + kReturnTop, {ScriptValue::integer(1)}, 1, 0),
        integer(5));
}

TEST_F(ScriptTest, StackLimits) {
    // 1023 values fit; the 1024th push raises 8005.
    std::string fill;
    for (int i = 0; i < 1023; ++i)
        fill += "pushZero\n";
    skvScript* s = addScript(61, ".handler 0\n" + fill + ".handler 0\n" + fill + "pushZero\n" +
                                     ".handler 0\ndrop 1\n" + ".handler 0\nadd\n" +
                                     ".handler 0\npeek 0\n" + ".handler 0\npushInt 1\npeek 1\n");
    EXPECT_EQ(errorOf(s, 0), 0);
    EXPECT_EQ(errorOf(s, 1), kScriptStackLimit);
    EXPECT_EQ(errorOf(s, 2), kScriptStackLimit) << "drop on an empty stack";
    EXPECT_EQ(errorOf(s, 3), kScriptStackLimit) << "pop from an empty stack";
    EXPECT_EQ(errorOf(s, 4), kScriptStackLimit) << "peek with nothing there";
    EXPECT_EQ(errorOf(s, 5), kScriptStackLimit) << "peek below the bottom";
    // Locals count against the stack too.
    skvScript* big = addScript(62, ".handler 0 locals 2000\nret\n");
    EXPECT_EQ(errorOf(big, 0), kScriptStackLimit);
}

TEST_F(ScriptTest, PeekAndDrop) {
    EXPECT_EQ(eval("pushInt 1\npushInt 2\npeek 1\nadd\nadd\n" + kReturnTop), integer(4));
    EXPECT_EQ(eval("pushInt 1\npushInt 2\npushInt 3\ndrop 2\n" + kReturnTop), integer(1));
}

TEST_F(ScriptTest, RecursionIsBoundedBeforeTheNativeStackRunsOut) {
    // A handler calling itself with no arguments or locals uses no stack slots at all.
    skvScript* s = addScript(63, ".handler 0\nargListNoResult 0\ncallLocal 0\n");
    EXPECT_EQ(errorOf(s, 0), kScriptStackLimit);
    // fib(15) through callLocal stays well within the bound.
    skvScript* fib = addScript(64, R"(
.handler 0 params 1
    pushParam 0
    pushInt 2
    lt
    jumpIfZero rec
    pushParam 0
)" + kReturnTop + R"(
rec:
    pushParam 0
    pushInt 1
    sub
    argList 1
    callLocal 0
    pushParam 0
    pushInt 2
    sub
    argList 1
    callLocal 0
    add
)" + kReturnTop);
    EXPECT_EQ(call(fib, 0, {ScriptValue::integer(15)}), integer(610));
}

TEST_F(ScriptTest, AHandlerCalledWithinTheScriptReadsAndWritesOnlyItsOwnVariables) {
    // Handler 0 holds 100 and 7 in its locals around a call of handler 1, whose parameter and
    // locals go through every form of variable access: one- and two-byte operands, a pair of
    // pushes, and arithmetic stored straight into a local.
    skvScript* s = addScript(66, R"(
.handler 0 params 1 locals 2
    pushInt 100
    popLocal 0
    pushInt 7
    popLocal 8
    pushInt 5
    argList 1
    callLocal 1
    popGlobal 14
    pushLocal 0
    pushLocal 8
    add
    pushParam 0
    add
)" + kReturnTop + R"(
.handler 0 params 1 locals 2
    pushParam 0
    pushInt 1
    add
    popLocal 0       ; 6
    pushLocal 0
    pushParam 0
    mul
    popLocal 8       ; 30
    pushLocal 8
    pushInt 2
    sub
    popParam 0       ; 28
    pushParam.w 0
    pushLocal.w 0
    add
    popLocal.w 8     ; 34
    pushLocal 8
    pushParam 0
    sub
    popParam.w 0     ; 6
    pushLocal 8
    pushParam 0
    add
)" + kReturnTop);
    EXPECT_EQ(call(s, 0, {ScriptValue::integer(1000)}), integer(1107));
    EXPECT_EQ(see(engine.global(kG1)), integer(40));
}

TEST_F(ScriptTest, CallsWithinAScriptGiveBackTheirDepthWhenAnErrorOrAbortEndsThem) {
    skvScript* s = addScript(67, R"(
.handler 0
    argListNoResult 0
    callLocal 0
.handler 0 params 1
    pushParam 0
    pushInt 1
    lt
    jumpIfZero deeper
    pushZero
)" + kReturnTop + R"(
deeper:
    pushParam 0
    pushInt 1
    sub
    argList 1
    callLocal 1
    pushInt 1
    add
)" + kReturnTop + R"(
.handler 0
    argListNoResult 0
    callLocal 3
    pushInt 1
    popGlobal 14
.handler 0
    argListNoResult 0
    callExternal 6
    pushInt 2
    popGlobal 15
)");
    // Depth 96 of the 100 allowed, before and after runs that the limit ended deep inside.
    EXPECT_EQ(call(s, 1, {ScriptValue::integer(95)}), integer(95));
    EXPECT_EQ(errorOf(s, 0), kScriptStackLimit);
    EXPECT_EQ(errorOf(s, 0), kScriptStackLimit);
    EXPECT_EQ(call(s, 1, {ScriptValue::integer(95)}), integer(95));
    EXPECT_EQ(errorOf(s, 1, {ScriptValue::integer(100)}), kScriptStackLimit);
    // "abort" in a called handler stops it and its caller.
    EXPECT_TRUE(engine.runEvent(s, 2));
    EXPECT_EQ(see(engine.global(kG1)), (Seen{vtNone, 0, ""}));
    EXPECT_EQ(see(engine.global(kG2)), (Seen{vtNone, 0, ""}));
    engine.abortFlag = false; // as the next event would start
    EXPECT_EQ(call(s, 1, {ScriptValue::integer(95)}), integer(95));
}

TEST_F(ScriptTest, ComparisonsWithAConstantKeepTheirMeaningForEveryOperand) {
    EXPECT_EQ(eval("pushInt 3\npushInt 5\nlt\n" + kReturnTop), integer(1));
    EXPECT_EQ(eval("pushInt 5\npushInt 5\nge\n" + kReturnTop), integer(1));
    EXPECT_EQ(eval("pushInt -2\npushInt -1\ngt\n" + kReturnTop), integer(0));
    // A text on the left compares as text, a void as 0.
    skvScript* t = addScript(68, R"(
.literal text "10"
.literal text "9"
.handler 0
    pushLiteral L0
    pushInt 10
    eq
)" + kReturnTop + R"(
.handler 0
    pushLiteral L1
    pushInt 10
    lt
)" + kReturnTop);
    EXPECT_EQ(call(t, 0), integer(1));
    EXPECT_EQ(call(t, 1), integer(0)) << "\"9\" sorts after \"10\"";
    EXPECT_EQ(eval("argList 0\ncallExternal 5\npushInt 0\neq\n" + kReturnTop), integer(1));
    // Feeding a conditional jump, either way.
    EXPECT_EQ(eval("pushInt 1\npushInt 2\nle\njumpIfZero no\npushInt 7\n" + kReturnTop +
                   "no:\npushInt 8\n" + kReturnTop),
              integer(7));
    EXPECT_EQ(eval("pushInt 3\npushInt 2\nle\njumpIfZero no\npushInt 7\n" + kReturnTop +
                   "no:\npushInt 8\n" + kReturnTop),
              integer(8));
}

TEST_F(ScriptTest, AnInvalidOpcodeEndsOnlyItsEvent) {
    skvScript* s = addScript(65, R"(
.handler 0
    pushInt 1
    pushInt 2
    .byte 0x18
    pushInt 3
    popGlobal 14
.handler 0
    pushInt 4
    popGlobal 14
.handler 0
    pushInt 1
    .byte 0xC5 0x00
.handler 0
    pushInt 1
    .byte 0x47 0x00
)");
    attach();
    EXPECT_FALSE(engine.runEvent(s, 0));
    EXPECT_EQ(engine.stackTop(), 0);
    EXPECT_EQ(see(engine.global(kG1)), (Seen{vtNone, 0, ""}));
    EXPECT_TRUE(engine.runEvent(s, 1));
    EXPECT_EQ(see(engine.global(kG1)), integer(4));
    EXPECT_EQ(errorOf(s, 2), kScriptBadOpcode);
    EXPECT_EQ(errorOf(s, 3), kScriptBadOpcode);
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

TEST_F(ScriptTest, TextsSharedBetweenVariablesAndTheStackAreFreedOnce) {
    // The same text lands in a parameter, a local, a global and the result; ASan checks that
    // each release drops exactly one hold.
    Seen r = eval(R"(
    pushInt 1
    pushInt 2
    concat
    popLocal 0
    pushLocal 0
    popParam 0
    pushLocal 0
    popGlobal 14
    pushParam 0
    pushLocal 0
    concat
    popLocal 0
    pushParam 0
    popLocal 0
    pushLocal 0
)" + kReturnTop,
                  {ScriptValue::integer(0)}, 1, 1);
    EXPECT_EQ(r, str("12"));
    EXPECT_EQ(see(engine.global(kG1)), str("12"));
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

} // namespace

namespace {

TEST_F(ScriptTest, AHandlerThatPopsBelowItsFrameCannotReachTheMovedValues) {
    // The handler's locals hold texts; popping them off the stack moves those texts into the
    // instruction, so the locals' slots must not be read, released or written afterwards.
    skvScript* s = addScript(300, R"(
.literal text "abc"
.handler 0 locals 3
    pushLiteral L0
    pushInt 1
    concat
    popLocal 0
    pushLocal 0
    popLocal 8
    pushLocal 0
    popLocal 16
    drop 3
    pushLocal 0
    pushInt 1
    add
    popLocal 8
    pushInt 2
    pushVarRef 0
    deleteChunk
)");
    EXPECT_EQ(errorOf(s, 0), kScriptStackLimit) << "deleteChunk finds too few values";
    skvScript* t = addScript(301, R"(
.literal text "abc"
.handler 0 params 1 locals 1
    pushLiteral L0
    pushInt 1
    concat
    popLocal 0
    drop 2
    pushZero
    pushZero
    pushZero
    pushZero
    pushZero
    pushZero
    pushZero
    pushZero
    pushZero
    pushVarRef 0
    putChunk 0x15
    pushLocal 0
    pushParam 0
    concat
    argListNoResult 1
    callExternal 1
)");
    EXPECT_EQ(call(t, 0, {makeString("p")}), str("")) << "neither variable is there any more";
}

} // namespace

namespace {

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
