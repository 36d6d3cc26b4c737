// The script compiler, byte for byte: each construct compiled from source gives exactly the
// block (and grows the movie's name table exactly as) the assembly written by hand for it does.
// Then what the compiler refuses: every error of a text, in order, where it stands and what it
// says was expected, with the block and the name table left as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/assembler.h"
#include "script/langcompiler.h"
#include "script/scriptblock.h"

using namespace skv;

namespace {

// The movie's name table before the script: names already in it keep their ids, new ones are
// added in the order the code first uses them.
const std::vector<std::string> kMovieNames = {"return", "go", "frame"};

std::string errorsText(const std::vector<LangError>& errors) {
    std::string s;
    for (const LangError& e : errors)
        s += langErrorText("test.sky", e) + "\n";
    return s;
}

struct Built {
    bool ok = false;
    std::vector<uint8_t> block;
    std::vector<std::string> names = kMovieNames;
    std::string problems;
};

Built compileText(std::string_view source, AsmUses* uses = nullptr) {
    Built b;
    std::vector<LangError> errors;
    b.ok = compileScriptSource(source, &b.block, &errors, &b.names, uses);
    b.problems = errorsText(errors);
    return b;
}

Built assembleText(std::string_view text) {
    Built b;
    AsmError e;
    b.ok = assembleScript(text, &b.block, &e, &b.names);
    if (!b.ok) b.problems = "line " + std::to_string(e.line) + ": " + e.message;
    return b;
}

std::string namesText(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names)
        s += n + " ";
    return s;
}

// The assembly below writes the code of one source statement on one line, its instructions
// parted by " | "; this gives the assembler's one instruction a line.
std::string oneALine(std::string_view assembly) {
    std::string out;
    for (size_t i = 0; i < assembly.size(); ++i) {
        if (assembly.substr(i, 3) == " | ") {
            out += "\n    ";
            i += 2;
        } else {
            out += assembly[i];
        }
    }
    return out;
}

// The source compiles to the bytes the assembly assembles to, and adds the same names to the
// movie's table in the same order. On a difference both blocks are shown as assembly.
::testing::AssertionResult compilesTo(std::string_view source, std::string_view written) {
    const std::string assembly = oneALine(written);
    const Built c = compileText(source);
    if (!c.ok)
        return ::testing::AssertionFailure() << "the source does not compile:\n" << c.problems;
    const Built a = assembleText(assembly);
    if (!a.ok)
        return ::testing::AssertionFailure()
               << "the hand-written assembly is wrong: " << a.problems;
    if (c.block != a.block)
        return ::testing::AssertionFailure()
               << "the blocks differ\n--- compiled:\n"
               << disassembleScript(ScriptBlock(c.block)) << "--- written by hand:\n"
               << disassembleScript(ScriptBlock(a.block));
    if (c.names != a.names)
        return ::testing::AssertionFailure()
               << "the name tables differ\n  compiled: " << namesText(c.names)
               << "\n  by hand:  " << namesText(a.names);
    return ::testing::AssertionSuccess();
}

// --- what each construct compiles to ------------------------------------------------------------

TEST(LangCompile, AssignmentsReachEachKindOfVariable) {
    // Parameters by slot; declared locals keep their declared order and the others follow in
    // the order they are first given a value; globals and properties by name (a property is
    // read with pushGlobalAlt and written with popGlobal). The three ways to assign are one.
    EXPECT_TRUE(compilesTo(R"(
global g
property p
on main a, b
  local second, first
  first = a
  set second to b
  put g into third
  p = p
  g = 1
  b = 0
  fourth = first
end
)",
                           R"(
.handler #main params 2 locals 4
    pushParam 0 | popLocal 8
    pushParam 8 | popLocal 0
    pushGlobal #g | popLocal 16
    pushGlobalAlt #p | popGlobal #p
    pushInt 1 | popGlobal #g
    pushZero | popParam 8
    pushLocal 8 | popLocal 24
    ret
)"));
    // A global or a property declared inside a handler is that handler's; the other handler's
    // name is a local of its own.
    EXPECT_TRUE(compilesTo(R"(
on one
  global g
  property p
  g = p
end
on two
  g = 2
  p = g
end
)",
                           R"(
.handler #one
    pushGlobalAlt #p | popGlobal #g
    ret
.handler #two locals 2
    pushInt 2 | popLocal 0
    pushLocal 0 | popLocal 8
    ret
)"));
}

TEST(LangCompile, NumbersTextsSymbolsAndLiterals) {
    // 0 is pushZero, 16-bit numbers pushInt (in the short form when they fit a byte), larger ones
    // and texts and floats literals, each stored once; -5 is a number, -(5) a negation.
    EXPECT_TRUE(compilesTo(R"(
on main
  a = 0
  a = 5
  a = -5
  a = 127
  a = 300
  a = -32768
  a = 32767
  a = 32768
  a = -2147483648
  a = 0x10
  a = -(5)
  a = "hi"
  a = "say \"hi\"\n"
  a = "hi"
  a = 1.5
  a = -1.5
  a = 2e3
  a = #go
  a = #'two words'
  a = literal(3, 77)
  a = 32768
end
)",
                           R"(
.literal int 32768
.literal int -2147483648
.literal text "hi"
.literal text "say \"hi\"\n"
.literal float 1069547520
.literal float 3217031168
.literal float 1157234688
.literal raw 3 77
.handler #main locals 1
    pushZero | popLocal 0
    pushInt 5 | popLocal 0
    pushInt -5 | popLocal 0
    pushInt 127 | popLocal 0
    pushInt 300 | popLocal 0
    pushInt -32768 | popLocal 0
    pushInt 32767 | popLocal 0
    pushLiteral L0 | popLocal 0
    pushLiteral L1 | popLocal 0
    pushInt 16 | popLocal 0
    pushInt 5 | negate | popLocal 0
    pushLiteral L2 | popLocal 0
    pushLiteral L3 | popLocal 0
    pushLiteral L2 | popLocal 0
    pushLiteral L4 | popLocal 0
    pushLiteral L5 | popLocal 0
    pushLiteral L6 | popLocal 0
    pushSymbol #go | popLocal 0
    pushSymbol "two words" | popLocal 0
    pushLiteral L7 | popLocal 0
    pushLiteral L0 | popLocal 0
    ret
)"));
}

TEST(LangCompile, OperatorsFollowTheirPrecedence) {
    // Lowest first: or, and, not, the comparisons, & and &&, + and -, * / mod, unary minus.
    EXPECT_TRUE(compilesTo(R"(
on main a, b, c, d, e, f, g, h, i
  x = a or b and not c = d & e && f + g * -h mod i
end
)",
                           R"(
.handler #main params 9 locals 1
    pushParam 0 | pushParam 8 | pushParam 16 | pushParam 24 | pushParam 32 | concat
    pushParam 40 | pushParam 48 | pushParam 56 | negate | mul | pushParam 64 | mod | add
    concatSpace | eq | not | and | or | popLocal 0
    ret
)"));
    // The operators of a level group to the left, each with its own instruction.
    EXPECT_TRUE(compilesTo(R"(
on main a, b, c
  x = a - b / c * a
  x = a <> b < c <= a > b >= c
  x = a contains b & c starts a
  x = (a or b) and - - c
end
)",
                           R"(
.handler #main params 3 locals 1
    pushParam 0 | pushParam 8 | pushParam 16 | div | pushParam 0 | mul | sub | popLocal 0
    pushParam 0 | pushParam 8 | ne | pushParam 16 | lt | pushParam 0 | le
    pushParam 8 | gt | pushParam 16 | ge | popLocal 0
    pushParam 0 | pushParam 8 | pushParam 16 | concat | contains
    pushParam 0 | startsWith | popLocal 0
    pushParam 0 | pushParam 8 | or | pushParam 16 | negate | negate | and | popLocal 0
    ret
)"));
}

TEST(LangCompile, IfElseChainsAndOneLineIf) {
    // c; jumpIfZero ELSE; then; jump END; ELSE: else; END. Without an else the jump goes to the
    // end; an else-if chain nests, each if ending where the one around it does.
    EXPECT_TRUE(compilesTo(R"(
on main n
  if n then
    x = 1
  end if
  if n = 1 then
    x = 2
  else
    x = 3
  end if
  if n = 1 then
    x = 4
  else if n = 2 then
    x = 5
  else if n = 3 then
    x = 6
  end if
  if n then x = 7
end
)",
                           R"(
.handler #main params 1 locals 1
    pushParam 0 | jumpIfZero end1
    pushInt 1 | popLocal 0
end1:
    pushParam 0 | pushInt 1 | eq | jumpIfZero else2
    pushInt 2 | popLocal 0
    jump end2
else2:
    pushInt 3 | popLocal 0
end2:
    pushParam 0 | pushInt 1 | eq | jumpIfZero else3
    pushInt 4 | popLocal 0
    jump end3
else3:
    pushParam 0 | pushInt 2 | eq | jumpIfZero else4
    pushInt 5 | popLocal 0
    jump end4
else4:
    pushParam 0 | pushInt 3 | eq | jumpIfZero end5
    pushInt 6 | popLocal 0
end5:
end4:
end3:
    pushParam 0 | jumpIfZero end6
    pushInt 7 | popLocal 0
end6:
    ret
)"));
}

TEST(LangCompile, RepeatWhileWithExitAndNext) {
    // TOP: c; jumpIfZero END; body; jumpBack TOP; END. exit repeat jumps to END, next repeat back
    // to TOP.
    EXPECT_TRUE(compilesTo(R"(
on main n
  repeat while n > 0
    if n = 5 then exit repeat
    if n = 3 then next repeat
    n = n - 1
  end repeat
end
)",
                           R"(
.handler #main params 1
top:
    pushParam 0 | pushZero | gt | jumpIfZero done
    pushParam 0 | pushInt 5 | eq | jumpIfZero notFive
    jump done
notFive:
    pushParam 0 | pushInt 3 | eq | jumpIfZero notThree
    jumpBack top
notThree:
    pushParam 0 | pushInt 1 | sub | popParam 0
    jumpBack top
done:
    ret
)"));
}

TEST(LangCompile, RepeatWithCountsUpAndDown) {
    // a; pop i; TOP: push i; b; le (ge down); jumpIfZero END; body; STEP: push i; pushInt 1;
    // add (sub down); pop i; jumpBack TOP; END. next repeat goes ahead to STEP; in nested loops
    // exit repeat and next repeat reach the innermost loop only.
    EXPECT_TRUE(compilesTo(R"(
on main
  repeat with i = 1 to 10
    if i = 2 then next repeat
    repeat while 1
      exit repeat
    end repeat
    if i = 3 then exit repeat
  end repeat
  repeat with j = 3 down to 0
    skip
  end repeat
end
)",
                           R"(
.handler #main locals 2
    pushInt 1 | popLocal 0
top1:
    pushLocal 0 | pushInt 10 | le | jumpIfZero end1
    pushLocal 0 | pushInt 2 | eq | jumpIfZero notTwo
    jump step1
notTwo:
inner:
    pushInt 1 | jumpIfZero innerEnd
    jump innerEnd
    jumpBack inner
innerEnd:
    pushLocal 0 | pushInt 3 | eq | jumpIfZero notThree
    jump end1
notThree:
step1:
    pushLocal 0 | pushInt 1 | add | popLocal 0
    jumpBack top1
end1:
    pushInt 3 | popLocal 8
top2:
    pushLocal 8 | pushZero | ge | jumpIfZero end2
    nop
    pushLocal 8 | pushInt 1 | sub | popLocal 8
    jumpBack top2
end2:
    ret
)"));
}

TEST(LangCompile, CaseComparesEachWhenWithTheValueOnTheStack) {
    // e; per when: peek 0; v; eq; jumpIfZero NEXT; drop 1; body; jump END; NEXT: ...; then
    // drop 1; else-body; END.
    EXPECT_TRUE(compilesTo(R"(
on main n
  case n
    when 1
      x = 1
    when "a"
      x = 2
    else
      x = 3
  end case
  case n + 1
    when 2
      x = 4
  end case
end
)",
                           R"(
.literal text "a"
.handler #main params 1 locals 1
    pushParam 0
    peek 0 | pushInt 1 | eq | jumpIfZero when2 | drop 1
    pushInt 1 | popLocal 0
    jump end1
when2:
    peek 0 | pushLiteral L0 | eq | jumpIfZero else1 | drop 1
    pushInt 2 | popLocal 0
    jump end1
else1:
    drop 1
    pushInt 3 | popLocal 0
end1:
    pushParam 0 | pushInt 1 | add
    peek 0 | pushInt 2 | eq | jumpIfZero none2 | drop 1
    pushInt 4 | popLocal 0
    jump end2
none2:
    drop 1
end2:
    ret
)"));
}

TEST(LangCompile, ChunksAreReadPutAndDeleted) {
    // The eight bounds (char, word, item, line; first and last; pushZero when absent), the text,
    // getChunk. put and delete take a reference to the local's slot (its byte offset) in place of
    // the text; a whole variable is put before or after with eight pushZero.
    EXPECT_TRUE(compilesTo(R"(
on main t
  n = 0
  s = char 1 to 2 of word 3 of item 4 of line 5 to 6 of t
  put "x" into item 2 of s
  put "y" before char 3 of s
  put "!" after s
  delete word 2 to 3 of s
  n = char 1 of t & "x"
end
)",
                           R"(
.literal text "x"
.literal text "y"
.literal text "!"
.handler #main params 1 locals 2
    pushZero | popLocal 0
    pushInt 1 | pushInt 2 | pushInt 3 | pushZero | pushInt 4 | pushZero | pushInt 5 | pushInt 6
    pushParam 0 | getChunk | popLocal 8
    pushLiteral L0
    pushZero | pushZero | pushZero | pushZero | pushInt 2 | pushZero | pushZero | pushZero
    pushVarRef 8 | putChunk 0x15
    pushLiteral L1
    pushInt 3 | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero
    pushVarRef 8 | putChunk 0x35
    pushLiteral L2
    pushZero | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero
    pushVarRef 8 | putChunk 0x25
    pushZero | pushZero | pushInt 2 | pushInt 3 | pushZero | pushZero | pushZero | pushZero
    pushVarRef 8 | deleteChunk
    pushInt 1 | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero | pushZero
    pushParam 0 | getChunk | pushLiteral L0 | concat | popLocal 0
    ret
)"));
}

TEST(LangCompile, CallsByHandlerByNameAndIndirect) {
    // A handler of this script is callLocal (by its index), any other name callExternal; a
    // statement wants no result (argListNoResult), an expression does (argList). external always
    // calls by name; call pushes the arguments, then the callee. Lists are point and rect.
    // return is a call of #return; exit is ret; the names of the external line add no byte.
    EXPECT_TRUE(compilesTo(R"(
external nobody
on main a
  helper 1, 2
  helper(3)
  x = helper(4) + 1
  go 5
  go(6)
  go (1 + 2) * 3
  external helper 7
  x = external helper(8)
  nobody
  call a(9)
  call #go 10, 11
  x = call (a)(12)
  x = call #helper()
  x = [1, 2]
  x = [1, 2, 3, 4]
  return x
  return
  exit
end
on helper
end
)",
                           R"(
.extern nobody
.handler #main params 1 locals 1
    pushInt 1 | pushInt 2 | argListNoResult 2 | callLocal 1
    pushInt 3 | argListNoResult 1 | callLocal 1
    pushInt 4 | argList 1 | callLocal 1 | pushInt 1 | add | popLocal 0
    pushInt 5 | argListNoResult 1 | callExternal #go
    pushInt 6 | argListNoResult 1 | callExternal #go
    pushInt 1 | pushInt 2 | add | pushInt 3 | mul | argListNoResult 1 | callExternal #go
    pushInt 7 | argListNoResult 1 | callExternal #helper
    pushInt 8 | argList 1 | callExternal #helper | popLocal 0
    argListNoResult 0 | callExternal #nobody
    pushInt 9 | pushParam 0 | argListNoResult 1 | callIndirect
    pushInt 10 | pushInt 11 | pushSymbol #go | argListNoResult 2 | callIndirect
    pushInt 12 | pushParam 0 | argList 1 | callIndirect | popLocal 0
    pushSymbol #helper | argList 0 | callIndirect | popLocal 0
    pushInt 1 | pushInt 2 | argList 2 | callExternal #point | popLocal 0
    pushInt 1 | pushInt 2 | pushInt 3 | pushInt 4 | argList 4 | callExternal #rect | popLocal 0
    pushLocal 0 | argListNoResult 1 | callExternal #return
    argListNoResult 0 | callExternal #return
    ret
    ret
.handler #helper
    ret
)"));
}

TEST(LangCompile, TheUsesReportTheSourceLines) {
    // What the build checks across the movie: the handlers defined and the calls by name, each
    // with the line of the source it stands on (not of the assembly the compiler wrote); a name
    // of the external line is meant to find nothing and is not listed.
    AsmUses uses;
    const Built b = compileText(R"(external nobody
on main
  go 1
  helper
  nobody
end

on helper
  x = beep(2)
end
)",
                                &uses);
    ASSERT_TRUE(b.ok) << b.problems;
    ASSERT_EQ(uses.handlers.size(), 2u);
    EXPECT_EQ(uses.handlers[0].name, "main");
    EXPECT_EQ(uses.handlers[0].line, 2);
    EXPECT_EQ(uses.handlers[1].name, "helper");
    EXPECT_EQ(uses.handlers[1].line, 8);
    std::vector<std::string> calls;
    for (const AsmName& c : uses.calls)
        calls.push_back(c.name + ":" + std::to_string(c.line));
    EXPECT_EQ(calls, (std::vector<std::string>{"go:3", "beep:9"}));
}

TEST(LangCompile, PropertiesInEachForm) {
    // Named: getNamedProp / setNamedProp; of movie: getNamedPropAlt; of an object: the object,
    // then getObjectProp / setObjectProp. Numbered: the objects, the number, getEntity C; to set,
    // the objects, the value, the number, setEntity C (each name's category and number is the
    // next test's). From version 5 a member's property takes its castLib too, 0 when none is
    // given, but not to be set.
    EXPECT_TRUE(compilesTo(R"(
version 5
on main
  x = the frame
  x = the frame of movie
  x = the name of x
  set the frame to 3
  set the locH of x to 4
  x = the locH of sprite 2
  x = the last line of "t"
  x = the number of words in "t"
  x = the name of member 3
  x = the number of member "a" of castLib 2
  set the name of member 3 to "b"
  x = the property 40 of sprite 1
  set the property 40 of sprite 1 to 2
  x = the property 5 of system
  x = the property 12 of host "t"
  x = the property 3 of host
  x = the property 2 of count "t"
  x = the property 7 of category 12 x
  x = the property 1 of member 2 of castLib 3
end
)",
                           R"(
.version 5
.literal text "t"
.literal text "a"
.literal text "b"
.handler #main locals 1
    getNamedProp #frame | popLocal 0
    getNamedPropAlt #frame | popLocal 0
    pushLocal 0 | getObjectProp #name | popLocal 0
    pushInt 3 | setNamedProp #frame
    pushLocal 0 | pushInt 4 | setObjectProp #locH
    pushInt 2 | pushInt 13 | getEntity 6 | popLocal 0
    pushLiteral L0 | pushInt 15 | getEntity 0 | popLocal 0
    pushLiteral L0 | pushInt 2 | getEntity 1 | popLocal 0
    pushInt 3 | pushZero | pushInt 1 | getEntity 9 | popLocal 0
    pushLiteral L1 | pushInt 2 | pushInt 10 | getEntity 9 | popLocal 0
    pushInt 3 | pushLiteral L2 | pushInt 1 | setEntity 9
    pushInt 1 | pushInt 40 | getEntity 6 | popLocal 0
    pushInt 1 | pushInt 2 | pushInt 40 | setEntity 6
    pushInt 5 | getEntity 7 | popLocal 0
    pushLiteral L0 | pushInt 12 | getEntity 0 | popLocal 0
    pushInt 3 | getEntity 0 | popLocal 0
    pushLiteral L0 | pushInt 2 | getEntity 1 | popLocal 0
    pushLocal 0 | pushInt 7 | getEntity 12 | popLocal 0
    pushInt 2 | pushInt 3 | pushInt 1 | getEntity 9 | popLocal 0
    ret
)"));
    // Before version 5 a member's property takes the member alone.
    EXPECT_TRUE(compilesTo(R"(
on main
  x = the number of member "a"
  set the name of member 2 to "b"
end
)",
                           R"(
.literal text "a"
.literal text "b"
.handler #main locals 1
    pushLiteral L0 | pushInt 10 | getEntity 9 | popLocal 0
    pushInt 2 | pushLiteral L1 | pushInt 1 | setEntity 9
    ret
)"));
}

TEST(LangCompile, EveryNumberedPropertyNameHasItsCategoryAndNumber) {
    // The source names of the numbered properties against the assembler's own names for the same
    // category and number (docs/script-assembly.md), so that the two tables cannot drift apart.
    struct Named {
        const char* source;   // the NAME of "the NAME [of sprite 1 | of member 1]"
        const char* category; // the assembler's category name
        const char* number;   // the assembler's property number name
    };
    const Named kNamed[] = {
        {"floatPrecision", "host", "floatPrecision"},
        {"mouseDownHndl", "host", "mouseDownHndl"},
        {"mouseUpHndl", "host", "mouseUpHndl"},
        {"keyDownHndl", "host", "keyDownHndl"},
        {"keyUpHndl", "host", "keyUpHndl"},
        {"timeOutHandler", "host", "timeOutHandler"},
        {"timeShort", "host", "TimeShort"},
        {"timeAbbr", "host", "TimeAbbr"},
        {"timeLong", "host", "TimeLong"},
        {"kind", "sprite", "SpriteKind"},
        {"backColor", "sprite", "SpriteBackColor"},
        {"bottom", "sprite", "SpriteBottom"},
        {"castNum", "sprite", "SpriteCastNum"},
        {"foreColor", "sprite", "SpriteForeColor"},
        {"height", "sprite", "SpriteHeight"},
        {"ink", "sprite", "SpriteInk"},
        {"left", "sprite", "SpriteLeft"},
        {"lineSize", "sprite", "SpriteLineSize"},
        {"locH", "sprite", "SpriteLocH"},
        {"locV", "sprite", "SpriteLocV"},
        {"puppet", "sprite", "SpritePuppet"},
        {"right", "sprite", "SpriteRight"},
        {"top", "sprite", "SpriteTop"},
        {"visibility", "sprite", "SpriteVisibility"},
        {"width", "sprite", "SpriteWidth"},
        {"blend", "sprite", "SpriteBlend"},
        {"scriptNum", "sprite", "SpriteScriptNum"},
        {"loc", "sprite", "SpriteLoc"},
        {"member", "sprite", "SpriteMember"},
        {"beepOnClick", "system", "BeepOn"},
        {"buttonStyle", "system", "ButtonStyle"},
        {"centerStage", "system", "CenterStage"},
        {"checkBoxAccess", "system", "CheckBoxAccess"},
        {"checkBoxType", "system", "CheckBoxType"},
        {"colorDepth", "system", "ColorDepth"},
        {"exitLock", "system", "ExitLock"},
        {"fixStageSize", "system", "FixStageSize"},
        {"timeoutLapsed", "system", "TimeoutLapsed"},
        {"selEnd", "system", "SelEnd"},
        {"selStart", "system", "SelStart"},
        {"soundEnabled", "system", "SoundEnabled"},
        {"soundLevel", "system", "SoundLevel"},
        {"switchColorDepth", "system", "SwitchColorDepth"},
        {"timeoutLength", "system", "TimeoutLength"},
        {"timeoutMouse", "system", "TimeoutMouse"},
        {"timeoutPlay", "system", "TimeoutPlay"},
        {"timer", "system", "Timer"},
        {"name", "member", "MemberName"},
        {"number", "member", "MemberNumber"},
    };
    for (const Named& n : kNamed) {
        SCOPED_TRACE(n.source);
        const std::string cat = n.category;
        const std::string object = cat == "sprite"   ? " of sprite 1"
                                   : cat == "member" ? " of member 1"
                                                     : "";
        const std::string push = object.empty() ? "" : "    pushInt 1\n";
        // Read, and set with the value between the object and the number.
        // Property number 0 (floatPrecision) is pushed as pushZero, as every 0 is.
        const std::string number = std::string(n.number) == "floatPrecision"
                                       ? "    pushZero\n"
                                       : "    pushInt " + std::string(n.number) + "\n";
        EXPECT_TRUE(compilesTo("on main\n  x = the " + std::string(n.source) + object +
                                   "\n  set the " + n.source + object + " to 2\nend\n",
                               ".handler #main locals 1\n" + push + number + "    getEntity " +
                                   cat + "\n    popLocal 0\n" + push + "    pushInt 2\n" + number +
                                   "    setEntity " + cat + "\n    ret\n"));
    }
}

TEST(LangCompile, SpriteTestsSkipTraceAndDeclarations) {
    // The sprite tests take a sum on each side. skip is nop; trace read, write and field are the
    // trace instructions. version sets the block's format, and a literals line fixes the first
    // entries of the literal table, which the code then shares.
    EXPECT_TRUE(compilesTo(R"(
version 7
literals "x", 5, literal(9, 123), literal(1, 4)
on main a, b
  t = sprite a intersects sprite b + 1
  t = sprite a + 1 within sprite b
  skip
  trace read 5
  trace write 300
  trace field -1
  t = "y"
  t = "x"
  t = 5
  t = literal(9, 123)
  t = 40000
end
)",
                           R"(
.version 7
.literal text "x"
.literal int 5
.literal float 123
.literal raw 1 4
.literal text "y"
.literal int 40000
.handler #main params 2 locals 1
    pushParam 0 | pushParam 8 | pushInt 1 | add | spriteIntersects | popLocal 0
    pushParam 0 | pushInt 1 | add | pushParam 8 | spriteWithin | popLocal 0
    nop
    pushProperty 5
    popProperty 300
    setField -1
    pushLiteral L4 | popLocal 0
    pushLiteral L0 | popLocal 0
    pushInt 5 | popLocal 0
    pushLiteral L2 | popLocal 0
    pushLiteral L5 | popLocal 0
    ret
)"));
}

TEST(LangCompile, NamesInQuotesAndTheNameTable) {
    // A quoted name may be a keyword or hold any text; it names a variable, a handler and a call.
    // Names met for the first time are added to the movie's table in the order the code uses
    // them; names already there keep their ids.
    EXPECT_TRUE(compilesTo(R"(
on 'end' 'my value'
  'repeat' = 'my value'
  'go on' 'repeat'
  go
  return #frame
end
)",
                           R"(
.handler "end" params 1 locals 1
    pushParam 0 | popLocal 0
    pushLocal 0 | argListNoResult 1 | callExternal "go on"
    argListNoResult 0 | callExternal go
    pushSymbol frame | argListNoResult 1 | callExternal return
    ret
)"));
    const Built b = compileText("on main\n  newName 1\n  go\n  x = #later\nend\n");
    ASSERT_TRUE(b.ok) << b.problems;
    EXPECT_EQ(b.names,
              (std::vector<std::string>{"return", "go", "frame", "main", "newName", "later"}));
}

TEST(LangCompile, AsmBlocksPassTheirInstructionsThrough) {
    // A block's instructions stand where it does. A handler whose last statement is a block ends
    // with the block (no ret of its own); any other gets its ret.
    EXPECT_TRUE(compilesTo(R"(
on main n
  x = 1
  asm
    pushParam 0
    pushLocal 0
    add
    argListNoResult 1
    callExternal #return
  end asm
end
on other
  asm
    nop
  end asm
  x = 2
end
)",
                           R"(
.handler #main params 1 locals 1
    pushInt 1 | popLocal 0
    pushParam 0 | pushLocal 0 | add | argListNoResult 1 | callExternal #return
.handler #other locals 1
    nop
    pushInt 2 | popLocal 0
    ret
)"));
}

// The lines of a block and of a script in assembly are assembly, not the language: labels, ;
// comments, .byte and the directives stand as they are.
TEST(LangCompile, AsmBlocksTakeLabelsCommentsAndBytes) {
    EXPECT_TRUE(compilesTo(R"(
on main
  asm
  top:              ; a label and a comment
    jumpBack top
    .byte 0x18
  end asm
  x = 1
end
)",
                           R"(
.handler #main locals 1
top:
    jumpBack top
    .byte 0x18
    pushInt 1 | popLocal 0
    ret
)"));
}

TEST(LangCompile, AScriptInAssemblyIsAssembledAsItIs) {
    const char* text = R"(.version 3
.literal text "a"
.handler #main params 1   ; the only handler
    pushLiteral L0
    jumpIfZero done
done:
    ret
)";
    EXPECT_TRUE(
        compilesTo(std::string("-- written in assembly\nasm\n") + text + "end asm\n", text));
}

// --- what the compiler refuses ------------------------------------------------------------------

struct Expected {
    int line;
    int column;
    const char* message; // a part of the message
};

// Compiles a text that must fail: every error, in order, at its place and saying what it should;
// the block and the name table are left as they were.
void expectErrors(std::string_view source, std::vector<Expected> want) {
    std::vector<uint8_t> block = {1, 2, 3};
    std::vector<std::string> names = kMovieNames;
    std::vector<LangError> errors;
    EXPECT_FALSE(compileScriptSource(source, &block, &errors, &names)) << source;
    EXPECT_EQ(block, (std::vector<uint8_t>{1, 2, 3})) << "a refused text must leave the block";
    EXPECT_EQ(names, kMovieNames) << "a refused text must not add names";
    ASSERT_EQ(errors.size(), want.size()) << errorsText(errors);
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(langErrorText("test.sky", errors[i]));
        EXPECT_EQ(errors[i].pos.line, want[i].line);
        EXPECT_EQ(errors[i].pos.column, want[i].column);
        EXPECT_NE(errors[i].message.find(want[i].message), std::string::npos);
    }
}

TEST(LangErrors, EveryErrorOfTheTextIsReportedInOrder) {
    // A parse error and a missing end if in one handler, then the compiler's own errors in the
    // next: all four, sorted by their place.
    expectErrors(R"(on main
  x = 1 +
  if x then
    y = newName
end
on other
  exit repeat
  return z
end
)",
                 {
                     {2, 10, "expected a value, found the end of the line"},
                     {3, 3, "this 'if' has no 'end if'"},
                     {7, 3, "exit repeat stands outside any repeat"},
                     {8, 10,
                      "'z' is no variable of this handler: give it a value first, or declare it "
                      "with a global line"},
                 });
    EXPECT_EQ(langErrorText("ball.sky", {{7, 3}, "exit repeat stands outside any repeat"}),
              "ball.sky:7:3: exit repeat stands outside any repeat");
    EXPECT_EQ(langErrorText("ball.sky", {{0, 0}, "whole text"}), "ball.sky: whole text");
}

TEST(LangErrors, UnclosedBlocksNameTheirOpener) {
    expectErrors("on main\n  repeat while 1\n    x = 1\nend\n",
                 {{2, 3, "this 'repeat' has no 'end repeat'"}});
    expectErrors("on main\n  case 1\n    when 1\n      x = 1\nend\n",
                 {{2, 3, "this 'case' has no 'end case'"}});
    expectErrors("on main\n  asm\n    nop\n", {{1, 1, "the handler 'main' has no 'end'"},
                                               {2, 1, "this 'asm' has no 'end asm'"}});
    expectErrors("on main\n  x = 1\n", {{1, 1, "the handler 'main' has no 'end'"}});
    expectErrors("on main\n  x = 1\nend other\n",
                 {{3, 5, "'end other' closes the handler 'main'"}});
    expectErrors("on main\n  case 1\n  end case\nend\n",
                 {{2, 3, "a case needs at least one 'when'"}});
}

TEST(LangErrors, UnknownPropertiesSuggestTheNearestName) {
    expectErrors(R"(on main
  x = the locHh of sprite 1
  x = the framee
  x = the timerr
  x = the zzzzzz
  x = the foo of member 2
  x = the castNum of 3
end
)",
                 {
                     {2, 11, "'locHh' is no sprite property; did you mean locH?"},
                     {3, 11, "'framee' is no property; did you mean frame?"},
                     {4, 11, "'timerr' is no property; did you mean timer?"},
                     {5, 11, "'zzzzzz' is no property"},
                     {6, 11, "'foo' is no property of a member: name or number"},
                     {7, 11, "'castNum' is no property that takes an object"},
                 });
}

TEST(LangErrors, VariablesMustBeKnownAndChunksNeedALocal) {
    // A name read but never given a value, declared or passed is no variable; put into a chunk
    // and delete write into a local's slot, so a parameter or a global is refused.
    expectErrors(R"(global g
on main p
  x = unknown + 1
  put "x" into char 1 of p
  delete word 1 of g
  put "y" after p
end
)",
                 {
                     {3, 7, "'unknown' is no variable of this handler"},
                     {4, 26,
                      "put into a chunk works on a local variable, and 'p' is a parameter: copy "
                      "it into a local first"},
                     {5, 20, "delete works on a local variable, and 'g' is a global"},
                     {6, 17, "'p' is a parameter"},
                 });
}

TEST(LangErrors, KeywordsAreNoNamesUnlessQuoted) {
    expectErrors("on main\n  local if\nend\n",
                 {{2, 9,
                   "expected a variable's name, found the keyword 'if' (write 'if' in single "
                   "quotes to use it as a name)"}});
    expectErrors("on main\n  repeat with then = 1 to 2\n  end repeat\nend\n",
                 {{2, 15, "expected the counter's name, found the keyword 'then'"}});
    expectErrors("global end\non main\nend\n", {{1, 8, "found the keyword 'end'"}});
}

TEST(LangErrors, PropertyFormsThatCannotBeCompiled) {
    expectErrors(R"(on main
  x = the name of member 1 of castLib 2
  set the frame of movie to 2
  set the last char of "abc" to 2
end
)",
                 {
                     {2, 39, "'of castLib' needs 'version 5' or more at the top of the script"},
                     {3, 3, "'of movie' is for reading"},
                     {4, 7, "this property of a text cannot be set"},
                 });
    expectErrors("version 5\non main\n  set the name of member 1 of castLib 2 to 3\nend\n",
                 {{3, 39, "a member's property is set without its castLib"}});
    expectErrors("on main\n  x = the property 70000 of sprite 1\n  x = the property 1 of category "
                 "6 1\n  x = the property 1 of stage 1\nend\n",
                 {
                     {2, 20, "a property number fits in 16 bits"},
                     {3, 34, "write this category by its name"},
                     {4, 25, "expected sprite, member, system, host, count or category after 'of'"},
                 });
}

TEST(LangErrors, StatementsSayWhatWasExpected) {
    expectErrors(R"(on main
  x = (1
  x = 1 2
  trace read 40000
  trace other 1
  delete x
  put 1 onto x
  x = sprite 1 near sprite 2
  x = char 1 of word 2 of char 3 of "a"
  set x 5
  x = f(1, 2
  x = [1, 2, 3]
  next
  repeat until 3
  end repeat
end
)",
                 {
                     {2, 9, "expected ')', found the end of the line"},
                     {3, 9, "expected the end of the line after the statement, found the number 2"},
                     {4, 14, "the traced number must fit in 16 bits"},
                     {5, 9, "expected 'read', 'write' or 'field' after 'trace', found 'other'"},
                     {6, 10, "expected a chunk after 'delete'"},
                     {7, 9, "expected 'into', 'before' or 'after', found 'onto'"},
                     {8, 16, "expected 'intersects' or 'within' after the sprite, found 'near'"},
                     {9, 27, "a chunk names its parts smallest first"},
                     {10, 9, "expected 'to' and the new value, found the number 5"},
                     {11, 13, "expected ')' or ',' in the arguments, found the end of the line"},
                     {12, 7, "a list is a point [h, v] or a rect [left, top, right, bottom]"},
                     {13, 7, "expected 'repeat' after 'next', found the end of the line"},
                     {14, 10, "expected 'while' or 'with' after 'repeat', found 'until'"},
                 });
}

TEST(LangErrors, TokensThatCannotBeRead) {
    expectErrors(R"(on main
  x = "abc
  x = 1 @ 2
  x = 12abc
  x = #
  x = "\q"
  x = 99999999999
  x = 2147483648
  x = -2147483649
end
)",
                 {
                     {2, 7, "this text has no closing \""},
                     {3, 9, "unexpected character '@'"},
                     {4, 9, "a number cannot run into a name"},
                     {5, 7, "a symbol is # and a name"},
                     {6, 7, "unknown escape \\q"},
                     {7, 7, "the number 99999999999 is too large"},
                     {8, 7, "the number does not fit in 32 bits"},
                     {9, 7, "the number does not fit in 32 bits"},
                 });
}

TEST(LangErrors, DeclarationsThatClash) {
    expectErrors("on main\nend\non main\nend\n",
                 {{3, 1, "the handler 'main' is defined twice in this script"}});
    expectErrors("on main\nend\nversion 3\n", {{3, 1, "'version' stands before the handlers"}});
    expectErrors("literals 1\nliterals 2\non main\nend\n",
                 {{2, 1, "one 'literals' line stands before the handlers"}});
}

// KNOWN COMPILER BUG: a clash of declarations is reported at the handler's 'on' line, column 1,
// wherever the declaration that clashes stands (a 'local' or 'global' line below it, or the
// second of two parameters), and a clash of the script's own global and property once for every
// handler. Each error belongs on the name that clashes; this test fails until it is put there.
TEST(LangErrors, AClashIsReportedWhereTheSecondNameStands) {
    expectErrors("on main a, a\nend\n", {{1, 12, "the parameter 'a' is named twice"}});
    expectErrors("on h q\n  global q\nend\n",
                 {{2, 10, "'q' is a parameter and declared global or property"}});
    expectErrors("on k q\n  local q\nend\n",
                 {{2, 9, "the local 'q' is already a parameter, a global or a local"}});
    expectErrors("global g\nproperty g\non a\nend\non b\nend\n",
                 {{2, 10, "'g' is declared both global and property"}});
}

TEST(LangErrors, AssemblyErrorsPointAtTheirSourceLine) {
    // The assembler's error inside a block, or in a script in assembly, is placed on its line of
    // the source.
    expectErrors("on main\n  x = 1\n  asm\n    frobnicate 3\n  end asm\nend\n",
                 {{4, 1, "unknown instruction 'frobnicate'"}});
    expectErrors("-- in assembly\nasm\n.handler #main\n    bogus\nend asm\n",
                 {{4, 1, "unknown instruction 'bogus'"}});
    // A directive has no place inside a handler.
    expectErrors("on main\n  asm\n    .literal int 5\n  end asm\nend\n",
                 {{3, 1, "only instructions, labels and .byte stand in an asm block"}});
}

// A line the parser cannot take as part of a handler (a bad 'on' line, an 'else' or 'when' with
// no if or case to belong to, a second 'else') is one error: the handler goes on, and its later
// lines are not taken for lines between handlers.
TEST(LangErrors, AMistakeInAHandlerGivesOneError) {
    expectErrors("on repeat\n  x = 1\nend\n",
                 {{1, 4, "expected the handler's name, found the keyword 'repeat'"}});
    expectErrors("on main a,\n  x = 1\nend\n",
                 {{1, 11, "expected a parameter's name, found the end of the line"}});
    expectErrors("on main\n  x = 1\n  else\n  y = 2\nend\n",
                 {{3, 3, "'else' stands outside any 'if' or 'case'"}});
    expectErrors("on main\n  when 1\n  y = 2\nend\n", {{2, 3, "'when' stands outside any 'case'"}});
    expectErrors("on main\n  if 1 then\n  else\n  else\n  end if\nend\n",
                 {{4, 3, "this 'if' already has its 'else'"}});
    expectErrors("on main\n  x = 1\n  end repeat\nend\n",
                 {{3, 3, "'end repeat' closes no 'repeat'"}});
    expectErrors("on main\nend\nasm\n.handler #x\nend asm\n",
                 {{3, 1, "a script in assembly holds nothing else"}});
}

// An error on a line between the handlers belongs to no handler, and hides none of the errors
// of the handler above it.
TEST(LangErrors, AnErrorBetweenHandlersHidesNoOther) {
    expectErrors("on h q\n  global q\nend\nversion 3\n",
                 {
                     {2, 10, "'q' is a parameter and declared global or property"},
                     {4, 1, "'version' stands before the handlers"},
                 });
}

// Text that nests without bound is refused with an error, not by running out of stack; runs of
// unary minus and of not nest too. Each text is compiled in a child process, so that a crash
// fails this test alone.
TEST(LangCompileDeathTest, DeepNestingIsAnErrorNotACrash) {
    auto times = [](const char* word, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += word;
        return s;
    };
    auto handler = [](const std::string& body) { return "on main\n" + body + "end\n"; };
    const struct {
        const char* what;
        std::string text;
    } kDeep[] = {
        {"parentheses", handler("  x = " + times("(", 100000) + "1" + times(")", 100000) + "\n")},
        {"lists", handler("  x = " + times("[", 100000) + "1\n")},
        {"ifs", handler(times("  if 1 then\n", 20000) + times("  end if\n", 20000))},
        {"unary minus", handler("  x = " + times("- ", 50000) + "1\n")},
        {"not", handler("  x = " + times("not ", 50000) + "1\n")},
    };
    for (const auto& d : kDeep) {
        SCOPED_TRACE(d.what);
        EXPECT_EXIT(
            {
                std::vector<uint8_t> block;
                std::vector<LangError> errors;
                std::vector<std::string> names;
                const bool ok = compileScriptSource(d.text, &block, &errors, &names);
                std::exit(!ok && !errors.empty() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

} // namespace
