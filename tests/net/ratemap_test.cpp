#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/registry.h"
#include "net/netclasses.h"
#include "net/ratemap.h"

using namespace skv;

namespace {

std::unique_ptr<skvRateMap> mapOf(std::vector<int32_t> v) {
    auto m = std::make_unique<skvRateMap>();
    m->assign(v.data(), static_cast<int16_t>(v.size()));
    return m;
}

std::vector<uint8_t> stored(skvObject& obj) {
    auto* pipe = new MemoryPipe;
    uArchive ar(pipe, uArchive::kStoring);
    writeObject(ar, obj);
    return pipe->bytes();
}

// An object header naming skvRateMap, then `body`.
std::vector<uint8_t> withHeader(const std::vector<uint8_t>& body) {
    skvRateMap empty;
    std::vector<uint8_t> bytes = stored(empty);
    bytes.resize(skvObject::kHeaderSize);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

} // namespace

TEST(RateMapDeficit, DownloadSlowerThanPlaybackBuildsADeficit) {
    auto m = mapOf({5000, 5000, 5000});
    EXPECT_EQ(m->maxDeficit(4000), 3000);
    EXPECT_EQ(m->maxDeficit(6000), 0);
    EXPECT_EQ(m->maxDeficit(5000), 0);
    // A burst late in the movie counts only once the earlier surplus is used up.
    auto burst = mapOf({1000, 1000, 9000, 1000});
    EXPECT_EQ(burst->maxDeficit(3000), 2000); // -2000, -4000, +2000, 0
    EXPECT_EQ(burst->maxDeficit(3000, 2, -1), 6000);
    EXPECT_EQ(burst->maxDeficit(3000, -1, 2), 0);
}

TEST(RateMapDeficit, RangeIsKeptInsideTheMapAndSumsDoNotOverflow) {
    auto m = mapOf({5000, 5000, 5000});
    EXPECT_EQ(m->maxDeficit(0, 0, 100), 15000);
    EXPECT_EQ(m->maxDeficit(0, 5, -1), 0);
    skvRateMap empty;
    EXPECT_EQ(empty.maxDeficit(1000), 0);
    std::vector<int32_t> huge(20, INT32_MAX);
    auto big = mapOf(huge);
    EXPECT_EQ(big->maxDeficit(0), INT32_MAX);
    EXPECT_EQ(big->maxDeficit(INT32_MAX), 0);
}

TEST(RateMapStorage, RoundTripThroughTheObjectReader) {
    registerNetClasses();
    auto m = mapOf({5000, -7, 0, 123456});
    EXPECT_EQ(m->sizeHint(), 4 * 4 + 8);
    std::vector<uint8_t> bytes = stored(*m);
    ASSERT_EQ(bytes.size(), size_t(skvObject::kHeaderSize + 2 + 16));
    // The body: int16 count, then the entries little-endian.
    EXPECT_EQ(bytes[64], 4);
    EXPECT_EQ(bytes[65], 0);
    EXPECT_EQ(bytes[66], 0x88); // 5000 = 0x1388
    EXPECT_EQ(bytes[67], 0x13);

    uArchive ar(new MemoryPipe(bytes), uArchive::kLoading);
    skvObject* obj = readObject(ar);
    ASSERT_NE(obj, nullptr);
    EXPECT_TRUE(obj->classId == CLSID_skvRateMap);
    auto* back = dynamic_cast<skvRateMap*>(obj);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->count, 4);
    EXPECT_EQ(back->entries[0], 5000);
    EXPECT_EQ(back->entries[1], -7);
    EXPECT_EQ(back->entries[3], 123456);
    EXPECT_EQ(back->storedSizeHint, 24);
    EXPECT_EQ(back->valid(), 1);
    obj->destroy();
}

TEST(RateMapStorage, EmptyMapStoresOnlyItsCount) {
    skvRateMap m;
    std::vector<uint8_t> bytes = stored(m);
    EXPECT_EQ(bytes.size(), size_t(skvObject::kHeaderSize + 2));
    EXPECT_EQ(m.sizeHint(), 8);
}

TEST(RateMapStorage, CorruptCountsAreRefused) {
    registerNetClasses();
    auto readCode = [](std::vector<uint8_t> bytes) {
        uArchive ar(new MemoryPipe(std::move(bytes)), uArchive::kLoading);
        try {
            skvObject* obj = readObject(ar);
            if (obj) obj->destroy();
            return obj ? 0 : -1;
        } catch (const CoreError& e) {
            return e.code;
        }
    };
    // count -1 and -32768
    EXPECT_EQ(readCode(withHeader({0xFF, 0xFF, 1, 2, 3, 4})), kErrShortRead);
    EXPECT_EQ(readCode(withHeader({0x00, 0x80})), kErrShortRead);
    // The largest count on a stream that holds two entries ends at the short read.
    EXPECT_EQ(readCode(withHeader({0xFF, 0x7F, 1, 0, 0, 0, 2, 0, 0, 0})), kErrShortRead);
    // A missing count.
    EXPECT_EQ(readCode(withHeader({0x01})), kErrShortRead);
    EXPECT_EQ(readCode(withHeader({2, 0, 1, 0, 0, 0, 2, 0, 0, 0})), 0);
}

TEST(RateMapStorage, LoadingAgainReplacesTheEntries) {
    auto first = mapOf({1, 2, 3});
    auto second = mapOf({9});
    std::vector<uint8_t> bytes = stored(*second);
    bytes.erase(bytes.begin(), bytes.begin() + skvObject::kHeaderSize);
    uArchive ar(new MemoryPipe(bytes), uArchive::kLoading);
    first->serialize(ar);
    ASSERT_EQ(first->count, 1);
    EXPECT_EQ(first->entries[0], 9);
}
