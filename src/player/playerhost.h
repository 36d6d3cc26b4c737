// PlayerScriptHost: the script host the engine installs in a movie's script engine. It answers
// what scripts ask of the player itself: "go" to a frame number, and the sprite geometry tests;
// "pass" and "dontPassEvent" are every host's. Other built-ins are unknown here.
#pragma once

#include "script/scripthost.h"

namespace skv {

class skvAnimationPlayer;

class PlayerScriptHost : public ScriptHost {
public:
    explicit PlayerScriptHost(skvAnimationPlayer* engine) : engine_(engine) {}

    ScriptValue callBuiltin(ScriptEngine& engine, const char* name, const ScriptValue* args,
                            int32_t argc) override;
    int32_t spriteIntersects(int32_t a, int32_t b) override;
    int32_t spriteWithin(int32_t a, int32_t b) override;

    skvAnimationPlayer* engine() const { return engine_; }

private:
    skvAnimationPlayer* engine_;
};

} // namespace skv
