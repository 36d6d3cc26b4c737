// Built-ins of the system and the event: alert, beep, random, the timer, pass.
#include "platform/winuser.h"
#include "script/builtinops.h"
#include "script/playerlink.h"
#include "script/scripterror.h"
#include "script/scripthost.h"

namespace skv::builtin {

ScriptValue nothing(BuiltinCall&) {
    return ScriptValue::integer(0);
}

ScriptValue unsupported(BuiltinCall&) {
    throw ProxyError{kProxyUnsupported};
}

ScriptValue alert(BuiltinCall& c) {
    HWND owner = c.host.link ? c.host.link->window() : nullptr;
    MessageBoxA(owner, c.text(0), "Skyvora", MB_OK | MB_ICONINFORMATION);
    return {};
}

ScriptValue beep(BuiltinCall& c) {
    c.host.beep(c.num(0));
    return {};
}

ScriptValue random(BuiltinCall& c) {
    const int32_t n = c.num(0);
    // There is no number from 1 to 0.
    if (n == 0) throw ProxyError{kProxyNotANumber};
    const int32_t r = c.host.random.next(); // never negative
    return ScriptValue::integer(r % n + 1);
}

ScriptValue startTimer(BuiltinCall& c) {
    c.host.timerBase = ScriptHost::ticksNow();
    return {};
}

ScriptValue pass(BuiltinCall& c) {
    c.host.passFlag = 1;
    return {};
}

ScriptValue dontPassEvent(BuiltinCall& c) {
    c.host.passFlag = 0;
    return {};
}

} // namespace skv::builtin
