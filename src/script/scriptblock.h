// ScriptBlock: one compiled script, kept in memory exactly as it was read.
//
// Header fields the player reads (all other bytes belong to the authoring tool):
//
// | offset | width  | field              |                                               |
// |--------|--------|--------------------|-----------------------------------------------|
// | 0      | uint8  | formatVersion      | 5 and above change one property opcode        |
// | 8      | uint32 | blockLength        | total length of the block                     |
// | 72     | uint16 | handlerCount       |                                               |
// | 74     | uint32 | handlerTableOffset | first HandlerRecord                           |
// | 80     | uint32 | literalTableOffset |                                               |
// | 88     | uint32 | literalDataOffset  |                                               |
//
// HandlerRecord, 42 bytes, record i at handlerTableOffset + 42 i:
//
// | offset | width  | field      |
// |--------|--------|------------|
// | 0      | int16  | nameId     |
// | 4      | uint32 | codeLength |
// | 8      | uint32 | codeOffset |
// | 12     | int16  | paramCount |
// | 18     | int16  | localCount |
//
// LiteralEntry, 8 bytes at literalTableOffset + byte offset: uint32 type, uint32 value. A text
// literal (type 1) starts at literalDataOffset + value + 4 (a length word comes first) and runs
// to a NUL or to the end of the block, whichever comes first; an integer (4) carries its value;
// a float (9) pushes 0; other types push the value.
//
// A block from a stream is untrusted. A header that does not fit leaves the block without
// handlers; a record outside the block is absent; a code range outside the block is empty; a
// literal outside the block is void and a text that starts at or past the block's end is empty.
// Three zero bytes follow the block in memory: the first ends a text whose bytes run to the
// block's end, and with the next two an instruction at the very end of a code range can read its
// operand without leaving the allocation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "script/scriptvalue.h"

namespace skv {

class uArchive;

struct HandlerInfo {
    int32_t nameId = -1;
    uint32_t codeOffset = 0;
    uint32_t codeEnd = 0;
    int32_t paramCount = 0;
    int32_t localCount = 0;
};

class ScriptBlock {
public:
    static constexpr uint32_t kHeaderSize = 92;
    static constexpr uint32_t kHandlerRecordSize = 42;
    static constexpr uint32_t kLiteralEntrySize = 8;
    static constexpr uint32_t kMaxLength = 64u * 1024 * 1024;
    static constexpr uint32_t kPadding = 3; // the NUL of the stored form and two spare bytes

    enum LiteralType : uint32_t { kLiteralText = 1, kLiteralInteger = 4, kLiteralFloat = 9 };

    explicit ScriptBlock(const std::vector<uint8_t>& bytes);
    // Reads int32 L and L bytes; a negative or oversized L raises CoreError 666.
    static std::unique_ptr<ScriptBlock> read(uArchive& ar);

    const uint8_t* data() const { return bytes_.get(); }
    uint32_t length() const { return length_; }
    uint8_t formatVersion() const { return length_ ? bytes_[0] : 0; }
    // The header's own length word (the block's real length is length()).
    uint32_t blockLength() const;

    int32_t handlerCount() const { return static_cast<int32_t>(handlers_.size()); }
    // Null when the index is out of range or its record lies outside the block.
    const HandlerInfo* handler(int32_t index) const {
        return index >= 0 && index < handlerCount() ? &handlers_[size_t(index)] : nullptr;
    }
    // The lowest index with that nameId, or -1.
    int32_t findHandler(int32_t nameId) const;

    // The value a pushLiteral with this byte offset yields (borrowed texts point into the block).
    ScriptValue literal(int32_t byteOffset) const;
    // How many literal entries the block holds: the table runs up to the literal data (or to the
    // end of the block when the data lies before it).
    uint32_t literalCount() const;

private:
    ScriptBlock() = default;
    void index();

    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t length_ = 0;
    std::vector<HandlerInfo> handlers_;
    uint32_t literalTable_ = 0;
    uint32_t literalData_ = 0;
};

} // namespace skv
