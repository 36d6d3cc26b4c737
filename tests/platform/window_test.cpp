// Windows: creation and destruction with their messages, classes, subclassing, properties,
// geometry, focus and activation.
#include <cstring>

#include "window_fixture.h"

namespace {

using Windows = WindowTest;

TEST_F(Windows, CreationSendsItsMessagesInOrderAndClassesMatchWithoutCase) {
    HWND w = CreateWindowExA(0, "skvtestrecorder", "title", WS_VISIBLE, 5, 6, 70, 80, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    made_.push_back(w);
    EXPECT_EQ(messageLog().sequence(w, {WM_ACTIVATE, WM_SETFOCUS}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
    auto sizes = messageLog().of(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].lParam, MAKELPARAM(70, 80));
    char name[32];
    EXPECT_EQ(GetClassNameA(w, name, sizeof name), int(std::strlen(kRecordingClass)));
    EXPECT_STREQ(name, kRecordingClass);
    EXPECT_EQ(GetWindowTextA(w, name, sizeof name), 5);
    EXPECT_STREQ(name, "title");
    // Unknown classes and children without a parent are refused.
    EXPECT_EQ(
        CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(
        CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    // A second class of the same name is refused.
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "SKVTESTRECORDER";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_FALSE(UnregisterClassA(kRecordingClass, nullptr)); // it has windows
}

LRESULT CALLBACK refusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT r = recordingProc(hwnd, message, wParam, lParam);
    return message == WM_CREATE ? -1 : r;
}

TEST_F(Windows, AWindowThatRefusesCreationIsDestroyed) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = refusingProc;
    wc.lpszClassName = "SkvRefusing";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND w =
        CreateWindowExA(0, "SkvRefusing", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(w, nullptr);
    auto all = messageLog().all();
    ASSERT_FALSE(all.empty());
    HWND tried = all.front().hwnd;
    EXPECT_FALSE(IsWindow(tried));
    EXPECT_EQ(messageLog().sequence(tried),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_TRUE(UnregisterClassA("SkvRefusing", nullptr));
}

TEST_F(Windows, DestroyGoesParentFirstForDestroyAndChildFirstForNcDestroy) {
    HWND parent = make(0, 0, 100, 100);
    HWND child = make(0, 0, 10, 10, parent);
    HWND grandchild = make(0, 0, 5, 5, child);
    SetPropA(parent, "Thing", reinterpret_cast<HANDLE>(1));
    PostMessageA(child, WM_USER, 0, 0);
    pump();
    messageLog().clear();
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> got;
    for (const Seen& s : messageLog().all())
        if (s.message == WM_DESTROY || s.message == WM_NCDESTROY)
            got.emplace_back(s.hwnd, s.message);
    std::vector<std::pair<HWND, UINT>> want{{parent, WM_DESTROY},     {child, WM_DESTROY},
                                            {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY},
                                            {child, WM_NCDESTROY},    {parent, WM_NCDESTROY}};
    EXPECT_EQ(got, want);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_EQ(GetPropA(parent, "Thing"), nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE)); // dropped with it
}

TEST_F(Windows, DestroyFromAnotherThreadIsRefused) {
    HWND w = make(0, 0, 10, 10);
    struct Other {
        static DWORD WINAPI body(LPVOID p) {
            BOOL ok = DestroyWindow(static_cast<HWND>(p));
            return ok ? 1 : GetLastError();
        }
    };
    HANDLE t = startThread(Other::body, w);
    EXPECT_EQ(joinThread(t), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(w));
}

struct Subclass {
    WNDPROC old = nullptr;
    int seen = 0;
};
Subclass* subclass = nullptr;

LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) {
        subclass->seen++;
        return 77;
    }
    if (message == WM_CLOSE) return 1; // cannot be closed this way
    return CallWindowProcA(subclass->old, hwnd, message, wParam, lParam);
}

TEST_F(Windows, SubclassingReplacesTheProcedureAndPassesTheRestOn) {
    Subclass s;
    subclass = &s;
    HWND w = make(0, 0, 10, 10);
    pump();
    messageLog().clear();
    s.old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc)));
    EXPECT_EQ(s.old, recordingProc);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(subclassProc));
    EXPECT_EQ(SendMessageA(w, WM_USER + 7, 0, 0), 77);
    EXPECT_EQ(SendMessageA(w, WM_USER + 8, 0, 0), 0);
    EXPECT_EQ(s.seen, 1);
    EXPECT_EQ(messageLog().sequence(w), std::vector<UINT>{WM_USER + 8}); // only what was passed on
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(w));
    // User data holds a pointer; the LONG forms cannot carry a procedure on this system.
    int data = 0;
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data)), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&data));
    EXPECT_EQ(SetWindowLongA(w, GWL_WNDPROC, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));
    SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.old));
    SendMessageA(w, WM_CLOSE, 0, 0); // the default procedure destroys it
    EXPECT_FALSE(IsWindow(w));
    subclass = nullptr;
}

TEST_F(Windows, PropertiesAreKeptByNameOrAtom) {
    HWND w = make(0, 0, 10, 10);
    EXPECT_EQ(GetPropA(w, "ThisPlugIn"), nullptr);
    EXPECT_TRUE(SetPropA(w, "ThisPlugIn", reinterpret_cast<HANDLE>(0x10)));
    EXPECT_TRUE(SetPropA(w, MAKEINTATOM(5), reinterpret_cast<HANDLE>(0x20)));
    EXPECT_EQ(GetPropA(w, "thisplugin"), reinterpret_cast<HANDLE>(0x10));
    EXPECT_TRUE(SetPropA(w, "THISPLUGIN", reinterpret_cast<HANDLE>(0x11)));
    EXPECT_EQ(GetPropA(w, "ThisPlugIn"), reinterpret_cast<HANDLE>(0x11));
    EXPECT_EQ(GetPropA(w, MAKEINTATOM(5)), reinterpret_cast<HANDLE>(0x20));
    EXPECT_EQ(RemovePropA(w, "ThisPlugIn"), reinterpret_cast<HANDLE>(0x11));
    EXPECT_EQ(RemovePropA(w, "ThisPlugIn"), nullptr);
    EXPECT_EQ(GetPropA(w, MAKEINTATOM(5)), reinterpret_cast<HANDLE>(0x20));
    EXPECT_FALSE(SetPropA(reinterpret_cast<HWND>(0x999), "x", nullptr));
}

TEST_F(Windows, GeometryFollowsParentsAndSetWindowPosReportsMovesAndSizes) {
    HWND parent = make(40, 30, 200, 150);
    HWND child = make(10, 20, 50, 40, parent);
    RECT r;
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 90);
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 40);
    POINT p{60, 55};
    ScreenToClient(child, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 5);
    EXPECT_EQ(WindowFromPoint(POINT{60, 55}), child);
    EXPECT_EQ(WindowFromPoint(POINT{45, 35}), parent);
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), GetDesktopWindow());
    EXPECT_TRUE(IsChild(parent, child));
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetParent(parent), nullptr);

    pump();
    messageLog().clear();
    // The parent as "insert after" (not a sibling) leaves the z-order alone; the move and the
    // size still happen and come back as WM_MOVE and WM_SIZE through the default procedure.
    ASSERT_TRUE(SetWindowPos(child, parent, 3, 4, 60, 70, 0));
    EXPECT_EQ(messageLog().sequence(child, {WM_PAINT, WM_ERASEBKGND}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
    EXPECT_EQ(messageLog().of(WM_MOVE).back().lParam, MAKELPARAM(3, 4));
    EXPECT_EQ(messageLog().of(WM_SIZE).back().lParam, MAKELPARAM(60, 70));
    messageLog().clear();
    SetWindowPos(child, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOSENDCHANGING);
    EXPECT_EQ(messageLog().sequence(child), std::vector<UINT>{WM_WINDOWPOSCHANGED});
    // Re-parenting keeps the position relative to the new parent.
    EXPECT_EQ(SetParent(child, nullptr), parent);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 4);
    EXPECT_EQ(SetParent(child, parent), GetDesktopWindow());
    EXPECT_EQ(SetParent(parent, child), nullptr); // a window cannot go under its own child
    EXPECT_EQ(GetParent(child), parent);
}

TEST_F(Windows, ShowingActivatesAndFocusMovesWithMessages) {
    HWND a = make(0, 0, 10, 10, nullptr, 0);
    HWND b = make(20, 0, 10, 10, nullptr, 0);
    messageLog().clear();
    EXPECT_FALSE(ShowWindow(a, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(a));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a); // the default procedure gives the activated window the focus
    ShowWindow(b, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);
    std::vector<UINT> toA = messageLog().sequence(a, {WM_PAINT, WM_ERASEBKGND});
    EXPECT_EQ(toA, (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS, WM_ACTIVATE,
                                      WM_KILLFOCUS}));
    EXPECT_TRUE(ShowWindow(b, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(b));
    DestroyWindow(b);
    EXPECT_EQ(GetFocus(), nullptr);
}

} // namespace
