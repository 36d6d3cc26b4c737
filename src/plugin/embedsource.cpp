#include "plugin/embedsource.h"

#include <cstdint>
#include <cstring>

#include "platform/win32.h"

namespace skv::plugin {

namespace {

constexpr char kStreamSignature[] = "QMS ";
constexpr size_t kSignatureSize = 4;
constexpr size_t kLengthWordSize = 4;

bool signatureAt(const char* bytes, size_t size, size_t at) {
    return size >= at + kSignatureSize && std::memcmp(bytes + at, kStreamSignature, 4) == 0;
}

} // namespace

std::string addressFromEmbedSource(const char* bytes, size_t size) {
    if (!bytes) return {};
    const size_t n = size < kEmbedSourceLimit ? size : kEmbedSourceLimit;
    size_t end = 0;
    // Bytes of 0x80 and above are part of the address: only control characters end it.
    while (end < n && static_cast<unsigned char>(bytes[end]) >= 0x20)
        ++end;
    return std::string(bytes, end);
}

EmbedSource classifyEmbedSource(const char* bytes, size_t size) {
    EmbedSource source;
    if (!bytes) return source;
    if (signatureAt(bytes, size, 0)) {
        source.isStream = true;
        return source;
    }
    if (signatureAt(bytes, size, kLengthWordSize)) {
        const auto b = reinterpret_cast<const unsigned char*>(bytes);
        const uint32_t length =
            uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
        // A negative word is a server's error code: nothing of a stream follows it.
        if (length > 0 && length <= 0x7FFFFFFF) {
            source.isStream = true;
            source.streamStart = kLengthWordSize;
            return source;
        }
    }
    source.address = addressFromEmbedSource(bytes, size);
    return source;
}

EmbedSource readEmbedSource(const char* path) {
    if (!path || !*path) return {};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[kEmbedSourceLimit];
    DWORD got = 0;
    const BOOL ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    if (!ok) return {};
    return classifyEmbedSource(buffer, got);
}

std::string readEmbedSourceFile(const char* path) {
    return readEmbedSource(path).address;
}

} // namespace skv::plugin
