#include "play.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "core/moviewriter.h"
#include "image.h"
#include "movie/score.h"
#include "platform/display.h"
#include "player/headlessrun.h"
#include "roundtrip.h"

namespace movietest {

namespace {

// The kind of a log line ("frame", "event", ...) and the line without its time.
std::string kindOf(const std::string& line) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos || comma + 1 >= line.size() || line[comma + 1] != '"') return "";
    const size_t end = line.find('"', comma + 2);
    return end == std::string::npos ? "" : line.substr(comma + 2, end - comma - 2);
}

std::string withoutTime(const std::string& line) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos) return line;
    std::string out(1, '{');
    out.append(line, comma + 1, std::string::npos);
    return out;
}

// The time at the start of a line ({"t":N,...}).
int64_t timeOf(const std::string& line) {
    return line.rfind("{\"t\":", 0) == 0 ? std::atoll(line.c_str() + 5) : 0;
}

// The score frame a "frame" line names.
int32_t frameOf(const std::string& line) {
    const size_t p = line.find("\"frame\":");
    return p == std::string::npos ? 0 : std::atoi(line.c_str() + p + 8);
}

bool stageSize(const std::vector<uint8_t>& stream, int32_t* w, int32_t* h) {
    std::vector<uint8_t> content;
    if (!skvc::inflateBody(stream, &content)) return false;
    skv::uArchive in(new skv::MemoryPipe(content), skv::uArchive::kLoading);
    std::unique_ptr<skv::skvObject> first(skv::readObject(in));
    auto* score = dynamic_cast<skv::skvScore*>(first.get());
    if (!score) return false;
    score->stageSize(w, h);
    return true;
}

std::vector<std::string> readLines(const std::string& path, bool* ok) {
    std::vector<uint8_t> bytes;
    std::string error;
    *ok = skv::readWholeFile(path, &bytes, &error);
    std::vector<std::string> lines;
    std::string cur;
    for (uint8_t c : bytes) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

bool writeText(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    std::string error;
    return skv::MovieWriter::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()),
                                       &error);
}

bool loadPng(const std::string& path, skvc::RgbaImage* image, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!skv::readWholeFile(path, &bytes, error)) return false;
    return skvc::decodePng(bytes.data(), bytes.size(), image, nullptr, error);
}

int channelDistance(const uint8_t* a, uint32_t rgb) {
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    return std::max({std::abs(a[0] - r), std::abs(a[1] - g), std::abs(a[2] - b)});
}

std::string hex(uint32_t rgb) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFF);
    return buf;
}

std::string where(int line) {
    return "test.toml:" + std::to_string(line) + ": ";
}

// A scratch directory removed with everything in it when done.
struct Scratch {
    std::filesystem::path path;
    Scratch() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "movietest-XXXXXX").string();
        if (mkdtemp(tmpl.data())) path = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

} // namespace

std::vector<std::string> comparedLog(const std::vector<std::string>& lines,
                                     const std::vector<std::string>& kinds, bool times,
                                     const std::string& from) {
    std::vector<std::string> out;
    bool started = from.empty();
    int64_t origin = 0;
    for (const std::string& l : lines) {
        const std::string kind = kindOf(l);
        if (!started && kind == from) {
            started = true;
            origin = timeOf(l);
        }
        if (!started) continue;
        // Lines of other threads (the stream's statuses, what play returned) come in an order
        // of their own among the engine's: left out unless asked for.
        const bool wanted = kinds.empty()
                                ? kind == "event" || kind == "frame"
                                : std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
        if (!wanted) continue;
        if (!times)
            out.push_back(withoutTime(l));
        else if (from.empty())
            out.push_back(l);
        else
            out.push_back("{\"t\":" + std::to_string(timeOf(l) - origin) + "," +
                          withoutTime(l).substr(1));
    }
    return out;
}

std::vector<std::string> playAndCheck(const std::string& dir, const TestFile& t,
                                      const std::vector<uint8_t>& stream, bool update,
                                      const std::string& framesDir,
                                      std::vector<std::string>* notes) {
    std::vector<std::string> failures;
    int32_t stageW = 0, stageH = 0;
    if (!stageSize(stream, &stageW, &stageH)) return {"the built movie has no score to play"};
    Scratch scratch;
    if (scratch.path.empty()) return {"cannot make a scratch directory"};
    // The player keeps its cache file under the movie's file name, beside the program: a name
    // of its own keeps tests that run at the same time apart.
    const std::string movie = (scratch.path / (scratch.path.filename().string() + ".skm")).string();
    std::string error;
    if (!skv::MovieWriter::writeFile(movie, stream, &error)) return {error};

    skv::HeadlessOptions o;
    o.url = "file:" + movie;
    // A page the stage's size holds the stage at its top-left corner, so that the events'
    // coordinates are the stage's.
    o.pageWidth = t.page ? t.page->first : stageW;
    o.pageHeight = t.page ? t.page->second : stageH;
    o.limitMs = t.limitMs;
    o.virtualClock = t.virtualClock;
    if (!t.inputScript.empty() && !skv::platform::parseInputScript(t.inputScript, &o.input, &error))
        return {"the events do not make an input script: " + error};
    const bool pictures = !t.pixels.empty() || !t.frames.empty();
    const std::filesystem::path pictureDir =
        framesDir.empty() ? scratch.path : std::filesystem::path(framesDir);
    if (pictures || !framesDir.empty()) o.framesDir = pictureDir.string();
    o.steps = !framesDir.empty() ||
              std::any_of(t.pixels.begin(), t.pixels.end(), [](auto& c) { return c.step > 0; }) ||
              std::any_of(t.frames.begin(), t.frames.end(), [](auto& c) { return c.step > 0; });

    skv::HeadlessRun run(o);
    const skv::HeadlessResult r = run.run();
    if (!r.opened) {
        std::string statuses;
        for (const std::string& l : run.log().lines())
            if (kindOf(l) == "status") statuses += "\n  " + l;
        return {"the movie did not open: " + r.error + "; its statuses:" + statuses};
    }
    if (r.playResult != 0) failures.push_back("play returned " + std::to_string(r.playResult));
    if (t.completed && !r.completed)
        failures.push_back("playback did not reach its end within " + std::to_string(t.limitMs) +
                           " ms (set 'completed = false' under [expect] for a movie that plays "
                           "on)");
    if (!t.completed && r.completed)
        failures.push_back("playback ended, but the test says it plays on");

    const std::vector<std::string> lines = run.log().lines();
    if (!t.log.empty()) {
        const std::vector<std::string> got = comparedLog(lines, t.logKinds, t.logTimes, t.logFrom);
        const std::string path = dir + "/" + t.log;
        if (update) {
            if (!writeText(path, got))
                failures.push_back("cannot write " + path);
            else
                notes->push_back("wrote " + path + " (" + std::to_string(got.size()) + " lines)");
        } else {
            bool ok = false;
            const std::vector<std::string> want = readLines(path, &ok);
            if (!ok) {
                failures.push_back("cannot read " + path + " (run 'movietest --update " + dir +
                                   "' to write it)");
            } else if (want != got) {
                size_t i = 0;
                while (i < want.size() && i < got.size() && want[i] == got[i])
                    ++i;
                failures.push_back("the log differs from " + t.log + " at line " +
                                   std::to_string(i + 1) +
                                   ":\n  expected: " + (i < want.size() ? want[i] : "(end)") +
                                   "\n  got:      " + (i < got.size() ? got[i] : "(end)"));
            }
        }
    }
    if (!pictures) return failures;

    // Frame pictures are numbered in the order frames were shown, as the log lists them.
    std::vector<int32_t> shownFrames;
    for (const std::string& l : lines)
        if (kindOf(l) == "frame") shownFrames.push_back(frameOf(l));
    const auto pictureOf = [&](int32_t frame, int32_t shown, int32_t step, int line,
                               std::string* path) {
        int32_t k = shown;
        if (frame)
            for (size_t i = 0; i < shownFrames.size(); ++i)
                if (shownFrames[i] == frame) k = static_cast<int32_t>(i + 1);
        if (k < 1 || k > r.framesShown) {
            failures.push_back(
                where(line) +
                (frame ? "frame " + std::to_string(frame) + " was never shown"
                       : "only " + std::to_string(r.framesShown) + " frames were shown"));
            return false;
        }
        *path = (pictureDir / skv::framePictureName(k, step)).string();
        if (step && !std::filesystem::exists(*path)) {
            failures.push_back(where(line) + "the transition into that frame had no step " +
                               std::to_string(step));
            return false;
        }
        return true;
    };

    for (const PixelCheck& c : t.pixels) {
        std::string path;
        if (!pictureOf(c.frame, c.shown, c.step, c.line, &path)) continue;
        skvc::RgbaImage image;
        if (!loadPng(path, &image, &error)) {
            failures.push_back(where(c.line) + error);
            continue;
        }
        if (c.x >= image.width || c.y >= image.height) {
            failures.push_back(where(c.line) + "the pixel lies outside the stage (" +
                               std::to_string(image.width) + " x " + std::to_string(image.height) +
                               ")");
            continue;
        }
        const uint8_t* p = image.at(c.x, c.y);
        const uint32_t got = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        if (channelDistance(p, c.colour) > c.tolerance)
            failures.push_back(where(c.line) + "pixel (" + std::to_string(c.x) + ", " +
                               std::to_string(c.y) + ") is " + hex(got) + ", not " + hex(c.colour) +
                               " within " + std::to_string(c.tolerance));
    }
    for (const FrameCheck& c : t.frames) {
        std::string path;
        if (!pictureOf(c.frame, c.shown, c.step, c.line, &path)) continue;
        const std::string expected = dir + "/" + c.png;
        if (update) {
            std::error_code ec;
            std::filesystem::copy_file(path, expected,
                                       std::filesystem::copy_options::overwrite_existing, ec);
            if (ec)
                failures.push_back("cannot write " + expected + ": " + ec.message());
            else
                notes->push_back("wrote " + expected + ": look at it before committing it");
            continue;
        }
        skvc::RgbaImage got, want;
        if (!loadPng(path, &got, &error)) {
            failures.push_back(where(c.line) + error);
            continue;
        }
        if (!loadPng(expected, &want, &error)) {
            failures.push_back(where(c.line) + c.png + ": " + error + " (run 'movietest --update " +
                               dir + "' to write it)");
            continue;
        }
        if (got.width != want.width || got.height != want.height) {
            failures.push_back(where(c.line) + "the frame is " + std::to_string(got.width) + " x " +
                               std::to_string(got.height) + ", " + c.png + " " +
                               std::to_string(want.width) + " x " + std::to_string(want.height));
            continue;
        }
        int64_t differing = 0;
        int32_t firstX = -1, firstY = -1;
        for (int32_t y = 0; y < got.height; ++y)
            for (int32_t x = 0; x < got.width; ++x) {
                const uint8_t* a = got.at(x, y);
                const uint8_t* b = want.at(x, y);
                const int d =
                    std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
                if (d > c.tolerance && differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        if (differing > c.maxDiffering)
            failures.push_back(where(c.line) + std::to_string(differing) + " pixels differ from " +
                               c.png + " by more than " + std::to_string(c.tolerance) +
                               ", the first at (" + std::to_string(firstX) + ", " +
                               std::to_string(firstY) + ")");
    }
    return failures;
}

} // namespace movietest
