// The script host with its built-ins and properties, linked to a recording player: calls a
// built-in by name with values, or runs a handler written in assembly.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "player_double.h"
#include "script/builtins.h"
#include "script_fixture.h"

namespace skvtest {

// Names the host tests' scripts use; the constants below are their ids.
inline const std::vector<std::string> kHostNames = {
    "main",   "loop",     "next",   "previous",     "other",      "fadeIn",     "fadeOut",
    "stop",   "playFile", "g",      "puppetSprite", "rollOver",   "go",         "itemDelimiter",
    "frame",  "name",     "locH",   "nowhere",      "randomSeed", "maxinteger", "string",
    "random", "integer",  "return", "12",           "point",
};
enum : int32_t {
    hMain,
    hLoop,
    hNext,
    hPrevious,
    hOther,
    hFadeIn,
    hFadeOut,
    hStop,
    hPlayFile,
    hG,
    hPuppetSprite,
    hRollOver,
    hGo,
    hItemDelimiter,
    hFrame,
    hName,
    hLocH,
    hNowhere,
    hRandomSeed,
    hMaxinteger,
    hString,
    hRandom,
    hInteger,
    hReturn,
    hTwelve,
    hPoint,
};

// Returns the value on top of the stack from the handler.
inline const char* kReturnTop = "argListNoResult 1\ncallExternal 23\n";

inline ScriptValue sym(int32_t nameId) {
    return ScriptValue::of(vtSymbol, nameId);
}
inline ScriptValue txt(const char* t) {
    return makeString(t);
}

// A table from (frame, text) pairs in the stored layout.
inline FrameLabelTable labelTable(const std::vector<std::pair<int16_t, std::string>>& labels) {
    std::vector<uint8_t> b;
    auto put16 = [&](int v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    put16(int(labels.size()));
    std::string text;
    for (const auto& [frame, t] : labels) {
        put16(frame);
        put16(int(text.size()));
        text += t;
    }
    put16(0);
    put16(int(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    return FrameLabelTable(b);
}

// Runs on the virtual clock, so that ticks, seconds and waits are exact.
class HostTest : public ::testing::Test {
protected:
    static constexpr uint64_t kStartMs = 1000000;
    void SetUp() override { platform::setVirtualClock(true, kStartMs); }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
    }

    HostTest() {
        engine.names.assign(kHostNames);
        host().setLink(&player);
        engine.attach(&score, nullptr);
    }

    ScriptHost& host() { return engine.host(); }

    void labels(const std::vector<std::pair<int16_t, std::string>>& l) {
        engine.labels = labelTable(l);
        engine.hasLabels = true;
    }

    // Calls the built-in; the arguments are released afterwards, whatever happens.
    Seen call(const char* name, std::vector<ScriptValue> args = {}) {
        struct Release {
            std::vector<ScriptValue>& a;
            ~Release() {
                for (ScriptValue& v : a)
                    releaseValue(v);
            }
        } release{args};
        ScriptValue r = host().callBuiltin(engine, name, args.data(), int32_t(args.size()));
        Seen s = see(r);
        lastType = r.type;
        releaseValue(r);
        return s;
    }
    // Points and rects as the "string" built-in writes them, texts and numbers as they are.
    std::string shown(const char* name, std::vector<ScriptValue> args = {}) {
        struct Release {
            std::vector<ScriptValue>& a;
            ~Release() {
                for (ScriptValue& v : a)
                    releaseValue(v);
            }
        } release{args};
        ScriptValue r = host().callBuiltin(engine, name, args.data(), int32_t(args.size()));
        std::string out;
        if (r.type == vtPoint || r.type == vtRect) {
            ScriptValue s = host().callBuiltin(engine, "string", &r, 1);
            out = s.text();
            releaseValue(s);
        } else if (r.isText()) {
            out = r.text();
        } else {
            out = std::to_string(r.asInt());
        }
        releaseValue(r);
        return out;
    }
    // The ScriptError the call raises, or 0.
    int32_t errorOf(const char* name, std::vector<ScriptValue> args = {}) {
        try {
            call(name, std::move(args));
        } catch (const ScriptError& e) {
            return e.code;
        }
        return 0;
    }
    // A handler (nameId 0) around `body`, run with the given format version; its result.
    Seen run(const std::string& body, int version = 0) {
        std::string text = ".version " + std::to_string(version) + "\n.handler 0\n" + body + "\n";
        std::vector<uint8_t> bytes;
        AsmError err;
        if (!assembleScript(text, &bytes, &err)) {
            ADD_FAILURE() << "line " << err.line << ": " << err.message;
            return {};
        }
        auto s = std::make_unique<skvScript>();
        s->block = std::make_unique<ScriptBlock>(bytes);
        skvScript* raw = s.get();
        score.objects[1000 + next_] = std::move(s);
        ++next_;
        engine.runHandler(raw, 0, 0, true);
        ScriptValue r = engine.pop();
        Seen seen = see(r);
        releaseValue(r);
        EXPECT_EQ(engine.stackTop(), 0) << "the handler left values on the stack";
        return seen;
    }

    FakeScore score;
    ScriptEngine engine;
    RecordingPlayer player;
    uint32_t lastType = vtNone;

private:
    int32_t next_ = 0;
};

} // namespace skvtest
