#include "player/playerhost.h"

#include <cstring>

#include "player/animationplayer.h"

namespace skv {

ScriptValue PlayerScriptHost::callBuiltin(ScriptEngine& engine, const char* name,
                                          const ScriptValue* args, int32_t argc) {
    if (argc == 1 && std::strcmp(name, "go") == 0 && args[0].type == vtInteger) {
        // The jump shows at the engine's next frame; the frame events of the move follow it.
        engine_->gotoFrame(args[0].asInt());
        return ScriptValue::voidValue();
    }
    return ScriptHost::callBuiltin(engine, name, args, argc);
}

int32_t PlayerScriptHost::spriteIntersects(int32_t a, int32_t b) {
    return engine_->spriteIntersects(a, b);
}

int32_t PlayerScriptHost::spriteWithin(int32_t a, int32_t b) {
    return engine_->spriteWithin(a, b);
}

} // namespace skv
