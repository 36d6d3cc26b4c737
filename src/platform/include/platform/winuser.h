// The window system: windows and their classes, message queues, painting, timers, input, cursors,
// message boxes and focus, with the Windows names, arguments and semantics.
//
// Where this window system differs from the real one, the difference is stated beside the call;
// the main ones:
// - Windows have no frame: the window rectangle and the client area are the same size, and a
//   window's client origin is its window origin.
// - Every window keeps its own picture (a backing store of its client size); window DCs draw into
//   it and the screen is composited from the visible windows (see platform/display.h). A window's
//   picture therefore survives being covered or moved, and children never draw over their parent
//   (every window behaves as if its parent had WS_CLIPCHILDREN).
// - Input state (focus, capture, the active window, the cursor) is one per process, as if every
//   thread had attached its input to every other.
//
// Sent messages between threads. SendMessage to a window of another thread queues the message to
// that thread and blocks until the window procedure there has handled it (or ReplyMessage has
// answered early). The receiving thread handles sent messages only inside GetMessage,
// PeekMessage, WaitMessage, MsgWaitForMultipleObjects and its own cross-thread SendMessage.
// While it waits, the sender handles the messages other threads send to it, so two threads that
// send to each other do not deadlock. A sender never waits for a thread that can no longer
// answer: when the target window is destroyed, or its thread ends, before the message has been
// handled, SendMessage returns 0 with the last error ERROR_INVALID_WINDOW_HANDLE. (A thread that
// lives on but never looks at its messages still blocks its senders, as on Windows.) A thread that
// ends takes its windows with it; they are destroyed without messages.
#pragma once

#include "platform/windef.h"

extern "C" {

typedef short SHORT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef struct HMENU__* HMENU;
typedef struct HICON__* HICON;
typedef HICON HCURSOR;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b)                                                                             \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff)))     \
                                                      << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))

// ---- errors of the window system --------------------------------------------------------------
#define ERROR_INVALID_INDEX 1413L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_ACCESS_DENIED_WINDOW 5L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_TLW_WITH_WSCHILD 1406L

// ---- messages --------------------------------------------------------------------------------
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCHITTEST 0x0084
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_KEYLAST 0x0109
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSELAST 0x0209
#define WM_PARENTNOTIFY 0x0210
#define WM_QUERYNEWPALETTE 0x030F
#define WM_PALETTEISCHANGING 0x0310
#define WM_PALETTECHANGED 0x0311
#define WM_USER 0x0400
#define WM_APP 0x8000
// Multimedia: a wave output buffer is done (posted by the wave output device).
#define MM_WOM_OPEN 0x3BB
#define MM_WOM_CLOSE 0x3BC
#define MM_WOM_DONE 0x3BD

// wParam of mouse messages
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
// WM_MOUSEACTIVATE results
#define MA_ACTIVATE 1
#define MA_ACTIVATEANDEAT 2
#define MA_NOACTIVATE 3
#define MA_NOACTIVATEANDEAT 4
// WM_NCHITTEST results (only the client area exists)
#define HTNOWHERE 0
#define HTCLIENT 1
// WM_SIZE
#define SIZE_RESTORED 0
// Notifications of the "BUTTON" class (in WM_COMMAND to the parent)
#define BN_CLICKED 0

// ---- windows, classes and styles --------------------------------------------------------------
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_CHILDWINDOW WS_CHILD
#define WS_EX_TOPMOST 0x00000008L
#define BS_PUSHBUTTON 0x00000000L
#define BS_OWNERDRAW 0x0000000BL

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_PARENTDC 0x0080

#define CW_USEDEFAULT ((int)0x80000000)
#define HWND_DESKTOP ((HWND)0)
#define HWND_BROADCAST ((HWND)0xffff)
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)

#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_SHOWNA 8
#define SW_RESTORE 9

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOCOPYBITS 0x0100
#define SWP_NOOWNERZORDER 0x0200
#define SWP_NOSENDCHANGING 0x0400

#define GA_PARENT 1
#define GA_ROOT 2

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground; // a brush, or a system colour index + 1 (COLOR_WINDOW + 1 ...)
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA, *LPWNDCLASSA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA, *LPCREATESTRUCTA;

typedef struct tagWINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
} WINDOWPOS, *LPWINDOWPOS;

// Classes: names compare without regard to case. The system classes "BUTTON" and "STATIC" exist
// from the start.
SKV_PLATFORM_API ATOM RegisterClassA(const WNDCLASSA* wndClass);
SKV_PLATFORM_API BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
SKV_PLATFORM_API BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wndClass);
SKV_PLATFORM_API int GetClassNameA(HWND window, LPSTR name, int size);

// Creation sends WM_NCCREATE, WM_CREATE, WM_SIZE and WM_MOVE (and WM_SHOWWINDOW with WS_VISIBLE)
// to the new window on the calling thread, which owns it. A window with WS_CHILD needs a parent.
// CW_USEDEFAULT places a top-level window at (0, 0) with the size 320 x 240.
SKV_PLATFORM_API HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                      DWORD style, int x, int y, int width, int height, HWND parent,
                                      HMENU menu, HINSTANCE instance, LPVOID param);
// Only the owning thread destroys a window (ERROR_ACCESS_DENIED otherwise). WM_DESTROY goes to
// the window and then to its children, WM_NCDESTROY to the children first; children owned by
// other threads get theirs as sent messages. Messages still queued for the window are dropped,
// its timers killed, its properties removed, and senders waiting on it answered with 0.
SKV_PLATFORM_API BOOL DestroyWindow(HWND window);
SKV_PLATFORM_API BOOL IsWindow(HWND window);
SKV_PLATFORM_API BOOL IsChild(HWND parent, HWND window);
SKV_PLATFORM_API BOOL IsWindowVisible(HWND window);
SKV_PLATFORM_API HWND GetParent(HWND window);
SKV_PLATFORM_API HWND GetAncestor(HWND window, UINT flags);
SKV_PLATFORM_API HWND GetDesktopWindow(void);
// Re-links the window under a new parent (none: the desktop) keeping its position relative to
// the parent's client area. No messages are sent to the window, so a thread may re-parent a
// window of a thread it has suspended.
SKV_PLATFORM_API HWND SetParent(HWND window, HWND newParent);
SKV_PLATFORM_API DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// WM_WINDOWPOSCHANGING (unless SWP_NOSENDCHANGING) and WM_WINDOWPOSCHANGED are sent; the default
// procedure turns the latter into WM_MOVE and WM_SIZE. A resize, and SWP_NOCOPYBITS, invalidate
// the whole window; a plain move keeps its picture. An insert-after window that is not a sibling
// leaves the z-order as it is.
// The window rectangle whose client area is *rect. Windows here have no frame, caption or menu
// bar: the client area is the whole window, so the rectangle stays as it is.
SKV_PLATFORM_API BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
SKV_PLATFORM_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                                   UINT flags);
SKV_PLATFORM_API BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// SW_SHOW, SW_SHOWNORMAL and SW_RESTORE also activate a top-level window. Showing invalidates
// the whole window. Returns whether the window was visible before.
SKV_PLATFORM_API BOOL ShowWindow(HWND window, int command);
// Window rectangles are in screen coordinates; client rectangles start at (0, 0).
SKV_PLATFORM_API BOOL GetWindowRect(HWND window, LPRECT rect);
SKV_PLATFORM_API BOOL GetClientRect(HWND window, LPRECT rect);
SKV_PLATFORM_API BOOL ScreenToClient(HWND window, LPPOINT point);
SKV_PLATFORM_API BOOL ClientToScreen(HWND window, LPPOINT point);
// The deepest visible window at a screen point (the desktop when none).
SKV_PLATFORM_API HWND WindowFromPoint(POINT point);

SKV_PLATFORM_API int GetWindowTextA(HWND window, LPSTR text, int size);
SKV_PLATFORM_API BOOL SetWindowTextA(HWND window, LPCSTR text);

// The LONG forms cannot hold a procedure's address on this 64-bit system: GWL_WNDPROC there
// fails with ERROR_INVALID_INDEX, and GWL_USERDATA keeps only the low 32 bits. Use the Ptr forms,
// which are what SetWindowLong means on 32-bit Windows. Positive indices address the class's
// cbWndExtra bytes.
SKV_PLATFORM_API LONG GetWindowLongA(HWND window, int index);
SKV_PLATFORM_API LONG SetWindowLongA(HWND window, int index, LONG value);
SKV_PLATFORM_API LONG_PTR GetWindowLongPtrA(HWND window, int index);
SKV_PLATFORM_API LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
SKV_PLATFORM_API LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam);
SKV_PLATFORM_API LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Window properties: a name (case-insensitive) or an atom (MAKEINTATOM) per entry. Whatever is
// left when the window is destroyed is removed then.
#define MAKEINTATOM(i) ((LPCSTR)(uintptr_t)(WORD)(i))
SKV_PLATFORM_API BOOL SetPropA(HWND window, LPCSTR name, HANDLE data);
SKV_PLATFORM_API HANDLE GetPropA(HWND window, LPCSTR name);
SKV_PLATFORM_API HANDLE RemovePropA(HWND window, LPCSTR name);

// ---- message queues ---------------------------------------------------------------------------
typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

#define QS_KEY 0x0001
#define QS_MOUSEMOVE 0x0002
#define QS_MOUSEBUTTON 0x0004
#define QS_POSTMESSAGE 0x0008
#define QS_TIMER 0x0010
#define QS_PAINT 0x0020
#define QS_SENDMESSAGE 0x0040
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY)
#define QS_ALLEVENTS (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT)
#define QS_ALLINPUT (QS_ALLEVENTS | QS_SENDMESSAGE)
#define MWMO_INPUTAVAILABLE 0x0004

// Every thread has a queue, made the first time it is needed. Order of retrieval: messages sent
// from other threads are handled first (never returned), then posted messages in the order they
// were posted, then input, then WM_QUIT, then WM_PAINT (generated while a visible window of the
// thread has a non-empty update region; not removed by PM_REMOVE, only by validating), then
// WM_TIMER (generated when a timer is due). A window filter also matches that window's
// children; a filter of (HWND)-1 matches only messages posted to the thread. WM_QUIT passes any
// window filter. Input mouse messages removed from the queue first send WM_SETCURSOR (and, for a
// button going down, WM_MOUSEACTIVATE) to their window.
SKV_PLATFORM_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
SKV_PLATFORM_API BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam,
                                         LPARAM lParam);
SKV_PLATFORM_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message to a window of another thread and returns at once; calls the window
// procedure directly on the window's own thread.
SKV_PLATFORM_API BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
SKV_PLATFORM_API BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax,
                                   UINT removeFlags);
// Blocks until a message is there; FALSE for WM_QUIT, -1 for an invalid window filter.
SKV_PLATFORM_API BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
SKV_PLATFORM_API BOOL WaitMessage(void);
SKV_PLATFORM_API LRESULT DispatchMessageA(const MSG* msg);
// Posts WM_CHAR for a WM_KEYDOWN of a key that types a character (US layout: letters with the
// Shift state, digits, space, Return, Backspace, Tab, Escape).
SKV_PLATFORM_API BOOL TranslateMessage(const MSG* msg);
SKV_PLATFORM_API void PostQuitMessage(int exitCode);
// Position (screen coordinates, x in the low word) and time of the last message retrieved.
SKV_PLATFORM_API DWORD GetMessagePos(void);
SKV_PLATFORM_API LONG GetMessageTime(void);
// While handling a message another thread sent: answers the sender now (TRUE), the procedure's
// own result is then discarded. FALSE when there is no sender waiting for this thread's answer.
SKV_PLATFORM_API BOOL ReplyMessage(LRESULT result);
// TRUE while the calling thread handles a message sent by another thread.
SKV_PLATFORM_API BOOL InSendMessage(void);
SKV_PLATFORM_API DWORD GetQueueStatus(UINT flags);
// Like WaitForMultipleObjects, with one more way to end: WAIT_OBJECT_0 + count when input of the
// kinds in wakeMask is in the queue (any input, not only input that arrived since the last look).
SKV_PLATFORM_API DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                                 DWORD milliseconds, DWORD wakeMask);

// ---- painting ---------------------------------------------------------------------------------
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

// A null rectangle or region means the whole client area. Invalidating a window of another
// thread wakes that thread for its WM_PAINT.
SKV_PLATFORM_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
SKV_PLATFORM_API BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase);
SKV_PLATFORM_API BOOL ValidateRect(HWND window, const RECT* rect);
SKV_PLATFORM_API BOOL ValidateRgn(HWND window, HRGN region);
SKV_PLATFORM_API BOOL GetUpdateRect(HWND window, LPRECT rect, BOOL erase);
// Sends WM_PAINT now when the update region is not empty.
SKV_PLATFORM_API BOOL UpdateWindow(HWND window);
// Sends WM_ERASEBKGND when an invalidation asked for erasing; the DC is clipped to the update
// region, which is validated.
SKV_PLATFORM_API HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
SKV_PLATFORM_API BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- timers -----------------------------------------------------------------------------------
#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF
// Due times are on the platform clock (virtual or real). A window's timer is kept by the
// window's thread, whichever thread sets or kills it. A timer without a window gets a new
// identifier. A due timer gives one WM_TIMER at a time; the next is due `elapse` after the
// previous one was removed from the queue.
SKV_PLATFORM_API UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
SKV_PLATFORM_API BOOL KillTimer(HWND window, UINT_PTR id);

// ---- input, focus, activation, capture --------------------------------------------------------
// GetAsyncKeyState: bit 15 set while the key is down; bit 0 set when it went down since the
// previous call.
SKV_PLATFORM_API SHORT GetAsyncKeyState(int virtualKey);
SKV_PLATFORM_API SHORT GetKeyState(int virtualKey);
SKV_PLATFORM_API BOOL GetCursorPos(LPPOINT point);
// Sends WM_KILLFOCUS to the window losing the focus and WM_SETFOCUS to the one gaining it.
SKV_PLATFORM_API HWND SetFocus(HWND window);
SKV_PLATFORM_API HWND GetFocus(void);
SKV_PLATFORM_API HWND SetActiveWindow(HWND window);
SKV_PLATFORM_API HWND GetActiveWindow(void);
SKV_PLATFORM_API HWND SetCapture(HWND window);
SKV_PLATFORM_API BOOL ReleaseCapture(void);
SKV_PLATFORM_API HWND GetCapture(void);
SKV_PLATFORM_API UINT GetDoubleClickTime(void);

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70

// ---- cursors ----------------------------------------------------------------------------------
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_NO MAKEINTRESOURCEA(32648)

// A null instance loads one of the system cursors (IDC_...); a module's own cursors are made with
// CreateCursor (this system has no resource sections to load them from).
SKV_PLATFORM_API HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// A monochrome cursor from AND and XOR planes (rows of ((width + 15) / 16) * 2 bytes).
SKV_PLATFORM_API HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height,
                                      const void* andPlane, const void* xorPlane);
SKV_PLATFORM_API BOOL DestroyCursor(HCURSOR cursor);
// Returns the previous cursor; a null cursor hides it. The display backend shows the cursor.
SKV_PLATFORM_API HCURSOR SetCursor(HCURSOR cursor);
SKV_PLATFORM_API HCURSOR GetCursor(void);

// ---- message boxes ----------------------------------------------------------------------------
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0L
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shown by the display backend: a dialog of its own in a real window, or, headless, recorded
// and answered (see platform/display.h). Returns the button chosen, 0 on failure.
SKV_PLATFORM_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
SKV_PLATFORM_API BOOL MessageBeep(UINT type);

// ---- system colours and filling -----------------------------------------------------------------
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_BTNSHADOW 16
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20

// The classic colours; COLOR_BACKGROUND is the desktop's.
SKV_PLATFORM_API DWORD GetSysColor(int index);
SKV_PLATFORM_API HBRUSH GetSysColorBrush(int index);
// `brush` is a brush or a system colour index + 1. Honours the DC's clip region.
SKV_PLATFORM_API int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---- rectangles -------------------------------------------------------------------------------
SKV_PLATFORM_API BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
SKV_PLATFORM_API BOOL SetRectEmpty(LPRECT rect);
SKV_PLATFORM_API BOOL CopyRect(LPRECT to, const RECT* from);
SKV_PLATFORM_API BOOL IsRectEmpty(const RECT* rect);
SKV_PLATFORM_API BOOL EqualRect(const RECT* a, const RECT* b);
SKV_PLATFORM_API BOOL PtInRect(const RECT* rect, POINT point);
SKV_PLATFORM_API BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b);
SKV_PLATFORM_API BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b);
SKV_PLATFORM_API BOOL OffsetRect(LPRECT rect, int dx, int dy);
SKV_PLATFORM_API BOOL InflateRect(LPRECT rect, int dx, int dy);

} // extern "C"

namespace skv::platform {

// Called by a display backend (or a test) for every key or mouse-button transition.
SKV_PLATFORM_API void setKeyState(int virtualKey, bool down);

} // namespace skv::platform

#define RegisterClass RegisterClassA
#define UnregisterClass UnregisterClassA
#define GetClassInfo GetClassInfoA
#define GetClassName GetClassNameA
#define WNDCLASS WNDCLASSA
#define CREATESTRUCT CREATESTRUCTA
#define CreateWindowEx CreateWindowExA
#define CreateWindow(c, n, s, x, y, w, h, p, m, i, a)                                              \
    CreateWindowExA(0, c, n, s, x, y, w, h, p, m, i, a)
#define GetWindowText GetWindowTextA
#define SetWindowText SetWindowTextA
#define GetWindowLong GetWindowLongA
#define SetWindowLong SetWindowLongA
#define GetWindowLongPtr GetWindowLongPtrA
#define SetWindowLongPtr SetWindowLongPtrA
#define CallWindowProc CallWindowProcA
#define DefWindowProc DefWindowProcA
#define SetProp SetPropA
#define GetProp GetPropA
#define RemoveProp RemovePropA
#define PostMessage PostMessageA
#define PostThreadMessage PostThreadMessageA
#define SendMessage SendMessageA
#define SendNotifyMessage SendNotifyMessageA
#define PeekMessage PeekMessageA
#define GetMessage GetMessageA
#define DispatchMessage DispatchMessageA
#define LoadCursor LoadCursorA
#define MessageBox MessageBoxA
