// Failures raised inside the script engine.
//
// The interpreter raises a failure as its code; the event dispatch catches it and ends the event
// silently. Built-ins raise proxyError codes for their own silent failures, which the call turns
// into a void result.
//
// A ScriptError that leaves a handler carries where it happened: the engine fills that in as the
// error passes out of the handler that was running (ScriptEngine::runHandler), from the place the
// interpreter last wrote back, which is the instruction that failed or the call that raised it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/abandon.h"

namespace skv {

enum skvScriptError : int32_t {
    kScriptBadChunkMode = 8001,    // putChunk with a mode other than 0x15, 0x25, 0x35
    kScriptBadOpcode = 8002,       // an invalid opcode
    kScriptNoBuiltin = 8003,       // no built-in matches the name and the argument types
    kScriptStackLimit = 8005,      // stack overflow or underflow, or calls nested too deeply
    kScriptNameWithoutText = 8008, // a call by a nameId the name table has no text for
};

struct ScriptError {
    int32_t code = 0;
    // Where: the handler's name ("" when the name table has none), the number of its script and
    // its index there, and the offset of the failing instruction from the start of the handler's
    // code; -1 while not known.
    std::string handler{};
    int32_t script = 0;
    int32_t handlerIndex = -1;
    int32_t offset = -1;

    bool located() const { return handlerIndex >= 0 || offset >= 0; }
};

enum proxyError : int32_t {
    kProxyNoSuchLabel = 9001,
    kProxyUnsupported = 9002,
    kProxyNotANumber = 9003,
};

struct ProxyError {
    int32_t code;
};

inline const char* scriptErrorMeaning(int32_t code) {
    switch (code) {
    case kScriptBadChunkMode:
        return "bad chunk mode";
    case kScriptBadOpcode:
        return "invalid opcode";
    case kScriptNoBuiltin:
        return "no built-in matches";
    case kScriptStackLimit:
        return "stack or step limit";
    case kScriptNameWithoutText:
        return "name without text";
    case kProxyNoSuchLabel:
        return "no such label";
    case kProxyUnsupported:
        return "unsupported";
    case kProxyNotANumber:
        return "not a number";
    default:
        return "";
    }
}

// Where an error happened, for a reason: " in mouseUp at offset 12", "" when not known.
inline ReasonText placeText(const ScriptError& e) {
    char where[240] = "";
    if (!e.handler.empty())
        std::snprintf(where, sizeof where, " in %.200s", e.handler.c_str());
    else if (e.handlerIndex >= 0)
        std::snprintf(where, sizeof where, " in handler %d of script %d", int(e.handlerIndex),
                      int(e.script));
    ReasonText out;
    if (e.offset >= 0)
        std::snprintf(out.text, sizeof out.text, "%s at offset %d", where, int(e.offset));
    else
        std::snprintf(out.text, sizeof out.text, "%s", where);
    return out;
}

// "ScriptError 8003 (no built-in matches) in mouseUp at offset 12", for a reason.
inline ReasonText scriptErrorText(const ScriptError& e) {
    ReasonText out;
    std::snprintf(out.text, sizeof out.text, "ScriptError %d (%s)%s", int(e.code),
                  scriptErrorMeaning(e.code), placeText(e).c_str());
    return out;
}

// caughtExceptionText (core/abandon.h) that also knows the script engine's own families.
inline ReasonText caughtScriptExceptionText() noexcept {
    try {
        throw;
    } catch (const ScriptError& e) {
        return scriptErrorText(e);
    } catch (const ProxyError& e) {
        ReasonText out;
        std::snprintf(out.text, sizeof out.text, "ProxyError %d (%s)", int(e.code),
                      scriptErrorMeaning(e.code));
        return out;
    } catch (...) {
        return caughtExceptionText();
    }
}

} // namespace skv
