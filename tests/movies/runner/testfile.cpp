#include "testfile.h"

#include <algorithm>

#include <toml++/toml.h>

#include "fields.h"
#include "sourcefiles.h"

namespace movietest {

namespace {

// "#RRGGBB" as 0xRRGGBB.
uint32_t colourOf(skvc::Fields& f, const char* key) {
    const std::optional<std::string> s = f.string(key);
    if (!s) f.fail(key, "is missing: a colour \"#RRGGBB\"");
    char* end = nullptr;
    const unsigned long v =
        s->size() == 7 && (*s)[0] == '#' ? std::strtoul(s->c_str() + 1, &end, 16) : 0;
    if (!end || *end) f.fail(key, "must be a colour written \"#RRGGBB\"");
    return static_cast<uint32_t>(v);
}

// `frame = N` (the score frame as last shown) or `shown = K` (the Kth frame shown).
void whichFrame(skvc::Fields& f, int32_t* frame, int32_t* shown) {
    *frame = static_cast<int32_t>(f.integer("frame", 0, 1, 32767));
    *shown = static_cast<int32_t>(f.integer("shown", 0, 1, 1000000));
    if ((*frame != 0) == (*shown != 0))
        f.failTable("give 'frame = N' (score frame N as last shown) or 'shown = K' (the Kth frame "
                    "the run showed)");
}

// One [[run.events]] entry as a line of an input script: a click, a press or a release of the
// left button, a move of the mouse or a key.
std::string eventLine(skvc::Fields& f) {
    const std::optional<int64_t> at = f.integer("at", 0, INT32_MAX);
    if (!at) f.failTable("an event needs 'at' (milliseconds after play)");
    std::string line = std::to_string(*at) + " ";
    int given = 0;
    for (const char* kind : {"click", "press", "release", "move"})
        if (const auto p = f.pair(kind, 0, 4096)) {
            line += std::string(kind) + " " + std::to_string(p->first) + " " +
                    std::to_string(p->second);
            ++given;
        }
    if (const std::optional<std::string> key = f.string("key")) {
        line += "key " + *key;
        ++given;
    }
    if (given != 1)
        f.failTable("an event is one of click = [x, y], press = [x, y], release = [x, y], "
                    "move = [x, y] or key = \"NAME\"");
    return line + "\n";
}

} // namespace

TestFile readTestFile(const std::string& dir) {
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
    TestFile t;
    skvc::Fields top(root, "test.toml", "");
    if (const toml::table* run = top.table("run")) {
        t.play = true;
        skvc::Fields f(*run, "test.toml", "run");
        const std::string clock = f.string("clock").value_or("virtual");
        if (clock != "virtual" && clock != "real")
            f.fail("clock", "must be \"virtual\" (deterministic) or \"real\"");
        t.virtualClock = clock == "virtual";
        t.limitMs = static_cast<uint64_t>(f.integer("limit", 60000, 100, 3600000));
        if (auto page = f.pair("page", 1, 4096))
            t.page = {int32_t(page->first), int32_t(page->second)};
        if (const toml::array* events = f.array("events"))
            for (const toml::node& n : *events) {
                if (!n.as_table())
                    f.fail("events",
                           "each event is a table such as { at = 500, click = [10, 20] }");
                skvc::Fields ef(*n.as_table(), "test.toml", "run.events");
                t.inputScript += eventLine(ef);
                ef.finish();
            }
        f.finish();
    }
    const toml::table* expect = top.table("expect");
    if (!expect) top.failTable("needs an [expect] table");
    skvc::Fields e(*expect, "test.toml", "expect");
    t.dump = e.string("dump").value_or("");
    if (t.dump.empty())
        e.fail("dump", "is missing: the file holding the expected 'skvc dump' output");
    t.log = e.string("log").value_or("");
    if (const toml::array* kinds = e.array("log-kinds"))
        for (const toml::node& n : *kinds) {
            std::optional<std::string> k = n.value_exact<std::string>();
            if (!k || (*k != "status" && *k != "state" && *k != "event" && *k != "frame" &&
                       *k != "step" && *k != "play" && *k != "note"))
                e.fail("log-kinds", "kinds are \"status\", \"state\", \"event\", \"frame\", "
                                    "\"step\", \"play\" and \"note\"");
            t.logKinds.push_back(*k);
        }
    t.logTimes = e.boolean("log-times", false);
    t.logFrom = e.string("log-from").value_or("");
    if (!t.logFrom.empty() &&
        std::find(t.logKinds.begin(), t.logKinds.end(), t.logFrom) == t.logKinds.end())
        e.fail("log-from", "must be one of the kinds in log-kinds");
    t.completed = e.boolean("completed", true);
    if (const toml::array* pixels = e.array("pixels"))
        for (const toml::node& n : *pixels) {
            if (!n.as_table())
                e.fail("pixels", "each check is a table such as { frame = 1, at = [5, 5], colour = "
                                 "\"#FF0000\" }");
            skvc::Fields pf(*n.as_table(), "test.toml", "expect.pixels");
            PixelCheck c;
            c.line = skvc::lineOf(n);
            whichFrame(pf, &c.frame, &c.shown);
            c.step = static_cast<int32_t>(pf.integer("step", 0, 0, 100000));
            const auto at = pf.pair("at", 0, 4095);
            if (!at) pf.fail("at", "is missing: the pixel's [x, y] on the stage");
            c.x = static_cast<int32_t>(at->first);
            c.y = static_cast<int32_t>(at->second);
            c.colour = colourOf(pf, "colour");
            c.tolerance = static_cast<int32_t>(pf.integer("tolerance", 0, 0, 255));
            pf.finish();
            t.pixels.push_back(c);
        }
    if (const toml::array* frames = e.array("frames"))
        for (const toml::node& n : *frames) {
            if (!n.as_table())
                e.fail("frames",
                       "each check is a table such as { frame = 2, png = \"frame2.png\" }");
            skvc::Fields ff(*n.as_table(), "test.toml", "expect.frames");
            FrameCheck c;
            c.line = skvc::lineOf(n);
            whichFrame(ff, &c.frame, &c.shown);
            c.step = static_cast<int32_t>(ff.integer("step", 0, 0, 100000));
            c.png = ff.string("png").value_or("");
            if (c.png.empty() || !skvc::SourceFiles::isInside(c.png))
                ff.fail("png", "must name a PNG file of the test folder");
            c.tolerance = static_cast<int32_t>(ff.integer("tolerance", 0, 0, 255));
            c.maxDiffering = ff.integer("max-differing", 0, 0, INT32_MAX);
            ff.finish();
            t.frames.push_back(c);
        }
    e.finish();
    top.finish();
    if (!t.play && (!t.log.empty() || !t.pixels.empty() || !t.frames.empty()))
        top.failTable("the log, pixel and frame checks need a [run] table");
    return t;
}

} // namespace movietest
