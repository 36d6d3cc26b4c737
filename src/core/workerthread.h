// The base of the stream's worker threads (network, codec, serialize).
//
// A worker is created suspended with a 128 KiB stack and then resumed; its body runs inside a
// catch-all handler. It is asked to stop through a flag and joined. The thread handle stays with
// the worker until join(), so that joining never races with the thread's own end.
//
// A subclass must join in its own destructor (or its owner before deleting it): once the
// subclass part is gone, its run() must not be running any more.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Util/nmtx.h"
#include "platform/win32.h"

namespace skv {

class WorkerThread {
public:
    static constexpr size_t kStackSize = 128 * 1024;

    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    virtual void suspend();
    virtual void resume();
    virtual void requestStop() { stop_.store(1); }
    // Creates the thread suspended, then resumes it; false when it could not be created or was
    // started before.
    virtual bool start();
    // Waits without time-out until the thread has ended.
    virtual void join();
    virtual bool isRunning() const;
    // The thread's body.
    virtual void run() = 0;

    bool stopRequested() const { return stop_.load() != 0; }
    DWORD threadId() const { return threadId_; }

protected:
    nmtx mutex_;
    std::atomic<int32_t> stop_{0};

private:
    static DWORD WINAPI entry(LPVOID self);

    std::atomic<HANDLE> thread_{nullptr};
    DWORD threadId_ = 0;
    bool started_ = false;
};

} // namespace skv
