// The built-in table in its order, and how a call picks an entry and converts its arguments
// and result.
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/builtinops.h"
#include "script/builtins.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"

namespace skv {

namespace {

using namespace builtin;

// clang-format off
const BuiltinEntry kTable[] = {
    {"alert",            1, 'V', "S",     alert},
    {"beep",             1, 'V', "L",     beep},
    {"cast",             1, 'O', "L",     castByNumber},
    {"cast",             1, 'O', "S",     castByName},
    {"charToNum",        1, 'L', "S",     charToNum},
    {"chars",            3, 'S', "SLL",   chars},
    {"constrainH",       2, 'L', "LL",    nothing},
    {"constrainV",       2, 'L', "LL",    nothing},
    {"continue",         0, 'V', "",      nothing},
    {"cursor",           1, 'V', "L",     cursor},
    {"delay",            1, 'V', "L",     nothing},
    {"do",               1, 'V', "S",     unsupported},
    {"dontPassEvent",    0, 'V', "",      dontPassEvent},
    {"erase",            1, 'V', "O",     nothing},
    {"getlatestnetid",   0, 'L', "",      getLatestNetID},
    {"getLatestNetID",   0, 'L', "",      getLatestNetID},
    {"getnettext",       1, 'S', "S",     getNetText},
    {"getNetText",       1, 'S', "S",     getNetText},
    {"go",               1, 'V', "L",     goFrame},
    {"go",               1, 'V', "S",     goLabel},
    {"go",               1, 'V', "Y",     goMarker},
    {"go",               2, 'V', "LS",    unsupported},
    {"go",               2, 'V', "SS",    unsupported},
    {"gotonetpage",      1, 'V', "S",     gotoNetPage},
    {"gotoNetPage",      1, 'V', "S",     gotoNetPage},
    {"halt",             0, 'V', "",      halt},
    {"inflate",          3, 'R', "RLL",   inflate},
    {"inside",           2, 'L', "PR",    inside},
    {"integer",          1, 'L', "L",     integerSame},
    {"integer",          1, 'L', "S",     integerText},
    {"integer",          1, 'L', "Y",     integerText},
    {"integer",          1, 'L', "P",     integerUnsupported},
    {"integer",          1, 'L', "R",     integerUnsupported},
    {"intersect",        2, 'R', "RR",    intersect},
    {"label",            1, 'L', "S",     label},
    {"length",           1, 'L', "S",     length},
    {"map",              3, 'P', "PRR",   nothing},
    {"map",              3, 'R', "RRR",   nothing},
    {"marker",           1, 'L', "L",     marker},
    {"marker",           1, 'L', "S",     label},
    {"move",             1, 'V', "O",     nothing},
    {"netdone",          0, 'L', "L",     netDoneLatest},
    {"netdone",          1, 'L', "L",     netDone},
    {"netDone",          0, 'L', "L",     netDoneLatest},
    {"netDone",          1, 'L', "L",     netDone},
    {"neterror",         0, 'L', "L",     nothing},
    {"neterror",         1, 'L', "L",     nothing},
    {"netError",         0, 'L', "L",     nothing},
    {"netError",         1, 'L', "L",     nothing},
    {"netGravityLog",    0, 'V', "",      netGravityLog},
    {"netgravitylog",    0, 'V', "",      netGravityLog},
    {"nettextresult",    0, 'S', "L",     netTextResult},
    {"nettextresult",    1, 'S', "L",     netTextResult},
    {"netTextResult",    0, 'S', "L",     netTextResult},
    {"netTextResult",    1, 'S', "L",     netTextResult},
    {"nothing",          0, 'V', "",      nothing},
    {"numToChar",        1, 'S', "L",     numToChar},
    {"offset",           2, 'L', "SS",    offsetText},
    {"offset",           3, 'R', "RLL",   offsetRect},
    {"pass",             0, 'V', "",      pass},
    {"pause",            0, 'V', "",      nothing},
    {"play",             1, 'V', "L",     playFrame},
    {"play",             1, 'V', "S",     playLabel},
    {"play",             2, 'V', "LS",    unsupported},
    {"play",             2, 'V', "SS",    unsupported},
    {"preLoad",          2, 'V', "LL",    nothing},
    {"preLoad",          2, 'V', "SS",    nothing},
    {"preLoad",          2, 'V', "SL",    nothing},
    {"preLoad",          2, 'V', "LS",    nothing},
    {"preLoadCast",      0, 'V', "",      nothing},
    {"preLoadCast",      1, 'V', "L",     nothing},
    {"preLoadCast",      2, 'V', "LL",    nothing},
    {"preLoadCast",      2, 'V', "SS",    nothing},
    {"preLoadCast",      2, 'V', "SL",    nothing},
    {"preLoadCast",      2, 'V', "LS",    nothing},
    {"preloadnetthing",  1, 'V', "S",     preloadNetThing},
    {"preloadNetThing",  1, 'V', "S",     preloadNetThing},
    {"puppetPalette",    3, 'V', "LLL",   nothing},
    {"puppetPalette",    3, 'V', "SLL",   puppetPaletteByName},
    {"puppetSound",      1, 'V', "S",     puppetSoundByName},
    {"puppetSound",      2, 'V', "SL",    puppetSoundByName},
    {"puppetSound",      1, 'V', "L",     puppetSoundOff},
    {"puppetSound",      2, 'V', "LS",    puppetSoundSecondName},
    {"puppetSprite",     2, 'V', "LL",    puppetSprite},
    {"puppetSprite",     2, 'V', "XL",    puppetSpriteGlobal},
    {"puppetTempo",      1, 'V', "L",     nothing},
    {"puppetTransition", 4, 'V', "LLLL",  puppetTransition},
    {"put",              1, 'V', "V",     nothing},
    {"put",              1, 'V', "L",     nothing},
    {"put",              1, 'V', "S",     nothing},
    {"put",              1, 'V', "Y",     nothing},
    {"put",              1, 'V', "P",     nothing},
    {"put",              1, 'V', "R",     nothing},
    {"put",              1, 'V', "O",     nothing},
    {"put",              1, 'V', "N",     nothing},
    {"point",            2, 'P', "LL",    point},
    {"quit",             0, 'V', "",      halt},
    {"random",           1, 'L', "L",     random},
    {"rollOver",         1, 'L', "L",     rollOver},
    {"rollOver",         1, 'L', "X",     rollOverGlobal},
    {"rect",             4, 'R', "LLLL",  rect},
    {"rect",             2, 'R', "PP",    rectOfPoints},
    {"sound",            2, 'V', "YL",    soundFadeOrStop},
    {"sound",            3, 'V', "YLS",   soundPlayFile},
    {"sound",            3, 'V', "YLL",   soundFadeTicks},
    {"soundBusy",        1, 'L', "L",     soundBusy},
    {"spriteBox",        5, 'V', "LLLLL", nothing},
    {"startTimer",       0, 'V', "",      startTimer},
    {"string",           1, 'S', "L",     stringInteger},
    {"string",           1, 'S', "S",     stringText},
    {"string",           1, 'T', "Y",     stringSymbol},
    {"string",           1, 'S', "P",     stringPoint},
    {"string",           1, 'S', "R",     stringRect},
    {"union",            2, 'R', "RR",    unionRect},
    {"unLoad",           1, 'V', "L",     nothing},
    {"unLoad",           1, 'V', "S",     nothing},
    {"unLoad",           2, 'V', "LL",    nothing},
    {"unLoad",           2, 'V', "SS",    nothing},
    {"unLoadCast",       1, 'V', "L",     nothing},
    {"unLoadCast",       1, 'V', "S",     nothing},
    {"unLoadCast",       2, 'V', "LL",    nothing},
    {"unLoadCast",       2, 'V', "SS",    nothing},
    {"updateStage",      0, 'V', "",      updateStage},
    {"value",            1, 'L', "L",     integerSame},
    {"value",            1, 'L', "S",     integerText},
    {"window",           1, 'O', "S",     nothing},
    {"zoomBox",          3, 'V', "LLL",   nothing},
};
// clang-format on

constexpr int32_t kCount = static_cast<int32_t>(sizeof kTable / sizeof kTable[0]);
static_assert(sizeof kTable / sizeof kTable[0] == 127, "the table has 127 entries");

// Name -> the indexes of its entries in table order, so a call does not walk the whole table.
const std::unordered_map<std::string_view, std::vector<int32_t>>& byName() {
    // An object, not a pointer kept for ever: the plug-in module that holds it is unloaded when
    // the browser is done with it, and what the module's statics hold must go with it.
    static const auto map = [] {
        std::unordered_map<std::string_view, std::vector<int32_t>> m;
        for (int32_t i = 0; i < kCount; ++i)
            m[kTable[i].name].push_back(i);
        return m;
    }();
    return map;
}

bool fits(const BuiltinEntry& e, const ScriptValue* args, int32_t argc) {
    if (e.argCount < argc) return false;
    for (int32_t i = 0; i < argc; ++i) {
        // Entries whose signature is shorter than their argCount take nothing more by type.
        char letter = i < static_cast<int32_t>(std::strlen(e.signature)) ? e.signature[i] : 0;
        uint32_t t = args[i].type;
        if (letter && signatureType(letter) == t) continue;
        if (letter == 'X' && t == vtSymbol) continue;
        if (letter == 'S' && t == vtLiteral) continue;
        return false;
    }
    return true;
}

} // namespace

const BuiltinEntry* builtinTable() {
    return kTable;
}

int32_t builtinCount() {
    return kCount;
}

uint32_t signatureType(char letter) {
    switch (letter) {
    case 'L':
        return vtInteger;
    case 'S':
        return vtString;
    case 'T':
        return vtLiteral;
    case 'Y':
        return vtSymbol;
    case 'X':
        return vtAny;
    case 'P':
        return vtPoint;
    case 'R':
        return vtRect;
    case 'O':
        return vtObject;
    case 'V':
        return vtVoid;
    default:
        return vtNone;
    }
}

const BuiltinEntry* chooseBuiltin(const char* name, const ScriptValue* args, int32_t argc) {
    const auto& map = byName();
    auto it = map.find(name);
    if (it == map.end()) return nullptr;
    for (int32_t i : it->second)
        if (fits(kTable[i], args, argc)) return &kTable[i];
    return nullptr;
}

bool isBuiltinName(std::string_view name) {
    return byName().count(name) != 0;
}

ScriptValue callBuiltinTable(ScriptHost& host, ScriptEngine& engine, const char* name,
                             const ScriptValue* args, int32_t argc) {
    const BuiltinEntry* e = chooseBuiltin(name, args, argc);
    if (!e) {
        host.beep(0);
        throw ScriptError{kScriptNoBuiltin};
    }
    BuiltinCall call{host, engine, {}};
    const int32_t n = e->argCount < 5 ? e->argCount : 5;
    for (int32_t i = 0; i < n && i < argc; ++i) {
        const ScriptValue& a = args[i];
        const char letter = e->signature[i];
        if (a.type == vtSymbol && letter != 'X') {
            // A symbol goes on as its name; a name without text as none.
            call.raw[i] = reinterpret_cast<intptr_t>(engine.nameOf(a.asInt()));
        } else {
            call.raw[i] = a.payload;
        }
    }
    ScriptValue r;
    try {
        r = e->op(call);
    } catch (...) {
        // Whatever the operation raises stays here: the call's value is void.
        ScriptError call;
        engine.locate(call);
        const ReasonText where = placeText(call);
        abandoned("built-in", "%s gives void: %s%s%s", name, caughtScriptExceptionText().c_str(),
                  where.text[0] ? ", called" : "", where.c_str());
        return ScriptValue::voidValue();
    }
    r.type = signatureType(e->returnType);
    if (r.type == vtVoid) {
        releaseValue(r);
        return ScriptValue::voidValue();
    }
    return r;
}

} // namespace skv
