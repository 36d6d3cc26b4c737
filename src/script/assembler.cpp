#include "script/assembler.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

#include "script/asmnames.h"
#include "script/asmsyntax.h"
#include "script/bytes.h"
#include "script/opcodes.h"
#include "script/scriptblock.h"

namespace skv {

namespace {

// Scripts in a movie source write names as #name (the movie compiler numbers them); a block
// assembled on its own lists them on a .names line instead. Said when an operand looks like one.
std::string hashNameHint(const std::string& arg) {
    if (arg.size() < 2 || arg[0] != '#') return "";
    return "; '" + arg +
           "' is how a script in a movie source names things (skvc build numbers them): on its "
           "own, list the name on a .names line and write it without '#'";
}

// `#name`: the name as a movie source writes it.
bool isHashName(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '#' && isIdentifier(std::string_view(arg).substr(1));
}

// What the operand of operation x is, for the error that says it is missing.
std::string operandWanted(const std::string& name, uint8_t x, OperandKind kind) {
    switch (x) {
    case opArgList:
    case opArgListNoResult:
        return "its argument count: write '" + name +
               " N', N the number of values pushed for the call (0 for none)";
    case opCallLocal:
        return "the index of a handler of this block (0 for the first)";
    case opPutChunk:
        return "its mode: 0x15 replace, 0x25 after, 0x35 before";
    case opPeek:
        return "how far below the top the value to copy lies (0 for the top)";
    case opDrop:
        return "the number of values to drop";
    default:
        break;
    }
    switch (kind) {
    case OperandKind::kInteger:
        return "the value to push";
    case OperandKind::kLiteral:
        return "the literal: Lk for literal k";
    case OperandKind::kParam:
    case OperandKind::kLocal:
        return "the slot's byte offset, 8 x its index";
    case OperandKind::kForward:
    case OperandKind::kBack:
        return "a label";
    case OperandKind::kNameId:
        return "a name";
    case OperandKind::kProperty:
        return "a property name, e.g. frame or mouseH";
    case OperandKind::kCategory:
        return "a property category: host, count, sprite, system, member or a number";
    default:
        return "the traced number";
    }
}

struct Literal {
    uint32_t type = 0;
    uint32_t value = 0;
    std::string text; // text literals
    bool isText = false;
};

struct Item {
    int line = 0;
    bool raw = false; // .byte: the bytes in `bytes`
    std::vector<uint8_t> bytes;
    uint8_t opcode = 0; // without operand: the opcode; with: x
    bool hasOperand = false;
    OperandKind kind = OperandKind::kNone;
    bool isJump = false;
    int forcedWidth = 0; // 1 or 2 when the text says .b or .w
    int32_t operand = 0;
    std::string label; // a jump to a label
    int width = 0;     // chosen operand width
    uint32_t offset = 0;
    uint32_t size() const { return raw ? uint32_t(bytes.size()) : 1u + uint32_t(width); }
};

struct Handler {
    int line = 0;
    int32_t nameId = 0;
    int32_t params = 0;
    int32_t locals = 0;
    std::vector<Item> items;
    std::map<std::string, size_t> labels; // label -> index of the item it stands before
};

bool fitsNarrow(const Item& it, int64_t v) {
    return it.kind == OperandKind::kInteger ? (v >= -128 && v <= 127) : (v >= 0 && v <= 255);
}
bool fitsWide(int64_t v) {
    return v >= -32768 && v <= 32767;
}

class Assembler {
public:
    // names: the movie's name table, which names used by the text are added to; null when the
    // text's own .names lines are the table.
    explicit Assembler(std::vector<std::string>* names, AsmUses* uses)
        : names_(names ? names : &ownNames_), growNames_(names != nullptr),
          uses_(uses ? uses : &ownUses_) {
        *uses_ = AsmUses{};
    }
    bool run(std::string_view text, std::vector<uint8_t>* out, AsmError* err);

private:
    bool fail(int line, std::string msg) {
        error_ = {line, std::move(msg)};
        return false;
    }
    bool directive(int line, AsmLine& l);
    bool instruction(int line, AsmLine& l);
    bool layoutHandler(Handler& h);
    // The nameId of a name written in the text.
    bool nameId(int line, const std::string& name, int32_t* id);
    // An operand written as a name.
    bool namedOperand(int line, const Item& it, const std::string& name, bool quoted,
                      int32_t* value);

    // A name written as a directive's argument i: an identifier, a quoted text or, with a movie's
    // name table, #name. False when argument i is none of these.
    bool nameArgument(const AsmLine& l, size_t i, std::string* name) const;

    std::vector<std::string>* names_;
    std::vector<std::string> ownNames_;
    bool growNames_;
    AsmUses* uses_;
    AsmUses ownUses_;
    std::set<std::string> externs_; // names of .extern lines
    int version_ = 0;
    std::vector<Literal> literals_;
    std::vector<Handler> handlers_;
    std::vector<std::string> pendingLabels_;
    AsmError error_;
};

bool Assembler::directive(int line, AsmLine& l) {
    const std::string& d = l.word;
    if (d == ".version") {
        int64_t v;
        if (l.args.size() != 1 || !parseNumber(l.args[0], &v) || v < 0 || v > 255)
            return fail(line, ".version takes one number from 0 to 255");
        version_ = int(v);
        return true;
    }
    if (d == ".literal") {
        Literal lit;
        int64_t a = 0, b = 0;
        const std::string kind = l.args.empty() ? "" : l.args[0];
        if (kind == "text" && l.args.size() == 2 && l.quoted.size() == 2 && l.quoted[1]) {
            lit.type = ScriptBlock::kLiteralText;
            lit.isText = true;
            lit.text = l.args[1];
            if (lit.text.find('\0') != std::string::npos)
                return fail(line, "a text literal cannot hold a NUL byte");
            uses_->mentioned.insert(lit.text);
        } else if ((kind == "int" || kind == "float") && l.args.size() == 2 &&
                   parseNumber(l.args[1], &a) && a >= INT32_MIN && a <= UINT32_MAX) {
            lit.type = kind == "int" ? ScriptBlock::kLiteralInteger : ScriptBlock::kLiteralFloat;
            lit.value = uint32_t(a);
        } else if (kind == "raw" && l.args.size() == 3 && parseNumber(l.args[1], &a) &&
                   parseNumber(l.args[2], &b) && a >= 0 && a <= UINT32_MAX && b >= INT32_MIN &&
                   b <= UINT32_MAX) {
            lit.type = uint32_t(a);
            lit.value = uint32_t(b);
        } else {
            return fail(line, "write .literal int N, .literal float N, .literal text \"...\" or "
                              ".literal raw TYPE VALUE");
        }
        literals_.push_back(std::move(lit));
        return true;
    }
    if (d == ".names") {
        for (const std::string& n : l.args) {
            if (n.empty()) return fail(line, "a name cannot be empty");
            if (std::find(names_->begin(), names_->end(), n) == names_->end()) names_->push_back(n);
        }
        return true;
    }
    if (d == ".handler") {
        Handler h;
        h.line = line;
        int64_t v;
        std::string name;
        if (!l.args.empty() && !parseNumber(l.args[0], &v) && nameArgument(l, 0, &name)) {
            if (!nameId(line, name, &h.nameId)) return false;
            uses_->handlers.push_back({name, line});
        } else if (l.args.empty() || !parseNumber(l.args[0], &v) || !fitsWide(v)) {
            return fail(line, ".handler needs the handler's name or nameId (-32768 to 32767)" +
                                  hashNameHint(l.args.empty() ? "" : l.args[0]));
        } else {
            h.nameId = int32_t(v);
        }
        for (size_t i = 1; i < l.args.size(); i += 2) {
            int64_t n;
            if (i + 1 >= l.args.size() || !parseNumber(l.args[i + 1], &n) || n < 0 || n > 32767 ||
                (l.args[i] != "params" && l.args[i] != "locals"))
                return fail(line, "after the nameId write 'params N' and 'locals N' (0 to 32767)");
            (l.args[i] == "params" ? h.params : h.locals) = int32_t(n);
        }
        if (!pendingLabels_.empty()) return fail(line, "a label must stand before an instruction");
        handlers_.push_back(std::move(h));
        return true;
    }
    if (d == ".extern") {
        // Calls to these names are left to fail when they run (error 8003), as a test of that
        // failure wants; the movie compiler checks every other call.
        if (l.args.empty()) return fail(line, ".extern needs the names the script calls");
        for (size_t i = 0; i < l.args.size(); ++i) {
            std::string name;
            if (!nameArgument(l, i, &name) || name.empty())
                return fail(line, "bad name '" + l.args[i] + "' on an .extern line");
            externs_.insert(name);
        }
        return true;
    }
    if (d == ".byte") {
        if (handlers_.empty()) return fail(line, "code must follow a .handler line");
        Item it;
        it.line = line;
        it.raw = true;
        for (const std::string& a : l.args) {
            int64_t v;
            if (!parseNumber(a, &v) || v < 0 || v > 255)
                return fail(line, ".byte takes numbers from 0 to 255");
            it.bytes.push_back(uint8_t(v));
        }
        if (it.bytes.empty()) return fail(line, ".byte needs at least one number");
        Handler& h = handlers_.back();
        for (const std::string& lb : pendingLabels_)
            h.labels[lb] = h.items.size();
        pendingLabels_.clear();
        h.items.push_back(std::move(it));
        return true;
    }
    return fail(line, "unknown directive " + d +
                          " (known: .version .names .literal .handler .extern .byte)");
}

bool Assembler::nameArgument(const AsmLine& l, size_t i, std::string* name) const {
    const std::string& a = l.args[i];
    if (l.quoted[i] || isIdentifier(a)) {
        *name = a;
        return true;
    }
    if (growNames_ && isHashName(a)) {
        *name = a.substr(1);
        return true;
    }
    return false;
}

bool Assembler::nameId(int line, const std::string& name, int32_t* id) {
    auto it = std::find(names_->begin(), names_->end(), name);
    if (it == names_->end()) {
        if (!growNames_)
            return fail(line, "'" + name + "' is not in the name table; list it on a .names line");
        names_->push_back(name);
        it = names_->end() - 1;
    }
    const int64_t index = it - names_->begin();
    if (!fitsWide(index)) return fail(line, "the name table has grown past 32767 names");
    *id = int32_t(index);
    return true;
}

bool Assembler::namedOperand(int line, const Item& it, const std::string& name, bool quoted,
                             int32_t* value) {
    switch (asmOperandName(it.opcode)) {
    case AsmOperandName::kProperty:
        if (!asmIsProperty(name))
            return fail(line, "'" + name +
                                  "' is no property (see the property names in "
                                  "docs/script-assembly.md)");
        return nameId(line, name, value);
    case AsmOperandName::kNameId:
        return nameId(line, name, value);
    case AsmOperandName::kCategory:
        if (!quoted && asmCategoryOf(name, value)) return true;
        return fail(line, "'" + name +
                              "' is no property category (host, count, sprite, system, "
                              "member, or a number)");
    case AsmOperandName::kPropertyNumber:
        if (!quoted && asmPropertyNumberOf(name, value)) return true;
        return fail(line, "'" + name + "' is no numbered property (e.g. SpriteLocH, SoundLevel)");
    default:
        return fail(line, "bad operand '" + name + "'");
    }
}

bool Assembler::instruction(int line, AsmLine& l) {
    if (handlers_.empty()) return fail(line, "code must follow a .handler line");
    std::string name = l.word;
    Item it;
    it.line = line;
    if (name.size() > 2 && (name.ends_with(".w") || name.ends_with(".b"))) {
        it.forcedWidth = name.back() == 'w' ? 2 : 1;
        name.resize(name.size() - 2);
    }
    const int found = opcodeNamed(name);
    if (found < 0) return fail(line, "unknown instruction '" + name + "'");
    const uint8_t opcode = uint8_t(found);
    const OpcodeInfo& info = kOpcodes[opcode];
    it.hasOperand = info.width != 0;
    it.opcode = it.hasOperand ? opBase(opcode) : opcode;
    it.kind = info.operand;
    it.isJump = isJumpOpcode(opcode);
    if (!it.hasOperand) {
        if (!l.args.empty()) return fail(line, name + " takes no operand");
        if (it.forcedWidth) return fail(line, name + " has no operand width to choose");
    } else {
        if (l.args.size() > 1) return fail(line, name + " takes one operand");
        // An unused operand is written as 0; every other must be given, since 0 would be a
        // silent count, slot or name of its own (an argList without its count calls with none).
        if (l.args.empty() && it.kind != OperandKind::kUnused)
            return fail(line, name + " needs " + operandWanted(name, it.opcode, it.kind));
        const std::string written = l.args.empty() ? "0" : l.args[0];
        const bool quoted = !l.quoted.empty() && l.quoted[0];
        const bool hashed = !quoted && growNames_ && isHashName(written);
        const std::string a = hashed ? written.substr(1) : written;
        int64_t v;
        if (!quoted && !hashed && parseNumber(a, &v)) {
            if (!fitsWide(v) && !(it.forcedWidth != 2 && fitsNarrow(it, v)))
                return fail(line, "operand " + a + " does not fit in 16 bits");
            if (v < 0 && (it.opcode == opArgList || it.opcode == opArgListNoResult))
                return fail(line, "an argument count cannot be negative: write the number of "
                                  "values pushed for the call");
            it.operand = int32_t(v);
        } else if (!quoted && !hashed && it.kind == OperandKind::kLiteral && a.size() > 1 &&
                   a[0] == 'L' && parseNumber(a.substr(1), &v) && v >= 0) {
            if (v >= int64_t(literals_.size()))
                return fail(line, "literal " + a + " is not defined (define literals first)");
            it.operand = int32_t(v * 8);
        } else if (!quoted && !hashed && it.isJump && isIdentifier(a)) {
            it.label = a;
        } else if (asmOperandName(it.opcode) != AsmOperandName::kNone &&
                   (quoted || isIdentifier(a))) {
            int32_t value = 0;
            if (!namedOperand(line, it, a, quoted, &value)) return false;
            it.operand = value;
            if (it.opcode == opCallExternal) uses_->calls.push_back({a, line});
            if (it.opcode == opPushSymbol) uses_->mentioned.insert(a);
        } else {
            return fail(line, "bad operand '" + written + "' for " + name +
                                  (growNames_ ? "" : hashNameHint(written)));
        }
        if (it.label.empty()) {
            int64_t v2 = it.operand;
            if (it.forcedWidth == 1 && !fitsNarrow(it, v2))
                return fail(line, "operand " + a + " does not fit in one byte");
            if (it.forcedWidth == 2 && !fitsWide(v2))
                return fail(line, "operand " + a + " does not fit in two bytes");
            it.width = it.forcedWidth ? it.forcedWidth : (fitsNarrow(it, v2) ? 1 : 2);
        } else {
            it.width = it.forcedWidth ? it.forcedWidth : 1;
        }
    }
    Handler& h = handlers_.back();
    for (const std::string& lb : pendingLabels_)
        h.labels[lb] = h.items.size();
    pendingLabels_.clear();
    h.items.push_back(std::move(it));
    return true;
}

// Places the handler's instructions, widening jumps whose distance does not fit until nothing
// changes (widths only grow, so this ends).
bool Assembler::layoutHandler(Handler& h) {
    for (;;) {
        uint32_t at = 0;
        for (Item& it : h.items) {
            it.offset = at;
            at += it.size();
        }
        bool grew = false;
        for (Item& it : h.items) {
            if (it.label.empty()) continue;
            auto lb = h.labels.find(it.label);
            if (lb == h.labels.end())
                return fail(it.line, "label '" + it.label + "' is not in this handler");
            uint32_t target = lb->second < h.items.size() ? h.items[lb->second].offset : at;
            int64_t dist = it.kind == OperandKind::kBack ? int64_t(it.offset) - target
                                                         : int64_t(target) - it.offset;
            if (it.width == 1 && !fitsNarrow(it, dist)) {
                if (it.forcedWidth == 1)
                    return fail(it.line, "jump to '" + it.label + "' does not fit in one byte");
                it.width = 2;
                grew = true;
            } else if (!fitsWide(dist)) {
                return fail(it.line, "jump to '" + it.label + "' is too far");
            }
            it.operand = int32_t(dist);
        }
        if (!grew) return true;
    }
}

bool Assembler::run(std::string_view text, std::vector<uint8_t>* out, AsmError* err) {
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view raw =
            text.substr(pos, nl == std::string_view::npos ? text.npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        AsmLine l;
        std::string msg;
        if (!splitAsmLine(raw, &l, &msg)) {
            fail(lineNo, msg);
            break;
        }
        for (const std::string& lb : l.labels) {
            if (handlers_.empty()) {
                fail(lineNo, "a label must stand inside a handler");
                break;
            }
            if (handlers_.back().labels.count(lb) ||
                std::find(pendingLabels_.begin(), pendingLabels_.end(), lb) !=
                    pendingLabels_.end()) {
                fail(lineNo, "label '" + lb + "' is defined twice");
                break;
            }
            pendingLabels_.push_back(lb);
        }
        if (!error_.message.empty()) break;
        if (l.word.empty()) continue;
        bool ok = l.word[0] == '.' ? directive(lineNo, l) : instruction(lineNo, l);
        if (!ok) break;
    }
    // Labels at the end of a handler's code stand for its end.
    if (error_.message.empty() && !pendingLabels_.empty()) {
        Handler& h = handlers_.back();
        for (const std::string& lb : pendingLabels_)
            h.labels[lb] = h.items.size();
        pendingLabels_.clear();
    }
    std::erase_if(uses_->calls, [&](const AsmName& c) { return externs_.count(c.name) != 0; });
    if (error_.message.empty() && handlers_.size() > 65535)
        fail(0, "a block holds at most 65535 handlers");
    for (Handler& h : handlers_) {
        if (!error_.message.empty()) break;
        layoutHandler(h);
    }
    if (!error_.message.empty()) {
        if (err) *err = error_;
        return false;
    }

    const uint32_t handlerTable = 96;
    const uint32_t literalTable = handlerTable + 42 * uint32_t(handlers_.size());
    const uint32_t literalData = literalTable + 8 * uint32_t(literals_.size());
    std::vector<uint8_t> data;
    for (Literal& lit : literals_) {
        if (!lit.isText) continue;
        lit.value = uint32_t(data.size());
        uint8_t word[4];
        writeU32(word, uint32_t(lit.text.size()));
        data.insert(data.end(), word, word + 4);
        data.insert(data.end(), lit.text.begin(), lit.text.end());
        data.push_back(0);
    }
    uint64_t codeStart = uint64_t(literalData) + data.size();
    uint64_t total = codeStart;
    for (const Handler& h : handlers_)
        for (const Item& it : h.items)
            total += it.size();
    if (total > ScriptBlock::kMaxLength) {
        if (err) *err = {0, "the block would be larger than 64 MiB"};
        return false;
    }

    std::vector<uint8_t>& b = *out;
    b.assign(size_t(total), 0);
    b[0] = uint8_t(version_);
    writeU32(&b[8], uint32_t(total));
    writeU16(&b[72], uint16_t(handlers_.size()));
    writeU32(&b[74], handlerTable);
    writeU32(&b[80], literalTable);
    writeU32(&b[88], literalData);
    for (size_t i = 0; i < literals_.size(); ++i) {
        writeU32(&b[literalTable + 8 * i], literals_[i].type);
        writeU32(&b[literalTable + 8 * i + 4], literals_[i].value);
    }
    std::copy(data.begin(), data.end(), b.begin() + literalData);
    uint32_t at = uint32_t(codeStart);
    for (size_t i = 0; i < handlers_.size(); ++i) {
        const Handler& h = handlers_[i];
        uint8_t* r = &b[handlerTable + 42 * i];
        uint32_t start = at;
        for (const Item& it : h.items) {
            if (it.raw) {
                std::copy(it.bytes.begin(), it.bytes.end(), b.begin() + at);
                at += uint32_t(it.bytes.size());
                continue;
            }
            if (!it.hasOperand) {
                b[at++] = it.opcode;
            } else if (it.width == 1) {
                b[at++] = op1(it.opcode);
                b[at++] = uint8_t(it.operand);
            } else {
                b[at++] = op2(it.opcode);
                writeU16(&b[at], uint16_t(int16_t(it.operand)));
                at += 2;
            }
        }
        writeU16(r + 0, uint16_t(int16_t(h.nameId)));
        writeU32(r + 4, at - start);
        writeU32(r + 8, start);
        writeU16(r + 12, uint16_t(h.params));
        writeU16(r + 18, uint16_t(h.locals));
    }
    return true;
}

} // namespace

bool assembleScript(std::string_view text, std::vector<uint8_t>* block, AsmError* error,
                    std::vector<std::string>* names, AsmUses* uses) {
    Assembler a(names, uses);
    return a.run(text, block, error);
}

} // namespace skv
