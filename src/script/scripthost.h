// ScriptHost: what built-ins and properties operate on. The interpreter reaches the player, the
// built-in table and the "the" properties only through this interface. The host itself holds
// the scripts' settings (handler names, item delimiter, timer base, ...) and reaches the movie
// side through a PlayerLink, which the player gives it; without one, the commands that need the
// player do nothing and its values read as 0.
//
// Values returned to the engine belong to it; arguments are lent for the duration of the call.
#pragma once

#include <cstdint>

#include "script/scriptrandom.h"
#include "script/scriptvalue.h"

namespace skv {

class ScriptEngine;
class PlayerLink;
class skvPlayer;

class ScriptHost {
public:
    static constexpr int kHandlerNameSize = 64;

    ScriptHost();
    virtual ~ScriptHost() = default;

    void setPlayer(skvPlayer* p) { player = p; }
    void setLink(PlayerLink* l) { link = l; }

    // The built-in table: args[0] is the first argument. A name and argument types no entry
    // matches raise ScriptError 8003 (after the beep); a built-in's own failure gives a void
    // value.
    virtual ScriptValue callBuiltin(ScriptEngine& engine, const char* name, const ScriptValue* args,
                                    int32_t argc);

    // The special names "pause", "continue" and "delay".
    virtual void pause();
    virtual void resume();
    // Blocks the calling thread for that many ticks of 1/60 s.
    virtual void delay(int32_t ticks);
    // The beep command: 0 one beep; n > 0 n times a beep and a one-second wait.
    virtual void beep(int32_t count);

    // The item delimiter of chunk expressions.
    virtual char itemDelimiter() const { return itemDelimiterChars[0]; }

    // spriteIntersects and spriteWithin on two sprite channel numbers.
    virtual int32_t spriteIntersects(int32_t a, int32_t b);
    virtual int32_t spriteWithin(int32_t a, int32_t b);

    // Named properties: false when the name is not a property.
    virtual bool getNamedProp(ScriptEngine& engine, const char* name, ScriptValue* out);
    virtual void setNamedProp(ScriptEngine& engine, const char* name, const ScriptValue& value);
    virtual bool getObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& object,
                               ScriptValue* out);
    virtual void setObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& value);

    // Numbered properties. Each pops the property number and whatever else its category takes
    // from the engine's stack (ScriptEngine::pop); formatVersion is the running block's.
    virtual ScriptValue getEntity(ScriptEngine& engine, int32_t category, int32_t formatVersion);
    virtual void setEntity(ScriptEngine& engine, int32_t category, int32_t formatVersion);

    // The tick count now: 1/60 s since the system started.
    static uint32_t ticksNow();
    // Stores the first word of `text` (leading white space skipped) into a handler-name field.
    static void storeFirstWord(char (&field)[kHandlerNameSize], const char* text);
    // Stores the seed and restarts the generator from it.
    void setRandomSeed(int32_t seed);

    skvPlayer* player = nullptr;
    PlayerLink* link = nullptr;

    uint32_t timerBase = 0; // tick count at the last startTimer
    int32_t beepOnClick = 0;
    int32_t floatPrecision = 4;
    int16_t category0Word = 7;
    // Handlers run before every press, release and timeout; the other two are only stored.
    char mouseDownHndl[kHandlerNameSize] = {};
    char mouseUpHndl[kHandlerNameSize] = {};
    char keyDownHndl[kHandlerNameSize] = {};
    char keyUpHndl[kHandlerNameSize] = {};
    char timeOutHandler[kHandlerNameSize] = {};
    char spareHndl[kHandlerNameSize] = {};
    int32_t pauseFlag = 0;
    char itemDelimiterChars[2] = {',', 0};
    int32_t randomSeed = 0;
    ScriptRandom random;
    int32_t passFlag = 0;
    // The frame "play" goes back to; 0 when none is remembered.
    int32_t playReturnFrame = 0;
};

} // namespace skv
