// Events, mutexes, critical sections, the waits on objects and the interlocked operations.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "handles.h"
#include "kernel.h"
#include "sync.h"

namespace skv::platform::kernel {

MutexObj::~MutexObj() {
    Lock lk = lockScheduler();
    if (owner) {
        auto& v = owner->owned;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

DWORD MutexObj::acquire(ThreadObj& waiter) {
    if (owner == &waiter) {
        ++count;
        return WAIT_OBJECT_0;
    }
    owner = &waiter;
    count = 1;
    waiter.owned.push_back(this);
    if (abandoned) {
        abandoned = false;
        return WAIT_ABANDONED;
    }
    return WAIT_OBJECT_0;
}

bool MutexObj::release(ThreadObj& caller) {
    if (owner != &caller) return false;
    if (--count == 0) {
        auto& v = caller.owned;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        owner = nullptr;
        queue.wakeAll();
    }
    return true;
}

void abandonMutexes(ThreadObj& t) {
    for (MutexObj* m : t.owned) {
        m->owner = nullptr;
        m->count = 0;
        m->abandoned = true;
        m->queue.wakeAll();
    }
    t.owned.clear();
}

DWORD waitForObjects(std::span<KObject* const> objects, bool waitAll, DWORD milliseconds,
                     const ExtraWait* extra) {
    const size_t n = objects.size();
    if ((n == 0 && !extra) || n > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    WaitQueue* queues[MAXIMUM_WAIT_OBJECTS + 1];
    for (size_t i = 0; i < n; ++i) {
        queues[i] = objects[i]->waitQueue();
        if (!queues[i]) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of a set that names one object twice cannot be satisfied sensibly.
        if (waitAll &&
            std::find(objects.begin(), objects.begin() + i, objects[i]) != objects.begin() + i) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
    }
    size_t queueCount = n;
    if (extra) queues[queueCount++] = extra->queue;

    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    std::optional<uint64_t> deadline = deadlineAfterMs(milliseconds);
    for (;;) {
        honourSuspension(lk, self);
        if (waitAll) {
            bool all = n > 0;
            for (size_t i = 0; i < n && all; ++i)
                all = objects[i]->signalled(self);
            if (all) {
                DWORD result = WAIT_OBJECT_0;
                for (size_t i = 0; i < n; ++i) {
                    if (objects[i]->acquire(self) == WAIT_ABANDONED && result == WAIT_OBJECT_0)
                        result = WAIT_ABANDONED_0 + static_cast<DWORD>(i);
                }
                return result;
            }
        } else {
            for (size_t i = 0; i < n; ++i) {
                if (objects[i]->signalled(self)) {
                    DWORD r = objects[i]->acquire(self);
                    return (r == WAIT_ABANDONED ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) +
                           static_cast<DWORD>(i);
                }
            }
        }
        if (extra && extra->ready(extra->context)) return WAIT_OBJECT_0 + static_cast<DWORD>(n);
        if (deadline && nowUs() >= *deadline) return WAIT_TIMEOUT;
        if (blockCurrent(lk, self, std::span<WaitQueue* const>(queues, queueCount), deadline)) {
            honourSuspension(lk, self);
            return WAIT_TIMEOUT;
        }
    }
}

} // namespace skv::platform::kernel

using namespace skv::platform::kernel;

namespace {

std::shared_ptr<EventObj> lookupEvent(HANDLE h) {
    return lookupHandleAs<EventObj>(h, KObject::Kind::Event);
}

MutexObj* criticalSectionMutex(LPCRITICAL_SECTION cs) {
    return cs ? static_cast<MutexObj*>(cs->impl) : nullptr;
}

// Named events and mutexes, shared between the callers of this process that use the same name.
struct Names {
    std::mutex mu;
    std::map<std::string, std::weak_ptr<KObject>> objects;
};

Names& names() {
    static Names* n = new Names;
    return *n;
}

// Opens the object of that name if it exists (kind permitting), else enters `created` under it.
// Returns the handle, with the last error ERROR_ALREADY_EXISTS for an existing object.
HANDLE createNamed(LPCSTR name, KObject::Kind kind, const std::shared_ptr<KObject>& created) {
    if (!name) {
        HANDLE h = insertHandle(created);
        if (h) SetLastError(NO_ERROR);
        return h;
    }
    std::shared_ptr<KObject> existing;
    {
        Names& n = names();
        std::lock_guard<std::mutex> g(n.mu);
        if (n.objects.size() >= 64)
            std::erase_if(n.objects, [](const auto& e) { return e.second.expired(); });
        auto& slot = n.objects[name];
        existing = slot.lock();
        if (!existing) slot = created;
    }
    if (existing && existing->kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE); // the name belongs to another kind of object
        return nullptr;
    }
    HANDLE h = insertHandle(existing ? existing : created);
    if (h) SetLastError(existing ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return h;
}

} // namespace

extern "C" {

HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, LPCSTR name) {
    auto e = std::make_shared<EventObj>(manualReset != FALSE, initialState != FALSE);
    return createNamed(name, KObject::Kind::Event, e);
}

BOOL SetEvent(HANDLE event) {
    std::shared_ptr<EventObj> e = lookupEvent(event);
    if (!e) return FALSE;
    Lock lk = lockScheduler();
    if (!e->state) {
        e->state = true;
        e->queue.wakeAll();
    }
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    std::shared_ptr<EventObj> e = lookupEvent(event);
    if (!e) return FALSE;
    Lock lk = lockScheduler();
    e->state = false;
    return TRUE;
}

HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, LPCSTR name) {
    auto m = std::make_shared<MutexObj>();
    ThreadObj& self = currentThread();
    if (initialOwner) {
        Lock lk = lockScheduler();
        m->acquire(self); // before anyone else can open it by name
    }
    HANDLE h = createNamed(name, KObject::Kind::Mutex, m);
    DWORD error = GetLastError();
    // An existing mutex of that name is opened as it is: the new one was not needed.
    if (initialOwner && (!h || error == ERROR_ALREADY_EXISTS)) {
        Lock lk = lockScheduler();
        m->release(self);
    }
    SetLastError(error);
    return h;
}

BOOL ReleaseMutex(HANDLE mutex) {
    std::shared_ptr<MutexObj> m = lookupHandleAs<MutexObj>(mutex, KObject::Kind::Mutex);
    if (!m) return FALSE;
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    if (!m->release(self)) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) {
    std::shared_ptr<KObject> o = lookupHandle(h);
    if (!o) return WAIT_FAILED;
    KObject* objects[1] = {o.get()};
    return waitForObjects(objects, false, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<KObject> held[MAXIMUM_WAIT_OBJECTS];
    KObject* objects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        held[i] = lookupHandle(handles[i]);
        if (!held[i]) return WAIT_FAILED;
        objects[i] = held[i].get();
    }
    return waitForObjects(std::span<KObject* const>(objects, count), waitAll != FALSE,
                          milliseconds);
}

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    cs->impl = new MutexObj;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    KObject* objects[1] = {criticalSectionMutex(cs)};
    waitForObjects(objects, false, INFINITE);
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    MutexObj* m = criticalSectionMutex(cs);
    ThreadObj& self = currentThread();
    Lock lk = lockScheduler();
    m->release(self);
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    delete criticalSectionMutex(cs);
    cs->impl = nullptr;
}

LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand; // the value found, whether or not it was replaced
}

LONG InterlockedIncrement(volatile LONG* target) {
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* target) {
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}

} // extern "C"
