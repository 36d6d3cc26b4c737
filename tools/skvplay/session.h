// Session: one run of skvplay. It decides what the target is (page, movie address, embed source),
// writes the page and the embed source for a bare movie address, opens it in the Browser, and
// runs the browser's message loop until the movie ends, an error box was shown, the frame or
// time limit is reached or (window mode) the window is closed. Headless runs use the virtual
// clock; frames, a contact sheet and the JSON-lines log are written on request. When the run
// fails, the result says why in plain words: what the file it was given holds, the server it
// could not reach, the embed source it could not fetch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvplay {

// skvplay's exit statuses; `skvplay --help` lists them.
enum ExitStatus : int {
    kPlayed = 0,            // a movie played: frames were shown and nothing went wrong
    kNoWindow = 1,          // no window could be opened
    kCannotStart = 2,       // bad arguments, or a target, log or input script unusable
    kErrorBox = 3,          // the plug-in showed an error box
    kNothingShown = 4,      // not one frame was shown
    kEmbedNotFetched = 5,   // the browser could not fetch the source an embed names
    kServerUnreachable = 6, // the movie's server could not be reached
};

// The headless run's own limit when no --seconds is given, in seconds of movie time.
constexpr int kHeadlessLimitSeconds = 600;

struct SessionOptions {
    std::string target;
    bool headless = false;
    std::string framesDir;
    std::string contactSheet;      // a PNG path; empty: none
    int32_t contactSheetEvery = 0; // 0: spread evenly over the run; N: every Nth frame shown
    bool steps = false;            // the pictures of every transition step as well
    int32_t maxFrames = 0;         // 0: no limit
    double seconds = 0;            // 0: until the movie ends (headless: at most 600 s)
    std::string inputPath;
    std::string logPath;
    bool oldBrowser = false;
    std::string pluginName = "npskyv32";
    std::string workDir; // where the written page, embed source and streams go
};

struct SessionResult {
    int exitCode = 0;
    int32_t framesShown = 0;
    int32_t framesSaved = 0;
    int32_t stepsSaved = 0;
    int32_t messageBoxes = 0;
    std::vector<std::string> boxTexts; // what each message box said, headless ones answered
    bool completed = false;
    bool stoppedAtLimit = false; // headless, without --seconds: the run reached its own limit
    std::vector<std::string> sheetNumbers; // the contact sheet's numbers, in its order
    int32_t sheetLeftOut = 0;              // frames chosen for the sheet that did not fit
    std::string error;
    // What went wrong in plain words, one line each, after the error and the box texts.
    std::vector<std::string> explanations;
};

SessionResult runSession(const SessionOptions& options);

} // namespace skvplay
