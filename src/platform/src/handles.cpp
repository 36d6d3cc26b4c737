// The kernel's handle table and the per-thread last error.
#include "handles.h"

#include "slot_table.h"

namespace skv::platform::kernel {

// Kernel handles, and how many of them name each object: the object hears when its last one goes.
class HandleTable {
public:
    HANDLE insert(std::shared_ptr<KObject> object) {
        return slots_.insert(std::move(object), [](KObject& o) { o.handleCount_++; });
    }
    std::shared_ptr<KObject> lookup(HANDLE h) { return slots_.lookup(h); }
    // Takes the handle out; `lastHandleOf` is the object if this was its last handle.
    bool close(HANDLE h, std::shared_ptr<KObject>& lastHandleOf) {
        return slots_.remove(h, [&](const std::shared_ptr<KObject>& o) {
            if (--o->handleCount_ == 0) lastHandleOf = o;
        });
    }

private:
    SlotTable<KObject, 0> slots_;
};

namespace {

HandleTable& table() {
    static HandleTable* t =
        new HandleTable; // lives as long as the process: threads may outlive main
    return *t;
}

thread_local DWORD tlsLastError = 0;

} // namespace

HANDLE insertHandle(std::shared_ptr<KObject> object) {
    HANDLE h = table().insert(std::move(object));
    if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

std::shared_ptr<KObject> lookupHandle(HANDLE h) {
    if (h == currentThreadPseudoHandle()) return currentThreadShared();
    std::shared_ptr<KObject> o = table().lookup(h);
    if (!o) SetLastError(ERROR_INVALID_HANDLE);
    return o;
}

} // namespace skv::platform::kernel

using namespace skv::platform::kernel;

extern "C" {

DWORD GetLastError(void) {
    return tlsLastError;
}
void SetLastError(DWORD err) {
    tlsLastError = err;
}

BOOL CloseHandle(HANDLE h) {
    if (h == currentThreadPseudoHandle()) return TRUE; // closing the pseudo-handle is harmless
    std::shared_ptr<KObject> last;
    if (!table().close(h, last)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (last) last->lastHandleClosed();
    return TRUE;
}

} // extern "C"
