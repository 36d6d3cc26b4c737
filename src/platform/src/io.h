// ReadFile and WriteFile reach pipes and files through these.
#pragma once

#include "kernel.h"

namespace skv::platform::kernel {

// Returns once `atLeast` bytes (or all there will ever be) are buffered; ReadFile passes 1.
BOOL pipeRead(KObject& end, void* buffer, DWORD toRead, DWORD* read, DWORD atLeast = 1);
BOOL pipeWrite(KObject& end, const void* buffer, DWORD toWrite, DWORD* written);
BOOL fileRead(KObject& file, void* buffer, DWORD toRead, DWORD* read);
BOOL fileWrite(KObject& file, const void* buffer, DWORD toWrite, DWORD* written);

} // namespace skv::platform::kernel
