// Input: the input script's format and its delivery on the virtual clock as window messages,
// double clicks, key state, and headless message boxes.
#include "window_fixture.h"

namespace {

using skv::platform::InputEvent;
using skv::platform::parseInputScript;

TEST(InputScript, ParsesEventsAndExpandsClicksAndModifiers) {
    std::vector<InputEvent> e;
    std::string error;
    ASSERT_TRUE(parseInputScript("# a person at work\n"
                                 "100 move 10 20\n"
                                 "+50 click 10 20 right ctrl   # ends playback\n"
                                 "200 key a shift\n"
                                 "\n"
                                 "200 press 1 2 middle\n",
                                 &e, &error))
        << error;
    using K = InputEvent::Kind;
    std::vector<K> kinds;
    for (const InputEvent& ev : e)
        kinds.push_back(ev.kind);
    // Ctrl is held for half a second after the click: it comes up after the events at 200.
    EXPECT_EQ(kinds, (std::vector<K>{K::Move, K::KeyDown, K::ButtonDown, K::ButtonUp, K::KeyDown,
                                     K::KeyDown, K::KeyUp, K::KeyUp, K::ButtonDown, K::KeyUp}));
    EXPECT_EQ(e[9].atMs, 650u);
    EXPECT_EQ(e[9].virtualKey, VK_CONTROL);
    EXPECT_EQ(e[1].atMs, 150u);
    EXPECT_EQ(e[1].virtualKey, VK_CONTROL);
    EXPECT_EQ(e[2].button, skv::platform::MouseButton::Right);
    EXPECT_EQ(e[5].virtualKey, 'A');
    EXPECT_EQ(e[8].button, skv::platform::MouseButton::Middle);
    EXPECT_EQ(e[8].x, 1);
}

TEST(InputScript, RejectsMistakesWithTheLineAndWhatToDo) {
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"100 move 10", "line 1: move takes X and Y"},
        {"100 move 1 2\n50 move 1 2", "line 2: times must not go back"},
        {"abc move 1 2", "line 1: \"abc\" is not a time"},
        {"10 jump 1 2", "line 1: \"jump\" is not a command"},
        {"10 click 1 2 sideways", "\"sideways\" is not left, right"},
        {"10 key nosuchkey", "not a key name"},
        {"10 move 99999 1", "move takes X and Y"},
        {"99999999999999999999 move 1 2", "is not a time"},
        {"10", "a time and a command are needed"},
    };
    for (const Case& c : cases) {
        std::vector<InputEvent> e{InputEvent{}};
        std::string error;
        EXPECT_FALSE(parseInputScript(c.text, &e, &error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(e.size(), 1u); // untouched
    }
    std::string error;
    EXPECT_FALSE(skv::platform::loadInputScript("/no/such/script", nullptr, &error));
    EXPECT_NE(error.find("cannot open the input script"), std::string::npos);
}

using Input = WindowTest;

TEST_F(Input, AScriptArrivesAsWindowMessagesAtItsVirtualTimes) {
    HWND parent = make(0, 0, 200, 200);
    HWND stage = make(50, 40, 100, 100, parent);
    pump();
    SetFocus(stage);
    messageLog().clear();
    std::vector<InputEvent> events;
    std::string error;
    ASSERT_TRUE(parseInputScript("100 move 60 50\n"
                                 "200 click 70 60\n"
                                 "300 click 70 60 right ctrl\n"
                                 "400 key b\n",
                                 &events, &error))
        << error;
    const DWORD start = GetTickCount();
    skv::platform::runInputScript(events);
    EXPECT_EQ(skv::platform::pendingInputEvents(), events.size());
    MSG m;
    bool ctrlDuringRightClick = false;
    auto handle = [&] {
        if (m.message == WM_RBUTTONDOWN)
            ctrlDuringRightClick = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    };
    // Until the script's last event (Ctrl coming up, at 800) has been handled: the count of
    // pending events drops only after an event is queued, so it cannot say when to stop.
    auto ctrlUps = [] {
        int n = 0;
        for (const Seen& s : messageLog().of(WM_KEYUP))
            n += s.wParam == VK_CONTROL;
        return n;
    };
    while (ctrlUps() == 0 && GetMessageA(&m, nullptr, 0, 0))
        handle();
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        handle();
    std::vector<std::pair<UINT, DWORD>> got;
    for (const Seen& s : messageLog().all()) {
        if (s.hwnd != stage) continue;
        if (s.message == WM_SETCURSOR || s.message == WM_MOUSEACTIVATE || s.message == WM_PAINT ||
            s.message == WM_ERASEBKGND)
            continue;
        got.emplace_back(s.message, s.time - start);
    }
    // The focus has the keys, Ctrl included; WM_CHAR, posted by TranslateMessage, comes before
    // the key's release, which is input. The pointer moves to the click at 200 before the
    // button goes down; the right click at 300 is where it already is.
    std::vector<std::pair<UINT, DWORD>> want{
        {WM_MOUSEMOVE, 100}, {WM_MOUSEMOVE, 200},   {WM_LBUTTONDOWN, 200}, {WM_LBUTTONUP, 200},
        {WM_KEYDOWN, 300},   {WM_RBUTTONDOWN, 300}, {WM_RBUTTONUP, 300},   {WM_KEYDOWN, 400},
        {WM_CHAR, 400},      {WM_KEYUP, 400},       {WM_KEYUP, 800}};
    EXPECT_EQ(got, want);
    auto of = [](UINT msg) { return messageLog().of(msg).front(); };
    EXPECT_EQ(of(WM_MOUSEMOVE).lParam, MAKELPARAM(10, 10)); // client coordinates of the stage
    EXPECT_EQ(messageLog().of(WM_MOUSEMOVE).back().lParam, MAKELPARAM(20, 20));
    EXPECT_EQ(of(WM_LBUTTONDOWN).wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(of(WM_RBUTTONDOWN).wParam, WPARAM(MK_RBUTTON | MK_CONTROL));
    EXPECT_TRUE(ctrlDuringRightClick);
    EXPECT_EQ(of(WM_KEYDOWN).wParam, WPARAM(VK_CONTROL));
    EXPECT_EQ(messageLog().of(WM_KEYDOWN).back().wParam, WPARAM('B'));
    EXPECT_EQ(of(WM_CHAR).wParam, WPARAM('b'));
    EXPECT_FALSE(GetAsyncKeyState(VK_CONTROL) & 0x8000);
    // WM_SETCURSOR came with the message's position at hand.
    auto cursor = messageLog().of(WM_SETCURSOR);
    ASSERT_FALSE(cursor.empty());
    EXPECT_EQ(LOWORD(cursor.front().lParam), HTCLIENT);
}

TEST_F(Input, AClickOnAnInactiveWindowActivatesItsTopLevelWindow) {
    HWND parent = make(0, 0, 100, 100);
    HWND child = make(10, 10, 20, 20, parent);
    HWND other = make(150, 0, 50, 50);
    pump();
    EXPECT_EQ(GetActiveWindow(), other);
    messageLog().clear();
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, true, 15, 15);
    skv::platform::injectMouseButton(skv::platform::MouseButton::Left, false, 15, 15);
    pump();
    // The child is asked first and passes the question to its parent (the default procedure).
    auto asked = messageLog().of(WM_MOUSEACTIVATE);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].hwnd, child);
    EXPECT_EQ(asked[1].hwnd, parent);
    EXPECT_EQ(asked[0].wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(GetActiveWindow(), parent);
    const std::vector<UINT> lost{WM_ACTIVATE, WM_KILLFOCUS};
    EXPECT_EQ(messageLog().sequence(other), lost);
    EXPECT_EQ(messageLog().of(WM_LBUTTONDOWN).size(), 1u);
}

TEST_F(Input, TwoQuickClicksOnADoubleClickClassMakeADoubleClick) {
    make(0, 0, 50, 50);
    pump();
    messageLog().clear();
    std::vector<InputEvent> events;
    ASSERT_TRUE(parseInputScript("0 click 5 5\n100 click 6 5\n1000 click 6 5\n", &events, nullptr));
    skv::platform::runInputScript(events);
    MSG m;
    while (messageLog().of(WM_LBUTTONUP).size() < 3 && GetMessageA(&m, nullptr, 0, 0))
        DispatchMessageA(&m);
    std::vector<UINT> downs;
    for (const Seen& s : messageLog().all())
        if (s.message == WM_LBUTTONDOWN || s.message == WM_LBUTTONDBLCLK)
            downs.push_back(s.message);
    EXPECT_EQ(downs, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(Input, HeadlessMessageBoxesAreRecordedAndAnswered) {
    HWND w = make(0, 0, 10, 10);
    EXPECT_EQ(MessageBoxA(w, "Buffering failed", "Quillon Skyvora Viewer Plugin", MB_ICONHAND),
              IDOK);
    EXPECT_EQ(MessageBoxA(w, "Again?", "Skyvora", MB_YESNO | MB_DEFBUTTON2), IDNO);
    skv::platform::setMessageBoxAnswer(IDYES);
    EXPECT_EQ(MessageBoxA(w, "Again?", "Skyvora", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(w, "Only OK", "Skyvora", MB_OK), IDOK); // not a button of this box
    skv::platform::setMessageBoxAnswer(0);
    MessageBeep(MB_ICONASTERISK);
    auto boxes = skv::platform::messageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].text, "Buffering failed");
    EXPECT_EQ(boxes[0].caption, "Quillon Skyvora Viewer Plugin");
    EXPECT_EQ(boxes[0].owner, w);
    EXPECT_EQ(boxes[2].answer, IDYES);
    EXPECT_EQ(skv::platform::messageBeeps(), std::vector<UINT>{MB_ICONASTERISK});
}

TEST_F(Input, CursorsAreSetAndCustomOnesDestroyed) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(12)), nullptr);
    const uint8_t andPlane[2 * 16] = {}, xorPlane[2 * 16] = {0xFF, 0xFF};
    HCURSOR mine = CreateCursor(nullptr, 1, 1, 16, 16, andPlane, xorPlane);
    ASSERT_NE(mine, nullptr);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(mine), arrow);
    EXPECT_EQ(GetCursor(), mine);
    EXPECT_TRUE(DestroyCursor(mine));
    EXPECT_EQ(GetCursor(), nullptr); // a destroyed cursor is not shown
    EXPECT_EQ(SetCursor(nullptr), nullptr);
}

} // namespace
