#include "core/archive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/abandon.h"
#include "core/errors.h"

namespace skv {

void uArchive::read(void* buffer, int32_t n) {
    int32_t got = pipe_ ? pipe_->read(buffer, n) : -1;
    if (got != n || n < 0) {
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
}

void uArchive::write(const void* buffer, int32_t n) {
    if (pipe_ && n > 0) pipe_->write(buffer, n);
}

uArchive& uArchive::writeInt32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    write(b, 4);
    return *this;
}

uArchive& uArchive::writeInt16(int16_t v) {
    uint16_t u = static_cast<uint16_t>(v);
    uint8_t b[2] = {uint8_t(u), uint8_t(u >> 8)};
    write(b, 2);
    return *this;
}

uArchive& uArchive::writeGuid(const GUID& g) {
    writeInt32(static_cast<int32_t>(g.Data1));
    writeInt16(static_cast<int16_t>(g.Data2));
    writeInt16(static_cast<int16_t>(g.Data3));
    write(g.Data4, 8);
    return *this;
}

uArchive& uArchive::writeString(const char* text) {
    if (!text) return writeInt32(0);
    size_t len = std::strlen(text) + 1;
    writeInt32(static_cast<int32_t>(len));
    write(text, static_cast<int32_t>(len));
    return *this;
}

int32_t uArchive::readInt32() {
    uint8_t b[4];
    read(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
}

int16_t uArchive::readInt16() {
    uint8_t b[2];
    read(b, 2);
    return static_cast<int16_t>(uint16_t(b[0] | (b[1] << 8)));
}

GUID uArchive::readGuid() {
    GUID g;
    g.Data1 = static_cast<uint32_t>(readInt32());
    g.Data2 = static_cast<uint16_t>(readInt16());
    g.Data3 = static_cast<uint16_t>(readInt16());
    read(g.Data4, 8);
    return g;
}

void uArchive::skip(int64_t n) {
    uint8_t scratch[256];
    while (n > 0) {
        int32_t chunk = static_cast<int32_t>(std::min<int64_t>(n, sizeof scratch));
        read(scratch, chunk);
        n -= chunk;
    }
}

void uArchive::readStringInto(char* buffer, int32_t capacity) {
    if (capacity > 0) buffer[0] = '\0';
    int32_t len = readInt32();
    if (len < 0) {
        // A negative length cannot come from a writer; treat it as a cut-off stream.
        abandoned("uArchive::readStringInto", "the text's length %d is negative", int(len));
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
    int32_t kept = std::min(std::max(capacity, 0), len);
    if (kept > 0) {
        try {
            read(buffer, kept);
        } catch (...) {
            buffer[0] = '\0'; // never leave a partial, unterminated text behind
            throw;
        }
        // The stored text may be longer than the buffer or lack its NUL: end it inside.
        buffer[kept < capacity ? kept : capacity - 1] = '\0';
    }
    if (len > kept) skip(int64_t(len) - kept);
}

std::unique_ptr<char[]> uArchive::readStringNew(int32_t* length) {
    int32_t len = readInt32();
    if (length) *length = len;
    if (len < 0 || len > kMaxStringLength) {
        std::fputs("uArchive::read - read less bytes than we asked for !\n", stdout);
        throw CoreError{kErrShortRead};
    }
    // Grow as the bytes actually arrive, so a lying length on a short stream fails at the short
    // read rather than after a large allocation. One extra byte keeps the text terminated.
    size_t have = 0;
    size_t cap = std::min<size_t>(static_cast<size_t>(len), 4096) + 1;
    auto buf = std::make_unique<char[]>(cap);
    while (have < static_cast<size_t>(len)) {
        if (have + 1 == cap) {
            size_t next = std::min<size_t>(cap * 2, static_cast<size_t>(len) + 1);
            auto bigger = std::make_unique<char[]>(next);
            std::memcpy(bigger.get(), buf.get(), have);
            buf = std::move(bigger);
            cap = next;
        }
        size_t chunk = std::min(static_cast<size_t>(len) - have, cap - 1 - have);
        read(buf.get() + have, static_cast<int32_t>(chunk));
        have += chunk;
    }
    buf[have] = '\0';
    return buf;
}

void uArchive::close() {
    if (pipe_) {
        Pipe* p = pipe_;
        pipe_ = nullptr;
        p->close();
        p->release();
    }
}

} // namespace skv
