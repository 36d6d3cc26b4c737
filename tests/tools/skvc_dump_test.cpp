// skvc dump of a URL when the fetch cannot go as planned: a cache file that cannot be opened
// (another viewer holds it, or its folder cannot be made) and a server that goes quiet, with the
// receive time-out the command line gives. Fetches run in-process (on the virtual clock where a
// server is waited for) or through the built program.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../net/loopback_server.h"
#include "../net/movie_fixture.h"
#include "dump.h"
#include "net/moviestream.h"
#include "platform/clock.h"
#include "saved_env.h"

namespace fs = std::filesystem;
using namespace skv;
using namespace skv::test;

namespace {

// What a stream written by the dump holds, the stream closed.
std::string contents(std::FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}

struct Fetch {
    int status = -1;
    std::string out, err;
};

Fetch dump(const std::string& url, const skvc::DumpUrlOptions& options) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Fetch f;
    f.status = skvc::dumpUrl(url, options, out, err);
    f.out = contents(out);
    f.err = contents(err);
    return f;
}

struct Program {
    int status = -1;
    std::string out, err;
};

std::string readAll(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    close(fd);
    return s;
}

// Runs `program` with `args` to its end. Its standard error is read after its standard output,
// which is enough for the few lines these runs write.
Program run(const std::string& program, const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    EXPECT_EQ(pipe(errPipe), 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Program p;
    p.out = readAll(outPipe[0]);
    p.err = readAll(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    p.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return p;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The status lines, with the messages of the module's string table.
const char kCannotOpenStatus[] =
    "status 0x80000FA2 stsErrorConstructingStream: An internal error "
    "has occurred (code 1.)  Please contact Quillon technical support.";
const char kEarlyEndStatus[] = "status 0x80000FA3 stsUnknownError: An unknown error has occurred.  "
                               "Please contact Quillon technical support.";

class SkvcDumpFetch : public ::testing::Test {
protected:
    void SetUp() override {
        registerNetBlob();
        movie_ = makeMovie(12, 2500, 41);
        moviePath_ = tempDir() + uniqueName(".skm");
        writeBytes(moviePath_, movie_);
    }
    void TearDown() override {
        if (virtual_) {
            platform::setVirtualClock(false);
            platform::leaveVirtualClock();
        }
        std::remove(moviePath_.c_str());
        if (!cachePath_.empty()) std::remove(cachePath_.c_str());
    }
    void useVirtualClock() {
        platform::setVirtualClock(true, 1000000);
        virtual_ = true;
    }
    std::string serverUrl(const LoopbackServer& server) {
        std::string u =
            "qmsp://127.0.0.1:" + std::to_string(server.port()) + "/" + uniqueName(".skm");
        cachePath_ = cachePathForUrl(u.c_str());
        return u;
    }

    SavedProxyEnvironment environment_;
    std::vector<uint8_t> movie_;
    std::string moviePath_, cachePath_;
    bool virtual_ = false;
};

// Another viewer has the movie's cache file open and shares it with nobody: the stream cannot be
// built, so no thread ever starts, and the dump must say so rather than wait for their end.
TEST_F(SkvcDumpFetch, CacheFileHeldByAnotherViewerIsReportedWithItsStatus) {
    const std::string url = "file://" + moviePath_;
    cachePath_ = cachePathForUrl(url.c_str());
    writeBytes(cachePath_, {});
    HANDLE other = CreateFileA(cachePath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    for (bool keep : {false, true}) {
        skvc::DumpUrlOptions o;
        o.showStatus = true;
        o.keepCache = keep;
        Fetch f = dump(url, o);
        EXPECT_EQ(f.status, skvc::kDumpFetchFailed) << keep;
        EXPECT_EQ(f.out, std::string(kCannotOpenStatus) + "\n") << keep;
        EXPECT_TRUE(contains(f.err, "skvc: cannot fetch " + url + ": " + kCannotOpenStatus))
            << f.err;
        EXPECT_TRUE(contains(f.err, "the cache file " + cachePath_ + " cannot be opened")) << f.err;
    }
    CloseHandle(other);
    // The failed opens left the other viewer's file where it was.
    EXPECT_NE(GetFileAttributesA(cachePath_.c_str()), INVALID_FILE_ATTRIBUTES);

    // Once it is free the same dump goes through.
    Fetch f = dump(url, {});
    EXPECT_EQ(f.status, skvc::kDumpOk) << f.err;
    EXPECT_TRUE(contains(f.out, "end: NTrailer after 13 objects")) << f.out;
}

// The server stops part-way: after the receive time-out given the dump ends as a truncated stream,
// says why, and with --keep-cache the bytes that came stay for the next dump to resume from.
TEST_F(SkvcDumpFetch, StalledServerEndsTheDumpAfterTheReceiveTimeOutAndTheCacheKeepsWhatCame) {
    useVirtualClock();
    const size_t part = 12000;
    LoopbackServer server(
        LoopbackServer::nativeMovie(std::string(movie_.begin(), movie_.end()), part));
    skvc::DumpUrlOptions o;
    o.keepCache = true;
    o.receiveTimeoutMs = 5000;
    const std::string url = serverUrl(server);
    const uint64_t t0 = platform::clockNowMs();
    Fetch f = dump(url, o);
    const uint64_t waited = platform::clockNowMs() - t0;
    EXPECT_EQ(f.status, skvc::kDumpTruncated) << f.out << f.err;
    EXPECT_TRUE(contains(f.out, "without an end marker")) << f.out;
    EXPECT_EQ(f.err,
              "skvc: the transfer of " + url + " did not complete: " + kEarlyEndStatus + "\n");
    EXPECT_GE(waited, 5000u);
    EXPECT_LT(waited, 60000u); // the time-out given, not the player's minute
    std::vector<uint8_t> cached = readBytes(cachePath_);
    EXPECT_EQ(cached, std::vector<uint8_t>(movie_.begin(), movie_.begin() + part));
}

// The option on the command line reaches the stream: a server silent on both roads (the native
// port, then HTTP through the proxy) is given up after five seconds on each.
TEST_F(SkvcDumpFetch, ReceiveTimeOutFromTheCommandLineIsTheOneWaited) {
    useVirtualClock();
    LoopbackServer server(&LoopbackServer::silent);
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server.port()) + "/").c_str(), 1);
    const std::string url = serverUrl(server);
    const uint64_t t0 = platform::clockNowMs();
    EXPECT_EQ(skvc::dumpCommand({"--receive-timeout", "5", url}), skvc::kDumpFetchFailed);
    const uint64_t waited = platform::clockNowMs() - t0;
    EXPECT_GE(waited, 10000u);
    EXPECT_LT(waited, 60000u);
    EXPECT_EQ(server.connections(), 2);
}

class SkvcDumpProgram : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / uniqueName("_skvc");
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// The cache folder sits beside the program. Where a file of that name is in the way, the folder
// cannot be made and no cache file can be opened in it.
TEST_F(SkvcDumpProgram, CacheFolderThatCannotBeMadeEndsTheDumpWithTheStatusAndExitFive) {
    const fs::path program = dir_ / "skvc";
    fs::copy_file(SKVC_PROGRAM, program);
    fs::permissions(program, fs::perms::owner_all);
    std::ofstream(dir_ / "qmsCache") << "in the way";
    const fs::path movie = dir_ / "m.skm";
    writeBytes(movie.string(), makeMovie(0, 0, 42)); // the end marker only: the program knows it
    const std::string url = "file://" + movie.string();

    Program p = run(program.string(), {"dump", "--status", url});
    EXPECT_EQ(p.status, 5) << p.out << p.err;
    EXPECT_EQ(p.out, std::string(kCannotOpenStatus) + "\n");
    EXPECT_TRUE(contains(p.err, "skvc: cannot fetch " + url + ": " + kCannotOpenStatus)) << p.err;
    EXPECT_TRUE(contains(p.err, "the cache file " + (dir_ / "qmsCache" / "m.skm").string() +
                                    " cannot be opened"))
        << p.err;

    // Without the obstacle the same program fetches the movie.
    fs::remove(dir_ / "qmsCache");
    p = run(program.string(), {"dump", url});
    EXPECT_EQ(p.status, 0) << p.out << p.err;
}

TEST_F(SkvcDumpProgram, ReceiveTimeOutTakesWholeSecondsForUrlsOnly) {
    Program help = run(SKVC_PROGRAM, {"dump", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "[--receive-timeout SECONDS]")) << help.out;
    EXPECT_TRUE(contains(help.out, "default 60")) << help.out;

    const std::string url = "qmsp://127.0.0.1:1/m.skm";
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"dump", "--receive-timeout", "x", url},
          {"dump", "--receive-timeout", "-1", url},
          {"dump", "--receive-timeout", "1.5", url},
          {"dump", "--receive-timeout=86401", url},
          {"dump", url, "--receive-timeout"}}) {
        Program p = run(SKVC_PROGRAM, bad);
        EXPECT_EQ(p.status, 2) << ::testing::PrintToString(bad);
        EXPECT_TRUE(contains(p.err, "--receive-timeout")) << p.err;
    }
    Program file = run(SKVC_PROGRAM, {"dump", "--receive-timeout", "5", (dir_ / "m.skm").string()});
    EXPECT_EQ(file.status, 2);
    EXPECT_TRUE(contains(file.err, "apply to URLs only")) << file.err;
}

// A file given by mistake is named for what it is, on standard error, with exit status 3; a movie
// cut short lists what it holds and says where it ends, with exit status 1.
TEST_F(SkvcDumpProgram, FilesThatAreNotMoviesAreNamedAndACutMovieSaysWhereItEnds) {
    const std::string png = (dir_ / "ball.png").string();
    writeBytes(png, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    Program p = run(SKVC_PROGRAM, {"dump", png});
    EXPECT_EQ(p.status, 3);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, "skvc: " + png + " is not a Skyvora movie: it starts with a PNG signature\n");

    fs::create_directories(dir_ / "hello");
    std::ofstream(dir_ / "hello" / "movie.toml") << "[movie]\nstage = [64, 48]\n";
    const std::string folder = (dir_ / "hello").string();
    p = run(SKVC_PROGRAM, {"dump", folder});
    EXPECT_EQ(p.status, 3);
    EXPECT_EQ(p.err, "skvc: " + folder + " is a folder, not a movie; a movie source? build it " +
                         "with: skvc build " + folder + " -o hello.skm\n");
    p = run(SKVC_PROGRAM, {"dump", folder + "/movie.toml"});
    EXPECT_EQ(p.status, 3);
    EXPECT_TRUE(contains(p.err, "movie.toml is not a Skyvora movie: it is text; a movie source? "
                                "build it with: skvc build " +
                                    folder + " -o hello.skm"))
        << p.err;

    std::vector<uint8_t> demo = readBytes(DEMO_MOVIE);
    ASSERT_GT(demo.size(), 4000u);
    demo.resize(4000);
    const std::string cut = (dir_ / "cut.skm").string();
    writeBytes(cut, demo);
    p = run(SKVC_PROGRAM, {"dump", cut});
    EXPECT_EQ(p.status, 1) << p.out << p.err;
    EXPECT_TRUE(contains(p.out, "     0  skvScore")) << p.out;
    EXPECT_TRUE(contains(p.out, "without an end marker: it ends after 4 000 bytes, in the middle "
                                "of an object (object "))
        << p.out;
    // The check raises its own short reads: the reader's diagnostic line is not written.
    EXPECT_FALSE(contains(p.out, "read less bytes")) << p.out;
}

} // namespace
