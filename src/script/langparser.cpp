#include "script/langparser.h"

#include <cstring>
#include <optional>

#include "script/asmnames.h"
#include "script/langnames.h"
#include "script/opcodes.h"
#include "script/properties.h"

namespace skv {

namespace {

using TK = LangToken::Kind;

// Thrown to give up on the rest of a line once its error is recorded.
struct LineFailed {};

// The word that starts a line, for the block structure: "end if" is kEndIf.
enum class LineWord {
    kOther,
    kEnd,
    kEndIf,
    kEndRepeat,
    kEndCase,
    kEndAsm,
    kElse,
    kWhen,
    kOn,
    kEof
};

class Parser {
public:
    Parser(std::string_view source, std::vector<LangError>* errors) : errors_(errors) {
        size_t pos = 0;
        while (pos <= source.size()) {
            size_t nl = source.find('\n', pos);
            if (nl == std::string_view::npos) nl = source.size();
            std::string_view line = source.substr(pos, nl - pos);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines_.push_back(line);
            pos = nl + 1;
        }
    }

    void run(Script* s);

private:
    // --- lines and tokens ---------------------------------------------------------------------
    bool atEof() const { return line_ >= lines_.size(); }
    // Tokenizes line_ into toks_ (an unreadable line is reported once and read as blank).
    void load() {
        toks_.clear();
        at_ = 0;
        nesting_ = 0;
        if (atEof()) {
            LangToken end;
            end.pos = {int(lines_.size()), 1};
            toks_.push_back(end);
            return;
        }
        LangError e;
        if (!langTokenize(lines_[line_], int(line_) + 1, &toks_, &e)) {
            errors_->push_back(e);
            toks_.clear();
            LangToken end;
            end.pos = {int(line_) + 1, 1};
            toks_.push_back(end);
        }
    }
    void nextLine() {
        ++line_;
        load();
    }
    bool blank() const { return toks_.front().kind == TK::kEnd; }
    const LangToken& tok(size_t ahead = 0) const {
        return toks_[std::min(at_ + ahead, toks_.size() - 1)];
    }
    bool atEnd() const { return tok().kind == TK::kEnd; }
    const LangToken& take() {
        const LangToken& t = tok();
        if (at_ + 1 < toks_.size()) ++at_;
        return t;
    }
    bool accept(std::string_view word) {
        if (!tok().is(word)) return false;
        take();
        return true;
    }

    [[noreturn]] void failAt(SrcPos pos, std::string message) {
        errors_->push_back({pos, std::move(message)});
        throw LineFailed{};
    }
    [[noreturn]] void fail(std::string message) { failAt(tok().pos, std::move(message)); }
    void report(SrcPos pos, std::string message) { errors_->push_back({pos, std::move(message)}); }
    std::string found() const {
        const LangToken& t = tok();
        switch (t.kind) {
        case TK::kEnd:
            return "the end of the line";
        case TK::kText:
            return "a text";
        case TK::kInt:
        case TK::kFloat:
            return "the number " + t.text;
        case TK::kSymbol:
            return "the symbol #" + t.text;
        default:
            return "'" + t.text + "'";
        }
    }
    void expect(std::string_view word, const char* what) {
        if (!accept(word)) fail(std::string("expected ") + what + ", found " + found());
    }
    void expectEnd(const char* after) {
        if (!atEnd())
            fail(std::string("expected the end of the line after ") + after + ", found " + found());
    }
    // A name: a plain identifier, or anything in single quotes.
    std::string name(const char* what) {
        const LangToken& t = tok();
        if (t.kind == TK::kName && (t.quoted || !langIsKeyword(t.text))) return take().text;
        if (t.kind == TK::kName)
            fail(std::string("expected ") + what + ", found the keyword '" + t.text + "' (write '" +
                 t.text + "' in single quotes to use it as a name)");
        fail(std::string("expected ") + what + ", found " + found());
    }
    std::vector<std::string> nameList(const char* what, std::vector<SrcPos>* at = nullptr) {
        std::vector<std::string> out;
        do {
            if (at) at->push_back(tok().pos);
            out.push_back(name(what));
        } while (accept(","));
        return out;
    }

    LineWord lineWord() const {
        if (atEof()) return LineWord::kEof;
        const LangToken& t = toks_.front();
        if (t.is("else")) return LineWord::kElse;
        if (t.is("when")) return LineWord::kWhen;
        if (t.is("on")) return LineWord::kOn;
        if (!t.is("end")) return LineWord::kOther;
        const LangToken& n = toks_.size() > 1 ? toks_[1] : t;
        if (n.is("if")) return LineWord::kEndIf;
        if (n.is("repeat")) return LineWord::kEndRepeat;
        if (n.is("case")) return LineWord::kEndCase;
        if (n.is("asm")) return LineWord::kEndAsm;
        return LineWord::kEnd;
    }

    // --- statements ---------------------------------------------------------------------------
    Block block(Handler& h);
    void handler(Script* s);
    void statement(Handler& h, Block& out);
    Stmt simpleStatement(Handler& h);
    void ifStatement(Handler& h, Block& out, bool chained);
    void repeatStatement(Handler& h, Block& out);
    void caseStatement(Handler& h, Block& out);
    void asmStatement(Block& out);
    // Consumes "end WORD" when the line is one, else reports that the opener has none.
    void closeBlock(LineWord want, const char* closer, const char* opener, SrcPos openedAt);
    Expr callArgs(Expr call, bool parens);
    std::vector<AsmText> asmLines();

    // --- expressions --------------------------------------------------------------------------
    Expr expr() { return orExpr(); }
    Expr orExpr();
    Expr andExpr();
    Expr notExpr();
    Expr compareExpr();
    Expr concatExpr();
    Expr addExpr();
    Expr mulExpr();
    Expr unaryExpr();
    // Counts the parse functions running inside each other, so that a text nested past what
    // the compiler can walk is an error before it is a stack overflow.
    struct Nest {
        Parser& p;
        explicit Nest(Parser& parser) : p(parser) {
            if (++p.nesting_ > kMaxExprDepth / 2)
                p.fail("this expression nests too deep: split it over several statements");
        }
        ~Nest() { --p.nesting_; }
    };
    Expr primary() {
        Nest nest(*this);
        Expr e = primaryInner();
        deepen(e);
        return e;
    }
    Expr primaryInner();
    Expr theExpr(SrcPos at);
    Expr chunkExpr(bool needVar);
    Expr literalArgs(SrcPos at);
    Expr binary(uint8_t op, Expr l, Expr r) {
        Expr e;
        e.kind = Expr::Kind::kBinary;
        e.pos = l.pos;
        e.op = op;
        e.args.push_back(std::move(l));
        e.args.push_back(std::move(r));
        deepen(e);
        return e;
    }
    void deepen(Expr& e) {
        if (!setExprDepth(e))
            failAt(e.pos, "this expression nests too deep: split it over several statements");
    }
    int32_t smallNumber(const char* what) {
        bool neg = accept("-");
        if (tok().kind != TK::kInt) fail(std::string("expected ") + what + ", found " + found());
        int64_t v = take().value;
        if (neg) v = -v;
        if (v < INT32_MIN || v > INT32_MAX) fail(std::string(what) + " does not fit in 32 bits");
        return int32_t(v);
    }

    bool startsValue() const {
        const LangToken& t = tok();
        switch (t.kind) {
        case TK::kInt:
        case TK::kFloat:
        case TK::kText:
        case TK::kSymbol:
            return true;
        case TK::kName:
            if (t.quoted || !langIsKeyword(t.text)) return true;
            for (const char* w :
                 {"the", "char", "word", "item", "line", "sprite", "literal", "call", "external"})
                if (t.text == w) return true;
            return false;
        default:
            return t.is("(") || t.is("[") || t.is("-");
        }
    }

    std::vector<LangError>* errors_;
    int nesting_ = 0;    // primaries being read inside each other
    int blockDepth_ = 0; // blocks open around the line
    // Per block open around the line, the words that close it (or go on to its next part).
    std::vector<std::vector<LineWord>> open_;
    std::vector<std::string_view> lines_;
    size_t line_ = 0;
    std::vector<LangToken> toks_;
    size_t at_ = 0;
};

// ------------------------------------------------------------------------------------------------

void Parser::run(Script* s) {
    load();
    bool sawHandler = false;
    while (!atEof()) {
        if (blank()) {
            nextLine();
            continue;
        }
        try {
            const LangToken& first = tok();
            if (first.is("on")) {
                handler(s);
                sawHandler = true;
                continue;
            }
            if (first.is("version")) {
                take();
                SrcPos at = tok().pos;
                int32_t v = smallNumber("the format version");
                if (v < 0 || v > 255) failAt(at, "the format version runs from 0 to 255");
                if (sawHandler) failAt(first.pos, "'version' stands before the handlers");
                s->version = v;
                s->hasVersion = true;
                expectEnd("the version");
            } else if (first.is("global") || first.is("property")) {
                take();
                const bool global = first.is("global");
                auto names =
                    nameList("a variable's name", global ? &s->globalPos : &s->propertyPos);
                auto& into = global ? s->globals : s->properties;
                into.insert(into.end(), names.begin(), names.end());
                expectEnd("the names");
            } else if (first.is("external")) {
                take();
                auto names = nameList("the name of a handler nothing answers");
                s->externs.insert(s->externs.end(), names.begin(), names.end());
                expectEnd("the names");
            } else if (first.is("literals")) {
                take();
                if (sawHandler || s->hasLiterals)
                    failAt(first.pos, "one 'literals' line stands before the handlers");
                s->hasLiterals = true;
                do {
                    LiteralDecl d;
                    d.pos = tok().pos;
                    if (tok().kind == TK::kText) {
                        d.type = 1;
                        d.isText = true;
                        d.text = take().text;
                        if (d.text.find('\0') != std::string::npos)
                            failAt(d.pos, "a text cannot hold a NUL byte (\\x00)");
                    } else if (accept("literal")) {
                        Expr raw = literalArgs(d.pos);
                        d.type = raw.rawType;
                        d.value = uint32_t(raw.value);
                    } else {
                        int32_t v = smallNumber("a text, a number or literal(type, value)");
                        d.type = 4;
                        d.value = uint32_t(v);
                    }
                    s->literals.push_back(std::move(d));
                } while (accept(","));
                expectEnd("the literals");
            } else if (first.is("asm")) {
                take();
                expectEnd("'asm'");
                if (sawHandler || !s->globals.empty() || !s->properties.empty()) {
                    report(first.pos, "a script in assembly holds nothing else: write 'asm' "
                                      "inside a handler for a few instructions");
                    asmLines();
                    continue;
                }
                s->wholeAsm = true;
                s->asmLines = asmLines();
                while (!atEof() && blank())
                    nextLine();
                if (!atEof()) report(tok().pos, "nothing may follow a script in assembly");
                return;
            } else {
                fail("expected 'on NAME' to start a handler (or version, global, property, "
                     "external, literals), found " +
                     found());
            }
        } catch (const LineFailed&) {
        }
        nextLine();
    }
}

void Parser::handler(Script* s) {
    const LangToken& first = take();
    Handler h;
    h.pos = first.pos;
    // A mistake in the head still leaves the body to read, so that its lines are not taken
    // for lines between handlers.
    try {
        h.name = name("the handler's name");
        if (!atEnd()) h.params = nameList("a parameter's name", &h.paramPos);
        expectEnd("the parameters");
    } catch (const LineFailed&) {
    }
    nextLine();
    open_.push_back({LineWord::kEnd});
    h.body = block(h);
    open_.pop_back();
    h.endLine = int(line_) + 1;
    if (lineWord() == LineWord::kEnd) {
        take();
        if (!atEnd()) {
            SrcPos at = tok().pos;
            try {
                std::string n = name("the handler's name after 'end'");
                if (n != h.name) report(at, "'end " + n + "' closes the handler '" + h.name + "'");
            } catch (const LineFailed&) {
            }
        }
        if (!atEnd()) report(tok().pos, "expected the end of the line after 'end'");
        nextLine();
    } else {
        report(h.pos, "the handler '" + h.name + "' has no 'end'");
        h.endLine = int(line_);
    }
    s->handlers.push_back(std::move(h));
}

std::vector<AsmText> Parser::asmLines() {
    // Assembly is not the language's text: its lines are taken as they stand, up to "end asm".
    std::vector<AsmText> out;
    const int opened = int(line_) + 1;
    for (++line_; line_ < lines_.size(); ++line_) {
        std::string_view l = lines_[line_];
        const size_t comment = l.find("--");
        std::string_view code = l.substr(0, comment);
        size_t a = code.find_first_not_of(" \t");
        if (a != std::string_view::npos && code.substr(a, 3) == "end") {
            size_t b = code.find_first_not_of(" \t", a + 3);
            if (b != std::string_view::npos && b > a + 3 && code.substr(b, 3) == "asm" &&
                (b + 3 == code.size() || code[b + 3] == ' ' || code[b + 3] == '\t')) {
                const size_t extra = code.find_first_not_of(" \t", b + 3);
                if (extra != std::string_view::npos)
                    report({int(line_) + 1, int(extra) + 1},
                           "expected the end of the line after 'end asm'");
                nextLine();
                return out;
            }
        }
        out.push_back({std::string(l), {int(line_) + 1, 1}});
    }
    load();
    report({opened, 1}, "this 'asm' has no 'end asm'");
    return out;
}

Block Parser::block(Handler& h) {
    Block out;
    for (;;) {
        if (atEof()) return out;
        if (blank()) {
            nextLine();
            continue;
        }
        const LineWord w = lineWord();
        if (w == LineWord::kOther) {
            statement(h, out);
            continue;
        }
        // A word that closes a block open around this one ends it; one that closes nothing
        // open is reported and passed over.
        if (w == LineWord::kOn) return out;
        for (const std::vector<LineWord>& closers : open_)
            for (LineWord c : closers)
                if (c == w) return out;
        static const char* const kStray[] = {"",
                                             "",
                                             "'end if' closes no 'if'",
                                             "'end repeat' closes no 'repeat'",
                                             "'end case' closes no 'case'",
                                             "'end asm' closes no 'asm'",
                                             "'else' stands outside any 'if' or 'case'",
                                             "'when' stands outside any 'case'"};
        report(tok().pos, kStray[int(w)]);
        nextLine();
    }
}

void Parser::closeBlock(LineWord want, const char* closer, const char* opener, SrcPos openedAt) {
    if (lineWord() == want) {
        take();
        take();
        if (!atEnd())
            report(tok().pos, std::string("expected the end of the line after '") + closer + "'");
        nextLine();
        return;
    }
    report(openedAt, std::string("this '") + opener + "' has no '" + closer + "'");
}

void Parser::statement(Handler& h, Block& out) {
    const LangToken& first = tok();
    if ((first.is("if") || first.is("repeat") || first.is("case")) &&
        blockDepth_ >= kMaxBlockDepth) {
        report(first.pos, "blocks nest at most " + std::to_string(kMaxBlockDepth) +
                              " deep: move the inner part to a handler of its own");
        nextLine();
        return;
    }
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(++x) {}
        ~Depth() { --d; }
    } depth(blockDepth_);
    if (first.is("if")) return ifStatement(h, out, false);
    if (first.is("repeat")) return repeatStatement(h, out);
    if (first.is("case")) return caseStatement(h, out);
    if (first.is("asm")) return asmStatement(out);
    try {
        if (first.is("local") || first.is("global") || first.is("property")) {
            const std::string kind = take().text;
            auto& at = kind == "local"    ? h.localPos
                       : kind == "global" ? h.globalPos
                                          : h.propertyPos;
            auto names = nameList("a variable's name", &at);
            auto& into = kind == "local" ? h.locals : kind == "global" ? h.globals : h.properties;
            into.insert(into.end(), names.begin(), names.end());
            expectEnd("the names");
        } else {
            out.push_back(simpleStatement(h));
            expectEnd("the statement");
        }
    } catch (const LineFailed&) {
    }
    nextLine();
}

void Parser::asmStatement(Block& out) {
    Stmt s;
    s.kind = Stmt::Kind::kAsm;
    s.pos = take().pos;
    try {
        expectEnd("'asm'");
    } catch (const LineFailed&) {
    }
    s.asmLines = asmLines();
    out.push_back(std::move(s));
}

void Parser::ifStatement(Handler& h, Block& out, bool chained) {
    Stmt s;
    s.kind = Stmt::Kind::kIf;
    s.pos = take().pos;
    // "if c then" ends the line for the block form; anything after "then" is a one-line if.
    const bool blockForm = toks_.size() >= 2 && toks_[toks_.size() - 2].is("then");
    try {
        s.exprs.push_back(expr());
        expect("then", "'then' after the condition");
        if (!blockForm) {
            s.blocks.push_back({simpleStatement(h)});
            expectEnd("the statement");
            out.push_back(std::move(s));
            nextLine();
            return;
        }
    } catch (const LineFailed&) {
        if (!blockForm) {
            nextLine();
            return;
        }
        if (s.exprs.empty()) s.exprs.emplace_back(); // the block is still read, and checked
    }
    nextLine();
    open_.push_back({LineWord::kElse, LineWord::kEndIf});
    s.blocks.push_back(block(h));
    if (lineWord() == LineWord::kElse) {
        s.hasElse = true;
        take();
        if (tok().is("if")) {
            Block elseBlock;
            ifStatement(h, elseBlock, true);
            s.blocks.push_back(std::move(elseBlock));
        } else {
            try {
                expectEnd("'else'");
            } catch (const LineFailed&) {
            }
            nextLine();
            s.blocks.push_back(block(h));
            while (lineWord() == LineWord::kElse) {
                report(tok().pos, "this 'if' already has its 'else'");
                nextLine();
                Block more = block(h);
                for (Stmt& st : more)
                    s.blocks.back().push_back(std::move(st));
            }
        }
    }
    open_.pop_back();
    if (!chained) closeBlock(LineWord::kEndIf, "end if", "if", s.pos);
    out.push_back(std::move(s));
}

void Parser::repeatStatement(Handler& h, Block& out) {
    Stmt s;
    s.pos = take().pos;
    try {
        if (accept("while")) {
            s.kind = Stmt::Kind::kWhile;
            s.exprs.push_back(expr());
        } else if (accept("with")) {
            s.kind = Stmt::Kind::kRepeatWith;
            s.name = name("the counter's name");
            expect("=", "'=' after the counter");
            s.exprs.push_back(expr());
            s.down = accept("down");
            expect("to", s.down ? "'to' after 'down'" : "'to' or 'down to'");
            s.exprs.push_back(expr());
        } else {
            fail("expected 'while' or 'with' after 'repeat', found " + found());
        }
        expectEnd("the loop's head");
    } catch (const LineFailed&) {
        if (s.exprs.size() < (s.kind == Stmt::Kind::kRepeatWith ? 2u : 1u)) s.exprs.resize(2);
    }
    nextLine();
    open_.push_back({LineWord::kEndRepeat});
    s.blocks.push_back(block(h));
    open_.pop_back();
    closeBlock(LineWord::kEndRepeat, "end repeat", "repeat", s.pos);
    out.push_back(std::move(s));
}

void Parser::caseStatement(Handler& h, Block& out) {
    Stmt s;
    s.kind = Stmt::Kind::kCase;
    s.pos = take().pos;
    try {
        s.exprs.push_back(expr());
        expectEnd("the value");
    } catch (const LineFailed&) {
        s.exprs.resize(1);
    }
    nextLine();
    open_.push_back({LineWord::kWhen, LineWord::kElse, LineWord::kEndCase});
    for (;;) {
        while (!atEof() && blank())
            nextLine();
        const LineWord w = lineWord();
        if (w == LineWord::kWhen) {
            if (s.hasElse) report(tok().pos, "'when' cannot follow the 'else' of a case");
            take();
            try {
                s.exprs.push_back(expr());
                expectEnd("the value");
            } catch (const LineFailed&) {
                s.exprs.emplace_back();
            }
            nextLine();
            s.blocks.push_back(block(h));
        } else if (w == LineWord::kElse) {
            if (s.hasElse) report(tok().pos, "a case has one 'else'");
            take();
            try {
                expectEnd("'else'");
            } catch (const LineFailed&) {
            }
            s.hasElse = true;
            nextLine();
            s.blocks.push_back(block(h));
        } else if (w == LineWord::kOther) {
            report(tok().pos,
                   "expected 'when VALUE', 'else' or 'end case' in the case, found " + found());
            nextLine();
        } else {
            break;
        }
    }
    open_.pop_back();
    if (s.exprs.size() < 2) report(s.pos, "a case needs at least one 'when'");
    closeBlock(LineWord::kEndCase, "end case", "case", s.pos);
    out.push_back(std::move(s));
}

Expr Parser::callArgs(Expr call, bool parens) {
    if (parens) {
        expect("(", "'(' and the arguments");
        if (!accept(")")) {
            do {
                call.args.push_back(expr());
            } while (accept(","));
            expect(")", "')' or ',' in the arguments");
        }
        return call;
    }
    if (!atEnd()) {
        do {
            call.args.push_back(expr());
        } while (accept(","));
    }
    return call;
}

Stmt Parser::simpleStatement(Handler& h) {
    (void)h;
    Stmt s;
    const LangToken& first = tok();
    s.pos = first.pos;
    if (first.is("exit")) {
        take();
        s.kind = accept("repeat") ? Stmt::Kind::kExitRepeat : Stmt::Kind::kExit;
        return s;
    }
    if (first.is("next")) {
        take();
        expect("repeat", "'repeat' after 'next'");
        s.kind = Stmt::Kind::kNextRepeat;
        return s;
    }
    if (first.is("return")) {
        take();
        s.kind = Stmt::Kind::kReturn;
        if (!atEnd()) s.exprs.push_back(expr());
        return s;
    }
    if (first.is("skip")) {
        take();
        s.kind = Stmt::Kind::kSkip;
        return s;
    }
    if (first.is("trace")) {
        take();
        s.kind = Stmt::Kind::kTrace;
        if (accept("read"))
            s.mode = 0;
        else if (accept("write"))
            s.mode = 1;
        else if (accept("field"))
            s.mode = 2;
        else
            fail("expected 'read', 'write' or 'field' after 'trace', found " + found());
        SrcPos at = tok().pos;
        s.value = smallNumber("the traced number");
        if (s.value < -32768 || s.value > 32767)
            failAt(at, "the traced number must fit in 16 bits");
        return s;
    }
    if (first.is("set")) {
        take();
        if (tok().is("the")) {
            SrcPos at = take().pos;
            s.kind = Stmt::Kind::kSet;
            s.exprs.push_back(theExpr(at));
        } else {
            s.kind = Stmt::Kind::kAssign;
            s.name = name("'the' or a variable after 'set'");
        }
        expect("to", "'to' and the new value");
        s.exprs.push_back(expr());
        return s;
    }
    if (first.is("put")) {
        take();
        s.kind = Stmt::Kind::kPut;
        s.exprs.push_back(expr());
        if (accept("into"))
            s.mode = 0x15;
        else if (accept("after"))
            s.mode = 0x25;
        else if (accept("before"))
            s.mode = 0x35;
        else
            fail("expected 'into', 'before' or 'after', found " + found());
        bool chunk = false;
        for (const char* w : kLangChunkWords)
            chunk = chunk || tok().is(w);
        if (chunk) {
            s.exprs.push_back(chunkExpr(true));
        } else {
            Expr v;
            v.kind = Expr::Kind::kVar;
            v.pos = tok().pos;
            v.text = name("a chunk or a variable to put the value in");
            if (s.mode == 0x15) {
                s.kind = Stmt::Kind::kAssign;
                s.name = v.text;
                return s;
            }
            s.exprs.push_back(std::move(v));
        }
        return s;
    }
    if (first.is("delete")) {
        take();
        s.kind = Stmt::Kind::kDelete;
        bool chunk = false;
        for (const char* w : kLangChunkWords)
            chunk = chunk || tok().is(w);
        if (!chunk)
            fail("expected a chunk after 'delete' (char, word, item or line ... of a "
                 "variable), found " +
                 found());
        s.exprs.push_back(chunkExpr(true));
        return s;
    }
    if (first.is("call")) {
        take();
        Expr c;
        c.kind = Expr::Kind::kCall;
        c.call = Expr::Call::kIndirect;
        c.pos = first.pos;
        if (tok().kind == TK::kName && (tok().quoted || !langIsKeyword(tok().text))) {
            Expr v;
            v.kind = Expr::Kind::kVar;
            v.pos = tok().pos;
            v.text = take().text;
            c.args.push_back(std::move(v));
        } else {
            c.args.push_back(primary());
        }
        s.kind = Stmt::Kind::kCall;
        s.exprs.push_back(callArgs(std::move(c), tok().is("(")));
        return s;
    }
    if (first.is("external")) {
        take();
        Expr c;
        c.kind = Expr::Kind::kCall;
        c.call = Expr::Call::kExternal;
        c.pos = first.pos;
        c.text = name("the name of the handler or built-in to call");
        s.kind = Stmt::Kind::kCall;
        s.exprs.push_back(callArgs(std::move(c), tok().is("(")));
        return s;
    }
    if (first.kind == TK::kName && (first.quoted || !langIsKeyword(first.text))) {
        const std::string n = take().text;
        if (accept("=")) {
            s.kind = Stmt::Kind::kAssign;
            s.name = n;
            s.exprs.push_back(expr());
            return s;
        }
        Expr c;
        c.kind = Expr::Kind::kCall;
        c.pos = first.pos;
        c.text = n;
        s.kind = Stmt::Kind::kCall;
        // name(a, b) with nothing after it is the call with those arguments; otherwise the
        // arguments are the expressions after the name: go (n + 1) * 2.
        if (tok().is("(")) {
            const size_t mark = at_;
            const size_t errorCount = errors_->size();
            try {
                Expr withParens = callArgs(c, true);
                if (atEnd()) {
                    s.exprs.push_back(std::move(withParens));
                    return s;
                }
            } catch (const LineFailed&) {
            }
            errors_->resize(errorCount);
            at_ = mark;
        }
        s.exprs.push_back(callArgs(std::move(c), false));
        return s;
    }
    if (first.kind == TK::kName) fail("'" + first.text + "' cannot start a statement here");
    fail("expected a statement, found " + found());
}

// ------------------------------------------------------------------------------------------------

Expr Parser::orExpr() {
    Expr l = andExpr();
    while (tok().is("or")) {
        take();
        l = binary(opOr, std::move(l), andExpr());
    }
    return l;
}

Expr Parser::andExpr() {
    Expr l = notExpr();
    while (tok().is("and")) {
        take();
        l = binary(opAnd, std::move(l), notExpr());
    }
    return l;
}

Expr Parser::notExpr() {
    if (tok().is("not")) {
        Nest nest(*this);
        Expr e;
        e.kind = Expr::Kind::kUnary;
        e.op = opNot;
        e.pos = take().pos;
        e.args.push_back(notExpr());
        deepen(e);
        return e;
    }
    return compareExpr();
}

Expr Parser::compareExpr() {
    Expr l = concatExpr();
    for (;;) {
        uint8_t op = 0;
        if (tok().is("="))
            op = opEq;
        else if (tok().is("<>"))
            op = opNe;
        else if (tok().is("<"))
            op = opLt;
        else if (tok().is("<="))
            op = opLe;
        else if (tok().is(">"))
            op = opGt;
        else if (tok().is(">="))
            op = opGe;
        else if (tok().is("contains"))
            op = opContains;
        else if (tok().is("starts"))
            op = opStartsWith;
        else
            return l;
        take();
        l = binary(op, std::move(l), concatExpr());
    }
}

Expr Parser::concatExpr() {
    Expr l = addExpr();
    for (;;) {
        uint8_t op = tok().is("&") ? opConcat : tok().is("&&") ? opConcatSpace : 0;
        if (!op) return l;
        take();
        l = binary(op, std::move(l), addExpr());
    }
}

Expr Parser::addExpr() {
    Expr l = mulExpr();
    for (;;) {
        uint8_t op = tok().is("+") ? opAdd : tok().is("-") ? opSub : 0;
        if (!op) return l;
        take();
        l = binary(op, std::move(l), mulExpr());
    }
}

Expr Parser::mulExpr() {
    Expr l = unaryExpr();
    for (;;) {
        uint8_t op = tok().is("*") ? opMul : tok().is("/") ? opDiv : tok().is("mod") ? opMod : 0;
        if (!op) return l;
        take();
        l = binary(op, std::move(l), unaryExpr());
    }
}

Expr Parser::unaryExpr() {
    if (!tok().is("-")) return primary();
    Nest nest(*this);
    SrcPos at = take().pos;
    // -5 is the number; -(5) and -x negate.
    if (tok().kind == TK::kInt) {
        Expr e;
        e.kind = Expr::Kind::kInt;
        e.pos = at;
        e.value = -take().value;
        if (e.value < INT32_MIN) failAt(at, "the number does not fit in 32 bits");
        return e;
    }
    if (tok().kind == TK::kFloat) {
        Expr e = primary();
        e.pos = at;
        e.text = "-" + e.text;
        float f = -std::strtof(e.text.c_str() + 1, nullptr);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        e.value = bits;
        return e;
    }
    Expr e;
    e.kind = Expr::Kind::kUnary;
    e.op = opNegate;
    e.pos = at;
    e.args.push_back(unaryExpr());
    deepen(e);
    return e;
}

Expr Parser::literalArgs(SrcPos at) {
    Expr e;
    e.kind = Expr::Kind::kRaw;
    e.pos = at;
    expect("(", "'(' after 'literal'");
    int64_t type = smallNumber("the literal's type");
    expect(",", "',' after the type");
    int64_t value = smallNumber("the literal's value");
    expect(")", "')' after the value");
    if (type < 0) failAt(at, "a literal's type is not negative");
    e.rawType = uint32_t(type);
    e.value = uint32_t(int32_t(value));
    return e;
}

Expr Parser::primaryInner() {
    const LangToken& t = tok();
    Expr e;
    e.pos = t.pos;
    switch (t.kind) {
    case TK::kInt:
        e.kind = Expr::Kind::kInt;
        e.value = take().value;
        if (e.value > INT32_MAX)
            failAt(e.pos, "the number does not fit in 32 bits (at most 2147483647)");
        return e;
    case TK::kFloat: {
        e.kind = Expr::Kind::kFloat;
        e.text = take().text;
        float f = std::strtof(e.text.c_str(), nullptr);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        e.value = bits;
        return e;
    }
    case TK::kText:
        e.kind = Expr::Kind::kText;
        e.text = take().text;
        if (e.text.find('\0') != std::string::npos)
            failAt(e.pos, "a text cannot hold a NUL byte (\\x00)");
        return e;
    case TK::kSymbol:
        e.kind = Expr::Kind::kSymbol;
        e.text = take().text;
        return e;
    case TK::kEnd:
        fail("expected a value, found the end of the line");
    default:
        break;
    }
    if (t.is("(")) {
        take();
        Expr inner = expr();
        expect(")", "')'");
        return inner;
    }
    if (t.is("[")) {
        take();
        e.kind = Expr::Kind::kCall;
        do {
            e.args.push_back(expr());
        } while (accept(","));
        expect("]", "']' or ',' in the list");
        if (e.args.size() == 2)
            e.call = Expr::Call::kPoint;
        else if (e.args.size() == 4)
            e.call = Expr::Call::kRect;
        else
            failAt(e.pos, "a list is a point [h, v] or a rect [left, top, right, bottom]");
        return e;
    }
    if (t.is("the")) {
        take();
        return theExpr(e.pos);
    }
    for (const char* w : kLangChunkWords)
        if (t.is(w)) return chunkExpr(false);
    if (t.is("sprite")) {
        take();
        e.kind = Expr::Kind::kSpriteTest;
        e.args.push_back(addExpr());
        if (accept("intersects"))
            e.op = opSpriteIntersects;
        else if (accept("within"))
            e.op = opSpriteWithin;
        else
            fail("expected 'intersects' or 'within' after the sprite, found " + found());
        expect("sprite", "'sprite' and the other sprite");
        e.args.push_back(addExpr());
        return e;
    }
    if (t.is("literal")) {
        take();
        return literalArgs(e.pos);
    }
    if (t.is("call")) {
        take();
        e.kind = Expr::Kind::kCall;
        e.call = Expr::Call::kIndirect;
        if (tok().kind == TK::kName && (tok().quoted || !langIsKeyword(tok().text))) {
            Expr v;
            v.kind = Expr::Kind::kVar;
            v.pos = tok().pos;
            v.text = take().text;
            e.args.push_back(std::move(v));
        } else {
            e.args.push_back(primary());
        }
        return callArgs(std::move(e), true);
    }
    if (t.is("external")) {
        take();
        e.kind = Expr::Kind::kCall;
        e.call = Expr::Call::kExternal;
        e.text = name("the name of the handler or built-in to call");
        return callArgs(std::move(e), true);
    }
    if (t.kind == TK::kName && (t.quoted || !langIsKeyword(t.text))) {
        e.text = take().text;
        if (tok().is("(")) {
            e.kind = Expr::Kind::kCall;
            return callArgs(std::move(e), true);
        }
        e.kind = Expr::Kind::kVar;
        return e;
    }
    fail("expected a value, found " + found());
}

Expr Parser::chunkExpr(bool needVar) {
    Expr e;
    e.kind = Expr::Kind::kChunk;
    e.pos = tok().pos;
    e.args.resize(9);
    for (int i = 0; i < 8; ++i)
        e.args[size_t(i)].pos = e.pos; // kInt 0: not given
    int last = -1;
    for (;;) {
        int kind = -1;
        for (int k = 0; k < 4; ++k)
            if (tok().is(kLangChunkWords[k])) kind = k;
        if (kind < 0) break;
        SrcPos at = take().pos;
        if (kind <= last)
            failAt(at, "a chunk names its parts smallest first, each once: char, word, item, line");
        last = kind;
        e.args[size_t(2 * kind)] = addExpr();
        if (accept("to")) e.args[size_t(2 * kind + 1)] = addExpr();
        expect("of", "'of' after the chunk's bounds");
    }
    if (needVar) {
        Expr v;
        v.kind = Expr::Kind::kVar;
        v.pos = tok().pos;
        v.text = name("the variable that holds the text");
        e.args[8] = std::move(v);
    } else {
        e.args[8] = unaryExpr();
    }
    return e;
}

Expr Parser::theExpr(SrcPos at) {
    Expr e;
    e.kind = Expr::Kind::kProp;
    e.pos = at;
    e.prop = PropForm::kEntity;
    auto object = [&] { e.args.push_back(unaryExpr()); };
    if (tok().is("last")) {
        int kind = -1;
        for (int k = 0; k < 4; ++k)
            if (tok(1).is(kLangChunkWords[k])) kind = k;
        if (kind >= 0) {
            take();
            take();
            expect("of", "'of' and the text");
            e.category = 0;
            e.number = 12 + kind;
            object();
            return e;
        }
    }
    if (tok().is("number") && tok(1).is("of")) {
        int kind = -1;
        for (int k = 0; k < 4; ++k)
            if (tok(2).is(kLangChunkPlurals[k])) kind = k;
        if (kind >= 0) {
            take();
            take();
            take();
            expect("in", "'in' and the text");
            e.category = 1;
            e.number = 1 + kind;
            object();
            return e;
        }
    }
    if (tok().is("property") && tok(1).kind == TK::kInt) {
        take();
        SrcPos numAt = tok().pos;
        e.number = smallNumber("the property's number");
        if (e.number < -32768 || e.number > 32767)
            failAt(numAt, "a property number fits in 16 bits");
        expect("of", "'of' and what the property belongs to");
        if (accept("sprite")) {
            e.category = 6;
            object();
        } else if (accept("member")) {
            e.category = 9;
            object();
            if (accept("of")) {
                expect("castLib", "'castLib' after the member");
                object();
            }
        } else if (accept("system")) {
            e.category = 7;
        } else if (accept("host")) {
            // The host's properties from 12 on read a text; the others take no object.
            e.category = 0;
            if (startsValue()) object();
        } else if (accept("count")) {
            e.category = 1;
            object();
        } else if (accept("category")) {
            SrcPos catAt = tok().pos;
            e.category = smallNumber("the category's number");
            if (e.category < 0 || e.category > 255) failAt(catAt, "a category runs from 0 to 255");
            if (e.category == 0 || e.category == 1 || e.category == 6 || e.category == 7 ||
                e.category == 9)
                failAt(catAt, "write this category by its name: host, count, sprite, system or "
                              "member");
            object();
        } else {
            fail("expected sprite, member, system, host, count or category after 'of', found " +
                 found());
        }
        return e;
    }
    const SrcPos nameAt = tok().pos;
    const std::string n = name("a property's name");
    e.text = n;
    if (accept("of")) {
        if (accept("sprite")) {
            const LangEntity* ent = langEntityNamed(n, 6);
            if (!ent)
                failAt(
                    nameAt, "'" + n + "' is no sprite property" + [&] {
                        std::vector<std::string_view> c;
                        int32_t count = 0;
                        const LangEntity* all = langEntities(&count);
                        for (int32_t i = 0; i < count; ++i)
                            if (all[i].category == 6) c.push_back(all[i].name);
                        std::string near = asmNearName(n, c);
                        return near.empty() ? std::string(" (see docs/scripting.md)")
                                            : "; did you mean " + near + "?";
                    }());
            e.category = 6;
            e.number = ent->number;
            object();
            return e;
        }
        if (accept("member")) {
            const LangEntity* ent = langEntityNamed(n, 9);
            if (!ent) failAt(nameAt, "'" + n + "' is no property of a member: name or number");
            e.category = 9;
            e.number = ent->number;
            object();
            if (accept("of")) {
                expect("castLib", "'castLib' after the member");
                object();
            }
            return e;
        }
        if (!isNamedProperty(n)) failAt(nameAt, "'" + n + "' is no property that takes an object");
        e.number = 0;
        if (accept("movie")) {
            e.prop = PropForm::kNamedAlt;
            return e;
        }
        e.prop = PropForm::kObject;
        object();
        return e;
    }
    if (isNamedProperty(n)) {
        e.prop = PropForm::kNamed;
        return e;
    }
    if (const LangEntity* ent = langEntityNamed(n, 7)) {
        e.category = 7;
        e.number = ent->number;
        return e;
    }
    if (const LangEntity* ent = langEntityNamed(n, 0)) {
        e.category = 0;
        e.number = ent->number;
        return e;
    }
    // The nearest of every name "the NAME" takes.
    std::vector<std::string> keep;
    std::vector<std::string_view> candidates;
    int32_t count = 0;
    const LangEntity* all = langEntities(&count);
    for (int32_t i = 0; i < count; ++i)
        if (all[i].category == 0 || all[i].category == 7) candidates.push_back(all[i].name);
    for (std::string_view p : namedPropertyNames())
        candidates.push_back(p);
    std::string near = asmNearName(n, candidates);
    failAt(nameAt, "'" + n + "' is no property" +
                       (near.empty() ? std::string(" (see the list in docs/scripting.md)")
                                     : "; did you mean " + near + "?"));
}

} // namespace

bool langParse(std::string_view source, Script* out, std::vector<LangError>* errors) {
    const size_t before = errors->size();
    Parser p(source, errors);
    p.run(out);
    return errors->size() == before;
}

} // namespace skv
