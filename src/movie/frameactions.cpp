#include "movie/frameactions.h"

namespace skv {

void FrameActions::assign(std::vector<FrameAction> entries) {
    if (entries.size() > static_cast<size_t>(kMaxActions)) entries.resize(kMaxActions);
    entries_ = std::move(entries);
}

void FrameActions::forFrame(int32_t frame, const std::function<void(const FrameAction&)>& f) const {
    bool inFrame = false;
    for (const FrameAction& a : entries_) {
        if (a.isMarker())
            inFrame = a.value() == frame;
        else if (inFrame)
            f(a);
    }
}

} // namespace skv
