#include "script/langprinter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "script/asmsyntax.h"
#include "script/langlexer.h"
#include "script/langnames.h"
#include "script/opcodes.h"

// GCC 12 at -O3 takes some string concatenations here for overlapping copies (its bug 105329).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

namespace skv {

namespace {

// Binding strength, loosest first, as the parser reads them.
enum Level { kOr = 1, kAnd, kNot, kCompare, kConcat, kAdd, kMul, kUnary, kPrimary };

int binaryLevel(uint8_t op) {
    switch (op) {
    case opOr:
        return kOr;
    case opAnd:
        return kAnd;
    case opConcat:
    case opConcatSpace:
        return kConcat;
    case opAdd:
    case opSub:
        return kAdd;
    case opMul:
    case opDiv:
    case opMod:
        return kMul;
    default:
        return kCompare;
    }
}

const char* binaryText(uint8_t op) {
    switch (op) {
    case opOr:
        return "or";
    case opAnd:
        return "and";
    case opConcat:
        return "&";
    case opConcatSpace:
        return "&&";
    case opAdd:
        return "+";
    case opSub:
        return "-";
    case opMul:
        return "*";
    case opDiv:
        return "/";
    case opMod:
        return "mod";
    case opEq:
        return "=";
    case opNe:
        return "<>";
    case opLt:
        return "<";
    case opLe:
        return "<=";
    case opGt:
        return ">";
    case opGe:
        return ">=";
    case opContains:
        return "contains";
    default:
        return "starts";
    }
}

std::string symbolText(const std::string& name) {
    if (isIdentifier(name)) return "#" + name;
    std::string quoted = langNameText(name);
    if (quoted[0] != '\'') quoted = "'" + quoted + "'";
    return "#" + quoted;
}

// The float the bits hold, written so that reading it back gives the same bits; empty when no
// such text exists (NaN).
std::string floatText(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    if (!std::isfinite(f)) return "";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", double(f));
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    float back = std::strtof(s.c_str(), nullptr);
    uint32_t again;
    std::memcpy(&again, &back, 4);
    return again == bits ? s : "";
}

int level(const Expr& e) {
    switch (e.kind) {
    case Expr::Kind::kBinary:
        return binaryLevel(e.op);
    case Expr::Kind::kUnary:
        return e.op == opNot ? kNot : kUnary;
    case Expr::Kind::kSpriteTest:
        return kCompare;
    case Expr::Kind::kInt:
        return e.value < 0 ? kUnary : kPrimary;
    case Expr::Kind::kFloat:
        return floatText(uint32_t(e.value))[0] == '-' ? kUnary : kPrimary;
    case Expr::Kind::kProp:
        // "of host" reads an object when a value follows: keep what follows out of it.
        return e.prop == PropForm::kEntity && e.category == 0 && e.args.empty() &&
                       !langEntityOf(0, e.number)
                   ? kOr - 1
                   : kPrimary;
    default:
        return kPrimary;
    }
}

std::string expr(const Expr& e, int minLevel);

std::string args(const std::vector<Expr>& a, size_t from) {
    std::string s;
    for (size_t i = from; i < a.size(); ++i) {
        if (i > from) s += ", ";
        s += expr(a[i], kOr);
    }
    return s;
}

// An expression an "of" follows: "the frame of" would read as the frame of something, so all
// but the plainest values go in parentheses.
std::string beforeOf(const Expr& e) {
    switch (e.kind) {
    case Expr::Kind::kInt:
    case Expr::Kind::kText:
    case Expr::Kind::kSymbol:
    case Expr::Kind::kVar:
    case Expr::Kind::kCall:
        return expr(e, kUnary);
    default:
        return "(" + expr(e, kOr) + ")";
    }
}

std::string chunkText(const Expr& e) {
    std::string s;
    for (int k = 0; k < 4; ++k) {
        const Expr& first = e.args[size_t(2 * k)];
        const Expr& last = e.args[size_t(2 * k + 1)];
        const bool zeroFirst = first.kind == Expr::Kind::kInt && first.value == 0;
        const bool zeroLast = last.kind == Expr::Kind::kInt && last.value == 0;
        if (zeroFirst && zeroLast) continue;
        s += kLangChunkWords[k];
        s += ' ';
        s += beforeOf(first);
        if (!zeroLast) s += " to " + beforeOf(last);
        s += " of ";
    }
    if (s.empty()) s = "char 0 to 0 of "; // not reached: the decompiler keeps such chunks as asm
    return s + expr(e.args[8], kUnary);
}

std::string propText(const Expr& e) {
    switch (e.prop) {
    case PropForm::kNamed:
        return "the " + e.text;
    case PropForm::kNamedAlt:
        return "the " + e.text + " of movie";
    case PropForm::kObject:
        return "the " + e.text + " of " + expr(e.args[0], kUnary);
    case PropForm::kEntity:
        break;
    }
    const auto obj = [&](size_t i) { return expr(e.args[i], kUnary); };
    const LangEntity* named = langEntityOf(e.category, e.number);
    switch (e.category) {
    case 0:
        if (e.args.size() == 1 && e.number >= 12 && e.number <= 15)
            return std::string("the last ") + kLangChunkWords[e.number - 12] + " of " + obj(0);
        if (named && e.args.empty()) return std::string("the ") + named->name;
        return "the property " + std::to_string(e.number) + " of host" +
               (e.args.empty() ? "" : " " + obj(0));
    case 1:
        if (e.number >= 1 && e.number <= 4)
            return std::string("the number of ") + kLangChunkPlurals[e.number - 1] + " in " +
                   obj(0);
        return "the property " + std::to_string(e.number) + " of count " + obj(0);
    case 6:
        return (named ? std::string("the ") + named->name
                      : "the property " + std::to_string(e.number)) +
               " of sprite " + obj(0);
    case 7:
        return named ? std::string("the ") + named->name
                     : "the property " + std::to_string(e.number) + " of system";
    case 9: {
        const bool castLib =
            e.args.size() > 1 && !(e.args[1].kind == Expr::Kind::kInt && e.args[1].value == 0);
        std::string s = (named ? std::string("the ") + named->name
                               : "the property " + std::to_string(e.number)) +
                        " of member " + (castLib ? beforeOf(e.args[0]) : obj(0));
        // The cast library 0 the compiler pushes when none is written is left out.
        if (castLib) s += " of castLib " + obj(1);
        return s;
    }
    default:
        return "the property " + std::to_string(e.number) + " of category " +
               std::to_string(e.category) + " " + obj(0);
    }
}

std::string callText(const Expr& e) {
    switch (e.call) {
    case Expr::Call::kIndirect: {
        const Expr& callee = e.args[0];
        std::string c = callee.kind == Expr::Kind::kVar ? langNameText(callee.text)
                        : callee.kind == Expr::Kind::kSymbol || callee.kind == Expr::Kind::kProp
                            ? expr(callee, kPrimary)
                            : "(" + expr(callee, kOr) + ")";
        return "call " + c + "(" + args(e.args, 1) + ")";
    }
    case Expr::Call::kExternal:
        return "external " + langNameText(e.text) + "(" + args(e.args, 0) + ")";
    case Expr::Call::kPoint:
    case Expr::Call::kRect:
        return "[" + args(e.args, 0) + "]";
    case Expr::Call::kPlain:
        break;
    }
    return langNameText(e.text) + "(" + args(e.args, 0) + ")";
}

std::string expr(const Expr& e, int minLevel) {
    std::string s;
    switch (e.kind) {
    case Expr::Kind::kInt:
        s = std::to_string(e.value);
        break;
    case Expr::Kind::kFloat: {
        s = floatText(uint32_t(e.value));
        if (s.empty()) s = "literal(9, " + std::to_string(int32_t(uint32_t(e.value))) + ")";
        break;
    }
    case Expr::Kind::kText:
        s = langTextLiteral(e.text);
        break;
    case Expr::Kind::kSymbol:
        s = symbolText(e.text);
        break;
    case Expr::Kind::kRaw:
        s = "literal(" + std::to_string(e.rawType) + ", " +
            std::to_string(int32_t(uint32_t(e.value))) + ")";
        break;
    case Expr::Kind::kVar:
        s = langNameText(e.text);
        break;
    case Expr::Kind::kCall:
        s = callText(e);
        break;
    case Expr::Kind::kBinary: {
        const int l = binaryLevel(e.op);
        s = expr(e.args[0], l) + " " + binaryText(e.op) + " " + expr(e.args[1], l + 1);
        break;
    }
    case Expr::Kind::kUnary:
        if (e.op == opNot) {
            s = "not " + expr(e.args[0], kNot);
        } else {
            const Expr& a = e.args[0];
            std::string inner = expr(a, kUnary);
            // -5 is a number of its own: the negation of 5 is written -(5).
            if (a.kind == Expr::Kind::kInt || a.kind == Expr::Kind::kFloat || inner[0] == '-')
                inner = "(" + expr(a, kOr) + ")";
            s = "-" + inner;
        }
        break;
    case Expr::Kind::kChunk:
        s = chunkText(e);
        break;
    case Expr::Kind::kProp:
        s = propText(e);
        break;
    case Expr::Kind::kSpriteTest:
        s = "sprite " + expr(e.args[0], kAdd) +
            (e.op == opSpriteIntersects ? " intersects sprite " : " within sprite ") +
            expr(e.args[1], kAdd);
        break;
    }
    return level(e) < minLevel ? "(" + s + ")" : s;
}

class Printer {
public:
    std::string out;
    void line(int depth, const std::string& text) {
        out.append(size_t(2 * depth), ' ');
        out += text;
        out += '\n';
    }
    void comment(int depth, const std::string& text) {
        size_t at = 0;
        while (at < text.size()) {
            size_t nl = std::min(text.find('\n', at), text.size());
            line(depth, "-- " + text.substr(at, nl - at));
            at = nl + 1;
        }
    }
    void block(const Block& b, int depth) {
        for (const Stmt& s : b)
            stmt(s, depth);
    }
    void ifChain(const Stmt& s, int depth, bool chained) {
        line(depth, std::string(chained ? "else if " : "if ") + expr(s.exprs[0], kOr) + " then");
        block(s.blocks[0], depth + 1);
        if (s.hasElse) {
            const Block& e = s.blocks[1];
            if (e.size() == 1 && e[0].kind == Stmt::Kind::kIf && e[0].comment.empty()) {
                ifChain(e[0], depth, true);
            } else {
                line(depth, "else");
                block(e, depth + 1);
            }
        }
        if (!chained) line(depth, "end if");
    }
    void stmt(const Stmt& s, int depth);
};

void Printer::stmt(const Stmt& s, int depth) {
    if (!s.comment.empty()) comment(depth, s.comment);
    switch (s.kind) {
    case Stmt::Kind::kAssign:
        line(depth, langNameText(s.name) + " = " + expr(s.exprs[0], kOr));
        break;
    case Stmt::Kind::kSet:
        line(depth, "set " + propText(s.exprs[0]) + " to " + expr(s.exprs[1], kOr));
        break;
    case Stmt::Kind::kPut: {
        const char* how = s.mode == 0x25 ? " after " : s.mode == 0x35 ? " before " : " into ";
        const Expr& t = s.exprs[1];
        line(depth, "put " + expr(s.exprs[0], kOr) + how +
                        (t.kind == Expr::Kind::kChunk ? chunkText(t) : langNameText(t.text)));
        break;
    }
    case Stmt::Kind::kDelete:
        line(depth, "delete " + chunkText(s.exprs[0]));
        break;
    case Stmt::Kind::kCall: {
        const Expr& c = s.exprs[0];
        if (c.call == Expr::Call::kPlain) {
            std::string a = args(c.args, 0);
            line(depth, langNameText(c.text) + (a.empty() ? "" : " " + a));
        } else {
            line(depth, callText(c));
        }
        break;
    }
    case Stmt::Kind::kIf:
        ifChain(s, depth, false);
        break;
    case Stmt::Kind::kWhile:
        line(depth, "repeat while " + expr(s.exprs[0], kOr));
        block(s.blocks[0], depth + 1);
        line(depth, "end repeat");
        break;
    case Stmt::Kind::kRepeatWith:
        line(depth, "repeat with " + langNameText(s.name) + " = " + expr(s.exprs[0], kOr) +
                        (s.down ? " down to " : " to ") + expr(s.exprs[1], kOr));
        block(s.blocks[0], depth + 1);
        line(depth, "end repeat");
        break;
    case Stmt::Kind::kCase:
        line(depth, "case " + expr(s.exprs[0], kOr));
        for (size_t i = 1; i < s.exprs.size(); ++i) {
            line(depth + 1, "when " + expr(s.exprs[i], kOr));
            block(s.blocks[i - 1], depth + 2);
        }
        if (s.hasElse) {
            line(depth + 1, "else");
            block(s.blocks.back(), depth + 2);
        }
        line(depth, "end case");
        break;
    case Stmt::Kind::kExit:
        line(depth, "exit");
        break;
    case Stmt::Kind::kExitRepeat:
        line(depth, "exit repeat");
        break;
    case Stmt::Kind::kNextRepeat:
        line(depth, "next repeat");
        break;
    case Stmt::Kind::kReturn:
        line(depth, s.exprs.empty() ? "return" : "return " + expr(s.exprs[0], kOr));
        break;
    case Stmt::Kind::kSkip:
        line(depth, "skip");
        break;
    case Stmt::Kind::kTrace: {
        static const char* const kModes[] = {"read", "write", "field"};
        line(depth, std::string("trace ") + kModes[s.mode % 3] + " " + std::to_string(s.value));
        break;
    }
    case Stmt::Kind::kAsm:
        line(depth, "asm");
        for (const AsmText& a : s.asmLines)
            line(depth + 1, a.text);
        line(depth, "end asm");
        break;
    }
}

std::string names(const std::vector<std::string>& list) {
    std::string s;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) s += ", ";
        s += langNameText(list[i]);
    }
    return s;
}

} // namespace

std::string printScript(const Script& script) {
    Printer p;
    for (const std::string& c : script.comments)
        p.comment(0, c);
    if (script.wholeAsm) {
        p.line(0, "asm");
        for (const AsmText& a : script.asmLines)
            p.line(1, a.text);
        p.line(0, "end asm");
        return p.out;
    }
    if (script.hasVersion || script.version != 0)
        p.line(0, "version " + std::to_string(script.version));
    if (!script.globals.empty()) p.line(0, "global " + names(script.globals));
    if (!script.properties.empty()) p.line(0, "property " + names(script.properties));
    if (!script.externs.empty()) p.line(0, "external " + names(script.externs));
    if (script.hasLiterals && !script.literals.empty()) {
        std::string s = "literals ";
        for (size_t i = 0; i < script.literals.size(); ++i) {
            const LiteralDecl& l = script.literals[i];
            if (i) s += ", ";
            if (l.isText)
                s += langTextLiteral(l.text);
            else if (l.type == 4)
                s += std::to_string(int32_t(l.value));
            else
                s += "literal(" + std::to_string(l.type) + ", " + std::to_string(int32_t(l.value)) +
                     ")";
        }
        p.line(0, s);
    }
    for (const Handler& h : script.handlers) {
        if (!p.out.empty()) p.out += '\n';
        if (!h.comment.empty()) p.comment(0, h.comment);
        std::string head = "on " + langNameText(h.name);
        if (!h.params.empty()) {
            head += ' ';
            head += names(h.params);
        }
        p.line(0, head);
        if (!h.globals.empty()) p.line(1, "global " + names(h.globals));
        if (!h.properties.empty()) p.line(1, "property " + names(h.properties));
        if (!h.locals.empty()) p.line(1, "local " + names(h.locals));
        p.block(h.body, 1);
        p.line(0, "end");
    }
    return p.out;
}

} // namespace skv
