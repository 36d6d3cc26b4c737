// Multimedia timers: timeSetEvent and timeKillEvent on one timer thread of the platform.
//
// The timers live in a table ordered by the time each is due next, guarded by a plain mutex that
// is never held across a callback or a wait. The timer thread takes the earliest due timer,
// reschedules it (periodic) or drops it (one-shot), lets go of the lock and calls back; when
// nothing is due it waits on its wake event until the earliest time, on the platform clock. It
// is a thread of CreateThread, so on the virtual clock it takes part like the engine's threads:
// time moves to a timer's due time only when every participant is idle, and the callback runs
// at exactly that time. Like the wave output's done thread it is woken before ordinary threads
// due at the same instant, so a step due at the same time as a frame's deadline comes first on
// every run.
#include <map>
#include <mutex>

#include "kernel.h"
#include "platform/mmsystem.h"

namespace skv::platform::mmtimer {

namespace {

struct Timer {
    uint64_t dueUs = 0;
    uint64_t periodUs = 0; // 0: one-shot
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    UINT flags = 0;
};

struct State {
    std::mutex mu;
    std::map<UINT, Timer> timers; // guarded by mu
    UINT nextId = 1;              // guarded by mu
    UINT running = 0;             // the timer whose callback runs now; guarded by mu
    DWORD threadId = 0;
    HANDLE thread = nullptr;
    HANDLE wake = nullptr;          // auto-reset: the earliest due time may have moved
    HANDLE callbackEnded = nullptr; // manual-reset: no callback runs
};

State& state() {
    static auto* s = new State; // the timer thread may outlive main
    return *s;
}

// The timer due first (lowest time, then lowest identifier, so that equal times keep the order
// the timers were set in). Lock held.
std::map<UINT, Timer>::iterator earliest(State& s) {
    auto best = s.timers.end();
    for (auto it = s.timers.begin(); it != s.timers.end(); ++it)
        if (best == s.timers.end() || it->second.dueUs < best->second.dueUs) best = it;
    return best;
}

DWORD WINAPI timerThread(LPVOID) {
    {
        kernel::Lock lk = kernel::lockScheduler();
        kernel::currentThread().clockFirst = true;
    }
    State& s = state();
    for (;;) {
        DWORD wait = INFINITE;
        UINT id = 0;
        Timer fire;
        {
            std::lock_guard<std::mutex> g(s.mu);
            const uint64_t now = kernel::nowUs();
            auto it = earliest(s);
            if (it != s.timers.end()) {
                if (it->second.dueUs <= now) {
                    id = it->first;
                    fire = it->second;
                    if (fire.periodUs) {
                        it->second.dueUs += fire.periodUs;
                        if (it->second.dueUs + fire.periodUs <= now) it->second.dueUs = now;
                    } else {
                        s.timers.erase(it);
                    }
                    s.running = id;
                    ResetEvent(s.callbackEnded);
                } else {
                    const uint64_t left = (it->second.dueUs - now + 999) / 1000;
                    wait = static_cast<DWORD>(std::min<uint64_t>(left, 0x7FFFFFFF));
                }
            }
        }
        if (!id) {
            WaitForSingleObject(s.wake, wait);
            continue;
        }
        if (fire.flags & TIME_CALLBACK_EVENT_SET)
            SetEvent(reinterpret_cast<HANDLE>(fire.callback));
        else
            fire.callback(id, 0, fire.user, 0, 0);
        {
            std::lock_guard<std::mutex> g(s.mu);
            s.running = 0;
            SetEvent(s.callbackEnded);
        }
    }
    return 0;
}

// Starts the timer thread at the first use (lock held).
bool ensureThread(State& s) {
    if (s.thread) return true;
    if (!s.wake) s.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!s.callbackEnded) s.callbackEnded = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!s.wake || !s.callbackEnded) return false;
    s.thread = CreateThread(nullptr, 128 * 1024, timerThread, nullptr, 0, &s.threadId);
    return s.thread != nullptr;
}

} // namespace

} // namespace skv::platform::mmtimer

using namespace skv::platform::mmtimer;

extern "C" {

MMRESULT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    if (delay == 0 || !callback) return 0;
    State& s = state();
    UINT id = 0;
    {
        std::lock_guard<std::mutex> g(s.mu);
        if (!ensureThread(s)) return 0;
        do {
            id = s.nextId++;
        } while (id == 0 || s.timers.count(id));
        Timer t;
        t.dueUs = skv::platform::kernel::nowUs() + uint64_t{delay} * 1000;
        t.periodUs = (flags & TIME_PERIODIC) ? uint64_t{delay} * 1000 : 0;
        t.callback = callback;
        t.user = user;
        t.flags = flags;
        s.timers[id] = t;
    }
    SetEvent(s.wake);
    return id;
}

MMRESULT timeKillEvent(UINT timerId) {
    State& s = state();
    bool wait = false;
    {
        std::lock_guard<std::mutex> g(s.mu);
        const bool known = s.timers.erase(timerId) > 0;
        const bool running = timerId != 0 && s.running == timerId;
        if (!known && !running) return MMSYSERR_INVALPARAM;
        wait = running && GetCurrentThreadId() != s.threadId;
    }
    SetEvent(s.wake);
    // A callback of the killed timer still running on the timer thread is waited for: whoever
    // kills a timer may free what its callback uses as soon as this returns.
    while (wait) {
        WaitForSingleObject(s.callbackEnded, INFINITE);
        std::lock_guard<std::mutex> g(s.mu);
        wait = s.running == timerId;
    }
    return TIMERR_NOERROR;
}

} // extern "C"
