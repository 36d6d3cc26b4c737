#include "net/filesource.h"

#include <cstdint>
#include <utility>

namespace skv {

namespace {
constexpr int32_t kCannotOpen = -4;
}

FileSource::FileSource(const char* url, std::string path) : Source(url), path_(std::move(path)) {}

FileSource::~FileSource() {
    close();
}

int32_t FileSource::request(int32_t offset) {
    close();
    if (offset < 0) return kCannotOpen;
    HANDLE h = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kCannotOpen;
    DWORD high = 0;
    DWORD size = GetFileSize(h, &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 ||
        size > static_cast<DWORD>(INT32_MAX) ||
        SetFilePointer(h, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
        CloseHandle(h);
        return kCannotOpen;
    }
    length_.store(static_cast<int32_t>(size));
    file_.store(h);
    return 0;
}

void FileSource::close() {
    if (HANDLE h = file_.exchange(nullptr)) CloseHandle(h);
}

int32_t FileSource::read(void* buffer, int32_t n) {
    HANDLE h = file_.load();
    if (!h || !buffer || n <= 0) return 0;
    DWORD got = 0;
    if (!ReadFile(h, buffer, static_cast<DWORD>(n), &got, nullptr)) return 0;
    return static_cast<int32_t>(got);
}

} // namespace skv
