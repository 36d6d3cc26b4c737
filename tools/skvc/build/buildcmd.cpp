#include "buildcmd.h"

#include <algorithm>
#include <cstdio>

#include "core/moviewriter.h"
#include "moviebuilder.h"
#include "roundtrip.h"

namespace skvc {

namespace {

const char* kBuildHelp =
    "usage: skvc build [--check] SOURCE-DIR -o OUT.skm\n"
    "\n"
    "Builds a movie stream from a movie source: a directory holding movie.toml (the\n"
    "movie, its cast members and its score) and the files it names (pictures, scripts).\n"
    "See docs/authoring.md for the source format.\n"
    "\n"
    "The output is written only when the whole build succeeds; the same source always\n"
    "gives the same bytes. Errors and warnings name the file, line and field; a\n"
    "warning (such as a handler named like an event with a typo) does not stop the build.\n"
    "  -o OUT     the movie stream to write\n"
    "  --check    also read the movie back with the player's classes and write every\n"
    "             object again, and fail when anything comes back differently\n"
    "\n"
    "exit status: 0 built, 1 the source has an error, 2 bad command line,\n"
    "             3 the output could not be written, 4 --check found a difference\n";

} // namespace

int buildCommand(const std::vector<std::string>& args) {
    std::string dir, out;
    bool check = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kBuildHelp, stdout);
            return kBuildOk;
        } else if (a == "-o") {
            if (i + 1 >= args.size()) {
                std::fputs("skvc build: -o needs the output file, e.g. -o movie.skm\n", stderr);
                return kBuildUsage;
            }
            out = args[++i];
        } else if (a == "--check") {
            check = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "skvc build: unknown option '%s' (see 'skvc build --help')\n",
                         a.c_str());
            return kBuildUsage;
        } else if (dir.empty()) {
            dir = a;
        } else {
            std::fputs("skvc build: give one source directory (see 'skvc build --help')\n", stderr);
            return kBuildUsage;
        }
    }
    if (dir.empty() || out.empty()) {
        std::fputs("skvc build: give the source directory and the output, e.g. "
                   "'skvc build examples/demo -o demo.skm'\n",
                   stderr);
        return kBuildUsage;
    }
    std::vector<uint8_t> stream;
    BuildSummary made;
    const auto warn = [&] {
        for (const BuildWarning& w : made.warnings)
            std::fprintf(stderr, "%s/%s\n", dir.c_str(), w.text().c_str());
    };
    try {
        stream = buildMovie(DiskSource(dir), &made);
    } catch (const BuildError& e) {
        warn();
        // A script's errors come one to a line, each with its own place.
        const std::string text = e.text();
        for (size_t at = 0; at <= text.size();) {
            size_t nl = std::min(text.find('\n', at), text.size());
            std::fprintf(stderr, "%s/%.*s\n", dir.c_str(), int(nl - at), text.c_str() + at);
            at = nl + 1;
        }
        return kBuildSourceError;
    }
    warn();
    if (check) {
        RoundTripResult r = roundTrip(stream);
        if (!r.ok) {
            std::fprintf(stderr, "skvc build: %s: %s; nothing written\n", dir.c_str(),
                         r.problem.c_str());
            return kBuildCheckFailed;
        }
    }
    std::string error;
    if (!skv::MovieWriter::writeFile(out, stream, &error)) {
        std::fprintf(stderr, "skvc build: %s; check that the directory exists and is writable\n",
                     error.c_str());
        return kBuildIo;
    }
    std::printf("skvc build: wrote %s: %zu bytes, %d member%s, %d frame%s, stage %d x %d\n",
                out.c_str(), stream.size(), made.members, made.members == 1 ? "" : "s", made.frames,
                made.frames == 1 ? "" : "s", made.stageWidth, made.stageHeight);
    return kBuildOk;
}

} // namespace skvc
