// The clock: time calls in both modes, and the virtual clock's rules for when time moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/win32.h"
#include "vclock_fixture.h"

namespace {

using skv::platform::clockNowMs;

using VirtualClock = VirtualClockTest;

TEST_F(VirtualClock, AllTimeCallsReadTheVirtualClock) {
    EXPECT_TRUE(skv::platform::isVirtualClock());
    EXPECT_EQ(clockNowMs(), kStart);
    EXPECT_EQ(GetTickCount(), static_cast<DWORD>(kStart));
    EXPECT_EQ(timeGetTime(), static_cast<DWORD>(kStart));
    Sleep(0); // yields, does not move time
    EXPECT_EQ(clockNowMs(), kStart);
    Sleep(56000); // costs no real time
    EXPECT_EQ(clockNowMs(), kStart + 56000);
    EXPECT_EQ(GetTickCount(), static_cast<DWORD>(kStart + 56000));
}

TEST_F(VirtualClock, TickCountWrapsAt32Bits) {
    skv::platform::setVirtualClock(true, 0xFFFFFFFFull - 5);
    Sleep(10);
    EXPECT_EQ(GetTickCount(), 4u);
    EXPECT_EQ(timeGetTime(), 4u);
    EXPECT_EQ(clockNowMs(), 0x100000004ull);
}

TEST_F(VirtualClock, TimedOutWaitEndsExactlyAtItsDeadline) {
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(ev, 5000), WAIT_TIMEOUT);
    EXPECT_EQ(elapsed(), 5000u);
    HANDLE both[2] = {ev, ev};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 250), WAIT_TIMEOUT);
    EXPECT_EQ(elapsed(), 5250u);
    CloseHandle(ev);
}

HANDLE gEvent;

TEST_F(VirtualClock, SignalBeatsALongerTimeOut) {
    gEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE t = startThread([](LPVOID) -> DWORD {
        Sleep(100);
        SetEvent(gEvent);
        return 0;
    });
    EXPECT_EQ(WaitForSingleObject(gEvent, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 100u);
    joinThread(t);
    EXPECT_EQ(elapsed(), 100u);
    CloseHandle(gEvent);
}

// A signal given after time already reached the waiter's deadline loses, on every run alike.
TEST_F(VirtualClock, SignalAtTheTimeOutInstantResolvesTheSameWayEveryRun) {
    gEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (int run = 0; run < 20; ++run) {
        uint64_t start = clockNowMs();
        HANDLE t = startThread([](LPVOID) -> DWORD {
            Sleep(100);
            SetEvent(gEvent);
            return 0;
        });
        EXPECT_EQ(WaitForSingleObject(gEvent, 100), WAIT_TIMEOUT) << "run " << run;
        EXPECT_EQ(clockNowMs() - start, 100u);
        joinThread(t);
        EXPECT_EQ(WaitForSingleObject(gEvent, 0), WAIT_OBJECT_0); // the late signal is kept
    }
    CloseHandle(gEvent);
}

struct Busy {
    HANDLE sleeperDone;
    std::atomic<bool> sleeperWoke{false};
    std::atomic<bool> sleeperWokeWhileBusy{false};
    uint64_t busyStart = 0, busyEnd = 0, sleeperWake = 0;
};

TEST_F(VirtualClock, TimeStandsStillWhileAParticipantRuns) {
    static Busy b;
    b.sleeperWoke = false;
    b.sleeperWokeWhileBusy = false;
    HANDLE sleeper = startThread([](LPVOID) -> DWORD {
        Sleep(10);
        b.sleeperWake = clockNowMs();
        b.sleeperWoke = true;
        return 0;
    });
    HANDLE busy = startThread([](LPVOID) -> DWORD {
        b.busyStart = clockNowMs();
        // Real work (no platform wait) for a while: the sleeper's 10 ms must not pass meanwhile.
        for (int i = 0; i < 100 && !b.sleeperWoke; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        b.sleeperWokeWhileBusy = b.sleeperWoke.load();
        b.busyEnd = clockNowMs();
        return 0;
    });
    joinThread(busy);
    joinThread(sleeper);
    EXPECT_FALSE(b.sleeperWokeWhileBusy.load());
    EXPECT_EQ(b.busyEnd, b.busyStart);
    EXPECT_EQ(b.busyStart, kStart);
    EXPECT_EQ(b.sleeperWake, kStart + 10);
}

TEST_F(VirtualClock, InfiniteWaitsDoNotMoveTimeButDeadlinesOfOthersDo) {
    gEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = startThread([](LPVOID) -> DWORD { return WaitForSingleObject(gEvent, INFINITE); });
    Sleep(70);
    EXPECT_EQ(elapsed(), 70u);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    SetEvent(gEvent);
    EXPECT_EQ(joinThread(t), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 70u);
    CloseHandle(gEvent);
}

TEST_F(VirtualClock, ThreadsOutsideTheClockDoNotHoldItBack) {
    std::atomic<bool> mainDone{false};
    std::atomic<bool> sawMainDone{false};
    std::thread outsider([&] {
        // Calls into the platform, but has not joined the clock.
        for (int i = 0; i < 10000 && !mainDone; ++i) {
            (void)timeGetTime();
            Sleep(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        sawMainDone = mainDone.load();
    });
    Sleep(1000);
    EXPECT_EQ(elapsed(), 1000u);
    mainDone = true;
    outsider.join();
    EXPECT_TRUE(sawMainDone.load());
}

TEST_F(VirtualClock, AJoinedThreadHoldsTimeBackUntilItLeaves) {
    static HANDLE joined;
    joined = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uint64_t seenBefore = 0, seenAfter = 0;
    std::thread member([&] {
        skv::platform::joinVirtualClock();
        SetEvent(joined);
        seenBefore = clockNowMs();
        for (int i = 0; i < 50; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        seenAfter = clockNowMs();
        skv::platform::leaveVirtualClock();
    });
    WaitForSingleObject(joined, INFINITE);
    Sleep(10);
    EXPECT_EQ(elapsed(), 10u);
    member.join();
    EXPECT_EQ(seenBefore, kStart);
    EXPECT_EQ(seenAfter, kStart);
    CloseHandle(joined);
}

// A small program of three threads passing work through a pipe and events with time-outs: its
// virtual timestamps must be the same on every run.
struct Scenario {
    HANDLE readEnd, writeEnd, tick, stop;
    std::vector<uint64_t> producerLog, consumerLog, tickerLog;
};

DWORD WINAPI producer(LPVOID p) {
    auto* s = static_cast<Scenario*>(p);
    for (int i = 0; i < 8; ++i) {
        Sleep(static_cast<DWORD>(7 + 13 * (i % 3)));
        char chunk[48] = {static_cast<char>(i)};
        DWORD written = 0;
        WriteFile(s->writeEnd, chunk, sizeof chunk, &written, nullptr);
        s->producerLog.push_back(clockNowMs());
    }
    CloseHandle(s->writeEnd);
    return 0;
}

// Reads whole chunks: when a chunk is complete depends only on when its bytes were written, not
// on how the reads happened to split them.
DWORD WINAPI consumer(LPVOID p) {
    auto* s = static_cast<Scenario*>(p);
    for (;;) {
        char chunk[48];
        DWORD have = 0;
        while (have < sizeof chunk) {
            DWORD got = 0;
            DWORD ask = std::min<DWORD>(20, sizeof chunk - have);
            if (!ReadFile(s->readEnd, chunk + have, ask, &got, nullptr)) {
                SetEvent(s->stop);
                return have;
            }
            have += got;
        }
        s->consumerLog.push_back(clockNowMs() * 100 + static_cast<uint64_t>(chunk[0]));
        Sleep(3);
        if (WaitForSingleObject(s->tick, 5) == WAIT_OBJECT_0)
            s->consumerLog.push_back(clockNowMs());
    }
}

DWORD WINAPI ticker(LPVOID p) {
    auto* s = static_cast<Scenario*>(p);
    while (WaitForSingleObject(s->stop, 11) == WAIT_TIMEOUT) {
        SetEvent(s->tick);
        s->tickerLog.push_back(clockNowMs());
    }
    return 0;
}

Scenario runScenario() {
    Scenario s;
    CreatePipe(&s.readEnd, &s.writeEnd, nullptr, 64);
    s.tick = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    s.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t[3] = {startThread(producer, &s), startThread(consumer, &s), startThread(ticker, &s)};
    EXPECT_EQ(WaitForMultipleObjects(3, t, TRUE, INFINITE), WAIT_OBJECT_0);
    for (HANDLE h : t)
        CloseHandle(h);
    CloseHandle(s.readEnd);
    CloseHandle(s.tick);
    CloseHandle(s.stop);
    return s;
}

TEST_F(VirtualClock, IdenticalRunsSeeIdenticalTimestamps) {
    Scenario first = runScenario();
    for (int run = 0; run < 5; ++run) {
        skv::platform::setVirtualClock(true, kStart);
        Scenario again = runScenario();
        EXPECT_EQ(again.producerLog, first.producerLog);
        EXPECT_EQ(again.consumerLog, first.consumerLog);
        EXPECT_EQ(again.tickerLog, first.tickerLog);
    }
    EXPECT_EQ(first.producerLog.size(), 8u);
    EXPECT_GT(first.tickerLog.size(), 5u);
}

TEST(RealClock, TimeOutsAndTickCountsFollowTheSystemClock) {
    ASSERT_FALSE(skv::platform::isVirtualClock());
    HANDLE ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    uint64_t before = clockNowMs();
    EXPECT_EQ(WaitForSingleObject(ev, 20), WAIT_TIMEOUT);
    Sleep(5);
    DWORD tick = GetTickCount();
    uint64_t after = clockNowMs();
    EXPECT_GT(after, before);
    // GetTickCount is the same clock cut to 32 bits: read between the two, it lies between them.
    EXPECT_LE(static_cast<DWORD>(after) - tick, static_cast<DWORD>(after - before));
    CloseHandle(ev);
}

TEST(TimerCaps, RangeAndPeriods) {
    TIMECAPS caps{};
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(caps.wPeriodMin, 1u);
    EXPECT_EQ(caps.wPeriodMax, 1000000u);
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
    EXPECT_EQ(timeBeginPeriod(1000001), static_cast<MMRESULT>(TIMERR_NOCANDO));
}

} // namespace
