// The value operators of the bytecode: arithmetic, logic, comparisons and text operators.
#pragma once

#include <cstdint>

#include "script/scriptvalue.h"

namespace skv {

// Applies a two-operand opcode (mul .. ge, and, or, contains, startsWith) to T1 = a and T = b.
// Takes over both operands and releases them.
ScriptValue binaryOperation(uint8_t opcode, ScriptValue a, ScriptValue b);
// negate and not; takes over the operand.
ScriptValue unaryOperation(uint8_t opcode, ScriptValue a);

// Integer arithmetic that wraps instead of overflowing; division and remainder by zero give 0
// (scripts expect a number, not a stop) and INT_MIN / -1 wraps.
inline int32_t integerArithmetic(uint8_t opcode, int32_t x, int32_t y) {
    uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    switch (opcode) {
    case 0x04: // mul
        return static_cast<int32_t>(ux * uy);
    case 0x05: // add
        return static_cast<int32_t>(ux + uy);
    case 0x06: // sub
        return static_cast<int32_t>(ux - uy);
    case 0x07: // div
        if (y == 0) return 0;
        if (y == -1) return static_cast<int32_t>(0u - ux);
        return x / y;
    case 0x08: // mod
        if (y == 0 || y == -1) return 0;
        return x % y;
    default:
        return 0;
    }
}

// Byte-wise comparison of two values as the comparison opcodes see them: <0, 0 or >0.
int compareValues(const ScriptValue& a, const ScriptValue& b);

} // namespace skv
