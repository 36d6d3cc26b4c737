// The built-in table: 127 entries, each binding a name and an argument signature to an
// operation on the script host. Several entries may share a name; a call takes the first entry,
// in table order, whose signature its arguments fit.
//
// Signature letters and the value types they stand for:
//
// | letter | type      | note                                                       |
// |--------|-----------|------------------------------------------------------------|
// | L      | vtInteger |                                                            |
// | S      | vtString  | also accepts a borrowed text (vtLiteral)                   |
// | T      | vtLiteral | a borrowed text                                            |
// | Y      | vtSymbol  | passed on as the text of its name                          |
// | X      | vtAny     | accepts a symbol, passed on as its nameId (a global's name)|
// | P      | vtPoint   |                                                            |
// | R      | vtRect    |                                                            |
// | O      | vtObject  |                                                            |
// | V      | vtVoid    |                                                            |
// | N      | vtNone    |                                                            |
//
// An entry whose argCount exceeds the call's argument count still fits (only the given
// arguments are checked); the missing ones reach the operation as 0, so every operation reads a
// zero text, point or rect as empty.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/emptytext.h"
#include "script/scriptvalue.h"

namespace skv {

class ScriptEngine;
class ScriptHost;

struct BuiltinRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// What an operation receives: the host, the engine, and up to five argument payloads.
struct BuiltinCall {
    ScriptHost& host;
    ScriptEngine& engine;
    intptr_t raw[5] = {};

    int32_t num(int i) const { return static_cast<int32_t>(raw[i]); }
    // "" for a missing text.
    const char* text(int i) const { return raw[i] ? reinterpret_cast<const char*>(raw[i]) : ""; }
    // A point's h and v; zeros for a missing point.
    int32_t pointH(int i) const { return raw[i] ? reinterpret_cast<const int16_t*>(raw[i])[1] : 0; }
    int32_t pointV(int i) const { return raw[i] ? reinterpret_cast<const int16_t*>(raw[i])[0] : 0; }
    // All zeros for a missing rect.
    BuiltinRect rect(int i) const {
        if (!raw[i]) return {};
        const int16_t* f = reinterpret_cast<const int16_t*>(raw[i]); // top, left, bottom, right
        return {f[1], f[0], f[3], f[2]};
    }
};

using BuiltinOp = ScriptValue (*)(BuiltinCall& call);

struct BuiltinEntry {
    const char* name;
    int16_t argCount;
    char returnType; // a signature letter
    const char* signature;
    BuiltinOp op;
};

// The table, in order.
const BuiltinEntry* builtinTable();
int32_t builtinCount();
// The value type a signature letter stands for.
uint32_t signatureType(char letter);
// The first entry that takes the call; null when none does.
const BuiltinEntry* chooseBuiltin(const char* name, const ScriptValue* args, int32_t argc);
bool isBuiltinName(std::string_view name);

// The whole call: choose, convert the arguments, run, convert the result. A call no entry takes
// beeps and raises ScriptError 8003; an operation's own failure gives vtVoid.
ScriptValue callBuiltinTable(ScriptHost& host, ScriptEngine& engine, const char* name,
                             const ScriptValue* args, int32_t argc);

} // namespace skv
