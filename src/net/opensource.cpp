// Choosing the source a movie URL names.
//
// The scheme is the text before the first ':' when no '/' or '\' comes before it and it is
// shorter than 16 characters. qmsp names a streaming server and file a local file; in both the
// remainder starts after the ':' and the '/' characters that follow it. Anything else is a local
// file named by the whole text. A local file is refused when it lies on a network share: the
// player streams from servers, and a movie read off a share would stall playback with no status
// to show for it.
#include <cctype>
#include <cstring>
#include <string>

#include "net/filesource.h"
#include "net/serversource.h"
#include "net/source.h"
#include "platform/win32.h"

namespace skv {

namespace {

bool equalsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// True when `path` (in its absolute form) names a file on a local drive.
bool isLocalFile(const std::string& path) {
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) return false;
#ifdef _WIN32
    if (full[0] == '\\' && full[1] == '\\') return false;
    const char* colon = std::strchr(full, ':');
    if (!colon) return false;
    std::string root(full, static_cast<size_t>(colon - full) + 1);
    root += '\\';
    return GetDriveTypeA(root.c_str()) != DRIVE_REMOTE;
#else
    if (full[0] != '/' || full[1] == '/') return false;
    return GetDriveTypeA(full) != DRIVE_REMOTE;
#endif
}

} // namespace

Source* openSource(const char* url) {
    if (!url) return nullptr;
    char scheme[16] = {};
    const char* remainder = nullptr;
    size_t schemeLength = std::strcspn(url, ":/\\");
    if (url[schemeLength] == ':' && schemeLength < sizeof scheme) {
        std::memcpy(scheme, url, schemeLength);
        remainder = url + schemeLength + 1;
        while (*remainder == '/')
            ++remainder;
    }
    if (remainder && equalsNoCase(scheme, "qmsp")) return new ServerSource(url, remainder);

    std::string path;
    if (remainder && equalsNoCase(scheme, "file")) {
        // A drive letter begins the path itself (file:///C:/m.skm); without one the remainder
        // is a path from the root: file:/m.skm, file:///m.skm and file://m.skm all name /m.skm
        // (on Windows, that of the current drive).
        const bool drive =
            std::isalpha(static_cast<unsigned char>(remainder[0])) && remainder[1] == ':';
        path = drive ? std::string(remainder) : std::string("/") + remainder;
    } else {
        path = url;
    }
    if (!isLocalFile(path)) return nullptr;
    return new FileSource(url, std::move(path));
}

} // namespace skv
