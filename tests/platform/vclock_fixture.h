// A test fixture that runs each test on the virtual clock and puts the real clock back after.
#pragma once

#include <gtest/gtest.h>

#include "platform/clock.h"

class VirtualClockTest : public ::testing::Test {
protected:
    static constexpr uint64_t kStart = 1000000;
    void SetUp() override { skv::platform::setVirtualClock(true, kStart); }
    void TearDown() override {
        skv::platform::setVirtualClock(false);
        skv::platform::leaveVirtualClock();
    }
    static uint64_t elapsed() { return skv::platform::clockNowMs() - kStart; }
};

// Starts a thread running `f` (a captureless lambda or function taking void*) and returns its
// handle.
inline HANDLE startThread(LPTHREAD_START_ROUTINE f, void* arg = nullptr, DWORD flags = 0) {
    HANDLE h = CreateThread(nullptr, 128 * 1024, f, arg, flags, nullptr);
    EXPECT_NE(h, nullptr);
    return h;
}

// Waits for a thread to end and closes its handle; returns its exit code.
inline DWORD joinThread(HANDLE h) {
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(h, &code));
    CloseHandle(h);
    return code;
}
