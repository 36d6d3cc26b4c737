// Compiles arbitrary text as script source. The compiler must neither crash nor throw, and must
// keep its promises: a refused text gives at least one error, all of them in text order and on
// lines of the text, and leaves the block and the movie's name table alone; a compiled text only
// adds names after those the table had, and gives a block that the loader takes and whose
// disassembly assembles back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "script/assembler.h"
#include "script/langcompiler.h"
#include "script/scriptblock.h"

namespace {

[[noreturn]] void broken(const char* what, std::string_view text) {
    std::fprintf(stderr, "langcompile_fuzz: %s\n--- the text:\n%.*s\n", what, int(text.size()),
                 text.data());
    std::abort();
}

bool before(const skv::LangError& a, const skv::LangError& b) {
    return a.pos.line != b.pos.line ? a.pos.line < b.pos.line : a.pos.column < b.pos.column;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // A movie's table that already holds some of the names scripts use.
    const std::vector<std::string> movieNames = {"return", "go", "frame", "mouseUp", "beep"};
    std::vector<std::string> names = movieNames;
    const std::vector<uint8_t> untouched = {0xAB};
    std::vector<uint8_t> block = untouched;
    std::vector<skv::LangError> errors;
    skv::AsmUses uses;
    const bool ok = skv::compileScriptSource(text, &block, &errors, &names, &uses);

    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    for (size_t i = 0; i < errors.size(); ++i) {
        const skv::LangError& e = errors[i];
        if (e.pos.line < 0 || e.pos.line > lines || e.pos.column < 0)
            broken("an error stands outside the text", text);
        if (e.message.empty()) broken("an error says nothing", text);
        if (i > 0 && before(e, errors[i - 1])) broken("the errors are out of order", text);
        (void)skv::langErrorText("fuzz.sky", e);
    }
    if (!ok) {
        if (errors.empty()) broken("a refused text has no error", text);
        if (block != untouched) broken("a refused text changed the block", text);
        if (names != movieNames) broken("a refused text changed the name table", text);
        return 0;
    }
    if (!errors.empty()) broken("a compiled text has errors", text);
    if (names.size() < movieNames.size() ||
        !std::equal(movieNames.begin(), movieNames.end(), names.begin()))
        broken("the movie's names moved", text);
    for (const skv::AsmName& n : uses.handlers)
        if (n.line < 0 || n.line > lines) broken("a handler's line is outside the text", text);
    for (const skv::AsmName& n : uses.calls)
        if (n.line < 0 || n.line > lines) broken("a call's line is outside the text", text);

    const skv::ScriptBlock loaded(block);
    for (int32_t h = 0; h < loaded.handlerCount(); ++h)
        if (!loaded.handler(h)) broken("a compiled handler does not load", text);
    const std::string disassembly = skv::disassembleScript(loaded);
    std::vector<uint8_t> again;
    skv::AsmError e;
    if (!skv::assembleScript(disassembly, &again, &e))
        broken(("the disassembly does not assemble: " + e.message).c_str(), text);
    if (again != block) broken("the disassembly assembles to other bytes", text);
    return 0;
}
