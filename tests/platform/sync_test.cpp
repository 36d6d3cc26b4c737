// Events, mutexes, critical sections, multiple-object waits and interlocked operations.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/win32.h"
#include "vclock_fixture.h"

namespace {

using SyncTest = VirtualClockTest;

TEST(Events, AutoResetReleasesOneWaitManualResetStaysSet) {
    HANDLE autoEv = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoEv, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEv, 0), WAIT_TIMEOUT); // consumed by the first wait

    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(autoEv);
    CloseHandle(manual);
}

struct TwoWaiters {
    HANDLE ev;
    std::atomic<int> released{0};
    std::atomic<int> timedOut{0};
};

DWORD WINAPI waitOnce(LPVOID p) {
    auto* s = static_cast<TwoWaiters*>(p);
    DWORD r = WaitForSingleObject(s->ev, 1000);
    (r == WAIT_OBJECT_0 ? s->released : s->timedOut)++;
    return r;
}

TEST_F(SyncTest, OneSetOfAnAutoResetEventReleasesExactlyOneWaiter) {
    TwoWaiters s;
    s.ev = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE a = startThread(waitOnce, &s);
    HANDLE b = startThread(waitOnce, &s);
    SetEvent(s.ev);
    joinThread(a);
    joinThread(b);
    EXPECT_EQ(s.released.load(), 1);
    EXPECT_EQ(s.timedOut.load(), 1);
    CloseHandle(s.ev);
}

TEST_F(SyncTest, SetEventReleasesEveryWaiterOfAManualResetEvent) {
    TwoWaiters s;
    s.ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE a = startThread(waitOnce, &s);
    HANDLE b = startThread(waitOnce, &s);
    Sleep(10); // both are waiting by now: the clock moved only once they blocked
    SetEvent(s.ev);
    joinThread(a);
    joinThread(b);
    EXPECT_EQ(s.released.load(), 2);
    EXPECT_EQ(elapsed(), 10u);
    CloseHandle(s.ev);
}

TEST(WaitMultiple, WaitAnyReturnsTheLowestSignalledIndex) {
    HANDLE e[3];
    for (HANDLE& h : e)
        h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(e[2]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1);
    // Only the returned one was consumed.
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
    for (HANDLE h : e)
        CloseHandle(h);
}

TEST(WaitMultiple, WaitAllTakesNothingUntilEverythingIsSignalled) {
    HANDLE e[2] = {CreateEventA(nullptr, FALSE, TRUE, nullptr),
                   CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(2, e, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_OBJECT_0); // still set: not consumed above
    SetEvent(e[0]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, e, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_TIMEOUT); // both consumed
    EXPECT_EQ(WaitForSingleObject(e[1], 0), WAIT_TIMEOUT);

    HANDLE twice[2] = {e[0], e[0]};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(0, e, FALSE, 0), WAIT_FAILED);
    for (HANDLE h : e)
        CloseHandle(h);
}

HANDLE gLater[2];

TEST_F(SyncTest, WaitAllBlocksUntilTheLastObjectIsSignalled) {
    gLater[0] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    gLater[1] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = startThread([](LPVOID) -> DWORD {
        Sleep(20);
        SetEvent(gLater[1]);
        Sleep(30);
        SetEvent(gLater[0]);
        return 0;
    });
    EXPECT_EQ(WaitForMultipleObjects(2, gLater, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(elapsed(), 20u);
    EXPECT_EQ(WaitForMultipleObjects(2, gLater, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 50u);
    joinThread(t);
    CloseHandle(gLater[0]);
    CloseHandle(gLater[1]);
}

HANDLE gMutex;

DWORD WINAPI releaseForeignMutex(LPVOID) {
    BOOL released = ReleaseMutex(gMutex);
    DWORD err = GetLastError();
    DWORD wait = WaitForSingleObject(gMutex, 0);
    return !released && err == ERROR_NOT_OWNER && wait == WAIT_TIMEOUT ? 1 : 0;
}

TEST_F(SyncTest, MutexIsRecursiveAndOnlyItsOwnerMayReleaseIt) {
    gMutex = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(gMutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(gMutex, 0), WAIT_OBJECT_0); // owned twice now
    EXPECT_EQ(joinThread(startThread(releaseForeignMutex)), 1u);
    EXPECT_TRUE(ReleaseMutex(gMutex));
    EXPECT_EQ(
        joinThread(startThread([](LPVOID) -> DWORD { return WaitForSingleObject(gMutex, 100); })),
        WAIT_TIMEOUT); // still held once
    EXPECT_TRUE(ReleaseMutex(gMutex));
    EXPECT_FALSE(ReleaseMutex(gMutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    // Free now: another thread takes it (and leaves it abandoned as it ends).
    EXPECT_EQ(
        joinThread(startThread([](LPVOID) -> DWORD { return WaitForSingleObject(gMutex, 0); })),
        WAIT_OBJECT_0);
    CloseHandle(gMutex);
}

TEST_F(SyncTest, MutexOfAThreadThatEndedIsAbandonedToTheNextWaiter) {
    gMutex = CreateMutexA(nullptr, FALSE, nullptr);
    HANDLE t = startThread([](LPVOID) -> DWORD {
        WaitForSingleObject(gMutex, INFINITE);
        WaitForSingleObject(gMutex, INFINITE);
        Sleep(40);
        return 0; // ends holding it
    });
    Sleep(10);
    EXPECT_EQ(WaitForSingleObject(gMutex, INFINITE), WAIT_ABANDONED);
    EXPECT_EQ(elapsed(), 40u);
    // The waiter owns it now, once, and the next wait is an ordinary one.
    EXPECT_TRUE(ReleaseMutex(gMutex));
    EXPECT_FALSE(ReleaseMutex(gMutex));
    EXPECT_EQ(WaitForSingleObject(gMutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(gMutex));
    joinThread(t);
    CloseHandle(gMutex);
}

TEST_F(SyncTest, ReleasedMutexPassesToTheWaiter) {
    gMutex = CreateMutexA(nullptr, TRUE, nullptr);
    HANDLE t = startThread([](LPVOID) -> DWORD {
        DWORD r = WaitForSingleObject(gMutex, 5000);
        DWORD at = static_cast<DWORD>(skv::platform::clockNowMs() - kStart);
        ReleaseMutex(gMutex);
        return r == WAIT_OBJECT_0 ? at : 0xFFFFFFFF;
    });
    Sleep(25);
    EXPECT_TRUE(ReleaseMutex(gMutex));
    EXPECT_EQ(joinThread(t), 25u);
    CloseHandle(gMutex);
}

struct Counter {
    CRITICAL_SECTION cs;
    long value = 0; // deliberately not atomic: the critical section guards it
};

DWORD WINAPI addUnderLock(LPVOID p) {
    auto* c = static_cast<Counter*>(p);
    for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&c->cs);
        EnterCriticalSection(&c->cs); // recursive
        long v = c->value;
        c->value = v + 1;
        LeaveCriticalSection(&c->cs);
        LeaveCriticalSection(&c->cs);
    }
    return 0;
}

TEST(CriticalSection, ExcludesOtherThreadsAndNests) {
    Counter c;
    InitializeCriticalSection(&c.cs);
    HANDLE a = startThread(addUnderLock, &c);
    HANDLE b = startThread(addUnderLock, &c);
    joinThread(a);
    joinThread(b);
    EXPECT_EQ(c.value, 40000);
    DeleteCriticalSection(&c.cs);
}

TEST(Interlocked, ReturnValuesAndAtomicity) {
    volatile LONG v = 5;
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 8), 9); // no match: unchanged
    EXPECT_EQ(v, 9);
    EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(InterlockedIncrement(&v), 2);
    EXPECT_EQ(InterlockedDecrement(&v), 1);

    static volatile LONG shared;
    shared = 0;
    auto bump = [](LPVOID) -> DWORD {
        for (int i = 0; i < 50000; ++i)
            InterlockedIncrement(&shared);
        return 0;
    };
    HANDLE a = startThread(bump);
    HANDLE b = startThread(bump);
    joinThread(a);
    joinThread(b);
    EXPECT_EQ(shared, 100000);
}

} // namespace

namespace {

TEST(NamedObjects, SameNameOpensTheSameObject) {
    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, "skv-test-event");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    HANDLE b = CreateEventA(nullptr, TRUE, FALSE, "skv-test-event");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    SetEvent(a);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "skv-test-event"), nullptr); // a name of another kind
    CloseHandle(a);
    CloseHandle(b);
    HANDLE c = CreateEventA(nullptr, TRUE, FALSE, "skv-test-event"); // all closed: a new one
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(WaitForSingleObject(c, 0), WAIT_TIMEOUT);
    CloseHandle(c);
}

} // namespace
