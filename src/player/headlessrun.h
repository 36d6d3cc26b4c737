// HeadlessRun: one movie played without a person, for tests and the desktop player's headless
// mode. It puts a page window on the screen, gives it a player, opens the movie's address (file:
// or qmsp:), and once the stream has delivered everything (the buffering statuses still run their
// course) plays it, delivering an input script on the way, until playback ends or the time limit
// is reached. Everything that happened goes to an EventLog; frames can be saved as PNG files.
//
// On the virtual clock the run is deterministic: two runs of the same movie with the same input
// give the same log and the same frames.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/display.h"
#include "player/eventlog.h"
#include "player/soundcontrol.h"

namespace skv {

class skvPlayer;

// The file name of the picture of the n-th frame shown (from 1), "frame-NNNNN.png", or, with a
// step, of that step of the transition into it, "frame-NNNNN-step-SSS.png" (which sorts just
// before the frame's own picture).
std::string framePictureName(int32_t shown, int32_t step = 0);

struct HeadlessOptions {
    std::string url;
    // The page window's client size; the stage sits centred in it as in a browser.
    int32_t pageWidth = 512, pageHeight = 384;
    // Events at times after playback starts.
    std::vector<platform::InputEvent> input;
    // Milliseconds of playback before the run stops it; also the limit on buffering.
    uint64_t limitMs = 600000;
    bool virtualClock = true;
    // Where the JSON lines go (none: only into memory).
    std::string logPath;
    // A directory for frame-NNNNN.png, one per frame shown (none: no pictures).
    std::string framesDir;
    // Also keep the window's picture after every step of a transition there, as
    // frame-NNNNN-step-SSS.png, NNNNN being the number of the frame the steps lead to.
    bool steps = false;
    // The sound output of the engine (none: the wave output device).
    std::function<std::unique_ptr<SoundControl>()> sound;
    // Called on the engine thread with the view lock held after each frame shown.
    std::function<void(skvPlayer&, int32_t frame)> onFrame;
    // Called on the running thread once playback has ended (or been stopped by the limit),
    // before the player closes.
    std::function<void(skvPlayer&)> beforeClose;
    // Called on the running thread right after play.
    std::function<void(skvPlayer&)> afterPlay;
};

struct HeadlessResult {
    bool opened = false; // the stream delivered enough to show the first frame
    int32_t playResult = -1;
    bool completed = false; // playback reached its end (5007)
    bool timedOut = false;  // the limit stopped it
    int32_t framesShown = 0;
    std::string error;
};

class HeadlessRun {
public:
    explicit HeadlessRun(HeadlessOptions options);
    ~HeadlessRun();
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    // Runs the movie to its end; the player is closed and destroyed before it returns.
    HeadlessResult run();

    EventLog& log() { return log_; }
    const std::vector<std::string>& savedFrames() const { return saved_; }

private:
    struct Signals;
    bool waitFor(void* event, uint64_t limitMs);

    HeadlessOptions options_;
    EventLog log_;
    std::vector<std::string> saved_;
    std::unique_ptr<Signals> signals_;
};

} // namespace skv
