// Windows error codes for system errors.
#pragma once

#include "platform/win32.h"

namespace skv::platform::kernel {

DWORD errorFromErrno(int err);
// As errorFromErrno, but a missing file whose directory is missing too is ERROR_PATH_NOT_FOUND.
DWORD errorFromPathErrno(int err, const char* path);
// Sets the last error from `err` (and `path`, if given) and returns FALSE, for one-line failures.
BOOL failWithErrno(int err, const char* path = nullptr);

} // namespace skv::platform::kernel
