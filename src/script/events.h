// Events: the moments the player reports to a movie's scripts, and the order in which each one is
// offered to them.
//
// | event        | objects offered, in order                                      |
// |--------------|----------------------------------------------------------------|
// | startMovie   | movie scripts                                                  |
// | stopMovie    | movie scripts                                                  |
// | enterFrame   | frame script, movie scripts                                    |
// | exitFrame    | frame script, movie scripts                                    |
// | idle         | frame script, movie scripts                                    |
// | timeout      | (timeOutHandler first) frame script, movie scripts             |
// | mouseDown    | (mouseDownHndl first) sprite script, cast member script, frame  |
// |              | script, movie scripts                                          |
// | mouseUp      | (mouseUpHndl first) the same as mouseDown                      |
//
// A handler on an object ends the event unless it calls "pass"; an object without a handler lets
// it through; the first movie script with a handler gets it last. An error anywhere ends the
// event silently: the report and the debug output say why. The entry points themselves are
// skvScriptRuntime's (runtime.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/scripterror.h"

namespace skv {

// One handler that ran for an event.
struct HandlerRun {
    enum Role { kPre, kSprite, kCast, kFrame, kMovie };
    Role role = kMovie;
    std::string handler; // the handler's name
    int32_t script = 0;  // the script's number (its scriptRef)
};

const char* roleName(HandlerRun::Role role);

// What became of one event.
struct EventReport {
    const char* event = "";
    // The objects offered (-1 or 0: none).
    int32_t spriteScript = -1, castMember = -1, frameScript = -1;
    // The sprite clicked, as the manifest numbers sprites (0: none); a press or release only.
    int32_t sprite = 0;
    std::vector<HandlerRun> ran;
    // False when a pre-handler kept the event from the scripts, or a press was eaten.
    bool dispatched = true;
    // An error ended it.
    bool failed = false;
    // The script error that ended it, with where it happened (code 0: none, or a failure of
    // another kind, whose reason went to core/abandon.h).
    ScriptError error{};
};

// Told about every event the runtime delivers, after it ran; on the player's thread.
class EventListener {
public:
    virtual ~EventListener() = default;
    virtual void eventDelivered(const EventReport& report) = 0;
};

} // namespace skv
