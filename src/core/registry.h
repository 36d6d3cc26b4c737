// The process-wide class registry: class identifier -> factory and display name.
//
// A singly linked list with a global head; a new entry goes to the head, so a later registration
// of the same identifier shadows an earlier one. Registration happens at module start-up, under a
// critical section; lookups take no lock (the head is published with release semantics).
//
// Each subsystem registers its classes in one function (registerCoreClasses() and the like) that
// the module calls from its start-up; each such function registers its classes once however often
// it is called.
#pragma once

#include <new>

#include "core/errors.h"
#include "platform/win32.h"

namespace skv {

class skvObject;

using ObjectFactory = skvObject* (*)();

struct ClassRegistration {
    ClassRegistration(const GUID& classId, ObjectFactory factory, const char* name);

    GUID classId;
    ObjectFactory factory;
    const char* name;
    const ClassRegistration* next = nullptr;
};

// The first registered class with this identifier builds the object; null when none matches or
// the factory fails (a diagnostic line says which).
skvObject* createObject(const GUID& classId);
bool isClassRegistered(const GUID& classId);
// The name of the class, or "UNKNOWN CLASS".
const char* classNameOf(const GUID& classId);

// A factory for T: allocation failure raises CoreError 2000.
template <class T> skvObject* makeObject() {
    T* p = new (std::nothrow) T();
    if (!p) throw CoreError{kErrAllocFailed};
    return p;
}

// Registers skvObject and the stream core's own classes.
void registerCoreClasses();

} // namespace skv
