#include "script/scripthost.h"

#include <cstring>

#include "platform/win32.h"
#include "platform/winuser.h"
#include "script/builtins.h"
#include "script/playerlink.h"
#include "script/properties.h"
#include "script/scriptengine.h"

namespace skv {

ScriptHost::ScriptHost() {
    // Seconds on the tick clock: under the virtual clock a run seeds the same way every time.
    setRandomSeed(static_cast<int32_t>(GetTickCount() / 1000));
}

ScriptValue ScriptHost::callBuiltin(ScriptEngine& engine, const char* name, const ScriptValue* args,
                                    int32_t argc) {
    return callBuiltinTable(*this, engine, name, args, argc);
}

void ScriptHost::pause() {
    if (link) link->pausePlayback();
    pauseFlag = 1;
}

void ScriptHost::resume() {
    if (link) link->resumePlayback();
    pauseFlag = 0;
}

void ScriptHost::delay(int32_t ticks) {
    if (ticks > 0) Sleep(static_cast<DWORD>(int64_t(ticks) * 1000 / 60));
}

void ScriptHost::beep(int32_t count) {
    if (count == 0) {
        MessageBeep(0xFFFFFFFFu);
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        MessageBeep(0xFFFFFFFFu);
        Sleep(1000);
    }
}

int32_t ScriptHost::spriteIntersects(int32_t a, int32_t b) {
    return link ? link->spriteIntersects(a, b) : 0;
}

int32_t ScriptHost::spriteWithin(int32_t a, int32_t b) {
    return link ? link->spriteWithin(a, b) : 0;
}

bool ScriptHost::getNamedProp(ScriptEngine& engine, const char* name, ScriptValue* out) {
    return getNamedProperty(*this, engine, name, nullptr, out);
}

void ScriptHost::setNamedProp(ScriptEngine& engine, const char* name, const ScriptValue& value) {
    setNamedProperty(*this, engine, name, value);
}

bool ScriptHost::getObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& object,
                               ScriptValue* out) {
    return getNamedProperty(*this, engine, name, &object, out);
}

void ScriptHost::setObjectProp(ScriptEngine& engine, const char* name, const ScriptValue& value) {
    setNamedProperty(*this, engine, name, value);
}

ScriptValue ScriptHost::getEntity(ScriptEngine& engine, int32_t category, int32_t formatVersion) {
    return getEntityProperty(*this, engine, category, formatVersion);
}

void ScriptHost::setEntity(ScriptEngine& engine, int32_t category, int32_t) {
    setEntityProperty(*this, engine, category);
}

uint32_t ScriptHost::ticksNow() {
    // In 64 bits, so the count does not jump back after 20 hours of uptime.
    return static_cast<uint32_t>(uint64_t(GetTickCount()) * 60 / 1000);
}

void ScriptHost::storeFirstWord(char (&field)[kHandlerNameSize], const char* text) {
    auto white = [](char c) { return c == ' ' || (c >= 9 && c <= 13); };
    const char* p = text ? text : "";
    while (*p && white(*p))
        ++p;
    size_t n = 0;
    while (p[n] && !white(p[n]) && n + 1 < kHandlerNameSize)
        ++n;
    std::memcpy(field, p, n);
    field[n] = 0;
}

void ScriptHost::setRandomSeed(int32_t seed) {
    randomSeed = seed;
    random.seed(static_cast<uint32_t>(seed));
}

} // namespace skv
