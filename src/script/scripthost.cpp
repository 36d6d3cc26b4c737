#include "script/scripthost.h"

#include "platform/win32.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

ScriptValue ScriptHost::callBuiltin(ScriptEngine&, const char*, const ScriptValue*, int32_t) {
    // No table here: every name is unknown. The player's host sounds the beep before raising.
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
