// The embed element's parameters: an ordered list of name/value pairs, looked up by name without
// regard to case. The instance adds every attribute of its embed element in the order the browser
// supplies them; duplicates are kept and a lookup finds the first.
#pragma once

#include <cstdint>
#include <memory>

namespace skv {

class parmMgr {
public:
    static constexpr int32_t kMaxPairs = 128;

    parmMgr() = default;
    virtual ~parmMgr();
    parmMgr(const parmMgr&) = delete;
    parmMgr& operator=(const parmMgr&) = delete;

    // Slot 0: 1 when added, 0 when the list is full. A null or empty name or value raises
    // CoreError 1000; a failed copy raises again after releasing the half-built pair.
    virtual int32_t addPair(const char* name, const char* value);
    // Slot 1: 1 and the value copied into `out`, or 0 when absent. The copy stops at `capacity`
    // bytes and is always NUL-terminated, so a long attribute on a page cannot overrun the
    // caller's buffer. A null or empty name, a null `out` or a capacity below 1 raises 1000.
    virtual int32_t getValue(const char* name, char* out, int32_t capacity);
    // Slot 2: 1 when the first matching pair was removed (later pairs move forward), 0 when
    // absent. A null or empty name raises 1000.
    virtual int32_t removePair(const char* name);

    int32_t count() const { return count_; }
    // The value of the first pair with this name, or null; owned by the list.
    const char* find(const char* name) const;

private:
    struct Pair {
        std::unique_ptr<char[]> name;
        std::unique_ptr<char[]> value;
    };

    int32_t indexOf(const char* name) const;

    std::unique_ptr<Pair> pairs_[kMaxPairs];
    int32_t count_ = 0;
};

} // namespace skv
