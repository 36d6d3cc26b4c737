// Threads: creation suspended, suspend counts, exit codes, waits on thread handles, priorities.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/win32.h"
#include "vclock_fixture.h"

namespace {

using ThreadTest = VirtualClockTest;

std::atomic<int> gRuns{0};

DWORD WINAPI countRun(LPVOID) {
    gRuns++;
    return 17;
}

TEST_F(ThreadTest, SuspendedThreadRunsOnlyOnceResumed) {
    gRuns = 0;
    HANDLE t = startThread(countRun, nullptr, CREATE_SUSPENDED);
    // A suspended thread is idle for the clock: this sleep can only complete while it has not run
    // (had it run, it would be a running participant and the sleep would outlast it).
    Sleep(1000);
    EXPECT_EQ(gRuns.load(), 0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);

    EXPECT_EQ(SuspendThread(t), 1u); // counts nest
    EXPECT_EQ(ResumeThread(t), 2u);
    Sleep(10);
    EXPECT_EQ(gRuns.load(), 0);
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(joinThread(t), 17u);
    EXPECT_EQ(gRuns.load(), 1);
}

struct Gate {
    HANDLE go;
    HANDLE done;
    std::atomic<bool> passed{false};
};

DWORD WINAPI passGate(LPVOID p) {
    auto* g = static_cast<Gate*>(p);
    WaitForSingleObject(g->go, INFINITE);
    g->passed = true;
    SetEvent(g->done);
    return 0;
}

TEST_F(ThreadTest, SuspendingARunningThreadStopsItAtItsNextWait) {
    Gate g;
    g.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE t = startThread(passGate, &g);
    EXPECT_EQ(SuspendThread(t), 0u);
    SetEvent(g.go);
    // Its wait is satisfied, but it must not carry on while suspended.
    EXPECT_EQ(WaitForSingleObject(g.done, 500), WAIT_TIMEOUT);
    EXPECT_FALSE(g.passed.load());
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(g.done, 500), WAIT_OBJECT_0);
    EXPECT_TRUE(g.passed.load());
    EXPECT_EQ(ResumeThread(t), 0u); // not suspended: nothing to do
    joinThread(t);
    CloseHandle(g.go);
    CloseHandle(g.done);
}

struct Unwound {
    bool* flag;
    ~Unwound() { *flag = true; }
};

bool gUnwound = false;
bool gAfterExit = false;

void exitFromDeepInside() {
    Unwound u{&gUnwound};
    ExitThread(42);
}

DWORD WINAPI exitEarly(LPVOID) {
    exitFromDeepInside();
    gAfterExit = true;
    return 1;
}

TEST_F(ThreadTest, ExitThreadEndsTheThreadWithItsCode) {
    gUnwound = gAfterExit = false;
    HANDLE t = startThread(exitEarly);
    EXPECT_EQ(joinThread(t), 42u);
    EXPECT_TRUE(gUnwound);
    EXPECT_FALSE(gAfterExit);
}

DWORD WINAPI sleepThenReturn(LPVOID p) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)));
    return 5;
}

TEST_F(ThreadTest, ThreadHandleIsSignalledWhenTheThreadEnds) {
    HANDLE t = startThread(sleepThenReturn, reinterpret_cast<void*>(uintptr_t{300}));
    EXPECT_EQ(WaitForSingleObject(t, 299), WAIT_TIMEOUT);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(elapsed(), 300u);
    ASSERT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0); // stays signalled
    CloseHandle(t);
}

TEST_F(ThreadTest, HandleClosedWhileTheThreadRunsIsHarmless) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static HANDLE sDone;
    sDone = done;
    HANDLE t = startThread([](LPVOID) -> DWORD {
        Sleep(50);
        SetEvent(sDone);
        return 0;
    });
    EXPECT_TRUE(CloseHandle(t));
    EXPECT_FALSE(CloseHandle(t));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    CloseHandle(done);
}

DWORD gIdSeenInside = 0;

TEST_F(ThreadTest, IdsAndPriorities) {
    DWORD id = 0;
    HANDLE t = CreateThread(
        nullptr, 128 * 1024,
        [](LPVOID) -> DWORD {
            gIdSeenInside = GetCurrentThreadId();
            return GetThreadPriority(GetCurrentThread()) == THREAD_PRIORITY_ABOVE_NORMAL ? 1 : 0;
        },
        nullptr, CREATE_SUSPENDED, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_EQ(GetThreadId(t), id);
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL));
    EXPECT_FALSE(SetThreadPriority(t, 7));
    EXPECT_EQ(GetThreadPriority(t), THREAD_PRIORITY_ABOVE_NORMAL);
    ResumeThread(t);
    EXPECT_EQ(joinThread(t), 1u);
    EXPECT_EQ(gIdSeenInside, id);
    EXPECT_EQ(GetThreadId(GetCurrentThread()), GetCurrentThreadId());
}

// A deep recursion that needs well over the system minimum stack but fits in the 128 KiB asked.
int recurse(int depth) {
    volatile int pad[128];
    pad[0] = depth;
    return depth == 0 ? pad[0] : recurse(depth - 1) + pad[0];
}

TEST_F(ThreadTest, RequestedStackSizeIsUsable) {
    HANDLE t = startThread([](LPVOID) -> DWORD { return static_cast<DWORD>(recurse(150)); });
    EXPECT_EQ(joinThread(t), static_cast<DWORD>(150 * 151 / 2));
}

TEST(ThreadHandles, InvalidHandlesFail) {
    EXPECT_EQ(ResumeThread(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(e, &code)); // an event is not a thread
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(e));
    EXPECT_FALSE(SetEvent(e)); // closed: the stale handle names nothing
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
}

TEST(LastError, IsPerThread) {
    SetLastError(1234);
    HANDLE t = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            DWORD before = GetLastError();
            SetLastError(99);
            return before;
        },
        nullptr, 0, nullptr);
    EXPECT_EQ(joinThread(t), 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

} // namespace
