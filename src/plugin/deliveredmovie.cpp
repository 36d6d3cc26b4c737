#include "plugin/deliveredmovie.h"

#include <cstring>
#include <memory>
#include <vector>

#include "core/abandon.h"
#include "core/moviewriter.h"
#include "net/filesource.h"
#include "net/source.h"
#include "platform/win32.h"

namespace skv::plugin {

namespace {

constexpr DWORD kCopyChunk = 65536;

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (ok()) CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h != INVALID_HANDLE_VALUE && h != nullptr; }
};

HANDLE openForReading(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads up to `n` bytes, as many as the file gives.
DWORD readUpTo(HANDLE file, char* buffer, DWORD n) {
    DWORD total = 0;
    while (total < n) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, n - total, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

struct SourceDeleter {
    void operator()(Source* s) const { s->destroy(); }
};

} // namespace

DeliveredMovie::~DeliveredMovie() {
    if (!copy_.empty()) DeleteFileA(copy_.c_str());
}

std::string DeliveredMovie::address(const char* url, const char* fileName,
                                    const EmbedSource& source) {
    if (!source.isStream || !fileName) return {};
    if (source.streamStart == 0 && url && *url && urlHoldsDeliveredStream(url, fileName))
        return url;
    if (copy_.empty()) copy_ = copyDeliveredStream(fileName, source.streamStart);
    return copy_.empty() ? std::string() : "file:" + copy_;
}

bool urlHoldsDeliveredStream(const char* url, const char* fileName) {
    char delivered[StreamHeader::kSize], found[StreamHeader::kSize];
    DWORD deliveredSize = 0;
    {
        Handle file(openForReading(fileName));
        if (!file.ok()) return false;
        DWORD high = 0;
        deliveredSize = GetFileSize(file.h, &high);
        if (deliveredSize == INVALID_FILE_SIZE || high != 0) return false;
        if (readUpTo(file.h, delivered, sizeof delivered) != sizeof delivered) return false;
    }
    std::unique_ptr<Source, SourceDeleter> source(openSource(url));
    // Only a file is looked at here: asking a server would hold up the browser's thread.
    if (!source || !dynamic_cast<FileSource*>(source.get()) || source->request(0) != 0)
        return false;
    if (static_cast<DWORD>(source->contentLength()) != deliveredSize) return false;
    int32_t got = 0;
    while (got < StreamHeader::kSize) {
        const int32_t n = source->read(found + got, StreamHeader::kSize - got);
        if (n <= 0) break;
        got += n;
    }
    return got == StreamHeader::kSize && std::memcmp(found, delivered, sizeof found) == 0;
}

std::string copyDeliveredStream(const char* fileName, size_t offset) {
    char folder[MAX_PATH], path[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder || !GetTempFileNameA(folder, "skv", 0, path)) {
        abandoned("copyDeliveredStream", "no temporary file in %s", n ? folder : "(none)");
        return {};
    }
    bool copied = false;
    {
        Handle in(openForReading(fileName));
        Handle out(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (in.ok() && out.ok() &&
            SetFilePointer(in.h, static_cast<LONG>(offset), nullptr, FILE_BEGIN) !=
                INVALID_SET_FILE_POINTER) {
            std::vector<char> chunk(kCopyChunk);
            copied = true;
            for (;;) {
                DWORD got = 0;
                if (!ReadFile(in.h, chunk.data(), kCopyChunk, &got, nullptr)) copied = false;
                if (!copied || got == 0) break;
                DWORD written = 0;
                if (!WriteFile(out.h, chunk.data(), got, &written, nullptr) || written != got) {
                    copied = false;
                    break;
                }
            }
        }
    }
    if (!copied) {
        abandoned("copyDeliveredStream", "copying %s to %s failed", fileName, path);
        DeleteFileA(path);
        return {};
    }
    return path;
}

} // namespace skv::plugin
