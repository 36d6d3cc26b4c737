// Beyond the Windows API: a pipe read that waits for a whole record.
//
// ReadFile on a pipe returns as soon as any bytes are there, so a reader assembling a record of n
// bytes wakes (and wakes the writer) once per piece. readPipeFully behaves like ReadFile but
// returns only once n bytes are buffered, the pipe is full, or the write end has gone; the
// caller still loops, as with ReadFile, for records longer than the pipe. A Windows build
// implements it as a ReadFile call.
#pragma once

#include "platform/win32.h"

namespace skv::platform {

SKV_PLATFORM_API BOOL readPipeFully(HANDLE readEnd, void* buffer, DWORD n, DWORD* read);

} // namespace skv::platform
