// The byte channel every archive reads from or writes to.
//
// Two kinds exist in the stream core: uFilePipe (a file one thread appends to while another reads
// it back; it doubles as the movie cache) and uPipePipe (an anonymous pipe with a fixed capacity).
// MemoryPipe keeps bytes in memory for the movie writer and for tests.
#pragma once

#include <atomic>
#include <cstdint>

namespace skv {

class Pipe {
public:
    Pipe() = default;
    virtual ~Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    // Blocking read; the kinds differ in what "enough" means. Returns the bytes read, 0 or -1.
    virtual int32_t read(void* buffer, int32_t n) = 0;
    virtual int32_t write(const void* buffer, int32_t n) = 0;
    virtual void flush() {}
    virtual void close() { closed_ = 1; }
    // Records a threshold; when the size word is below it, the size word is set to it.
    virtual void thresholdHook(int32_t threshold);
    virtual int32_t sizeWord() const { return sizeWord_; }
    virtual void setSizeWord(int32_t v) { sizeWord_ = v; }
    virtual int32_t size() { return -1; }
    virtual void setExpectedSize(uint32_t) {}
    virtual void truncate(uint32_t) {}

    // Closes (if still open) and frees the pipe.
    void release() { delete this; }

    bool isClosed() const { return closed_ != 0; }
    // 0 open, 1 open failed, 2 not yet opened.
    int32_t openStatus() const { return openStatus_; }

protected:
    std::atomic<int32_t> closed_{0}; // set by whichever thread closes; read by the other side
    int32_t threshold_ = 0;
    int32_t sizeWord_ = 0;
    int32_t openStatus_ = 2;
};

} // namespace skv
