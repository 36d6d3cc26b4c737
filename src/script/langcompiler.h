// The script compiler: source text (docs/scripting.md) to a script block. The compiler writes
// the block's assembly (docs/script-assembly.md) and the assembler lays it out, so both produce
// the same layout and the same instruction forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/assembler.h"
#include "script/langast.h"
#include "script/langlexer.h"

namespace skv {

// Compiles the text. `names` is the movie's name table: names the script uses are looked up in
// it and added when missing, in the order the code first uses them. False with every error of
// the text (in text order) when it has any; the block is then left alone. `uses`, when given,
// receives what the script defines and calls by name, with source lines.
bool compileScriptSource(std::string_view source, std::vector<uint8_t>* block,
                         std::vector<LangError>* errors, std::vector<std::string>* names,
                         AsmUses* uses = nullptr);

// The same for a parsed script; `asmText`, when given, receives the assembly the compiler wrote.
bool compileScriptTree(const Script& script, std::vector<uint8_t>* block,
                       std::vector<LangError>* errors, std::vector<std::string>* names,
                       AsmUses* uses = nullptr, std::string* asmText = nullptr);

// "file:12:5: message"
std::string langErrorText(std::string_view file, const LangError& e);

} // namespace skv
