// skvplay end to end on the script_error movie (tests/movies/script_error): built with skvc and
// played headless by the built program, which loads the plug-in as a browser does. The log's
// line of the failed startMovie names the error and where it happened, and with SKV_DEBUG set the
// debug output gives the reason.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"

namespace fs = std::filesystem;

namespace {

using skvtest::readLines;

int run(const std::string& command, std::string* output) {
    return skvtest::runCommand(command, output);
}

TEST(SkvplayScriptError, TheLogAndTheDebugOutputSayWhichErrorEndedTheEventAndWhere) {
    const fs::path dir =
        fs::temp_directory_path() / ("skvplay_script_error_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // A name of this run's own: the plug-in caches a movie beside itself under its address.
    const fs::path movie = dir / ("script_error" + std::to_string(getpid()) + ".skm");
    std::string out;
    ASSERT_EQ(
        run(std::string(SKVC_PROGRAM) + " build '" + MOVIE_SOURCE + "' -o '" + movie.string() + "'",
            &out),
        0)
        << out;

    // Frame 1 waits for a click that never comes; the run ends after two seconds.
    const fs::path log = dir / "log.jsonl";
    ASSERT_EQ(run("env -u DISPLAY -u WAYLAND_DISPLAY SKV_DEBUG=1 " SKVPLAY_PROGRAM
                  " --headless --seconds 2 --work '" +
                      (dir / "work").string() + "' --log '" + log.string() + "' '" +
                      movie.string() + "'",
                  &out),
              0)
        << out;

    std::string startMovie;
    for (const std::string& l : readLines(log))
        if (l.find("\"event\":\"startMovie\"") != std::string::npos) startMovie = l;
    ASSERT_FALSE(startMovie.empty()) << out;
    const std::string tail = R"("failed":true,"error":8003,"handler":"startMovie","offset":2})";
    ASSERT_GE(startMovie.size(), tail.size());
    EXPECT_EQ(startMovie.substr(startMovie.size() - tail.size()), tail) << startMovie;

    // The plug-in's reason reaches the browser's log as a line of its own.
    bool logged = false;
    for (const std::string& l : readLines(log))
        logged = logged || (l.find(R"("abandoned":"script event")") != std::string::npos &&
                            l.find("ScriptError 8003") != std::string::npos);
    EXPECT_TRUE(logged) << out;

    EXPECT_NE(out.find("abandoned script event: startMovie ended by ScriptError 8003 (no built-in "
                       "matches) in startMovie at offset 2\n"),
              std::string::npos)
        << out;
    fs::remove_all(dir);
}

} // namespace
