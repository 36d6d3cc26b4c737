// movietest: runs one movie test folder (see tests/movies/README.md).
//
//   movietest [--update] DIR
//
// Builds DIR/source, reads the stream back and writes it again (every object must come back
// as it was), compares what 'skvc dump' prints for it with the expected dump, and, when the test
// has a [run] table, plays the movie headless on the virtual clock and checks its log, pixels and
// frames. --update writes the expected dump, log and frame pictures instead of comparing them.
#include <cstdio>
#include <string>
#include <vector>

#include "core/moviewriter.h"
#include "core/registry.h"
#include "dump.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "moviebuilder.h"
#include "net/netclasses.h"
#include "play.h"
#include "roundtrip.h"
#include "script/scriptclasses.h"
#include "sound/soundclasses.h"
#include "testfile.h"

namespace {

const char* kHelp =
    "usage: movietest [--update] [--frames OUTDIR] DIR\n"
    "\n"
    "Runs the movie test in DIR (see tests/movies/README.md): builds DIR/source, checks that\n"
    "it reads back as written and dumps as expected, and plays it headless to check its log,\n"
    "pixels and frames.\n"
    "  --update   write the expected dump, log and frame pictures from this run; look at\n"
    "             them before committing them\n"
    "  --frames OUTDIR  keep every frame the run showed there, as frame-NNNNN.png\n";

std::string dumpText(const std::vector<uint8_t>& stream, int* status) {
    std::FILE* f = std::tmpfile();
    *status = skvc::dumpBytes(stream, f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    return text;
}

// Compares the dump with the expected one, or writes it. Empty when all is well.
std::string checkDump(const std::string& dir, const std::string& name, const std::string& dump,
                      bool update) {
    const std::string path = dir + "/" + name;
    std::string error;
    if (update) {
        if (!skv::MovieWriter::writeFile(path, std::vector<uint8_t>(dump.begin(), dump.end()),
                                         &error))
            return error;
        std::printf("%s: wrote %s\n", dir.c_str(), path.c_str());
        return "";
    }
    std::vector<uint8_t> expected;
    if (!skv::readWholeFile(path, &expected, &error))
        return error + " (run 'movietest --update " + dir + "' to write it)";
    if (std::string(expected.begin(), expected.end()) != dump)
        return "the dump differs from " + name + "; it is now:\n" + dump;
    return "";
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bool update = false;
    std::string dir, framesDir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--update") {
            update = true;
        } else if (a == "--frames" && i + 1 < argc) {
            framesDir = argv[++i];
        } else if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "movietest: unknown option '%s' (see 'movietest --help')\n",
                         a.c_str());
            return 2;
        } else {
            dir = a;
        }
    }
    if (dir.empty()) {
        std::fputs(
            "movietest: give the test's directory, e.g. 'movietest tests/movies/two_frames'\n",
            stderr);
        return 2;
    }
    skv::registerCoreClasses();
    skv::registerNetClasses();
    skv::registerScriptClasses();
    skv::registerGfxClasses();
    skv::registerMovieClasses();
    skv::registerSoundClasses();
    try {
        const movietest::TestFile t = movietest::readTestFile(dir);
        const std::vector<uint8_t> stream = skvc::buildMovie(skvc::DiskSource(dir + "/source"));
        const skvc::RoundTripResult r = skvc::roundTrip(stream);
        if (!r.ok) {
            std::fprintf(stderr, "%s: the movie does not read back as written: %s\n", dir.c_str(),
                         r.problem.c_str());
            return 1;
        }
        int status = 0;
        const std::string dump = dumpText(stream, &status);
        if (status != skvc::kDumpOk) {
            std::fprintf(stderr, "%s: skvc dump reports status %d:\n%s", dir.c_str(), status,
                         dump.c_str());
            return 1;
        }
        if (const std::string problem = checkDump(dir, t.dump, dump, update); !problem.empty()) {
            std::fprintf(stderr, "%s: %s\n", dir.c_str(), problem.c_str());
            return 1;
        }
        std::printf("%s: built, read back (%zu objects) and dumped as expected\n", dir.c_str(),
                    r.objects);
        if (!t.play) return 0;
        std::vector<std::string> notes;
        const std::vector<std::string> failures =
            movietest::playAndCheck(dir, t, stream, update, framesDir, &notes);
        for (const std::string& n : notes)
            std::printf("%s: %s\n", dir.c_str(), n.c_str());
        for (const std::string& f : failures)
            std::fprintf(stderr, "%s: %s\n", dir.c_str(), f.c_str());
        if (!failures.empty()) return 1;
        std::printf("%s: played; log, %zu pixel checks and %zu frames as expected\n", dir.c_str(),
                    t.pixels.size(), t.frames.size());
    } catch (const skvc::BuildError& e) {
        std::fprintf(stderr, "%s/%s\n", dir.c_str(), e.text().c_str());
        return 1;
    }
    return 0;
}
