#include "core/pipepipe.h"

#include "platform/pipes.h"

namespace skv {

uPipePipe::uPipePipe(uint32_t capacity) {
    HANDLE r = nullptr, w = nullptr;
    if (CreatePipe(&r, &w, nullptr, capacity ? capacity : kDefaultCapacity)) {
        readEnd_.store(r);
        writeEnd_.store(w);
        openStatus_ = 0;
    } else {
        openStatus_ = 1;
    }
}

uPipePipe::~uPipePipe() {
    close();
    if (HANDLE r = readEnd_.exchange(nullptr)) CloseHandle(r);
}

int32_t uPipePipe::read(void* buffer, int32_t n) {
    HANDLE r = readEnd_.load();
    if (!r || n < 0 || (n > 0 && !buffer)) return -1;
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t got = 0;
    while (got < n) {
        DWORD chunk = 0;
        // A record longer than the pipe still arrives in pieces. Once the write end is closed
        // and the pipe is empty the read fails: the record will never be complete.
        if (!platform::readPipeFully(r, out + got, static_cast<DWORD>(n - got), &chunk) ||
            chunk == 0)
            return -1;
        got += static_cast<int32_t>(chunk);
    }
    return n;
}

int32_t uPipePipe::write(const void* buffer, int32_t n) {
    HANDLE w = writeEnd_.load();
    if (!w) return -1;
    if (n <= 0 || !buffer) return 0;
    DWORD written = 0;
    if (!WriteFile(w, buffer, static_cast<DWORD>(n), &written, nullptr)) written = 0;
    // Closed while this write was blocked on a full pipe: the caller should stop writing.
    if (!writeEnd_.load()) return -1;
    return static_cast<int32_t>(written);
}

void uPipePipe::close() {
    if (HANDLE w = writeEnd_.exchange(nullptr)) CloseHandle(w);
    closed_.store(1);
}

} // namespace skv
