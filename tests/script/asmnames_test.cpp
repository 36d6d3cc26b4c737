// Writing scripts by name: handler, built-in and property names, property categories and
// numbered properties in the assembly text; #name as a movie source writes them; what the text
// defines and calls, and the names a call or an event handler must match.
#include <gtest/gtest.h>

#include "host_fixture.h"
#include "script/asmnames.h"
#include "script/opcodes.h"

namespace skvtest {
namespace {

std::vector<uint8_t> code(const std::vector<uint8_t>& block) {
    ScriptBlock b(block);
    const HandlerInfo* h = b.handler(0);
    if (!h) return {};
    return std::vector<uint8_t>(block.begin() + h->codeOffset, block.begin() + h->codeEnd);
}

TEST(AsmNames, NamesComeFromTheTextsNamesLines) {
    std::vector<uint8_t> block;
    AsmError err;
    ASSERT_TRUE(assembleScript(".names main go frame \"odd name\"\n"
                               ".handler main\n"
                               "getNamedProp frame\n"
                               "callExternal go\n"
                               "pushSymbol \"odd name\"\n"
                               "getEntity sprite\n"
                               "pushInt SpriteBlend\n"
                               "setEntity system\n",
                               &block, &err))
        << err.line << ": " << err.message;
    EXPECT_EQ(ScriptBlock(block).handler(0)->nameId, 0);
    EXPECT_EQ(code(block), (std::vector<uint8_t>{op1(opGetNamedProp), 2, op1(opCallExternal), 1,
                                                 op1(opPushSymbol), 3, op1(opGetEntity), 6,
                                                 op1(opPushInt), 28, op1(opSetEntity), 7}));
}

TEST(AsmNames, MistakesAreReportedWithTheirLine) {
    auto error = [](const std::string& text) {
        std::vector<uint8_t> block;
        AsmError err;
        EXPECT_FALSE(assembleScript(text, &block, &err)) << text;
        return std::to_string(err.line) + ": " + err.message;
    };
    EXPECT_EQ(error(".handler 0\ncallExternal go\n"),
              "2: 'go' is not in the name table; list it on a .names line");
    EXPECT_EQ(error(".names fram\n.handler 0\ngetNamedProp fram\n"),
              "3: 'fram' is no property (see the property names in docs/script-assembly.md)");
    EXPECT_EQ(error(".handler 0\ngetEntity sprites\n").substr(0, 30),
              "2: 'sprites' is no property ca");
    EXPECT_EQ(error(".handler 0\npushInt SpriteBlnd\n").substr(0, 32),
              "2: 'SpriteBlnd' is no numbered p");
    EXPECT_EQ(error(".handler 0\npushLocal x\n"), "2: bad operand 'x' for pushLocal");
    // A movie source's #name written in a block assembled on its own says how to write it here.
    EXPECT_NE(error(".handler 0\ncallExternal #go\n").find("list the name on a .names line"),
              std::string::npos);
    EXPECT_NE(error(".handler #main\nret\n").find("write it without '#'"), std::string::npos);
}

TEST(AsmNames, AMoviesNameTableGrowsWithTheNamesItsScriptsUse) {
    std::vector<std::string> names = {"main", "go"};
    std::vector<uint8_t> block;
    AsmError err;
    ASSERT_TRUE(assembleScript(".handler onClick\ncallExternal go\ncallExternal beep\n", &block,
                               &err, &names))
        << err.message;
    EXPECT_EQ(names, (std::vector<std::string>{"main", "go", "onClick", "beep"}));
    EXPECT_EQ(ScriptBlock(block).handler(0)->nameId, 2);
    EXPECT_EQ(code(block), (std::vector<uint8_t>{op1(opCallExternal), 1, op1(opCallExternal), 3}));
}

TEST(AsmNames, EachInstructionTakesTheNamesItsOperandStandsFor) {
    // The code of one instruction with the operand written as given; empty when it is refused.
    auto assemble = [](const std::string& instruction, const std::string& operand) {
        std::vector<uint8_t> block;
        AsmError err;
        if (!assembleScript(".names frame go\n.handler 0\n" + instruction + " " + operand + "\n",
                            &block, &err))
            return std::vector<uint8_t>{};
        return code(block);
    };
    const uint8_t frame = 0, go = 1;
    for (const char* i :
         {"pushSymbol", "pushGlobal", "pushGlobalAlt", "popGlobal", "callExternal"}) {
        const uint8_t opcode = uint8_t(opcodeNamed(i));
        EXPECT_EQ(assemble(i, "go"), (std::vector<uint8_t>{opcode, go})) << i;
        EXPECT_EQ(assemble(i, "frame"), (std::vector<uint8_t>{opcode, frame})) << i;
    }
    // A property operand must name a "the" property.
    for (const char* i :
         {"getNamedProp", "getNamedPropAlt", "setNamedProp", "getObjectProp", "setObjectProp"}) {
        EXPECT_EQ(assemble(i, "frame"), (std::vector<uint8_t>{uint8_t(opcodeNamed(i)), frame}))
            << i;
        EXPECT_TRUE(assemble(i, "go").empty()) << i;
    }
    for (const char* i : {"getEntity", "setEntity"}) {
        EXPECT_EQ(assemble(i, "sprite"), (std::vector<uint8_t>{uint8_t(opcodeNamed(i)), 6})) << i;
        EXPECT_TRUE(assemble(i, "go").empty()) << i;
    }
    EXPECT_EQ(assemble("pushInt", "SpriteBlend"), (std::vector<uint8_t>{op1(opPushInt), 28}));
    // Every other operand is a number (or, for a jump, a label) and no name stands for it.
    for (const char* i :
         {"argList", "argListNoResult", "pushLiteral", "pushVarRef", "pushProperty", "pushParam",
          "pushLocal", "popProperty", "popParam", "popLocal", "callLocal", "callIndirect",
          "setField", "putChunk", "deleteChunk", "peek", "drop"}) {
        EXPECT_TRUE(assemble(i, "go").empty()) << i;
        EXPECT_EQ(assemble(i, "3"), (std::vector<uint8_t>{uint8_t(opcodeNamed(i)), 3})) << i;
    }
}

TEST(AsmNames, AMovieSourceWritesNamesWithAHash) {
    // #name is a name like a bare one wherever a name goes; in texts and comments it is text.
    std::vector<std::string> names = {"go"};
    std::vector<uint8_t> block;
    AsmError err;
    AsmUses uses;
    ASSERT_TRUE(assembleScript(".literal text \"#quoted ; no comment\"\n"
                               ".handler #mouseUp ; #comment\n"
                               "callExternal #go\n"
                               "pushSymbol #sprite\n"
                               "getEntity #sprite\n"
                               "getNamedProp #frame\n"
                               "pushInt #SpriteLocH\n",
                               &block, &err, &names, &uses))
        << err.line << ": " << err.message;
    EXPECT_EQ(names, (std::vector<std::string>{"go", "mouseUp", "sprite", "frame"}));
    EXPECT_EQ(ScriptBlock(block).handler(0)->nameId, 1);
    EXPECT_EQ(code(block),
              (std::vector<uint8_t>{op1(opCallExternal), 0, op1(opPushSymbol), 2, op1(opGetEntity),
                                    6, op1(opGetNamedProp), 3, op1(opPushInt), 13}));
    ASSERT_EQ(uses.handlers.size(), 1u);
    EXPECT_EQ(uses.handlers[0].name, "mouseUp");
    EXPECT_EQ(uses.handlers[0].line, 2);
    ASSERT_EQ(uses.calls.size(), 1u);
    EXPECT_EQ(uses.calls[0].name, "go");
    EXPECT_EQ(uses.calls[0].line, 3);
    EXPECT_EQ(uses.mentioned, (std::set<std::string>{"#quoted ; no comment", "sprite"}));

    // Where a name must be a property it is checked however it is written; a #name where no name
    // goes is a bad operand, not a label or a literal.
    auto error = [](const std::string& text) {
        std::vector<std::string> table;
        std::vector<uint8_t> b;
        AsmError e;
        EXPECT_FALSE(assembleScript(text, &b, &e, &table)) << text;
        return std::to_string(e.line) + ": " + e.message;
    };
    EXPECT_EQ(error(".handler #main\ngetNamedProp #mouseHh\n"),
              "2: 'mouseHh' is no property (see the property names in docs/script-assembly.md)");
    EXPECT_EQ(error(".handler #main\nx:\njump #x\n"), "3: bad operand '#x' for jump");
    EXPECT_EQ(error(".literal int 1\n.handler #main\npushLiteral #L0\n"),
              "3: bad operand '#L0' for pushLiteral");
}

TEST(AsmNames, ExternNamesAreLeftOutOfTheCallsToCheck) {
    std::vector<std::string> names;
    std::vector<uint8_t> block;
    AsmError err;
    AsmUses uses;
    ASSERT_TRUE(assembleScript(".handler #main\ncallExternal #missing\ncallExternal #other\n"
                               ".extern missing \"odd one\"\ncallExternal \"odd one\"\n",
                               &block, &err, &names, &uses))
        << err.message;
    ASSERT_EQ(uses.calls.size(), 1u);
    EXPECT_EQ(uses.calls[0].name, "other");
    // .extern adds nothing to the name table and no byte to the block.
    EXPECT_EQ(names, (std::vector<std::string>{"main", "missing", "other", "odd one"}));
    EXPECT_FALSE(assembleScript(".extern\n", &block, &err));
    EXPECT_EQ(err.message, ".extern needs the names the script calls");
    EXPECT_FALSE(assembleScript(".extern 12\n", &block, &err));
    EXPECT_EQ(err.line, 1);
}

TEST(AsmNames, NearNamesAreTakenForTypos) {
    // One edit for idle (four letters), two for the longer names; case is free; swapped
    // neighbours are one edit.
    EXPECT_EQ(asmEventTypo("mouseUpp"), "mouseUpp is not an event; did you mean mouseUp?");
    EXPECT_EQ(asmEventTypo("mouseup"), "mouseup is not an event; did you mean mouseUp?");
    EXPECT_EQ(asmEventTypo("mosueUp"), "mosueUp is not an event; did you mean mouseUp?");
    EXPECT_EQ(asmEventTypo("startMovi"), "startMovi is not an event; did you mean startMovie?");
    EXPECT_EQ(asmEventTypo("onMouseUp"), "onMouseUp is not an event; did you mean mouseUp?");
    EXPECT_EQ(asmEventTypo("idel"), "idel is not an event; did you mean idle?");
    EXPECT_EQ(asmEventTypo("mouseDown"), "");
    EXPECT_EQ(asmEventTypo("hide"), "");
    EXPECT_EQ(asmEventTypo("mouseUpNow"), "");
    EXPECT_EQ(asmEventTypo("timeoutCount"), "");
    // The nearest of several; a name equal to a candidate is no typo of another.
    EXPECT_EQ(asmNearName("beeep", {"bee", "beep", "sleep"}), "beep");
    EXPECT_EQ(asmNearName("go", {"do", "go"}), "");
    EXPECT_EQ(asmNearName("gp", {"do", "go"}), "go");
}

TEST_F(ScriptTest, TheInterpreterAnswersItsOwnNamesWithoutTheHost) {
    // A name the assembler counts as reached without a handler must never come to the host (whose
    // calls this fixture records), or a call the build accepted would fail when it runs.
    for (std::string_view name : asmInterpreterNames()) {
        SCOPED_TRACE(std::string(name));
        names({std::string(name), "main"});
        engine.abortFlag = false; // "abort" before would keep the next run from calling
        EXPECT_TRUE(asmIsCallable(name));
        skvScript* s = addScript(int32_t(score.objects.size()) + 1,
                                 ".handler 1\nargListNoResult 0\ncallExternal 0\nret\n");
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(errorOf(s, 0), 0);
        EXPECT_TRUE(host->calls.empty());
    }
    names({"noSuchName", "main"});
    skvScript* s = addScript(100, ".handler 1\nargListNoResult 0\ncallExternal 0\nret\n");
    EXPECT_EQ(errorOf(s, 0), kScriptNoBuiltin);
    EXPECT_FALSE(asmIsCallable("noSuchName"));
    EXPECT_TRUE(asmIsCallable("puppetSprite"));
}

TEST_F(HostTest, AScriptWrittenByNameRuns) {
    std::vector<std::string> names = kHostNames;
    std::vector<uint8_t> block;
    AsmError err;
    ASSERT_TRUE(assembleScript(".handler main\n"
                               "pushInt 3\n" // sprite 3
                               "pushInt 1\n"
                               "argListNoResult 2\n"
                               "callExternal puppetSprite\n"
                               "pushInt 3\n"
                               "pushInt 60\n"
                               "pushInt SpriteLocH\n"
                               "setEntity sprite\n"
                               "pushInt 3\n"
                               "pushInt SpriteLocH\n"
                               "getEntity sprite\n"
                               "argListNoResult 1\n"
                               "callExternal return\n",
                               &block, &err, &names))
        << err.message;
    engine.names.assign(names);
    auto s = std::make_unique<skvScript>();
    s->block = std::make_unique<ScriptBlock>(block);
    engine.runHandler(s.get(), 0, 0, true);
    ScriptValue r = engine.pop();
    EXPECT_EQ(see(r), integer(60));
    releaseValue(r);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"puppetSprite 3 1"}));
    EXPECT_EQ(player.puppets[4].left(), 60);
}

} // namespace
} // namespace skvtest
