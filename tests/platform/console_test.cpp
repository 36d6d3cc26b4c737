#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <vector>

#include "platform/wincon.h"

namespace {

HANDLE gDone = nullptr;
std::atomic<DWORD> gFirstType{0xFFFF};
std::atomic<DWORD> gSecondType{0xFFFF};
std::atomic<int> gFirstCalls{0};
std::atomic<int> gSecondCalls{0};

BOOL WINAPI firstHandler(DWORD type) {
    gFirstType = type;
    ++gFirstCalls;
    SetEvent(gDone);
    return TRUE;
}

// Declines, so the handler added before it gets the event too.
BOOL WINAPI declining(DWORD type) {
    gSecondType = type;
    ++gSecondCalls;
    return FALSE;
}

// Claims the event, so earlier handlers never see it.
BOOL WINAPI claiming(DWORD type) {
    gSecondType = type;
    ++gSecondCalls;
    SetEvent(gDone);
    return TRUE;
}

void deliver(int sig) {
    ResetEvent(gDone);
    std::raise(sig);
    ASSERT_EQ(WaitForSingleObject(gDone, INFINITE), WAIT_OBJECT_0);
}

} // namespace

TEST(ConsoleCtrl, SignalsReachHandlersNewestFirstOnAThreadOfTheirOwn) {
    gDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(SetConsoleCtrlHandler(firstHandler, TRUE));

    deliver(SIGTERM);
    EXPECT_EQ(gFirstType.load(), CTRL_CLOSE_EVENT);

    ASSERT_TRUE(SetConsoleCtrlHandler(declining, TRUE));
    deliver(SIGINT);
    EXPECT_EQ(gSecondType.load(), CTRL_C_EVENT);
    EXPECT_EQ(gFirstType.load(), CTRL_C_EVENT);
    EXPECT_EQ(gFirstCalls.load(), 2);
    ASSERT_TRUE(SetConsoleCtrlHandler(declining, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(declining, FALSE)); // no longer registered

    ASSERT_TRUE(SetConsoleCtrlHandler(claiming, TRUE));
    deliver(SIGHUP);
    EXPECT_EQ(gSecondType.load(), CTRL_CLOSE_EVENT);
    EXPECT_EQ(gSecondCalls.load(), 2);
    EXPECT_EQ(gFirstCalls.load(), 2);
    ASSERT_TRUE(SetConsoleCtrlHandler(claiming, FALSE));

    // Ignoring Ctrl+C: SIGINT goes nowhere, SIGTERM still arrives. The SIGTERM delivery is queued
    // behind the SIGINT one, so once it has arrived the ignored one has been dealt with.
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));
    std::raise(SIGINT);
    deliver(SIGTERM);
    EXPECT_EQ(gFirstType.load(), CTRL_CLOSE_EVENT);
    EXPECT_EQ(gFirstCalls.load(), 3);
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, FALSE));
    ASSERT_TRUE(SetConsoleCtrlHandler(firstHandler, FALSE));
    CloseHandle(gDone);
}
