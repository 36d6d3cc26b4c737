// qmsObjectManager: the per-movie store of every object read from the stream, keyed by objectId,
// and the place where a consumer waits (at most 5000 ms) for an object still on its way.
//
// Lock order: `lock_` first, then the map's or the wait list's own mutex; those two never lock
// each other. add() signals waiters while it still holds `lock_`, so a released waiter's final
// find() always sees the new object.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Util/nmtx.h"
#include "core/guidmap.h"
#include "core/object.h"

namespace skv {

// One pending wait.
struct uObjectWait {
    GUID objectId;
    HANDLE event; // manual-reset, armed (non-signalled) before the wait is listed
    DWORD startTick;
};

// The pending waits: a singly linked list with its own mutex and an iteration cursor.
class WaitList {
public:
    WaitList() = default;
    ~WaitList();
    WaitList(const WaitList&) = delete;
    WaitList& operator=(const WaitList&) = delete;

    void add(uObjectWait* wait); // appends unless already listed
    void remove(uObjectWait* wait);
    uObjectWait* first(); // resets the cursor to the head
    uObjectWait* next();
    void clear(); // frees the nodes, not the waits

private:
    struct Node {
        uObjectWait* wait;
        Node* next;
    };
    nmtx lock_;
    Node* head_ = nullptr;
    Node* cursor_ = nullptr;
};

class qmsObjectManager : public skvObject {
public:
    static constexpr DWORD kWaitMs = 5000;

    qmsObjectManager();
    ~qmsObjectManager() override;

    int32_t sizeHint() override { return 0; }
    void serialize(uArchive& ar) override; // header only

    // Slot 8.
    virtual skvObject* find(const GUID& objectId);
    // Slot 9: find, or wait up to 5000 ms while the stream is still delivering.
    virtual skvObject* findOrWait(const GUID& objectId);

    // Stores an object just read (the manager owns it from now on) and wakes its waiters. An
    // object whose identifier is already present replaces the old one in the map; the old one is
    // kept alive (a consumer may still be using it) and destroyed at clear().
    void add(skvObject* object);
    void beginStreaming();
    // Clears the streaming flag and releases every pending wait.
    void endStreaming();
    // Destroys every stored object (and every replaced one).
    void clear();

    bool isStreaming() const;
    size_t count() const { return objects_.size(); }
    // Calls f for every stored object.
    void forEach(const std::function<void(skvObject*)>& f) const;

private:
    mutable nmtx lock_;
    GuidMap objects_;
    WaitList* waits_;
    volatile LONG streaming_ = 0;
    std::vector<skvObject*> replaced_;
};

} // namespace skv
