// The table behind both kinds of handle, kernel and GDI.
//
// A handle is a slot index and a generation packed into a small multiple of four, so that a
// stale handle (closed, slot reused) is recognised as invalid instead of naming a new object:
//
// | bits  | what                                                        |
// |-------|-------------------------------------------------------------|
// | 0-1   | 0 (a handle is a multiple of four, as on Windows)           |
// | 2-19  | slot index + 1 (0 is never a handle)                        |
// | 20-29 | generation: bumped each time the slot is given out          |
// | 30    | the table's tag: 0 for kernel handles, 1 for GDI handles    |
//
// The tag keeps the kinds apart: a kernel handle never names a GDI object or the other way round.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace skv::platform {

template <class T, uintptr_t Tag> class SlotTable {
public:
    // Enters `object`; null when the table is full. `entered` runs under the table's lock.
    template <class Entered> void* insert(std::shared_ptr<T> object, Entered entered) {
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
        entered(*object);
        s.object = std::move(object);
        return encode(index, s.generation);
    }

    std::shared_ptr<T> lookup(const void* h) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return nullptr;
        std::lock_guard<std::mutex> g(mu_);
        if (index >= slots_.size() || slots_[index].generation != generation) return nullptr;
        return slots_[index].object;
    }

    // Takes the handle out; false when it names nothing. `removed` runs under the table's lock
    // with the object; the table's reference to it is let go after the lock is given up, so
    // that an object's destructor may use the table.
    template <class Removed> bool remove(const void* h, Removed removed) {
        uint32_t index, generation;
        if (!decode(h, index, generation)) return false;
        std::shared_ptr<T> dying;
        std::lock_guard<std::mutex> g(mu_);
        if (index >= slots_.size()) return false;
        Slot& s = slots_[index];
        if (s.generation != generation || !s.object) return false;
        dying = std::move(s.object);
        free_.push_back(index);
        removed(dying);
        return true;
    }

private:
    static constexpr uint32_t kMaxSlots = 1u << 18;
    static constexpr uint32_t kGenerationMask = 0x3ff;
    static constexpr uintptr_t kTagBit = uintptr_t{1} << 30;
    static_assert(Tag == 0 || Tag == 1);

    struct Slot {
        std::shared_ptr<T> object;
        uint32_t generation = 0;
    };

    static void* encode(uint32_t index, uint32_t generation) {
        return reinterpret_cast<void*>((Tag ? kTagBit : 0) | (uintptr_t{generation} << 20) |
                                       (uintptr_t{index + 1} << 2));
    }
    static bool decode(const void* h, uint32_t& index, uint32_t& generation) {
        const uintptr_t v = reinterpret_cast<uintptr_t>(h);
        if (v >= (kTagBit << 1) || ((v & kTagBit) != 0) != (Tag != 0) || (v & 3) != 0) return false;
        const uint32_t slot = static_cast<uint32_t>((v >> 2) & (kMaxSlots - 1));
        if (slot == 0) return false;
        index = slot - 1;
        generation = static_cast<uint32_t>(v >> 20) & kGenerationMask;
        return true;
    }

    std::mutex mu_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

} // namespace skv::platform
