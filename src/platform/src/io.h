// ReadFile and WriteFile reach pipes and files through these.
#pragma once

#include "kernel.h"

namespace skv::platform::kernel {

BOOL pipeRead(KObject& end, void* buffer, DWORD toRead, DWORD* read);
BOOL pipeWrite(KObject& end, const void* buffer, DWORD toWrite, DWORD* written);
BOOL fileRead(KObject& file, void* buffer, DWORD toRead, DWORD* read);
BOOL fileWrite(KObject& file, const void* buffer, DWORD toWrite, DWORD* written);

} // namespace skv::platform::kernel
