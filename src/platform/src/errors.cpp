#include "errors.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace skv::platform::kernel {

DWORD errorFromErrno(int err) {
    switch (err) {
    case 0:
        return NO_ERROR;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EPIPE:
        return ERROR_NO_DATA;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

DWORD errorFromPathErrno(int err, const char* path) {
    if (err != ENOENT || !path) return errorFromErrno(err);
    std::string p(path);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND; // in the current directory
    std::string dir = slash == 0 ? "/" : p.substr(0, slash);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

BOOL failWithErrno(int err, const char* path) {
    SetLastError(path ? errorFromPathErrno(err, path) : errorFromErrno(err));
    return FALSE;
}

} // namespace skv::platform::kernel
