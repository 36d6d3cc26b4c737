// The process's handle table: HANDLE values name kernel objects, as on Windows.
#pragma once

#include <memory>

#include "kernel.h"

namespace skv::platform::kernel {

// The value GetCurrentThread returns: it names the calling thread wherever it is used.
inline HANDLE currentThreadPseudoHandle() {
    return reinterpret_cast<HANDLE>(intptr_t{-2});
}

// Enters `object` in the table; returns null (with ERROR_NOT_ENOUGH_MEMORY) when it is full.
HANDLE insertHandle(std::shared_ptr<KObject> object);
// The object a handle names, or null (with ERROR_INVALID_HANDLE).
std::shared_ptr<KObject> lookupHandle(HANDLE h);
// The object a handle names if it is of the given kind, else null (with ERROR_INVALID_HANDLE).
template <class T> std::shared_ptr<T> lookupHandleAs(HANDLE h, KObject::Kind kind) {
    std::shared_ptr<KObject> o = lookupHandle(h);
    if (!o) return nullptr;
    if (o->kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(std::move(o));
}

} // namespace skv::platform::kernel
