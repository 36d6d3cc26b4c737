#include "script_fixture.h"

#include "script/chunks.h"

using namespace skvtest;

namespace {

std::string chunk(std::string_view t, ChunkBounds b, bool forDelete = false, char delim = ',') {
    ChunkRange r = findChunk(t, b, delim, forDelete);
    EXPECT_LE(r.start, r.end);
    EXPECT_LE(r.end, t.size());
    return std::string(t.substr(r.start, r.end - r.start));
}

ChunkBounds chars(int a, int b = 0) {
    return {a, b, 0, 0, 0, 0, 0, 0};
}
ChunkBounds words(int a, int b = 0) {
    return {0, 0, a, b, 0, 0, 0, 0};
}
ChunkBounds items(int a, int b = 0) {
    return {0, 0, 0, 0, a, b, 0, 0};
}
ChunkBounds lines(int a, int b = 0) {
    return {0, 0, 0, 0, 0, 0, a, b};
}

TEST(Chunks, Items) {
    EXPECT_EQ(chunk("a,b,c", items(2)), "b");
    EXPECT_EQ(chunk("a,b,c", items(1)), "a");
    EXPECT_EQ(chunk("a,b,c", items(3)), "c");
    EXPECT_EQ(chunk("a,b,c", items(1, 2)), "a,b");
    EXPECT_EQ(chunk("a,b", items(4)), "");
    EXPECT_EQ(chunk("a;b", items(2), false, ';'), "b");
    // For deleting, the delimiter after the item belongs to it.
    std::string_view t = "a,b,c";
    ChunkRange r = findChunk(t, items(2), ',', true);
    EXPECT_EQ(std::string(t.substr(0, r.start)) + std::string(t.substr(r.end)), "a,c");
}

TEST(Chunks, Words) {
    EXPECT_EQ(chunk("  one  two ", words(2)), "two");
    EXPECT_EQ(chunk("  one  two ", words(1)), "one");
    EXPECT_EQ(chunk("one two", words(2)), "two") << "a word that ends the text";
    EXPECT_EQ(chunk("one two", words(3)), "");
    EXPECT_EQ(chunk("a b c d", words(2, 3)), "b c");
    EXPECT_EQ(chunk("one\ttwo", words(2)), "two");
}

TEST(Chunks, LinesCountEveryBreakByteOnItsOwn) {
    EXPECT_EQ(chunk("x\ry", lines(2)), "y");
    EXPECT_EQ(chunk("x\ry", lines(1)), "x");
    EXPECT_EQ(chunk("x\ry", lines(3)), "");
    EXPECT_EQ(chunk("x\r\ny", lines(2)), "") << "CR LF holds an empty line";
    EXPECT_EQ(chunk("x\r\ny", lines(3)), "y");
    EXPECT_EQ(chunk("a\nb\nc", lines(1, 2)), "a\nb");
    EXPECT_EQ(chunk("a\fb", lines(2)), "b");
}

TEST(Chunks, Characters) {
    EXPECT_EQ(chunk("abcd", chars(2, 3)), "bc");
    EXPECT_EQ(chunk("abc", chars(9)), "");
    EXPECT_EQ(chunk("abc", chars(2)), "b");
    EXPECT_EQ(chunk("abc", chars(2, 99)), "bc");
    EXPECT_EQ(chunk("abc", chars(3, 1)), "") << "last before first";
    EXPECT_EQ(chunk("abc", chars(-5, 2)), "ab") << "a first below 1 counts as 1";
    EXPECT_EQ(chunk("", chars(1)), "");
}

TEST(Chunks, StagesNarrowEachOther) {
    // char 2 of word 2 of item 2 of line 2.
    EXPECT_EQ(chunk("zzz\nq,ab cd,r", {2, 0, 2, 0, 2, 0, 2, 0}), "d");
    // An item past the end of its line is empty, not a range running backwards.
    EXPECT_EQ(chunk("a\nb,c", {0, 0, 0, 0, 2, 0, 1, 0}), "");
    EXPECT_EQ(chunk("one two\nthree", {0, 0, 2, 0, 0, 0, 1, 0}), "two");
}

// The chunk opcodes on the stack: bounds deepest first, then the text (get) or the variable (put,
// delete).
std::string pushBounds(ChunkBounds b) {
    std::string s;
    for (int v : {b.charFirst, b.charLast, b.wordFirst, b.wordLast, b.itemFirst, b.itemLast,
                  b.lineFirst, b.lineLast})
        s += "pushInt " + std::to_string(v) + "\n";
    return s;
}
const std::string kReturnTop = "argListNoResult 1\ncallExternal 1\n";

TEST_F(ScriptTest, GetChunkOpcode) {
    skvScript* s =
        addScript(70, ".literal text \"a,b,c\"\n.handler 0\n" + pushBounds(items(2)) +
                          "pushLiteral L0\ngetChunk\n" + kReturnTop + ".handler 0\n" +
                          pushBounds(chars(2, 3)) + "pushInt 12345\ngetChunk\n" + kReturnTop);
    EXPECT_EQ(call(s, 0), str("b"));
    EXPECT_EQ(call(s, 1), str("23")) << "an integer is chunked as its decimal text";
    host->delimiter = ';';
    EXPECT_EQ(call(s, 0), str("")) << "with ';' as delimiter the text is one item";
}

TEST_F(ScriptTest, PutChunkModesAndDeleteChunk) {
    auto run = [&](int mode, ChunkBounds b, const char* text, const char* insert) {
        std::string src = std::string(".literal text \"") + text + "\"\n.literal text \"" + insert +
                          "\"\n.handler 0 locals 1\npushLiteral L0\npopLocal 0\n" +
                          "pushLiteral L1\n" + pushBounds(b) + "pushVarRef 0\nputChunk " +
                          std::to_string(mode) + "\npushLocal 0\n" + kReturnTop;
        static int ref = 200;
        skvScript* s = addScript(ref++, src);
        return call(s, 0);
    };
    EXPECT_EQ(run(0x25, items(1), "a,b", "x"), str("ax,b"));
    EXPECT_EQ(run(0x35, items(1), "a,b", "x"), str("xa,b"));
    EXPECT_EQ(run(0x15, items(2), "a,b,c", "XY"), str("a,XY,c"));
    EXPECT_EQ(run(0x15, words(2), "put it here", "that"), str("put that here"));
    EXPECT_EQ(run(0x15, chars(9), "abc", "!"), str("abc!"));

    skvScript* del = addScript(250, ".literal text \"a,b,c\"\n.handler 0 locals 1\n"
                                    "pushLiteral L0\npopLocal 0\n" +
                                        pushBounds(items(2)) +
                                        "pushVarRef 0\ndeleteChunk\n"
                                        "pushLocal 0\n" +
                                        kReturnTop);
    EXPECT_EQ(call(del, 0), str("a,c"));

    skvScript* bad = addScript(251, ".handler 0 locals 1\npushZero\n" + pushBounds(items(1)) +
                                        "pushVarRef 0\nputChunk 0x16\n");
    EXPECT_EQ(errorOf(bad, 0), kScriptBadChunkMode);
    // A variable reference outside the locals changes nothing and leaves the stack balanced.
    skvScript* outside = addScript(
        252, ".handler 0 locals 1\npushInt 5\npopLocal 0\npushZero\n" + pushBounds(items(1)) +
                 "pushVarRef 64\nputChunk 0x15\n" + pushBounds(items(1)) +
                 "pushVarRef.w -8\ndeleteChunk\npushLocal 0\n" + kReturnTop);
    EXPECT_EQ(call(outside, 0), integer(5));
}

TEST_F(ScriptTest, ChunkOpcodesInAHandlerCalledWithinTheScriptChangeItsOwnLocal) {
    // Handler 0 keeps "a,b,c" in its local while handlers 1 and 2, called from it within the
    // script, put into and delete from their own locals; back in handler 0, a delete reaches its
    // local again.
    skvScript* s = addScript(260, R"(
.literal text "a,b,c"
.literal text "p,q,r"
.literal text "X"
.handler 0 locals 1
    pushLiteral L0
    popLocal 0
    argList 0
    callLocal 1
    popGlobal 14
    argList 0
    callLocal 2
    popGlobal 15
)" + pushBounds(items(1)) + R"(
    pushVarRef 0
    deleteChunk
    pushLocal 0
)" + kReturnTop + R"(
.handler 0 locals 1
    pushLiteral L1
    popLocal 0
    pushLiteral L2
)" + pushBounds(items(2)) + R"(
    pushVarRef 0
    putChunk 0x15
    pushLocal 0
)" + kReturnTop + R"(
.handler 0 params 1 locals 2
    pushLiteral L1
    popLocal 8
)" + pushBounds(items(1)) + R"(
    pushVarRef 8
    deleteChunk
    pushLocal 8
)" + kReturnTop);
    EXPECT_EQ(call(s, 0), str("b,c")) << "the caller's local is its own";
    EXPECT_EQ(see(engine.global(kG1)), str("p,X,r")) << "putChunk into the called handler's local";
    EXPECT_EQ(see(engine.global(kG2)), str("q,r")) << "deleteChunk from the called handler's local";
    // Called on their own, the handlers give the same.
    EXPECT_EQ(call(s, 1), str("p,X,r"));
    EXPECT_EQ(call(s, 2), str("q,r"));
}

} // namespace
