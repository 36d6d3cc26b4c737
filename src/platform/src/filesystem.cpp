// Calls on file names: deleting, directories, attributes, copying, temporary names.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "errors.h"
#include "files.h"

using namespace skv::platform::kernel;

namespace {

// Copies `s` with its terminator into a caller's buffer of `size` characters. Returns the length
// without the terminator, or, when it does not fit, the size needed including it.
DWORD copyOut(const std::string& s, DWORD size, LPSTR buffer) {
    if (!buffer || size <= s.size()) return static_cast<DWORD>(s.size() + 1);
    std::memcpy(buffer, s.c_str(), s.size() + 1);
    return static_cast<DWORD>(s.size());
}

uint16_t randomStart() {
    uint16_t v = 0;
    if (getrandom(&v, sizeof v, GRND_NONBLOCK) != sizeof v)
        v = static_cast<uint16_t>(getpid() ^ static_cast<unsigned>(time(nullptr)));
    return v;
}

} // namespace

extern "C" {

BOOL DeleteFileA(LPCSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (lstat(name, &st) != 0) return failWithErrno(errno, name);
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (openWithoutDeleteSharing(st.st_dev, st.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (unlink(name) != 0) return failWithErrno(errno, name);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR name, void* securityAttributes) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (mkdir(name, 0777) != 0) {
        if (errno == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name) {
    struct stat st;
    if (!name || stat(name, &st) != 0) {
        if (name)
            failWithErrno(errno, name);
        else
            SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & 0222)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
    std::shared_ptr<FileObj> from =
        openFile(existing, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (!from) return FALSE;
    struct stat st;
    if (fstat(from->fd, &st) != 0) return failWithErrno(errno);
    std::shared_ptr<FileObj> to =
        openFile(target, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0);
    if (!to) return FALSE;
    char buffer[65536];
    for (;;) {
        ssize_t r = read(from->fd, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return failWithErrno(errno);
        if (r == 0) break;
        for (ssize_t done = 0; done < r;) {
            ssize_t w = write(to->fd, buffer + done, static_cast<size_t>(r - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return failWithErrno(errno);
            done += w;
        }
    }
    fchmod(to->fd, st.st_mode & 07777);
    SetLastError(NO_ERROR);
    return TRUE;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    const char* env = getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (dir.back() != '/') dir += '/';
    return copyOut(dir, size, buffer);
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempName) {
    if (!path || !tempName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string dir = path;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
    auto nameFor = [&](unsigned n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n);
        return dir + pre + hex + ".tmp";
    };
    auto give = [&](const std::string& name) {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return false;
        }
        std::memcpy(tempName, name.c_str(), name.size() + 1);
        return true;
    };
    unique &= 0xFFFF; // only the low 16 bits name the file
    if (unique != 0) return give(nameFor(unique)) ? unique : 0;

    // Find a free number by creating the file: the creation is what makes the name ours.
    const unsigned start = randomStart();
    for (unsigned i = 0; i < 0x10000; ++i) {
        unsigned n = (start + i) & 0xFFFF;
        if (n == 0) continue;
        std::string name = nameFor(n);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            give(name);
            SetLastError(NO_ERROR);
            return n;
        }
        if (errno != EEXIST) {
            SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_DIRECTORY
                                                             : errorFromErrno(errno));
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

} // extern "C"
