// ScriptHost: what built-ins and properties operate on. The interpreter reaches the player, the
// built-in table and the "the" properties only through this interface; the engine starts with
// this base, which knows no built-ins or properties, and the player installs its own.
//
// Values returned to the engine belong to it; arguments are lent for the duration of the call.
#pragma once

#include <cstdint>
#include <string>

#include "script/scriptvalue.h"

namespace skv {

class ScriptEngine;
class skvPlayer;

class ScriptHost {
public:
    virtual ~ScriptHost() = default;

    void setPlayer(skvPlayer* p) { player = p; }

    // The built-in table: args[0] is the first argument. A name and argument types no entry
    // matches raise ScriptError 8003 (after the beep); a built-in's own failure raises a
    // ProxyError, which the call turns into a void value.
    virtual ScriptValue callBuiltin(ScriptEngine& engine, const char* name, const ScriptValue* args,
                                    int32_t argc);

    // The special names "pause", "continue" and "delay".
    virtual void pause() { pauseFlag = 1; }
    virtual void resume() { pauseFlag = 0; }
    // Blocks the calling thread for that many ticks of 1/60 s.
    virtual void delay(int32_t ticks);

    // The item delimiter of chunk expressions.
    virtual char itemDelimiter() const { return ','; }

    // spriteIntersects and spriteWithin on two sprite channel numbers.
    virtual int32_t spriteIntersects(int32_t a, int32_t b) { return 0; }
    virtual int32_t spriteWithin(int32_t a, int32_t b) { return 0; }

    // Named properties: false when the name is not a property.
    virtual bool getNamedProp(ScriptEngine& engine, const char* name, ScriptValue* out) {
        return false;
    }
    virtual void setNamedProp(ScriptEngine& engine, const char* name, const ScriptValue& value) {}
    virtual bool getObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& object,
                               ScriptValue* out) {
        return false;
    }
    virtual void setObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& value) {}

    // Numbered properties. Each pops the property number and whatever else its category takes
    // from the engine's stack (ScriptEngine::pop); formatVersion is the running block's.
    virtual ScriptValue getEntity(ScriptEngine& engine, int32_t category, int32_t formatVersion);
    virtual void setEntity(ScriptEngine& engine, int32_t category, int32_t formatVersion);

    skvPlayer* player = nullptr;
    int32_t pauseFlag = 0;

    // Event dispatch state. "pass" sets passFlag and "dontPassEvent" clears it. The three handler
    // names (at most 63 characters each, as scripts set them) name movie handlers run before every
    // press, release and timeout; empty runs none.
    int32_t passFlag = 0;
    std::string mouseDownHndl;
    std::string mouseUpHndl;
    std::string timeOutHandler;
    // A release that hit no sprite beeps.
    int32_t beepOnClick = 0;
};

} // namespace skv
