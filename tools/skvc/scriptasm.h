// skvc asm and skvc disasm: script blocks to and from their assembly text.
#pragma once

#include <string>
#include <vector>

namespace skvc {

// Exit statuses of both commands.
enum AsmStatus : int {
    kAsmOk = 0,
    kAsmInvalid = 1, // the text is not valid assembly
    kAsmUsage = 2,   // bad command line
    kAsmIo = 3,      // a file could not be read or written
};

int asmCommand(const std::vector<std::string>& args);
int disasmCommand(const std::vector<std::string>& args);

} // namespace skvc
