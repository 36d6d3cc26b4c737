#include "script/operators.h"

#include <cstring>
#include <string>

#include "script/opcodes.h"

namespace skv {

namespace {

// The type an arithmetic or logic result takes: the left operand's, or the right one's when the
// left is vtNone; never a type whose payload would be read as a pointer.
uint32_t resultType(const ScriptValue& a, const ScriptValue& b) {
    ScriptValue r{a.type != vtNone ? a.type : b.type, 0, 0};
    return r.holdsPointer() ? uint32_t(vtInteger) : r.type;
}

struct Released {
    ScriptValue& v;
    ~Released() { releaseValue(v); }
};

} // namespace

int compareValues(const ScriptValue& a, const ScriptValue& b) {
    if (!a.isText() && !b.isText()) {
        int32_t x = a.asInt(), y = b.asInt();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    ScriptValue ta = toText(a), tb = toText(b);
    Released ra{ta}, rb{tb};
    return std::strcmp(ta.text(), tb.text()); // compares as unsigned bytes
}

ScriptValue binaryOperation(uint8_t op, ScriptValue a, ScriptValue b) {
    Released ra{a}, rb{b};
    switch (op) {
    case opMul:
    case opAdd:
    case opSub:
    case opDiv:
    case opMod:
        return ScriptValue::of(resultType(a, b), integerArithmetic(op, a.asInt(), b.asInt()));
    case opAnd:
        return ScriptValue::of(resultType(a, b), a.payload != 0 && b.payload != 0);
    case opOr:
        return ScriptValue::of(resultType(a, b), a.payload != 0 || b.payload != 0);
    case opLt:
        return ScriptValue::integer(compareValues(a, b) < 0);
    case opLe:
        return ScriptValue::integer(compareValues(a, b) <= 0);
    case opNe:
        return ScriptValue::integer(compareValues(a, b) != 0);
    case opEq:
        return ScriptValue::integer(compareValues(a, b) == 0);
    case opGt:
        return ScriptValue::integer(compareValues(a, b) > 0);
    case opGe:
        return ScriptValue::integer(compareValues(a, b) >= 0);
    case opConcat:
    case opConcatSpace: {
        ScriptValue ta = toText(a), tb = toText(b);
        Released rta{ta}, rtb{tb};
        std::string s = ta.text();
        if (op == opConcatSpace) s += ' ';
        s += tb.text();
        return makeString(s);
    }
    case opContains:
    case opStartsWith: {
        ScriptValue ta = toText(a), tb = toText(b);
        Released rta{ta}, rtb{tb};
        const char* hay = ta.text();
        const char* needle = tb.text();
        if (!*hay || !*needle) return ScriptValue::integer(0);
        const char* at = std::strstr(hay, needle);
        return ScriptValue::integer(op == opContains ? at != nullptr : at == hay);
    }
    default:
        return ScriptValue::voidValue();
    }
}

ScriptValue unaryOperation(uint8_t op, ScriptValue a) {
    Released ra{a};
    ScriptValue r{a.holdsPointer() ? uint32_t(vtInteger) : a.type, 0, 0};
    if (op == opNegate)
        r.payload = static_cast<int32_t>(0u - static_cast<uint32_t>(a.asInt()));
    else
        r.payload = a.payload == 0;
    return r;
}

} // namespace skv
