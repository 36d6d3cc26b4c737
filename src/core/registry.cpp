#include "core/registry.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "core/abandon.h"
#include "core/guid.h"
#include "core/object.h"

namespace skv {

namespace {

std::atomic<const ClassRegistration*> gHead{nullptr};

CRITICAL_SECTION* registrationLock() {
    // Created on the first registration and deleted when the module unloads (a plug-in is
    // unloaded by its browser). Every registration is made after it, so it outlives them all.
    struct Lock {
        CRITICAL_SECTION cs;
        Lock() { InitializeCriticalSection(&cs); }
        ~Lock() { DeleteCriticalSection(&cs); }
    };
    static Lock lock;
    return &lock.cs;
}

const ClassRegistration* findEntry(const GUID& classId) {
    for (auto* e = gHead.load(std::memory_order_acquire); e; e = e->next)
        if (guidEqual(e->classId, classId)) return e;
    return nullptr;
}

} // namespace

ClassRegistration::ClassRegistration(const GUID& id, ObjectFactory f, const char* n)
    : classId(id), factory(f), name(n) {
    CRITICAL_SECTION* cs = registrationLock();
    EnterCriticalSection(cs);
    next = gHead.load(std::memory_order_relaxed);
    gHead.store(this, std::memory_order_release);
    LeaveCriticalSection(cs);
}

skvObject* createObject(const GUID& classId) {
    const ClassRegistration* e = findEntry(classId);
    if (!e || !e->factory) return nullptr;
    try {
        return e->factory();
    } catch (...) {
        abandoned("createObject", "the factory of %s (%s) raised %s", e->name ? e->name : "",
                  guidText(classId).c_str(), caughtExceptionText().c_str());
        std::printf("Exception caught trying to construct object of type %x\n",
                    static_cast<unsigned>(classId.Data1));
        return nullptr;
    }
}

bool isClassRegistered(const GUID& classId) {
    return findEntry(classId) != nullptr;
}

const char* classNameOf(const GUID& classId) {
    const ClassRegistration* e = findEntry(classId);
    return e ? e->name : "UNKNOWN CLASS";
}

} // namespace skv
