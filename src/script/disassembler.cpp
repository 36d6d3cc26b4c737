#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "script/asmsyntax.h"
#include "script/assembler.h"
#include "script/bytes.h"
#include "script/opcodes.h"
#include "script/scriptblock.h"

namespace skv {

namespace {

std::string format(const char* fmt, long long a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a);
    return buf;
}

std::string literalText(const ScriptBlock& b, uint32_t i, bool* isTextOut = nullptr) {
    uint32_t table = readU32(b.data() + 80);
    const uint8_t* e = b.data() + table + 8 * i;
    uint32_t type = readU32(e), value = readU32(e + 4);
    if (isTextOut) *isTextOut = type == ScriptBlock::kLiteralText;
    switch (type) {
    case ScriptBlock::kLiteralText: {
        std::string t = ".literal text ";
        t += quoteText(b.literal(int32_t(8 * i)).text());
        return t;
    }
    case ScriptBlock::kLiteralInteger:
        return format(".literal int %lld", int32_t(value));
    case ScriptBlock::kLiteralFloat:
        return format(".literal float %lld", int32_t(value));
    default: {
        std::string t = format(".literal raw %lld", type);
        t += format(" %lld", value);
        return t;
    }
    }
}

bool fitsNarrow(OperandKind kind, int64_t v) {
    return kind == OperandKind::kInteger ? (v >= -128 && v <= 127) : (v >= 0 && v <= 255);
}

// Where a jump at pc goes.
int64_t jumpTarget(const OpcodeInfo& info, uint32_t pc, int32_t distance) {
    return info.operand == OperandKind::kBack ? int64_t(pc) - distance : int64_t(pc) + distance;
}

void disassembleCode(const ScriptBlock& b, int index, const HandlerInfo& h, uint32_t literals,
                     std::string& out) {
    const uint8_t* code = b.data();
    std::set<uint32_t> starts, targets;
    for (uint32_t pc = h.codeOffset; pc < h.codeEnd;) {
        starts.insert(pc);
        Instruction in = decodeInstruction(code, pc, h.codeEnd);
        if (in.length == 0 || !kOpcodes[in.opcode].valid()) {
            ++pc;
            continue;
        }
        if (isJumpOpcode(in.opcode)) {
            int64_t t = jumpTarget(kOpcodes[in.opcode], pc, in.operand);
            targets.insert(uint32_t(std::clamp<int64_t>(t, -1, UINT32_MAX)));
        }
        pc += in.length;
    }
    starts.insert(h.codeEnd);
    auto labelOf = [&](int64_t t) -> std::string {
        if (t < h.codeOffset || t > h.codeEnd || !starts.count(uint32_t(t))) return {};
        std::string name = "h";
        name += std::to_string(index);
        name += '_';
        name += std::to_string(t - h.codeOffset);
        return name;
    };

    for (uint32_t pc = h.codeOffset; pc <= h.codeEnd;) {
        if (targets.count(pc) && !labelOf(pc).empty()) {
            out += labelOf(pc);
            out += ":\n";
        }
        if (pc == h.codeEnd) break;
        Instruction in = decodeInstruction(code, pc, h.codeEnd);
        const OpcodeInfo& info = kOpcodes[in.opcode];
        if (in.length == 0 || !info.valid()) {
            // An invalid opcode, or an instruction cut off by the end of the code: raw bytes.
            uint32_t n = in.length == 0 ? h.codeEnd - pc : 1;
            std::string line = "    .byte";
            for (uint32_t i = 0; i < n; ++i)
                line += format(" 0x%02llX", code[pc + i]);
            out += line;
            out += '\n';
            pc += n;
            continue;
        }
        std::string line = "    ";
        line += info.name;
        if (info.width) {
            const OperandKind kind = info.operand;
            std::string operand, comment;
            int64_t shown = in.operand;
            if (isJumpOpcode(in.opcode)) operand = labelOf(jumpTarget(info, pc, in.operand));
            if (kind == OperandKind::kLiteral && in.operand >= 0 && in.operand % 8 == 0 &&
                uint32_t(in.operand / 8) < literals) {
                operand = 'L';
                operand += std::to_string(in.operand / 8);
                bool isText = false;
                std::string lit = literalText(b, uint32_t(in.operand / 8), &isText);
                comment = lit.substr(std::string(".literal ").size());
            }
            if ((kind == OperandKind::kParam || kind == OperandKind::kLocal) && in.operand >= 0 &&
                in.operand % 8 == 0) {
                comment = kind == OperandKind::kLocal ? "local " : "param ";
                comment += std::to_string(in.operand / 8);
            }
            if (in.length == 3 && fitsNarrow(kind, shown)) line += ".w";
            line += ' ';
            line += operand.empty() ? std::to_string(in.operand) : operand;
            if (!comment.empty()) {
                line.resize(std::max<size_t>(line.size() + 1, 36), ' ');
                line += "; ";
                line += comment;
            }
        }
        out += line;
        out += '\n';
        pc += in.length;
    }
}

} // namespace

std::string disassembleScript(const ScriptBlock& b) {
    std::string out;
    uint32_t literals = b.literalCount();
    out += format("; script block of %lld bytes", b.length()) +
           format(", %lld handlers", b.handlerCount()) + format(", %lld literals\n", literals);
    if (b.length() < ScriptBlock::kHeaderSize)
        out += "; the header is cut short: the block has no handlers\n";
    out += format(".version %lld\n", b.formatVersion());
    for (uint32_t i = 0; i < literals; ++i) {
        out += literalText(b, i);
        out += "   ; L";
        out += std::to_string(i);
        out += '\n';
    }
    for (int32_t i = 0; i < b.handlerCount(); ++i) {
        const HandlerInfo& h = *b.handler(i);
        out += '\n';
        out += format(".handler %lld", h.nameId);
        out += format(" params %lld", h.paramCount);
        out += format(" locals %lld", h.localCount);
        out += format("   ; #%lld\n", i);
        const uint8_t* r = b.data() + readU32(b.data() + 74) + 42 * uint64_t(i);
        if (h.codeEnd == h.codeOffset && readU32(r + 4) != 0)
            out += "    ; its code range lies outside the block\n";
        disassembleCode(b, i, h, literals, out);
    }
    return out;
}

} // namespace skv
