// Anonymous pipes: a ring buffer of fixed capacity between two handles, built on the scheduler's
// wait queues (not on a system pipe) so that a blocked reader or writer counts as idle for the
// virtual clock and is woken by the other side's progress like any other waiter.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "handles.h"
#include "io.h"
#include "kernel.h"

namespace skv::platform::kernel {

namespace {

constexpr DWORD kDefaultPipeSize = 4096;

struct PipeCore {
    explicit PipeCore(size_t capacity) : buffer(capacity) {}

    // Guarded by the scheduler lock.
    std::vector<unsigned char> buffer;
    size_t head = 0; // index of the oldest byte
    size_t size = 0; // bytes buffered
    bool readerOpen = true;
    bool writerOpen = true;
    WaitQueue readers; // waiting for data or for the writer to go
    WaitQueue writers; // waiting for room or for the reader to go
    // The least a blocked reader needs buffered, and the least room a blocked writer can use
    // (capped at half the pipe). The other side wakes them only once that much is there: a
    // reader assembling a record and a writer pushing a chunk would otherwise wake each other
    // for every few bytes.
    size_t readerNeeds = kNobody;
    size_t writerNeeds = kNobody;

    static constexpr size_t kNobody = std::numeric_limits<size_t>::max();

    void wakeReaders() {
        readerNeeds = kNobody;
        readers.wakeAll();
    }
    void wakeWriters() {
        writerNeeds = kNobody;
        writers.wakeAll();
    }
};

class PipeEnd final : public KObject {
public:
    PipeEnd(Kind kind, std::shared_ptr<PipeCore> core) : KObject(kind), core(std::move(core)) {}

    void lastHandleClosed() override {
        Lock lk = lockScheduler();
        if (kind() == Kind::PipeRead)
            core->readerOpen = false;
        else
            core->writerOpen = false;
        // Both sides: the other end learns the pipe is broken, and a call still blocked on this
        // end (its handle closed under it) gives up.
        core->wakeReaders();
        core->wakeWriters();
    }

    const std::shared_ptr<PipeCore> core;
};

} // namespace

BOOL pipeRead(KObject& end, void* buffer, DWORD toRead, DWORD* read, DWORD atLeast) {
    PipeCore& p = *static_cast<PipeEnd&>(end).core;
    auto* out = static_cast<unsigned char*>(buffer);
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    std::optional<uint64_t> noDeadline;
    const size_t cap = p.buffer.size();
    // What makes the read return: the bytes asked for, or as many as the pipe can ever hold.
    const size_t enough = std::min<size_t>({std::max<DWORD>(atLeast, 1), toRead, cap});
    for (;;) {
        if (!p.readerOpen) {
            SetLastError(ERROR_BROKEN_PIPE);
            return FALSE;
        }
        if ((p.size > 0 && (p.size >= enough || !p.writerOpen)) || (toRead == 0 && p.writerOpen)) {
            size_t n = std::min<size_t>(toRead, p.size);
            size_t first = std::min(n, cap - p.head);
            std::memcpy(out, p.buffer.data() + p.head, first);
            std::memcpy(out + first, p.buffer.data(), n - first);
            p.head = (p.head + n) % cap;
            p.size -= n;
            if (p.size == 0) p.head = 0; // keeps later writes contiguous
            if (n > 0 && !p.writers.empty() && cap - p.size >= p.writerNeeds) p.wakeWriters();
            if (read) *read = static_cast<DWORD>(n);
            return TRUE;
        }
        if (!p.writerOpen) {
            SetLastError(ERROR_BROKEN_PIPE);
            return FALSE;
        }
        // About to wait with room in the pipe: a writer waiting for more room than that must
        // fill what there is, or neither side would move.
        if (p.size < cap && !p.writers.empty()) p.wakeWriters();
        honourSuspension(lk, self);
        p.readerNeeds = std::min(p.readerNeeds, enough);
        WaitQueue* queues[1] = {&p.readers};
        blockCurrent(lk, self, queues, noDeadline);
    }
}

BOOL pipeWrite(KObject& end, const void* buffer, DWORD toWrite, DWORD* written) {
    PipeCore& p = *static_cast<PipeEnd&>(end).core;
    const auto* in = static_cast<const unsigned char*>(buffer);
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    std::optional<uint64_t> noDeadline;
    size_t done = 0;
    for (;;) {
        if (!p.readerOpen || !p.writerOpen) {
            if (written) *written = static_cast<DWORD>(done);
            SetLastError(p.readerOpen ? ERROR_BROKEN_PIPE : ERROR_NO_DATA);
            return FALSE;
        }
        if (done == toWrite) {
            if (written) *written = static_cast<DWORD>(done);
            return TRUE;
        }
        const size_t cap = p.buffer.size();
        size_t room = cap - p.size;
        if (room > 0) {
            size_t n = std::min(room, toWrite - done);
            size_t tail = (p.head + p.size) % cap;
            size_t first = std::min(n, cap - tail);
            std::memcpy(p.buffer.data() + tail, in + done, first);
            std::memcpy(p.buffer.data(), in + done + first, n - first);
            p.size += n;
            done += n;
            if (!p.readers.empty() && p.size >= p.readerNeeds) p.wakeReaders();
            continue;
        }
        // The pipe is full, so any waiting reader has all it can get.
        if (!p.readers.empty()) p.wakeReaders();
        honourSuspension(lk, self);
        p.writerNeeds = std::min({p.writerNeeds, toWrite - done, cap / 2});
        WaitQueue* queues[1] = {&p.writers};
        blockCurrent(lk, self, queues, noDeadline);
    }
}

} // namespace skv::platform::kernel

using namespace skv::platform::kernel;

extern "C" BOOL CreatePipe(HANDLE* readEnd, HANDLE* writeEnd, void* securityAttributes,
                           DWORD size) {
    if (!readEnd || !writeEnd) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<PipeCore> core;
    try {
        core = std::make_shared<PipeCore>(size == 0 ? kDefaultPipeSize : size);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    HANDLE r = insertHandle(std::make_shared<PipeEnd>(KObject::Kind::PipeRead, core));
    if (!r) return FALSE;
    HANDLE w = insertHandle(std::make_shared<PipeEnd>(KObject::Kind::PipeWrite, core));
    if (!w) {
        CloseHandle(r);
        return FALSE;
    }
    *readEnd = r;
    *writeEnd = w;
    return TRUE;
}
