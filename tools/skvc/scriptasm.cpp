#include "scriptasm.h"

#include <algorithm>
#include <cstdio>

#include "core/moviewriter.h"
#include "script/asmnames.h"
#include "script/assembler.h"
#include "script/scriptblock.h"

namespace skvc {

namespace {

const char* kAsmHelp =
    "usage: skvc asm [-o OUT] FILE\n"
    "\n"
    "Assembles a script block from its assembly text (see docs/script-assembly.md):\n"
    "handlers with their parameter and local counts, literals, and instructions by name\n"
    "with labels for jumps. The block is written to OUT, by default FILE with its\n"
    "extension replaced by .skb.\n"
    "\n"
    "A handler named like an event with a typo (mouseUpp) is a warning.\n"
    "\n"
    "exit status: 0 written, 1 the text has an error (reported as FILE:LINE: message),\n"
    "             2 bad command line, 3 a file could not be read or written\n";

const char* kDisasmHelp =
    "usage: skvc disasm [-o OUT] FILE\n"
    "\n"
    "Writes the assembly text of a script block (as 'skvc asm' makes it, or as an\n"
    "skvScript object carries it after its length word) to standard output or to OUT.\n"
    "Assembling the text again gives back the same block.\n"
    "\n"
    "exit status: 0 written, 2 bad command line, 3 a file could not be read or written\n";

// FILE and -o OUT; false (after a message) on anything else.
bool parseArgs(const char* cmd, const std::vector<std::string>& args, std::string* in,
               std::string* out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "skvc %s: -o needs a file name\n", cmd);
                return false;
            }
            *out = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "skvc %s: unknown option '%s' (see 'skvc %s --help')\n", cmd,
                         a.c_str(), cmd);
            return false;
        } else if (in->empty()) {
            *in = a;
        } else {
            std::fprintf(stderr, "skvc %s: give one input file (see 'skvc %s --help')\n", cmd, cmd);
            return false;
        }
    }
    if (in->empty()) {
        std::fprintf(stderr, "skvc %s: give the input file, e.g. 'skvc %s script.%s'\n", cmd, cmd,
                     std::string(cmd) == "asm" ? "sks" : "skb");
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const void* data, size_t n) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

} // namespace

int asmCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kAsmHelp, stdout);
        return kAsmOk;
    }
    std::string in, out;
    if (!parseArgs("asm", args, &in, &out)) return kAsmUsage;
    if (out.empty()) {
        size_t slash = in.find_last_of('/');
        size_t dot = in.find_last_of('.');
        out = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                  ? in.substr(0, dot)
                  : in;
        out += ".skb";
    }
    std::vector<uint8_t> text;
    std::string error;
    if (!skv::readWholeFile(in, &text, &error)) {
        std::fprintf(stderr, "skvc asm: %s\n", error.c_str());
        return kAsmIo;
    }
    std::vector<uint8_t> block;
    skv::AsmError e;
    skv::AsmUses uses;
    if (!skv::assembleScript(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), &block, &e,
            nullptr, &uses)) {
        std::fprintf(stderr, "%s:%d: %s\n", in.c_str(), e.line, e.message.c_str());
        return kAsmInvalid;
    }
    // On its own a block knows only its own calls: a handler one of them names is no typo.
    for (const skv::AsmName& h : uses.handlers) {
        const bool called = std::any_of(uses.calls.begin(), uses.calls.end(),
                                        [&](const skv::AsmName& c) { return c.name == h.name; });
        const std::string typo = skv::asmEventTypo(h.name);
        if (!called && !uses.mentioned.count(h.name) && !typo.empty())
            std::fprintf(stderr, "%s:%d: warning: %s\n", in.c_str(), h.line, typo.c_str());
    }
    if (!writeFile(out, block.data(), block.size())) {
        std::fprintf(stderr,
                     "skvc asm: cannot write %s; check that its directory exists and is "
                     "writable\n",
                     out.c_str());
        return kAsmIo;
    }
    return kAsmOk;
}

int disasmCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kDisasmHelp, stdout);
        return kAsmOk;
    }
    std::string in, out;
    if (!parseArgs("disasm", args, &in, &out)) return kAsmUsage;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!skv::readWholeFile(in, &bytes, &error)) {
        std::fprintf(stderr, "skvc disasm: %s\n", error.c_str());
        return kAsmIo;
    }
    if (bytes.size() > skv::ScriptBlock::kMaxLength) {
        std::fprintf(stderr, "skvc disasm: %s is larger than a script block can be (64 MiB)\n",
                     in.c_str());
        return kAsmIo;
    }
    std::string text = skv::disassembleScript(skv::ScriptBlock(bytes));
    if (out.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kAsmOk;
    }
    if (!writeFile(out, text.data(), text.size())) {
        std::fprintf(stderr, "skvc disasm: cannot write %s\n", out.c_str());
        return kAsmIo;
    }
    return kAsmOk;
}

} // namespace skvc
