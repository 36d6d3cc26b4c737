// A movie's script side without a player: a score that hands out scripts by identifier, a host
// that records what the interpreter asks of it, and helpers that assemble handlers and run them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/guid.h"
#include "script/assembler.h"
#include "script/script.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skvtest {

using namespace skv;

class FakeScore : public ScriptObjectLookup {
public:
    skvObject* lookupObject(const GUID& id) override {
        for (auto& [ref, obj] : objects)
            if (memberGuid(ref) == id) return obj.get();
        return nullptr;
    }
    std::map<int32_t, std::unique_ptr<skvObject>> objects;
};

// What a value looked like, taken before the value is released.
struct Seen {
    uint32_t type = vtNone;
    int32_t num = 0;
    std::string text;
    bool operator==(const Seen&) const = default;
};

inline Seen see(const ScriptValue& v) {
    Seen s{v.type, v.asInt(), v.text()};
    return s;
}
inline Seen integer(int32_t n) {
    return {vtInteger, n, ""};
}
inline Seen str(const std::string& t) {
    return {vtString, 0, t};
}

inline void PrintTo(const Seen& s, std::ostream* os) {
    *os << "{type " << s.type << ", " << s.num << ", \"" << s.text << "\"}";
}

class FakeHost : public ScriptHost {
public:
    struct Call {
        std::string name;
        std::vector<Seen> args;
    };

    ScriptValue callBuiltin(ScriptEngine& engine, const char* name, const ScriptValue* args,
                            int32_t argc) override {
        Call c{name, {}};
        for (int32_t i = 0; i < argc; ++i)
            c.args.push_back(see(args[i]));
        calls.push_back(c);
        auto it = builtins.find(name);
        if (it == builtins.end()) {
            ScriptError e{}; // the error's other fields are the engine's to fill in
            e.code = kScriptNoBuiltin;
            throw e;
        }
        return it->second(args, argc);
    }
    void delay(int32_t ticks) override { delays.push_back(ticks); }
    char itemDelimiter() const override { return delimiter; }
    int32_t spriteIntersects(int32_t a, int32_t b) override { return a == b; }
    int32_t spriteWithin(int32_t a, int32_t b) override { return a < b; }
    bool getNamedProp(ScriptEngine&, const char* name, ScriptValue* out) override {
        if (std::strcmp(name, "frame") != 0) return false;
        *out = ScriptValue::integer(frame);
        return true;
    }
    void setNamedProp(ScriptEngine&, const char* name, const ScriptValue& v) override {
        if (std::strcmp(name, "frame") == 0) frame = v.asInt();
    }

    std::map<std::string, std::function<ScriptValue(const ScriptValue*, int32_t)>> builtins;
    std::vector<Call> calls;
    std::vector<int32_t> delays;
    char delimiter = ',';
    int32_t frame = 1;
};

// The name table every test starts with; its ids are the constants below.
inline const std::vector<std::string> kNames = {
    "main",         "return", "exit",     "param",   "paramCount", "result", "abort",
    "clearGlobals", "delay",  "integerp", "stringp", "voidp",      "abs",    "helper",
    "g1",           "g2",     "symbolp",  "floatp",  "ilk",        "put",    "unknownBuiltin",
    "frame",        "pause",  "continue", "mouseUp",
};
enum : int32_t {
    kMain,
    kReturn,
    kExit,
    kParam,
    kParamCount,
    kResult,
    kAbort,
    kClearGlobals,
    kDelay,
    kIntegerp,
    kStringp,
    kVoidp,
    kAbs,
    kHelper,
    kG1,
    kG2,
    kSymbolp,
    kFloatp,
    kIlk,
    kPut,
    kUnknownBuiltin,
    kFrame,
    kPause,
    kContinue,
    kMouseUp,
};

class ScriptTest : public ::testing::Test {
protected:
    ScriptTest() {
        auto h = std::make_unique<FakeHost>();
        host = h.get();
        engine.setHost(std::move(h));
        engine.names.assign(kNames);
    }

    // Names 0..n-1; globals are created at attach from this count.
    void names(std::vector<std::string> list) { engine.names.assign(std::move(list)); }

    // Assembles `text` into script `ref`, listed as a movie script or under `key`.
    skvScript* addScript(int32_t ref, const std::string& text, bool movieScript = false,
                         int32_t key = 0) {
        std::vector<uint8_t> bytes;
        AsmError err;
        if (!assembleScript(text, &bytes, &err)) {
            ADD_FAILURE() << "line " << err.line << ": " << err.message;
            return nullptr;
        }
        return addBlock(ref, bytes, movieScript, key);
    }

    // Lists an assembled block as script `ref`, a movie script or under `key`.
    skvScript* addBlock(int32_t ref, const std::vector<uint8_t>& bytes, bool movieScript = false,
                        int32_t key = 0) {
        auto s = std::make_unique<skvScript>();
        s->block = std::make_unique<ScriptBlock>(bytes);
        skvScript* raw = s.get();
        score.objects[ref] = std::move(s);
        engine.scripts.push_back({key, ref, movieScript ? 1 : 0});
        return raw;
    }

    void attach() { engine.attach(&score, nullptr); }

    // Runs handler `index` of `s` with the arguments and returns what it returned.
    Seen call(skvScript* s, int32_t index, std::vector<ScriptValue> args = {}) {
        if (!engine.initialised()) attach();
        for (const ScriptValue& a : args)
            engine.push(a);
        engine.runHandler(s, index, static_cast<int32_t>(args.size()), true);
        ScriptValue r = engine.pop();
        Seen seen = see(r);
        releaseValue(r);
        EXPECT_EQ(engine.stackTop(), 0) << "the handler left values on the stack";
        return seen;
    }

    // The error code a run ends with, or 0.
    int32_t errorOf(skvScript* s, int32_t index, std::vector<ScriptValue> args = {}) {
        if (!engine.initialised()) attach();
        try {
            for (const ScriptValue& a : args)
                engine.push(a);
            engine.runHandler(s, index, static_cast<int32_t>(args.size()), false);
        } catch (const ScriptError& e) {
            engine.resetStack();
            return e.code;
        }
        engine.resetStack();
        return 0;
    }

    // One handler (nameId 0, the given params and locals) around `body`; returns its result.
    Seen eval(const std::string& body, std::vector<ScriptValue> args = {}, int params = 0,
              int locals = 0) {
        std::string text = ".handler 0 params " + std::to_string(params) + " locals " +
                           std::to_string(locals) + "\n" + body + "\n";
        skvScript* s = addScript(900 + nextRef_++, text, false);
        return s ? call(s, 0, std::move(args)) : Seen{};
    }

    FakeScore score;
    ScriptEngine engine;
    FakeHost* host = nullptr;

private:
    int32_t nextRef_ = 0;
};

} // namespace skvtest
