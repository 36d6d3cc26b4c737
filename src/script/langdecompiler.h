// Script blocks back to script source (docs/scripting.md). The decompiler rebuilds statements
// and expressions from the bytecode, writes them out, compiles what it wrote and compares the
// bytes: a statement that does not come back the same is written as an asm block instead, with
// a comment that says so. Compiling the text therefore gives the same block, byte for byte, for
// every block laid out the way the compiler lays blocks out; a block laid out otherwise comes back
// with the same handlers, literals and code in the compiler's layout (the text says so at the top).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skv {

class ScriptBlock;

struct DecompileReport {
    bool exact = false;    // compiling the text gives the block's bytes
    int asmStatements = 0; // statements written as asm blocks
    int asmHandlers = 0;   // handlers written wholly in assembly
    bool wholeAsm = false; // the whole script is an asm block
};

// `names` is the movie's name table (the runtime's).
std::string decompileScript(const ScriptBlock& block, const std::vector<std::string>& names,
                            DecompileReport* report = nullptr);

} // namespace skv
