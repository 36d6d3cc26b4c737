// The bytecode interpreter against Lua 5.4 on the same programs, in one run: a counting loop
// (integer arithmetic, comparison, jump, local variables) and a recursive fib(25). The ratios are
// printed at the end; the loop should take no more than 1.5 times as long as Lua's.
#include <benchmark/benchmark.h>
#include <lua5.4/lua.hpp>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "core/guid.h"
#include "script/assembler.h"
#include "script/script.h"
#include "script/scriptengine.h"

namespace {

constexpr int32_t kLoopCount = 1000000;
constexpr int32_t kFibN = 25;

// nameId 1 is "return".
const char* kLoopAsm = R"(
.handler 0 params 1 locals 2
    pushZero
    popLocal 0
    pushZero
    popLocal 8
top:
    pushLocal 8
    pushParam 0
    lt
    jumpIfZero done
    pushLocal 0
    pushLocal 8
    pushInt 7
    mod
    pushInt 3
    mul
    add
    popLocal 0
    pushLocal 8
    pushInt 1
    add
    popLocal 8
    jumpBack top
done:
    pushLocal 0
    argListNoResult 1
    callExternal 1
.handler 2 params 1
    pushParam 0
    pushInt 2
    lt
    jumpIfZero recurse
    pushParam 0
    argListNoResult 1
    callExternal 1
recurse:
    pushParam 0
    pushInt 1
    sub
    argList 1
    callLocal 1
    pushParam 0
    pushInt 2
    sub
    argList 1
    callLocal 1
    add
    argListNoResult 1
    callExternal 1
)";

const char* kLua = R"(
function loop(n)
  local s, i = 0, 0
  while i < n do
    s = s + i % 7 * 3
    i = i + 1
  end
  return s
end
function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end
)";

struct Scripts : skv::ScriptObjectLookup {
    skv::skvObject* lookupObject(const GUID& id) override {
        return id == skv::memberGuid(1) ? &script : nullptr;
    }
    skv::skvScript script;
};

struct Interp {
    Interp() {
        std::vector<uint8_t> block;
        skv::AsmError err;
        if (!skv::assembleScript(kLoopAsm, &block, &err)) {
            std::fprintf(stderr, "line %d: %s\n", err.line, err.message.c_str());
            std::abort();
        }
        scripts.script.block = std::make_unique<skv::ScriptBlock>(block);
        engine.names.assign({"loop", "return", "fib"});
        engine.scripts.push_back({0, 1, 0});
        engine.attach(&scripts, nullptr);
    }
    int32_t run(int32_t handler, int32_t arg) {
        engine.push(skv::ScriptValue::integer(arg));
        engine.runHandler(&scripts.script, handler, 1, true);
        skv::ScriptValue r = engine.pop();
        return r.asInt();
    }
    Scripts scripts;
    skv::ScriptEngine engine;
};

struct Lua {
    Lua() : L(luaL_newstate()) {
        luaL_openlibs(L);
        if (luaL_dostring(L, kLua) != LUA_OK) std::abort();
    }
    ~Lua() { lua_close(L); }
    int32_t run(const char* fn, int32_t arg) {
        lua_getglobal(L, fn);
        lua_pushinteger(L, arg);
        lua_call(L, 1, 1);
        int32_t r = static_cast<int32_t>(lua_tointeger(L, -1));
        lua_pop(L, 1);
        return r;
    }
    lua_State* L;
};

int32_t expectedLoop() {
    int64_t s = 0;
    for (int32_t i = 0; i < kLoopCount; ++i)
        s += i % 7 * 3;
    return static_cast<int32_t>(s);
}

void BM_LoopInterpreter(benchmark::State& state) {
    Interp in;
    for (auto _ : state)
        if (in.run(0, kLoopCount) != expectedLoop()) state.SkipWithError("wrong sum");
}

void BM_LoopLua(benchmark::State& state) {
    Lua lua;
    for (auto _ : state)
        if (lua.run("loop", kLoopCount) != expectedLoop()) state.SkipWithError("wrong sum");
}

void BM_FibInterpreter(benchmark::State& state) {
    Interp in;
    for (auto _ : state)
        if (in.run(1, kFibN) != 75025) state.SkipWithError("wrong fib");
}

void BM_FibLua(benchmark::State& state) {
    Lua lua;
    for (auto _ : state)
        if (lua.run("fib", kFibN) != 75025) state.SkipWithError("wrong fib");
}

// Keeps each benchmark's real and CPU time per iteration so that the ratios can be printed after
// the table. With repetitions the median is used (on a shared machine, run with
// --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double real = 0, cpu = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
                times[r.run_name.str()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                times[r.run_name.str()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
        }
    }
    std::map<std::string, Times> times;
};

} // namespace

BENCHMARK(BM_LoopInterpreter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoopLua)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FibInterpreter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FibLua)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) {
        auto ia = reporter.times.find(a), ib = reporter.times.find(b);
        if (ia == reporter.times.end() || ib == reporter.times.end()) return;
        if (ia->second.cpu <= 0 || ib->second.real <= 0 || ib->second.cpu <= 0) return;
        std::printf("%s / %s = %.2f real time, %.2f CPU time\n", a, b,
                    ia->second.real / ib->second.real, ia->second.cpu / ib->second.cpu);
    };
    ratio("BM_LoopInterpreter/real_time", "BM_LoopLua/real_time");
    ratio("BM_FibInterpreter/real_time", "BM_FibLua/real_time");
    benchmark::Shutdown();
    return 0;
}
