// Internals shared by the kernel objects of the platform layer: the scheduler lock, kernel objects,
// thread records and the one blocking primitive every wait of the library goes through.
//
// Every blocking call of the library (object waits, Sleep, critical sections, pipe reads and
// writes, and message waits built later on top of this) blocks in blockCurrent() with the
// scheduler lock held. That is what lets the virtual clock know which participating threads are
// idle and which deadline is next. Code elsewhere in the library that needs a new kind of
// blocking call follows the same pattern:
//
//     kernel::Lock lk = kernel::lockScheduler();
//     kernel::ThreadObj& self = kernel::currentThread();
//     std::optional<uint64_t> deadline = kernel::deadlineAfterMs(ms);
//     for (;;) {
//         kernel::honourSuspension(lk, self);
//         if (/* condition, read under the lock */) return ...;
//         if (kernel::deadlinePassed(deadline)) return timeout;
//         kernel::WaitQueue* queues[] = {&myQueue};
//         if (kernel::blockCurrent(lk, self, queues, deadline)) return timeout;
//     }
//
// and whoever makes the condition true does so under the lock and calls myQueue.wakeAll().
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "platform/win32.h"

namespace skv::platform::kernel {

class ThreadObj;
class MutexObj;

using Lock = std::unique_lock<std::mutex>;

// The scheduler lock: guards the state of every waitable object, of every thread record and of
// the virtual clock. Never held while user code or a system call that may block runs.
std::mutex& schedulerMutex();
inline Lock lockScheduler() {
    return Lock(schedulerMutex());
}

// Threads blocked until something about one object changes. Guarded by the scheduler lock.
class WaitQueue {
public:
    void add(ThreadObj* t) { waiters_.push_back(t); }
    void remove(ThreadObj* t);
    bool empty() const { return waiters_.empty(); }
    // Marks every waiter running again (so that time cannot move on before they have looked at
    // the change) and wakes it. The waiters stay listed until they take themselves off.
    void wakeAll();

private:
    std::vector<ThreadObj*> waiters_;
};

// A kernel object that handles refer to.
class KObject {
public:
    enum class Kind { Event, Mutex, Thread, PipeRead, PipeWrite, File };

    explicit KObject(Kind kind) : kind_(kind) {}
    virtual ~KObject() = default;
    KObject(const KObject&) = delete;
    KObject& operator=(const KObject&) = delete;

    Kind kind() const { return kind_; }

    // Waiting (scheduler lock held). Objects that cannot be waited on return no queue.
    virtual WaitQueue* waitQueue() { return nullptr; }
    virtual bool signalled(const ThreadObj& /*waiter*/) const { return false; }
    // Takes the object for `waiter` once signalled: consumes an auto-reset event, takes a mutex.
    // Returns WAIT_OBJECT_0, or WAIT_ABANDONED for a mutex whose owner ended while holding it.
    virtual DWORD acquire(ThreadObj& /*waiter*/) { return WAIT_OBJECT_0; }

    // Called (no lock held) when the last handle to the object has been closed; references held
    // by calls still running keep the object itself alive until they return.
    virtual void lastHandleClosed() {}

private:
    friend class HandleTable;
    Kind kind_;
    int handleCount_ = 0; // guarded by the handle table's lock
};

// A thread: one created by CreateThread, or any other thread the first time it calls in.
class ThreadObj final : public KObject, public std::enable_shared_from_this<ThreadObj> {
public:
    explicit ThreadObj(DWORD id) : KObject(Kind::Thread), id(id) {}

    WaitQueue* waitQueue() override { return &endQueue; }
    bool signalled(const ThreadObj&) const override { return ended; }

    const DWORD id;
    // Everything below is guarded by the scheduler lock.
    std::condition_variable cv;
    bool participant = false; // takes part in the virtual clock
    bool idle = false;        // blocked in a platform wait
    bool timedListed = false; // listed among the waits with a deadline
    bool wokeByClock = false; // the last wake was the deadline's, not a signal's
    std::optional<uint64_t> deadlineUs;
    DWORD suspendCount = 0;
    int priority = THREAD_PRIORITY_NORMAL;
    bool ended = false;
    bool endHookRan = false;
    // On the virtual clock, a thread whose wait is due is woken before the others due at the
    // same time, which stay asleep until every participant is idle again: what it does at that
    // time (delivering scripted input) is in place before anything else of that time runs.
    bool clockFirst = false;
    DWORD exitCode = STILL_ACTIVE;
    WaitQueue endQueue;
    std::vector<MutexObj*> owned;
};

// The calling thread's record, created on first use for threads not made by CreateThread.
ThreadObj& currentThread();
std::shared_ptr<ThreadObj> currentThreadShared();
DWORD nextThreadId();

// ---- the scheduler (scheduler lock held for all of these) ------------------------------------

// The clock in microseconds (virtual or real). Readable without the lock.
uint64_t nowUs();
// The deadline of a wait of `ms` milliseconds from now; none for INFINITE.
std::optional<uint64_t> deadlineAfterMs(DWORD ms);
bool deadlinePassed(const std::optional<uint64_t>& deadlineUs);

// Blocks the calling thread as idle until another thread wakes it through one of `queues` (or
// directly with wake()), or until the deadline. `deadlineUs` may be moved when the clock changes
// mode. Returns with the thread running again and off the queues: true when the deadline woke it
// (a time-out: no signal reached the thread before the clock did), false when something may have
// changed and the caller should re-check its condition.
bool blockCurrent(Lock& lk, ThreadObj& self, std::span<WaitQueue* const> queues,
                  std::optional<uint64_t>& deadlineUs);
// Marks an idle thread running again and wakes it.
void wake(ThreadObj& t);
// Blocks while the thread is suspended (suspension takes effect at waits).
void honourSuspension(Lock& lk, ThreadObj& self);

// Participation in the virtual clock. A thread joins running, or idle (created suspended).
void addParticipant(ThreadObj& t, bool idle);
void removeParticipant(ThreadObj& t);

// The end of a thread: records the exit code, abandons its mutexes, signals its handle and takes
// it out of the virtual clock. The thread-end hook runs first, on the ending thread, without the
// scheduler lock (the window system uses it to take the thread's windows and queue down).
void finishThread(ThreadObj& t, DWORD exitCode);
using ThreadEndHook = void (*)(ThreadObj& t);
void setThreadEndHook(ThreadEndHook hook);

// Releases every mutex `t` owns as abandoned (sync.cpp).
void abandonMutexes(ThreadObj& t);

// ---- waiting on objects (no lock held) -------------------------------------------------------

// An extra condition a wait can be satisfied by besides its objects (a message queue's input):
// checked under the scheduler lock; the wait returns WAIT_OBJECT_0 + count when it holds.
struct ExtraWait {
    WaitQueue* queue;
    bool (*ready)(void* context);
    void* context;
};

// The core of WaitForSingleObject/WaitForMultipleObjects: objects are kept alive by the caller.
DWORD waitForObjects(std::span<KObject* const> objects, bool waitAll, DWORD milliseconds,
                     const ExtraWait* extra = nullptr);

} // namespace skv::platform::kernel
