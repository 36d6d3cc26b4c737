// Threads: CreateThread on POSIX threads, suspend counts, exit codes, priorities and the records
// of threads the library did not create.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <climits>

#include "handles.h"
#include "kernel.h"

namespace skv::platform::kernel {

namespace {

thread_local ThreadObj* tlsSelf = nullptr;
// Where ExitThread leaves the exit code of a thread made by CreateThread.
thread_local DWORD* tlsExitCodeSlot = nullptr;

// The record of a thread the library did not create; it ends with the thread.
struct ForeignThread {
    std::shared_ptr<ThreadObj> obj;
    ~ForeignThread() {
        if (!obj) return;
        finishThread(*obj, 0);
        tlsSelf = nullptr;
    }
};
thread_local ForeignThread tlsForeign;
thread_local bool tlsForeignGone = false;

struct ForeignGoneMarker {
    ~ForeignGoneMarker() { tlsForeignGone = true; }
};

struct StartInfo {
    std::shared_ptr<ThreadObj> thread;
    LPTHREAD_START_ROUTINE start;
    LPVOID param;
};

// Ends the thread's record however the thread leaves: by returning or through ExitThread.
struct Finisher {
    ThreadObj& t;
    DWORD code = 0;
    ~Finisher() {
        finishThread(t, code);
        tlsSelf = nullptr;
        tlsExitCodeSlot = nullptr;
    }
};

void* threadMain(void* arg) {
    std::shared_ptr<ThreadObj> t;
    LPTHREAD_START_ROUTINE start;
    LPVOID param;
    {
        std::unique_ptr<StartInfo> info(static_cast<StartInfo*>(arg));
        t = std::move(info->thread);
        start = info->start;
        param = info->param;
    }
    tlsSelf = t.get();
    Finisher finisher{*t};
    tlsExitCodeSlot = &finisher.code;
    {
        Lock lk = lockScheduler();
        honourSuspension(lk, *t); // created suspended: no user code before ResumeThread
    }
    finisher.code = start(param);
    return nullptr;
}

size_t stackSizeFor(size_t requested) {
    if (requested == 0) return 0; // the system's default
#ifdef SKV_SANITIZER
    requested *= 4; // instrumented code needs several times the stack
#endif
    size_t minimum = PTHREAD_STACK_MIN > 65536 ? PTHREAD_STACK_MIN : 65536;
    if (requested < minimum) requested = minimum;
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (requested + page - 1) / page * page;
}

std::shared_ptr<ThreadObj> lookupThread(HANDLE h) {
    return lookupHandleAs<ThreadObj>(h, KObject::Kind::Thread);
}

} // namespace

DWORD nextThreadId() {
    static std::atomic<DWORD> next{0x100};
    return next.fetch_add(4, std::memory_order_relaxed);
}

ThreadObj& currentThread() {
    if (tlsSelf) return *tlsSelf;
    if (tlsForeignGone) {
        // Called again while the thread is tearing down: give it a record of its own that is
        // simply never freed (this happens at most once per such thread).
        auto* keep = new std::shared_ptr<ThreadObj>(std::make_shared<ThreadObj>(nextThreadId()));
        tlsSelf = keep->get();
        return *tlsSelf;
    }
    static thread_local ForeignGoneMarker marker; // destroyed after tlsForeign
    (void)marker;
    tlsForeign.obj = std::make_shared<ThreadObj>(nextThreadId());
    tlsSelf = tlsForeign.obj.get();
    return *tlsSelf;
}

std::shared_ptr<ThreadObj> currentThreadShared() {
    return currentThread().shared_from_this();
}

namespace {
std::atomic<ThreadEndHook> threadEndHook{nullptr};
} // namespace

void setThreadEndHook(ThreadEndHook hook) {
    threadEndHook.store(hook);
}

void finishThread(ThreadObj& t, DWORD exitCode) {
    if (ThreadEndHook hook = threadEndHook.load()) {
        bool first;
        {
            Lock lk = lockScheduler();
            first = !t.ended && !t.endHookRan;
            t.endHookRan = true;
        }
        if (first) hook(t);
    }
    Lock lk = lockScheduler();
    if (t.ended) return;
    t.ended = true;
    t.exitCode = exitCode;
    abandonMutexes(t);
    t.endQueue.wakeAll();
    removeParticipant(t);
}

} // namespace skv::platform::kernel

using namespace skv::platform::kernel;

extern "C" {

HANDLE CreateThread(void* securityAttributes, size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID param, DWORD flags, DWORD* threadId) {
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto t = std::make_shared<ThreadObj>(nextThreadId());
    bool suspended = (flags & CREATE_SUSPENDED) != 0;
    {
        Lock lk = lockScheduler();
        t->suspendCount = suspended ? 1 : 0;
        // A participant from this instant: the clock cannot move before the thread has run up
        // to its first wait (or, created suspended, it counts as idle without a deadline).
        addParticipant(*t, suspended);
    }
    HANDLE h = insertHandle(t);
    pthread_attr_t attr;
    bool ok = h != nullptr && pthread_attr_init(&attr) == 0;
    if (ok) {
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        if (size_t stack = stackSizeFor(stackSize)) pthread_attr_setstacksize(&attr, stack);
        auto* info = new StartInfo{t, start, param};
        pthread_t tid;
        if (pthread_create(&tid, &attr, threadMain, info) != 0) {
            delete info;
            ok = false;
        }
        pthread_attr_destroy(&attr);
    }
    if (!ok) {
        {
            Lock lk = lockScheduler();
            t->ended = true;
            removeParticipant(*t);
        }
        if (h) CloseHandle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) *threadId = t->id;
    return h;
}

DWORD ResumeThread(HANDLE thread) {
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    if (!t) return 0xFFFFFFFFu;
    Lock lk = lockScheduler();
    DWORD previous = t->suspendCount;
    if (previous > 0 && --t->suspendCount == 0) wake(*t);
    return previous;
}

DWORD SuspendThread(HANDLE thread) {
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    if (!t) return 0xFFFFFFFFu;
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    if (t->suspendCount >= MAXIMUM_SUSPEND_COUNT) {
        SetLastError(ERROR_SIGNAL_REFUSED);
        return 0xFFFFFFFFu;
    }
    DWORD previous = t->suspendCount++;
    if (t.get() == &self) honourSuspension(lk, self); // a thread suspending itself stops now
    return previous;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    if (!t) return FALSE;
    // Recorded only: the player's priorities order its threads relative to each other, which an
    // unprivileged process cannot express to the system scheduler anyway.
    Lock lk = lockScheduler();
    t->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    if (!t) return THREAD_PRIORITY_ERROR_RETURN;
    Lock lk = lockScheduler();
    return t->priority;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    if (!t) return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lk = lockScheduler();
    *exitCode = t->ended ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

HANDLE GetCurrentThread(void) {
    return currentThreadPseudoHandle();
}

DWORD GetCurrentThreadId(void) {
    return currentThread().id;
}

DWORD GetThreadId(HANDLE thread) {
    std::shared_ptr<ThreadObj> t = lookupThread(thread);
    return t ? t->id : 0;
}

void ExitThread(DWORD exitCode) {
    if (tlsExitCodeSlot) {
        *tlsExitCodeSlot = exitCode; // the thread's Finisher reports it while the stack unwinds
    } else {
        finishThread(currentThread(), exitCode);
    }
    pthread_exit(nullptr);
}

} // extern "C"
