// Multimedia timers on the virtual clock: when callbacks come, on which thread, and how a timer
// is stopped.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/mmsystem.h"
#include "platform/win32.h"
#include "vclock_fixture.h"

namespace {

using MultimediaTimer = VirtualClockTest;

constexpr uint64_t kStartMs = 1000000; // where the fixture starts the clock

// What the callbacks saw: the time of each call (since the test began), its timer and thread.
struct Calls {
    std::mutex mu;
    std::vector<uint64_t> at;
    std::vector<UINT> timers;
    std::vector<DWORD> threads;
    UINT killAfter = 0; // the callback kills its own timer on this call
    HANDLE done = nullptr;

    void record(UINT id) {
        std::lock_guard<std::mutex> g(mu);
        at.push_back(skv::platform::clockNowMs() - kStartMs);
        timers.push_back(id);
        threads.push_back(GetCurrentThreadId());
        if (killAfter && at.size() == killAfter) {
            EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
            SetEvent(done);
        }
    }
};

void CALLBACK recordCall(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<Calls*>(user)->record(id);
}

TEST_F(MultimediaTimer, APeriodicTimerComesEveryPeriodUntilItsCallbackKillsIt) {
    Calls calls;
    calls.killAfter = 5;
    calls.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const UINT id = timeSetEvent(40, 5, recordCall, reinterpret_cast<DWORD_PTR>(&calls),
                                 TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(WaitForSingleObject(calls.done, INFINITE), WAIT_OBJECT_0);
    // Nothing more comes once it is killed, however long we wait.
    Sleep(1000);
    std::lock_guard<std::mutex> g(calls.mu);
    EXPECT_EQ(calls.at, (std::vector<uint64_t>{40, 80, 120, 160, 200}));
    for (UINT t : calls.timers)
        EXPECT_EQ(t, id);
    // The callbacks run on the timer thread, not on the thread that set the timer.
    for (DWORD t : calls.threads) {
        EXPECT_EQ(t, calls.threads[0]);
        EXPECT_NE(t, GetCurrentThreadId());
    }
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    CloseHandle(calls.done);
}

TEST_F(MultimediaTimer, TimersComeInTheOrderOfTheirTimesOnOneThread) {
    Calls calls;
    const auto user = reinterpret_cast<DWORD_PTR>(&calls);
    const UINT periodic = timeSetEvent(30, 1, recordCall, user, TIME_PERIODIC);
    const UINT once = timeSetEvent(50, 1, recordCall, user, TIME_ONESHOT);
    // A one-shot timer due at the same time as a periodic one set earlier comes after it.
    const UINT same = timeSetEvent(60, 1, recordCall, user, TIME_ONESHOT);
    ASSERT_TRUE(periodic && once && same);
    Sleep(100);
    EXPECT_EQ(timeKillEvent(periodic), static_cast<MMRESULT>(TIMERR_NOERROR));
    // A one-shot timer that has come is gone.
    EXPECT_EQ(timeKillEvent(once), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    Sleep(100);
    std::lock_guard<std::mutex> g(calls.mu);
    EXPECT_EQ(calls.at, (std::vector<uint64_t>{30, 50, 60, 60, 90}));
    EXPECT_EQ(calls.timers, (std::vector<UINT>{periodic, once, periodic, same, periodic}));
    for (DWORD t : calls.threads)
        EXPECT_EQ(t, calls.threads[0]);
}

TEST_F(MultimediaTimer, AKilledTimerThatHasNotComeNeverComes) {
    Calls calls;
    const UINT id =
        timeSetEvent(20, 1, recordCall, reinterpret_cast<DWORD_PTR>(&calls), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
    Sleep(100);
    std::lock_guard<std::mutex> g(calls.mu);
    EXPECT_TRUE(calls.at.empty());
}

// A callback that takes 50 ms of (virtual) time, and says when it has started and ended.
struct SlowCall {
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> ended{false};
    ~SlowCall() { CloseHandle(started); }
};

void CALLBACK slowCall(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* s = reinterpret_cast<SlowCall*>(user);
    SetEvent(s->started);
    Sleep(50);
    s->ended.store(true);
}

TEST_F(MultimediaTimer, KillingFromAnotherThreadWaitsForTheRunningCallback) {
    SlowCall slow;
    const UINT id =
        timeSetEvent(10, 1, slowCall, reinterpret_cast<DWORD_PTR>(&slow), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(WaitForSingleObject(slow.started, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 10u);
    EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
    // The callback's state may be freed now: it has returned.
    EXPECT_TRUE(slow.ended.load());
    EXPECT_EQ(elapsed(), 60u);
}

TEST_F(MultimediaTimer, AnEventTimerSetsItsEvent) {
    HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const UINT id = timeSetEvent(25, 1, reinterpret_cast<LPTIMECALLBACK>(ev), 0,
                                 TIME_ONESHOT | TIME_CALLBACK_EVENT_SET);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(ev, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 25u);
    CloseHandle(ev);
}

TEST_F(MultimediaTimer, BadArgumentsAndAMissingDeviceAreRefused) {
    Calls calls;
    const auto user = reinterpret_cast<DWORD_PTR>(&calls);
    EXPECT_EQ(timeSetEvent(0, 1, recordCall, user, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeSetEvent(10, 1, nullptr, user, TIME_PERIODIC), 0u);
    EXPECT_EQ(timeKillEvent(0), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(timeKillEvent(0x7FFFFFF0u), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));

    TIMECAPS caps{};
    ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_GE(caps.wPeriodMax, caps.wPeriodMin);
    skv::platform::setTimerDeviceAvailable(false);
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOCANDO));
    skv::platform::setTimerDeviceAvailable(true);
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
}

} // namespace
