// ReadFile and WriteFile: one entry for pipe ends and files.
#include "io.h"
#include "handles.h"
#include "platform/pipes.h"

using namespace skv::platform::kernel;

extern "C" {

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, DWORD* read, void* overlapped) {
    if (read) *read = 0;
    if (overlapped || (!buffer && toRead > 0)) {
        SetLastError(overlapped ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<KObject> o = lookupHandle(h);
    if (!o) return FALSE;
    switch (o->kind()) {
    case KObject::Kind::PipeRead:
        return pipeRead(*o, buffer, toRead, read);
    case KObject::Kind::PipeWrite:
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    case KObject::Kind::File:
        return fileRead(*o, buffer, toRead, read);
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, DWORD* written, void* overlapped) {
    if (written) *written = 0;
    if (overlapped || (!buffer && toWrite > 0)) {
        SetLastError(overlapped ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<KObject> o = lookupHandle(h);
    if (!o) return FALSE;
    switch (o->kind()) {
    case KObject::Kind::PipeWrite:
        return pipeWrite(*o, buffer, toWrite, written);
    case KObject::Kind::PipeRead:
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    case KObject::Kind::File:
        return fileWrite(*o, buffer, toWrite, written);
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
}

} // extern "C"

namespace skv::platform {

BOOL readPipeFully(HANDLE readEnd, void* buffer, DWORD n, DWORD* read) {
    if (read) *read = 0;
    if (!buffer && n > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<KObject> o = lookupHandle(readEnd);
    if (!o) return FALSE;
    if (o->kind() != KObject::Kind::PipeRead) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return pipeRead(*o, buffer, n, read, n);
}

} // namespace skv::platform
