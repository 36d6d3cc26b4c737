// skvScriptRuntime: the movie's script runtime, one per movie. It carries the movie-wide script
// tables and owns the engine that runs them.
//
// Stored body, after the object header:
//
// | field                       | content                                                   |
// |-----------------------------|-----------------------------------------------------------|
// | int32 noScripts             | nonzero: the movie has no scripts and nothing else follows|
// | int32 s, s x 3 int32        | script list: key, scriptRef, isMovieScript                |
// | int32 m, m strings          | name table, nameId 0 first                                |
// | int32 k, k bytes            | FrameLabelTable (none when k is 0)                        |
// | int32 c, c x {string, int32}| cast member names and numbers                             |
#pragma once

#include <cstdint>
#include <memory>

#include "core/object.h"
#include "script/events.h"
#include "script/scriptengine.h"

namespace skv {

class skvScriptRuntime : public skvObject {
public:
    skvScriptRuntime();

    int32_t sizeHint() override { return 4; }
    void serialize(uArchive& ar) override;

    using skvObject::attach;
    // Links the engine to the score and the player; called each time playback is prepared.
    void attach(ScriptObjectLookup* score, skvPlayer* player) { engine->attach(score, player); }

    // Whether events reach the scripts at all.
    bool delivers() const { return enabled != 0 && noScripts == 0; }

    // The eight events (events.cpp). Each does nothing while the runtime does not deliver. The
    // objects are script list keys; a number <= 0 is none. The mouse events report whether the
    // scripts were offered the event.
    void startMovie();
    void stopMovie();
    void enterFrame(int32_t frameScript);
    void exitFrame(int32_t frameScript);
    void idle(int32_t frameScript);
    void timeout(int32_t frameScript);
    // `sprite`: the sprite clicked as the score numbers it (0: none), for the event's report only.
    bool mouseDown(int32_t spriteScript, int32_t castMember, int32_t frameScript,
                   int32_t sprite = 0);
    bool mouseUp(int32_t spriteScript, int32_t castMember, int32_t frameScript, int32_t sprite = 0);

    void setEventListener(EventListener* listener) { listener_ = listener; }

    int32_t enabled = 1;
    int32_t noScripts = 0;
    // A press the press handler consumed: its release is ignored too.
    int32_t mouseDownEaten = 0;
    std::unique_ptr<ScriptEngine> engine;

private:
    EventListener* listener_ = nullptr;
};

} // namespace skv
