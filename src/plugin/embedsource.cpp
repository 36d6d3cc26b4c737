#include "plugin/embedsource.h"

#include "platform/win32.h"

namespace skv::plugin {

std::string addressFromEmbedSource(const char* bytes, size_t size) {
    if (!bytes) return {};
    const size_t n = size < kEmbedSourceLimit ? size : kEmbedSourceLimit;
    size_t end = 0;
    // Bytes of 0x80 and above are part of the address: only control characters end it.
    while (end < n && static_cast<unsigned char>(bytes[end]) >= 0x20)
        ++end;
    return std::string(bytes, end);
}

std::string readEmbedSourceFile(const char* path) {
    if (!path || !*path) return {};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[kEmbedSourceLimit];
    DWORD got = 0;
    const BOOL ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    if (!ok) return {};
    return addressFromEmbedSource(buffer, got);
}

} // namespace skv::plugin
