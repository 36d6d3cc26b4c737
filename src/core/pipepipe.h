// uPipePipe: an anonymous pipe with a fixed capacity. It carries the inflated stream from the
// codec thread to the serialize thread; flow control is the pipe's own (a full pipe blocks the
// writer, an empty one the reader).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/pipe.h"
#include "platform/win32.h"

namespace skv {

class uPipePipe : public Pipe {
public:
    static constexpr uint32_t kDefaultCapacity = 409600;

    explicit uPipePipe(uint32_t capacity); // 0 chooses kDefaultCapacity
    ~uPipePipe() override;

    // Blocks until exactly n bytes have arrived; -1 when the pipe breaks first.
    int32_t read(void* buffer, int32_t n) override;
    // Blocks while the pipe is full; the count written, 0 on failure, -1 once the write end is
    // closed.
    int32_t write(const void* buffer, int32_t n) override;
    // Closes the write end: the reader gets what is left, then -1.
    void close() override;

private:
    // Atomic because close() may come from a third thread while the writer is inside write().
    std::atomic<HANDLE> readEnd_{nullptr};
    std::atomic<HANDLE> writeEnd_{nullptr};
};

} // namespace skv
