// Events offered to sprite, cast member, frame and movie scripts in order, "pass", the named
// pre-handlers, eaten presses, and errors that end an event without touching the next.
#include <gtest/gtest.h>

#include <set>

#include "core/guid.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "script/asmnames.h"
#include "script/assembler.h"
#include "script/runtime.h"
#include "script/script.h"
#include "script_fixture.h"

using namespace skv;

namespace {

enum : int32_t {
    nMouseUp,
    nMouseDown,
    nPass,
    nDontPass,
    nEnterFrame,
    nStartMovie,
    nBoom,
    nPreDown,
    nTimeout,
    nExitFrame,
    nStopMovie,
};
const std::vector<std::string> kEventNames = {
    "mouseUp", "mouseDown", "pass",    "dontPassEvent", "enterFrame", "startMovie",
    "boom",    "preDown",   "timeout", "exitFrame",     "stopMovie"};

struct Recorder : EventListener {
    void eventDelivered(const EventReport& r) override { reports.push_back(r); }
    std::vector<EventReport> reports;
};

// "role:script" for every handler that ran.
std::vector<std::string> ran(const EventReport& r) {
    std::vector<std::string> out;
    for (const HandlerRun& h : r.ran)
        out.push_back(std::string(roleName(h.role)) + ":" + h.handler + ":" +
                      std::to_string(h.script));
    return out;
}

class Events : public ::testing::Test {
protected:
    Events() {
        runtime.engine->names.assign(kEventNames);
        runtime.setEventListener(&recorder);
    }

    // A handler body that calls "pass" (or not), then returns.
    static std::string handler(int32_t nameId, bool pass) {
        std::string s = ".handler " + std::to_string(nameId) + "\n";
        if (pass) s += "argListNoResult 0\ncallExternal " + std::to_string(nPass) + "\n";
        return s + "ret\n";
    }

    void add(int32_t ref, const std::string& text, bool movie, int32_t key = 0) {
        std::vector<uint8_t> bytes;
        AsmError err;
        ASSERT_TRUE(assembleScript(text, &bytes, &err)) << err.line << ": " << err.message;
        auto s = std::make_unique<skvScript>();
        s->objectId = memberGuid(ref);
        s->block = std::make_unique<ScriptBlock>(bytes);
        score.objects[ref] = std::move(s);
        runtime.engine->scripts.push_back({key, ref, movie ? 1 : 0});
    }

    void attach() { runtime.attach(&score, nullptr); }
    const EventReport& last() { return recorder.reports.back(); }

    skvtest::FakeScore score;
    skvScriptRuntime runtime;
    Recorder recorder;
};

TEST_F(Events, AHandlerThatDoesNotPassEndsTheEvent) {
    add(10, handler(nMouseUp, false), false, 3); // sprite script 3
    add(11, handler(nMouseUp, true), false, 4);  // cast member 4
    add(12, handler(nMouseUp, true), false, 5);  // frame script 5
    add(20, handler(nMouseUp, false), true);
    attach();
    EXPECT_TRUE(runtime.mouseUp(3, 4, 5));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"sprite:mouseUp:10"}));
}

TEST_F(Events, PassCarriesTheEventOnToTheFirstMovieScriptWithAHandler) {
    add(10, handler(nMouseUp, true), false, 3);
    add(11, handler(nMouseUp, true), false, 4);
    add(12, handler(nMouseUp, true), false, 5);
    add(19, handler(nEnterFrame, false), true); // a movie script without the handler
    add(20, handler(nMouseUp, false), true);
    add(21, handler(nMouseUp, false), true); // never reached: the first one with it wins
    attach();
    EXPECT_TRUE(runtime.mouseUp(3, 4, 5));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"sprite:mouseUp:10", "cast:mouseUp:11",
                                                     "frame:mouseUp:12", "movie:mouseUp:20"}));
}

TEST_F(Events, ObjectsWithoutScriptsOrHandlersLetTheEventThrough) {
    add(11, handler(nEnterFrame, false), false, 4); // cast script without mouseDown
    add(12, handler(nMouseDown, false), false, 5);
    add(20, handler(nMouseDown, false), true);
    attach();
    // No sprite (0), a cast member whose script lacks the handler: the frame script has it.
    EXPECT_TRUE(runtime.mouseDown(0, 4, 5));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"frame:mouseDown:12"}));
    // A script that has not arrived behaves as one without handlers.
    runtime.engine->scripts.push_back({7, 99, 0});
    EXPECT_TRUE(runtime.mouseDown(7, 0, -1));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"movie:mouseDown:20"}));
}

TEST_F(Events, FrameEventsGoToTheFrameScriptThenTheMovie) {
    add(12, handler(nExitFrame, true), false, 5);
    add(20, handler(nExitFrame, false), true);
    add(21, handler(nEnterFrame, false) + handler(nStartMovie, false), true);
    attach();
    runtime.exitFrame(5);
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"frame:exitFrame:12", "movie:exitFrame:20"}));
    runtime.enterFrame(5);
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"movie:enterFrame:21"}));
    runtime.startMovie();
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"movie:startMovie:21"}));
    EXPECT_EQ(last().frameScript, -1);
}

TEST_F(Events, TheAssemblerKnowsEveryEventTheRuntimeDelivers) {
    // The build takes a handler named nearly like one of these for a typo: the list must be the
    // events the entry points deliver, no more and no fewer.
    add(20, handler(nMouseUp, false), true);
    attach();
    runtime.startMovie();
    runtime.stopMovie();
    runtime.enterFrame(-1);
    runtime.exitFrame(-1);
    runtime.idle(-1);
    runtime.timeout(-1);
    runtime.mouseDown(0, 0, -1);
    runtime.mouseUp(0, 0, -1);
    std::set<std::string> delivered;
    for (const EventReport& r : recorder.reports)
        delivered.insert(r.event);
    const std::vector<std::string_view>& known = asmEventNames();
    EXPECT_EQ(delivered, std::set<std::string>(known.begin(), known.end()));
}

TEST_F(Events, AnEventMissingFromTheNameTableNeverRuns) {
    // "idle" is not in the table, whatever the scripts hold.
    add(20, ".handler 0\nret\n", true);
    attach();
    runtime.idle(5);
    ASSERT_EQ(recorder.reports.size(), 1u);
    EXPECT_TRUE(last().ran.empty());
    EXPECT_FALSE(last().failed);
}

TEST_F(Events, APressHandlerThatDoesNotPassEatsThePressAndItsRelease) {
    add(20,
        ".handler " + std::to_string(nPreDown) + "\nargListNoResult 0\ncallExternal " +
            std::to_string(nDontPass) + "\nret\n" + handler(nMouseDown, false) +
            handler(nMouseUp, false),
        true);
    attach();
    ScriptHost::storeFirstWord(runtime.engine->host().mouseDownHndl, "preDown");
    EXPECT_FALSE(runtime.mouseDown(0, 0, -1));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"pre:preDown:20"}));
    EXPECT_FALSE(runtime.mouseUp(0, 0, -1));
    EXPECT_TRUE(last().ran.empty());
    // A pre-handler that neither passes nor refuses lets the event on.
    ScriptHost::storeFirstWord(runtime.engine->host().mouseDownHndl, "mouseUp");
    EXPECT_TRUE(runtime.mouseDown(0, 0, -1));
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"pre:mouseUp:20", "movie:mouseDown:20"}));
    EXPECT_TRUE(runtime.mouseUp(0, 0, -1)) << "the eaten press was the earlier one";
    // A name the table lacks runs nothing and lets the event on.
    ScriptHost::storeFirstWord(runtime.engine->host().timeOutHandler, "noSuchName");
    runtime.timeout(-1);
    EXPECT_TRUE(last().dispatched);
}

TEST_F(Events, AnErrorEndsOnlyItsOwnEvent) {
    // startMovie calls a built-in nobody has (8003); the sprite handler runs an invalid opcode.
    add(20,
        ".handler " + std::to_string(nStartMovie) + "\nargListNoResult 0\ncallExternal " +
            std::to_string(nBoom) + "\nret\n" + handler(nEnterFrame, false),
        true);
    add(10, ".handler " + std::to_string(nMouseUp) + "\n.byte 255\nret\n", false, 3);
    add(21, handler(nMouseUp, false), true);
    attach();
    runtime.startMovie();
    EXPECT_TRUE(last().failed);
    EXPECT_EQ(runtime.engine->stackTop(), 0);
    runtime.enterFrame(-1);
    EXPECT_FALSE(last().failed);
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"movie:enterFrame:20"}));
    // The failing sprite handler ends the release: the movie script does not see it.
    runtime.mouseUp(3, 0, -1);
    EXPECT_TRUE(last().failed);
    EXPECT_EQ(ran(last()), (std::vector<std::string>{"sprite:mouseUp:10"}));
}

TEST_F(Events, ADisabledRuntimeDeliversNothing) {
    add(20, handler(nMouseDown, false), true);
    attach();
    runtime.enabled = 0;
    EXPECT_FALSE(runtime.mouseDown(0, 0, -1));
    runtime.enabled = 1;
    runtime.noScripts = 1;
    runtime.startMovie();
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(Events, AReleaseOffNoSpriteBeepsWhenAsked) {
    add(20, handler(nMouseUp, false), true);
    attach();
    skv::platform::clearMessageBoxes();
    // The beep waits a second: on the virtual clock that costs nothing.
    skv::platform::setVirtualClock(true, 5000);
    runtime.engine->host().beepOnClick = 1;
    runtime.mouseUp(0, 0, -1);
    const DWORD after = GetTickCount();
    runtime.mouseUp(3, 0, -1); // on a sprite: no beep
    EXPECT_EQ(skv::platform::messageBeeps().size(), 1u);
    EXPECT_EQ(after, 6000u);
    skv::platform::setVirtualClock(false);
    skv::platform::leaveVirtualClock();
}

} // namespace
