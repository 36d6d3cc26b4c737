// wine_movies: plays movies with the Windows skvplay.exe under Wine and with the Linux skvplay
// headless, from a file and from qmsd on loopback, and compares the frames they settle on.
//
//   wine_movies --bin LINUX-BIN-DIR --windows "WINE-RUN skvplay.exe" --out DIR
//               [--demo MOVIE.skm INPUT] MOVIE-TEST-DIR...
//
// For each movie test with a [run] table the movie is built with skvc and its events become an
// input script. Linux plays it on the virtual clock; Windows in real time, so the two show a
// different number of frames on the way, but the movie's last picture must be the same: the
// report gives, per movie and source, the pixels of the last frame that differ. The exit status
// is 1 when a Windows run did not play (or ended differently from the Linux run), 0 otherwise;
// differing pixels are reported, and --strict makes them fail too. --jobs N plays N movies at
// once.
#include <png.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"
#include "testfile.h"

namespace fs = std::filesystem;

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Picture readPng(const fs::path& path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return p;
    }
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.rgb = std::move(rgb);
    return p;
}

// The last frame a run saved (frame-NNNNN.png, not a step or the splash), or empty.
fs::path lastFrame(const fs::path& dir) {
    fs::path last;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() == 15 && name.rfind("frame-", 0) == 0 && name.ends_with(".png") &&
            (last.empty() || name > last.filename().string()))
            last = e.path();
    }
    return last;
}

size_t frameCount(const fs::path& dir) {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        n += name.size() == 15 && name.rfind("frame-", 0) == 0;
    }
    return n;
}

struct Comparison {
    bool compared = false;
    std::string why; // when not compared
    long long differing = 0;
    long long pixels = 0;
};

Comparison compare(const fs::path& linuxDir, const fs::path& windowsDir) {
    Comparison c;
    const fs::path a = lastFrame(linuxDir), b = lastFrame(windowsDir);
    if (a.empty() || b.empty()) {
        c.why = a.empty() ? "Linux saved no frame" : "Windows saved no frame";
        return c;
    }
    const Picture pa = readPng(a), pb = readPng(b);
    if (pa.rgb.empty() || pb.rgb.empty()) {
        c.why = "a frame picture cannot be read";
        return c;
    }
    if (pa.width != pb.width || pa.height != pb.height) {
        c.why = "sizes differ: Linux " + std::to_string(pa.width) + "x" +
                std::to_string(pa.height) + ", Windows " + std::to_string(pb.width) + "x" +
                std::to_string(pb.height);
        return c;
    }
    c.compared = true;
    c.pixels = static_cast<long long>(pa.width) * pa.height;
    for (size_t i = 0; i < pa.rgb.size(); i += 3)
        c.differing += pa.rgb[i] != pb.rgb[i] || pa.rgb[i + 1] != pb.rgb[i + 1] ||
                       pa.rgb[i + 2] != pb.rgb[i + 2];
    return c;
}

// The samples of a capture's WAV file (its data chunk), or empty.
std::string waveSamples(const fs::path& path) {
    const std::string d = skvtest::readAll(path);
    for (size_t at = 12; at + 8 <= d.size();) {
        const uint32_t n = static_cast<uint8_t>(d[at + 4]) | static_cast<uint8_t>(d[at + 5]) << 8 |
                           static_cast<uint8_t>(d[at + 6]) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(d[at + 7])) << 24;
        if (d.compare(at, 4, "data") == 0) return d.substr(at + 8, n);
        at += 8 + static_cast<size_t>(n) + (n & 1);
    }
    return {};
}

// How the two runs' sound compares: "-" when neither played any, "same" when both played the
// same samples (their start times are each system's own), else "differs".
std::string soundVerdict(const fs::path& linuxWave, const fs::path& windowsWave) {
    std::error_code ec;
    const bool l = fs::exists(linuxWave, ec), w = fs::exists(windowsWave, ec);
    if (!l && !w) return "-";
    if (l != w) return "differs";
    const std::string a = waveSamples(linuxWave), b = waveSamples(windowsWave);
    return !a.empty() && a == b ? "same" : "differs";
}

struct Movie {
    std::string name;
    fs::path skm;
    std::string input;  // input script text
    std::string target; // what skvplay is given for the file run (the movie, or a page)
    double seconds = 60;
};

struct Server {
    pid_t pid = 0;
    int port = 0;
};

Server startServer(const std::string& qmsd, const fs::path& dir) {
    Server s;
    const fs::path portFile = dir / "qmsd.ports";
    fs::remove(portFile);
    const std::string cmd =
        skvtest::commandLine(qmsd, {"--port", "0", "--bind", "127.0.0.1", "--quiet", "--port-file",
                                    portFile.string(), dir.string()});
    std::string out;
    skvtest::runCommand(cmd + " > /dev/null 2>&1 & echo $!", &out);
    s.pid = static_cast<pid_t>(std::atoi(out.c_str()));
    for (int i = 0; i < 500 && s.port == 0; ++i) {
        for (const std::string& line : skvtest::readLines(portFile))
            if (line.rfind("native ", 0) == 0) s.port = std::atoi(line.c_str() + 7);
        if (s.port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return s;
}

int run(const std::string& program, const std::vector<std::string>& args, std::string* output) {
    return skvtest::runCommand(skvtest::commandLine(program, args), output);
}

} // namespace

int main(int argc, char** argv) {
    std::string bin, windows, out;
    std::vector<std::string> dirs;
    std::string demo, demoInput;
    bool strict = false;
    int jobs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bin" && i + 1 < argc) {
            bin = argv[++i];
        } else if (a == "--windows" && i + 1 < argc) {
            windows = argv[++i];
        } else if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (a == "--demo" && i + 2 < argc) {
            demo = argv[++i];
            demoInput = argv[++i];
        } else if (a == "--jobs" && i + 1 < argc) {
            jobs = std::atoi(argv[++i]);
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "--help") {
            std::puts("usage: wine_movies --bin LINUX-BIN-DIR --windows \"WINE-RUN skvplay.exe\" "
                      "--out DIR [--demo MOVIE.skm INPUT] [--strict] [--jobs N] MOVIE-TEST-DIR...\n"
                      "  --jobs N   how many movies play at once (3)");
            return 0;
        } else {
            dirs.push_back(a);
        }
    }
    if (bin.empty() || windows.empty() || out.empty()) {
        std::fputs("wine_movies: --bin, --windows and --out are needed (see --help)\n", stderr);
        return 2;
    }
    fs::remove_all(out);
    fs::create_directories(out);

    std::vector<Movie> movies;
    if (!demo.empty()) {
        Movie m;
        m.name = "demo";
        fs::create_directories(fs::path(out) / m.name);
        m.skm = fs::path(out) / m.name / (m.name + ".skm");
        fs::copy_file(demo, m.skm);
        m.input = skvtest::readAll(demoInput);
        m.target = m.skm.string();
        m.seconds = 30;
        movies.push_back(m);
    }
    for (const std::string& dir : dirs) {
        if (!fs::exists(fs::path(dir) / "test.toml")) continue; // not a movie test
        movietest::TestFile t;
        try {
            t = movietest::readTestFile(dir);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "wine_movies: %s: %s\n", dir.c_str(), e.what());
            return 2;
        }
        if (!t.play) continue;
        Movie m;
        fs::path named(dir);
        if (named.filename().empty()) named = named.parent_path(); // "tests/movies/x/"
        m.name = named.filename().string();
        const fs::path folder = fs::path(out) / m.name;
        fs::create_directories(folder);
        // Named after the test: cache files are named after the movie and not shared, so two
        // movies of one name could not play at once.
        m.skm = folder / (m.name + ".skm");
        std::string said;
        if (run(bin + "/skvc", {"build", dir + "/source", "-o", m.skm.string()}, &said) != 0) {
            std::fprintf(stderr, "wine_movies: %s does not build:\n%s", dir.c_str(), said.c_str());
            return 2;
        }
        m.input = t.inputScript;
        m.seconds = static_cast<double>(t.limitMs) / 1000.0;
        m.target = m.skm.string();
        if (t.page) {
            // The stage sits in a page of that size, as the movie test's runner puts it.
            const fs::path page = folder / "page.html";
            std::ofstream(page) << "<html><body><embed src=\"" << m.skm.filename().string()
                                << "\" "
                                   "type=\"application/vnd.skyvora\" width=\""
                                << t.page->first << "\" height=\"" << t.page->second
                                << "\"></body></html>\n";
            m.target = page.string();
        }
        movies.push_back(m);
    }

    const Server server = startServer(bin + "/qmsd", out);
    if (server.port == 0) {
        std::fputs("wine_movies: qmsd did not start on loopback\n", stderr);
        return 1;
    }
    // One job per movie and source; several movies play at once (the Windows runs play in real
    // time and mostly wait), and the report comes in the movies' order.
    struct Job {
        const Movie* movie;
        bool fromServer;
        std::string line; // the report's line
        bool failed = false;
        long long differing = 0;
        int hangs = 0;
    };
    // A movie's two sources play one after the other: their cache files have the same name.
    std::vector<std::vector<Job>> work;
    for (const Movie& m : movies) {
        const fs::path folder = fs::path(out) / m.name;
        std::ofstream(folder / "input.txt") << m.input;
        work.emplace_back();
        for (const bool fromServer : {false, true}) {
            // A page is a file run only: the server serves movies.
            if (fromServer && m.target != m.skm.string()) continue;
            work.back().push_back(Job{&m, fromServer, {}, false, 0, 0});
        }
    }
    const auto play = [&](Job& job) {
        const Movie& m = *job.movie;
        const fs::path folder = fs::path(out) / m.name;
        const fs::path input = folder / "input.txt";
        const std::string seconds = std::to_string(m.seconds);
        const std::string served = "qmsp://127.0.0.1:" + std::to_string(server.port) + "/" +
                                   m.name + "/" + m.skm.filename().string();
        const std::string source = job.fromServer ? "server" : "file";
        const std::string target = job.fromServer ? served : m.target;
        const fs::path linuxFrames = folder / ("linux-" + source);
        const fs::path windowsFrames = folder / ("windows-" + source);
        std::vector<std::string> common = {"--headless", "--seconds", seconds};
        if (!m.input.empty()) common.insert(common.end(), {"--input", input.string()});
        std::string linuxSaid, windowsSaid;
        std::vector<std::string> la = common, wa = common;
        la.insert(la.end(), {"--frames", linuxFrames.string(), "--log",
                             (folder / ("linux-" + source + ".log")).string(), target});
        wa.insert(wa.end(), {"--frames", windowsFrames.string(), "--log",
                             (folder / ("windows-" + source + ".log")).string(), target});
        // Sound goes to each system's capture device, which writes what the plug-in sent.
        const fs::path linuxWave = folder / ("linux-" + source + ".wav");
        const fs::path windowsWave = folder / ("windows-" + source + ".wav");
        const int linuxExit =
            run("SKV_WAVE=capture SKV_WAVE_FILE='" + linuxWave.string() + "' " + bin + "/skvplay",
                la, &linuxSaid);
        // A run that hangs (a crash waiting in the debugger) ends after two minutes.
        const auto runWindows = [&] {
            return run("SKV_WAVE=capture SKV_WAVE_FILE='" + windowsWave.string() +
                           "' timeout 120 " + windows,
                       wa, &windowsSaid);
        };
        int windowsExit = runWindows();
        // Under load, skvplay.exe has now and then stopped after its first frame and waited for
        // good (seen twice in some hundred runs, never on Linux). Such a run is played once more
        // and reported as a hang, so that it stays visible; a second hang fails.
        if (windowsExit == 124) {
            ++job.hangs;
            std::error_code ec;
            fs::remove_all(windowsFrames, ec);
            windowsSaid.clear();
            windowsExit = runWindows();
        }
        const bool crashed = windowsSaid.find("Unhandled") != std::string::npos ||
                             windowsSaid.find("starting debugger") != std::string::npos;
        std::ofstream(folder / ("windows-" + source + ".out")) << windowsSaid;
        const Comparison c = compare(linuxFrames, windowsFrames);
        std::string verdict;
        if (crashed) {
            job.failed = true;
            verdict = "FAIL: skvplay.exe crashed; it said:\n" + windowsSaid;
        } else if (windowsExit != linuxExit) {
            job.failed = true;
            verdict = "FAIL: skvplay.exe exited " + std::to_string(windowsExit) + ", Linux " +
                      std::to_string(linuxExit) + "; it said:\n" + windowsSaid;
        } else if (!c.compared) {
            job.failed = true;
            verdict = "FAIL: " + c.why;
        } else {
            job.differing = c.differing;
            verdict = std::to_string(c.differing) + " of " + std::to_string(c.pixels);
            if (strict && c.differing) job.failed = true;
        }
        std::error_code ec;
        const auto waveBytes = [&](const fs::path& p) {
            return fs::exists(p, ec) ? std::to_string(fs::file_size(p, ec)) : "-";
        };
        char line[256];
        std::snprintf(line, sizeof line, "%-24s %-7s %-10zu %-10zu %-9s %-9s %-8s ", m.name.c_str(),
                      source.c_str(), frameCount(linuxFrames), frameCount(windowsFrames),
                      waveBytes(linuxWave).c_str(), waveBytes(windowsWave).c_str(),
                      soundVerdict(linuxWave, windowsWave).c_str());
        job.line =
            line + verdict + (job.hangs ? " (the first Windows run hung: played again)" : "");
    };
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < std::max(1, jobs); ++i)
        workers.emplace_back([&] {
            for (size_t j; (j = next.fetch_add(1)) < work.size();)
                for (Job& job : work[j])
                    play(job);
        });
    for (std::thread& t : workers)
        t.join();

    int failures = 0, hangs = 0;
    long long totalDiffering = 0;
    std::printf("%-24s %-7s %-10s %-10s %-9s %-9s %-8s %s\n", "movie", "source", "frames L",
                "frames W", "wav L", "wav W", "sound", "last frame: differing pixels");
    for (const std::vector<Job>& movie : work) {
        for (const Job& job : movie) {
            std::printf("%s\n", job.line.c_str());
            failures += job.failed;
            hangs += job.hangs;
            totalDiffering += job.differing;
        }
    }
    kill(server.pid, SIGTERM);
    std::printf("%d run(s) failed; %lld differing pixel(s) in all; the runs are in %s\n", failures,
                totalDiffering, out.c_str());
    if (hangs)
        std::printf("%d Windows run(s) hung after their first frames and were played again\n",
                    hangs);
    return failures ? 1 : 0;
}
