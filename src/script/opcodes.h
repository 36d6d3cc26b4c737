// The instruction set of script bytecode: the one table the decoder, the interpreter, the
// assembler and the disassembler all read.
//
// An instruction is an opcode byte and 0, 1 or 2 operand bytes; bits 7-6 of the opcode give the
// operand width:
//
// | bits 7-6 | operand                                                   | length |
// |----------|-----------------------------------------------------------|--------|
// | 00       | none                                                      | 1      |
// | 01       | 1 byte, unsigned 0..255 (pushInt alone reads it signed)   | 2      |
// | 10       | 2 bytes little-endian, signed -32768..32767               | 3      |
// | 11       | no such opcode: error 8002                                |        |
//
// An operation with an operand has a one-byte form 0x40 + x and a two-byte form 0x80 + x.
// Parameter and local operands are byte offsets (8 x slot), literal operands byte offsets into
// the literal table (8 x index), jump operands distances in bytes from the jump's first byte.
//
// | op   | x    | name            | pops | pushes | operand / meaning                          |
// |------|------|-----------------|------|--------|--------------------------------------------|
// | 0x00 |      | nop             | 0    | 0      |                                            |
// | 0x01 |      | ret             | 0    | 0      | leave the handler                          |
// | 0x03 |      | pushZero        | 0    | 1      | integer 0                                  |
// | 0x04 |      | mul             | 2    | 1      | T1 x T                                     |
// | 0x05 |      | add             | 2    | 1      | T1 + T                                     |
// | 0x06 |      | sub             | 2    | 1      | T1 - T                                     |
// | 0x07 |      | div             | 2    | 1      | T1 / T, truncated                          |
// | 0x08 |      | mod             | 2    | 1      | T1 rem T, sign of T1                       |
// | 0x09 |      | negate          | 1    | 1      | -T                                         |
// | 0x0A |      | concat          | 2    | 1      | text T1 then text T                        |
// | 0x0B |      | concatSpace     | 2    | 1      | text T1, a space, text T                   |
// | 0x0C |      | lt              | 2    | 1      | T1 < T                                     |
// | 0x0D |      | le              | 2    | 1      | T1 <= T                                    |
// | 0x0E |      | ne              | 2    | 1      | T1 != T                                    |
// | 0x0F |      | eq              | 2    | 1      | T1 = T                                     |
// | 0x10 |      | gt              | 2    | 1      | T1 > T                                     |
// | 0x11 |      | ge              | 2    | 1      | T1 >= T                                    |
// | 0x12 |      | and             | 2    | 1      |                                            |
// | 0x13 |      | or              | 2    | 1      |                                            |
// | 0x14 |      | not             | 1    | 1      |                                            |
// | 0x15 |      | contains        | 2    | 1      | text T1 contains text T                    |
// | 0x16 |      | startsWith      | 2    | 1      | text T1 begins with text T                 |
// | 0x17 |      | getChunk        | 9    | 1      | eight bounds, then the text on top         |
// | 0x19 |      | spriteIntersects| 2    | 1      | sprite channels T1, T                      |
// | 0x1A |      | spriteWithin    | 2    | 1      | sprite T1 within sprite T                  |
// | 0x41 | 0x01 | pushInt         | 0    | 1      | n (signed)                                 |
// | 0x42 | 0x02 | argListNoResult | 0    | 0      | pending argument count n, no result        |
// | 0x43 | 0x03 | argList         | 0    | 0      | pending argument count n, result wanted    |
// | 0x44 | 0x04 | pushLiteral     | 0    | 1      | literal at byte offset n                   |
// | 0x45 | 0x05 | pushSymbol      | 0    | 1      | vtSymbol n                                 |
// | 0x46 | 0x06 | pushVarRef      | 0    | 1      | vtSymbol n: local at byte offset n         |
// | 0x48 | 0x08 | pushGlobal      | 0    | 1      | global nameId n                            |
// | 0x49 | 0x09 | pushGlobalAlt   | 0    | 1      | as pushGlobal                              |
// | 0x4A | 0x0A | pushProperty    | 0    | 0      | trace line only                            |
// | 0x4B | 0x0B | pushParam       | 0    | 1      | parameter at byte offset n                 |
// | 0x4C | 0x0C | pushLocal       | 0    | 1      | local at byte offset n                     |
// | 0x4F | 0x0F | popGlobal       | 1    | 0      | global nameId n                            |
// | 0x50 | 0x10 | popProperty     | 0    | 0      | trace line only                            |
// | 0x51 | 0x11 | popParam        | 1    | 0      | parameter at byte offset n                 |
// | 0x52 | 0x12 | popLocal        | 1    | 0      | local at byte offset n                     |
// | 0x53 | 0x13 | jump            | 0    | 0      | forward n bytes                            |
// | 0x54 | 0x14 | jumpBack        | 0    | 0      | back n bytes                               |
// | 0x55 | 0x15 | jumpIfZero      | 1    | 0      | forward n bytes when T's payload is 0      |
// | 0x56 | 0x16 | callLocal       | var  | var    | handler index n of this script             |
// | 0x57 | 0x17 | callExternal    | var  | var    | handler or built-in of nameId n            |
// | 0x58 | 0x18 | callIndirect    | var  | var    | as callExternal with nameId T (operand unused)
// | | 0x59 | 0x19 | setField        | 0    | 0      | trace line only                            |
// | 0x5A | 0x1A | putChunk        | 10   | 0      | mode 0x15 replace, 0x25 after, 0x35 before |
// | 0x5B | 0x1B | deleteChunk     | 9    | 0      | (operand unused)                           |
// | 0x5C | 0x1C | getEntity       | var  | 1      | property category n                        |
// | 0x5D | 0x1D | setEntity       | var  | 0      | property category n                        |
// | 0x5F | 0x1F | getNamedProp    | 0    | 1      | nameId n                                   |
// | 0x60 | 0x20 | setNamedProp    | 1    | 0      | nameId n                                   |
// | 0x61 | 0x21 | getObjectProp   | 1    | 1      | nameId n of object T                       |
// | 0x62 | 0x22 | setObjectProp   | 2    | 0      | nameId n := T (T1 the object)              |
// | 0x64 | 0x24 | peek            | 0    | 1      | a copy of the value n below the top        |
// | 0x65 | 0x25 | drop            | var  | 0      | n values                                   |
// | 0x66 | 0x26 | getNamedPropAlt | 0    | 1      | as getNamedProp                            |
//
// Every other opcode is invalid: 0x02, 0x18, 0x1B-0x40, 0x47, 0x4D, 0x4E, 0x5E, 0x63, 0x67-0x80,
// 0x87, 0x8D, 0x8E, 0x9E, 0xA3 and all from 0xA7.
#pragma once

#include <array>
#include <cstdint>

namespace skv {

enum Op : uint8_t {
    opNop = 0x00,
    opRet = 0x01,
    opPushZero = 0x03,
    opMul = 0x04,
    opAdd = 0x05,
    opSub = 0x06,
    opDiv = 0x07,
    opMod = 0x08,
    opNegate = 0x09,
    opConcat = 0x0A,
    opConcatSpace = 0x0B,
    opLt = 0x0C,
    opLe = 0x0D,
    opNe = 0x0E,
    opEq = 0x0F,
    opGt = 0x10,
    opGe = 0x11,
    opAnd = 0x12,
    opOr = 0x13,
    opNot = 0x14,
    opContains = 0x15,
    opStartsWith = 0x16,
    opGetChunk = 0x17,
    opSpriteIntersects = 0x19,
    opSpriteWithin = 0x1A,
    // Operations with an operand, as x: the opcode is 0x40 + x or 0x80 + x.
    opPushInt = 0x01,
    opArgListNoResult = 0x02,
    opArgList = 0x03,
    opPushLiteral = 0x04,
    opPushSymbol = 0x05,
    opPushVarRef = 0x06,
    opPushGlobal = 0x08,
    opPushGlobalAlt = 0x09,
    opPushProperty = 0x0A,
    opPushParam = 0x0B,
    opPushLocal = 0x0C,
    opPopGlobal = 0x0F,
    opPopProperty = 0x10,
    opPopParam = 0x11,
    opPopLocal = 0x12,
    opJump = 0x13,
    opJumpBack = 0x14,
    opJumpIfZero = 0x15,
    opCallLocal = 0x16,
    opCallExternal = 0x17,
    opCallIndirect = 0x18,
    opSetField = 0x19,
    opPutChunk = 0x1A,
    opDeleteChunk = 0x1B,
    opGetEntity = 0x1C,
    opSetEntity = 0x1D,
    opGetNamedProp = 0x1F,
    opSetNamedProp = 0x20,
    opGetObjectProp = 0x21,
    opSetObjectProp = 0x22,
    opPeek = 0x24,
    opDrop = 0x25,
    opGetNamedPropAlt = 0x26,
};

// One-byte and two-byte forms of an operation with an operand.
constexpr uint8_t op1(uint8_t x) {
    return static_cast<uint8_t>(0x40 + x);
}
constexpr uint8_t op2(uint8_t x) {
    return static_cast<uint8_t>(0x80 + x);
}

// A stack effect that depends on the operand or on what is called.
inline constexpr int8_t kVarEffect = -1;

struct OpcodeInfo {
    const char* name; // null: invalid opcode
    uint8_t width;    // operand bytes: 0, 1 or 2
    int8_t pops;      // kVarEffect when it varies
    int8_t pushes;
    bool valid() const { return name != nullptr; }
};

namespace detail {

struct OpRow {
    uint8_t code; // the opcode (no operand) or x (with operand)
    bool hasOperand;
    const char* name;
    int8_t pops;
    int8_t pushes;
};

inline constexpr OpRow kOpRows[] = {
    {opNop, false, "nop", 0, 0},
    {opRet, false, "ret", 0, 0},
    {opPushZero, false, "pushZero", 0, 1},
    {opMul, false, "mul", 2, 1},
    {opAdd, false, "add", 2, 1},
    {opSub, false, "sub", 2, 1},
    {opDiv, false, "div", 2, 1},
    {opMod, false, "mod", 2, 1},
    {opNegate, false, "negate", 1, 1},
    {opConcat, false, "concat", 2, 1},
    {opConcatSpace, false, "concatSpace", 2, 1},
    {opLt, false, "lt", 2, 1},
    {opLe, false, "le", 2, 1},
    {opNe, false, "ne", 2, 1},
    {opEq, false, "eq", 2, 1},
    {opGt, false, "gt", 2, 1},
    {opGe, false, "ge", 2, 1},
    {opAnd, false, "and", 2, 1},
    {opOr, false, "or", 2, 1},
    {opNot, false, "not", 1, 1},
    {opContains, false, "contains", 2, 1},
    {opStartsWith, false, "startsWith", 2, 1},
    {opGetChunk, false, "getChunk", 9, 1},
    {opSpriteIntersects, false, "spriteIntersects", 2, 1},
    {opSpriteWithin, false, "spriteWithin", 2, 1},
    {opPushInt, true, "pushInt", 0, 1},
    {opArgListNoResult, true, "argListNoResult", 0, 0},
    {opArgList, true, "argList", 0, 0},
    {opPushLiteral, true, "pushLiteral", 0, 1},
    {opPushSymbol, true, "pushSymbol", 0, 1},
    {opPushVarRef, true, "pushVarRef", 0, 1},
    {opPushGlobal, true, "pushGlobal", 0, 1},
    {opPushGlobalAlt, true, "pushGlobalAlt", 0, 1},
    {opPushProperty, true, "pushProperty", 0, 0},
    {opPushParam, true, "pushParam", 0, 1},
    {opPushLocal, true, "pushLocal", 0, 1},
    {opPopGlobal, true, "popGlobal", 1, 0},
    {opPopProperty, true, "popProperty", 0, 0},
    {opPopParam, true, "popParam", 1, 0},
    {opPopLocal, true, "popLocal", 1, 0},
    {opJump, true, "jump", 0, 0},
    {opJumpBack, true, "jumpBack", 0, 0},
    {opJumpIfZero, true, "jumpIfZero", 1, 0},
    {opCallLocal, true, "callLocal", kVarEffect, kVarEffect},
    {opCallExternal, true, "callExternal", kVarEffect, kVarEffect},
    {opCallIndirect, true, "callIndirect", kVarEffect, kVarEffect},
    {opSetField, true, "setField", 0, 0},
    {opPutChunk, true, "putChunk", 10, 0},
    {opDeleteChunk, true, "deleteChunk", 9, 0},
    {opGetEntity, true, "getEntity", kVarEffect, 1},
    {opSetEntity, true, "setEntity", kVarEffect, 0},
    {opGetNamedProp, true, "getNamedProp", 0, 1},
    {opSetNamedProp, true, "setNamedProp", 1, 0},
    {opGetObjectProp, true, "getObjectProp", 1, 1},
    {opSetObjectProp, true, "setObjectProp", 2, 0},
    {opPeek, true, "peek", 0, 1},
    {opDrop, true, "drop", kVarEffect, 0},
    {opGetNamedPropAlt, true, "getNamedPropAlt", 0, 1},
};

constexpr std::array<OpcodeInfo, 256> buildOpcodeTable() {
    std::array<OpcodeInfo, 256> t{};
    for (const OpRow& r : kOpRows) {
        if (r.hasOperand) {
            t[op1(r.code)] = OpcodeInfo{r.name, 1, r.pops, r.pushes};
            t[op2(r.code)] = OpcodeInfo{r.name, 2, r.pops, r.pushes};
        } else {
            t[r.code] = OpcodeInfo{r.name, 0, r.pops, r.pushes};
        }
    }
    return t;
}

} // namespace detail

// Indexed by opcode byte.
inline constexpr std::array<OpcodeInfo, 256> kOpcodes = detail::buildOpcodeTable();

// The operation an opcode performs: the opcode itself without an operand, x with one.
constexpr uint8_t opBase(uint8_t opcode) {
    return opcode >= 0x40 ? opcode & 0x3F : opcode;
}

// Jumps leave the program counter where they put it; everything else moves on by its length.
constexpr bool isJumpOpcode(uint8_t opcode) {
    uint8_t x = opBase(opcode);
    return (opcode >> 6 == 1 || opcode >> 6 == 2) &&
           (x == opJump || x == opJumpBack || x == opJumpIfZero);
}

// One decoded instruction.
struct Instruction {
    uint8_t opcode = 0;
    int32_t operand = 0;
    uint32_t length = 1; // 0: the instruction does not fit before `end`
};

// Decodes the instruction at code[pc], reading no byte at or past `end`. An invalid opcode
// decodes with its operand width taken from its top bits (length 1 for bits 11); the caller
// checks kOpcodes[opcode].valid().
inline Instruction decodeInstruction(const uint8_t* code, uint32_t pc, uint32_t end) {
    Instruction in;
    if (pc >= end) {
        in.length = 0;
        return in;
    }
    in.opcode = code[pc];
    switch (in.opcode >> 6) {
    case 1:
        if (end - pc < 2) {
            in.length = 0;
            break;
        }
        in.length = 2;
        in.operand =
            (opBase(in.opcode) == opPushInt) ? static_cast<int8_t>(code[pc + 1]) : code[pc + 1];
        break;
    case 2:
        if (end - pc < 3) {
            in.length = 0;
            break;
        }
        in.length = 3;
        in.operand = static_cast<int16_t>(code[pc + 1] | (code[pc + 2] << 8));
        break;
    default:
        in.length = 1;
        break;
    }
    return in;
}

} // namespace skv
