#include "script/scripthost.h"

#include <cstring>

#include "platform/win32.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

ScriptValue ScriptHost::callBuiltin(ScriptEngine&, const char* name, const ScriptValue*,
                                    int32_t argc) {
    // The two that steer event dispatch belong to every host; other names are unknown here. The
    // player's host sounds the beep before raising.
    if (argc == 0 && std::strcmp(name, "pass") == 0) {
        passFlag = 1;
        return ScriptValue::voidValue();
    }
    if (argc == 0 && std::strcmp(name, "dontPassEvent") == 0) {
        passFlag = 0;
        return ScriptValue::voidValue();
    }
    throw ScriptError{kScriptNoBuiltin};
}

void ScriptHost::delay(int32_t ticks) {
    if (ticks > 0) Sleep(static_cast<DWORD>(int64_t(ticks) * 1000 / 60));
}

ScriptValue ScriptHost::getEntity(ScriptEngine& engine, int32_t, int32_t) {
    ScriptValue p = engine.pop();
    releaseValue(p);
    return ScriptValue::voidValue();
}

void ScriptHost::setEntity(ScriptEngine& engine, int32_t, int32_t) {
    ScriptValue p = engine.pop();
    releaseValue(p);
    ScriptValue v = engine.pop();
    releaseValue(v);
}

} // namespace skv
