#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "core/errors.h"
#include "net/netop.h"
#include "net/parmmgr.h"

using namespace skv;

namespace {

int32_t raisedCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const CoreError& e) {
        return e.code;
    }
    return 0;
}

std::string valueOf(parmMgr& p, const char* name) {
    char out[64] = "untouched";
    if (!p.getValue(name, out, sizeof out)) return "<absent>";
    return out;
}

} // namespace

TEST(ParmMgr, LookupIgnoresCaseAndFindsTheFirstDuplicate) {
    parmMgr p;
    EXPECT_EQ(p.addPair("src", "movie.skm"), 1);
    EXPECT_EQ(p.addPair("Width", "512"), 1);
    EXPECT_EQ(p.addPair("WIDTH", "640"), 1);
    EXPECT_EQ(valueOf(p, "SRC"), "movie.skm");
    EXPECT_EQ(valueOf(p, "width"), "512");
    EXPECT_EQ(valueOf(p, "height"), "<absent>");
    // A prefix is not a match in either direction.
    EXPECT_EQ(valueOf(p, "sr"), "<absent>");
    EXPECT_EQ(valueOf(p, "srcx"), "<absent>");
}

TEST(ParmMgr, FullListRefusesTheNextPairAndStaysUnchanged) {
    parmMgr p;
    for (int i = 0; i < parmMgr::kMaxPairs; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "p%d", i);
        ASSERT_EQ(p.addPair(name, "v"), 1);
    }
    EXPECT_EQ(p.addPair("extra", "x"), 0);
    EXPECT_EQ(p.count(), parmMgr::kMaxPairs);
    EXPECT_EQ(valueOf(p, "extra"), "<absent>");
    EXPECT_EQ(valueOf(p, "p127"), "v");
    // Room again after a removal.
    EXPECT_EQ(p.removePair("p0"), 1);
    EXPECT_EQ(p.addPair("extra", "x"), 1);
    EXPECT_EQ(valueOf(p, "extra"), "x");
}

TEST(ParmMgr, RemoveTakesTheFirstMatchAndKeepsOrder) {
    parmMgr p;
    p.addPair("a", "1");
    p.addPair("b", "2");
    p.addPair("A", "3");
    p.addPair("c", "4");
    EXPECT_EQ(p.removePair("a"), 1);
    EXPECT_EQ(p.count(), 3);
    EXPECT_EQ(valueOf(p, "a"), "3"); // the duplicate now comes first
    EXPECT_EQ(valueOf(p, "c"), "4");
    EXPECT_EQ(p.removePair("zzz"), 0);
    EXPECT_EQ(p.count(), 3);
    EXPECT_EQ(p.removePair("A"), 1);
    EXPECT_EQ(valueOf(p, "a"), "<absent>");
}

TEST(ParmMgr, MissingArgumentsRaise1000) {
    parmMgr p;
    p.addPair("a", "1");
    char out[8];
    EXPECT_EQ(raisedCode([&] { p.addPair(nullptr, "v"); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.addPair("", "v"); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.addPair("n", nullptr); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.addPair("n", ""); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.getValue("a", nullptr, 8); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.getValue("a", out, 0); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.getValue(nullptr, out, 8); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([&] { p.removePair(nullptr); }), kErrNullArgument);
    EXPECT_EQ(p.count(), 1);
}

TEST(ParmMgr, ValueIsCutToTheCallersBuffer) {
    parmMgr p;
    std::string longValue(300, 'x');
    p.addPair("sw1", longValue.c_str());
    char out[16];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(p.getValue("SW1", out, 8), 1);
    EXPECT_STREQ(out, "xxxxxxx");
    EXPECT_EQ(out[8], '#'); // nothing written past the capacity
    EXPECT_EQ(p.getValue("sw1", out, 1), 1);
    EXPECT_STREQ(out, "");
}

TEST(ParmMgr, PairsOwnTheirCopies) {
    parmMgr p;
    char name[] = "src";
    char value[] = "a.skm";
    p.addPair(name, value);
    name[0] = 'x';
    value[0] = 'z';
    EXPECT_EQ(valueOf(p, "src"), "a.skm");
}

TEST(NetOp, KeepsAVerbatimCopyAndStartsClear) {
    char url[] = "http://example.test/page?q=1";
    netOp op(netOp::kText, url, 7);
    url[0] = 'X';
    EXPECT_STREQ(op.text(), "http://example.test/page?q=1");
    EXPECT_EQ(op.operation, netOp::kText);
    EXPECT_EQ(op.value, 7);
    EXPECT_EQ(op.state, 0);
    EXPECT_EQ(op.result, 0);
    EXPECT_EQ(raisedCode([] { netOp(netOp::kPage, "", 1); }), kErrNullArgument);
    EXPECT_EQ(raisedCode([] { netOp(netOp::kPage, nullptr, 1); }), kErrNullArgument);
}
