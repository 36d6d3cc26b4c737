// A script error ends its event and says where it happened: its code, the handler it happened in
// (by name, or by script and index for a handler without one) and the offset of the failing
// instruction reach the event's report, the event log's line and the log's abandoned lines,
// whether the interpreter raised it, a built-in call did, or a call nested too deeply.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/abandon.h"
#include "core/guid.h"
#include "player/eventlog.h"
#include "script/assembler.h"
#include "script/runtime.h"
#include "script/script.h"

using namespace skv;

namespace {

enum : int32_t { nMouseUp, nMouseDown, nStartMovie, nEnterFrame, nExitFrame, nExplode, nRecurse };
const std::vector<std::string> kNames = {"mouseUp",   "mouseDown", "startMovie", "enterFrame",
                                         "exitFrame", "explode",   "recurse",    "noSuchHandler"};

class Scripts : public ScriptObjectLookup {
public:
    skvObject* lookupObject(const GUID& id) override {
        for (auto& [ref, s] : scripts)
            if (memberGuid(ref) == id) return s.get();
        return nullptr;
    }
    std::map<int32_t, std::unique_ptr<skvScript>> scripts;
};

// Keeps each report and writes it to the log, as the player's listener does.
struct Reports : EventListener {
    explicit Reports(EventLog& l) : log(l) {}
    void eventDelivered(const EventReport& r) override {
        all.push_back(r);
        log.eventDelivered(r);
    }
    EventLog& log;
    std::vector<EventReport> all;
};

// The sprite script (10, on sprite 3): its mouseUp calls explode, whose second byte is no
// instruction; its mouseDown calls a handler whose nameId lies past the name table.
const char* kSpriteScript = R"(
.handler mouseUp
    argListNoResult 0
    callLocal 1
    ret
.handler explode
    nop
    .byte 0x02
    ret
.handler mouseDown
    argListNoResult 0
    callLocal 3
    ret
.handler 40
    nop
    nop
    .byte 0x02
)";

// The movie script (20): startMovie calls a name nothing answers; enterFrame starts a recursion
// that goes too deep; exitFrame loops until the step limit.
const char* kMovieScript = R"(
.handler startMovie
    argListNoResult 0
    callExternal noSuchHandler
    ret
.handler enterFrame
    argListNoResult 0
    callExternal recurse
    ret
.handler recurse
    argListNoResult 0
    callExternal recurse
    ret
.handler exitFrame
top:
    nop
    jumpBack top
)";

class ScriptFailure : public ::testing::Test {
protected:
    ScriptFailure() : reports(log) {
        runtime.engine->names.assign(kNames);
        add(10, kSpriteScript, false, 3);
        add(20, kMovieScript, true);
        runtime.setEventListener(&reports);
        runtime.attach(&lookup, nullptr);
        // The recursion (100 calls deep) stays well inside it.
        runtime.engine->setStepLimit(1000);
    }

    void add(int32_t ref, const std::string& text, bool movie, int32_t key = 0) {
        std::vector<uint8_t> bytes;
        AsmError err;
        std::vector<std::string> names = kNames;
        ASSERT_TRUE(assembleScript(text, &bytes, &err, &names)) << err.line << ": " << err.message;
        ASSERT_EQ(names, kNames); // every name the scripts use is in the table already
        auto s = std::make_unique<skvScript>();
        s->objectId = memberGuid(ref);
        s->block = std::make_unique<ScriptBlock>(bytes);
        lookup.scripts[ref] = std::move(s);
        runtime.engine->scripts.push_back({key, ref, movie ? 1 : 0});
    }

    // The log's lines of one kind, without their times.
    std::vector<std::string> linesOf(const std::string& kind) {
        std::vector<std::string> out;
        const std::string key = "\"" + kind + "\":";
        for (const std::string& l : log.lines()) {
            const size_t comma = l.find(',');
            if (comma == std::string::npos || l.compare(comma + 1, key.size(), key) != 0) continue;
            std::string line(1, '{');
            line.append(l, comma + 1);
            out.push_back(line);
        }
        return out;
    }

    EventLog log;
    Scripts lookup;
    skvScriptRuntime runtime;
    Reports reports;
};

TEST_F(ScriptFailure, TheErrorItsHandlerAndItsOffsetReachTheReportAndTheLog) {
    ASSERT_TRUE(log.hearsAbandoned());
    EXPECT_TRUE(runtime.mouseUp(3, -1, -1, 2));
    runtime.mouseDown(3, -1, -1, 2);
    runtime.startMovie();
    runtime.enterFrame(-1);
    runtime.exitFrame(-1);
    ASSERT_EQ(reports.all.size(), 5u);

    struct Expected {
        int32_t code;
        std::string handler;
        int32_t script, index, offset;
    };
    const std::vector<Expected> expected = {
        {kScriptBadOpcode, "explode", 10, 1, 1},    // in the handler mouseUp called
        {kScriptBadOpcode, "", 10, 3, 2},           // a handler the name table has no name for
        {kScriptNoBuiltin, "startMovie", 20, 0, 2}, // raised by the call, outside the loop
        {kScriptStackLimit, "recurse", 20, 2, 2},   // the call that would have gone too deep
        {kScriptStackLimit, "exitFrame", 20, 3, 1}, // the jump past the step limit
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(reports.all[i].event);
        const ScriptError& e = reports.all[i].error;
        EXPECT_TRUE(reports.all[i].failed);
        EXPECT_EQ(e.code, expected[i].code);
        EXPECT_EQ(e.handler, expected[i].handler);
        EXPECT_EQ(e.script, expected[i].script);
        EXPECT_EQ(e.handlerIndex, expected[i].index);
        EXPECT_EQ(e.offset, expected[i].offset);
    }

    // The event's line goes on after "failed" with the error and its place; the lines of events
    // that did not fail are as they always were.
    EXPECT_EQ(
        linesOf("event"),
        (std::vector<std::string>{
            R"({"event":"mouseUp","sprite":2,"spriteScript":3,"ran":[{"role":"sprite","handler":"mouseUp",)"
            R"("script":10}],"failed":true,"error":8002,"handler":"explode","offset":1})",
            R"({"event":"mouseDown","sprite":2,"spriteScript":3,"ran":[{"role":"sprite","handler":)"
            R"("mouseDown","script":10}],"failed":true,"error":8002,"script":10,)"
            R"("handlerIndex":3,"offset":2})",
            R"({"event":"startMovie","ran":[{"role":"movie","handler":"startMovie",)"
            R"("script":20}],"failed":true,"error":8003,"handler":"startMovie","offset":2})",
            R"({"event":"enterFrame","ran":[{"role":"movie","handler":"enterFrame",)"
            R"("script":20}],"failed":true,"error":8005,"handler":"recurse","offset":2})",
            R"({"event":"exitFrame","ran":[{"role":"movie","handler":"exitFrame",)"
            R"("script":20}],"failed":true,"error":8005,"handler":"exitFrame","offset":1})",
        }));
    // Each also has an abandoned line with its reason.
    const std::vector<std::string> abandoned = linesOf("abandoned");
    ASSERT_EQ(abandoned.size(), 5u) << ::testing::PrintToString(log.lines());
    EXPECT_EQ(abandoned[0], R"({"abandoned":"script event","reason":"mouseUp ended by )"
                            R"(ScriptError 8002 (invalid opcode) in explode at offset 1"})");
    EXPECT_EQ(abandoned[1], R"({"abandoned":"script event","reason":"mouseDown ended by )"
                            R"(ScriptError 8002 (invalid opcode) in handler 3 of script 10 at )"
                            R"(offset 2"})");
}

TEST(EventLogListening, OnlyOneLogHearsAbandonedOperationsUntilItGoes) {
    auto first = std::make_unique<EventLog>();
    ASSERT_TRUE(first->hearsAbandoned());
    EventLog second;
    EXPECT_FALSE(second.hearsAbandoned());
    abandoned("readBMP", "no data");
    EXPECT_TRUE(second.lines().empty());
    ASSERT_EQ(first->lines().size(), 1u);
    EXPECT_EQ(first->lines()[0].substr(first->lines()[0].find(',')),
              R"(,"abandoned":"readBMP","reason":"no data"})");
    // Gone, it hears nothing more (a log left installed would be written to after its end), and
    // the place is free for the next log.
    first.reset();
    abandoned("readBMP", "while no log listens");
    EventLog third;
    ASSERT_TRUE(third.hearsAbandoned());
    abandoned("readBMP", "quote \" and\nnew line");
    ASSERT_EQ(third.lines().size(), 1u);
    EXPECT_EQ(third.lines()[0].substr(third.lines()[0].find(',')),
              R"(,"abandoned":"readBMP","reason":"quote \" and\nnew line"})");
}

} // namespace
