// Script objects and the runtime read from their stream bodies, and the tables they fill.
#include <gtest/gtest.h>

#include <cstring>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/registry.h"
#include "script/assembler.h"
#include "script/bytes.h"
#include "script/framelabels.h"
#include "script/runtime.h"
#include "script/script.h"
#include "script/scriptclasses.h"

using namespace skv;

namespace {

// Bytes written by a storing archive.
template <class F> std::vector<uint8_t> store(F&& f) {
    auto* pipe = new MemoryPipe();
    uArchive ar(pipe, uArchive::kStoring);
    f(ar);
    std::vector<uint8_t> out = pipe->bytes();
    return out;
}

struct Loader {
    explicit Loader(std::vector<uint8_t> b)
        : pipe(new MemoryPipe(std::move(b))), ar(pipe, uArchive::kLoading) {}
    MemoryPipe* pipe;
    uArchive ar;
};

std::vector<uint8_t> assemble(const std::string& text) {
    std::vector<uint8_t> b;
    AsmError e;
    EXPECT_TRUE(assembleScript(text, &b, &e)) << e.line << ": " << e.message;
    return b;
}

// A block of `size` zero bytes with the header words set.
std::vector<uint8_t> rawBlock(size_t size, uint16_t handlers, uint32_t table, uint32_t lits = 0,
                              uint32_t data = 0) {
    std::vector<uint8_t> b(size, 0);
    if (size >= ScriptBlock::kHeaderSize) {
        writeU32(&b[8], uint32_t(size));
        writeU16(&b[72], handlers);
        writeU32(&b[74], table);
        writeU32(&b[80], lits);
        writeU32(&b[88], data);
    }
    return b;
}

TEST(ScriptBlock, HandlerLookupTakesTheLowestIndex) {
    ScriptBlock b(assemble(".handler 5\nret\n.handler 7\nret\n.handler 5\nret\n"));
    EXPECT_EQ(b.handlerCount(), 3);
    EXPECT_EQ(b.findHandler(5), 0);
    EXPECT_EQ(b.findHandler(7), 1);
    EXPECT_EQ(b.findHandler(6), -1);
    ScriptBlock none(assemble(".version 5\n"));
    EXPECT_EQ(none.handlerCount(), 0);
    EXPECT_EQ(none.findHandler(0), -1);
    EXPECT_EQ(none.formatVersion(), 5);
}

TEST(ScriptBlock, UntrustedHeadersNeverReachOutsideTheBlock) {
    // Header cut short: no handlers, no literals.
    ScriptBlock shortHeader(std::vector<uint8_t>(50, 0xFF));
    EXPECT_EQ(shortHeader.handlerCount(), 0);
    EXPECT_EQ(shortHeader.literal(0).type, uint32_t(vtVoid));
    // 1000 records claimed, room for two.
    ScriptBlock cut(rawBlock(96 + 42 * 2 + 10, 1000, 96));
    EXPECT_EQ(cut.handlerCount(), 2);
    EXPECT_EQ(cut.handler(2), nullptr);
    // Table offset past the end.
    ScriptBlock beyond(rawBlock(200, 3, 0xFFFFFFF0));
    EXPECT_EQ(beyond.handlerCount(), 0);
    // Code ranges that leave the block (also by wrapping around) are empty.
    std::vector<uint8_t> b = rawBlock(96 + 42 * 2, 2, 96);
    writeU32(&b[96 + 4], 10);
    writeU32(&b[96 + 8], 1000);
    writeU32(&b[96 + 42 + 4], 0x20);
    writeU32(&b[96 + 42 + 8], 0xFFFFFFF0);
    writeU16(&b[96 + 12], uint16_t(-4)); // a negative parameter count reads as none
    ScriptBlock code(b);
    ASSERT_NE(code.handler(0), nullptr);
    EXPECT_EQ(code.handler(0)->codeEnd, code.handler(0)->codeOffset);
    EXPECT_EQ(code.handler(1)->codeEnd, code.handler(1)->codeOffset);
    EXPECT_EQ(code.handler(0)->paramCount, 0);
}

TEST(ScriptBlock, ATextLiteralAtTheEndOfTheBlockRunsToTheEndWithoutItsNul) {
    // One text literal at the very end of the block, without a NUL.
    std::vector<uint8_t> b = rawBlock(96 + 8 + 4 + 3, 0, 96, 96, 104);
    writeU32(&b[96], ScriptBlock::kLiteralText);
    writeU32(&b[100], 0);
    std::memcpy(&b[108], "abc", 3);
    ScriptBlock noNul(b);
    EXPECT_STREQ(noNul.literal(0).text(), "abc");
    // Read from a stream with more bytes after the block: the text stops at the block's end.
    std::vector<uint8_t> body(4);
    writeU32(body.data(), uint32_t(b.size()));
    body.insert(body.end(), b.begin(), b.end());
    for (char c : std::string("def"))
        body.push_back(uint8_t(c));
    Loader l(body);
    std::unique_ptr<ScriptBlock> read = ScriptBlock::read(l.ar);
    ASSERT_EQ(read->length(), b.size());
    EXPECT_STREQ(read->literal(0).text(), "abc");
    // A text whose start is the block's end is empty.
    std::vector<uint8_t> atEnd = b;
    writeU32(&atEnd[100], 3);
    EXPECT_STREQ(ScriptBlock(atEnd).literal(0).text(), "");

    b.push_back(0);
    writeU32(&b[8], uint32_t(b.size()));
    ScriptBlock withNul(b);
    EXPECT_STREQ(withNul.literal(0).text(), "abc");
    EXPECT_EQ(withNul.literal(-8).type, uint32_t(vtVoid));
    EXPECT_EQ(withNul.literal(16).type, uint32_t(vtVoid));
}

TEST(skvScript, BodyRoundTripAndShortReads) {
    registerScriptClasses();
    skvScript s;
    s.block = std::make_unique<ScriptBlock>(assemble(".handler 3\npushInt 1\nret\n"));
    EXPECT_EQ(s.sizeHint(), int32_t(s.block->length()));
    std::vector<uint8_t> bytes = store([&](uArchive& ar) { s.serialize(ar); });
    ASSERT_EQ(bytes.size(), 64u + 4 + s.block->length());

    Loader l(std::vector<uint8_t>(bytes.begin() + 64, bytes.end()));
    skvScript r;
    r.serialize(l.ar);
    ASSERT_TRUE(r.block);
    EXPECT_EQ(r.block->length(), s.block->length());
    EXPECT_EQ(0, std::memcmp(r.block->data(), s.block->data(), r.block->length()));
    EXPECT_EQ(r.findHandler(3), 0);

    // Through the object reader, by class identifier.
    Loader whole(bytes);
    skvObject* o = readObject(whole.ar);
    ASSERT_NE(o, nullptr);
    EXPECT_NE(dynamic_cast<skvScript*>(o), nullptr);
    o->destroy();

    // A length word larger than what follows, or negative, is a short read.
    for (int32_t len : {1000, -1, 0x7FFFFFFF}) {
        std::vector<uint8_t> body(4);
        writeU32(body.data(), uint32_t(len));
        body.resize(50, 0);
        Loader bad(body);
        skvScript t;
        EXPECT_THROW(t.serialize(bad.ar), CoreError) << len;
    }
    skvScript empty;
    EXPECT_EQ(empty.sizeHint(), 0);
    EXPECT_EQ(empty.findHandler(0), -1);
}

std::vector<uint8_t> runtimeBody() {
    std::vector<uint8_t> labels = {2, 0, 3, 0, 0, 0, 9, 0, 5, 0, 0, 0, 9, 0};
    labels.insert(labels.end(), {'i', 'n', 't', 'r', 'o', 'l', 'o', 'o', 'p', 'X', 'X'});
    return store([&](uArchive& ar) {
        ar.writeInt32(0);
        ar.writeInt32(2);
        ar.writeInt32(5).writeInt32(40).writeInt32(0);
        ar.writeInt32(0).writeInt32(41).writeInt32(1);
        ar.writeInt32(3);
        ar.writeString("startMovie").writeString("mouseUp").writeString("");
        ar.writeInt32(int32_t(labels.size()));
        ar.write(labels.data(), int32_t(labels.size()));
        ar.writeInt32(2);
        ar.writeString("BALL").writeInt32(4);
        ar.writeString("BALL").writeInt32(6);
    });
}

TEST(skvScriptRuntime, LoadsItsTablesAndStoresThemBack) {
    std::vector<uint8_t> body = runtimeBody();
    Loader l(body);
    skvScriptRuntime rt;
    rt.serialize(l.ar);
    EXPECT_EQ(l.pipe->remaining(), 0u);
    ScriptEngine& e = *rt.engine;
    ASSERT_EQ(e.scripts.size(), 2u);
    EXPECT_EQ(e.scripts[1].scriptRef, 41);
    EXPECT_EQ(e.scripts[1].isMovieScript, 1);
    EXPECT_EQ(e.nameIdOf("mouseUp"), 1);
    EXPECT_EQ(e.nameIdOf("mouseup"), -1) << "names are case-sensitive";
    EXPECT_STREQ(e.nameOf(2), "");
    EXPECT_EQ(e.nameOf(3), nullptr);
    EXPECT_TRUE(e.hasLabels);
    EXPECT_EQ(e.labels.frameOfLabel("LOOP"), 9);
    EXPECT_EQ(e.castNames.castNumberOf("BALL"), 6) << "the later entry wins in the map";
    EXPECT_EQ(rt.sizeHint(), 4);
    EXPECT_TRUE(rt.delivers());

    // Globals appear at the first attach, one per name.
    EXPECT_EQ(e.globalCount(), 0);
    rt.attach(nullptr, nullptr);
    EXPECT_EQ(e.globalCount(), 3);

    std::vector<uint8_t> again = store([&](uArchive& ar) { rt.serialize(ar); });
    std::vector<uint8_t> expected = body;
    // The map's number is written for both entries of the duplicated name.
    writeU32(&expected[expected.size() - 4 - 9 - 4], 6);
    EXPECT_EQ(std::vector<uint8_t>(again.begin() + 64, again.end()), expected);
}

TEST(skvScriptRuntime, NoScriptsReadsFourBytesAndDeliversNothing) {
    std::vector<uint8_t> body = {1, 0, 0, 0, 0xAA, 0xBB};
    Loader l(body);
    skvScriptRuntime rt;
    rt.serialize(l.ar);
    EXPECT_EQ(l.pipe->remaining(), 2u);
    EXPECT_FALSE(rt.delivers());
    rt.noScripts = 0;
    rt.enabled = 0;
    EXPECT_FALSE(rt.delivers());
}

TEST(skvScriptRuntime, CorruptCountsAreShortReads) {
    std::vector<uint8_t> good = runtimeBody();
    for (size_t cut = 0; cut < good.size(); cut += 3) {
        Loader l(std::vector<uint8_t>(good.begin(), good.begin() + long(cut)));
        skvScriptRuntime rt;
        EXPECT_THROW(rt.serialize(l.ar), CoreError) << cut;
    }
    std::vector<uint8_t> negative = store([](uArchive& ar) {
        ar.writeInt32(0);
        ar.writeInt32(-3);
    });
    Loader l(negative);
    skvScriptRuntime rt;
    EXPECT_THROW(rt.serialize(l.ar), CoreError);
}

TEST(ScriptEngine, ScriptsAreFoundByTheirMemberIdentifierAndOnlyIfTheyAreScripts) {
    struct Lookup : ScriptObjectLookup {
        skvObject* lookupObject(const GUID& id) override {
            if (id == memberGuid(0x10203)) return &script;
            if (id == memberGuid(8)) return &other;
            return nullptr;
        }
        skvScript script;
        skvObject other;
    } score;
    ScriptEngine e;
    EXPECT_EQ(e.scriptFor(0x10203), nullptr) << "before attach there is no score";
    e.attach(&score, nullptr);
    EXPECT_EQ(e.scriptFor(0x10203), &score.script);
    EXPECT_EQ(e.scriptFor(8), nullptr);
    EXPECT_EQ(e.scriptFor(9), nullptr);
    GUID g = memberGuid(0x10203);
    EXPECT_EQ(g.Data2, 0x0203);
    EXPECT_EQ(g.Data4[7], 0x03);
    // No movie scripts at all: not found; the last one absent: absent.
    EXPECT_EQ(e.findMovieHandler(0).state, MovieHandler::kNotFound);
    e.scripts.push_back({0, 9, 1});
    EXPECT_EQ(e.findMovieHandler(0).state, MovieHandler::kScriptAbsent);
    e.scripts.push_back({0, 0x10203, 1});
    EXPECT_EQ(e.findMovieHandler(0).state, MovieHandler::kNotFound);
}

TEST(ScriptClasses, RegisteredUnderTheirIdentifiers) {
    registerScriptClasses();
    EXPECT_STREQ(classNameOf(CLSID_skvScriptRuntime), "skvScriptRuntime");
    EXPECT_STREQ(classNameOf(CLSID_skvScript), "skvScript");
    skvObject* o = createObject(CLSID_skvScriptRuntime);
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(guidEqual(o->classId, CLSID_skvScriptRuntime));
    o->destroy();
}

} // namespace
