// The skvplay program end to end, headless on the virtual clock: pages, embed sources, movie
// addresses, a movie served by qmsd over loopback, and what its JSON-lines log says; what it
// says and the status it exits with when a movie does not play; its contact sheet.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "program_run.h"

namespace fs = std::filesystem;
using skvtest::commandLine;
using skvtest::readAll;
using skvtest::readLines;
using skvtest::runCommand;

namespace {

// Runs skvplay after `prefix` (a "cd DIR &&", more variables to unset), without a display.
int runWith(const std::string& prefix, const std::vector<std::string>& args,
            std::string* output = nullptr) {
    return runCommand(prefix + " env -u DISPLAY -u WAYLAND_DISPLAY " +
                          commandLine(SKVPLAY_PROGRAM, args),
                      output);
}

int run(const std::vector<std::string>& args, std::string* output = nullptr) {
    return runWith("", args, output);
}

// Width and height from a PNG's header.
std::pair<int, int> pngSize(const fs::path& path) {
    const std::string b = readAll(path);
    if (b.size() < 24) return {0, 0};
    auto be = [&](size_t at) {
        return (static_cast<uint8_t>(b[at]) << 24) | (static_cast<uint8_t>(b[at + 1]) << 16) |
               (static_cast<uint8_t>(b[at + 2]) << 8) | static_cast<uint8_t>(b[at + 3]);
    };
    return {be(16), be(20)};
}

std::vector<std::string> entries(const std::vector<std::string>& lines, const std::string& key) {
    std::vector<std::string> out;
    const std::regex re("\"" + key + "\":\"((?:[^\"\\\\]|\\\\.)*)\"");
    for (const auto& l : lines) {
        std::smatch m;
        if (std::regex_search(l, m, re)) out.push_back(m[1]);
    }
    return out;
}

class Skvplay : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("skvplay_test_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    // The demo under a name of this run's own: the plug-in caches a movie beside itself under
    // the name of its address, so runs side by side must not share one.
    std::string movie(const std::string& tag = "m") {
        std::string name = tag;
        name += std::to_string(getpid());
        name += ".skm";
        const fs::path p = dir / name;
        if (!fs::exists(p)) fs::copy_file(DEMO_MOVIE, p);
        return p.string();
    }
    fs::path dir;
};

} // namespace

TEST_F(Skvplay, HelpAndUsageErrorsSayWhatToDo) {
    std::string out;
    EXPECT_EQ(run({"--help"}, &out), 0);
    EXPECT_NE(out.find("usage: skvplay [options] PAGE-OR-ADDRESS"), std::string::npos);
    EXPECT_EQ(run({}, &out), 2);
    EXPECT_EQ(run({"--max-frames", "x", "movie.skm"}, &out), 2);
    EXPECT_NE(out.find("--max-frames needs a positive number"), std::string::npos);
    EXPECT_EQ(run({"--headless", (dir / "absent.html").string()}, &out), 2);
    EXPECT_NE(out.find("cannot read"), std::string::npos) << out;
}

TEST_F(Skvplay, PageSizeInAnyCaseGivesTheStage) {
    std::ofstream(dir / "movie.skm", std::ios::binary) << "file:" << movie() << "\r\n";
    std::ofstream(dir / "page.html")
        << "<html><body><p>demo</p>\n<EMBED SRC=\"movie.skm\" WiDtH=320 HEIGHT=240></body>";
    std::string out;
    ASSERT_EQ(run({"--headless", "--max-frames", "3", "--frames", (dir / "frames").string(),
                   "--log", (dir / "log.jsonl").string(), (dir / "page.html").string()},
                  &out),
              0)
        << out;
    ASSERT_TRUE(fs::exists(dir / "frames" / "frame-00001.png")) << out;
    EXPECT_EQ(pngSize(dir / "frames" / "frame-00001.png"), (std::pair<int, int>{320, 240}));
    EXPECT_FALSE(fs::exists(dir / "frames" / "frame-00004.png"));
}

TEST_F(Skvplay, PointerFileWithCrLfOpensExactlyItsAddress) {
    std::ofstream(dir / "pointer.skm", std::ios::binary) << "file:" << movie() << "\r\n";
    const fs::path log = dir / "log.jsonl";
    std::string out;
    ASSERT_EQ(run({"--headless", "--max-frames", "2", "--log", log.string(),
                   (dir / "pointer.skm").string()},
                  &out),
              0)
        << out;
    const auto lines = readLines(log);
    EXPECT_TRUE(entries(lines, "messageBox").empty());
    int frames = 0;
    for (const auto& l : lines)
        frames += l.find("\"frame\":") != std::string::npos;
    EXPECT_EQ(frames, 2);
}

TEST_F(Skvplay, BufferingPercentageRisesToAtMost100) {
    const fs::path log = dir / "log.jsonl";
    std::string out;
    ASSERT_EQ(run({"--headless", "--max-frames", "4", "--log", log.string(), movie()}, &out), 0)
        << out;
    const auto texts = entries(readLines(log), "statusLine");
    int last = 0, seen = 0;
    for (const auto& t : texts) {
        int p = 0;
        if (std::sscanf(t.c_str(), "Skyvora Movie is %d%% complete", &p) != 1) continue;
        ++seen;
        EXPECT_GE(p, last) << t;
        EXPECT_LE(p, 100) << t;
        last = p;
    }
    // A small local movie may be buffered before a percentage is due; when shown, it rose.
    if (seen > 0) {
        EXPECT_LE(last, 100);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Playing Skyvora Movie"), texts.end());
}

TEST_F(Skvplay, ErrorStatusShowsItsTextOnceInABox) {
    std::ofstream(dir / "pointer.skm", std::ios::binary)
        << "file:" << (dir / "gone.skm").string() << "\n";
    const fs::path log = dir / "log.jsonl";
    std::string out;
    EXPECT_EQ(run({"--headless", "--seconds", "30", "--log", log.string(),
                   (dir / "pointer.skm").string()},
                  &out),
              3)
        << out;
    const auto lines = readLines(log);
    const auto boxes = entries(lines, "messageBox");
    ASSERT_EQ(boxes.size(), 1u) << out;
    EXPECT_EQ(boxes[0].rfind("Quillon Skyvora Viewer Plugin: ", 0), 0u) << boxes[0];
    const auto texts = entries(lines, "statusLine");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Quillon Skyvora Viewer Plugin error"), 1);
    // Headless, nobody saw the box: skvplay says what it said.
    const std::string said = "skvplay: the plug-in showed an error box: " +
                             boxes[0].substr(std::string("Quillon Skyvora Viewer Plugin: ").size());
    EXPECT_NE(out.find(said), std::string::npos) << out;
}

TEST_F(Skvplay, ServedMovieShowsTheSameFramesAsItsFile) {
    fs::create_directories(dir / "movies");
    std::string served = "s";
    served += std::to_string(getpid());
    served += ".skm";
    fs::copy_file(DEMO_MOVIE, dir / "movies" / served);
    const fs::path portFile = dir / "ports";
    const pid_t server = fork();
    if (server == 0) {
        execl(QMSD_PROGRAM, QMSD_PROGRAM, "--port", "0", "--http-port", "0", "--bind", "127.0.0.1",
              "--port-file", portFile.c_str(), (dir / "movies").c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(server, 0);
    // The port file appears once the server listens; waiting on the child's progress, not time.
    unsigned port = 0;
    for (int i = 0; i < 2000 && port == 0; ++i) {
        std::ifstream in(portFile);
        std::string word;
        if (in >> word >> port && word == "native") break;
        port = 0;
        usleep(5000);
    }
    ASSERT_NE(port, 0u);
    std::string out;
    const int servedRun =
        run({"--headless", "--max-frames", "12", "--frames", (dir / "served").string(),
             "qmsp://127.0.0.1:" + std::to_string(port) + "/" + served},
            &out);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    ASSERT_EQ(servedRun, 0) << out;
    ASSERT_EQ(
        run({"--headless", "--max-frames", "12", "--frames", (dir / "file").string(), movie("f")},
            &out),
        0)
        << out;
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", i);
        ASSERT_TRUE(fs::exists(dir / "served" / name)) << name;
        EXPECT_EQ(readAll(dir / "served" / name), readAll(dir / "file" / name)) << name;
    }
}

TEST_F(Skvplay, ContactSheetHoldsTheFramesSideBySide) {
    // The sheet and the log may go into folders that do not exist yet.
    std::string out;
    ASSERT_EQ(run({"--headless", "--max-frames", "4", "--contact-sheet",
                   (dir / "sheets" / "sheet.png").string(), "--log",
                   (dir / "logs" / "run" / "log.jsonl").string(), movie()},
                  &out),
              0)
        << out;
    const auto [w, h] = pngSize(dir / "sheets" / "sheet.png");
    EXPECT_GT(w, 2 * h) << out; // four frames in one row
    EXPECT_NE(readAll(dir / "logs" / "run" / "log.jsonl").find("\"frame\""), std::string::npos);
    EXPECT_NE(out.find("sheet.png: 4 pictures, numbered 1 to 4"), std::string::npos) << out;

    // Every fifth frame shown: frames 5, 10, 15 and 20, a row of four as wide as the first.
    ASSERT_EQ(run({"--headless", "--max-frames", "22", "--contact-sheet-every", "5",
                   "--contact-sheet", (dir / "every.png").string(), movie()},
                  &out),
              0)
        << out;
    EXPECT_NE(out.find("every.png: 4 pictures, numbered 5 to 20"), std::string::npos) << out;
    EXPECT_EQ(pngSize(dir / "every.png"), pngSize(dir / "sheets" / "sheet.png"));

    EXPECT_EQ(run({"--headless", "--contact-sheet-every", "5", movie()}, &out), 2);
    EXPECT_NE(out.find("--contact-sheet-every needs --contact-sheet FILE"), std::string::npos)
        << out;
    EXPECT_EQ(run({"--headless", "--contact-sheet-every", "0", movie()}, &out), 2);
}

TEST_F(Skvplay, TwoRunsWithATransitionShowTheSameStepsFramesAndLog) {
    // The transitions example's first changes, a wipe and a push; every step is kept.
    std::string name = "t";
    name += std::to_string(getpid());
    name += ".skm";
    fs::copy_file(TRANSITIONS_MOVIE, dir / name);
    std::vector<std::vector<std::string>> logs;
    for (const std::string run_ : {"a", "b"}) {
        std::string out;
        ASSERT_EQ(run({"--headless", "--seconds", "7", "--steps", "--frames", (dir / run_).string(),
                       "--log", (dir / (run_ + ".jsonl")).string(), (dir / name).string()},
                      &out),
                  0)
            << out;
        EXPECT_NE(out.find("transition steps saved"), std::string::npos) << out;
        // The engine's lines from the first step on, timed from it: before playback starts the
        // stream threads' statuses come in an order of their own, and the start itself may
        // fall a millisecond apart between runs.
        std::vector<std::string> lines;
        long origin = -1;
        for (const std::string& l : readLines(dir / (run_ + ".jsonl"))) {
            const bool engine = l.find("\"frame\"") != std::string::npos ||
                                l.find("\"step\"") != std::string::npos ||
                                l.find("\"event\"") != std::string::npos;
            const long t = std::atol(l.c_str() + 5); // {"t":N,...
            if (origin < 0 && l.find("\"step\"") != std::string::npos) origin = t;
            if (origin >= 0 && engine)
                lines.push_back(std::to_string(t - origin) + l.substr(l.find(',')));
        }
        logs.push_back(lines);
    }
    EXPECT_EQ(logs[0], logs[1]);
    int steps = 0;
    for (const auto& l : logs[0])
        steps += l.find("\"step\"") != std::string::npos;
    EXPECT_GT(steps, 2);
    int pictures = 0;
    for (const auto& e : fs::directory_iterator(dir / "a")) {
        const std::string name = e.path().filename().string();
        pictures += name.find("-step-") != std::string::npos;
        ASSERT_TRUE(fs::exists(dir / "b" / name)) << name;
        EXPECT_EQ(readAll(e.path()), readAll(dir / "b" / name)) << name;
    }
    EXPECT_EQ(pictures, steps);
}

TEST_F(Skvplay, ARelativeWorkFolderPlaysTheMovie) {
    // Run from the test's folder with --work naming a folder below it.
    std::string out;
    EXPECT_EQ(runWith("cd '" + dir.string() + "' &&",
                      {"--headless", "--max-frames", "3", "--work", "scratch", movie()}, &out),
              0)
        << out;
    EXPECT_NE(out.find("3 frames shown"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(dir / "scratch" / "movie.skm"));
}

TEST_F(Skvplay, AWorkFolderOfItsOwnGoesAwayAndAStatusIsSaidOnce) {
    const fs::path tmp = dir / "tmp";
    fs::create_directories(tmp);
    std::string out;
    EXPECT_EQ(runWith("TMPDIR='" + tmp.string() + "'", {"--headless", "--max-frames", "2", movie()},
                      &out),
              0)
        << out;
    EXPECT_TRUE(fs::is_empty(tmp)) << fs::directory_iterator(tmp)->path();
    // The plug-in says "Connecting to server..." as the stream starts and as it connects; the
    // user is told once.
    const std::string said = "Connecting to server...";
    const size_t first = out.find(said);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find(said, first + 1), std::string::npos) << out;
}

TEST_F(Skvplay, EachWayOfNotPlayingHasAnExitStatusOfItsOwn) {
    std::string out;
    ASSERT_EQ(run({"--help"}, &out), 0);
    for (const char* status : {"  1  no window", "  4  nothing played", "  5  the source an embed",
                               "  6  the movie's server"})
        EXPECT_NE(out.find(status), std::string::npos) << status << "\n" << out;

    // Asked for a window where there is no display.
    EXPECT_EQ(run({"--window", movie()}, &out), 1) << out;
    EXPECT_NE(out.find("skvplay: cannot open a window: no display is set"), std::string::npos)
        << out;

    // A page whose embed names a source that is not there: the browser has nothing to hand the
    // plug-in, so the run ends at once rather than wait for a movie that cannot come.
    std::ofstream(dir / "missing.html") << "<html><embed src=\"nothere.skm\" width=100 "
                                           "height=100></html>\n";
    EXPECT_EQ(run({"--headless", (dir / "missing.html").string()}, &out), 5) << out;
    EXPECT_NE(out.find("skvplay: the page's embed source could not be fetched: cannot open " +
                       (dir / "nothere.skm").string() + " (No such file or directory)"),
              std::string::npos)
        << out;

    // A server that is down: nothing listens on the closed port (and no proxy is tried).
    EXPECT_EQ(runWith("env -u http_proxy -u HTTP_PROXY", {"--headless", "qmsp://127.0.0.1:1/x.skm"},
                      &out),
              6)
        << out;
    EXPECT_NE(out.find("skvplay: cannot reach the server 127.0.0.1:1: the connection was refused"),
              std::string::npos)
        << out;

    // A server that takes the connection and never answers: within the time given no frame.
    const int quiet = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(quiet, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    ASSERT_EQ(bind(quiet, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(quiet, 4), 0);
    ASSERT_EQ(getsockname(quiet, reinterpret_cast<sockaddr*>(&sa), &length), 0);
    const int status =
        runWith("env -u http_proxy -u HTTP_PROXY",
                {"--headless", "--seconds", "5",
                 "qmsp://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/q.skm"},
                &out);
    close(quiet);
    EXPECT_EQ(status, 4) << out;
    EXPECT_NE(out.find("not one frame was shown"), std::string::npos) << out;
}

TEST_F(Skvplay, WhatIsNotAMovieIsSaidInPlainWordsBesideThePluginsBox) {
    // Relative names, as a person types them; the run happens as ever and its box is logged.
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "movie.toml") << "[movie]\nstage = [64, 48]\n";
    std::ofstream(dir / "ball.png", std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    std::ofstream(dir / "empty.skm").flush();
    std::string cut = readAll(DEMO_MOVIE);
    ASSERT_GT(cut.size(), 1204u);
    cut.resize(1204);
    std::ofstream(dir / "mymovie.skm", std::ios::binary) << cut;
    const std::string in = "cd '" + dir.string() + "' &&";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ball.png", "skvplay: ball.png is not a Skyvora movie: it starts with a PNG signature"},
        {"src/movie.toml", "skvplay: src/movie.toml is not a Skyvora movie: it is text; a movie "
                           "source? build it with: skvc build src -o src.skm"},
        {"src", "skvplay: src is a folder, not a movie; a movie source? build it with: skvc build "
                "src -o src.skm"},
        {"empty.skm", "skvplay: empty.skm is empty"},
        {"mymovie.skm",
         "skvplay: mymovie.skm ends after 1 204 bytes, in the middle of an object (object "},
    };
    for (const auto& [target, said] : cases) {
        std::string out;
        EXPECT_EQ(runWith(in, {"--headless", "--log", "log.jsonl", target}, &out), 3) << out;
        EXPECT_NE(out.find(said), std::string::npos) << target << "\n" << out;
        EXPECT_NE(out.find("skvplay: the plug-in showed an error box: "), std::string::npos) << out;
        EXPECT_EQ(entries(readLines(dir / "log.jsonl"), "messageBox").size(), 1u) << target;
    }
    // An embed source naming a movie that is not there says so, not that it is text.
    std::ofstream(dir / "pointer.skm", std::ios::binary)
        << "file:" << (dir / "gone.skm").string() << "\r\n";
    std::string out;
    EXPECT_EQ(runWith(in, {"--headless", "pointer.skm"}, &out), 3) << out;
    EXPECT_NE(out.find("skvplay: pointer.skm is an embed source naming the movie file:" +
                       (dir / "gone.skm").string() + ", which does not exist"),
              std::string::npos)
        << out;
}

TEST_F(Skvplay, AHeadlessRunOfAMovieThatLoopsForEverStopsAtItsLimitAndSaysSo) {
    // The demo loops until its button is clicked; nobody clicks. Its evenly spread contact
    // sheet starts at the first frame shown.
    std::string out;
    EXPECT_EQ(run({"--headless", "--contact-sheet", (dir / "sheet.png").string(), movie()}, &out),
              0)
        << out;
    EXPECT_NE(out.find("skvplay: stopped at the headless limit of 600 s of movie time; give "
                       "--seconds N to play longer"),
              std::string::npos)
        << out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, std::regex("(\\d+) frames shown")));
    const int shown = std::stoi(m[1]);
    ASSERT_TRUE(std::regex_search(
        out, m, std::regex("contact sheet [^:]*: (\\d+) pictures, numbered 1 to (\\d+)")))
        << out;
    EXPECT_LE(std::stoi(m[1]), 32);
    EXPECT_LE(std::stoi(m[2]), shown);
    // Its loop at 12 frames a second came round hundreds of times; the sheet, its pictures one
    // gap apart from the first, reaches within a gap of the end.
    EXPECT_GT(shown, 6000);
    const int pictures = std::stoi(m[1]), last = std::stoi(m[2]);
    ASSERT_GT(pictures, 1);
    EXPECT_GT(last, shown - (last - 1) / (pictures - 1));

    // A limit the person gave is no news.
    EXPECT_EQ(run({"--headless", "--seconds", "2", movie()}, &out), 0) << out;
    EXPECT_EQ(out.find("headless limit"), std::string::npos) << out;
}

TEST_F(Skvplay, KeysReachTheStageOnceTheMoviePlays) {
    // Frame 1 waits for a click or a key; the visitor only presses a key.
    fs::create_directories(dir / "src");
    std::ofstream(dir / "src" / "movie.toml") << R"([movie]
stage = [64, 48]
tempo = 10

[[member]]
number = 1
type = "shape"
shape = "rectangle"
size = [10, 10]
pattern = 1

[[sprite]]
sprite = 1
member = 1
frames = [1, 2]
at = [5, 5]
to = [40, 5]

[[frame]]
frame = 1
tempo = "click"
)";
    std::string name = "k";
    name += std::to_string(getpid());
    name += ".skm";
    const std::string build = std::string(SKVC_PROGRAM) + " build '" + (dir / "src").string() +
                              "' -o '" + (dir / name).string() + "' 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0);
    std::ofstream(dir / "keys.input") << "500 key space\n";
    std::string out;
    ASSERT_EQ(run({"--headless", "--seconds", "5", "--input", (dir / "keys.input").string(),
                   "--log", (dir / "log.jsonl").string(), (dir / name).string()},
                  &out),
              0)
        << out;
    EXPECT_NE(readAll(dir / "log.jsonl").find("\"frame\":2"), std::string::npos) << out;
}

TEST_F(Skvplay, ARunPastTheDemosLoopEndsCleanly) {
    // The demo loops at 2 s, running its scripts' built-ins; the plug-in module is unloaded at
    // the end, and under the leak checker nothing it held may be left behind (exit 0).
    std::string out;
    EXPECT_EQ(run({"--headless", "--seconds", "3", movie()}, &out), 0) << out;
    EXPECT_EQ(out.find("LeakSanitizer"), std::string::npos) << out;
}
