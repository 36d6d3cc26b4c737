// Message queues: posting, sending between threads, retrieval with its order and filters,
// dispatching, timers, WM_QUIT, and the end of a thread.
#include <algorithm>
#include <unordered_map>

#include "handles.h"
#include "platform/display.h"
#include "screen.h"
#include "win_core.h"

namespace skv::platform::win {

using kernel::Lock;
using kernel::ThreadObj;

namespace {

// Queues by thread id (scheduler lock). A queue stays listed after its thread has ended, marked
// dead and emptied: thread ids are never reused, and a stale pointer to it stays harmless.
std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>& queues() {
    static auto* q = new std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>;
    return *q;
}

thread_local MessageQueue* tlsQueue = nullptr;

// Answers a sender (scheduler lock held).
void answer(SentMessage& rec, LRESULT result, bool failed) {
    if (rec.done) return;
    rec.done = true;
    rec.failed = failed;
    rec.result = failed ? 0 : result;
    if (rec.senderQueue) rec.senderQueue->waiters.wakeAll();
}

void onThreadEnd(ThreadObj& t) {
    destroyThreadWindows(t.id);
    Lock lk = kernel::lockScheduler();
    auto it = queues().find(t.id);
    if (it == queues().end()) return;
    MessageQueue& q = *it->second;
    q.dead = true;
    for (auto& rec : q.sent)
        answer(*rec, 0, true);
    for (auto& rec : q.handling) // the thread ended inside a window procedure
        if (rec) answer(*rec, 0, true);
    q.sent.clear();
    q.handling.clear();
    q.posted.clear();
    q.input.clear();
    q.timers.clear();
    q.quit = false;
}

struct HookInstaller {
    HookInstaller() { kernel::setThreadEndHook(onThreadEnd); }
} hookInstaller;

bool inRange(UINT message, UINT min, UINT max) {
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

const HWND kThreadOnly = reinterpret_cast<HWND>(intptr_t{-1});

// Window-manager lock held.
bool hwndMatches(HWND filter, HWND hwnd) {
    if (!filter) return true;
    if (filter == kThreadOnly) return hwnd == nullptr;
    if (hwnd == filter) return true;
    Window* f = findWindow(filter);
    Window* w = findWindow(hwnd);
    return f && w && isDescendant(f, w);
}

bool isMouseMessage(UINT m) {
    return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST;
}

bool isButtonDown(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN ||
           m == WM_LBUTTONDBLCLK || m == WM_RBUTTONDBLCLK || m == WM_MBUTTONDBLCLK;
}

// The first window of the thread that needs painting, in tree order (parents first); `any`
// tells whether one exists at all, filter or not. Window-manager lock held.
Window* findPaint(Window* w, DWORD thread, HWND filter, bool& any) {
    if (w != &desktopWindow()) {
        if (!(w->style & WS_VISIBLE)) return nullptr;
        if (w->threadId == thread && !w->update.empty() && !w->destroying) {
            any = true;
            if (hwndMatches(filter, w->handle)) return w;
        }
    }
    for (Window* c : w->children)
        if (Window* found = findPaint(c, thread, filter, any)) return found;
    return nullptr;
}

MSG makeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{hwnd, message, wParam, lParam, GetTickCount(), cursorPos()};
    return m;
}

// What a retrieval finds: a message, or nothing (with the deadline of the next timer).
enum class Found { Message, Nothing, Sent };

// Looks at the queue (window-manager and scheduler locks held).
Found look(MessageQueue& q, MSG* out, HWND filter, UINT min, UINT max, bool remove,
           std::optional<uint64_t>& nextTimer) {
    if (!q.sent.empty()) return Found::Sent;
    for (auto* list : {&q.posted, &q.input}) {
        for (auto it = list->begin(); it != list->end(); ++it) {
            if (!inRange(it->message, min, max) || !hwndMatches(filter, it->hwnd)) continue;
            *out = *it;
            if (remove) list->erase(it);
            return Found::Message;
        }
    }
    if (q.quit && inRange(WM_QUIT, min, max)) {
        *out = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
        if (remove) q.quit = false;
        return Found::Message;
    }
    if (q.paintHint && inRange(WM_PAINT, min, max)) {
        bool any = false;
        Window* w = findPaint(&desktopWindow(), q.threadId, filter, any);
        if (!any) q.paintHint = false;
        if (w) {
            *out = makeMessage(w->handle, WM_PAINT, 0, 0);
            return Found::Message;
        }
    }
    if (inRange(WM_TIMER, min, max)) {
        const uint64_t now = kernel::nowUs();
        Timer* due = nullptr;
        for (Timer& t : q.timers) {
            if (!hwndMatches(filter, t.hwnd)) continue;
            if (t.dueUs <= now && (!due || t.dueUs < due->dueUs)) due = &t;
            if (!nextTimer || t.dueUs < *nextTimer) nextTimer = t.dueUs;
        }
        if (due) {
            *out = makeMessage(due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
            if (remove) due->dueUs = now + uint64_t{due->elapse} * 1000;
            return Found::Message;
        }
    }
    return Found::Nothing;
}

// The core of GetMessage, PeekMessage and WaitMessage.
bool retrieve(MSG* out, HWND filter, UINT min, UINT max, UINT flags, bool wait) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    ThreadObj& self = kernel::currentThread();
    const bool remove = (flags & PM_REMOVE) != 0;
    for (;;) {
        handleSentMessages(*q);
        MSG msg{};
        Found found;
        {
            std::unique_lock<std::mutex> wmLock(wmMutex());
            Lock lk = kernel::lockScheduler();
            kernel::honourSuspension(lk, self);
            std::optional<uint64_t> nextTimer;
            found = look(*q, &msg, filter, min, max, remove, nextTimer);
            if (found == Found::Nothing) {
                if (!wait) return false;
                wmLock.unlock();
                kernel::WaitQueue* waits[] = {&q->waiters};
                kernel::blockCurrent(lk, self, waits, nextTimer);
                continue;
            }
        }
        if (found == Found::Sent) continue;
        if (remove) {
            q->lastTime = msg.time;
            q->lastPos = msg.pt;
            if (isMouseMessage(msg.message) && msg.hwnd) {
                if (isButtonDown(msg.message) && !activateOnClick(msg.hwnd, msg.message))
                    continue; // the click was eaten
                SendMessageA(msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg.hwnd),
                             MAKELPARAM(HTCLIENT, msg.message));
            }
        }
        *out = msg;
        return true;
    }
}

// Runs a window procedure with a marker on the handling stack (null: not a cross-thread send).
LRESULT callMarked(MessageQueue& q, const std::shared_ptr<SentMessage>& marker, HWND hwnd,
                   UINT message, WPARAM wParam, LPARAM lParam) {
    q.handling.push_back(marker);
    LRESULT r = callWindowProc(hwnd, message, wParam, lParam);
    q.handling.pop_back();
    return r;
}

LRESULT sendAcrossThreads(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message,
                          WPARAM wParam, LPARAM lParam, bool wantAnswer) {
    std::shared_ptr<MessageQueue> self = currentQueue();
    ThreadObj& me = kernel::currentThread();
    auto rec = std::make_shared<SentMessage>();
    rec->hwnd = hwnd;
    rec->message = message;
    rec->wParam = wParam;
    rec->lParam = lParam;
    if (wantAnswer) rec->senderQueue = self;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Lock lk = kernel::lockScheduler();
        // Checked under both locks: neither the window nor the thread can go away unseen.
        if (!findWindow(hwnd) || target->dead) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        target->sent.push_back(rec);
        target->waiters.wakeAll();
    }
    if (!wantAnswer) return TRUE;
    for (;;) {
        handleSentMessages(*self);
        Lock lk = kernel::lockScheduler();
        kernel::honourSuspension(lk, me);
        if (rec->done) {
            if (rec->failed) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return rec->result;
        }
        if (!self->sent.empty()) continue;
        std::optional<uint64_t> none;
        kernel::WaitQueue* waits[] = {&self->waiters};
        kernel::blockCurrent(lk, me, waits, none);
    }
}

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wantAnswer) {
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> targets;
        {
            std::lock_guard<std::mutex> g(wmMutex());
            for (Window* w : desktopWindow().children)
                targets.push_back(w->handle);
        }
        for (HWND h : targets)
            sendMessage(h, message, wParam, lParam, wantAnswer);
        return TRUE;
    }
    std::shared_ptr<MessageQueue> target;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(hwnd);
        if (!w || !w->queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        target = w->queue;
    }
    if (target->threadId == GetCurrentThreadId()) {
        LRESULT r = callMarked(*target, nullptr, hwnd, message, wParam, lParam);
        return wantAnswer ? r : TRUE;
    }
    return sendAcrossThreads(target, hwnd, message, wParam, lParam, wantAnswer);
}

bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        postToTopLevel(message, wParam, lParam);
        return true;
    }
    if (!hwnd) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam) != FALSE;
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(hwnd);
        if (!w || !w->queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        q = w->queue;
    }
    return postTo(*q, makeMessage(hwnd, message, wParam, lParam), false);
}

} // namespace

std::shared_ptr<MessageQueue> currentQueue() {
    if (tlsQueue) return tlsQueue->shared_from_this();
    DWORD id = GetCurrentThreadId();
    Lock lk = kernel::lockScheduler();
    auto& slot = queues()[id];
    if (!slot) {
        slot = std::make_shared<MessageQueue>();
        slot->threadId = id;
    }
    tlsQueue = slot.get();
    return slot;
}

bool postTo(MessageQueue& q, const MSG& msg, bool asInput) {
    Lock lk = kernel::lockScheduler();
    if (q.dead) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    auto& list = asInput ? q.input : q.posted;
    // Moves of the mouse not yet looked at are worth only their latest position.
    if (asInput && msg.message == WM_MOUSEMOVE && !list.empty() &&
        list.back().message == WM_MOUSEMOVE && list.back().hwnd == msg.hwnd)
        list.back() = msg;
    else
        list.push_back(msg);
    q.waiters.wakeAll();
    return true;
}

void postToTopLevel(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<std::pair<HWND, std::shared_ptr<MessageQueue>>> targets;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        for (Window* w : desktopWindow().children)
            if (w->queue) targets.emplace_back(w->handle, w->queue);
    }
    for (auto& [h, q] : targets)
        postTo(*q, makeMessage(h, message, wParam, lParam), false);
}

LRESULT callWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        Window* w = findWindow(hwnd);
        if (!w || !w->proc) return 0;
        proc = w->proc;
    }
    return proc(hwnd, message, wParam, lParam);
}

void forgetWindowMessages(MessageQueue& q, HWND hwnd) {
    auto drop = [&](std::deque<MSG>& list) {
        std::erase_if(list, [&](const MSG& m) { return m.hwnd == hwnd; });
    };
    drop(q.posted);
    drop(q.input);
    std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd; });
    for (auto it = q.sent.begin(); it != q.sent.end();) {
        if ((*it)->hwnd == hwnd) {
            answer(**it, 0, true);
            it = q.sent.erase(it);
        } else {
            ++it;
        }
    }
}

void handleSentMessages(MessageQueue& q) {
    for (;;) {
        std::shared_ptr<SentMessage> rec;
        {
            Lock lk = kernel::lockScheduler();
            if (q.sent.empty()) return;
            rec = std::move(q.sent.front());
            q.sent.pop_front();
        }
        LRESULT r = callMarked(q, rec, rec->hwnd, rec->message, rec->wParam, rec->lParam);
        Lock lk = kernel::lockScheduler();
        answer(*rec, r, false);
    }
}

} // namespace skv::platform::win

using namespace skv::platform::win;
namespace kernel = skv::platform::kernel;
using kernel::Lock;

extern "C" {

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return postMessage(window, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> q;
    if (threadId == GetCurrentThreadId()) {
        q = currentQueue();
    } else {
        Lock lk = kernel::lockScheduler();
        auto it = queues().find(threadId);
        if (it != queues().end()) q = it->second;
    }
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER); // a thread that has no queue (yet)
        return FALSE;
    }
    return postTo(*q, makeMessage(nullptr, message, wParam, lParam), false) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return sendMessage(window, message, wParam, lParam, true);
}

BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return sendMessage(window, message, wParam, lParam, false) ? TRUE : FALSE;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    return retrieve(msg, window, filterMin, filterMax, removeFlags, false) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    if (window && window != kThreadOnly && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    retrieve(msg, window, filterMin, filterMax, PM_REMOVE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WaitMessage(void) {
    MSG msg;
    retrieve(&msg, nullptr, 0, 0, PM_NOREMOVE, true);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    std::shared_ptr<MessageQueue> q = currentQueue();
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a procedure a live timer of this thread names is called: lParam could come from
        // anyone's PostMessage.
        TIMERPROC proc = nullptr;
        {
            Lock lk = kernel::lockScheduler();
            for (const Timer& t : q->timers)
                if (t.hwnd == msg->hwnd && t.id == msg->wParam &&
                    reinterpret_cast<LPARAM>(t.proc) == msg->lParam)
                    proc = t.proc;
        }
        if (proc) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
            return 0;
        }
    }
    if (!msg->hwnd) return 0;
    return callMarked(*q, nullptr, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    Lock lk = kernel::lockScheduler();
    q->quit = true;
    q->quitCode = exitCode;
    q->waiters.wakeAll();
}

DWORD GetMessagePos(void) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    return static_cast<DWORD>(MAKELONG(q->lastPos.x, q->lastPos.y));
}

LONG GetMessageTime(void) {
    return static_cast<LONG>(currentQueue()->lastTime);
}

BOOL ReplyMessage(LRESULT result) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    if (q->handling.empty() || !q->handling.back()) return FALSE;
    Lock lk = kernel::lockScheduler();
    SentMessage& rec = *q->handling.back();
    if (rec.done) return FALSE;
    answer(rec, result, false);
    return TRUE;
}

BOOL InSendMessage(void) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    return !q->handling.empty() && q->handling.back() ? TRUE : FALSE;
}

DWORD GetQueueStatus(UINT flags) {
    std::shared_ptr<MessageQueue> q = currentQueue();
    Lock lk = kernel::lockScheduler();
    DWORD status = 0;
    if (!q->posted.empty()) status |= QS_POSTMESSAGE;
    for (const MSG& m : q->input)
        status |= m.message == WM_MOUSEMOVE    ? QS_MOUSEMOVE
                  : m.message >= WM_MOUSEFIRST ? QS_MOUSEBUTTON
                                               : QS_KEY;
    if (q->paintHint) status |= QS_PAINT;
    if (!q->sent.empty()) status |= QS_SENDMESSAGE;
    const uint64_t now = kernel::nowUs();
    for (const Timer& t : q->timers)
        if (t.dueUs <= now) status |= QS_TIMER;
    status &= flags;
    return static_cast<DWORD>(MAKELONG(status, status));
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
    if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && !handles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<kernel::KObject> held[MAXIMUM_WAIT_OBJECTS];
    kernel::KObject* objects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        held[i] = kernel::lookupHandle(handles[i]);
        if (!held[i]) return WAIT_FAILED;
        objects[i] = held[i].get();
    }
    struct Context {
        MessageQueue* q;
        DWORD mask;
        std::optional<uint64_t> timerDue;
    };
    std::shared_ptr<MessageQueue> q = currentQueue();
    Context context{q.get(), wakeMask, std::nullopt};
    // Timers are due at a time of their own: the wait must wake for the earliest.
    kernel::ExtraWait extra{&q->waiters,
                            [](void* p) {
                                auto* c = static_cast<Context*>(p);
                                MessageQueue& mq = *c->q;
                                if ((c->mask & QS_POSTMESSAGE) && (!mq.posted.empty() || mq.quit))
                                    return true;
                                if ((c->mask & QS_INPUT) && !mq.input.empty()) return true;
                                if ((c->mask & QS_SENDMESSAGE) && !mq.sent.empty()) return true;
                                if ((c->mask & QS_PAINT) && mq.paintHint) return true;
                                if (c->mask & QS_TIMER) {
                                    const uint64_t now = kernel::nowUs();
                                    for (const Timer& t : mq.timers)
                                        if (t.dueUs <= now) return true;
                                }
                                return false;
                            },
                            &context};
    // A due timer needs the wait to end at its time: wait in slices up to the next timer.
    for (;;) {
        std::optional<uint64_t> nextTimer;
        {
            Lock lk = kernel::lockScheduler();
            if (wakeMask & QS_TIMER)
                for (const Timer& t : q->timers)
                    if (!nextTimer || t.dueUs < *nextTimer) nextTimer = t.dueUs;
        }
        DWORD slice = milliseconds;
        const uint64_t now = kernel::nowUs();
        if (nextTimer) {
            uint64_t untilTimer = *nextTimer > now ? (*nextTimer - now + 999) / 1000 : 0;
            if (milliseconds == INFINITE || untilTimer < milliseconds)
                slice = static_cast<DWORD>(untilTimer);
        }
        DWORD r = kernel::waitForObjects(std::span<kernel::KObject* const>(objects, count),
                                         waitAll != FALSE, slice, &extra);
        if (r != WAIT_TIMEOUT || slice == milliseconds) return r;
        if (milliseconds != INFINITE) {
            const DWORD spent = static_cast<DWORD>((kernel::nowUs() - now) / 1000);
            milliseconds = spent >= milliseconds ? 0 : milliseconds - spent;
        }
    }
}

// ---- timers ----------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    std::shared_ptr<MessageQueue> q;
    std::unique_lock<std::mutex> g(wmMutex());
    if (window) {
        Window* w = findWindow(window);
        if (!w || !w->queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q = w->queue;
    } else {
        g.unlock();
        q = currentQueue();
        g.lock();
    }
    Lock lk = kernel::lockScheduler();
    const uint64_t due = kernel::nowUs() + uint64_t{elapse} * 1000;
    if (!window) {
        // A thread timer: the identifier given counts only if it names one of ours.
        bool known = false;
        for (const Timer& t : q->timers)
            known = known || (!t.hwnd && t.id == id && id != 0);
        if (!known) {
            static UINT_PTR nextId = 0x7000;
            id = ++nextId;
        }
    }
    for (Timer& t : q->timers)
        if (t.hwnd == window && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.dueUs = due;
            q->waiters.wakeAll();
            return window ? (id ? id : 1) : id;
        }
    q->timers.push_back(Timer{window, id, elapse, proc, due});
    q->waiters.wakeAll();
    return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::mutex> g(wmMutex());
        if (window) {
            Window* w = findWindow(window);
            if (w) q = w->queue;
        }
    }
    if (!window) q = currentQueue();
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Lock lk = kernel::lockScheduler();
    auto before = q->timers.size();
    std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == window && t.id == id; });
    return q->timers.size() != before ? TRUE : FALSE;
}

} // extern "C"
