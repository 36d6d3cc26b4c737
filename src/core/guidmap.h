// A hash map keyed by GUID: 107 buckets, each a singly linked chain. The hash of a GUID is
// Data1 + Data2 + Data3 + the first four bytes of Data4 (little-endian), in unsigned 32-bit
// arithmetic; the bucket is the hash mod 107. The map has its own mutex, taken inside each
// operation. It does not own its values.
#pragma once

#include <cstdint>
#include <functional>

#include "core/Util/nmtx.h"
#include "platform/win32.h"

namespace skv {

class GuidMap {
public:
    static constexpr uint32_t kBuckets = 107;

    GuidMap() = default;
    ~GuidMap(); // frees the nodes, not the values
    GuidMap(const GuidMap&) = delete;
    GuidMap& operator=(const GuidMap&) = delete;

    static uint32_t hash(const GUID& key);
    static uint32_t bucketOf(const GUID& key) { return hash(key) % kBuckets; }

    // Inserts or replaces; returns the value the key held before (null if it was absent).
    void* insert(const GUID& key, void* value);
    void* find(const GUID& key) const;
    bool remove(const GUID& key);
    // Calls f for every value, bucket by bucket, in chain order.
    void forEach(const std::function<void(const GUID&, void*)>& f) const;
    // Frees every node, not the values.
    void clear();
    size_t size() const;

private:
    struct Node {
        GUID key;
        Node* next;
        void* value;
    };
    mutable nmtx lock_;
    Node* buckets_[kBuckets] = {};
};

} // namespace skv
