// Script assembly: a readable text for script blocks, so that tests and movie authors can write
// bytecode by hand, and its reverse. The text is described in docs/script-assembly.md.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace skv {

class ScriptBlock;

struct AsmError {
    int line = 0; // 1-based; 0 when the error concerns the whole text
    std::string message;
};

// A name the text wrote and the line it is on.
struct AsmName {
    std::string name;
    int line = 0;
};

// What a text names that only the whole movie can check: a call must reach a handler of some movie
// script or a built-in, and a handler named like an event but nothing calls is likely a typo.
struct AsmUses {
    std::vector<AsmName> handlers; // the handlers given by name, in order
    std::vector<AsmName> calls;    // callExternal by name, but not the names of .extern lines
    // Names pushed as symbols and the text literals: a text names a pre-handler (mouseUpHndl),
    // and a symbol may be handed to a call.
    std::set<std::string> mentioned;
};

// Assembles the text into a block in the layout below; false (with the first error) when the
// text is not valid assembly.
//
// | part          | where                                                        |
// |---------------|--------------------------------------------------------------|
// | header        | 0 .. 95: formatVersion, blockLength and the four table words |
// | handler table | 96, 42 bytes per handler, in the order of the text           |
// | literal table | after it, 8 bytes per literal                                |
// | literal data  | after it: per text literal a length word, the text, a NUL    |
// | code          | after it, the handlers' bytecode one after the other         |
//
// Names may stand for numbers: a handler's name or nameId, names for the nameId operands
// (callExternal, pushSymbol, the global and property instructions), property categories for
// getEntity and setEntity, numbered property names for pushInt. `names` is the movie's name
// table: names the text uses are looked up in it and added when missing, and `#name` is the name
// as a movie source writes it. Without it, the text's own .names lines are the table and a name
// must be listed there. `uses`, when given, receives what the text defines and calls by name.
bool assembleScript(std::string_view text, std::vector<uint8_t>* block, AsmError* error,
                    std::vector<std::string>* names = nullptr, AsmUses* uses = nullptr);

// The text of a block. Assembling it gives back the same bytes for a block in the layout above;
// a block laid out otherwise comes back with the same handlers, literals and code in that layout.
std::string disassembleScript(const ScriptBlock& block);

} // namespace skv
