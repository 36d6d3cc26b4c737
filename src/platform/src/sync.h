// Events and mutexes (critical sections are mutexes without a handle).
#pragma once

#include "kernel.h"

namespace skv::platform::kernel {

class EventObj final : public KObject {
public:
    EventObj(bool manualReset, bool initialState)
        : KObject(Kind::Event), manual(manualReset), state(initialState) {}

    WaitQueue* waitQueue() override { return &queue; }
    bool signalled(const ThreadObj&) const override { return state; }
    DWORD acquire(ThreadObj&) override {
        if (!manual) state = false;
        return WAIT_OBJECT_0;
    }

    const bool manual;
    bool state; // guarded by the scheduler lock
    WaitQueue queue;
};

// Recursive, owned by a thread; abandoned when its owner ends while holding it.
class MutexObj final : public KObject {
public:
    MutexObj() : KObject(Kind::Mutex) {}
    ~MutexObj() override; // takes the scheduler lock: never destroyed with it held

    WaitQueue* waitQueue() override { return &queue; }
    bool signalled(const ThreadObj& waiter) const override {
        return owner == nullptr || owner == &waiter;
    }
    DWORD acquire(ThreadObj& waiter) override;
    // False when `caller` does not own the mutex.
    bool release(ThreadObj& caller);

    // Guarded by the scheduler lock.
    ThreadObj* owner = nullptr;
    uint32_t count = 0;
    bool abandoned = false;
    WaitQueue queue;
};

} // namespace skv::platform::kernel
