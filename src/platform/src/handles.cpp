// The handle table and the per-thread last error.
//
// A handle is a slot index and a generation packed into a small multiple of four, so that a
// stale handle (closed, slot reused) is recognised as invalid instead of naming a new object.
#include "handles.h"

#include <mutex>
#include <vector>

namespace skv::platform::kernel {

class HandleTable {
public:
    HANDLE insert(std::shared_ptr<KObject> object) {
        std::lock_guard<std::mutex> g(mu_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (slots_.size() >= kMaxSlots) return nullptr;
            index = static_cast<uint32_t>(slots_.size());
            slots_.emplace_back();
        }
        Slot& s = slots_[index];
        s.generation = (s.generation + 1) & kGenerationMask;
        object->handleCount_++;
        s.object = std::move(object);
        return encode(index, s.generation);
    }

    std::shared_ptr<KObject> lookup(HANDLE h) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return nullptr;
        std::lock_guard<std::mutex> g(mu_);
        if (index >= slots_.size()) return nullptr;
        const Slot& s = slots_[index];
        if (s.generation != generation) return nullptr;
        return s.object;
    }

    // Takes the handle out; returns the object if this was its last handle.
    bool close(HANDLE h, std::shared_ptr<KObject>& lastHandleOf) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return false;
        std::shared_ptr<KObject> object;
        {
            std::lock_guard<std::mutex> g(mu_);
            if (index >= slots_.size()) return false;
            Slot& s = slots_[index];
            if (s.generation != generation || !s.object) return false;
            object = std::move(s.object);
            s.object.reset();
            free_.push_back(index);
            if (--object->handleCount_ == 0) lastHandleOf = object;
        }
        return true;
    }

private:
    static constexpr uint32_t kMaxSlots = 1u << 18;
    static constexpr uint32_t kGenerationMask = 0x3ff;

    struct Slot {
        std::shared_ptr<KObject> object;
        uint32_t generation = 0;
    };

    static HANDLE encode(uint32_t index, uint32_t generation) {
        uintptr_t v = (uintptr_t{generation} << 20) | (uintptr_t{index + 1} << 2);
        return reinterpret_cast<HANDLE>(v);
    }
    static bool decode(HANDLE h, uint32_t& index, uint32_t& generation) {
        uintptr_t v = reinterpret_cast<uintptr_t>(h);
        if (v == 0 || (v & 3) != 0 || v >= (uintptr_t{1} << 30)) return false;
        uint32_t slot = static_cast<uint32_t>((v >> 2) & ((1u << 18) - 1));
        if (slot == 0) return false;
        index = slot - 1;
        generation = static_cast<uint32_t>(v >> 20) & kGenerationMask;
        return true;
    }

    std::mutex mu_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
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
