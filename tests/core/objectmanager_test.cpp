#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/classids.h"
#include "core/endmarkers.h"
#include "core/guid.h"
#include "core/guidmap.h"
#include "core/memorypipe.h"
#include "core/objectmanager.h"
#include "core/registry.h"
#include "platform/clock.h"
#include "worker.h"

using namespace skv;
using skv::test::Worker;

namespace {

int gLive = 0;

// An object that counts its live instances, so that a leak or an early destroy shows.
class Counted : public skvObject {
public:
    explicit Counted(const GUID& id, int32_t tag = 0) : tag(tag) {
        objectId = id;
        ++gLive;
    }
    ~Counted() override { --gLive; }
    int32_t tag;
};

// Each test runs on the virtual clock: a 5000 ms time-out costs nothing, and a virtual Sleep in
// one thread returns only once every other participating thread is blocked, which is how these
// tests know a waiter is really waiting.
class ObjectManagerWait : public ::testing::Test {
protected:
    void SetUp() override {
        gLive = 0;
        platform::setVirtualClock(true, kStart);
    }
    void TearDown() override {
        platform::setVirtualClock(false);
        platform::leaveVirtualClock();
        EXPECT_EQ(gLive, 0) << "objects leaked or destroyed twice";
    }
    static uint64_t now() { return platform::clockNowMs() - kStart; }
    static constexpr uint64_t kStart = 50000;
};

// A waiter's outcome: what it got and when.
struct Outcome {
    skvObject* object = reinterpret_cast<skvObject*>(1); // anything but a possible result
    uint64_t at = 0;
};

TEST_F(ObjectManagerWait, ObjectArrivingLaterIsReturnedWhenItArrives) {
    qmsObjectManager m;
    m.beginStreaming();
    auto* obj = new Counted(memberGuid(7));
    Worker producer([&] {
        Sleep(100);
        m.add(obj);
    });
    skvObject* got = m.findOrWait(memberGuid(7));
    EXPECT_EQ(now(), 100u);
    EXPECT_EQ(got, obj);
    producer.join();
    m.clear();
}

TEST_F(ObjectManagerWait, NotStreamingOrZeroIdAnswersAtOnce) {
    qmsObjectManager m;
    auto* present = new Counted(memberGuid(1));
    m.add(present);
    EXPECT_EQ(m.findOrWait(memberGuid(2)), nullptr); // nothing more will arrive
    EXPECT_EQ(m.findOrWait(memberGuid(1)), present);
    EXPECT_EQ(now(), 0u);

    m.beginStreaming();
    // An object stored under the zero identifier is never found, and asking for it never waits.
    m.add(new Counted(GUID{}));
    EXPECT_EQ(m.find(GUID{}), nullptr);
    EXPECT_EQ(m.findOrWait(GUID{}), nullptr);
    EXPECT_EQ(now(), 0u);
    m.clear();
}

TEST_F(ObjectManagerWait, ObjectThatNeverArrivesGivesNullAfterTheTimeOut) {
    qmsObjectManager m;
    m.beginStreaming();
    EXPECT_EQ(m.findOrWait(memberGuid(3)), nullptr);
    EXPECT_EQ(now(), uint64_t{qmsObjectManager::kWaitMs});
    // The expired wait is off the list: a later add for the same identifier has nobody to wake
    // and a later wait works as before.
    auto* obj = new Counted(memberGuid(3));
    m.add(obj);
    EXPECT_EQ(m.findOrWait(memberGuid(3)), obj);
    m.clear();
}

TEST_F(ObjectManagerWait, OneAddReleasesEveryWaiterForItsIdentifier) {
    qmsObjectManager m;
    m.beginStreaming();
    Outcome a, b, other;
    {
        Worker wa([&] { a = {m.findOrWait(memberGuid(5)), now()}; });
        Worker wb([&] { b = {m.findOrWait(memberGuid(5)), now()}; });
        Worker wo([&] { other = {m.findOrWait(memberGuid(6)), now()}; });
        Sleep(100); // returns once all three are waiting
        auto* obj = new Counted(memberGuid(5));
        m.add(obj);
        wa.join();
        wb.join();
        EXPECT_EQ(a.object, obj);
        EXPECT_EQ(b.object, obj);
        EXPECT_EQ(a.at, 100u);
        EXPECT_EQ(b.at, 100u);
    }
    // The waiter for another identifier was left alone and ran into its time-out.
    EXPECT_EQ(other.object, nullptr);
    EXPECT_EQ(other.at, uint64_t{qmsObjectManager::kWaitMs});
    m.clear();
}

TEST_F(ObjectManagerWait, EndStreamingReleasesAllWaitersAtOnce) {
    qmsObjectManager m;
    m.beginStreaming();
    Outcome a, b;
    {
        Worker wa([&] { a = {m.findOrWait(memberGuid(8)), now()}; });
        Worker wb([&] { b = {m.findOrWait(memberGuid(9)), now()}; });
        Sleep(100);
        m.endStreaming();
    }
    EXPECT_EQ(a.object, nullptr);
    EXPECT_EQ(b.object, nullptr);
    EXPECT_EQ(a.at, 100u);
    EXPECT_EQ(b.at, 100u);
    EXPECT_FALSE(m.isStreaming());
    EXPECT_EQ(m.findOrWait(memberGuid(8)), nullptr);
    EXPECT_EQ(now(), 100u);
}

TEST_F(ObjectManagerWait, ManyWaitersAndAddsInterleaved) {
    // A load for the sanitizers: waits, adds and time-outs racing on one manager.
    constexpr int kIds = 16;
    qmsObjectManager m;
    m.beginStreaming();
    std::vector<Outcome> seen(kIds);
    {
        std::vector<std::unique_ptr<Worker>> waiters;
        for (int i = 0; i < kIds; ++i)
            waiters.push_back(std::make_unique<Worker>([&, i] {
                seen[i] = {m.findOrWait(memberGuid(100 + i)), now()};
            }));
        Worker producer([&] {
            for (int i = 0; i < kIds; i += 2) {
                Sleep(10);
                m.add(new Counted(memberGuid(100 + i), i));
            }
        });
    }
    for (int i = 0; i < kIds; ++i) {
        if (i % 2 == 0) {
            ASSERT_NE(seen[i].object, nullptr) << i;
            EXPECT_EQ(static_cast<Counted*>(seen[i].object)->tag, i);
            EXPECT_EQ(seen[i].at, uint64_t(10 * (i / 2 + 1))) << i;
        } else {
            EXPECT_EQ(seen[i].object, nullptr) << i;
            EXPECT_EQ(seen[i].at, uint64_t{qmsObjectManager::kWaitMs}) << i;
        }
    }
    m.clear();
}

TEST(ObjectManagerStore, DuplicateIdentifierKeepsTheOldObjectUntilClear) {
    gLive = 0;
    {
        qmsObjectManager m;
        auto* first = new Counted(memberGuid(4), 1);
        auto* second = new Counted(memberGuid(4), 2);
        m.add(first);
        m.add(second);
        EXPECT_EQ(m.find(memberGuid(4)), second);
        EXPECT_EQ(m.count(), 1u);
        // A consumer that found the first one may still use it.
        EXPECT_EQ(first->tag, 1);
        EXPECT_EQ(gLive, 2);
        // The same object added again is not a replacement and is destroyed once.
        m.add(second);
        m.clear();
        EXPECT_EQ(gLive, 0);
        EXPECT_EQ(m.find(memberGuid(4)), nullptr);
        EXPECT_EQ(m.count(), 0u);
        // The manager is usable after clear.
        m.add(new Counted(memberGuid(4), 3));
        EXPECT_EQ(static_cast<Counted*>(m.find(memberGuid(4)))->tag, 3);
        m.clear();
    }
    EXPECT_EQ(gLive, 0);
}

TEST(ObjectManagerStore, CollidingKeysShareABucketAndStayApart) {
    gLive = 0;
    // Data4's last four bytes do not enter the hash.
    const GUID a{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
    const GUID b{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 9, 9, 9, 9}};
    ASSERT_EQ(GuidMap::hash(a), GuidMap::hash(b));
    ASSERT_EQ(GuidMap::bucketOf(a), GuidMap::bucketOf(b));
    qmsObjectManager m;
    auto* oa = new Counted(a, 1);
    auto* ob = new Counted(b, 2);
    m.add(oa);
    m.add(ob);
    EXPECT_EQ(m.find(a), oa);
    EXPECT_EQ(m.find(b), ob);
    EXPECT_EQ(m.count(), 2u);
    int visited = 0;
    m.forEach([&](skvObject* o) {
        EXPECT_TRUE(o == oa || o == ob);
        ++visited;
    });
    EXPECT_EQ(visited, 2);
    m.clear();
    EXPECT_EQ(gLive, 0);
}

TEST(ObjectManagerStore, SerializesOnlyItsHeader) {
    registerCoreClasses();
    qmsObjectManager m;
    EXPECT_TRUE(guidEqual(m.classId, CLSID_qmsObjectManager));
    m.add(new Counted(memberGuid(1)));

    auto* out = new MemoryPipe;
    {
        uArchive ar(out, uArchive::kStoring);
        writeObject(ar, m);
        EXPECT_EQ(out->size(), skvObject::kHeaderSize);

        // Read back through the registry: nothing of the body is consumed, so the byte that
        // follows is still there for the next object.
        std::vector<uint8_t> bytes = out->bytes();
        bytes.push_back(0xAB);
        auto* in = new MemoryPipe(std::move(bytes));
        uArchive rd(in, uArchive::kLoading);
        skvObject* loaded = readObject(rd);
        ASSERT_NE(loaded, nullptr);
        EXPECT_NE(dynamic_cast<qmsObjectManager*>(loaded), nullptr);
        EXPECT_TRUE(guidEqual(loaded->objectId, m.objectId));
        EXPECT_EQ(in->remaining(), 1u);
        loaded->destroy();
    }
    m.clear();
}

TEST(GuidMapHash, SumsTheFieldsWithWrapAroundAndLittleEndianData4) {
    // Data1 + Data2 + Data3 wraps past 2^32.
    EXPECT_EQ(GuidMap::hash(GUID{0xFFFFFFFF, 1, 0, {}}), 0u);
    // Data4[0..3] is a little-endian word whatever the host.
    EXPECT_EQ(GuidMap::hash(GUID{0, 0, 0, {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}}), 0x01000000u);
    EXPECT_EQ(GuidMap::hash(GUID{5, 6, 7, {1, 0, 0, 0, 0, 0, 0, 0}}), 19u);
    // 107 buckets: keys 107 apart share one, keys 100 or 128 apart do not.
    EXPECT_EQ(GuidMap::bucketOf(GUID{3, 0, 0, {}}), GuidMap::bucketOf(GUID{110, 0, 0, {}}));
    EXPECT_NE(GuidMap::bucketOf(GUID{3, 0, 0, {}}), GuidMap::bucketOf(GUID{103, 0, 0, {}}));
    EXPECT_NE(GuidMap::bucketOf(GUID{3, 0, 0, {}}), GuidMap::bucketOf(GUID{131, 0, 0, {}}));
}

TEST(GuidMapHash, ChainKeepsOrderReplacesAndRemoves) {
    GuidMap map;
    int v[4] = {};
    // Three keys in one bucket, told apart only by Data4's last bytes.
    auto key = [](uint8_t n) { return GUID{42, 0, 0, {0, 0, 0, 0, n, 0, 0, 0}}; };
    EXPECT_EQ(map.insert(key(1), &v[0]), nullptr);
    EXPECT_EQ(map.insert(key(2), &v[1]), nullptr);
    EXPECT_EQ(map.insert(key(3), &v[2]), nullptr);
    // Replacing hands back the old value and keeps the node's place.
    EXPECT_EQ(map.insert(key(2), &v[3]), &v[1]);
    std::vector<void*> order;
    map.forEach([&](const GUID&, void* p) { order.push_back(p); });
    EXPECT_EQ(order, (std::vector<void*>{&v[0], &v[3], &v[2]}));
    EXPECT_TRUE(map.remove(key(2)));
    EXPECT_FALSE(map.remove(key(2)));
    EXPECT_EQ(map.find(key(1)), &v[0]);
    EXPECT_EQ(map.find(key(2)), nullptr);
    EXPECT_EQ(map.find(key(3)), &v[2]);
    EXPECT_EQ(map.size(), 2u);
    map.clear();
    EXPECT_EQ(map.size(), 0u);
    EXPECT_EQ(map.find(key(1)), nullptr);
}

TEST(EndMarkers, RoundTripThroughTheRegistry) {
    registerCoreClasses();
    NTrailer trailer;
    NChain chain;
    for (int i = 0; i < NChain::kBlockSize; ++i)
        EXPECT_EQ(chain.block[i], 0) << i;
    for (int i = 0; i < NChain::kBlockSize; ++i)
        chain.block[i] = static_cast<uint8_t>(i * 7);

    auto* out = new MemoryPipe;
    uArchive ar(out, uArchive::kStoring);
    writeObject(ar, trailer);
    EXPECT_EQ(out->size(), skvObject::kHeaderSize);
    writeObject(ar, chain);
    EXPECT_EQ(out->size(), 2 * skvObject::kHeaderSize + NChain::kBlockSize);

    uArchive rd(new MemoryPipe(out->bytes()), uArchive::kLoading);
    skvObject* t = readObject(rd);
    skvObject* c = readObject(rd);
    ASSERT_NE(t, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(guidEqual(t->classId, CLSID_NTrailer));
    EXPECT_EQ(t->storedSizeHint, 0);
    auto* loaded = dynamic_cast<NChain*>(c);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->storedSizeHint, NChain::kBlockSize);
    EXPECT_EQ(0, std::memcmp(loaded->block, chain.block, NChain::kBlockSize));
    t->destroy();
    c->destroy();
}

} // namespace
