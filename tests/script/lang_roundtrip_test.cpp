// The decompiler against the compiler: scripts written in the language, random programs and
// random bytecode all come back byte for byte when the decompiler's text is compiled again.
#include <gtest/gtest.h>

// GCC 12 at -O3 takes the string concatenations below for overlapping copies (its bug 105329).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "script/assembler.h"
#include "script/bytes.h"
#include "script/langcompiler.h"
#include "script/langdecompiler.h"
#include "script/opcodes.h"
#include "script/scriptblock.h"

namespace {

using namespace skv;
namespace fs = std::filesystem;

struct RoundTrip {
    bool exact = false;
    DecompileReport report;
    std::string text;
    std::string problem;
};

// Decompiles the block, compiles the text with the same name table and compares.
RoundTrip roundTrip(const std::vector<uint8_t>& bytes, const std::vector<std::string>& names) {
    RoundTrip r;
    ScriptBlock block(bytes);
    r.text = decompileScript(block, names, &r.report);
    std::vector<std::string> table = names;
    std::vector<uint8_t> again;
    std::vector<LangError> errors;
    if (!compileScriptSource(r.text, &again, &errors, &table)) {
        r.problem = langErrorText("decompiled", errors[0]);
        return r;
    }
    if (table != names) r.problem = "compiling the text added names";
    r.exact = again == bytes && r.problem.empty();
    if (again != bytes && r.problem.empty()) r.problem = "the bytes differ";
    return r;
}

std::vector<uint8_t> compile(const std::string& text, std::vector<std::string>* names) {
    std::vector<uint8_t> block;
    std::vector<LangError> errors;
    EXPECT_TRUE(compileScriptSource(text, &block, &errors, names))
        << (errors.empty() ? "" : langErrorText("source", errors[0])) << "\n"
        << text;
    return block;
}

// --- random programs ----------------------------------------------------------------------------

class ProgramMaker {
public:
    explicit ProgramMaker(uint32_t seed) : rng_(seed) {}

    std::string script() {
        std::string s;
        if (pick(4) == 0) s += "version " + std::to_string(pick(2) ? 5 : 3) + "\n";
        s += "global g\nproperty q\n";
        const int handlers = 1 + pick(3);
        for (int h = 0; h < handlers; ++h) {
            s += "on h" + std::to_string(h) + " a, b\n  local x, y, z\n";
            loops_ = 0;
            block(s, 1, 2 + pick(5));
            s += "end\n";
        }
        return s;
    }

private:
    int pick(int n) { return int(rng_() % uint32_t(n)); }
    std::string var() {
        static const char* const kVars[] = {"a", "b", "x", "y", "z", "g", "q"};
        return kVars[pick(7)];
    }
    std::string local() {
        static const char* const kLocals[] = {"x", "y", "z"};
        return kLocals[pick(3)];
    }
    // A part of an expression where the grammar takes less than a whole one.
    std::string sub(int depth) { return "(" + expr(depth + 1) + ")"; }
    std::string chunk(int depth) {
        static const char* const kWords[] = {"char", "word", "item", "line"};
        std::string s;
        int k = pick(4);
        do {
            s += std::string(kWords[k]) + " " + sub(depth);
            if (pick(2)) s += " to " + sub(depth);
            s += " of ";
            k += 1 + pick(3);
        } while (k < 4 && pick(2));
        return s;
    }
    std::string expr(int depth) {
        if (depth > 2) return pick(2) ? var() : std::to_string(pick(40) - 5);
        switch (pick(26)) {
        case 0:
            return std::to_string(int(rng_() % 70000) - 35000);
        case 1:
            return "\"t" + std::to_string(pick(5)) + "\"";
        case 2:
            return "#s" + std::to_string(pick(4));
        case 3:
            return var();
        case 4: {
            static const char* const kOps[] = {"+",  "-",   "*",  "/",        "mod",   "&",
                                               "&&", "=",   "<>", "<",        "<=",    ">",
                                               ">=", "and", "or", "contains", "starts"};
            return expr(depth + 1) + " " + kOps[pick(17)] + " " + expr(depth + 1);
        }
        case 5:
            return "(" + expr(depth + 1) + " + " + expr(depth + 1) + ") * " + expr(depth + 1);
        case 6:
            return "(not " + expr(depth + 1) + ")";
        case 7:
            return "-" + var();
        case 8:
            return "-(" + expr(depth + 1) + ")";
        case 9:
            return "h0(" + expr(depth + 1) + ")";
        case 10:
            return "random(" + expr(depth + 1) + ", " + expr(depth + 1) + ")";
        case 11:
            return chunk(depth) + (pick(2) ? var() : "\"a b c\"");
        case 12:
            return pick(2) ? "the frame" : "the mouseH of movie";
        case 13:
            return "the name of " + var();
        case 14:
            return "the locH of sprite " + sub(depth);
        case 15:
            return pick(2) ? "the timer" : "the floatPrecision";
        case 16:
            return "the last word of " + var();
        case 17:
            return "the number of items in " + var();
        case 18:
            return "the name of member " + sub(depth);
        case 19:
            return "sprite " + sub(depth) + (pick(2) ? " within" : " intersects") + " sprite " +
                   sub(depth);
        case 20:
            return "[" + expr(depth + 1) + ", " + expr(depth + 1) + "]";
        case 21:
            return "call " + var() + "(" + expr(depth + 1) + ")";
        case 22:
            return "external h0(" + expr(depth + 1) + ")";
        case 23:
            return pick(2) ? "1.5" : "literal(7, 3)";
        case 24:
            return "the property 5 of sprite " + var();
        default:
            return "(" + expr(depth + 1) + ")";
        }
    }
    void line(std::string& s, int indent, const std::string& text) {
        s.append(size_t(2 * indent), ' ');
        s += text;
        s += '\n';
    }
    void block(std::string& s, int indent, int count) {
        for (int i = 0; i < count; ++i)
            statement(s, indent);
    }
    void statement(std::string& s, int indent) {
        const int nested = indent > 3 ? 12 : 17;
        switch (pick(nested + (loops_ ? 2 : 0))) {
        case 0:
        case 1:
            line(s, indent, var() + " = " + expr(0));
            break;
        case 2:
            line(s, indent, "set the locH of sprite " + sub(1) + " to " + expr(0));
            break;
        case 3:
            line(s, indent, "set the soundLevel to " + expr(0));
            break;
        case 4: {
            static const char* const kHow[] = {"into", "after", "before"};
            line(s, indent, "put " + expr(0) + " " + kHow[pick(3)] + " " + chunk(0) + local());
            break;
        }
        case 5:
            line(s, indent, "put " + expr(0) + (pick(2) ? " after " : " before ") + local());
            break;
        case 6:
            line(s, indent, "delete " + chunk(0) + local());
            break;
        case 7:
            line(s, indent, "go " + expr(0));
            break;
        case 8:
            line(s, indent, "h0 " + expr(0) + ", " + expr(0));
            break;
        case 9:
            line(s, indent, pick(2) ? "return " + expr(0) : "return");
            break;
        case 10: {
            static const char* const kSmall[] = {"exit",
                                                 "skip",
                                                 "trace read 3",
                                                 "trace field 9",
                                                 "trace write 4",
                                                 "set the name of x to 3",
                                                 "set the itemDelimiter to \";\"",
                                                 "call #h1(1)"};
            line(s, indent, kSmall[pick(8)]);
            break;
        }
        case 11:
            line(s, indent, "set the name of member " + sub(1) + " to " + expr(0));
            break;
        case 12:
        case 13:
            line(s, indent, "if " + expr(0) + " then");
            block(s, indent + 1, 1 + pick(3));
            if (pick(2)) {
                line(s, indent, pick(2) ? "else" : "else if " + expr(0) + " then");
                block(s, indent + 1, 1 + pick(2));
            }
            line(s, indent, "end if");
            break;
        case 14:
            ++loops_;
            line(s, indent, "repeat while " + expr(0));
            block(s, indent + 1, 1 + pick(3));
            line(s, indent, "end repeat");
            --loops_;
            break;
        case 15:
            ++loops_;
            line(s, indent,
                 "repeat with " + local() + " = " + expr(1) + (pick(2) ? " down to " : " to ") +
                     expr(1));
            block(s, indent + 1, 1 + pick(3));
            line(s, indent, "end repeat");
            --loops_;
            break;
        case 16: {
            line(s, indent, "case " + expr(0));
            const int whens = 1 + pick(3);
            for (int w = 0; w < whens; ++w) {
                line(s, indent + 1, "when " + expr(1));
                block(s, indent + 2, 1 + pick(2));
            }
            if (pick(2)) {
                line(s, indent + 1, "else");
                block(s, indent + 2, 1 + pick(2));
            }
            line(s, indent, "end case");
            break;
        }
        default:
            line(s, indent, pick(2) ? "exit repeat" : "next repeat");
            break;
        }
    }

    std::mt19937 rng_;
    int loops_ = 0;
};

// The operations a block's code uses, by their one-byte opcode.
std::set<uint8_t> operationsOf(const std::vector<uint8_t>& bytes) {
    std::set<uint8_t> ops;
    ScriptBlock b(bytes);
    for (int32_t i = 0; i < b.handlerCount(); ++i) {
        const HandlerInfo& h = *b.handler(i);
        for (uint32_t pc = h.codeOffset; pc < h.codeEnd;) {
            Instruction in = decodeInstruction(b.data(), pc, h.codeEnd);
            if (in.length == 0) break;
            ops.insert(kOpcodes[in.opcode].width ? op1(opBase(in.opcode)) : in.opcode);
            pc += in.length;
        }
    }
    return ops;
}

TEST(LanguageRoundTrip, RandomProgramsComeBackInTheLanguageByteForByte) {
    int statements = 0;
    std::set<uint8_t> used;
    for (uint32_t seed = 1; seed <= 1500; ++seed) {
        ProgramMaker maker(seed);
        const std::string source = maker.script();
        std::vector<std::string> names;
        const std::vector<uint8_t> block = compile(source, &names);
        if (block.empty()) continue;
        RoundTrip r = roundTrip(block, names);
        ASSERT_TRUE(r.exact) << "seed " << seed << ": " << r.problem << "\n--- source\n"
                             << source << "--- decompiled\n"
                             << r.text;
        // What the compiler wrote, the decompiler says in the language, without assembly.
        ASSERT_EQ(r.report.asmStatements + r.report.asmHandlers, 0)
            << "seed " << seed << "\n--- source\n"
            << source << "--- decompiled\n"
            << r.text;
        ASSERT_FALSE(r.report.wholeAsm);
        const std::set<uint8_t> ops = operationsOf(block);
        used.insert(ops.begin(), ops.end());
        statements += int(std::count(source.begin(), source.end(), '\n'));
    }
    EXPECT_GT(statements, 20000);
    // The language reaches every operation of the bytecode.
    for (const detail::OpRow& row : detail::kOpRows) {
        const uint8_t op = row.hasOperand() ? op1(row.code) : row.code;
        EXPECT_TRUE(used.count(op)) << row.name << " is never compiled";
    }
}

// --- random bytecode ----------------------------------------------------------------------------

// Random instructions with valid operands: literals of the table, slots of the handler, names
// of the table, jumps to instruction starts of the same handler; laid out by the assembler.
std::string randomAssembly(std::mt19937& rng, size_t names) {
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    std::string s = ".version " + std::to_string(pick(2) ? 0 : 5) + "\n";
    const int literals = pick(4);
    for (int i = 0; i < literals; ++i)
        s += pick(2) ? ".literal text \"l" + std::to_string(i) + "\"\n"
                     : ".literal int " + std::to_string(int(rng() % 100000)) + "\n";
    const int handlers = 1 + pick(3);
    for (int h = 0; h < handlers; ++h) {
        const int params = pick(3), locals = pick(3);
        s += ".handler " + std::to_string(h) + " params " + std::to_string(params) + " locals " +
             std::to_string(locals) + "\n";
        const int count = 1 + pick(25);
        for (int i = 0; i < count; ++i) {
            s += "i" + std::to_string(i) + ": ";
            const detail::OpRow& row = detail::kOpRows[pick(int(std::size(detail::kOpRows)))];
            std::string ins = row.name;
            switch (row.operand) {
            case OperandKind::kNone:
                break;
            case OperandKind::kInteger:
                ins += " " + std::to_string(pick(600) - 300);
                break;
            case OperandKind::kLiteral:
                if (!literals)
                    ins = "pushZero";
                else
                    ins += " L" + std::to_string(pick(literals));
                break;
            case OperandKind::kParam:
                if (!params)
                    ins = "nop";
                else
                    ins += " " + std::to_string(8 * pick(params));
                break;
            case OperandKind::kLocal:
                if (!locals)
                    ins = "nop";
                else
                    ins += " " + std::to_string(8 * pick(locals));
                break;
            case OperandKind::kForward:
            case OperandKind::kBack: {
                const int target = pick(count);
                const bool ahead = target > i;
                if ((row.operand == OperandKind::kForward) != ahead) {
                    ins = "nop";
                    break;
                }
                ins += " i" + std::to_string(target);
                break;
            }
            case OperandKind::kNameId:
            case OperandKind::kProperty:
                ins += " " + std::to_string(pick(int(names)));
                break;
            case OperandKind::kCategory: {
                static const int kCats[] = {0, 1, 6, 7, 9, 13};
                ins += " " + std::to_string(kCats[pick(6)]);
                break;
            }
            case OperandKind::kUnused:
                break;
            case OperandKind::kNumber:
                if (row.code == opCallLocal)
                    ins += " " + std::to_string(pick(handlers));
                else if (row.code == opPutChunk)
                    ins += pick(2) ? " 0x25" : " 0x15";
                else
                    ins += " " + std::to_string(pick(4));
                break;
            }
            s += ins + "\n";
        }
    }
    return s;
}

TEST(LanguageRoundTrip, RandomBytecodeComesBackByteForByte) {
    std::mt19937 rng(7);
    // Handlers are named by number; the table also names properties and calls.
    std::vector<std::string> names = {"h0",   "h1", "h2",     "frame", "mouseH", "go",
                                      "name", "g",  "return", "sym",   "point",  "end"};
    int inLanguage = 0;
    for (int n = 0; n < 3000; ++n) {
        const std::string text = randomAssembly(rng, names.size());
        std::vector<uint8_t> block;
        AsmError e;
        std::vector<std::string> table = names;
        ASSERT_TRUE(assembleScript(text, &block, &e, &table)) << e.line << ": " << e.message << "\n"
                                                              << text;
        RoundTrip r = roundTrip(block, names);
        ASSERT_TRUE(r.exact) << r.problem << "\n--- assembly\n"
                             << text << "--- decompiled\n"
                             << r.text;
        if (!r.report.wholeAsm && r.report.asmHandlers == 0) ++inLanguage;
    }
    // Random code is mostly no statement at all, but much of it still reads as the language.
    EXPECT_GT(inLanguage, 300);
}

// --- the project's own scripts ------------------------------------------------------------------

TEST(LanguageRoundTrip, EveryScriptOfTheExamplesAndMovieTests) {
    int checked = 0;
    for (const char* dir : {"examples", "tests/movies"}) {
        for (const auto& e : fs::recursive_directory_iterator(fs::path(SKV_SOURCE_ROOT) / dir)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".sky" && ext != ".sks") continue;
            std::ifstream in(e.path());
            std::stringstream ss;
            ss << in.rdbuf();
            std::vector<std::string> names = {"frame"};
            std::vector<uint8_t> block;
            if (ext == ".sky") {
                block = compile(ss.str(), &names);
            } else {
                AsmError err;
                ASSERT_TRUE(assembleScript(ss.str(), &block, &err, &names)) << e.path();
            }
            RoundTrip r = roundTrip(block, names);
            EXPECT_TRUE(r.exact) << e.path() << ": " << r.problem << "\n" << r.text;
            ++checked;
        }
    }
    EXPECT_GE(checked, 15);
}

// --- hand-made bytecode -------------------------------------------------------------------------

TEST(LanguageRoundTrip, WhatTheLanguageCannotSayStaysAsCommentedAssembly) {
    std::vector<std::string> names = {"h", "go"};
    // pushInt 5 in its two-byte form, an invalid opcode, and no ret at the end.
    const std::string text = ".handler h\n"
                             "    pushInt.w 5\n"
                             "    argListNoResult 1\n"
                             "    callExternal go\n"
                             "    pushInt 7\n"
                             "    argListNoResult 1\n"
                             "    callExternal go\n"
                             "    .byte 0x02\n";
    std::vector<uint8_t> block;
    AsmError e;
    std::vector<std::string> table = names;
    ASSERT_TRUE(assembleScript(text, &block, &e, &table));
    RoundTrip r = roundTrip(block, names);
    EXPECT_TRUE(r.exact) << r.problem << "\n" << r.text;
    // The call with the ordinary form reads as a statement; the others are kept, and said so.
    EXPECT_NE(r.text.find("go 7"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("pushInt.w 5"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find("-- the statement below has no form in the language"), std::string::npos)
        << r.text;
    EXPECT_NE(r.text.find(".byte 2"), std::string::npos) << r.text;
    EXPECT_GE(r.report.asmStatements, 2);
}

TEST(LanguageRoundTrip, ABlockLaidOutOtherwiseComesBackInTheCompilersLayout) {
    std::vector<std::string> names = {"a", "b"};
    std::vector<uint8_t> block;
    AsmError e;
    std::vector<std::string> table = names;
    ASSERT_TRUE(assembleScript(".handler a\n  pushInt 1\n  ret\n.handler b\n  pushInt 2\n  ret\n",
                               &block, &e, &table));
    // Swap the two handlers' code: b's code first.
    const uint32_t codeA = readU32(&block[96 + 8]), codeB = readU32(&block[96 + 42 + 8]);
    std::vector<uint8_t> swapped = block;
    std::copy(block.begin() + codeB, block.begin() + codeB + 3, swapped.begin() + codeA);
    std::copy(block.begin() + codeA, block.begin() + codeA + 3, swapped.begin() + codeA + 3);
    writeU32(&swapped[96 + 8], codeA + 3);
    writeU32(&swapped[96 + 42 + 8], codeA);
    RoundTrip r = roundTrip(swapped, names);
    EXPECT_FALSE(r.exact);
    EXPECT_NE(r.text.find("not laid out the way the compiler lays blocks out"), std::string::npos)
        << r.text;
    // Compiled, it is the block in the compiler's layout.
    std::vector<uint8_t> again;
    std::vector<LangError> errors;
    table = names;
    ASSERT_TRUE(compileScriptSource(r.text, &again, &errors, &table));
    EXPECT_EQ(again, block);
}

} // namespace
