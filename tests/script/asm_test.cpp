// The opcode table, the decoder and the assembly text in both directions.
#include <gtest/gtest.h>

#include <set>

#include "script/assembler.h"
#include "script/bytes.h"
#include "script/opcodes.h"
#include "script/scriptblock.h"

using namespace skv;

namespace {

TEST(Opcodes, ExactlyTheListedOpcodesAreValid) {
    std::set<int> invalid = {0x02, 0x18, 0x47, 0x4D, 0x4E, 0x5E,
                             0x63, 0x87, 0x8D, 0x8E, 0x9E, 0xA3};
    for (int op = 0x1B; op <= 0x40; ++op)
        invalid.insert(op);
    for (int op = 0x67; op <= 0x80; ++op)
        invalid.insert(op);
    for (int op = 0xA7; op <= 0xFF; ++op)
        invalid.insert(op);
    for (int op = 0; op < 256; ++op) {
        EXPECT_EQ(kOpcodes[size_t(op)].valid(), !invalid.count(op)) << std::hex << op;
        if (kOpcodes[size_t(op)].valid()) {
            EXPECT_EQ(kOpcodes[size_t(op)].width, op >> 6) << op;
        }
    }
    // Both operand forms are the same operation.
    EXPECT_STREQ(kOpcodes[0x4C].name, "pushLocal");
    EXPECT_STREQ(kOpcodes[0x8C].name, "pushLocal");
    EXPECT_EQ(kOpcodes[0x17].pops, 9);
    EXPECT_EQ(kOpcodes[0x5A].pops, 10);
    EXPECT_TRUE(isJumpOpcode(0x53));
    EXPECT_TRUE(isJumpOpcode(0x95));
    EXPECT_FALSE(isJumpOpcode(0x13)) << "0x13 is 'or', not a jump";
}

TEST(Opcodes, DecodingWidthsAndSigns) {
    const uint8_t code[] = {0x41, 0xFF, 0x81, 0xFF, 0xFF, 0x53, 0xFF, 0x8C, 0x10, 0x00, 0x4C, 0x80};
    Instruction a = decodeInstruction(code, 0, sizeof code);
    EXPECT_EQ(a.operand, -1) << "pushInt's one-byte operand is signed";
    EXPECT_EQ(a.length, 2u);
    Instruction b = decodeInstruction(code, 2, sizeof code);
    EXPECT_EQ(b.operand, -1);
    EXPECT_EQ(b.length, 3u);
    EXPECT_EQ(decodeInstruction(code, 5, sizeof code).operand, 255) << "jump 0xFF is 255 ahead";
    EXPECT_EQ(decodeInstruction(code, 7, sizeof code).operand, 16);
    EXPECT_EQ(decodeInstruction(code, 10, sizeof code).operand, 128) << "other operands unsigned";
    // An instruction cut off by the end of the code does not decode.
    EXPECT_EQ(decodeInstruction(code, 2, 4).length, 0u);
    EXPECT_EQ(decodeInstruction(code, 12, sizeof code).length, 0u);
}

std::vector<uint8_t> assembleOk(const std::string& text) {
    std::vector<uint8_t> b;
    AsmError e;
    EXPECT_TRUE(assembleScript(text, &b, &e)) << e.line << ": " << e.message;
    return b;
}

TEST(Assembly, LayoutOfTheAssembledBlock) {
    std::vector<uint8_t> b = assembleOk(R"(
.version 6
.literal text "hi"
.literal int -2
.handler 12 params 2 locals 3
    pushLiteral L1
    pushInt 300
    ret
)");
    ScriptBlock blk(b);
    EXPECT_EQ(blk.formatVersion(), 6);
    EXPECT_EQ(readU32(&b[8]), b.size());
    ASSERT_EQ(blk.handlerCount(), 1);
    const HandlerInfo& h = *blk.handler(0);
    EXPECT_EQ(h.nameId, 12);
    EXPECT_EQ(h.paramCount, 2);
    EXPECT_EQ(h.localCount, 3);
    ASSERT_EQ(h.codeEnd - h.codeOffset, 6u);
    const uint8_t* c = blk.data() + h.codeOffset;
    EXPECT_EQ(std::vector<uint8_t>(c, c + 6),
              (std::vector<uint8_t>{0x44, 8, 0x81, 0x2C, 0x01, 0x01}));
    EXPECT_STREQ(blk.literal(0).text(), "hi");
    EXPECT_EQ(blk.literal(8).asInt(), -2);
}

TEST(Assembly, JumpsWidenWhenTheirTargetIsFar) {
    std::string text = ".handler 0\n    jumpIfZero far\n";
    for (int i = 0; i < 300; ++i)
        text += "    nop\n";
    text += "far:\n    jumpBack.w far\n    jump near\nnear:\n    ret\n";
    ScriptBlock blk(assembleOk(text));
    const uint8_t* c = blk.data() + blk.handler(0)->codeOffset;
    EXPECT_EQ(c[0], 0x95);
    EXPECT_EQ(readI16(c + 1), 303);
    EXPECT_EQ(c[303], 0x94);
    EXPECT_EQ(readI16(c + 304), 0) << "a jump back to itself";
    EXPECT_EQ(c[306], 0x53);
    EXPECT_EQ(c[307], 2);
}

TEST(Assembly, ErrorsNameTheirLine) {
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"pushInt 1\n", 1},
        {".handler 0\n\n  frobnicate 3\n", 3},
        {".handler 0\n  pushInt 40000\n", 2},
        {".handler 0\n  pushInt.b 200\n", 2},
        {".handler 0\n  jump nowhere\n", 2},
        {".handler 0\n  add 3\n", 2},
        {".handler 0\n  pushLiteral L0\n", 2},
        {".literal text \"open\n", 1},
        {".handler 0\nx:\nx:\n  ret\n", 3},
        {".handler 0 params -1\n", 1},
        {".bogus\n", 1},
        {".handler 0\n  .byte 256\n", 2},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> b;
        AsmError e;
        EXPECT_FALSE(assembleScript(c.text, &b, &e)) << c.text;
        EXPECT_EQ(e.line, c.line) << c.text << " -> " << e.message;
        EXPECT_FALSE(e.message.empty());
    }
}

TEST(Assembly, AnOperandIsNeverLeftOut) {
    // Left out, an operand would be 0: an argument count of none, slot 0, nameId 0. Only the
    // unused operands may be left out.
    for (int op = 0x40; op < 0x80; ++op) {
        const OpcodeInfo& info = kOpcodes[size_t(op)];
        if (!info.valid()) continue;
        std::vector<uint8_t> b;
        AsmError e;
        const bool ok = assembleScript(std::string(".handler 0\n  ") + info.name + "\n", &b, &e);
        if (info.operand == OperandKind::kUnused) {
            EXPECT_TRUE(ok) << info.name << ": " << e.message;
            continue;
        }
        EXPECT_FALSE(ok) << info.name;
        EXPECT_EQ(e.line, 2) << info.name;
        EXPECT_EQ(e.message.rfind(std::string(info.name) + " needs ", 0), 0u) << e.message;
    }
    std::vector<uint8_t> b;
    AsmError e;
    EXPECT_FALSE(assembleScript(".handler 0\n  argList.b\n", &b, &e));
    EXPECT_EQ(e.message, "argList needs its argument count: write 'argList N', N the number of "
                         "values pushed for the call (0 for none)");
    EXPECT_FALSE(assembleScript(".handler 0\n  argListNoResult -1\n", &b, &e));
    EXPECT_EQ(e.message, "an argument count cannot be negative: write the number of values "
                         "pushed for the call");
    EXPECT_TRUE(assembleScript(".handler 0\n  argList 0\n  pushInt -1\n", &b, &e)) << e.message;
}

TEST(Assembly, DisassemblyAssemblesToTheSameBytes) {
    std::string text = R"(
; every kind of line
.version 5
.literal text "say \"hi\"\n\x01"
.literal int 100000
.literal float 3
.literal raw 3 77
.handler 7 params 1 locals 2
start:
    pushParam 0
    pushInt -128
    pushInt.w 5
    pushInt 1000
    pushLiteral L0
    pushLiteral 12
    jumpIfZero done
    argList 2
    callExternal 300
    callIndirect
    putChunk 0x35
    jumpBack start
    jump.w done
done:
    .byte 0x18 0xC0
    ret
.handler 8
.handler -3 locals 1
    pushLocal 8
    .byte 0x81 0x01
)";
    std::vector<uint8_t> b = assembleOk(text);
    std::string dis = disassembleScript(ScriptBlock(b));
    std::vector<uint8_t> again = assembleOk(dis);
    EXPECT_EQ(again, b) << dis;
    EXPECT_NE(dis.find("jumpIfZero h0_"), std::string::npos) << dis;
    EXPECT_NE(dis.find(".byte 0x18"), std::string::npos);
    EXPECT_NE(dis.find("pushInt.w 5"), std::string::npos);
}

TEST(Assembly, EveryOpcodeIsWrittenByItsName) {
    // Each form of each operation by its table name: the assembler must pick exactly that opcode,
    // and the disassembler must name it so that it assembles back.
    std::string text = ".handler 0\n";
    std::vector<uint8_t> expected;
    for (int op = 0; op < 256; ++op) {
        const OpcodeInfo& info = kOpcodes[size_t(op)];
        if (!info.valid()) continue;
        text += "    ";
        text += info.name;
        text += info.width == 0 ? "\n" : info.width == 1 ? ".b 0\n" : ".w 0\n";
        expected.push_back(uint8_t(op));
        expected.insert(expected.end(), info.width, 0);
    }
    std::vector<uint8_t> b = assembleOk(text);
    ScriptBlock blk(b);
    ASSERT_EQ(blk.handlerCount(), 1);
    const HandlerInfo& h = *blk.handler(0);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + h.codeOffset, b.begin() + h.codeEnd), expected);
    std::string dis = disassembleScript(blk);
    EXPECT_EQ(assembleOk(dis), b) << dis;
}

TEST(Assembly, ForeignBlocksDisassembleWithoutReadingOutside) {
    // A record whose code lies outside, a header cut short, a block of noise.
    std::vector<uint8_t> b = assembleOk(".handler 1\n  ret\n");
    writeU32(&b[96 + 8], 0x7FFFFFF0);
    std::string dis = disassembleScript(ScriptBlock(b));
    EXPECT_NE(dis.find("outside the block"), std::string::npos) << dis;
    EXPECT_NE(disassembleScript(ScriptBlock(std::vector<uint8_t>(40, 0x55))).find("cut short"),
              std::string::npos);
    std::vector<uint8_t> noise(400);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 97 + 13);
    writeU16(&noise[72], 3);
    writeU32(&noise[74], 100);
    std::string text = disassembleScript(ScriptBlock(noise));
    EXPECT_FALSE(text.empty());
}

} // namespace
