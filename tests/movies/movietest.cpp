// movietest: runs one movie test folder (see tests/movies/README.md).
//
//   movietest [--update] DIR
//
// Builds DIR/source, reads the stream back and writes it again (every object must come back
// as it was), and compares what 'skvc dump' prints for it with the expected dump named in
// DIR/test.toml. --update writes the expected dump instead of comparing. The [run] table and the
// log and pixel expectations are read and checked for form; playing the movie is the player's
// part and is reported as not yet checked.
#include <cstdio>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "core/moviewriter.h"
#include "core/registry.h"
#include "dump.h"
#include "fields.h"
#include "gfx/gfxclasses.h"
#include "movie/movieclasses.h"
#include "moviebuilder.h"
#include "net/netclasses.h"
#include "roundtrip.h"
#include "script/scriptclasses.h"
#include "spriteform.h"

namespace {

struct Expectations {
    std::string dump;
    int pixelChecks = 0;
    bool log = false;
};

// Reads test.toml; throws BuildError naming the line and field when it is malformed.
Expectations readTestFile(const std::string& dir) {
    skvc::DiskSource files(dir);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!files.read("test.toml", &bytes, &error))
        throw skvc::BuildError({"test.toml", 0, ""}, error);
    toml::table root;
    try {
        root =
            toml::parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        std::string_view("test.toml"));
    } catch (const toml::parse_error& e) {
        throw skvc::BuildError({"test.toml", static_cast<int>(e.source().begin.line), ""},
                               std::string(e.description()));
    }
    Expectations x;
    skvc::Fields top(root, "test.toml", "");
    if (const toml::table* run = top.table("run")) {
        skvc::Fields f(*run, "test.toml", "run");
        f.integer("frames", 1, 100000);
        std::optional<std::string> clock = f.string("clock");
        if (clock && *clock != "virtual" && *clock != "real")
            f.fail("clock", "must be \"virtual\" or \"real\"");
        if (const toml::array* events = f.array("events"))
            for (const toml::node& n : *events) {
                if (!n.as_table())
                    f.fail("events",
                           "each event is a table such as { at = 500, click = [10, 20] }");
                skvc::Fields ef(*n.as_table(), "test.toml", "run.events");
                if (!ef.integer("at", 0, INT32_MAX))
                    ef.failTable("an event needs 'at' (milliseconds of movie time)");
                if (!ef.pair("click", 0, 4096)) ef.failTable("an event needs 'click = [x, y]'");
                ef.finish();
            }
        f.finish();
    }
    const toml::table* expect = top.table("expect");
    if (!expect) top.failTable("needs an [expect] table");
    skvc::Fields e(*expect, "test.toml", "expect");
    x.dump = e.string("dump").value_or("");
    if (x.dump.empty())
        e.fail("dump", "is missing: the file holding the expected 'skvc dump' output");
    x.log = e.string("log").has_value();
    if (const toml::array* pixels = e.array("pixels"))
        for (const toml::node& n : *pixels) {
            if (!n.as_table())
                e.fail("pixels", "each check is a table such as { frame = 1, at = [5, 5], colour = "
                                 "\"#FF0000\" }");
            skvc::Fields pf(*n.as_table(), "test.toml", "expect.pixels");
            if (!pf.integer("frame", 1, 100000) || !pf.pair("at", 0, 4096) || !pf.string("colour"))
                pf.failTable("a pixel check needs 'frame', 'at' and 'colour'");
            pf.integer("tolerance", 0, 255);
            pf.finish();
            ++x.pixelChecks;
        }
    e.finish();
    top.finish();
    return x;
}

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

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bool update = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--update")
            update = true;
        else if (a == "--help" || a == "-h") {
            std::puts("usage: movietest [--update] DIR\n\nRuns the movie test in DIR (see "
                      "tests/movies/README.md); "
                      "--update rewrites its expected dump.");
            return 0;
        } else
            dir = a;
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
    skvc::registerAuthoringClasses();
    try {
        const Expectations x = readTestFile(dir);
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
        const std::string path = dir + "/" + x.dump;
        if (update) {
            std::string error;
            if (!skv::MovieWriter::writeFile(path, std::vector<uint8_t>(dump.begin(), dump.end()),
                                             &error)) {
                std::fprintf(stderr, "movietest: %s\n", error.c_str());
                return 3;
            }
            std::printf("%s: wrote %s\n", dir.c_str(), path.c_str());
            return 0;
        }
        std::vector<uint8_t> expected;
        std::string error;
        if (!skv::readWholeFile(path, &expected, &error)) {
            std::fprintf(stderr, "%s: %s (run 'movietest --update %s' to write it)\n", dir.c_str(),
                         error.c_str(), dir.c_str());
            return 1;
        }
        if (std::string(expected.begin(), expected.end()) != dump) {
            std::fprintf(stderr, "%s: the dump differs from %s; it is now:\n%s", dir.c_str(),
                         x.dump.c_str(), dump.c_str());
            return 1;
        }
        std::printf("%s: built, read back (%zu objects) and dumped as expected\n", dir.c_str(),
                    r.objects);
        if (x.log || x.pixelChecks)
            std::printf("%s: the log and %d pixel checks need the player and are not checked yet\n",
                        dir.c_str(), x.pixelChecks);
    } catch (const skvc::BuildError& e) {
        std::fprintf(stderr, "%s/%s\n", dir.c_str(), e.text().c_str());
        return 1;
    }
    return 0;
}
