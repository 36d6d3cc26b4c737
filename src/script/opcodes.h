// The instruction set of script bytecode: SKV_OPCODES below is the one list the decoder, the
// interpreter, the assembler and the disassembler are all made from.
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
// | op   | x    | name             | pops | pushes | operand / meaning                          |
// |------|------|------------------|------|--------|--------------------------------------------|
// | 0x00 |      | nop              | 0    | 0      |                                            |
// | 0x01 |      | ret              | 0    | 0      | leave the handler                          |
// | 0x03 |      | pushZero         | 0    | 1      | integer 0                                  |
// | 0x04 |      | mul              | 2    | 1      | T1 x T                                     |
// | 0x05 |      | add              | 2    | 1      | T1 + T                                     |
// | 0x06 |      | sub              | 2    | 1      | T1 - T                                     |
// | 0x07 |      | div              | 2    | 1      | T1 / T, truncated                          |
// | 0x08 |      | mod              | 2    | 1      | T1 rem T, sign of T1                       |
// | 0x09 |      | negate           | 1    | 1      | -T                                         |
// | 0x0A |      | concat           | 2    | 1      | text T1 then text T                        |
// | 0x0B |      | concatSpace      | 2    | 1      | text T1, a space, text T                   |
// | 0x0C |      | lt               | 2    | 1      | T1 < T                                     |
// | 0x0D |      | le               | 2    | 1      | T1 <= T                                    |
// | 0x0E |      | ne               | 2    | 1      | T1 != T                                    |
// | 0x0F |      | eq               | 2    | 1      | T1 = T                                     |
// | 0x10 |      | gt               | 2    | 1      | T1 > T                                     |
// | 0x11 |      | ge               | 2    | 1      | T1 >= T                                    |
// | 0x12 |      | and              | 2    | 1      |                                            |
// | 0x13 |      | or               | 2    | 1      |                                            |
// | 0x14 |      | not              | 1    | 1      |                                            |
// | 0x15 |      | contains         | 2    | 1      | text T1 contains text T                    |
// | 0x16 |      | startsWith       | 2    | 1      | text T1 begins with text T                 |
// | 0x17 |      | getChunk         | 9    | 1      | eight bounds, then the text on top         |
// | 0x19 |      | spriteIntersects | 2    | 1      | sprite channels T1, T                      |
// | 0x1A |      | spriteWithin     | 2    | 1      | sprite T1 within sprite T                  |
// | 0x41 | 0x01 | pushInt          | 0    | 1      | n (signed)                                 |
// | 0x42 | 0x02 | argListNoResult  | 0    | 0      | pending argument count n, no result        |
// | 0x43 | 0x03 | argList          | 0    | 0      | pending argument count n, result wanted    |
// | 0x44 | 0x04 | pushLiteral      | 0    | 1      | literal at byte offset n                   |
// | 0x45 | 0x05 | pushSymbol       | 0    | 1      | vtSymbol n                                 |
// | 0x46 | 0x06 | pushVarRef       | 0    | 1      | vtSymbol n: local at byte offset n         |
// | 0x48 | 0x08 | pushGlobal       | 0    | 1      | global nameId n                            |
// | 0x49 | 0x09 | pushGlobalAlt    | 0    | 1      | as pushGlobal                              |
// | 0x4A | 0x0A | pushProperty     | 0    | 0      | trace line only                            |
// | 0x4B | 0x0B | pushParam        | 0    | 1      | parameter at byte offset n                 |
// | 0x4C | 0x0C | pushLocal        | 0    | 1      | local at byte offset n                     |
// | 0x4F | 0x0F | popGlobal        | 1    | 0      | global nameId n                            |
// | 0x50 | 0x10 | popProperty      | 0    | 0      | trace line only                            |
// | 0x51 | 0x11 | popParam         | 1    | 0      | parameter at byte offset n                 |
// | 0x52 | 0x12 | popLocal         | 1    | 0      | local at byte offset n                     |
// | 0x53 | 0x13 | jump             | 0    | 0      | forward n bytes                            |
// | 0x54 | 0x14 | jumpBack         | 0    | 0      | back n bytes                               |
// | 0x55 | 0x15 | jumpIfZero       | 1    | 0      | forward n bytes when T's payload is 0      |
// | 0x56 | 0x16 | callLocal        | var  | var    | handler index n of this script             |
// | 0x57 | 0x17 | callExternal     | var  | var    | handler or built-in of nameId n            |
// | 0x58 | 0x18 | callIndirect     | var  | var    | as callExternal, nameId T (operand unused) |
// | 0x59 | 0x19 | setField         | 0    | 0      | trace line only                            |
// | 0x5A | 0x1A | putChunk         | 10   | 0      | mode 0x15 replace, 0x25 after, 0x35 before |
// | 0x5B | 0x1B | deleteChunk      | 9    | 0      | (operand unused)                           |
// | 0x5C | 0x1C | getEntity        | var  | 1      | property category n                        |
// | 0x5D | 0x1D | setEntity        | var  | 0      | property category n                        |
// | 0x5F | 0x1F | getNamedProp     | 0    | 1      | nameId n                                   |
// | 0x60 | 0x20 | setNamedProp     | 1    | 0      | nameId n                                   |
// | 0x61 | 0x21 | getObjectProp    | 1    | 1      | nameId n of object T                       |
// | 0x62 | 0x22 | setObjectProp    | 2    | 0      | nameId n := T (T1 the object)              |
// | 0x64 | 0x24 | peek             | 0    | 1      | a copy of the value n below the top        |
// | 0x65 | 0x25 | drop             | var  | 0      | n values                                   |
// | 0x66 | 0x26 | getNamedPropAlt  | 0    | 1      | as getNamedProp                            |
//
// Every other opcode is invalid: 0x02, 0x18, 0x1B-0x40, 0x47, 0x4D, 0x4E, 0x5E, 0x63, 0x67-0x80,
// 0x87, 0x8D, 0x8E, 0x9E, 0xA3 and all from 0xA7.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace skv {

// A stack effect that depends on the operand or on what is called.
inline constexpr int8_t kVarEffect = -1;

// What an operation's operand stands for: what the assembler lets the text write for it and how
// the disassembler shows it. The interpreter reads each operand its own way.
enum class OperandKind : uint8_t {
    kNone,     // no operand
    kInteger,  // pushInt's constant, signed in the one-byte form
    kNumber,   // a count, a mode, a handler index or a traced number, taken as it is
    kUnused,   // nothing: read and ignored
    kLiteral,  // a byte offset into the literal table
    kParam,    // a parameter's byte offset
    kLocal,    // a local's byte offset
    kForward,  // a jump distance ahead
    kBack,     // a jump distance back
    kNameId,   // an index into the movie's name table
    kProperty, // a nameId that names a "the" property
    kCategory, // a property category
};

// The table above as code, one row per operation:
//
//   X(Name, form, code, name, pops, pushes, operand)
//
//   Name     the enumerator is opName; the interpreter's code for it is at LName (form plain) or
//            at LName1 and LName2 (its one- and two-byte forms)
//   form     plain: the opcode is `code`; operand: `code` is x, the opcodes 0x40 + x and 0x80 + x
//   name     the operation's name in assembly text
//   pops     values taken from the stack (kVarEffect when that varies), pushes values left on it
//   operand  an OperandKind without its k: None exactly for the plain operations
//
// clang-format off
#define SKV_OPCODES(X)                                                                             \
    X(Nop,              plain,   0x00, "nop",              0,          0,          None)           \
    X(Ret,              plain,   0x01, "ret",              0,          0,          None)           \
    X(PushZero,         plain,   0x03, "pushZero",         0,          1,          None)           \
    X(Mul,              plain,   0x04, "mul",              2,          1,          None)           \
    X(Add,              plain,   0x05, "add",              2,          1,          None)           \
    X(Sub,              plain,   0x06, "sub",              2,          1,          None)           \
    X(Div,              plain,   0x07, "div",              2,          1,          None)           \
    X(Mod,              plain,   0x08, "mod",              2,          1,          None)           \
    X(Negate,           plain,   0x09, "negate",           1,          1,          None)           \
    X(Concat,           plain,   0x0A, "concat",           2,          1,          None)           \
    X(ConcatSpace,      plain,   0x0B, "concatSpace",      2,          1,          None)           \
    X(Lt,               plain,   0x0C, "lt",               2,          1,          None)           \
    X(Le,               plain,   0x0D, "le",               2,          1,          None)           \
    X(Ne,               plain,   0x0E, "ne",               2,          1,          None)           \
    X(Eq,               plain,   0x0F, "eq",               2,          1,          None)           \
    X(Gt,               plain,   0x10, "gt",               2,          1,          None)           \
    X(Ge,               plain,   0x11, "ge",               2,          1,          None)           \
    X(And,              plain,   0x12, "and",              2,          1,          None)           \
    X(Or,               plain,   0x13, "or",               2,          1,          None)           \
    X(Not,              plain,   0x14, "not",              1,          1,          None)           \
    X(Contains,         plain,   0x15, "contains",         2,          1,          None)           \
    X(StartsWith,       plain,   0x16, "startsWith",       2,          1,          None)           \
    X(GetChunk,         plain,   0x17, "getChunk",         9,          1,          None)           \
    X(SpriteIntersects, plain,   0x19, "spriteIntersects", 2,          1,          None)           \
    X(SpriteWithin,     plain,   0x1A, "spriteWithin",     2,          1,          None)           \
    X(PushInt,          operand, 0x01, "pushInt",          0,          1,          Integer)        \
    X(ArgListNoResult,  operand, 0x02, "argListNoResult",  0,          0,          Number)         \
    X(ArgList,          operand, 0x03, "argList",          0,          0,          Number)         \
    X(PushLiteral,      operand, 0x04, "pushLiteral",      0,          1,          Literal)        \
    X(PushSymbol,       operand, 0x05, "pushSymbol",       0,          1,          NameId)         \
    X(PushVarRef,       operand, 0x06, "pushVarRef",       0,          1,          Local)          \
    X(PushGlobal,       operand, 0x08, "pushGlobal",       0,          1,          NameId)         \
    X(PushGlobalAlt,    operand, 0x09, "pushGlobalAlt",    0,          1,          NameId)         \
    X(PushProperty,     operand, 0x0A, "pushProperty",     0,          0,          Number)         \
    X(PushParam,        operand, 0x0B, "pushParam",        0,          1,          Param)          \
    X(PushLocal,        operand, 0x0C, "pushLocal",        0,          1,          Local)          \
    X(PopGlobal,        operand, 0x0F, "popGlobal",        1,          0,          NameId)         \
    X(PopProperty,      operand, 0x10, "popProperty",      0,          0,          Number)         \
    X(PopParam,         operand, 0x11, "popParam",         1,          0,          Param)          \
    X(PopLocal,         operand, 0x12, "popLocal",         1,          0,          Local)          \
    X(Jump,             operand, 0x13, "jump",             0,          0,          Forward)        \
    X(JumpBack,         operand, 0x14, "jumpBack",         0,          0,          Back)           \
    X(JumpIfZero,       operand, 0x15, "jumpIfZero",       1,          0,          Forward)        \
    X(CallLocal,        operand, 0x16, "callLocal",        kVarEffect, kVarEffect, Number)         \
    X(CallExternal,     operand, 0x17, "callExternal",     kVarEffect, kVarEffect, NameId)         \
    X(CallIndirect,     operand, 0x18, "callIndirect",     kVarEffect, kVarEffect, Unused)         \
    X(SetField,         operand, 0x19, "setField",         0,          0,          Number)         \
    X(PutChunk,         operand, 0x1A, "putChunk",         10,         0,          Number)         \
    X(DeleteChunk,      operand, 0x1B, "deleteChunk",      9,          0,          Unused)         \
    X(GetEntity,        operand, 0x1C, "getEntity",        kVarEffect, 1,          Category)       \
    X(SetEntity,        operand, 0x1D, "setEntity",        kVarEffect, 0,          Category)       \
    X(GetNamedProp,     operand, 0x1F, "getNamedProp",     0,          1,          Property)       \
    X(SetNamedProp,     operand, 0x20, "setNamedProp",     1,          0,          Property)       \
    X(GetObjectProp,    operand, 0x21, "getObjectProp",    1,          1,          Property)       \
    X(SetObjectProp,    operand, 0x22, "setObjectProp",    2,          0,          Property)       \
    X(Peek,             operand, 0x24, "peek",             0,          1,          Number)         \
    X(Drop,             operand, 0x25, "drop",             kVarEffect, 0,          Number)         \
    X(GetNamedPropAlt,  operand, 0x26, "getNamedPropAlt",  0,          1,          Property)
// clang-format on

enum Op : uint8_t {
#define SKV_OP_ENUMERATOR(Name, form, code, name, pops, pushes, operand) op##Name = code,
    SKV_OPCODES(SKV_OP_ENUMERATOR)
#undef SKV_OP_ENUMERATOR
};

// One-byte and two-byte forms of an operation with an operand.
constexpr uint8_t op1(uint8_t x) {
    return static_cast<uint8_t>(0x40 + x);
}
constexpr uint8_t op2(uint8_t x) {
    return static_cast<uint8_t>(0x80 + x);
}

struct OpcodeInfo {
    const char* name; // null: invalid opcode
    uint8_t width;    // operand bytes: 0, 1 or 2
    int8_t pops;      // kVarEffect when it varies
    int8_t pushes;
    OperandKind operand = OperandKind::kNone;
    bool valid() const { return name != nullptr; }
};

namespace detail {

enum class OpForm : uint8_t { plain, operand };

struct OpRow {
    uint8_t code; // the opcode (plain) or x (with operand)
    OpForm form;
    const char* name;
    int8_t pops;
    int8_t pushes;
    OperandKind operand;
    constexpr bool hasOperand() const { return form == OpForm::operand; }
};

inline constexpr OpRow kOpRows[] = {
#define SKV_OP_ROW(Name, form, code, name, pops, pushes, operand)                                  \
    {op##Name, OpForm::form, name, pops, pushes, OperandKind::k##operand},
    SKV_OPCODES(SKV_OP_ROW)
#undef SKV_OP_ROW
};

constexpr bool sameText(const char* a, const char* b) {
    return std::string_view(a) == std::string_view(b);
}

// The rows fit the encoding: each claims opcodes nobody else does, under a name nobody else has,
// and an operand kind says whether there is an operand.
constexpr bool rowsAreConsistent() {
    std::array<bool, 256> taken{};
    for (const OpRow& r : kOpRows) {
        if (r.code >= 0x40 || r.hasOperand() != (r.operand != OperandKind::kNone)) return false;
        const uint8_t forms[2] = {r.hasOperand() ? op1(r.code) : r.code, op2(r.code)};
        for (int i = 0; i < (r.hasOperand() ? 2 : 1); ++i) {
            if (taken[forms[i]]) return false;
            taken[forms[i]] = true;
        }
        for (const OpRow& other : kOpRows)
            if (&other != &r && sameText(other.name, r.name)) return false;
    }
    return true;
}
static_assert(rowsAreConsistent());

constexpr std::array<OpcodeInfo, 256> buildOpcodeTable() {
    std::array<OpcodeInfo, 256> t{};
    for (const OpRow& r : kOpRows) {
        if (r.hasOperand()) {
            t[op1(r.code)] = OpcodeInfo{r.name, 1, r.pops, r.pushes, r.operand};
            t[op2(r.code)] = OpcodeInfo{r.name, 2, r.pops, r.pushes, r.operand};
        } else {
            t[r.code] = OpcodeInfo{r.name, 0, r.pops, r.pushes, r.operand};
        }
    }
    return t;
}

} // namespace detail

// Indexed by opcode byte.
inline constexpr std::array<OpcodeInfo, 256> kOpcodes = detail::buildOpcodeTable();

// The opcode of the operation called `name` in assembly text (the one-byte form of one with an
// operand), or -1.
constexpr int opcodeNamed(std::string_view name) {
    for (const detail::OpRow& r : detail::kOpRows)
        if (name == r.name) return r.hasOperand() ? op1(r.code) : r.code;
    return -1;
}

// The operation an opcode performs: the opcode itself without an operand, x with one.
constexpr uint8_t opBase(uint8_t opcode) {
    return opcode >= 0x40 ? opcode & 0x3F : opcode;
}

// Jumps leave the program counter where they put it; everything else moves on by its length.
constexpr bool isJumpOpcode(uint8_t opcode) {
    const OperandKind k = kOpcodes[opcode].operand;
    return k == OperandKind::kForward || k == OperandKind::kBack;
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
        in.operand = kOpcodes[in.opcode].operand == OperandKind::kInteger
                         ? static_cast<int8_t>(code[pc + 1])
                         : code[pc + 1];
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
