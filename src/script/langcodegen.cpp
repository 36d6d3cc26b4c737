// Script source to assembly: each construct as the instructions of docs/scripting.md, then the
// assembler for the block.
#include <algorithm>
#include <map>
#include <set>

#include "script/asmsyntax.h"
#include "script/langcompiler.h"
#include "script/langnames.h"
#include "script/langparser.h"
#include "script/opcodes.h"

namespace skv {

namespace {

enum class VarKind { kParam, kLocal, kGlobal, kProperty };

struct Var {
    VarKind kind;
    int slot = 0;
    std::string name;
};

// The jump targets of the innermost loop.
struct Loop {
    std::string breakLabel;
    std::string nextLabel;
    bool nextIsBack = true; // next repeat jumps back (while) or ahead to the step (repeat with)
};

const char* opName(uint8_t op) {
    return kOpcodes[op].name;
}

// A name as an assembly operand: #name, or the name quoted.
std::string nameOperand(const std::string& n) {
    return isIdentifier(n) ? "#" + n : quoteText(n);
}

class CodeGen {
public:
    CodeGen(const Script& s, std::vector<LangError>* errors) : s_(s), errors_(errors) {}
    // The assembly text and, per line, where it came from.
    bool run(std::string* text, std::vector<SrcPos>* lineSources);

private:
    void error(SrcPos pos, std::string message) { errors_->push_back({pos, std::move(message)}); }
    void emit(std::string line, SrcPos pos) {
        code_.push_back("    " + std::move(line));
        codePos_.push_back(pos);
    }
    void label(const std::string& l, SrcPos pos) {
        code_.push_back(l + ":");
        codePos_.push_back(pos);
    }
    std::string newLabel() { return "__" + std::to_string(++labels_); }

    void handler(const Handler& h, size_t index);
    void collectLocals(const Block& b, std::vector<std::string>& order);
    const Var* var(const std::string& name, SrcPos pos, bool quiet = false);
    void pushVar(const std::string& name, SrcPos pos);
    void popVar(const std::string& name, SrcPos pos);
    int literal(uint32_t type, uint32_t value, const std::string& text, bool isText);

    void block(const Block& b);
    void statement(const Stmt& st);
    void expr(const Expr& e);
    void call(const Expr& c, bool wantResult);
    void bounds(const Expr& chunk);
    // Pushes what getEntity or setEntity takes below the property number.
    void entityObjects(const Expr& p, bool forSet);
    int localSlot(const Expr& v, const char* what);

    const Script& s_;
    std::vector<LangError>* errors_;
    std::vector<std::string> code_;
    std::vector<SrcPos> codePos_;
    std::vector<LiteralDecl> literals_;
    std::vector<bool> literalIsText_;
    std::map<std::string, size_t> handlerIndex_;
    std::map<std::string, Var> vars_; // of the handler being compiled
    std::vector<Loop> loops_;
    int labels_ = 0;
};

int CodeGen::literal(uint32_t type, uint32_t value, const std::string& text, bool isText) {
    for (size_t i = 0; i < literals_.size(); ++i) {
        const LiteralDecl& l = literals_[i];
        if (literalIsText_[i] != isText || l.type != type) continue;
        if (isText ? l.text == text : l.value == value) return int(i);
    }
    LiteralDecl d;
    d.type = type;
    d.value = value;
    d.text = text;
    literals_.push_back(d);
    literalIsText_.push_back(isText);
    return int(literals_.size() - 1);
}

const Var* CodeGen::var(const std::string& name, SrcPos pos, bool quiet) {
    auto it = vars_.find(name);
    if (it != vars_.end()) return &it->second;
    if (!quiet)
        error(pos, "'" + name +
                       "' is no variable of this handler: give it a value first, or declare "
                       "it with a global line");
    return nullptr;
}

void CodeGen::pushVar(const std::string& name, SrcPos pos) {
    const Var* v = var(name, pos);
    if (!v) return;
    switch (v->kind) {
    case VarKind::kParam:
        emit("pushParam " + std::to_string(8 * v->slot), pos);
        break;
    case VarKind::kLocal:
        emit("pushLocal " + std::to_string(8 * v->slot), pos);
        break;
    case VarKind::kGlobal:
        emit("pushGlobal " + nameOperand(name), pos);
        break;
    case VarKind::kProperty:
        emit("pushGlobalAlt " + nameOperand(name), pos);
        break;
    }
}

void CodeGen::popVar(const std::string& name, SrcPos pos) {
    const Var* v = var(name, pos);
    if (!v) return;
    switch (v->kind) {
    case VarKind::kParam:
        emit("popParam " + std::to_string(8 * v->slot), pos);
        break;
    case VarKind::kLocal:
        emit("popLocal " + std::to_string(8 * v->slot), pos);
        break;
    case VarKind::kGlobal:
    case VarKind::kProperty:
        emit("popGlobal " + nameOperand(name), pos);
        break;
    }
}

// Names given values in the handler, in the order the text first does so.
void CodeGen::collectLocals(const Block& b, std::vector<std::string>& order) {
    auto add = [&](const std::string& n) {
        if (std::find(order.begin(), order.end(), n) == order.end()) order.push_back(n);
    };
    for (const Stmt& st : b) {
        switch (st.kind) {
        case Stmt::Kind::kAssign:
        case Stmt::Kind::kRepeatWith:
            add(st.name);
            break;
        case Stmt::Kind::kPut:
        case Stmt::Kind::kDelete: {
            const Expr& t = st.exprs.back();
            if (t.kind == Expr::Kind::kVar)
                add(t.text);
            else if (t.kind == Expr::Kind::kChunk && t.args.size() == 9 &&
                     t.args[8].kind == Expr::Kind::kVar)
                add(t.args[8].text);
            break;
        }
        default:
            break;
        }
        for (const Block& inner : st.blocks)
            collectLocals(inner, order);
    }
}

// Where the i-th name of a declaration stands, or the fallback.
SrcPos posOf(const std::vector<SrcPos>& at, size_t i, SrcPos fallback) {
    return i < at.size() ? at[i] : fallback;
}

void CodeGen::handler(const Handler& h, size_t index) {
    vars_.clear();
    loops_.clear();
    // Each name with where it is declared: the handler's own lines after the script's.
    std::map<std::string, SrcPos> globals, props;
    for (size_t i = 0; i < s_.globals.size(); ++i)
        globals.emplace(s_.globals[i], posOf(s_.globalPos, i, h.pos));
    for (size_t i = 0; i < s_.properties.size(); ++i)
        props.emplace(s_.properties[i], posOf(s_.propertyPos, i, h.pos));
    std::map<std::string, SrcPos> ownGlobals, ownProps;
    for (size_t i = 0; i < h.globals.size(); ++i)
        ownGlobals.emplace(h.globals[i], posOf(h.globalPos, i, h.pos));
    for (size_t i = 0; i < h.properties.size(); ++i)
        ownProps.emplace(h.properties[i], posOf(h.propertyPos, i, h.pos));
    // A clash of the script's own lines is reported once, by run().
    for (const auto& [g, at] : ownGlobals)
        if (props.count(g) || ownProps.count(g))
            error(ownProps.count(g) ? std::max(at, ownProps[g]) : at,
                  "'" + g + "' is declared both global and property");
    for (const auto& [p, at] : ownProps)
        if (globals.count(p) && !ownGlobals.count(p))
            error(at, "'" + p + "' is declared both global and property");
    globals.insert(ownGlobals.begin(), ownGlobals.end());
    props.insert(ownProps.begin(), ownProps.end());
    for (size_t i = 0; i < h.params.size(); ++i) {
        const std::string& p = h.params[i];
        if (vars_.count(p))
            error(posOf(h.paramPos, i, h.pos), "the parameter '" + p + "' is named twice");
        if (globals.count(p) || props.count(p))
            error(globals.count(p) ? globals[p] : props[p],
                  "'" + p + "' is a parameter and declared global or property");
        vars_[p] = {VarKind::kParam, int(i), p};
    }
    for (const auto& [g, at] : globals)
        if (!vars_.count(g)) vars_[g] = {VarKind::kGlobal, 0, g};
    for (const auto& [p, at] : props)
        if (!vars_.count(p)) vars_[p] = {VarKind::kProperty, 0, p};
    int slot = 0;
    for (size_t i = 0; i < h.locals.size(); ++i) {
        const std::string& l = h.locals[i];
        if (vars_.count(l)) {
            error(posOf(h.localPos, i, h.pos),
                  "the local '" + l + "' is already a parameter, a global or a local");
            continue;
        }
        vars_[l] = {VarKind::kLocal, slot++, l};
    }
    std::vector<std::string> assigned;
    collectLocals(h.body, assigned);
    for (const std::string& l : assigned)
        if (!vars_.count(l)) vars_[l] = {VarKind::kLocal, slot++, l};

    code_.push_back("");
    codePos_.push_back(h.pos);
    code_.push_back(".handler " + nameOperand(h.name) + " params " +
                    std::to_string(h.params.size()) + " locals " + std::to_string(slot) + "   ; #" +
                    std::to_string(index));
    codePos_.push_back(h.pos);
    if (h.params.size() > 32767 || slot > 32767) error(h.pos, "too many variables");
    block(h.body);
    if (h.body.empty() || h.body.back().kind != Stmt::Kind::kAsm) emit("ret", h.pos);
}

void CodeGen::block(const Block& b) {
    for (const Stmt& st : b)
        statement(st);
}

int CodeGen::localSlot(const Expr& v, const char* what) {
    const Var* x = var(v.text, v.pos);
    if (!x) return 0;
    if (x->kind != VarKind::kLocal) {
        error(v.pos, std::string(what) + " works on a local variable, and '" + v.text + "' is a " +
                         (x->kind == VarKind::kParam    ? "parameter"
                          : x->kind == VarKind::kGlobal ? "global"
                                                        : "property") +
                         ": copy it into a local first");
        return 0;
    }
    return x->slot;
}

void CodeGen::bounds(const Expr& chunk) {
    for (int i = 0; i < 8; ++i)
        expr(chunk.args[size_t(i)]);
}

void CodeGen::statement(const Stmt& st) {
    const SrcPos pos = st.pos;
    switch (st.kind) {
    case Stmt::Kind::kAssign:
        expr(st.exprs[0]);
        popVar(st.name, pos);
        break;
    case Stmt::Kind::kSet: {
        const Expr& p = st.exprs[0];
        switch (p.prop) {
        case PropForm::kNamed:
            expr(st.exprs[1]);
            emit("setNamedProp " + nameOperand(p.text), pos);
            break;
        case PropForm::kNamedAlt:
            error(pos, "'of movie' is for reading: write set the " + p.text + " to ...");
            break;
        case PropForm::kObject:
            expr(p.args[0]);
            expr(st.exprs[1]);
            emit("setObjectProp " + nameOperand(p.text), pos);
            break;
        case PropForm::kEntity:
            entityObjects(p, true);
            expr(st.exprs[1]);
            emit(p.number == 0 ? std::string("pushZero") : "pushInt " + std::to_string(p.number),
                 pos);
            emit("setEntity " + std::to_string(p.category), pos);
            break;
        }
        break;
    }
    case Stmt::Kind::kPut:
    case Stmt::Kind::kDelete: {
        const bool put = st.kind == Stmt::Kind::kPut;
        if (put) expr(st.exprs[0]);
        const Expr& target = st.exprs.back();
        const Expr* v = &target;
        if (target.kind == Expr::Kind::kChunk) {
            bounds(target);
            v = &target.args[8];
        } else {
            for (int i = 0; i < 8; ++i)
                emit("pushZero", pos);
        }
        const int slot = localSlot(*v, !put                                ? "delete"
                                       : target.kind == Expr::Kind::kChunk ? "put into a chunk"
                                       : st.mode == 0x25                   ? "put after"
                                                                           : "put before");
        emit("pushVarRef " + std::to_string(8 * slot), v->pos);
        if (put) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "0x%02X", st.mode);
            emit(std::string("putChunk ") + mode, pos);
        } else {
            emit("deleteChunk", pos);
        }
        break;
    }
    case Stmt::Kind::kCall:
        call(st.exprs[0], false);
        break;
    case Stmt::Kind::kIf: {
        const std::string elseL = newLabel(), endL = st.hasElse ? newLabel() : elseL;
        expr(st.exprs[0]);
        emit("jumpIfZero " + elseL, pos);
        block(st.blocks[0]);
        if (st.hasElse) {
            emit("jump " + endL, pos);
            label(elseL, pos);
            block(st.blocks[1]);
        }
        label(endL, pos);
        break;
    }
    case Stmt::Kind::kWhile: {
        const std::string top = newLabel(), end = newLabel();
        label(top, pos);
        expr(st.exprs[0]);
        emit("jumpIfZero " + end, pos);
        loops_.push_back({end, top, true});
        block(st.blocks[0]);
        loops_.pop_back();
        emit("jumpBack " + top, pos);
        label(end, pos);
        break;
    }
    case Stmt::Kind::kRepeatWith: {
        const std::string top = newLabel(), step = newLabel(), end = newLabel();
        expr(st.exprs[0]);
        popVar(st.name, pos);
        label(top, pos);
        pushVar(st.name, pos);
        expr(st.exprs[1]);
        emit(st.down ? "ge" : "le", pos);
        emit("jumpIfZero " + end, pos);
        loops_.push_back({end, step, false});
        block(st.blocks[0]);
        loops_.pop_back();
        label(step, pos);
        pushVar(st.name, pos);
        emit("pushInt 1", pos);
        emit(st.down ? "sub" : "add", pos);
        popVar(st.name, pos);
        emit("jumpBack " + top, pos);
        label(end, pos);
        break;
    }
    case Stmt::Kind::kCase: {
        const std::string end = newLabel();
        expr(st.exprs[0]);
        for (size_t i = 1; i < st.exprs.size(); ++i) {
            const std::string next = newLabel();
            emit("peek 0", st.exprs[i].pos);
            expr(st.exprs[i]);
            emit("eq", st.exprs[i].pos);
            emit("jumpIfZero " + next, st.exprs[i].pos);
            emit("drop 1", st.exprs[i].pos);
            if (i - 1 < st.blocks.size()) block(st.blocks[i - 1]);
            emit("jump " + end, st.exprs[i].pos);
            label(next, st.exprs[i].pos);
        }
        emit("drop 1", pos);
        if (st.hasElse && !st.blocks.empty()) block(st.blocks.back());
        label(end, pos);
        break;
    }
    case Stmt::Kind::kExit:
        emit("ret", pos);
        break;
    case Stmt::Kind::kExitRepeat:
    case Stmt::Kind::kNextRepeat:
        if (loops_.empty()) {
            error(pos, std::string(st.kind == Stmt::Kind::kExitRepeat ? "exit" : "next") +
                           " repeat stands outside any repeat");
            break;
        }
        if (st.kind == Stmt::Kind::kExitRepeat)
            emit("jump " + loops_.back().breakLabel, pos);
        else
            emit((loops_.back().nextIsBack ? "jumpBack " : "jump ") + loops_.back().nextLabel, pos);
        break;
    case Stmt::Kind::kReturn:
        if (!st.exprs.empty()) expr(st.exprs[0]);
        emit("argListNoResult " + std::to_string(st.exprs.size()), pos);
        emit("callExternal #return", pos);
        break;
    case Stmt::Kind::kSkip:
        emit("nop", pos);
        break;
    case Stmt::Kind::kTrace: {
        static const char* const kOps[] = {"pushProperty ", "popProperty ", "setField "};
        emit(kOps[st.mode] + std::to_string(st.value), pos);
        break;
    }
    case Stmt::Kind::kAsm:
        for (const AsmText& a : st.asmLines) {
            AsmLine l;
            std::string message;
            if (splitAsmLine(a.text, &l, &message) && !l.word.empty() && l.word[0] == '.' &&
                l.word != ".byte") {
                error(a.pos, "only instructions, labels and .byte stand in an asm block inside "
                             "a handler");
                continue;
            }
            code_.push_back(a.text);
            codePos_.push_back(a.pos);
        }
        break;
    }
}

void CodeGen::call(const Expr& c, bool wantResult) {
    size_t first = c.call == Expr::Call::kIndirect ? 1 : 0;
    for (size_t i = first; i < c.args.size(); ++i)
        expr(c.args[i]);
    if (c.call == Expr::Call::kIndirect && !c.args.empty()) expr(c.args[0]);
    const size_t n = c.args.size() - first;
    if (n > 32767) error(c.pos, "too many arguments");
    emit(std::string(wantResult ? "argList " : "argListNoResult ") + std::to_string(n), c.pos);
    switch (c.call) {
    case Expr::Call::kIndirect:
        emit("callIndirect", c.pos);
        break;
    case Expr::Call::kPoint:
        emit("callExternal #point", c.pos);
        break;
    case Expr::Call::kRect:
        emit("callExternal #rect", c.pos);
        break;
    case Expr::Call::kPlain: {
        auto it = handlerIndex_.find(c.text);
        if (it != handlerIndex_.end()) {
            emit("callLocal " + std::to_string(it->second), c.pos);
            break;
        }
        [[fallthrough]];
    }
    case Expr::Call::kExternal:
        emit("callExternal " + nameOperand(c.text), c.pos);
        break;
    }
}

void CodeGen::entityObjects(const Expr& p, bool forSet) {
    const int32_t c = p.category;
    if (c == 0 || c == 7) {
        if (forSet && !p.args.empty())
            error(p.pos, "this property of a text cannot be set");
        else if (!forSet && c == 0 && (p.number >= 12) != (p.args.size() == 1))
            error(p.pos, p.number >= 12 ? "this property of the host reads a text: write "
                                          "the property N of host TEXT"
                                        : "this property of the host takes no object");
        else if (!forSet)
            for (const Expr& o : p.args)
                expr(o);
        return;
    }
    if (c == 9) {
        if (p.args.size() > 1 && forSet) {
            error(p.args[1].pos, "a member's property is set without its castLib");
            return;
        }
        if (p.args.size() > 1 && s_.version < 5) {
            error(p.args[1].pos, "'of castLib' needs 'version 5' or more at the top of the "
                                 "script (older blocks take no cast library)");
            return;
        }
        expr(p.args[0]);
        if (!forSet && s_.version >= 5) {
            if (p.args.size() > 1)
                expr(p.args[1]);
            else
                emit("pushZero", p.pos);
        }
        return;
    }
    expr(p.args[0]);
}

void CodeGen::expr(const Expr& e) {
    const SrcPos pos = e.pos;
    switch (e.kind) {
    case Expr::Kind::kInt:
        if (e.value == 0)
            emit("pushZero", pos);
        else if (e.value >= -32768 && e.value <= 32767)
            emit("pushInt " + std::to_string(e.value), pos);
        else
            emit("pushLiteral L" + std::to_string(literal(4, uint32_t(e.value), "", false)), pos);
        break;
    case Expr::Kind::kFloat:
        emit("pushLiteral L" + std::to_string(literal(9, uint32_t(e.value), "", false)), pos);
        break;
    case Expr::Kind::kText:
        emit("pushLiteral L" + std::to_string(literal(1, 0, e.text, true)), pos);
        break;
    case Expr::Kind::kRaw:
        emit("pushLiteral L" + std::to_string(literal(e.rawType, uint32_t(e.value), "", false)),
             pos);
        break;
    case Expr::Kind::kSymbol:
        emit("pushSymbol " + nameOperand(e.text), pos);
        break;
    case Expr::Kind::kVar:
        pushVar(e.text, pos);
        break;
    case Expr::Kind::kCall:
        call(e, true);
        break;
    case Expr::Kind::kBinary:
        expr(e.args[0]);
        expr(e.args[1]);
        emit(opName(e.op), pos);
        break;
    case Expr::Kind::kUnary:
        expr(e.args[0]);
        emit(opName(e.op), pos);
        break;
    case Expr::Kind::kChunk:
        bounds(e);
        expr(e.args[8]);
        emit("getChunk", pos);
        break;
    case Expr::Kind::kSpriteTest:
        expr(e.args[0]);
        expr(e.args[1]);
        emit(opName(e.op), pos);
        break;
    case Expr::Kind::kProp:
        switch (e.prop) {
        case PropForm::kNamed:
            emit("getNamedProp " + nameOperand(e.text), pos);
            break;
        case PropForm::kNamedAlt:
            emit("getNamedPropAlt " + nameOperand(e.text), pos);
            break;
        case PropForm::kObject:
            expr(e.args[0]);
            emit("getObjectProp " + nameOperand(e.text), pos);
            break;
        case PropForm::kEntity:
            entityObjects(e, false);
            emit(e.number == 0 ? std::string("pushZero") : "pushInt " + std::to_string(e.number),
                 pos);
            emit("getEntity " + std::to_string(e.category), pos);
            break;
        }
        break;
    }
}

std::string literalLine(const LiteralDecl& l, bool isText) {
    if (isText) return ".literal text " + quoteText(l.text);
    if (l.type == 4) return ".literal int " + std::to_string(int32_t(l.value));
    if (l.type == 9) return ".literal float " + std::to_string(l.value);
    return ".literal raw " + std::to_string(l.type) + " " + std::to_string(l.value);
}

bool CodeGen::run(std::string* text, std::vector<SrcPos>* lineSources) {
    const size_t errorsBefore = errors_->size();
    std::vector<std::string> head;
    std::vector<SrcPos> headPos;
    if (s_.wholeAsm) {
        for (const AsmText& a : s_.asmLines) {
            head.push_back(a.text);
            headPos.push_back(a.pos);
        }
    } else {
        for (const LiteralDecl& d : s_.literals) {
            literals_.push_back(d);
            literalIsText_.push_back(d.isText);
        }
        for (size_t i = 0; i < s_.properties.size(); ++i)
            for (size_t k = 0; k < s_.globals.size(); ++k)
                if (s_.globals[k] == s_.properties[i])
                    error(std::max(posOf(s_.propertyPos, i, {}), posOf(s_.globalPos, k, {})),
                          "'" + s_.globals[k] + "' is declared both global and property");
        for (size_t i = 0; i < s_.handlers.size(); ++i) {
            const Handler& h = s_.handlers[i];
            if (!handlerIndex_.emplace(h.name, i).second)
                error(h.pos, "the handler '" + h.name + "' is defined twice in this script");
        }
        for (size_t i = 0; i < s_.handlers.size(); ++i)
            handler(s_.handlers[i], i);
        head.push_back(".version " + std::to_string(s_.version));
        headPos.push_back({});
        for (const std::string& x : s_.externs) {
            head.push_back(".extern " + quoteText(x));
            headPos.push_back({});
        }
        for (size_t i = 0; i < literals_.size(); ++i) {
            head.push_back(literalLine(literals_[i], literalIsText_[i]) + "   ; L" +
                           std::to_string(i));
            headPos.push_back(i < s_.literals.size() ? s_.literals[i].pos : SrcPos{});
        }
    }
    text->clear();
    lineSources->clear();
    for (size_t i = 0; i < head.size(); ++i) {
        *text += head[i];
        *text += '\n';
        lineSources->push_back(headPos[i]);
    }
    for (size_t i = 0; i < code_.size(); ++i) {
        *text += code_[i];
        *text += '\n';
        lineSources->push_back(codePos_[i]);
    }
    return errors_->size() == errorsBefore;
}

bool lessPos(const LangError& a, const LangError& b) {
    return a.pos.line != b.pos.line ? a.pos.line < b.pos.line : a.pos.column < b.pos.column;
}

} // namespace

bool compileScriptTree(const Script& script, std::vector<uint8_t>* block,
                       std::vector<LangError>* errors, std::vector<std::string>* names,
                       AsmUses* uses, std::string* asmText) {
    std::vector<LangError> found;
    CodeGen gen(script, &found);
    std::string text;
    std::vector<SrcPos> sources;
    const bool ok = gen.run(&text, &sources);
    if (asmText) *asmText = text;
    auto sourceOf = [&](int asmLine) {
        return asmLine >= 1 && size_t(asmLine) <= sources.size() ? sources[size_t(asmLine - 1)]
                                                                 : SrcPos{};
    };
    if (ok) {
        // Names first met in a failed text must not stay in the movie's table.
        std::vector<std::string> grown = *names;
        std::vector<uint8_t> out;
        AsmError e;
        AsmUses u;
        if (assembleScript(text, &out, &e, &grown, &u)) {
            for (AsmName& n : u.handlers)
                n.line = sourceOf(n.line).line;
            for (AsmName& n : u.calls)
                n.line = sourceOf(n.line).line;
            if (uses) *uses = std::move(u);
            *names = std::move(grown);
            *block = std::move(out);
            return true;
        }
        SrcPos at = sourceOf(e.line);
        found.push_back({at, e.message});
    }
    std::stable_sort(found.begin(), found.end(), lessPos);
    errors->insert(errors->end(), found.begin(), found.end());
    return false;
}

bool compileScriptSource(std::string_view source, std::vector<uint8_t>* block,
                         std::vector<LangError>* errors, std::vector<std::string>* names,
                         AsmUses* uses) {
    Script script;
    std::vector<LangError> parseErrors;
    if (langParse(source, &script, &parseErrors))
        return compileScriptTree(script, block, errors, names, uses);
    // Report what the compiler finds too, but not in a handler the parser already found wrong:
    // there a missing line would make its own errors.
    std::vector<LangError> more;
    std::vector<uint8_t> unused;
    std::vector<std::string> scratch = *names;
    compileScriptTree(script, &unused, &more, &scratch);
    auto handlerOf = [&](int line) {
        for (size_t i = 0; i < script.handlers.size(); ++i)
            if (script.handlers[i].pos.line <= line && line <= script.handlers[i].endLine)
                return int(i);
        return -1;
    };
    std::set<int> broken;
    for (const LangError& e : parseErrors)
        broken.insert(handlerOf(e.pos.line));
    for (const LangError& e : more) {
        const int h = handlerOf(e.pos.line);
        if (h >= 0 && !broken.count(h)) parseErrors.push_back(e);
    }
    std::stable_sort(parseErrors.begin(), parseErrors.end(), lessPos);
    errors->insert(errors->end(), parseErrors.begin(), parseErrors.end());
    return false;
}

std::string langErrorText(std::string_view file, const LangError& e) {
    std::string s(file);
    if (e.pos.line > 0) s += ":" + std::to_string(e.pos.line);
    if (e.pos.column > 0) s += ":" + std::to_string(e.pos.column);
    s += ": ";
    s += e.message;
    return s;
}

} // namespace skv
