// The clock and the scheduler every blocking call of the platform goes through.
//
// Design. One lock (the scheduler lock) guards every waitable object, every thread record and the
// virtual clock. A thread that has to block calls blockCurrent() with the lock held: it lists
// itself on the wait queues of what it waits for, records its deadline, marks itself idle and
// sleeps on its own condition variable. Whoever changes an object (SetEvent, ReleaseMutex, a pipe
// write, a thread's end) does it under the same lock and wakes the queue's waiters, marking each
// one running *at that moment*, before the waiter has even been scheduled. Only the waker or the
// clock ever marks an idle thread running.
//
// Participants of the virtual clock are counted in `running`: participants not idle. When a
// participant goes idle (or ends, or leaves) and `running` drops to zero, the clock jumps to the
// earliest deadline among the idle waits of participants and wakes every wait due by then. Since
// a signalled waiter counts as running from the instant of the signal, a signal given before the
// clock moved always beats a time-out at the same virtual instant: the clock cannot move until
// that waiter has looked at its object and blocked again. Conversely a wait the clock woke has
// timed out, even if its object is signalled by the time it runs: the signal came after the time
// had moved, and deciding by the order of the wake-ups keeps the outcome deterministic. If no
// idle participant has a deadline, nothing moves: a deadlock stays a deadlock. Threads that do not
// participate never hold time back; their timed waits are woken when virtual time passes their
// deadline. Since the clock only moves at points fixed by the program's own synchronisation, a
// deterministic program sees the same virtual timestamps on every run.
//
// In real mode the same bookkeeping runs (so that virtual mode can be switched on at any time),
// but a timed wait sleeps until its deadline on the monotonic clock and wakes itself. Switching
// mode carries each pending wait's remaining time over to the new clock.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "kernel.h"
#include "platform/clock.h"

namespace skv::platform::kernel {

namespace {

struct Scheduler {
    std::mutex mu;
    // Guarded by mu.
    int running = 0;               // participants not idle
    std::vector<ThreadObj*> timed; // idle threads with a deadline
    // Written under mu, read anywhere.
    std::atomic<bool> virtualMode{false};
    std::atomic<uint64_t> virtualNowUs{0};
};

Scheduler& sched() {
    static Scheduler* s = new Scheduler; // never destroyed: threads may outlive main
    return *s;
}

uint64_t realNowUs() {
    auto d = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(d).count());
}

void setRunning(ThreadObj& t) {
    if (!t.idle) return;
    t.idle = false;
    if (t.participant) sched().running++;
}

void setIdle(ThreadObj& t) {
    if (t.idle) return;
    t.idle = true;
    if (t.participant) sched().running--;
}

// Moves virtual time to the earliest deadline of an idle participant once no participant runs.
void maybeAdvance() {
    Scheduler& s = sched();
    if (!s.virtualMode.load(std::memory_order_relaxed) || s.running > 0) return;
    std::optional<uint64_t> earliest;
    for (ThreadObj* t : s.timed) {
        if (t->participant && t->idle && t->deadlineUs && (!earliest || *t->deadlineUs < *earliest))
            earliest = t->deadlineUs;
    }
    if (!earliest) return;
    uint64_t now = s.virtualNowUs.load(std::memory_order_relaxed);
    if (*earliest > now) {
        now = *earliest;
        s.virtualNowUs.store(now, std::memory_order_release);
    }
    auto due = [now](const ThreadObj* t) {
        return t->idle && t->deadlineUs && *t->deadlineUs <= now;
    };
    const bool firstOnly = std::any_of(s.timed.begin(), s.timed.end(),
                                       [&](ThreadObj* t) { return due(t) && t->clockFirst; });
    for (ThreadObj* t : s.timed) {
        if (due(t) && (t->clockFirst || !firstOnly)) {
            t->wokeByClock = true;
            wake(*t);
        }
    }
}

void unlistTimed(ThreadObj& t) {
    if (!t.timedListed) return;
    auto& v = sched().timed;
    auto it = std::find(v.begin(), v.end(), &t);
    if (it != v.end()) {
        *it = v.back();
        v.pop_back();
    }
    t.timedListed = false;
}

} // namespace

std::mutex& schedulerMutex() {
    return sched().mu;
}

uint64_t nowUs() {
    Scheduler& s = sched();
    if (s.virtualMode.load(std::memory_order_acquire))
        return s.virtualNowUs.load(std::memory_order_acquire);
    return realNowUs();
}

std::optional<uint64_t> deadlineAfterMs(DWORD ms) {
    if (ms == INFINITE) return std::nullopt;
    return nowUs() + uint64_t{ms} * 1000;
}

bool deadlinePassed(const std::optional<uint64_t>& deadlineUs) {
    return deadlineUs && nowUs() >= *deadlineUs;
}

void WaitQueue::remove(ThreadObj* t) {
    auto it = std::find(waiters_.begin(), waiters_.end(), t);
    if (it != waiters_.end()) {
        *it = waiters_.back();
        waiters_.pop_back();
    }
}

void WaitQueue::wakeAll() {
    for (ThreadObj* t : waiters_)
        wake(*t);
}

void wake(ThreadObj& t) {
    if (!t.idle) return;
    setRunning(t);
    t.cv.notify_one();
}

bool blockCurrent(Lock& lk, ThreadObj& self, std::span<WaitQueue* const> queues,
                  std::optional<uint64_t>& deadlineUs) {
    Scheduler& s = sched();
    self.wokeByClock = false;
    for (WaitQueue* q : queues)
        q->add(&self);
    self.deadlineUs = deadlineUs;
    if (deadlineUs) {
        s.timed.push_back(&self);
        self.timedListed = true;
    }
    setIdle(self);
    maybeAdvance();
    while (self.idle) {
        if (!self.deadlineUs || s.virtualMode.load(std::memory_order_relaxed)) {
            self.cv.wait(lk);
        } else {
            auto until = std::chrono::steady_clock::time_point(
                std::chrono::microseconds(static_cast<int64_t>(*self.deadlineUs)));
            self.cv.wait_until(lk, until);
            if (self.idle && !s.virtualMode.load(std::memory_order_relaxed) &&
                realNowUs() >= *self.deadlineUs) {
                self.wokeByClock = true;
                setRunning(self);
            }
        }
    }
    for (WaitQueue* q : queues)
        q->remove(&self);
    unlistTimed(self);
    deadlineUs = self.deadlineUs;
    self.deadlineUs.reset();
    return self.wokeByClock;
}

void honourSuspension(Lock& lk, ThreadObj& self) {
    while (self.suspendCount > 0) {
        std::optional<uint64_t> none;
        blockCurrent(lk, self, {}, none);
    }
}

void addParticipant(ThreadObj& t, bool idle) {
    if (t.participant) return;
    t.participant = true;
    t.idle = idle;
    if (!idle) sched().running++;
}

void removeParticipant(ThreadObj& t) {
    if (!t.participant) return;
    if (!t.idle) sched().running--;
    t.participant = false;
    maybeAdvance();
}

} // namespace skv::platform::kernel

namespace skv::platform {

using namespace kernel;

void setVirtualClock(bool on, uint64_t startMs) {
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    Scheduler& s = sched();
    uint64_t before = nowUs();
    if (on) {
        s.virtualNowUs.store(startMs * 1000, std::memory_order_release);
        s.virtualMode.store(true, std::memory_order_release);
    } else {
        s.virtualMode.store(false, std::memory_order_release);
    }
    uint64_t after = nowUs();
    // Pending waits keep the time they had left, counted on the new clock (in whole
    // milliseconds on the virtual one, so that it keeps moving in whole milliseconds).
    for (ThreadObj* t : s.timed) {
        if (!t->deadlineUs) continue;
        uint64_t left = *t->deadlineUs > before ? *t->deadlineUs - before : 0;
        if (on) left = (left + 999) / 1000 * 1000;
        t->deadlineUs = after + left;
        t->cv.notify_one();
    }
    if (on) addParticipant(self, false);
    maybeAdvance();
}

bool isVirtualClock() {
    return sched().virtualMode.load(std::memory_order_acquire);
}

uint64_t clockNowMs() {
    return nowUs() / 1000;
}

void joinVirtualClock() {
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    addParticipant(self, false);
}

namespace {
std::atomic<bool> timerDeviceAvailable{true};
} // namespace

void setTimerDeviceAvailable(bool available) {
    timerDeviceAvailable.store(available);
}

void leaveVirtualClock() {
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    removeParticipant(self);
}

} // namespace skv::platform

using namespace skv::platform::kernel;

extern "C" {

void Sleep(DWORD milliseconds) {
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    honourSuspension(lk, self);
    if (milliseconds == 0) {
        lk.unlock();
        std::this_thread::yield();
        return;
    }
    std::optional<uint64_t> deadline = deadlineAfterMs(milliseconds);
    for (;;) {
        honourSuspension(lk, self);
        if (deadlinePassed(deadline)) return;
        blockCurrent(lk, self, {}, deadline);
    }
}

DWORD GetTickCount(void) {
    return static_cast<DWORD>(skv::platform::clockNowMs());
}

DWORD timeGetTime(void) {
    return static_cast<DWORD>(skv::platform::clockNowMs());
}

MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS) || !skv::platform::timerDeviceAvailable.load())
        return TIMERR_NOCANDO;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

// Timer resolution is whatever the system gives; only the range is checked, as callers expect.
MMRESULT timeBeginPeriod(UINT period) {
    return period >= 1 && period <= 1000000 ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

MMRESULT timeEndPeriod(UINT period) {
    return period >= 1 && period <= 1000000 ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

} // extern "C"
