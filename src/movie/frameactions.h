// FrameActions: the score's table of what happens to members and scorelets when a hub score
// jumps away from a frame.
//
// The table is a sequence of 8-byte entries (int32 kind, int32 target). In both words' targets
// only the low 30 bits count, sign-extended from bit 29.
//
// | kind & 3 | meaning                                                                       |
// |----------|-------------------------------------------------------------------------------|
// | 0        | marker: the entries after it, up to the next marker, belong to frame target     |
// | 1        | target < 0: show member -target; target > 0: stop the scorelet of trigger target |
// | 2, 3     | target < 0: hide member -target; target > 0: as for 1                            |
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace skv {

struct FrameAction {
    int32_t kind;
    int32_t target;

    bool isMarker() const { return (kind & 3) == 0; }
    // The low 30 bits of the target, sign-extended from bit 29.
    int32_t value() const {
        const uint32_t low = static_cast<uint32_t>(target) & 0x3FFFFFFFu;
        return static_cast<int32_t>(low << 2) >> 2;
    }
    // Kind 1 shows a member, kinds 2 and 3 hide it.
    bool shows() const { return (kind & 3) == 1; }
};

class FrameActions {
public:
    static constexpr int32_t kMaxActions = 512;

    const std::vector<FrameAction>& entries() const { return entries_; }
    int32_t count() const { return static_cast<int32_t>(entries_.size()); }
    // Keeps at most kMaxActions entries.
    void assign(std::vector<FrameAction> entries);
    // Calls `f` for every action listed under each marker of `frame`, in table order.
    void forFrame(int32_t frame, const std::function<void(const FrameAction&)>& f) const;

private:
    std::vector<FrameAction> entries_;
};

} // namespace skv
