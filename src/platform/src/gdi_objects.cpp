// A GDI handle is a slot index and a generation, like a kernel handle, with bit 30 set so that the
// two kinds of handle never name each other's objects.
#include "gdi_objects.h"

#include <mutex>
#include <vector>

namespace skv::platform::gdi {

namespace {

constexpr uint32_t kMaxSlots = 1u << 18;
constexpr uint32_t kGenerationMask = 0x3ff;
constexpr uintptr_t kGdiTag = uintptr_t{1} << 30;

struct Slot {
    std::shared_ptr<GdiObject> object;
    uint32_t generation = 0;
};

HGDIOBJ encode(uint32_t index, uint32_t generation) {
    return reinterpret_cast<HGDIOBJ>(kGdiTag | (uintptr_t{generation} << 20) |
                                     (uintptr_t{index + 1} << 2));
}

bool decode(HGDIOBJ h, uint32_t& index, uint32_t& generation) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if ((v & ~(kGdiTag | ((uintptr_t{1} << 30) - 1))) != 0 || (v & kGdiTag) == 0 || (v & 3) != 0)
        return false;
    uint32_t slot = static_cast<uint32_t>((v >> 2) & (kMaxSlots - 1));
    if (slot == 0) return false;
    index = slot - 1;
    generation = static_cast<uint32_t>(v >> 20) & kGenerationMask;
    return true;
}

class GdiTable {
public:
    HGDIOBJ insert(std::shared_ptr<GdiObject> object) {
        std::lock_guard<std::mutex> g(mu_);
        uint32_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (slots_.size() >= kMaxSlots - 1) return nullptr;
            index = static_cast<uint32_t>(slots_.size());
            slots_.emplace_back();
        }
        Slot& s = slots_[index];
        s.generation = (s.generation + 1) & kGenerationMask;
        s.object = std::move(object);
        return encode(index, s.generation);
    }

    std::shared_ptr<GdiObject> lookup(HGDIOBJ h) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return nullptr;
        std::lock_guard<std::mutex> g(mu_);
        if (index >= slots_.size() || slots_[index].generation != generation) return nullptr;
        return slots_[index].object;
    }

    bool remove(HGDIOBJ h) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return false;
        std::shared_ptr<GdiObject> dying; // destroyed after the lock is given up
        std::lock_guard<std::mutex> g(mu_);
        if (index >= slots_.size()) return false;
        Slot& s = slots_[index];
        if (s.generation != generation || !s.object) return false;
        dying = std::move(s.object);
        free_.push_back(index);
        return true;
    }

private:
    std::mutex mu_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

GdiTable& table() {
    static GdiTable* t = new GdiTable; // lives as long as the process: threads may outlive main
    return *t;
}

} // namespace

HGDIOBJ insertGdiObject(std::shared_ptr<GdiObject> object) {
    HGDIOBJ h = table().insert(std::move(object));
    if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

HGDIOBJ insertStockObject(std::shared_ptr<GdiObject> object) {
    object->stock = true;
    return insertGdiObject(std::move(object));
}

std::shared_ptr<GdiObject> lookupGdiObject(HGDIOBJ h) {
    std::shared_ptr<GdiObject> o = table().lookup(h);
    if (!o) SetLastError(ERROR_INVALID_HANDLE);
    return o;
}

bool removeGdiObject(HGDIOBJ h) {
    if (table().remove(h)) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

BOOL DeleteObject(HGDIOBJ object) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    if (!o || !o->deletable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    if (o->selections.load() > 0) {
        // Still selected into a DC: the DC would go on drawing with it.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return removeGdiObject(object) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ object) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    return o ? o->objectType() : 0;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    if (!o) return 0;
    int n = o->describe(size, buffer);
    if (n == 0) SetLastError(ERROR_INVALID_PARAMETER);
    return n;
}

} // extern "C"
