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

    int32_t enabled = 1;
    int32_t noScripts = 0;
    std::unique_ptr<ScriptEngine> engine;
};

} // namespace skv
