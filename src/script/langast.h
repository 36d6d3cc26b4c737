// The syntax tree of script source (docs/scripting.md): what the parser builds, the code
// generator compiles and the decompiler rebuilds from bytecode for the printer to write out.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace skv {

// A place in the source text, both 1-based; 0 when the node was not read from a text.
struct SrcPos {
    int line = 0;
    int column = 0;
    auto operator<=>(const SrcPos&) const = default;
};

// How a "the" expression or a set statement reaches its property.
enum class PropForm : uint8_t {
    kNamed,    // the frame                      getNamedProp / setNamedProp
    kNamedAlt, // the frame of movie             getNamedPropAlt
    kObject,   // the name of cast(3)           getObjectProp / setObjectProp
    kEntity,   // the locH of sprite 3           getEntity / setEntity
};

struct Expr {
    enum class Kind : uint8_t {
        kInt,        // value
        kFloat,      // value: the stored 32 bits; text: the number as written
        kText,       // text
        kSymbol,     // text: the name
        kRaw,        // literal(type, value): a literal of any other type
        kVar,        // text: the variable's name
        kCall,       // text: the name; args; call
        kBinary,     // op; args[0] op args[1]
        kUnary,      // op; args[0]
        kChunk,      // args[0..7] the eight bounds (char, word, item, line: first and last each),
                     // args[8] the text
        kProp,       // prop, text: the property's name (named forms), category and number
                     // (entity form); args: the objects
        kSpriteTest, // op (spriteIntersects or spriteWithin); args[0], args[1] the sprites
    };
    enum class Call : uint8_t {
        kPlain,    // name(...): this script's handler of that name, else a call by name
        kExternal, // external name(...): always by name
        kIndirect, // call callee(...): args[0] is the callee, the arguments follow
        kPoint,    // [h, v]
        kRect,     // [left, top, right, bottom]
    };

    Kind kind = Kind::kInt;
    SrcPos pos;
    int64_t value = 0;
    uint32_t rawType = 0;
    std::string text;
    uint8_t op = 0;
    Call call = Call::kPlain;
    PropForm prop = PropForm::kNamed;
    int32_t category = 0;
    int32_t number = 0;
    int depth = 1; // of the tree below and with this node
    std::vector<Expr> args;
};

// How deep expressions and blocks may nest: the compiler, the decompiler and the printer walk
// trees by recursion.
inline constexpr int kMaxExprDepth = 400;
inline constexpr int kMaxBlockDepth = 100;

// Sets the node's depth from its operands'; false when that is past kMaxExprDepth.
inline bool setExprDepth(Expr& e) {
    int d = 0;
    for (const Expr& a : e.args)
        d = a.depth > d ? a.depth : d;
    e.depth = d + 1;
    return e.depth <= kMaxExprDepth;
}

struct Stmt;
using Block = std::vector<Stmt>;

// One line of inline assembly and where it stands.
struct AsmText {
    std::string text;
    SrcPos pos;
};

struct Stmt {
    enum class Kind : uint8_t {
        kAssign,     // name = exprs[0]
        kSet,        // set <exprs[0] (a kProp)> to exprs[1]
        kPut,        // put exprs[0] into|before|after exprs[1] (a kChunk whose text is a kVar, or a
                     // kVar); mode 0x15, 0x25, 0x35
        kDelete,     // delete exprs[0] (a kChunk of a kVar)
        kCall,       // exprs[0] (a kCall) with no result wanted
        kIf,         // exprs[0]; blocks[0] then, blocks[1] else when hasElse
        kWhile,      // repeat while exprs[0]: blocks[0]
        kRepeatWith, // repeat with name = exprs[0] [down] to exprs[1]: blocks[0]
        kCase,       // case exprs[0]; when exprs[i] (i >= 1): blocks[i - 1]; else: the last block
                     // when hasElse
        kExit,       // exit: leave the handler
        kExitRepeat, // exit repeat
        kNextRepeat, // next repeat
        kReturn,     // return [exprs[0]]
        kSkip,       // skip: a nop
        kTrace,      // trace read|write|field N: mode 0, 1, 2; value N
        kAsm,        // asm ... end asm
    };
    Kind kind = Kind::kSkip;
    SrcPos pos;
    std::string name;
    std::vector<Expr> exprs;
    std::vector<Block> blocks;
    bool hasElse = false;
    bool down = false;
    uint8_t mode = 0;
    int64_t value = 0;
    std::vector<AsmText> asmLines;
    // Set by the decompiler: a note written as a comment above the statement.
    std::string comment;
};

struct Handler {
    std::string name;
    SrcPos pos;
    int endLine = 0; // the line of its "end" (the last line read when it has none)
    std::vector<std::string> params;
    std::vector<std::string> locals;     // declared with "local", in slot order
    std::vector<std::string> globals;    // declared in the handler
    std::vector<std::string> properties; // declared in the handler
    // Where each of the names above stands, when read from a text (else empty).
    std::vector<SrcPos> paramPos, localPos, globalPos, propertyPos;
    Block body;
    std::string comment; // decompiler: a note above the handler
};

// A literal table entry as a "literals" line declares it.
struct LiteralDecl {
    uint32_t type = 0; // 1 text, 4 integer, 9 float, other: raw
    uint32_t value = 0;
    std::string text;
    bool isText = false; // written as a text (a raw literal of type 1 is not one)
    SrcPos pos;
};

struct Script {
    int version = 0;
    bool hasVersion = false;
    std::vector<std::string> globals; // declared outside the handlers: for every handler
    std::vector<std::string> properties;
    std::vector<SrcPos> globalPos, propertyPos;
    // Names calls to which are meant to find nothing (the build checks every other call).
    std::vector<std::string> externs;
    bool hasLiterals = false; // a "literals" line fixes the table's first entries
    std::vector<LiteralDecl> literals;
    std::vector<Handler> handlers;
    // A whole block written in assembly: then nothing else may stand in the script.
    bool wholeAsm = false;
    std::vector<AsmText> asmLines;
    std::vector<std::string> comments; // decompiler: notes at the top
};

} // namespace skv
