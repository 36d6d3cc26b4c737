#include "core/guidmap.h"

#include "core/guid.h"

namespace skv {

GuidMap::~GuidMap() {
    clear();
}

uint32_t GuidMap::hash(const GUID& key) {
    // Data4's first four bytes count as a little-endian word whatever the host's byte order.
    uint32_t d4 = uint32_t(key.Data4[0]) | (uint32_t(key.Data4[1]) << 8) |
                  (uint32_t(key.Data4[2]) << 16) | (uint32_t(key.Data4[3]) << 24);
    return key.Data1 + uint32_t(key.Data2) + uint32_t(key.Data3) + d4;
}

void* GuidMap::insert(const GUID& key, void* value) {
    NMTX_SCOPED(guard, &lock_);
    Node** link = &buckets_[bucketOf(key)];
    for (; *link; link = &(*link)->next) {
        if (guidEqual((*link)->key, key)) {
            void* old = (*link)->value;
            (*link)->value = value;
            return old;
        }
    }
    // Appended at the chain's end, so a chain lists its keys in insertion order.
    *link = new Node{key, nullptr, value};
    return nullptr;
}

void* GuidMap::find(const GUID& key) const {
    NMTX_SCOPED(guard, &lock_);
    for (const Node* n = buckets_[bucketOf(key)]; n; n = n->next)
        if (guidEqual(n->key, key)) return n->value;
    return nullptr;
}

bool GuidMap::remove(const GUID& key) {
    NMTX_SCOPED(guard, &lock_);
    for (Node** link = &buckets_[bucketOf(key)]; *link; link = &(*link)->next) {
        if (guidEqual((*link)->key, key)) {
            Node* gone = *link;
            *link = gone->next;
            delete gone;
            return true;
        }
    }
    return false;
}

void GuidMap::forEach(const std::function<void(const GUID&, void*)>& f) const {
    NMTX_SCOPED(guard, &lock_);
    for (const Node* head : buckets_)
        for (const Node* n = head; n; n = n->next)
            f(n->key, n->value);
}

void GuidMap::clear() {
    NMTX_SCOPED(guard, &lock_);
    for (Node*& head : buckets_) {
        while (head) {
            Node* next = head->next;
            delete head;
            head = next;
        }
    }
}

size_t GuidMap::size() const {
    NMTX_SCOPED(guard, &lock_);
    size_t count = 0;
    for (const Node* head : buckets_)
        for (const Node* n = head; n; n = n->next)
            ++count;
    return count;
}

} // namespace skv
