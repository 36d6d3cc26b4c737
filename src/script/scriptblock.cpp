#include "script/scriptblock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/archive.h"
#include "core/errors.h"
#include "script/bytes.h"

namespace skv {

ScriptBlock::ScriptBlock(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > kMaxLength) throw CoreError{kErrShortRead};
    length_ = static_cast<uint32_t>(bytes.size());
    bytes_ = std::make_unique<uint8_t[]>(length_ + kPadding);
    if (length_) std::memcpy(bytes_.get(), bytes.data(), length_);
    index();
}

std::unique_ptr<ScriptBlock> ScriptBlock::read(uArchive& ar) {
    int32_t n = ar.readInt32();
    if (n < 0 || uint32_t(n) > kMaxLength) {
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
    // Grow as the bytes arrive, so that a lying length on a short stream fails at the short read
    // rather than after a large allocation.
    std::vector<uint8_t> bytes;
    size_t have = 0;
    while (have < size_t(n)) {
        size_t chunk = std::min<size_t>(size_t(n) - have, std::max<size_t>(have, 64 * 1024));
        bytes.resize(have + chunk);
        ar.read(bytes.data() + have, static_cast<int32_t>(chunk));
        have += chunk;
    }
    std::unique_ptr<ScriptBlock> b(new ScriptBlock());
    b->length_ = static_cast<uint32_t>(n);
    b->bytes_ = std::make_unique<uint8_t[]>(b->length_ + kPadding);
    if (n) std::memcpy(b->bytes_.get(), bytes.data(), size_t(n));
    b->index();
    return b;
}

uint32_t ScriptBlock::blockLength() const {
    return length_ >= 12 ? readU32(bytes_.get() + 8) : 0;
}

void ScriptBlock::index() {
    handlers_.clear();
    if (length_ < kHeaderSize) return;
    const uint8_t* b = bytes_.get();
    uint32_t count = readU16(b + 72);
    uint64_t table = readU32(b + 74);
    literalTable_ = readU32(b + 80);
    literalData_ = readU32(b + 88);
    // Only records that lie inside the block get an entry; later indices are simply absent.
    uint64_t fit = table <= length_ ? (length_ - table) / kHandlerRecordSize : 0;
    count = static_cast<uint32_t>(std::min<uint64_t>(count, fit));
    handlers_.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = b + table + uint64_t(kHandlerRecordSize) * i;
        HandlerInfo& h = handlers_[i];
        h.nameId = readI16(r + 0);
        uint64_t codeLength = readU32(r + 4);
        uint64_t codeOffset = readU32(r + 8);
        if (codeOffset + codeLength <= length_) {
            h.codeOffset = static_cast<uint32_t>(codeOffset);
            h.codeEnd = static_cast<uint32_t>(codeOffset + codeLength);
        } // otherwise the handler has no code
        h.paramCount = std::max<int32_t>(0, readI16(r + 12));
        h.localCount = std::max<int32_t>(0, readI16(r + 18));
    }
}

int32_t ScriptBlock::findHandler(int32_t nameId) const {
    for (size_t i = 0; i < handlers_.size(); ++i)
        if (handlers_[i].nameId == nameId) return static_cast<int32_t>(i);
    return -1;
}

ScriptValue ScriptBlock::literal(int32_t byteOffset) const {
    if (byteOffset < 0) return ScriptValue::voidValue();
    uint64_t at = uint64_t(literalTable_) + uint32_t(byteOffset);
    if (length_ < kHeaderSize || at + kLiteralEntrySize > length_) return ScriptValue::voidValue();
    const uint8_t* e = bytes_.get() + at;
    uint32_t type = readU32(e);
    uint32_t value = readU32(e + 4);
    switch (type) {
    case kLiteralText: {
        uint64_t start = uint64_t(literalData_) + value + 4;
        if (start >= length_) return ScriptValue::borrowed("");
        // A text runs to its NUL, or to the end of the block when the block ends first: the
        // zero byte that follows the block in memory then ends it, so no read leaves the block.
        return ScriptValue::borrowed(reinterpret_cast<const char*>(bytes_.get() + start));
    }
    case kLiteralInteger:
        return ScriptValue::integer(static_cast<int32_t>(value));
    case kLiteralFloat:
        return ScriptValue::of(vtFloat, 0);
    default:
        // Any other type is pushed as it stands, but never as something that would be read
        // as a pointer.
        ScriptValue v = ScriptValue::of(type, static_cast<int32_t>(value));
        if (v.holdsPointer()) v.type = vtInteger;
        return v;
    }
}

uint32_t ScriptBlock::literalCount() const {
    if (length_ < kHeaderSize) return 0;
    uint64_t table = readU32(data() + 80), literalData = readU32(data() + 88);
    uint64_t stop = literalData >= table ? std::min<uint64_t>(literalData, length_) : length_;
    return table >= stop ? 0 : uint32_t((stop - table) / 8);
}

} // namespace skv
