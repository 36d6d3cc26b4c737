#include "net/statussink.h"

namespace skv {

StatusQueue::StatusQueue() : nonEmpty_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

StatusQueue::~StatusQueue() {
    if (nonEmpty_) CloseHandle(nonEmpty_);
}

void StatusQueue::postStatus(uint32_t message, int32_t code, MovieStream* stream) {
    NMTX_SCOPED(guard, &lock_);
    queue_.push_back({message, code, stream});
    SetEvent(nonEmpty_);
}

bool StatusQueue::isWaiting(uint32_t message) {
    NMTX_SCOPED(guard, &lock_);
    for (const StatusMessage& m : queue_)
        if (m.message == message) return true;
    return false;
}

bool StatusQueue::take(StatusMessage* out, DWORD milliseconds) {
    for (;;) {
        {
            NMTX_SCOPED(guard, &lock_);
            if (!queue_.empty()) {
                *out = queue_.front();
                queue_.pop_front();
                if (queue_.empty()) ResetEvent(nonEmpty_);
                return true;
            }
        }
        if (WaitForSingleObject(nonEmpty_, milliseconds) != WAIT_OBJECT_0) return false;
    }
}

} // namespace skv
