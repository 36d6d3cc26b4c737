// Failures raised inside the script engine.
//
// The interpreter raises a failure as its code; the event dispatch catches it and ends the event
// silently. Built-ins raise proxyError codes for their own silent failures, which the call turns
// into a void result.
#pragma once

#include <cstdint>

namespace skv {

enum skvScriptError : int32_t {
    kScriptBadChunkMode = 8001,    // putChunk with a mode other than 0x15, 0x25, 0x35
    kScriptBadOpcode = 8002,       // an invalid opcode
    kScriptNoBuiltin = 8003,       // no built-in matches the name and the argument types
    kScriptStackLimit = 8005,      // stack overflow or underflow, or calls nested too deeply
    kScriptNameWithoutText = 8008, // a call by a nameId the name table has no text for
};

struct ScriptError {
    int32_t code;
};

enum proxyError : int32_t {
    kProxyNoSuchLabel = 9001,
    kProxyUnsupported = 9002,
    kProxyNotANumber = 9003,
};

struct ProxyError {
    int32_t code;
};

} // namespace skv
