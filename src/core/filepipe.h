// uFilePipe: a file on disk that one thread appends to while another reads it back from its own
// position. It doubles as the movie cache, so an interrupted or repeated transfer can reuse what
// was already fetched.
//
// Reads block until the bytes asked for have been written, the expected total has been reached
// or the pipe has been closed; the reader sleeps on an event the writer signals after each write.
#pragma once

#include <cstdint>
#include <string>

#include "core/Util/nmtx.h"
#include "core/pipe.h"
#include "platform/win32.h"

namespace skv {

class uFilePipe : public Pipe {
public:
    enum Flags : uint32_t {
        kCreate = 1,        // create the file afresh (an existing file is emptied)
        kDeleteOnClose = 2, // delete the file when the pipe is closed
    };
    static constexpr uint32_t kUnknownSize = 0xFFFFFFFFu;

    uFilePipe(const char* path, uint32_t flags);
    ~uFilePipe() override;

    int32_t read(void* buffer, int32_t n) override;
    int32_t write(const void* buffer, int32_t n) override;
    void close() override;
    int32_t size() override; // the current file size; also refreshes `written`
    void setExpectedSize(uint32_t n) override;
    void truncate(uint32_t n) override; // cuts the file to n bytes; both positions become n

    uint32_t readPosition() const;
    uint32_t writtenBytes() const;
    uint32_t expectedSize() const;
    const std::string& path() const { return path_; }

private:
    class ReadScope;
    bool enterRead();
    void leaveRead();

    nmtx lock_;
    HANDLE file_ = nullptr;
    volatile LONG readPos_ = 0;
    volatile LONG written_ = 0;
    volatile LONG expected_ = static_cast<LONG>(kUnknownSize);
    // Signalled after every write, on close and when the expected total becomes known. Closed
    // only by the destructor: a reader woken by close() still resets it on its way out.
    HANDLE dataEvent_ = nullptr;
    int32_t deleteOnClose_ = 0;
    std::string path_;
    // Reads in progress (guarded by lock_), and an event signalled while there are none, so that
    // destruction waits for a reader that close() has just woken.
    int32_t readers_ = 0;
    HANDLE readersGone_ = nullptr;
};

// The cache directory: the directory of the module holding this code, then "qmsCache" and a
// separator. Created if missing (failure is ignored). The module directory is computed once.
std::string cacheDirectory();

} // namespace skv
