// uArchive: the one serialization channel. Every serializable class reads and writes its fields
// through it, one primitive at a time; the archive adds no framing, padding or type tags.
//
// Primitives (little-endian, unaligned):
//
// | primitive   | bytes | notes                                                        |
// |-------------|-------|--------------------------------------------------------------|
// | int32       | 4     | also booleans, enumerations, colours, sizes and counts       |
// | int16       | 2     |                                                              |
// | GUID        | 16    | Data1 (4), Data2 (2), Data3 (2), then the 8 bytes of Data4   |
// | raw block   | n     | no length prefix; n is fixed by the class or an earlier count|
// | string      | 4 + L | int32 L = length + 1, then the text and its NUL; null: L = 0 |
//
// A read that gets fewer bytes than asked writes a diagnostic line and raises CoreError 666.
#pragma once

#include <cstdint>
#include <memory>

#include "core/pipe.h"
#include "platform/win32.h"

namespace skv {

class uArchive {
public:
    enum Mode : int32_t { kStoring = 1, kLoading = 2 };

    // Longest string readStringNew accepts; a stored length beyond it is treated as corruption.
    static constexpr int32_t kMaxStringLength = 64 * 1024 * 1024;

    uArchive(Pipe* pipe, int32_t mode) : pipe_(pipe), mode_(mode) {}
    ~uArchive() { close(); }
    uArchive(const uArchive&) = delete;
    uArchive& operator=(const uArchive&) = delete;

    bool isStoring() const { return (mode_ & 1) != 0; }
    int32_t mode() const { return mode_; }
    Pipe* pipe() const { return pipe_; }

    // Exactly n bytes or CoreError 666.
    void read(void* buffer, int32_t n);
    // The pipe's count is not checked: a short write is the pipe's to report.
    void write(const void* buffer, int32_t n);

    uArchive& writeInt32(int32_t v);
    uArchive& writeUInt32(uint32_t v) { return writeInt32(static_cast<int32_t>(v)); }
    uArchive& writeInt16(int16_t v);
    uArchive& writeGuid(const GUID& g);
    uArchive& writeString(const char* text); // null writes length 0
    int32_t readInt32();
    uint32_t readUInt32() { return static_cast<uint32_t>(readInt32()); }
    int16_t readInt16();
    GUID readGuid();
    // Reads a string into a buffer of `capacity` bytes. Bytes beyond the capacity are consumed
    // and dropped; the buffer always ends up NUL-terminated within its capacity.
    void readStringInto(char* buffer, int32_t capacity);
    // Reads a string into a new allocation owned by the caller: a null or empty stored string
    // gives a single NUL. `length` receives the stored length word when given.
    std::unique_ptr<char[]> readStringNew(int32_t* length = nullptr);

    // Loads or stores one int32 field depending on the direction.
    void serializeInt32(int32_t& v) {
        if (isStoring())
            writeInt32(v);
        else
            v = readInt32();
    }

    void detach() { pipe_ = nullptr; }
    // Closes and frees the pipe, if any.
    void close();

    void setStreamVersion(int32_t v) { streamVersion_ = v; }
    int32_t streamVersion() const { return streamVersion_; }

private:
    void skip(int64_t n);

    Pipe* pipe_;
    int32_t mode_;
    int32_t streamVersion_ = 0;
};

} // namespace skv
