#include "core/filepipe.h"

#include <cstdio>

namespace skv {

namespace {

uint32_t load(const volatile LONG& v) {
    return static_cast<uint32_t>(__atomic_load_n(&v, __ATOMIC_SEQ_CST));
}

void publish(volatile LONG& v, uint32_t value) {
    InterlockedExchange(&v, static_cast<LONG>(value));
}

// Positions a file at an unsigned 32-bit offset (the high word keeps offsets past 2 GiB from
// being read as negative).
bool seekTo(HANDLE file, uint32_t offset, DWORD method) {
    LONG high = 0;
    SetLastError(NO_ERROR);
    DWORD r = SetFilePointer(file, static_cast<LONG>(offset), &high, method);
    return r != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

} // namespace

// Keeps a read() counted from its start until it no longer touches the pipe.
class uFilePipe::ReadScope {
public:
    explicit ReadScope(uFilePipe& pipe) : pipe_(pipe), entered_(pipe.enterRead()) {}
    ~ReadScope() {
        if (entered_) pipe_.leaveRead();
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
    bool entered() const { return entered_; }

private:
    uFilePipe& pipe_;
    bool entered_;
};

uFilePipe::uFilePipe(const char* path, uint32_t flags) : path_(path ? path : "") {
    NMTX_SCOPED(guard, &lock_);
    dataEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    readersGone_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    deleteOnClose_ = (flags & kDeleteOnClose) ? 1 : 0;

    HANDLE h = INVALID_HANDLE_VALUE;
    // Not shared with any other opener: a second viewer of the same movie must not write into
    // this cache file while we fill it.
    if (!path_.empty() && dataEvent_ && readersGone_)
        h = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        (flags & kCreate) ? CREATE_ALWAYS : OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE || !h) {
        file_ = nullptr;
        publish(written_, 0);
        openStatus_ = 1;
        return;
    }
    file_ = h;
    openStatus_ = 0;
    publish(readPos_, 0);
    DWORD size = GetFileSize(file_, nullptr);
    publish(written_, size == INVALID_FILE_SIZE ? 0 : size);
    closed_.store(0);
}

uFilePipe::~uFilePipe() {
    close();
    // close() has woken any reader; wait until it has left read() before the events and the
    // mutex go away.
    if (readersGone_) WaitForSingleObject(readersGone_, INFINITE);
    {
        // The last reader signals while holding lock_; taking it once more makes sure that
        // reader has also let go of the mutex.
        NMTX_SCOPED(guard, &lock_);
    }
    if (dataEvent_) CloseHandle(dataEvent_);
    if (readersGone_) CloseHandle(readersGone_);
}

bool uFilePipe::enterRead() {
    NMTX_SCOPED(guard, &lock_);
    if (!file_) return false;
    if (readers_++ == 0) ResetEvent(readersGone_);
    return true;
}

void uFilePipe::leaveRead() {
    NMTX_SCOPED(guard, &lock_);
    if (--readers_ == 0) SetEvent(readersGone_);
}

int32_t uFilePipe::read(void* buffer, int32_t n) {
    if (n < 0 || (n > 0 && !buffer)) return -1;
    const uint32_t pos = load(readPos_);
    if (pos >= load(expected_) || n == 0) return 0;
    ReadScope scope(*this);
    if (!scope.entered()) return 0; // no file

    // Sleep on the event until enough has been written, the expected total is on disk, or the
    // pipe is closed. The event is reset only after waking and before testing again, so a write
    // that lands in between is seen by the test rather than lost.
    const uint64_t want = uint64_t{pos} + static_cast<uint64_t>(n);
    for (;;) {
        if (closed_.load()) return 0;
        const uint32_t written = load(written_);
        if (written >= want || written >= load(expected_)) break;
        if (WaitForSingleObject(dataEvent_, INFINITE) == WAIT_FAILED) return 0;
        ResetEvent(dataEvent_);
    }

    NMTX_SCOPED(guard, &lock_);
    if (!file_) return 0;
    // Never past the expected total, even if the file holds more.
    const uint32_t expected = load(expected_);
    if (pos >= expected) return 0;
    DWORD count = static_cast<DWORD>(n);
    if (uint64_t{pos} + count > expected) count = expected - pos;
    // Positioned explicitly: the writer moves the file position to the end for every append.
    if (!seekTo(file_, pos, FILE_BEGIN)) return 0;
    DWORD got = 0;
    // A failed read still reports what it read before failing; that much is delivered.
    (void)ReadFile(file_, buffer, count, &got, nullptr);
    if (got > count) got = 0;
    publish(readPos_, pos + got);
    return static_cast<int32_t>(got);
}

int32_t uFilePipe::write(const void* buffer, int32_t n) {
    if (n <= 0 || !buffer) return 0;
    DWORD done = 0;
    {
        NMTX_SCOPED(guard, &lock_);
        bool ok = file_ && seekTo(file_, 0, FILE_END) &&
                  WriteFile(file_, buffer, static_cast<DWORD>(n), &done, nullptr);
        if (!ok || done != static_cast<DWORD>(n))
            std::printf("error: uFilePipe write returned %d, expected %d\n", static_cast<int>(done),
                        n);
        if (done) publish(written_, load(written_) + done);
    }
    SetEvent(dataEvent_);
    return static_cast<int32_t>(done);
}

void uFilePipe::close() {
    NMTX_SCOPED(guard, &lock_);
    if (file_) {
        CloseHandle(file_);
        file_ = nullptr;
        // Only a file this pipe opened is removed: after a failed open the name belongs to
        // whoever holds it.
        if (deleteOnClose_) DeleteFileA(path_.c_str());
    }
    closed_.store(1);
    // Signalled, not closed: a reader may be waiting on it right now.
    if (dataEvent_) SetEvent(dataEvent_);
}

int32_t uFilePipe::size() {
    NMTX_SCOPED(guard, &lock_);
    if (!file_) return -1;
    SetLastError(NO_ERROR);
    DWORD s = GetFileSize(file_, nullptr);
    if (s == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
    publish(written_, s);
    return static_cast<int32_t>(s);
}

void uFilePipe::setExpectedSize(uint32_t n) {
    publish(expected_, n);
    // A reader waiting for more than the stream will ever hold can now take what is there.
    if (dataEvent_) SetEvent(dataEvent_);
}

void uFilePipe::truncate(uint32_t n) {
    NMTX_SCOPED(guard, &lock_);
    if (!file_) return;
    if (seekTo(file_, n, FILE_BEGIN)) SetEndOfFile(file_);
    publish(written_, n);
    publish(readPos_, n);
}

uint32_t uFilePipe::readPosition() const {
    return load(readPos_);
}
uint32_t uFilePipe::writtenBytes() const {
    return load(written_);
}
uint32_t uFilePipe::expectedSize() const {
    return load(expected_);
}

namespace {

// The directory of the module holding this code, up to and including its last separator;
// looked up once.
const std::string& moduleDirectory() {
    static const std::string dir = [] {
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(&moduleDirectory), &module))
            return std::string();
        char name[4096];
        DWORD len = GetModuleFileNameA(module, name, sizeof name);
        if (len == 0 || len >= sizeof name) return std::string();
        std::string path(name, len);
        size_t cut = path.rfind(SKV_PATH_SEPARATOR);
        return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    }();
    return dir;
}

} // namespace

std::string cacheDirectory() {
    std::string dir = moduleDirectory() + "qmsCache" + SKV_PATH_SEPARATOR;
    CreateDirectoryA(dir.c_str(), nullptr); // an existing directory is fine; failure is ignored
    return dir;
}

} // namespace skv
