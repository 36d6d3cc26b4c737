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

// The chunk opcodes on the stack: bounds deepest first, then the text. The opcodes themselves are
// in cases/chunks.skasm and cases/chunk_local_calls.skasm; here only what needs the host.
std::string pushBounds(ChunkBounds b) {
    std::string s;
    for (int v : {b.charFirst, b.charLast, b.wordFirst, b.wordLast, b.itemFirst, b.itemLast,
                  b.lineFirst, b.lineLast})
        s += "pushInt " + std::to_string(v) + "\n";
    return s;
}
const std::string kReturnTop = "argListNoResult 1\ncallExternal 1\n";

TEST_F(ScriptTest, GetChunkOpcodeSplitsItemsAtTheHostsDelimiter) {
    skvScript* s = addScript(70, ".literal text \"a,b,c\"\n.handler 0\n" + pushBounds(items(2)) +
                                     "pushLiteral L0\ngetChunk\n" + kReturnTop);
    EXPECT_EQ(call(s, 0), str("b"));
    host->delimiter = ';';
    EXPECT_EQ(call(s, 0), str("")) << "with ';' as delimiter the text is one item";
}

} // namespace
