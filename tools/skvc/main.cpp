// skvc: the authoring tool. Each command lives in a file of its own.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "buildcmd.h"
#include "core/registry.h"
#include "dump.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "net/netclasses.h"
#include "script/scriptclasses.h"
#include "scriptasm.h"
#include "scriptcmds.h"
#include "sound/soundclasses.h"

namespace {

const char* kHelp = "usage: skvc COMMAND [ARGS]\n"
                    "\n"
                    "commands:\n"
                    "  build DIR        build a movie stream from a movie source directory\n"
                    "  dump FILE        list the header and objects of a movie stream\n"
                    "  compile FILE     compile a script written in the script language\n"
                    "  decompile MOVIE  write a movie's scripts in the script language\n"
                    "  asm FILE         assemble a script block from its assembly text\n"
                    "  disasm FILE      write the assembly text of a script block\n"
                    "\n"
                    "Run 'skvc COMMAND --help' for a command's options.\n";

} // namespace

int main(int argc, char** argv) {
    // Diagnostics of the object reader go to standard output; keep them in order with ours.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    skv::registerCoreClasses();
    skv::registerScriptClasses();
    skv::registerNetClasses();
    skv::registerGfxClasses();
    skv::registerMovieClasses();
    skv::registerSoundClasses();
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    std::string cmd = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (cmd == "build") return skvc::buildCommand(args);
    if (cmd == "dump") return skvc::dumpCommand(args);
    if (cmd == "asm") return skvc::asmCommand(args);
    if (cmd == "disasm") return skvc::disasmCommand(args);
    if (cmd == "compile") return skvc::compileCommand(args);
    if (cmd == "decompile") return skvc::decompileCommand(args);
    std::fprintf(stderr, "skvc: unknown command '%s'; run 'skvc --help' for the list.\n",
                 cmd.c_str());
    return 2;
}
