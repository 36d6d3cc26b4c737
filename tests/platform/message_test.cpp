// Message queues: order and filters of retrieval, WM_QUIT, broadcast, timers on the virtual clock,
// painting, and messages sent between threads (including to a thread that stops).
#include <atomic>

#include "window_fixture.h"

namespace {

using Messages = WindowTest;

constexpr UINT kA = WM_USER + 1, kB = WM_USER + 2, kC = WM_USER + 3;

TEST_F(Messages, PostedMessagesComeInOrderAndFiltersPickByRangeAndWindow) {
    HWND parent = make(0, 0, 100, 100);
    HWND child = make(10, 10, 20, 20, parent);
    HWND other = make(150, 0, 50, 50);
    pump();
    PostMessageA(parent, kA, 1, 0);
    PostMessageA(other, kB, 2, 0);
    PostMessageA(child, kC, 3, 0);
    PostThreadMessageA(GetCurrentThreadId(), kA, 4, 0);

    MSG m;
    // A range skips what lies outside it; without PM_REMOVE the message stays.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, kB, kC, PM_NOREMOVE));
    EXPECT_EQ(m.message, kB);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, kB, kC, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 2u);
    // A window filter takes that window's children's messages too, but not other windows'.
    ASSERT_TRUE(PeekMessageA(&m, parent, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&m, parent, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&m, parent, 0, 0, PM_REMOVE));
    // (HWND)-1 takes only messages posted to the thread.
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_EQ(m.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, QuitComesAfterPostedMessagesAndEndsGetMessage) {
    HWND w = make(0, 0, 10, 10);
    pump();
    PostQuitMessage(7);
    PostMessageA(w, kA, 0, 0);
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, kA);
    EXPECT_EQ(GetMessageA(&m, w, 0, 0), FALSE); // WM_QUIT passes a window filter
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&m, reinterpret_cast<HWND>(0x12345678), 0, 0), -1);
}

TEST_F(Messages, PostedBeforePaintBeforeTimer) {
    HWND w = make(0, 0, 10, 10);
    pump();
    SetTimer(w, 5, 10, nullptr);
    Sleep(20);
    InvalidateRect(w, nullptr, FALSE);
    PostMessageA(w, kA, 0, 0);
    MSG m;
    std::vector<UINT> order;
    for (int i = 0; i < 3 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++i) {
        order.push_back(m.message);
        DispatchMessageA(&m); // validates the paint
    }
    EXPECT_EQ(order, (std::vector<UINT>{kA, WM_PAINT, WM_TIMER}));
    KillTimer(w, 5);
}

TEST_F(Messages, BroadcastReachesTopLevelWindowsOnly) {
    HWND a = make(0, 0, 10, 10);
    HWND b = make(20, 0, 10, 10);
    HWND child = make(0, 0, 5, 5, a);
    pump();
    messageLog().clear();
    PostMessageA(HWND_BROADCAST, kB, 9, 0);
    pump();
    EXPECT_EQ(messageLog().sequence(a), std::vector<UINT>{kB});
    EXPECT_EQ(messageLog().sequence(b), std::vector<UINT>{kB});
    EXPECT_TRUE(messageLog().sequence(child).empty());
    messageLog().clear();
    SendMessageA(HWND_BROADCAST, kC, 0, 0);
    EXPECT_EQ(messageLog().of(kC).size(), 2u);
}

TEST_F(Messages, TimersFireAtTheirVirtualTimesUntilKilled) {
    HWND w = make(0, 0, 10, 10);
    pump();
    messageLog().clear();
    const DWORD start = GetTickCount();
    ASSERT_EQ(SetTimer(w, 100, 250, nullptr), 100u);
    MSG m;
    std::vector<DWORD> at;
    while (at.size() < 3 && GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_TIMER && m.wParam == 100) at.push_back(GetTickCount() - start);
        DispatchMessageA(&m);
    }
    EXPECT_EQ(at, (std::vector<DWORD>{250, 500, 750}));
    EXPECT_TRUE(KillTimer(w, 100));
    EXPECT_FALSE(KillTimer(w, 100));
    // A timer set again replaces the old one; a destroyed window takes its timers along.
    SetTimer(w, 100, 50, nullptr);
    SetTimer(w, 100, 80, nullptr);
    Sleep(60);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    Sleep(30);
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    DestroyWindow(w);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
}

std::atomic<int> timerCalls{0};
void CALLBACK countTimer(HWND, UINT, UINT_PTR, DWORD) {
    timerCalls++;
}

TEST_F(Messages, ThreadTimerCallsItsProcedureAndAForgedOneIsIgnored) {
    timerCalls = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 30, countTimer);
    ASSERT_NE(id, 0u);
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT(WM_TIMER));
    EXPECT_EQ(m.hwnd, nullptr);
    DispatchMessageA(&m);
    EXPECT_EQ(timerCalls.load(), 1);
    KillTimer(nullptr, id);
    // A WM_TIMER that names a procedure no timer has is not a call into that address.
    MSG forged{nullptr, WM_TIMER, id, reinterpret_cast<LPARAM>(&countTimer), 0, {}};
    DispatchMessageA(&forged);
    EXPECT_EQ(timerCalls.load(), 1);
}

TEST_F(Messages, PaintComesForInvalidVisibleWindowsUntilValidated) {
    HWND w = make(0, 0, 50, 50);
    HWND hidden = make(60, 0, 50, 50, nullptr, 0);
    pump();
    messageLog().clear();
    InvalidateRect(hidden, nullptr, TRUE); // hidden: no paint
    RECT a{0, 0, 10, 10}, b{20, 20, 30, 40};
    InvalidateRect(w, &a, FALSE);
    InvalidateRect(w, &b, TRUE);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_PAINT));
    EXPECT_EQ(m.hwnd, w);
    // Removing it does not validate: it comes again until painted.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_PAINT));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ps.rcPaint.left, 0);
    EXPECT_EQ(ps.rcPaint.top, 0);
    EXPECT_EQ(ps.rcPaint.right, 30);
    EXPECT_EQ(ps.rcPaint.bottom, 40);
    EXPECT_EQ(messageLog().sequence(w), std::vector<UINT>{WM_ERASEBKGND});
    EXPECT_FALSE(ps.fErase); // the class brush erased it
    EndPaint(w, &ps);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    // Shown, the hidden window asks for its paint.
    ShowWindow(hidden, SW_SHOWNA);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, hidden);
    DispatchMessageA(&m);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

// ---- across threads --------------------------------------------------------------------------

struct Receiver {
    HWND window = nullptr;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> pump{true};
    std::atomic<int> inSend{-1};
    ~Receiver() {
        CloseHandle(ready);
        CloseHandle(stop);
    }
};

Receiver* receiver = nullptr;

LRESULT CALLBACK receiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kA) {
        receiver->inSend = InSendMessage() ? 1 : 0;
        return static_cast<LRESULT>(wParam * 2);
    }
    if (message == kB) {
        // Answers at once, then goes on working: the sender is free before this returns.
        ReplyMessage(42);
        EXPECT_FALSE(ReplyMessage(43));
        Sleep(1000);
        return 99;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Makes a window, then pumps until told to stop (or, with pump off, just waits for the stop
// event without ever looking at its messages).
DWORD WINAPI receiverThread(LPVOID) {
    receiver->window = CreateWindowExA(0, "STATIC", "receiver", 0, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
    SetWindowLongPtrA(receiver->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(receiverProc));
    SetEvent(receiver->ready);
    if (!receiver->pump) {
        WaitForSingleObject(receiver->stop, INFINITE);
        return 0;
    }
    while (MsgWaitForMultipleObjects(1, &receiver->stop, FALSE, INFINITE, QS_ALLINPUT) !=
           WAIT_OBJECT_0) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    return 0;
}

using CrossThread = WindowTest;

TEST_F(CrossThread, SendBlocksUntilTheOtherThreadHandlesIt) {
    Receiver r;
    receiver = &r;
    HANDLE t = startThread(receiverThread);
    WaitForSingleObject(r.ready, INFINITE);
    EXPECT_EQ(SendMessageA(r.window, kA, 21, 0), 42);
    EXPECT_EQ(r.inSend.load(), 1);
    EXPECT_FALSE(InSendMessage());
    // ReplyMessage frees the sender while the procedure carries on (it sleeps a virtual second).
    const uint64_t before = skv::platform::clockNowMs();
    EXPECT_EQ(SendMessageA(r.window, kB, 0, 0), 42);
    EXPECT_LT(skv::platform::clockNowMs() - before, 1000u);
    SetEvent(r.stop);
    joinThread(t);
    receiver = nullptr;
}

TEST_F(CrossThread, SendToAThreadThatEndsWithoutLookingFailsOnceItHasEnded) {
    Receiver r;
    r.pump = false;
    receiver = &r;
    HANDLE t = startThread(receiverThread);
    WaitForSingleObject(r.ready, INFINITE);
    struct Ender {
        static DWORD WINAPI body(LPVOID) {
            Sleep(500); // the sender is blocked by then
            SetEvent(receiver->stop);
            return 0;
        }
    };
    HANDLE ender = startThread(Ender::body);
    SetLastError(0);
    EXPECT_EQ(SendMessageA(r.window, kA, 21, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_GE(elapsed(), 500u);       // it waited for the thread, and no longer
    EXPECT_FALSE(IsWindow(r.window)); // the thread took its window along
    EXPECT_EQ(SendMessageA(r.window, kA, 21, 0), 0);
    joinThread(ender);
    joinThread(t);
    receiver = nullptr;
}

// The stage's stop: the view thread, on its way out, sends to the host's window while the host
// thread (which asked it to stop) waits for it without pumping, answering sent messages with
// ReplyMessage between sleeps.
struct StopCase {
    HWND hostWindow = nullptr;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{true};
    std::atomic<LRESULT> answer{-1};
};
StopCase* stopCase = nullptr;

LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kC) {
        // The host handles the view's message by stopping the view, inside the send.
        stopCase->stopRequested = true;
        while (stopCase->running) {
            if (InSendMessage()) ReplyMessage(0);
            Sleep(1);
        }
        return 5;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DWORD WINAPI viewThread(LPVOID) {
    // Tells the host something and only then looks at the stop flag.
    stopCase->answer = SendMessageA(stopCase->hostWindow, kC, 0, 0);
    while (!stopCase->stopRequested)
        Sleep(1);
    stopCase->running = false;
    return 0;
}

TEST_F(CrossThread, AStopThatRepliesWhileWaitingDoesNotDeadlock) {
    StopCase s;
    stopCase = &s;
    s.hostWindow = make(0, 0, 10, 10);
    SetWindowLongPtrA(s.hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hostProc));
    HANDLE view = startThread(viewThread);
    MSG m;
    // The host pumps until the view has ended.
    while (WaitForSingleObject(view, 0) == WAIT_TIMEOUT) {
        if (MsgWaitForMultipleObjects(1, &view, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    }
    joinThread(view);
    EXPECT_EQ(s.answer.load(), 0); // ReplyMessage's answer, not the procedure's
    EXPECT_FALSE(s.running.load());
    stopCase = nullptr;
}

// Two threads that send to each other while each waits for the other's answer.
struct PingPong {
    HWND a = nullptr, b = nullptr;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};
PingPong* pingPong = nullptr;

LRESULT CALLBACK pingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kA) {
        // Handling a message from the other thread, send one back to it: it handles ours while
        // it waits for its own answer.
        HWND other = hwnd == pingPong->a ? pingPong->b : pingPong->a;
        return wParam == 0 ? 1 : 1 + SendMessageA(other, kA, wParam - 1, 0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DWORD WINAPI pongThread(LPVOID) {
    pingPong->b =
        CreateWindowExA(0, "STATIC", "b", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(pingPong->b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pingProc));
    SetEvent(pingPong->ready);
    MSG m;
    while (MsgWaitForMultipleObjects(1, &pingPong->done, FALSE, INFINITE, QS_ALLINPUT) !=
           WAIT_OBJECT_0)
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    DestroyWindow(pingPong->b);
    return 0;
}

TEST_F(CrossThread, ThreadsSendingToEachOtherHandleEachOthersMessagesWhileWaiting) {
    PingPong p;
    pingPong = &p;
    p.a = make(0, 0, 1, 1);
    SetWindowLongPtrA(p.a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pingProc));
    HANDLE t = startThread(pongThread);
    WaitForSingleObject(p.ready, INFINITE);
    EXPECT_EQ(SendMessageA(p.b, kA, 6, 0), 7);
    SetEvent(p.done);
    joinThread(t);
    CloseHandle(p.ready);
    CloseHandle(p.done);
    pingPong = nullptr;
}

TEST_F(CrossThread, PostingToAnotherThreadWakesItsGetMessage) {
    struct Waiter {
        static DWORD WINAPI body(LPVOID p) {
            MSG m;
            PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE); // makes the queue
            SetEvent(static_cast<HANDLE>(p));
            DWORD sum = 0;
            while (GetMessageA(&m, nullptr, 0, 0))
                sum += static_cast<DWORD>(m.wParam);
            return sum + 1000 * static_cast<DWORD>(m.wParam);
        }
    };
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE t = CreateThread(nullptr, 128 * 1024, Waiter::body, ready, 0, &id);
    WaitForSingleObject(ready, INFINITE);
    EXPECT_TRUE(PostThreadMessageA(id, kA, 3, 0));
    EXPECT_TRUE(PostThreadMessageA(id, kA, 4, 0));
    EXPECT_TRUE(PostThreadMessageA(id, WM_QUIT, 2, 0));
    EXPECT_EQ(joinThread(t), 2007u);
    EXPECT_FALSE(PostThreadMessageA(id, kA, 3, 0)); // its thread has ended
    CloseHandle(ready);
}

} // namespace
