// The script compiler against the assembler alone, in one run: the compiler parses the source,
// writes assembly and hands it to the assembler, so assembling that same assembly is the
// reference and the ratio is what the language costs on top. Two workloads: the demo movie's
// scripts (examples/demo/*.sky, read at run time), and one larger movie script of the kind
// authors write (loops, case, chunks, properties and calls), written out below.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "script/assembler.h"
#include "script/langcompiler.h"
#include "script/langparser.h"

namespace {

// The demo's scripts when examples/demo holds none: the same five handlers.
const char* const kDemoFallback[] = {
    "-- Frame script of the last \"sunset\" frame: back to the inks.\n"
    "on exitFrame\n  go \"inks\"\nend\n",
    "-- Sprite script of the button: on to the sunset part.\n"
    "on mouseUp\n  go \"sunset\"\nend\n",
    "-- Cast member script of the fish: a click jumps to the next label.\n"
    "on mouseUp\n  go #next\nend\n",
    "-- Frame script of the last \"inks\" frame: back to the label at or before this frame.\n"
    "on exitFrame\n  go #loop\nend\n",
    "-- Movie script: a click that no sprite script takes beeps once.\n"
    "on mouseUp\n  beep 0\nend\n",
};

// One handler of a larger movie script; copies with other names make the script.
const char* kHandler = R"(-- Moves the sprites along a path, one step per frame.
on stepNUMBER channel, steps
  global pathText, moves
  local h, v, i, trail
  trail = moves
  if steps <= 0 then exit
  repeat with i = 1 to steps
    h = item 1 of line i of pathText
    v = item 2 of line i of pathText
    if h = "" then exit repeat
    set the locH of sprite channel to the locH of sprite channel + h * 2
    set the locV of sprite channel to v mod 480
    case the ink of sprite channel
      when 0
        set the ink of sprite channel to 8
      when 8
        set the ink of sprite channel to 0
      else
        next repeat
    end case
    put i && "of" && steps & "\n" after trail
  end repeat
  if sprite channel intersects sprite channel + 1 or the frame > 10 then
    beep 1
  else if the number of lines in trail > 100 then
    delete line 1 of trail
  end if
  moves = trail
  return the last word of trail & "-" & the timer
end
)";

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> demoScripts() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(SKV_DEMO_DIR, ec))
        if (e.is_regular_file() && e.path().extension() == ".sky") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> out;
    for (const auto& f : files)
        out.push_back(readFile(f));
    if (out.empty()) out.assign(std::begin(kDemoFallback), std::end(kDemoFallback));
    return out;
}

std::string largerScript() {
    std::string text = "global pathText, moves\n";
    for (int i = 0; i < 40; ++i) {
        std::string h = kHandler;
        h.replace(h.find("NUMBER"), 6, std::to_string(i));
        text += "\n" + h;
    }
    return text;
}

// A workload: the sources, and the assembly the compiler writes for each, checked to assemble to
// the bytes the compiler gives.
struct Workload {
    std::vector<std::string> sources;
    std::vector<std::string> assembly;
    size_t bytes = 0;
};

Workload prepare(std::vector<std::string> sources) {
    Workload w;
    w.sources = std::move(sources);
    for (const std::string& src : w.sources) {
        skv::Script tree;
        std::vector<skv::LangError> errors;
        std::vector<uint8_t> compiled, assembled;
        std::vector<std::string> names, asmNames;
        std::string text;
        if (!skv::langParse(src, &tree, &errors) ||
            !skv::compileScriptTree(tree, &compiled, &errors, &names, nullptr, &text)) {
            std::fprintf(stderr, "%s\n", skv::langErrorText("bench.sky", errors.at(0)).c_str());
            std::abort();
        }
        skv::AsmError e;
        if (!skv::assembleScript(text, &assembled, &e, &asmNames) || assembled != compiled) {
            std::fprintf(stderr, "the compiler's assembly does not give its block: %s\n",
                         e.message.c_str());
            std::abort();
        }
        w.assembly.push_back(text);
        w.bytes += src.size();
    }
    return w;
}

const Workload& demo() {
    static const Workload w = prepare(demoScripts());
    return w;
}

const Workload& larger() {
    static const Workload w = prepare({largerScript()});
    return w;
}

void compileAll(benchmark::State& state, const Workload& w) {
    for (auto _ : state) {
        for (const std::string& src : w.sources) {
            std::vector<uint8_t> block;
            std::vector<skv::LangError> errors;
            std::vector<std::string> names;
            if (!skv::compileScriptSource(src, &block, &errors, &names))
                state.SkipWithError("a script does not compile");
            benchmark::DoNotOptimize(block.data());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.bytes));
}

void assembleAll(benchmark::State& state, const Workload& w) {
    for (auto _ : state) {
        for (const std::string& text : w.assembly) {
            std::vector<uint8_t> block;
            std::vector<std::string> names;
            skv::AsmError e;
            if (!skv::assembleScript(text, &block, &e, &names))
                state.SkipWithError("the assembly does not assemble");
            benchmark::DoNotOptimize(block.data());
        }
    }
    // Bytes of the source, so that both rates compare the same work.
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.bytes));
}

void BM_CompileDemo(benchmark::State& state) {
    compileAll(state, demo());
}
void BM_AssembleDemo(benchmark::State& state) {
    assembleAll(state, demo());
}
void BM_CompileLarger(benchmark::State& state) {
    compileAll(state, larger());
}
void BM_AssembleLarger(benchmark::State& state) {
    assembleAll(state, larger());
}

// Keeps each benchmark's CPU time per iteration (the median with repetitions) for the ratios
// printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            if ((r.run_type == Run::RT_Iteration && r.repetitions <= 1) ||
                (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"))
                cpu[r.run_name.str()] = r.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> cpu;
};

} // namespace

BENCHMARK(BM_CompileDemo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleDemo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompileLarger)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleLarger)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("demo: %zu scripts, %zu bytes of source; larger: %zu bytes of source\n",
                demo().sources.size(), demo().bytes, larger().bytes);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) {
        auto ia = reporter.cpu.find(a), ib = reporter.cpu.find(b);
        if (ia == reporter.cpu.end() || ib == reporter.cpu.end() || ib->second <= 0) return;
        std::printf("%s / %s = %.2f CPU time\n", a, b, ia->second / ib->second);
    };
    ratio("BM_CompileDemo", "BM_AssembleDemo");
    ratio("BM_CompileLarger", "BM_AssembleLarger");
    benchmark::Shutdown();
    return 0;
}
