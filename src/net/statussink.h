// Where a movie stream's status codes go. The player designates its stage window, and the codes
// travel as window messages 8025 (every code but stsUpdate) and 8026 (stsUpdate, at most one
// waiting at a time). StatusSink is that receiver seen from the stream; StatusQueue is a plain
// thread-safe queue of the same (message, code, stream) triples for receivers without a window
// (the authoring tool, tests).
#pragma once

#include <cstdint>
#include <deque>

#include "core/Util/nmtx.h"
#include "platform/win32.h"

namespace skv {

class MovieStream;

constexpr uint32_t kMsgStreamStatus = 8025;
constexpr uint32_t kMsgStreamUpdate = 8026;

class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void postStatus(uint32_t message, int32_t code, MovieStream* stream) = 0;
    // True while a message of this kind is posted and not yet taken.
    virtual bool isWaiting(uint32_t message) = 0;
};

struct StatusMessage {
    uint32_t message = 0;
    int32_t code = 0;
    MovieStream* stream = nullptr;
};

class StatusQueue : public StatusSink {
public:
    StatusQueue();
    ~StatusQueue() override;
    StatusQueue(const StatusQueue&) = delete;
    StatusQueue& operator=(const StatusQueue&) = delete;

    void postStatus(uint32_t message, int32_t code, MovieStream* stream) override;
    bool isWaiting(uint32_t message) override;

    // Takes the oldest message, waiting up to `milliseconds` (INFINITE: without limit) for one.
    // The wait is a platform wait, so it runs on the virtual clock like the stream's threads.
    bool take(StatusMessage* out, DWORD milliseconds);

private:
    nmtx lock_;
    std::deque<StatusMessage> queue_;
    HANDLE nonEmpty_ = nullptr; // manual-reset, set while the queue holds messages
};

} // namespace skv
