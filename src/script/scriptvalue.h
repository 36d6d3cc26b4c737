// ScriptValue: what the value stack, the variables and the result hold.
//
// | code | name       | payload                                            |
// |------|------------|----------------------------------------------------|
// | 0    | vtNone     | 0: a fresh slot, a missing argument, an unset variable |
// | 1    | vtString   | text (NUL-terminated) that the value owns          |
// | 2    | vtVoid     | 0: no value                                        |
// | 3    | vtObject   | a cast member or window number                     |
// | 4    | vtInteger  | signed 32-bit integer                              |
// | 6    | vtPoint    | two int16: v, h                                    |
// | 7    | vtRect     | four int16: top, left, bottom, right               |
// | 8    | vtSymbol   | a nameId                                           |
// | 9    | vtFloat    | always 0: floats are not computed                  |
// | 10   | vtLiteral  | text that belongs to someone else (a script block, the name table) |
// | 12   | vtAny      | signature use only                                 |
//
// Texts, points and rects a value owns live in a shared block with a reference count in front of
// the data: a "copy" takes another reference and "release" drops one. A text reachable from a
// variable, the stack and the result at once is thus freed exactly once, when the last holder
// lets go; blocks are never changed after they are made, so sharing one is as good as copying it.
// A borrowed text (vtLiteral straight from a block) is never freed; storing it in a variable
// makes an owned copy, so the variable does not depend on the lifetime of its source.
#pragma once

#include <cstdint>
#include <string_view>

namespace skv {

enum ValueType : uint32_t {
    vtNone = 0,
    vtString = 1,
    vtVoid = 2,
    vtObject = 3,
    vtInteger = 4,
    vtPoint = 6,
    vtRect = 7,
    vtSymbol = 8,
    vtFloat = 9,
    vtLiteral = 10,
    vtAny = 12,
};

struct ScriptValue {
    uint32_t type = vtNone;
    uint32_t owned = 0; // nonzero: payload points into a counted shared block
    intptr_t payload = 0;

    static ScriptValue of(uint32_t type, int32_t v) { return {type, 0, v}; }
    static ScriptValue integer(int32_t v) { return {vtInteger, 0, v}; }
    static ScriptValue none() { return {}; }
    static ScriptValue voidValue() { return {vtVoid, 0, 0}; }
    // A text that stays owned by its source.
    static ScriptValue borrowed(const char* text) {
        return {vtLiteral, 0, reinterpret_cast<intptr_t>(text)};
    }

    bool isText() const { return type == vtString || type == vtLiteral; }
    // Texts, points and rects hold pointers; their payload is no number.
    bool holdsPointer() const {
        return type == vtString || type == vtLiteral || type == vtPoint || type == vtRect;
    }
    // The payload as a signed 32-bit number; 0 for a value that holds a pointer, so that
    // arithmetic and comparisons on them are deterministic and never make a pointer up.
    int32_t asInt() const { return holdsPointer() ? 0 : static_cast<int32_t>(payload); }
    // The text of a text value; "" for a null text or a value that is no text.
    const char* text() const {
        return isText() && payload ? reinterpret_cast<const char*>(payload) : "";
    }
    // Points and rects: the int16 fields, or null.
    const int16_t* fields() const {
        return (type == vtPoint || type == vtRect) ? reinterpret_cast<const int16_t*>(payload)
                                                   : nullptr;
    }
};

// A new owned text (vtString). Allocation failure raises CoreError 2000.
ScriptValue makeString(std::string_view text);
// A new owned point (h, v) and rect (left, top, right, bottom).
ScriptValue makePoint(int16_t h, int16_t v);
ScriptValue makeRect(int16_t left, int16_t top, int16_t right, int16_t bottom);

// Drops the value's hold on its payload and zeroes the payload; the type stays.
inline void releaseValue(ScriptValue& v);
// The copy a variable or the result keeps: owned payloads gain a reference, a borrowed text
// becomes an owned copy with its type kept.
ScriptValue copyValue(const ScriptValue& v);
// Another reference to the same payload: what the stack gets when a variable is pushed.
inline ScriptValue shareValue(const ScriptValue& v);

// Text conversion: texts stay as they are (shared), an integer becomes its decimal text, any
// other value the empty text.
ScriptValue toText(const ScriptValue& v);

namespace detail {
struct SharedHeader {
    uint32_t refs;
    uint32_t size;
};
inline SharedHeader* headerOf(intptr_t payload) {
    return reinterpret_cast<SharedHeader*>(payload) - 1;
}
} // namespace detail

// Frees a shared block whose last holder lets go.
void dropShared(intptr_t payload);

inline void releaseValue(ScriptValue& v) {
    if (v.owned) {
        if (--detail::headerOf(v.payload)->refs == 0) dropShared(v.payload);
        v.owned = 0;
    }
    v.payload = 0;
}

inline ScriptValue shareValue(const ScriptValue& v) {
    if (v.owned) ++detail::headerOf(v.payload)->refs;
    return v;
}

} // namespace skv
