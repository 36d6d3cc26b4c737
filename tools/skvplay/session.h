// Session: one run of skvplay. It decides what the target is (page, movie address, embed source),
// writes the page and the embed source for a bare movie address, opens it in the Browser, and
// runs the browser's message loop until the movie ends, an error box was shown, the frame or
// time limit is reached or (window mode) the window is closed. Headless runs use the virtual
// clock; frames, a contact sheet and the JSON-lines log are written on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skvplay {

struct SessionOptions {
    std::string target;
    bool headless = false;
    std::string framesDir;
    std::string contactSheet; // a PNG path; empty: none
    bool steps = false;       // the pictures of every transition step as well
    int32_t maxFrames = 0;    // 0: no limit
    double seconds = 0;       // 0: until the movie ends (headless: at most 600 s)
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
    std::string error;
};

SessionResult runSession(const SessionOptions& options);

} // namespace skvplay
