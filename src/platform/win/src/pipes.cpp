#include "platform/pipes.h"

namespace skv::platform {

BOOL readPipeFully(HANDLE readEnd, void* buffer, DWORD n, DWORD* read) {
    auto* out = static_cast<BYTE*>(buffer);
    DWORD got = 0;
    while (got < n) {
        DWORD chunk = 0;
        if (!ReadFile(readEnd, out + got, n - got, &chunk, nullptr)) {
            // The write end has gone: what came before it is still a successful read.
            if (got > 0 && GetLastError() == ERROR_BROKEN_PIPE) break;
            if (read) *read = got;
            return FALSE;
        }
        if (chunk == 0) break;
        got += chunk;
    }
    if (read) *read = got;
    return TRUE;
}

} // namespace skv::platform
