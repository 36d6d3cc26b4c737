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

// Integer arithmetic that wraps instead of overflowing; division and remainder by zero give 0.
int32_t integerArithmetic(uint8_t opcode, int32_t x, int32_t y);

// Byte-wise comparison of two values as the comparison opcodes see them: <0, 0 or >0.
int compareValues(const ScriptValue& a, const ScriptValue& b);

} // namespace skv
