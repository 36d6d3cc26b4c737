// Beyond the Windows API: a pipe read that waits for a whole record. ReadFile on a pipe returns
// as soon as any bytes are there; readPipeFully goes on reading until n bytes have come or the
// write end has gone, so a reader assembling a record wakes once for it.
#pragma once

#include "platform/win32.h"

namespace skv::platform {

SKV_PLATFORM_API BOOL readPipeFully(HANDLE readEnd, void* buffer, DWORD n, DWORD* read);

} // namespace skv::platform
