#include "scriptcmds.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/memorypipe.h"
#include "core/object.h"
#include "core/registry.h"
#include "roundtrip.h"
#include "script/asmnames.h"
#include "script/langcompiler.h"
#include "script/langdecompiler.h"
#include "script/langnames.h"
#include "script/langparser.h"
#include "script/runtime.h"
#include "script/script.h"
#include "script/scriptengine.h"

namespace skvc {

namespace {

const char* kCompileHelp =
    "usage: skvc compile [--asm] [-o OUT] FILE.sky\n"
    "\n"
    "Compiles one script written in the script language (docs/scripting.md) into a script\n"
    "block, written to OUT (by default FILE with the extension .skb). Names are numbered in\n"
    "the order the script first uses them; --names lists them in that order.\n"
    "  --asm     print the assembly the compiler wrote (docs/script-assembly.md) instead\n"
    "  --names   print the name table, one name a line, after writing the block\n"
    "\n"
    "Errors are printed as FILE:LINE:COLUMN: message, every error of the file.\n"
    "exit status: 0 compiled, 1 the script has errors, 2 bad command line, 3 a file could\n"
    "             not be read or written\n";

const char* kDecompileHelp =
    "usage: skvc decompile [--member N] [-o DIR] MOVIE.skm\n"
    "\n"
    "Writes every script of a movie in the script language (docs/scripting.md), each after a\n"
    "comment that says which member it is and what it is attached to. Compiling a script's\n"
    "text in the movie gives its bytecode back byte for byte; where the language cannot say\n"
    "what the bytecode does, the text says so in a comment and keeps those instructions in an\n"
    "asm block.\n"
    "  --member N  only the script of member N\n"
    "  -o DIR      write each script to DIR/memberN.sky instead of standard output\n"
    "\n"
    "exit status: 0 written, 1 the movie has no such script, 2 bad command line, 3 the file\n"
    "             is not readable or not a movie stream\n";

bool readFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

struct MovieScripts {
    std::vector<std::string> names;
    std::vector<skv::ScriptEntry> entries;
    std::vector<std::pair<int32_t, std::unique_ptr<skv::skvScript>>> scripts; // by member
};

// Reads the runtime and the scripts of a movie stream; an error text when it cannot.
std::string readMovie(const std::string& path, MovieScripts* out) {
    std::string text;
    if (!readFile(path, &text)) return "cannot read " + path;
    std::vector<uint8_t> stream(text.begin(), text.end());
    std::vector<uint8_t> content;
    if (!inflateBody(stream, &content))
        return path +
               " is not a movie stream (its body does not inflate); skvc dump says what it holds";
    auto* pipe = new skv::MemoryPipe(content);
    skv::uArchive in(pipe, skv::uArchive::kLoading);
    for (;;) {
        std::unique_ptr<skv::skvObject> object;
        try {
            object.reset(skv::readObject(in));
        } catch (const skv::CoreError&) {
            break; // what came before is kept: a cut-off movie still shows its scripts
        }
        if (!object) break;
        const bool last =
            object->classId == skv::CLSID_NTrailer || object->classId == skv::CLSID_NChain;
        if (auto* rt = dynamic_cast<skv::skvScriptRuntime*>(object.get())) {
            out->names = rt->engine->names.names();
            out->entries = rt->engine->scripts;
        } else if (dynamic_cast<skv::skvScript*>(object.get())) {
            const int32_t ref = int32_t(object->objectId.Data1);
            out->scripts.emplace_back(ref, std::unique_ptr<skv::skvScript>(
                                               static_cast<skv::skvScript*>(object.release())));
        }
        if (last) break;
    }
    return "";
}

std::string attachText(const MovieScripts& m, int32_t ref) {
    std::string s;
    for (const skv::ScriptEntry& e : m.entries) {
        if (e.scriptRef != ref) continue;
        if (!s.empty()) s += "; ";
        s += e.isMovieScript ? std::string("a movie script")
             : e.key == ref  ? std::string("a sprite or frame script")
                             : "the script of member " + std::to_string(e.key);
    }
    return s.empty() ? "in no script list entry" : s;
}

} // namespace

int compileCommand(const std::vector<std::string>& args) {
    std::string file, out;
    bool printAsm = false, printNames = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kCompileHelp, stdout);
            return 0;
        }
        if (args[i] == "--asm")
            printAsm = true;
        else if (args[i] == "--names")
            printNames = true;
        else if (args[i] == "-o" && i + 1 < args.size())
            out = args[++i];
        else if (!args[i].empty() && args[i][0] != '-' && file.empty())
            file = args[i];
        else {
            std::fprintf(stderr, "skvc compile: unexpected '%s'; run 'skvc compile --help'\n",
                         args[i].c_str());
            return 2;
        }
    }
    if (file.empty()) {
        std::fputs("skvc compile: give the script, e.g. 'skvc compile ball.sky'\n", stderr);
        return 2;
    }
    std::string text;
    if (!readFile(file, &text)) {
        std::fprintf(stderr, "skvc compile: cannot read %s\n", file.c_str());
        return 3;
    }
    std::vector<skv::LangError> errors;
    std::vector<uint8_t> block;
    std::vector<std::string> names;
    std::string assembly;
    bool ok = skv::compileScriptSource(text, &block, &errors, &names);
    if (ok && printAsm) {
        // The same compile again, for its assembly text.
        std::vector<skv::LangError> e2;
        std::vector<std::string> n2;
        std::vector<uint8_t> b2;
        skv::Script parsed;
        skv::langParse(text, &parsed, &e2);
        skv::compileScriptTree(parsed, &b2, &e2, &n2, nullptr, &assembly);
    }
    for (size_t i = 0; i < errors.size() && i < 50; ++i)
        std::fprintf(stderr, "%s\n", skv::langErrorText(file, errors[i]).c_str());
    if (errors.size() > 50)
        std::fprintf(stderr, "%s: %zu more errors\n", file.c_str(), errors.size() - 50);
    if (!ok) return 1;
    if (printAsm) {
        std::fputs(assembly.c_str(), stdout);
        return 0;
    }
    if (out.empty()) out = std::filesystem::path(file).replace_extension(".skb").string();
    std::ofstream o(out, std::ios::binary);
    o.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size()));
    if (!o) {
        std::fprintf(stderr, "skvc compile: cannot write %s\n", out.c_str());
        return 3;
    }
    if (printNames)
        for (const std::string& n : names)
            std::printf("%s\n", n.c_str());
    return 0;
}

int decompileCommand(const std::vector<std::string>& args) {
    std::string file, dir;
    long member = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(kDecompileHelp, stdout);
            return 0;
        }
        if (args[i] == "--member" && i + 1 < args.size()) {
            char* end = nullptr;
            member = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || member < 1 || member > 32767) {
                std::fprintf(stderr,
                             "skvc decompile: --member takes a member number (1 to 32767)\n");
                return 2;
            }
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            dir = args[++i];
        } else if (!args[i].empty() && args[i][0] != '-' && file.empty()) {
            file = args[i];
        } else {
            std::fprintf(stderr, "skvc decompile: unexpected '%s'; run 'skvc decompile --help'\n",
                         args[i].c_str());
            return 2;
        }
    }
    if (file.empty()) {
        std::fputs("skvc decompile: give the movie, e.g. 'skvc decompile demo.skm'\n", stderr);
        return 2;
    }
    MovieScripts m;
    const std::string problem = readMovie(file, &m);
    if (!problem.empty()) {
        std::fprintf(stderr, "skvc decompile: %s\n", problem.c_str());
        return 3;
    }
    // The handlers a call by name reaches: those of the movie scripts.
    std::set<std::string> movieHandlers;
    for (const auto& [ref, script] : m.scripts) {
        bool isMovie = false;
        for (const skv::ScriptEntry& e : m.entries)
            isMovie = isMovie || (e.scriptRef == ref && e.isMovieScript);
        if (!isMovie || !script->block) continue;
        for (int32_t i = 0; i < script->block->handlerCount(); ++i) {
            const int32_t id = script->block->handler(i)->nameId;
            if (id >= 0 && size_t(id) < m.names.size()) movieHandlers.insert(m.names[size_t(id)]);
        }
    }
    int written = 0;
    for (const auto& [ref, script] : m.scripts) {
        if (member >= 0 && ref != member) continue;
        if (!script->block) continue;
        skv::DecompileReport report;
        std::string text = skv::decompileScript(*script->block, m.names, &report);
        // A call that reaches nothing was meant to (the build refuses any other): say so with an
        // external line, which adds no byte.
        std::vector<uint8_t> block;
        std::vector<skv::LangError> errors;
        std::vector<std::string> names = m.names;
        skv::AsmUses uses;
        if (skv::compileScriptSource(text, &block, &errors, &names, &uses)) {
            std::set<std::string> unanswered;
            for (const skv::AsmName& c : uses.calls)
                if (!movieHandlers.count(c.name) && !skv::asmIsCallable(c.name))
                    unanswered.insert(c.name);
            std::string line;
            for (const std::string& n : unanswered)
                line += (line.empty() ? "external " : ", ") + skv::langNameText(n);
            if (!line.empty()) text = line + "\n" + text;
        }
        std::string head = "-- member " + std::to_string(ref) + ": " + attachText(m, ref) + "\n";
        if (dir.empty()) {
            std::printf("%s%s%s", written ? "\n" : "", head.c_str(), text.c_str());
        } else {
            std::error_code ec;
            std::filesystem::create_directories(dir, ec);
            const std::string path = dir + "/member" + std::to_string(ref) + ".sky";
            std::ofstream o(path, std::ios::binary);
            o << head << text;
            if (!o) {
                std::fprintf(stderr, "skvc decompile: cannot write %s\n", path.c_str());
                return 3;
            }
        }
        ++written;
    }
    if (!written) {
        if (member >= 0)
            std::fprintf(stderr, "skvc decompile: %s has no script of member %ld\n", file.c_str(),
                         member);
        else
            std::fprintf(stderr, "skvc decompile: %s has no scripts\n", file.c_str());
        return 1;
    }
    return 0;
}

} // namespace skvc
