// The stage view: its window and thread, the message table, its place in the page, and stopping
// while other threads send it messages.
#include <atomic>

#include "stage_fixture.h"

using namespace skv;
using namespace skv::test;

namespace {

using View = StageTest;
using Events = std::vector<std::string>;

// The stage window's rectangle in the page's client coordinates.
RECT placeIn(HWND page, HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    POINT o{0, 0};
    ClientToScreen(page, &o);
    OffsetRect(&r, -o.x, -o.y);
    return r;
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

} // namespace

TEST_F(View, MakesASubclassedButtonChildOnItsOwnThread) {
    TestStage& s = startStage(10, 8, 20, 12, false);
    HWND w = s.window();
    char name[32] = {};
    GetClassNameA(w, name, sizeof name);
    EXPECT_STREQ(name, "BUTTON");
    GetWindowTextA(w, name, sizeof name);
    EXPECT_STREQ(name, "skvView");
    EXPECT_EQ(GetParent(w), page);
    EXPECT_EQ(GetWindowThreadProcessId(w, nullptr), s.threadId());
    EXPECT_NE(s.threadId(), GetCurrentThreadId());
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&s));
    EXPECT_EQ(GetWindowLongA(w, GWL_STYLE) & WS_CHILD, WS_CHILD);
    // The page lets its children paint themselves.
    EXPECT_EQ(GetWindowLongA(page, GWL_STYLE) & WS_CLIPCHILDREN, WS_CLIPCHILDREN);
    // One pixel up and left of the asked position, one pixel larger.
    EXPECT_EQ(text(placeIn(page, w)), "9,7 21x13");
    // Made hidden; the first paint comes when it is shown, after onInit.
    EXPECT_FALSE(IsWindowVisible(w));
    s.show(1);
    s.settle();
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(s.events(), (Events{"init", "paint"}));
}

TEST_F(View, WithoutARectangleTheWindowIsOnePixelAtTheOrigin) {
    stage = std::make_unique<TestStage>();
    stage->attachToWindow(page);
    stage->waitForWindow();
    EXPECT_EQ(text(placeIn(page, stage->window())), "0,0 1x1");
}

TEST_F(View, MessageTable) {
    TestStage& s = startStage(10, 8, 20, 12);
    HWND w = s.window();
    {
        NMTX_SCOPED(g, s.viewMutex());
        s.log.clear();
    }
    // The stage cannot be closed by a message.
    EXPECT_EQ(SendMessageA(w, WM_CLOSE, 0, 0), 1);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_ACTIVATEAPP, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 4)), 0);
    EXPECT_EQ(SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 6)), 0);
    EXPECT_EQ(SendMessageA(w, WM_LBUTTONDBLCLK, 0, MAKELPARAM(7, 8)), 0);
    EXPECT_EQ(SendMessageA(w, WM_RBUTTONDOWN, 0, MAKELPARAM(1, 2)), 0);
    EXPECT_EQ(SendMessageA(w, WM_RBUTTONUP, 0, MAKELPARAM(2, 3)), 0);
    EXPECT_EQ(SendMessageA(w, WM_RBUTTONDBLCLK, 0, MAKELPARAM(4, 5)), 0);
    // Mouse coordinates are unsigned words.
    EXPECT_EQ(SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(-1, 2)), 0);
    SendMessageA(w, WM_HSCROLL, MAKEWPARAM(5, 300), 0);
    SendMessageA(w, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(w, WM_TIMER, 100, 0);
    SendMessageA(w, skvView::kMsgStatus, 5005, 0);
    SendMessageA(w, skvView::kMsgProgress, 4, 5);
    // A palette change the stage made itself needs no answer; anyone else's does.
    SendMessageA(w, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(w), 0);
    SendMessageA(w, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(page), 0);
    SendMessageA(w, WM_QUERYNEWPALETTE, 0, 0);
    SendMessageA(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(7, 9));
    SendMessageA(w, WM_MOVE, 0, MAKELPARAM(-3, 4));
    EXPECT_EQ(s.events(),
              (Events{"ldown 3,4", "lup 5,6", "ldbl 7,8", "rdown 1,2", "rup 2,3", "rdbl 4,5",
                      "move 65535,2", "hscroll 5,300", "key", "timer", "notify 5005 0",
                      "notify 4 5", "query palette", "query palette", "size 7,9"}));
    EXPECT_EQ(s.width(), 7);
    EXPECT_EQ(s.height(), 9);
    // Positions in the page may be negative.
    EXPECT_EQ(s.x(), -3);
    EXPECT_EQ(s.y(), 4);
}

TEST_F(View, InputArrivesInClientCoordinates) {
    TestStage& s = startStage(10, 8, 20, 12);
    {
        NMTX_SCOPED(g, s.viewMutex());
        s.log.clear();
    }
    // The page is at (10, 10) on the screen and the stage at (9, 7) in it.
    skv::platform::injectMouseMove(22, 20);
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, true, 22, 20);
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, false, 22, 20);
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, true, 22, 20);
    s.settle();
    EXPECT_EQ(s.events(), (Events{"cursor 3,3", "move 3,3", "cursor 3,3", "ldown 3,3", "cursor 3,3",
                                  "lup 3,3", "cursor 3,3", "ldbl 3,3"}));
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, false, 22, 20);
    s.settle();
}

TEST_F(View, StopEndsTheLoopAndTakesTheWindow) {
    TestStage& s = startStage(0, 0, 10, 10);
    HWND w = s.window();
    s.stop();
    EXPECT_FALSE(s.isRunning());
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(s.window(), nullptr);
    EXPECT_EQ(s.parentWindow(), nullptr);
    EXPECT_EQ(s.events().back(), "exit");
    s.stop();          // nothing left to stop
    s.waitForWindow(); // the thread has ended without a window: no wait
    EXPECT_EQ(s.window(), nullptr);
}

TEST_F(View, StoppedBeforeItStartsItMakesNothing) {
    stage = std::make_unique<TestStage>();
    stage->attachToWindow(page);
    stage->stop();
    stage->waitForWindow();
    EXPECT_EQ(stage->window(), nullptr);
    stage->shutdown();
    EXPECT_EQ(stage->events(), Events{"exit"});
}

TEST_F(View, DestroyingThePageEndsTheLoop) {
    TestStage& s = startStage(0, 0, 10, 10);
    DestroyWindow(page);
    for (int i = 0; i < 1000 && s.isRunning(); ++i)
        Sleep(1);
    EXPECT_FALSE(s.isRunning());
    EXPECT_EQ(s.events().back(), "exit");
}

TEST_F(View, StopAnswersWhatTheViewSendsWhileItWindsDown) {
    // On its way out the view sends to a window of the very thread that is stopping it.
    constexpr UINT kPing = WM_USER + 7;
    std::atomic<int> pings{0};
    ParentHook hook = [&](UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != kPing) return false;
        ++pings;
        *r = 42;
        return true;
    };
    parentHook() = &hook;
    std::atomic<LRESULT> answer{0};
    stage = std::make_unique<TestStage>();
    stage->exitHook = [&] { answer = SendMessageA(page, kPing, 0, 0); };
    stage->setRect(0, 0, 10, 10);
    stage->attachToWindow(page);
    stage->waitForWindow();
    stage->stop();
    EXPECT_FALSE(stage->isRunning());
    EXPECT_EQ(pings.load(), 1);
    EXPECT_EQ(answer.load(), 42);
}

TEST_F(View, StopInsideAMessageTheViewSentRepliesToIt) {
    // The page's handler of a message the view sent stops the view: the view waits for the
    // handler, the handler for the view, unless stop answers the message first.
    constexpr UINT kAskStop = WM_USER + 8;
    std::atomic<bool> stopped{false}, inSend{false};
    ParentHook hook = [&](UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != kAskStop) return false;
        inSend = InSendMessage() != FALSE;
        stage->stop();
        stopped = !stage->isRunning();
        *r = 99;
        return true;
    };
    parentHook() = &hook;
    std::atomic<bool> armed{false};
    std::atomic<LRESULT> answer{-1};
    stage = std::make_unique<TestStage>();
    stage->idleHook = [&] {
        if (armed.exchange(false)) answer = SendMessageA(page, kAskStop, 0, 0);
    };
    stage->setRect(0, 0, 10, 10);
    stage->attachToWindow(page);
    stage->waitForWindow();
    armed = true;
    for (int i = 0; i < 100000 && stage->isRunning(); ++i) {
        pump();
        Sleep(1);
    }
    EXPECT_TRUE(inSend.load());
    EXPECT_TRUE(stopped.load());
    EXPECT_EQ(answer.load(), 0); // answered by stop, not by the handler's own result
}

TEST_F(View, AThreadSendingToTheStageWhileItStopsIsAnswered) {
    constexpr UINT kLate = WM_USER + 9;
    struct Shared {
        HANDLE exiting, sending;
        HWND target;
        std::atomic<LRESULT> result{-1};
        std::atomic<DWORD> error{0};
    } shared{CreateEventA(nullptr, TRUE, FALSE, nullptr),
             CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    stage = std::make_unique<TestStage>();
    stage->exitHook = [&] {
        SetEvent(shared.exiting);
        WaitForSingleObject(shared.sending, INFINITE);
        // Virtual time moves on only once the sender is blocked in its SendMessage.
        Sleep(10);
    };
    stage->setRect(0, 0, 10, 10);
    stage->attachToWindow(page);
    stage->waitForWindow();
    shared.target = stage->window();
    HANDLE sender = CreateThread(
        nullptr, 128 * 1024,
        [](LPVOID p) -> DWORD {
            auto* sh = static_cast<Shared*>(p);
            WaitForSingleObject(sh->exiting, INFINITE);
            SetEvent(sh->sending);
            sh->result = SendMessageA(sh->target, kLate, 0, 0);
            sh->error = GetLastError();
            return 0;
        },
        &shared, 0, nullptr);
    ASSERT_NE(sender, nullptr);
    stage->stop();
    WaitForSingleObject(sender, INFINITE);
    CloseHandle(sender);
    EXPECT_EQ(shared.result.load(), 0);
    EXPECT_EQ(shared.error.load(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    CloseHandle(shared.exiting);
    CloseHandle(shared.sending);
}

TEST_F(View, AttachingToAnotherPageReparentsTheWindow) {
    TestStage& s = startStage(2, 2, 8, 8);
    HWND other = CreateWindowExA(0, kPageClass, "other", WS_VISIBLE, 60, 10, 30, 30, nullptr,
                                 nullptr, nullptr, nullptr);
    s.attachToWindow(reinterpret_cast<HWND>(0x1234)); // not a window: ignored
    EXPECT_EQ(s.parentWindow(), page);
    s.attachToWindow(other);
    EXPECT_EQ(s.parentWindow(), other);
    EXPECT_EQ(GetParent(s.window()), other);
    EXPECT_EQ(GetWindowLongA(other, GWL_STYLE) & WS_CLIPCHILDREN, WS_CLIPCHILDREN);
    EXPECT_EQ(s.attachingThread(), GetCurrentThreadId());
    // The view goes on answering in its new place.
    EXPECT_EQ(SendMessageA(s.window(), WM_CLOSE, 0, 0), 1);
    stage.reset();
    DestroyWindow(other);
}

TEST_F(View, CentringFollowsSizeChangesUntilAPositionIsGiven) {
    TestStage& s = startStage(0, 0, 10, 8);
    EXPECT_EQ(text(placeIn(page, s.window())), "0,0 11x9");
    s.centreInParent();
    s.settle();
    // Half the page less half the window, each halved on its own: 20 - 5, 15 - 4.
    EXPECT_EQ(text(placeIn(page, s.window())), "15,11 11x9");
    EXPECT_EQ(s.x(), 15);
    EXPECT_EQ(s.y(), 11);
    s.setSize(20, 10);
    s.settle();
    EXPECT_EQ(text(placeIn(page, s.window())), "10,10 20x10");
    s.setPosition(2, 3);
    s.settle();
    EXPECT_FALSE(s.isCentred());
    EXPECT_EQ(text(placeIn(page, s.window())), "2,3 20x10");
}

TEST_F(View, CallsFromOutsideHoldingTheViewMutexDoNotWaitForTheWindow) {
    TestStage& s = startStage(4, 4, 10, 10);
    const RECT before = placeIn(page, s.window());
    {
        NMTX_SCOPED(g, s.viewMutex());
        s.setRect(5, 6, 12, 7);
        s.show(0);
        // The view thread needs the mutex to move the window, so it has not moved yet.
        EXPECT_TRUE(sameRect(placeIn(page, s.window()), before));
        EXPECT_EQ(s.x(), 5);
        EXPECT_EQ(s.width(), 12);
    }
    s.settle();
    EXPECT_EQ(text(placeIn(page, s.window())), "5,6 12x7");
    EXPECT_FALSE(IsWindowVisible(s.window()));
}

TEST_F(View, TheWindowDCGetsTheStockPaletteOnce) {
    TestStage& s = startStage(0, 0, 10, 10);
    NMTX_SCOPED(g, s.viewMutex());
    HDC dc = s.getDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(s.getDC(), dc);
}

TEST_F(View, MessageBoxLetsOtherThreadsAtTheView) {
    TestStage& s = startStage(0, 0, 10, 10);
    skv::platform::clearMessageBoxes();
    s.runOnView([&] { s.messageBox("Hello"); });
    auto boxes = skv::platform::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Hello");
    EXPECT_EQ(boxes[0].caption, "Skyvora");
    EXPECT_EQ(boxes[0].type, UINT(MB_ICONINFORMATION));
    EXPECT_EQ(boxes[0].owner, s.window());
}
