// Runs arbitrary script blocks and name tables through the loader and the interpreter.
//
// Input: int32 n, then n bytes of a script runtime body (noScripts, script list, names, labels,
// cast names), then the rest as one script block. Every handler of the block runs as an event
// (with a step limit, so that endless loops end), and the block is disassembled.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "script/assembler.h"
#include "script/builtins.h"
#include "script/runtime.h"
#include "script/script.h"
#include "script/scriptclasses.h"
#include "script/scripterror.h"

namespace {

class FuzzHost : public skv::ScriptHost {
public:
    void delay(int32_t) override {} // never sleep under the fuzzer
    void beep(int32_t) override {}
    skv::ScriptValue callBuiltin(skv::ScriptEngine& engine, const char* name,
                                 const skv::ScriptValue* args, int32_t argc) override {
        // The real table, except the one built-in that would show a box per run.
        if (skv::isBuiltinName(name) && std::strcmp(name, "alert") != 0)
            return skv::callBuiltinTable(*this, engine, name, args, argc);
        // Something that allocates, so that ownership of returned texts is exercised.
        if (argc > 0 && name[0] == 's') return skv::makeString(args[0].text());
        if (argc > 1) return skv::makeRect(1, 2, 3, 4);
        if (argc == 1) throw skv::ProxyError{skv::kProxyUnsupported};
        throw skv::ScriptError{skv::kScriptNoBuiltin};
    }
};

struct Scripts : skv::ScriptObjectLookup {
    skv::skvObject* lookupObject(const GUID& id) override {
        return id == skv::memberGuid(1) ? &script : nullptr;
    }
    skv::skvScript script;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        skv::registerScriptClasses();
        // The trace instructions and the reader's diagnostics would flood the output.
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)quiet;
    if (size < 4) return 0;
    uint32_t n = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                 uint32_t(data[3]) << 24;
    size_t bodySize = std::min<size_t>(n, size - 4);

    skv::skvScriptRuntime runtime;
    runtime.engine->setHost(std::make_unique<FuzzHost>());
    {
        skv::uArchive ar(new skv::MemoryPipe(std::vector<uint8_t>(data + 4, data + 4 + bodySize)),
                         skv::uArchive::kLoading);
        try {
            runtime.serialize(ar);
        } catch (...) {
            // A broken body leaves whatever tables were read; give the calls some names.
        }
    }
    skv::ScriptEngine& e = *runtime.engine;
    if (e.names.count() == 0)
        e.names.assign(
            {"main",         "return",    "exit",     "param",  "paramCount", "result", "abort",
             "clearGlobals", "delay",     "integerp", "abs",    "string",     "rect",   "x",
             "inflate",      "intersect", "chars",    "offset", "integer",    "go",     "point",
             "loop",         "next",      "sound",    "fadeIn", "random",     "marker", "play"});
    e.labels.marker(1, 3);
    e.labels.frameOfLabel("x");

    Scripts scripts;
    std::vector<uint8_t> block(data + 4 + bodySize, data + size);
    scripts.script.block = std::make_unique<skv::ScriptBlock>(block);
    e.scripts.push_back({0, 1, 1});
    e.setStepLimit(20000);
    runtime.attach(&scripts, nullptr);

    const skv::ScriptBlock& b = *scripts.script.block;
    for (int32_t h = 0; h < std::min(b.handlerCount(), 64); ++h)
        e.runEvent(&scripts.script, h);
    (void)skv::disassembleScript(b);
    return 0;
}
