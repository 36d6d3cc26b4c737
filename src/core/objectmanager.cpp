#include "core/objectmanager.h"

#include <algorithm>

#include "core/archive.h"
#include "core/classids.h"
#include "core/guid.h"

namespace skv {

namespace {

LONG loadLong(const volatile LONG& v) {
    return __atomic_load_n(&v, __ATOMIC_SEQ_CST);
}

} // namespace

// ---- WaitList -------------------------------------------------------------------------------

WaitList::~WaitList() {
    clear();
}

void WaitList::add(uObjectWait* wait) {
    NMTX_SCOPED(guard, &lock_);
    Node** link = &head_;
    for (; *link; link = &(*link)->next)
        if ((*link)->wait == wait) return;
    *link = new Node{wait, nullptr};
}

void WaitList::remove(uObjectWait* wait) {
    NMTX_SCOPED(guard, &lock_);
    for (Node** link = &head_; *link; link = &(*link)->next) {
        if ((*link)->wait == wait) {
            Node* gone = *link;
            *link = gone->next;
            // Removing the node under the cursor ends the walk; callers start again at first().
            if (cursor_ == gone) cursor_ = nullptr;
            delete gone;
            return;
        }
    }
}

uObjectWait* WaitList::first() {
    NMTX_SCOPED(guard, &lock_);
    cursor_ = head_;
    return cursor_ ? cursor_->wait : nullptr;
}

uObjectWait* WaitList::next() {
    NMTX_SCOPED(guard, &lock_);
    if (cursor_) cursor_ = cursor_->next;
    return cursor_ ? cursor_->wait : nullptr;
}

void WaitList::clear() {
    NMTX_SCOPED(guard, &lock_);
    while (head_) {
        Node* next = head_->next;
        delete head_;
        head_ = next;
    }
    cursor_ = nullptr;
}

// ---- qmsObjectManager -----------------------------------------------------------------------

qmsObjectManager::qmsObjectManager() : waits_(new WaitList) {
    setClassId(CLSID_qmsObjectManager);
}

qmsObjectManager::~qmsObjectManager() {
    // Objects still stored are not destroyed here: whoever stops the movie clears the manager
    // first, and a manager torn down without that must not pull objects from under their users.
    NMTX_SCOPED(guard, &lock_);
    delete waits_;
    waits_ = nullptr;
}

void qmsObjectManager::serialize(uArchive& ar) {
    // Only the header travels: the manager's contents are the stream itself.
    skvObject::serialize(ar);
}

skvObject* qmsObjectManager::find(const GUID& objectId) {
    if (guidIsNull(objectId)) return nullptr;
    NMTX_SCOPED(guard, &lock_);
    return static_cast<skvObject*>(objects_.find(objectId));
}

skvObject* qmsObjectManager::findOrWait(const GUID& objectId) {
    if (guidIsNull(objectId)) return nullptr;

    // Armed before it is listed and never reset, so a signal given before the wait starts is
    // kept.
    uObjectWait wait{objectId, CreateEventA(nullptr, TRUE, FALSE, nullptr), 0};
    {
        // The look-up and the registration happen under one hold of `lock_`: an add() slipping
        // in between would otherwise find no wait to release and cost a full time-out.
        NMTX_SCOPED(guard, &lock_);
        if (skvObject* found = find(objectId)) {
            if (wait.event) CloseHandle(wait.event);
            return found;
        }
        // Nothing more arrives once the stream has ended.
        if (!loadLong(streaming_) || !wait.event) {
            if (wait.event) CloseHandle(wait.event);
            return nullptr;
        }
        waits_->add(&wait);
        wait.startTick = GetTickCount();
    }

    // A time-out is not an error: the final look-up tells whether the object made it.
    WaitForSingleObject(wait.event, kWaitMs);

    {
        // Under `lock_`, so that an add() or endStreaming() walking the list never holds this
        // wait after it has left the stack.
        NMTX_SCOPED(guard, &lock_);
        waits_->remove(&wait);
    }
    CloseHandle(wait.event);
    return find(objectId);
}

void qmsObjectManager::add(skvObject* object) {
    if (!object) return;
    NMTX_SCOPED(guard, &lock_);
    auto* old = static_cast<skvObject*>(objects_.insert(object->objectId, object));
    // A consumer may still hold the object it found before; it stays alive until clear().
    if (old && old != object) replaced_.push_back(old);

    // Every wait for this identifier is released; the walk starts over after each removal
    // because removing the node under the cursor ends the walk.
    for (;;) {
        uObjectWait* match = nullptr;
        for (uObjectWait* w = waits_->first(); w; w = waits_->next()) {
            if (guidEqual(w->objectId, object->objectId)) {
                match = w;
                break;
            }
        }
        if (!match) break;
        waits_->remove(match);
        // Signalled with `lock_` still held: the waiter's final find() blocks until this add()
        // is over and then sees the new object.
        SetEvent(match->event);
    }
}

void qmsObjectManager::beginStreaming() {
    InterlockedExchange(&streaming_, 1);
}

void qmsObjectManager::endStreaming() {
    InterlockedExchange(&streaming_, 0);
    NMTX_SCOPED(guard, &lock_);
    while (uObjectWait* w = waits_->first()) {
        waits_->remove(w);
        SetEvent(w->event);
    }
}

void qmsObjectManager::clear() {
    NMTX_SCOPED(guard, &lock_);
    std::vector<skvObject*> doomed(replaced_.begin(), replaced_.end());
    objects_.forEach([&](const GUID&, void* v) { doomed.push_back(static_cast<skvObject*>(v)); });
    objects_.clear();
    replaced_.clear();
    // An object added twice (under two identifiers, or again after being replaced) is still
    // destroyed once.
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    // Destroyed outside the map's own lock: a destructor may look something up.
    for (skvObject* o : doomed)
        o->destroy();
}

bool qmsObjectManager::isStreaming() const {
    return loadLong(streaming_) != 0;
}

void qmsObjectManager::forEach(const std::function<void(skvObject*)>& f) const {
    NMTX_SCOPED(guard, &lock_);
    objects_.forEach([&](const GUID&, void* v) { f(static_cast<skvObject*>(v)); });
}

} // namespace skv
