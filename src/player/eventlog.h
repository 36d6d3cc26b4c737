// EventLog: what a run of the player did, as JSON lines. Each line is one object with the time
// "t" in milliseconds since the log began (on the platform clock) and one of:
//
// | key         | value                          | other keys                                   |
// |-------------|--------------------------------|----------------------------------------------|
// | "status"    | a status code (signed int32)   | "data" when not 0                            |
// | "state"     | the controller state 0-3       |                                              |
// | "event"     | the event name                 | "ran": [{"role", "handler", "script"}, ...]; |
// |             |                                | "frameScript", "sprite", "spriteScript",     |
// |             |                                | "cast";                                      |
// |             |                                | "dispatched": false, "failed": true when so; |
// |             |                                | after "failed", for a script error: "error"  |
// |             |                                | (its code), "handler" (its name; "script"    |
// |             |                                | and "handlerIndex" when it has none) and     |
// |             |                                | "offset", as far as they are known           |
// | "frame"     | the score frame shown          | "counter": the engine's frame counter        |
// | "step"      | a transition step drawn (1...) | "frame": the score frame it leads to         |
// | "play"      | what play returned             |                                              |
// | "note"      | a text from the run path       |                                              |
// | "abandoned" | an operation given up          | "reason": which check failed, what was thrown|
// | other       | a text the host adds (entry)   | e.g. "statusLine", "messageBox", "urlRequest"|
//
// On the line of a press or a release, "sprite" is the sprite clicked as the manifest numbers
// sprites (its `sprite =`; 0 for a click off every sprite) and "spriteScript" the number of the
// script that sprite names (0: none). "cast" is the number of the member the sprite shows,
// "frameScript" that of the frame's script (0: none), also as the manifest numbers them; none of
// these is a score channel (sprite n is channel n + 1).
//
// The offset of a script error is that of the failing instruction from the start of its
// handler's code. "abandoned" lines come from whatever thread gave up (core/abandon.h) while this
// log listens to them: the first log made in the process takes that place and keeps it until it
// is destroyed.
//
// Lines are kept in memory and, when a file is given, written to it as they come.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/abandon.h"
#include "player/playercallback.h"
#include "script/events.h"

namespace skv {

class EventLog : public PlayerCallback, public EventListener, public AbandonListener {
public:
    EventLog();
    ~EventLog() override;
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Times count from now on.
    void restartClock();
    // Writes every line to the file too. False when it cannot be opened.
    bool openFile(const std::string& path);

    void onStatus(int32_t code, int32_t data) override;
    void onState(int32_t state) override;
    void eventDelivered(const EventReport& report) override;
    void frameShown(int32_t frame, int32_t counter);
    void transitionStep(int32_t frame, int32_t step);
    void played(int32_t result);
    void note(const std::string& text);
    // A line {"t": ..., key: text} for what a host sees that the player does not.
    void entry(const std::string& key, const std::string& text);
    void abandoned(const char* operation, const char* reason) override;
    // False when another log was already the listener of abandoned operations.
    bool hearsAbandoned() const { return listening_; }

    // Called after every status line is written (on the thread that reported it).
    void setStatusHook(std::function<void(int32_t code, int32_t data)> hook) {
        statusHook_ = std::move(hook);
    }

    std::vector<std::string> lines() const;

private:
    void add(const std::string& body);

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::FILE* file_ = nullptr;
    std::atomic<uint64_t> startMs_;
    std::function<void(int32_t, int32_t)> statusHook_;
    bool listening_ = false;
};

// A JSON string literal for the text.
std::string jsonString(const std::string& text);

} // namespace skv
