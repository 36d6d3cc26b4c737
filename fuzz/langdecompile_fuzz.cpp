// Runs arbitrary script blocks through the decompiler: it must not crash, what it writes must
// compile, and when it says the text is exact, compiling it must give the block's bytes.
//
// Input: one byte n, then n names of up to 15 bytes each (a length byte and the bytes), then the
// rest as the script block.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/langcompiler.h"
#include "script/langdecompiler.h"
#include "script/scriptblock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t at = 0;
    std::vector<std::string> names;
    const size_t count = size ? data[at++] % 32 : 0;
    for (size_t i = 0; i < count && at < size; ++i) {
        const size_t want = data[at++] % 16;
        const size_t n = std::min<size_t>(want, size - at);
        names.emplace_back(reinterpret_cast<const char*>(data + at), n);
        at += n;
    }
    const std::vector<uint8_t> bytes(data + at, data + size);
    skv::ScriptBlock block(bytes);
    skv::DecompileReport report;
    const std::string text = skv::decompileScript(block, names, &report);
    std::vector<uint8_t> again;
    std::vector<skv::LangError> errors;
    std::vector<std::string> table = names;
    const bool compiled = skv::compileScriptSource(text, &again, &errors, &table);
    if (!compiled) {
        std::fprintf(stderr, "the decompiled text does not compile: %s\n%s",
                     skv::langErrorText("text", errors[0]).c_str(), text.c_str());
        std::abort();
    }
    if (report.exact && again != bytes) {
        std::fprintf(stderr, "the decompiler called a text exact that is not:\n%s", text.c_str());
        std::abort();
    }
    return 0;
}
