#include "script/langdecompiler.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "script/asmsyntax.h"
#include "script/bytes.h"
#include "script/langast.h"
#include "script/langcompiler.h"
#include "script/langnames.h"
#include "script/langprinter.h"
#include "script/opcodes.h"
#include "script/properties.h"
#include "script/scriptblock.h"

namespace skv {

namespace {

bool fitsNarrow(OperandKind kind, int64_t v) {
    return kind == OperandKind::kInteger ? (v >= -128 && v <= 127) : (v >= 0 && v <= 255);
}

struct LiteralAt {
    uint32_t type = 0;
    uint32_t value = 0;
    std::string text;
};

LiteralAt literalAt(const ScriptBlock& b, uint32_t i) {
    const uint8_t* e = b.data() + readU32(b.data() + 80) + 8 * i;
    LiteralAt l{readU32(e), readU32(e + 4), ""};
    if (l.type == ScriptBlock::kLiteralText) l.text = b.literal(int32_t(8 * i)).text();
    return l;
}

// A nameId as an assembly operand: the name when it has one the assembler reads back as the same
// index, else the number.
std::string nameOperand(int32_t id, const std::vector<std::string>& names, bool property) {
    if (id < 0 || size_t(id) >= names.size()) return std::to_string(id);
    const std::string& n = names[size_t(id)];
    if (n.empty() || std::find(names.begin(), names.end(), n) - names.begin() != id)
        return std::to_string(id);
    if (property && !isNamedProperty(n)) return std::to_string(id);
    return isIdentifier(n) ? "#" + n : quoteText(n);
}

struct Ins {
    uint32_t pc = 0;
    uint8_t opcode = 0;
    uint8_t op = 0; // the opcode, or its one-byte form for an operation with an operand
    int32_t operand = 0;
    uint32_t length = 1;
    bool valid = true;
    uint32_t end() const { return pc + length; }
    bool is(uint8_t o) const { return valid && op == o; }
};

std::vector<Ins> decode(const ScriptBlock& b, uint32_t from, uint32_t to, bool* allValid) {
    std::vector<Ins> out;
    *allValid = true;
    for (uint32_t pc = from; pc < to;) {
        Instruction in = decodeInstruction(b.data(), pc, to);
        Ins i;
        i.pc = pc;
        if (in.length == 0 || !kOpcodes[in.opcode].valid()) {
            i.valid = false;
            i.opcode = b.data()[pc];
            i.length = in.length == 0 ? to - pc : 1;
            *allValid = false;
        } else {
            i.opcode = in.opcode;
            i.op = kOpcodes[in.opcode].width ? op1(opBase(in.opcode)) : in.opcode;
            i.operand = in.operand;
            i.length = in.length;
        }
        out.push_back(i);
        pc += i.length;
    }
    return out;
}

std::string insText(const ScriptBlock& b, const Ins& i, const std::vector<std::string>& names,
                    uint32_t literals, bool* usesLiterals) {
    if (!i.valid) {
        std::string s = ".byte";
        for (uint32_t k = 0; k < i.length; ++k)
            s += " " + std::to_string(b.data()[i.pc + k]);
        return s;
    }
    const OpcodeInfo& info = kOpcodes[i.opcode];
    std::string s = info.name;
    if (!info.width) return s;
    const OperandKind kind = info.operand;
    if (i.length == 3 && fitsNarrow(kind, i.operand)) s += ".w";
    s += ' ';
    switch (kind) {
    case OperandKind::kNameId:
        s += nameOperand(i.operand, names, false);
        break;
    case OperandKind::kProperty:
        s += nameOperand(i.operand, names, true);
        break;
    case OperandKind::kLiteral:
        if (i.operand >= 0 && i.operand % 8 == 0 && uint32_t(i.operand / 8) < literals) {
            s += "L" + std::to_string(i.operand / 8);
            *usesLiterals = true;
        } else {
            s += std::to_string(i.operand);
        }
        break;
    default:
        s += std::to_string(i.operand);
        break;
    }
    return s;
}

// What the decompiler may not write as statements, found by compiling what it wrote.
struct Plan {
    std::map<int, std::set<uint32_t>> forced; // handler -> pcs of statements to write as asm
    std::set<int> asmHandlers;
    bool literals = false;
    bool wholeAsm = false;
};

struct LoopTargets {
    uint32_t breakPc = 0;
    uint32_t nextPc = 0;
    bool nextBack = true;
};

struct Failed {};

class HandlerDecompiler {
public:
    HandlerDecompiler(const ScriptBlock& b, const std::vector<std::string>& names, int index,
                      const std::set<uint32_t>& forced, std::set<std::string>& taken,
                      const std::vector<std::string>& handlerNames)
        : b_(b), names_(names), index_(index), forced_(forced), taken_(taken),
          handlerNames_(handlerNames) {}

    // The handler; `starts` receives the pc of each top-level statement.
    Handler run(std::vector<uint32_t>* starts, int* asmCount, bool* usesLiterals);

private:
    [[noreturn]] static void fail() { throw Failed{}; }
    size_t indexOf(uint32_t pc) const {
        auto it = byPc_.find(pc);
        if (it == byPc_.end()) fail();
        return it->second;
    }
    uint32_t pcOf(size_t i) const { return i < ins_.size() ? ins_[i].pc : end_; }
    std::string nameOf(int32_t id) const {
        if (id < 0 || size_t(id) >= names_.size()) fail();
        return names_[size_t(id)];
    }
    std::string paramName(int32_t off) const {
        if (off < 0 || off % 8 || off / 8 >= h_.paramCount) fail();
        return params_[size_t(off / 8)];
    }
    std::string localName(int32_t off) const {
        if (off < 0 || off % 8 || off / 8 >= h_.localCount) fail();
        return locals_[size_t(off / 8)];
    }
    std::string fresh(const std::string& base);
    void useGlobal(const std::string& n, bool property);

    Expr leaf(Expr::Kind k) {
        Expr e;
        e.kind = k;
        return e;
    }
    // One instruction of an expression at ins_[i] onto the stack; false when it is none.
    bool step(size_t& i, std::vector<Expr>& st, size_t floor);
    Expr pop(std::vector<Expr>& st, size_t floor) {
        if (st.size() <= floor) fail();
        Expr e = std::move(st.back());
        st.pop_back();
        return e;
    }
    void seq(size_t from, size_t to, Block& out, const std::optional<LoopTargets>& loop);
    size_t statement(size_t i, size_t to, Block& out, const std::optional<LoopTargets>& loop);
    size_t control(size_t start, size_t j, size_t to, Expr cond, Block& out,
                   const std::optional<LoopTargets>& loop);
    size_t caseStatement(size_t j, size_t to, Expr subject, Block& out,
                         const std::optional<LoopTargets>& loop);
    // Where code that could not be written as statements from `i` on may stop: the first point
    // after it where the stack is as it was and no jump crosses; `to` when there is none.
    size_t resync(size_t i, size_t to) const;
    Stmt asmOf(size_t from, size_t to, bool* usesLiterals) const;

    const ScriptBlock& b_;
    const std::vector<std::string>& names_;
    int index_;
    const std::set<uint32_t>& forced_;
    std::set<std::string>& taken_;
    const std::vector<std::string>& handlerNames_;
    HandlerInfo h_;
    std::vector<Ins> ins_;
    std::map<uint32_t, size_t> byPc_;
    uint32_t end_ = 0;
    std::vector<std::string> params_, locals_;
    std::set<std::string> globals_, properties_, written_;
    int depth_ = 0; // blocks open around the statement being read
};

std::string HandlerDecompiler::fresh(const std::string& base) {
    std::string n = base;
    while (taken_.count(n) || langIsKeyword(n))
        n += "_";
    taken_.insert(n);
    return n;
}

void HandlerDecompiler::useGlobal(const std::string& n, bool property) {
    // A name is one kind of variable in a handler; a block that reads it both ways keeps the
    // second way as assembly.
    if ((property ? globals_ : properties_).count(n)) fail();
    if (std::find(params_.begin(), params_.end(), n) != params_.end() ||
        std::find(locals_.begin(), locals_.end(), n) != locals_.end())
        fail();
    (property ? properties_ : globals_).insert(n);
}

bool HandlerDecompiler::step(size_t& i, std::vector<Expr>& st, size_t floor) {
    const Ins& in = ins_[i];
    if (!in.valid) fail();
    Expr e;
    switch (in.op) {
    case opPushZero:
        e = leaf(Expr::Kind::kInt);
        break;
    case op1(opPushInt):
        e = leaf(Expr::Kind::kInt);
        e.value = in.operand;
        break;
    case op1(opPushLiteral): {
        if (in.operand < 0 || in.operand % 8 || uint32_t(in.operand / 8) >= b_.literalCount())
            fail();
        LiteralAt l = literalAt(b_, uint32_t(in.operand / 8));
        if (l.type == ScriptBlock::kLiteralText) {
            e = leaf(Expr::Kind::kText);
            e.text = l.text;
        } else if (l.type == ScriptBlock::kLiteralInteger) {
            e = leaf(Expr::Kind::kInt);
            e.value = int32_t(l.value);
        } else if (l.type == ScriptBlock::kLiteralFloat) {
            e = leaf(Expr::Kind::kFloat);
            e.value = l.value;
        } else {
            e = leaf(Expr::Kind::kRaw);
            e.rawType = l.type;
            e.value = l.value;
        }
        break;
    }
    case op1(opPushSymbol):
        e = leaf(Expr::Kind::kSymbol);
        e.text = nameOf(in.operand);
        if (e.text.empty()) fail();
        break;
    case op1(opPushVarRef):
        e = leaf(Expr::Kind::kVar);
        e.text = localName(in.operand);
        e.rawType = 1; // a reference, for put and delete only
        break;
    case op1(opPushGlobal):
    case op1(opPushGlobalAlt):
        e = leaf(Expr::Kind::kVar);
        e.text = nameOf(in.operand);
        if (e.text.empty()) fail();
        useGlobal(e.text, in.op == op1(opPushGlobalAlt));
        break;
    case op1(opPushParam):
        e = leaf(Expr::Kind::kVar);
        e.text = paramName(in.operand);
        break;
    case op1(opPushLocal):
        e = leaf(Expr::Kind::kVar);
        e.text = localName(in.operand);
        break;
    case opMul:
    case opAdd:
    case opSub:
    case opDiv:
    case opMod:
    case opConcat:
    case opConcatSpace:
    case opLt:
    case opLe:
    case opNe:
    case opEq:
    case opGt:
    case opGe:
    case opAnd:
    case opOr:
    case opContains:
    case opStartsWith:
    case opSpriteIntersects:
    case opSpriteWithin: {
        Expr r = pop(st, floor), l = pop(st, floor);
        e.kind = in.op == opSpriteIntersects || in.op == opSpriteWithin ? Expr::Kind::kSpriteTest
                                                                        : Expr::Kind::kBinary;
        e.op = in.op;
        e.args.push_back(std::move(l));
        e.args.push_back(std::move(r));
        break;
    }
    case opNegate:
    case opNot:
        e.kind = Expr::Kind::kUnary;
        e.op = in.op;
        e.args.push_back(pop(st, floor));
        break;
    case opGetChunk: {
        e.kind = Expr::Kind::kChunk;
        e.args.resize(9);
        for (int k = 8; k >= 0; --k)
            e.args[size_t(k)] = pop(st, floor);
        break;
    }
    case op1(opGetNamedProp):
    case op1(opGetNamedPropAlt):
    case op1(opGetObjectProp):
        e.kind = Expr::Kind::kProp;
        e.text = nameOf(in.operand);
        if (!isNamedProperty(e.text)) fail();
        e.prop = in.op == op1(opGetNamedProp)      ? PropForm::kNamed
                 : in.op == op1(opGetNamedPropAlt) ? PropForm::kNamedAlt
                                                   : PropForm::kObject;
        if (in.op == op1(opGetObjectProp)) e.args.push_back(pop(st, floor));
        break;
    case op1(opGetEntity): {
        Expr p = pop(st, floor);
        if (p.kind != Expr::Kind::kInt || p.value < -32768 || p.value > 32767) fail();
        e.kind = Expr::Kind::kProp;
        e.prop = PropForm::kEntity;
        e.category = in.operand;
        e.number = int32_t(p.value);
        size_t objects = 1;
        if (e.category == 7 || (e.category == 0 && e.number < 12)) objects = 0;
        if (e.category == 9 && b_.formatVersion() >= 5) objects = 2;
        e.args.resize(objects);
        for (size_t k = objects; k-- > 0;)
            e.args[k] = pop(st, floor);
        break;
    }
    case op1(opArgList): {
        if (i + 1 >= ins_.size()) fail();
        const Ins& c = ins_[i + 1];
        if (!c.is(op1(opCallLocal)) && !c.is(op1(opCallExternal)) && !c.is(op1(opCallIndirect)))
            fail();
        e.kind = Expr::Kind::kCall;
        if (c.op == op1(opCallIndirect)) {
            e.call = Expr::Call::kIndirect;
            e.args.push_back(pop(st, floor));
        } else if (c.op == op1(opCallLocal)) {
            const HandlerInfo* target = b_.handler(c.operand);
            if (!target || b_.findHandler(target->nameId) != c.operand) fail();
            e.text = nameOf(target->nameId);
        } else {
            e.text = nameOf(c.operand);
            if (e.text.empty()) fail();
            if (std::find(handlerNames_.begin(), handlerNames_.end(), e.text) !=
                handlerNames_.end())
                e.call = Expr::Call::kExternal;
        }
        const int32_t n = in.operand;
        if (n < 0 || size_t(n) + floor > st.size()) fail();
        std::vector<Expr> args(st.end() - n, st.end());
        st.resize(st.size() - size_t(n));
        for (Expr& a : args)
            e.args.push_back(std::move(a));
        ++i;
        break;
    }
    default:
        return false;
    }
    for (const Expr& a : e.args)
        if (a.kind == Expr::Kind::kVar && a.rawType == 1) fail();
    if (!setExprDepth(e)) fail();
    st.push_back(std::move(e));
    ++i;
    return true;
}

size_t HandlerDecompiler::resync(size_t i, size_t to) const {
    int depth = 0;
    int pendingArgs = -1;
    bool pendingResult = false;
    for (size_t k = i; k < to; ++k) {
        const Ins& in = ins_[k];
        if (!in.valid) return to;
        const OpcodeInfo& info = kOpcodes[in.opcode];
        switch (in.op) {
        case op1(opArgList):
        case op1(opArgListNoResult):
            pendingArgs = in.operand;
            pendingResult = in.op == op1(opArgList);
            break;
        case op1(opCallLocal):
        case op1(opCallExternal):
        case op1(opCallIndirect):
            if (pendingArgs < 0) return to;
            depth -= pendingArgs + (in.op == op1(opCallIndirect) ? 1 : 0);
            depth += pendingResult ? 1 : 0;
            break;
        case op1(opGetEntity):
        case op1(opSetEntity): {
            if (k == 0 || !(ins_[k - 1].is(op1(opPushInt)) || ins_[k - 1].is(opPushZero)))
                return to;
            const int32_t p = ins_[k - 1].is(opPushZero) ? 0 : ins_[k - 1].operand;
            const int32_t c = in.operand;
            int objects = (c == 7 || (c == 0 && (in.op == op1(opSetEntity) || p < 12))) ? 0 : 1;
            if (c == 9 && in.op == op1(opGetEntity) && b_.formatVersion() >= 5) objects = 2;
            depth -= 1 + objects + (in.op == op1(opSetEntity) ? 1 : 0);
            depth += in.op == op1(opGetEntity) ? 1 : 0;
            break;
        }
        case op1(opDrop):
            depth -= in.operand;
            break;
        default:
            depth += info.pushes - info.pops;
            break;
        }
        if (depth < 0) return to;
        if (depth != 0 || k + 1 == to) continue;
        // No jump leaves [i, k] except to its end, and none from elsewhere lands inside it.
        const uint32_t lo = pcOf(i), hi = pcOf(k + 1);
        bool crossing = false;
        for (size_t m = 0; m < ins_.size() && !crossing; ++m) {
            const Ins& j = ins_[m];
            if (!j.valid || !isJumpOpcode(j.opcode)) continue;
            int64_t target =
                j.op == op1(opJumpBack) ? int64_t(j.pc) - j.operand : int64_t(j.pc) + j.operand;
            const bool inside = m >= i && m <= k;
            if (inside && (target < lo || target > hi)) crossing = true;
            if (!inside && target > lo && target < hi) crossing = true;
        }
        if (!crossing) return k + 1;
    }
    return to;
}

Stmt HandlerDecompiler::asmOf(size_t from, size_t to, bool* usesLiterals) const {
    Stmt s;
    s.kind = Stmt::Kind::kAsm;
    const uint32_t literals = b_.literalCount();
    for (size_t k = from; k < to; ++k)
        s.asmLines.push_back({insText(b_, ins_[k], names_, literals, usesLiterals), {}});
    return s;
}

void HandlerDecompiler::seq(size_t from, size_t to, Block& out,
                            const std::optional<LoopTargets>& loop) {
    if (++depth_ > kMaxBlockDepth) {
        depth_ = 0;
        fail();
    }
    size_t i = from;
    while (i < to)
        i = statement(i, to, out, loop);
    --depth_;
}

size_t HandlerDecompiler::statement(size_t i, size_t to, Block& out,
                                    const std::optional<LoopTargets>& loop) {
    std::vector<Expr> st;
    size_t j = i;
    Stmt s;
    while (j < to) {
        if (step(j, st, 0)) continue;
        const Ins& in = ins_[j];
        if (!in.valid) fail();
        switch (in.op) {
        case op1(opArgListNoResult): {
            if (j + 1 >= to) fail();
            const Ins& c = ins_[j + 1];
            // A call with no result: the same instructions as one with a result, bar the count.
            std::vector<Expr> tmp = st;
            ins_[j].op = op1(opArgList);
            size_t k = j;
            const bool ok = [&] {
                try {
                    return step(k, tmp, 0);
                } catch (const Failed&) {
                    return false;
                }
            }();
            ins_[j].op = op1(opArgListNoResult);
            if (!ok || tmp.size() != 1) fail();
            Expr call = std::move(tmp.back());
            if (c.is(op1(opCallExternal)) && call.text == "return" && call.args.size() <= 1 &&
                call.call != Expr::Call::kIndirect) {
                s.kind = Stmt::Kind::kReturn;
                for (Expr& a : call.args)
                    s.exprs.push_back(std::move(a));
            } else {
                s.kind = Stmt::Kind::kCall;
                s.exprs.push_back(std::move(call));
            }
            out.push_back(std::move(s));
            return k;
        }
        case op1(opPopParam):
        case op1(opPopLocal):
        case op1(opPopGlobal):
            if (st.size() != 1) fail();
            s.kind = Stmt::Kind::kAssign;
            if (in.op == op1(opPopParam))
                s.name = paramName(in.operand);
            else if (in.op == op1(opPopLocal))
                s.name = localName(in.operand);
            else {
                s.name = nameOf(in.operand);
                if (s.name.empty()) fail();
                // Written alone, a name may be a global or a property: its reads decide.
                if (std::find(params_.begin(), params_.end(), s.name) != params_.end() ||
                    std::find(locals_.begin(), locals_.end(), s.name) != locals_.end())
                    fail();
                written_.insert(s.name);
            }
            s.exprs.push_back(pop(st, 0));
            out.push_back(std::move(s));
            return j + 1;
        case op1(opSetNamedProp):
        case op1(opSetObjectProp): {
            if (st.size() != (in.op == op1(opSetNamedProp) ? 1u : 2u)) fail();
            Expr p;
            p.kind = Expr::Kind::kProp;
            p.text = nameOf(in.operand);
            if (!isNamedProperty(p.text)) fail();
            p.prop = in.op == op1(opSetNamedProp) ? PropForm::kNamed : PropForm::kObject;
            Expr value = pop(st, 0);
            if (in.op == op1(opSetObjectProp)) p.args.push_back(pop(st, 0));
            s.kind = Stmt::Kind::kSet;
            s.exprs.push_back(std::move(p));
            s.exprs.push_back(std::move(value));
            out.push_back(std::move(s));
            return j + 1;
        }
        case op1(opSetEntity): {
            const int32_t c = in.operand;
            const size_t want = c == 0 || c == 7 ? 2 : 3;
            if (st.size() != want) fail();
            Expr num = pop(st, 0);
            if (num.kind != Expr::Kind::kInt || num.value < -32768 || num.value > 32767) fail();
            Expr value = pop(st, 0);
            Expr p;
            p.kind = Expr::Kind::kProp;
            p.prop = PropForm::kEntity;
            p.category = c;
            p.number = int32_t(num.value);
            if (want == 3) p.args.push_back(pop(st, 0));
            s.kind = Stmt::Kind::kSet;
            s.exprs.push_back(std::move(p));
            s.exprs.push_back(std::move(value));
            out.push_back(std::move(s));
            return j + 1;
        }
        case op1(opPutChunk):
        case op1(opDeleteChunk): {
            const bool put = in.op == op1(opPutChunk);
            if (st.size() != (put ? 10u : 9u)) fail();
            if (put && in.operand != 0x15 && in.operand != 0x25 && in.operand != 0x35) fail();
            Expr ref = std::move(st.back());
            st.pop_back();
            if (ref.kind != Expr::Kind::kVar || ref.rawType != 1) fail();
            ref.rawType = 0;
            bool anyBound = false;
            for (size_t k = put ? 1 : 0; k < st.size(); ++k)
                anyBound = anyBound || !(st[k].kind == Expr::Kind::kInt && st[k].value == 0);
            s.kind = put ? Stmt::Kind::kPut : Stmt::Kind::kDelete;
            s.mode = uint8_t(in.operand);
            if (put) s.exprs.push_back(std::move(st[0]));
            if (!anyBound) {
                // A whole variable: put before and after only ("put into" is an assignment).
                if (!put || s.mode == 0x15) fail();
                s.exprs.push_back(std::move(ref));
            } else {
                Expr chunk;
                chunk.kind = Expr::Kind::kChunk;
                for (size_t k = put ? 1 : 0; k < st.size(); ++k)
                    chunk.args.push_back(std::move(st[k]));
                chunk.args.push_back(std::move(ref));
                s.exprs.push_back(std::move(chunk));
            }
            out.push_back(std::move(s));
            return j + 1;
        }
        case opNop:
        case opRet:
        case op1(opPushProperty):
        case op1(opPopProperty):
        case op1(opSetField):
            if (!st.empty()) fail();
            if (in.op == opNop)
                s.kind = Stmt::Kind::kSkip;
            else if (in.op == opRet)
                s.kind = Stmt::Kind::kExit;
            else {
                s.kind = Stmt::Kind::kTrace;
                s.mode = in.op == op1(opPushProperty) ? 0 : in.op == op1(opPopProperty) ? 1 : 2;
                s.value = in.operand;
            }
            out.push_back(std::move(s));
            return j + 1;
        case op1(opJump):
        case op1(opJumpBack): {
            if (!st.empty() || !loop) fail();
            const int64_t target = in.op == op1(opJumpBack) ? int64_t(in.pc) - in.operand
                                                            : int64_t(in.pc) + in.operand;
            if (in.op == op1(opJump) && target == loop->breakPc)
                s.kind = Stmt::Kind::kExitRepeat;
            else if (target == loop->nextPc && (in.op == op1(opJumpBack)) == loop->nextBack)
                s.kind = Stmt::Kind::kNextRepeat;
            else
                fail();
            out.push_back(std::move(s));
            return j + 1;
        }
        case op1(opJumpIfZero): {
            if (st.size() != 1) fail();
            return control(i, j, to, pop(st, 0), out, loop);
        }
        case op1(opPeek):
            if (st.size() != 1 || in.operand != 0) fail();
            return caseStatement(j, to, pop(st, 0), out, loop);
        default:
            fail();
        }
    }
    fail();
}

size_t HandlerDecompiler::control(size_t start, size_t j, size_t to, Expr cond, Block& out,
                                  const std::optional<LoopTargets>& loop) {
    const Ins& jz = ins_[j];
    const uint32_t x = jz.pc + uint32_t(jz.operand);
    const uint32_t limit = pcOf(to);
    if (jz.operand <= int32_t(jz.length) - 1 || x > limit) fail();
    const size_t kx = indexOf(x);
    if (kx <= j + 1) {
        // if c then (nothing)
        Stmt s;
        s.kind = Stmt::Kind::kIf;
        s.exprs.push_back(std::move(cond));
        s.blocks.emplace_back();
        if (kx != j + 1) fail();
        out.push_back(std::move(s));
        return kx;
    }
    const Ins& last = ins_[kx - 1];
    if (last.is(op1(opJumpBack)) && last.pc - uint32_t(last.operand) == pcOf(start)) {
        // A loop. With the counter set just before and stepped at the end, a repeat with.
        Stmt s;
        size_t bodyEnd = kx - 1;
        LoopTargets targets{x, pcOf(start), true};
        if (!out.empty() && out.back().kind == Stmt::Kind::kAssign && kx >= j + 6 &&
            cond.kind == Expr::Kind::kBinary && (cond.op == opLe || cond.op == opGe) &&
            cond.args[0].kind == Expr::Kind::kVar && cond.args[0].text == out.back().name) {
            const Ins& push = ins_[kx - 5];
            const Ins& one = ins_[kx - 4];
            const Ins& op = ins_[kx - 3];
            const Ins& popv = ins_[kx - 2];
            const bool down = cond.op == opGe;
            std::vector<Expr> st;
            size_t k = kx - 5;
            bool pushesVar = false;
            try {
                pushesVar = step(k, st, 0) && st.size() == 1 && st[0].kind == Expr::Kind::kVar &&
                            st[0].text == out.back().name && st[0].rawType == 0;
            } catch (const Failed&) {
            }
            const bool popsVar = (popv.is(op1(opPopLocal)) && push.is(op1(opPushLocal))) ||
                                 (popv.is(op1(opPopParam)) && push.is(op1(opPushParam))) ||
                                 (popv.is(op1(opPopGlobal)) &&
                                  (push.is(op1(opPushGlobal)) || push.is(op1(opPushGlobalAlt))));
            if (pushesVar && popsVar && popv.operand == push.operand && one.is(op1(opPushInt)) &&
                one.operand == 1 && one.length == 2 && op.is(down ? opSub : opAdd) && kx - 5 > j) {
                s.kind = Stmt::Kind::kRepeatWith;
                s.name = out.back().name;
                s.down = down;
                s.exprs.push_back(std::move(out.back().exprs[0]));
                s.exprs.push_back(std::move(cond.args[1]));
                out.pop_back();
                bodyEnd = kx - 5;
                targets.nextPc = ins_[kx - 5].pc;
                targets.nextBack = false;
            }
        }
        if (s.kind != Stmt::Kind::kRepeatWith) {
            s.kind = Stmt::Kind::kWhile;
            s.exprs.push_back(std::move(cond));
        }
        s.blocks.emplace_back();
        seq(j + 1, bodyEnd, s.blocks[0], targets);
        out.push_back(std::move(s));
        return kx;
    }
    Stmt s;
    s.kind = Stmt::Kind::kIf;
    s.exprs.push_back(std::move(cond));
    if (last.is(op1(opJump))) {
        const uint32_t y = last.pc + uint32_t(last.operand);
        // "if c then next repeat" and "exit repeat" end in a jump that could also close a then
        // part; with nothing before it, it is the loop's.
        const bool loopJump = loop && kx - 1 == j + 1 &&
                              (y == loop->breakPc || (!loop->nextBack && y == loop->nextPc));
        if (!loopJump && y >= x && y <= limit && last.operand >= int32_t(last.length)) {
            const size_t ky = indexOf(y);
            s.hasElse = true;
            s.blocks.resize(2);
            seq(j + 1, kx - 1, s.blocks[0], loop);
            seq(kx, ky, s.blocks[1], loop);
            out.push_back(std::move(s));
            return ky;
        }
    }
    s.blocks.emplace_back();
    seq(j + 1, kx, s.blocks[0], loop);
    out.push_back(std::move(s));
    return kx;
}

size_t HandlerDecompiler::caseStatement(size_t j, size_t to, Expr subject, Block& out,
                                        const std::optional<LoopTargets>& loop) {
    Stmt s;
    s.kind = Stmt::Kind::kCase;
    s.exprs.push_back(std::move(subject));
    std::optional<uint32_t> end;
    size_t k = j;
    for (;;) {
        if (k >= to) fail();
        const Ins& in = ins_[k];
        if (in.is(op1(opPeek)) && in.operand == 0) {
            std::vector<Expr> st(2);
            ++k;
            while (k < to && !(ins_[k].is(opEq) && st.size() == 3))
                if (!step(k, st, 2)) fail();
            if (k + 2 >= to || st.size() != 3 || !ins_[k + 1].is(op1(opJumpIfZero))) fail();
            const Ins& drop = ins_[k + 2];
            if (!drop.is(op1(opDrop)) || drop.operand != 1) fail();
            const Ins& jz = ins_[k + 1];
            const uint32_t next = jz.pc + uint32_t(jz.operand);
            if (next <= drop.pc || next > pcOf(to)) fail();
            const size_t kn = indexOf(next);
            const Ins& jend = ins_[kn - 1];
            if (!jend.is(op1(opJump)) || kn - 1 < k + 3) fail();
            const uint32_t target = jend.pc + uint32_t(jend.operand);
            if (end ? target != *end : (target < next || target > pcOf(to))) fail();
            end = target;
            s.exprs.push_back(std::move(st[2]));
            s.blocks.emplace_back();
            seq(k + 3, kn - 1, s.blocks.back(), loop);
            k = kn;
        } else if (in.is(op1(opDrop)) && in.operand == 1 && end) {
            const size_t ke = indexOf(*end);
            if (ke < k + 1) fail();
            if (ke > k + 1) {
                s.hasElse = true;
                s.blocks.emplace_back();
                seq(k + 1, ke, s.blocks.back(), loop);
            }
            out.push_back(std::move(s));
            return ke;
        } else {
            fail();
        }
    }
}

Handler HandlerDecompiler::run(std::vector<uint32_t>* starts, int* asmCount, bool* usesLiterals) {
    h_ = *b_.handler(index_);
    Handler out;
    out.name = names_[size_t(h_.nameId)];
    for (int32_t i = 0; i < h_.paramCount; ++i)
        params_.push_back(fresh("p" + std::to_string(i + 1)));
    for (int32_t i = 0; i < h_.localCount; ++i)
        locals_.push_back(fresh("v" + std::to_string(i + 1)));
    out.params = params_;
    out.locals = locals_;
    end_ = h_.codeEnd;
    bool allValid = true;
    ins_ = decode(b_, h_.codeOffset, h_.codeEnd, &allValid);
    for (size_t i = 0; i < ins_.size(); ++i)
        byPc_[ins_[i].pc] = i;
    // The code ends in the ret every handler gets; without one, an empty asm block says so.
    size_t n = ins_.size();
    const bool endsInRet = n && ins_[n - 1].is(opRet);
    if (endsInRet) --n;
    size_t i = 0;
    while (i < n) {
        starts->push_back(ins_[i].pc);
        const size_t before = out.body.size();
        // A repeat with takes the assignment before it in: keep it to put back on failure.
        const std::optional<Stmt> last =
            before ? std::optional<Stmt>(out.body.back()) : std::nullopt;
        const auto savedGlobals = globals_, savedProps = properties_, savedWritten = written_;
        size_t next = 0;
        bool ok = !forced_.count(ins_[i].pc);
        if (ok) {
            try {
                next = statement(i, n, out.body, std::nullopt);
            } catch (const Failed&) {
                ok = false;
                depth_ = 0;
            }
        }
        if (!ok) {
            out.body.resize(before ? before - 1 : 0);
            if (last) out.body.push_back(*last);
            globals_ = savedGlobals;
            properties_ = savedProps;
            written_ = savedWritten;
            next = resync(i, n);
            Stmt a = asmOf(i, next, usesLiterals);
            a.comment = "the statement below has no form in the language: its instructions";
            out.body.push_back(std::move(a));
            ++*asmCount;
        }
        i = next;
    }
    if (endsInRet && !out.body.empty() && out.body.back().kind == Stmt::Kind::kAsm) {
        // A handler whose last statement is assembly gets no ret of its own: the block keeps it.
        out.body.back().asmLines.push_back({"ret", {}});
    } else if (!endsInRet) {
        Stmt a;
        a.kind = Stmt::Kind::kAsm;
        a.comment = "this handler does not end in ret";
        out.body.push_back(std::move(a));
    }
    for (const std::string& w : written_)
        if (!properties_.count(w)) globals_.insert(w);
    out.globals.assign(globals_.begin(), globals_.end());
    out.properties.assign(properties_.begin(), properties_.end());
    return out;
}

// The whole block in assembly.
Script wholeAsm(const ScriptBlock& b, const std::vector<std::string>& names) {
    Script s;
    s.wholeAsm = true;
    bool unused = false;
    s.asmLines.push_back({".version " + std::to_string(b.formatVersion()), {}});
    const uint32_t literals = b.literalCount();
    for (uint32_t i = 0; i < literals; ++i) {
        LiteralAt l = literalAt(b, i);
        std::string t;
        if (l.type == ScriptBlock::kLiteralText)
            t = ".literal text " + quoteText(l.text);
        else if (l.type == ScriptBlock::kLiteralInteger)
            t = ".literal int " + std::to_string(int32_t(l.value));
        else if (l.type == ScriptBlock::kLiteralFloat)
            t = ".literal float " + std::to_string(l.value);
        else
            t = ".literal raw " + std::to_string(l.type) + " " + std::to_string(l.value);
        s.asmLines.push_back({t + "   ; L" + std::to_string(i), {}});
    }
    for (int32_t i = 0; i < b.handlerCount(); ++i) {
        const HandlerInfo& h = *b.handler(i);
        const std::string name = nameOperand(h.nameId, names, false);
        s.asmLines.push_back({".handler " + name + " params " + std::to_string(h.paramCount) +
                                  " locals " + std::to_string(h.localCount),
                              {}});
        bool allValid = true;
        for (const Ins& in : decode(b, h.codeOffset, h.codeEnd, &allValid))
            s.asmLines.push_back({"    " + insText(b, in, names, literals, &unused), {}});
    }
    return s;
}

Script build(const ScriptBlock& b, const std::vector<std::string>& names, const Plan& plan,
             std::vector<std::vector<uint32_t>>* starts, DecompileReport* report) {
    if (plan.wholeAsm) return wholeAsm(b, names);
    Script s;
    s.version = b.formatVersion();
    s.hasVersion = s.version != 0;
    std::vector<std::string> handlerNames;
    for (int32_t i = 0; i < b.handlerCount(); ++i) {
        const int32_t id = b.handler(i)->nameId;
        if (id < 0 || size_t(id) >= names.size() || names[size_t(id)].empty())
            return wholeAsm(b, names);
        handlerNames.push_back(names[size_t(id)]);
    }
    std::set<std::string> sorted(handlerNames.begin(), handlerNames.end());
    if (sorted.size() != handlerNames.size()) return wholeAsm(b, names); // a name twice
    std::set<std::string> taken(names.begin(), names.end());
    bool usesLiterals = false;
    starts->assign(size_t(b.handlerCount()), {});
    static const std::set<uint32_t> kNone;
    for (int32_t i = 0; i < b.handlerCount(); ++i) {
        if (plan.asmHandlers.count(i)) {
            const HandlerInfo& h = *b.handler(i);
            Handler out;
            out.name = handlerNames[size_t(i)];
            for (int32_t k = 0; k < h.paramCount; ++k)
                out.params.push_back("p" + std::to_string(k + 1));
            std::set<std::string> mine = taken;
            for (std::string& p : out.params)
                while (mine.count(p) || langIsKeyword(p))
                    p += "_";
            Stmt a;
            a.kind = Stmt::Kind::kAsm;
            a.comment = "this handler is written in assembly: the language cannot say it the same "
                        "way";
            bool allValid = true;
            for (const Ins& in : decode(b, h.codeOffset, h.codeEnd, &allValid))
                a.asmLines.push_back({insText(b, in, names, b.literalCount(), &usesLiterals), {}});
            out.body.push_back(std::move(a));
            // The locals a handler in assembly keeps are declared, unused.
            for (int32_t k = 0; k < h.localCount; ++k) {
                std::string v = "v" + std::to_string(k + 1);
                while (mine.count(v) || langIsKeyword(v))
                    v += "_";
                out.locals.push_back(v);
            }
            s.handlers.push_back(std::move(out));
            if (report) ++report->asmHandlers;
            continue;
        }
        auto f = plan.forced.find(i);
        int asmCount = 0;
        std::set<std::string> mine = taken;
        HandlerDecompiler d(b, names, i, f == plan.forced.end() ? kNone : f->second, mine,
                            handlerNames);
        s.handlers.push_back(d.run(&(*starts)[size_t(i)], &asmCount, &usesLiterals));
        if (report) report->asmStatements += asmCount;
    }
    if (plan.literals || usesLiterals) {
        s.hasLiterals = true;
        for (uint32_t i = 0; i < b.literalCount(); ++i) {
            LiteralAt l = literalAt(b, i);
            LiteralDecl d;
            d.type = l.type;
            d.value = l.value;
            d.text = l.text;
            d.isText = l.type == ScriptBlock::kLiteralText;
            s.literals.push_back(d);
        }
    }
    return s;
}

// The first place where a compiled block differs from the original, in the order the decompiler
// can mend them: the header, the literals, then each handler's record and code.
struct Mismatch {
    enum Kind { kNone, kHeader, kLiterals, kRecord, kCode } kind = kNone;
    int handler = -1;
    uint32_t pc = 0; // kCode: the original's code byte
};

Mismatch firstMismatch(const ScriptBlock& a, const ScriptBlock& b) {
    Mismatch m;
    if (a.length() < ScriptBlock::kHeaderSize || b.length() < ScriptBlock::kHeaderSize ||
        a.handlerCount() != b.handlerCount() || a.formatVersion() != b.formatVersion()) {
        m.kind = Mismatch::kHeader;
        return m;
    }
    const uint32_t na = a.literalCount(), nb = b.literalCount();
    bool literalsDiffer = na != nb;
    for (uint32_t i = 0; i < na && !literalsDiffer; ++i) {
        LiteralAt x = literalAt(a, i), y = literalAt(b, i);
        literalsDiffer = x.type != y.type || x.text != y.text ||
                         (x.type != ScriptBlock::kLiteralText && x.value != y.value);
    }
    if (literalsDiffer) {
        m.kind = Mismatch::kLiterals;
        return m;
    }
    for (int32_t i = 0; i < a.handlerCount(); ++i) {
        const HandlerInfo& x = *a.handler(i);
        const HandlerInfo& y = *b.handler(i);
        m.handler = i;
        if (x.nameId != y.nameId || x.paramCount != y.paramCount || x.localCount != y.localCount) {
            m.kind = Mismatch::kRecord;
            return m;
        }
        const uint32_t lx = x.codeEnd - x.codeOffset, ly = y.codeEnd - y.codeOffset;
        for (uint32_t k = 0; k < std::max(lx, ly); ++k) {
            if (k < lx && k < ly && a.data()[x.codeOffset + k] == b.data()[y.codeOffset + k])
                continue;
            m.kind = Mismatch::kCode;
            m.pc = x.codeOffset + std::min(k, lx ? lx - 1 : 0);
            return m;
        }
    }
    m.kind = Mismatch::kHeader; // the same handlers, literals and code: the layout differs
    m.handler = -1;
    return m;
}

} // namespace

std::string decompileScript(const ScriptBlock& block, const std::vector<std::string>& names,
                            DecompileReport* report) {
    const std::vector<uint8_t> original(block.data(), block.data() + block.length());
    Plan plan;
    std::string best;
    for (int attempt = 0; attempt < 200; ++attempt) {
        DecompileReport r;
        std::vector<std::vector<uint32_t>> starts;
        Script s = build(block, names, plan, &starts, &r);
        r.wholeAsm = s.wholeAsm;
        std::string text = printScript(s);
        std::vector<uint8_t> again;
        std::vector<LangError> errors;
        std::vector<std::string> table = names;
        const bool compiled = compileScriptSource(text, &again, &errors, &table);
        if (compiled && again == original) {
            r.exact = true;
            if (report) *report = r;
            return text;
        }
        if (plan.wholeAsm) {
            // Not the compiler's layout: the same handlers, literals and code, laid out anew.
            s.comments.push_back("This block is not laid out the way the compiler lays blocks "
                                 "out: compiling this text gives the same handlers, literals "
                                 "and code in the compiler's layout.");
            if (report) *report = r;
            return printScript(s);
        }
        // Find where the text went wrong and keep that part as assembly.
        Mismatch m;
        if (compiled) {
            m = firstMismatch(block, ScriptBlock(again));
        } else if (!errors.empty()) {
            // The decompiler wrote something the compiler refuses: its handler, by line.
            m.kind = Mismatch::kRecord;
            int line = 1;
            for (size_t p = 0, h = 0; p < text.size(); ++p) {
                if (text.compare(p, 3, "on ") == 0 && (p == 0 || text[p - 1] == '\n')) {
                    if (line <= errors[0].pos.line) m.handler = int(h);
                    ++h;
                }
                if (text[p] == '\n') ++line;
            }
            if (m.handler < 0) m.kind = Mismatch::kHeader;
        }
        switch (m.kind) {
        case Mismatch::kLiterals:
            if (plan.literals) plan.wholeAsm = true;
            plan.literals = true;
            break;
        case Mismatch::kRecord:
            if (!plan.asmHandlers.insert(m.handler).second) plan.wholeAsm = true;
            break;
        case Mismatch::kCode: {
            // The top-level statement the first wrong byte belongs to.
            if (plan.asmHandlers.count(m.handler)) {
                plan.wholeAsm = true;
                break;
            }
            const auto& s0 = starts[size_t(m.handler)];
            auto it = std::upper_bound(s0.begin(), s0.end(), m.pc);
            if (it == s0.begin() || !plan.forced[m.handler].insert(*(it - 1)).second)
                plan.asmHandlers.insert(m.handler);
            break;
        }
        default:
            plan.wholeAsm = true;
            break;
        }
        best = text;
    }
    if (report) *report = DecompileReport{};
    return best;
}

} // namespace skv
