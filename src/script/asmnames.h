// Names the assembly text may write in place of numbers: property names for the property
// instructions, category names for getEntity and setEntity, and numbered property names for
// pushInt (the property number getEntity and setEntity take from the stack).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skv {

enum class AsmOperandName {
    kNone,           // the operand is a number only
    kNameId,         // an index into the movie's name table
    kProperty,       // a nameId that must name a "the" property
    kCategory,       // a property category
    kPropertyNumber, // pushInt: a numbered property
};

// What a name written as the operand of operation x (opcode 0x40 + x) stands for, from the
// operand kind the opcode table gives it; kNone for an x that is no operation with an operand.
AsmOperandName asmOperandName(uint8_t x);

// False when the name is not one of its kind.
bool asmCategoryOf(std::string_view name, int32_t* category);
bool asmPropertyNumberOf(std::string_view name, int32_t* number);
bool asmIsProperty(std::string_view name);
// The category's name, or null.
const char* asmCategoryName(int32_t category);

} // namespace skv
