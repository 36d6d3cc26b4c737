// Names the assembly text may write in place of numbers: property names for the property
// instructions, category names for getEntity and setEntity, and numbered property names for
// pushInt (the property number getEntity and setEntity take from the stack). Also what a name
// must be where it has to resolve: what a call by name reaches without a handler, and the events
// whose names handlers take.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The names the interpreter answers itself when a call by name finds no movie handler ("return",
// "param", "pause", ...): the special names of the interpreter's calls (calls.cpp).
const std::vector<std::string_view>& asmInterpreterNames();
// Whether a call by name reaches something when no movie script has a handler of that name: an
// interpreter name or a built-in.
bool asmIsCallable(std::string_view name);

// The events the runtime offers to scripts (events.cpp), as the handlers that take them are named.
const std::vector<std::string_view>& asmEventNames();
bool asmIsEvent(std::string_view name);

// Of the candidates, the one `name` looks like a misspelling of, or empty: within one edit (an
// inserted, missing or changed letter, or two letters swapped) for a candidate of up to five
// letters, two for a longer one; a change of case alone costs nothing. A candidate equal to
// `name` is no misspelling of it. The first of equally near candidates wins.
std::string asmNearName(std::string_view name, const std::vector<std::string_view>& candidates);
// For a handler's name that is no event but near one: "mouseUpp is not an event; did you mean
// mouseUp?"; otherwise empty.
std::string asmEventTypo(std::string_view handler);

} // namespace skv
