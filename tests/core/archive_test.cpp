#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/memorypipe.h"

using namespace skv;

namespace {

std::vector<uint8_t> stored(const std::function<void(uArchive&)>& f) {
    auto* pipe = new MemoryPipe;
    uArchive ar(pipe, uArchive::kStoring);
    f(ar);
    std::vector<uint8_t> out = pipe->bytes();
    return out;
}

// A loading archive over the given bytes; the archive owns the pipe.
struct Loader {
    explicit Loader(std::vector<uint8_t> bytes)
        : pipe(new MemoryPipe(std::move(bytes))), ar(pipe, uArchive::kLoading) {}
    MemoryPipe* pipe;
    uArchive ar;
};

int shortReadCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const CoreError& e) {
        return e.code;
    }
    return 0;
}

} // namespace

TEST(ArchiveEncoding, PrimitivesAreLittleEndianAndUnpadded) {
    EXPECT_EQ(stored([](uArchive& a) { a.writeInt32(0x4A424F4E); }),
              (std::vector<uint8_t>{0x4E, 0x4F, 0x42, 0x4A}));
    EXPECT_EQ(stored([](uArchive& a) { a.writeInt16(-2).writeInt32(-1); }),
              (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(stored([](uArchive& a) { a.writeGuid(CLSID_NTrailer); }),
              (std::vector<uint8_t>{0x97, 0xDE, 0x90, 0x1A, 0xFC, 0xAF, 0xCF, 0x11, 0xBA, 0xF5,
                                    0x00, 0x80, 0xC8, 0x0D, 0x28, 0x9D}));
}

TEST(ArchiveEncoding, StringsCarryLengthPlusNul) {
    EXPECT_EQ(stored([](uArchive& a) { a.writeString("abc"); }),
              (std::vector<uint8_t>{4, 0, 0, 0, 'a', 'b', 'c', 0}));
    EXPECT_EQ(stored([](uArchive& a) { a.writeString(nullptr); }),
              (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(stored([](uArchive& a) { a.writeString(""); }),
              (std::vector<uint8_t>{1, 0, 0, 0, 0}));
}

TEST(ArchiveEncoding, RoundTripOfEveryPrimitive) {
    auto bytes = stored([](uArchive& a) {
        a.writeInt32(INT32_MIN).writeInt16(INT16_MIN).writeGuid(CLSID_skvAuthorInfo);
        a.writeString("hello").writeString(nullptr);
        uint8_t raw[3] = {9, 8, 7};
        a.write(raw, 3);
    });
    Loader l(bytes);
    EXPECT_EQ(l.ar.readInt32(), INT32_MIN);
    EXPECT_EQ(l.ar.readInt16(), INT16_MIN);
    EXPECT_TRUE(l.ar.readGuid() == CLSID_skvAuthorInfo);
    int32_t len = -1;
    auto s = l.ar.readStringNew(&len);
    EXPECT_STREQ(s.get(), "hello");
    EXPECT_EQ(len, 6);
    auto nul = l.ar.readStringNew(&len);
    EXPECT_EQ(len, 0);
    EXPECT_STREQ(nul.get(), "");
    uint8_t raw[3];
    l.ar.read(raw, 3);
    EXPECT_EQ(raw[2], 7);
    EXPECT_EQ(l.pipe->remaining(), 0u);
}

TEST(ArchiveFixedBuffer, LongTextIsCutAndRestConsumed) {
    auto bytes = stored([](uArchive& a) { a.writeString("abcdef").writeInt32(77); });
    Loader l(bytes);
    char buf[4] = {'x', 'x', 'x', 'x'};
    l.ar.readStringInto(buf, 4);
    // All 11 bytes are consumed, so the next primitive follows the NUL.
    EXPECT_EQ(l.pipe->readPosition(), 11u);
    EXPECT_EQ(l.ar.readInt32(), 77);
    // The kept text is always terminated inside the buffer.
    EXPECT_STREQ(buf, "abc");
}

TEST(ArchiveFixedBuffer, TextWithoutNulIsTerminatedInside) {
    // Length 3 but no NUL among the three bytes.
    Loader l({3, 0, 0, 0, 'x', 'y', 'z'});
    char buf[8];
    std::memset(buf, 'Q', sizeof buf);
    l.ar.readStringInto(buf, 8);
    EXPECT_STREQ(buf, "xyz");
    Loader exact({4, 0, 0, 0, 'a', 'b', 'c', 'd'});
    char four[4];
    exact.ar.readStringInto(four, 4);
    EXPECT_EQ(four[3], '\0');
}

TEST(ArchiveFailures, ShortReadRaises666WithDiagnostic) {
    Loader l({1, 2});
    testing::internal::CaptureStdout();
    EXPECT_EQ(shortReadCode([&] { l.ar.readInt32(); }), kErrShortRead);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "uArchive::read - read less bytes than we asked for !\n");
    uArchive none(nullptr, uArchive::kLoading);
    testing::internal::CaptureStdout();
    EXPECT_EQ(shortReadCode([&] { none.readInt16(); }), kErrShortRead);
    testing::internal::GetCapturedStdout();
}

TEST(ArchiveFailures, HostileStringLengthsFailWithoutHugeAllocation) {
    testing::internal::CaptureStdout();
    {
        Loader l({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'});
        EXPECT_EQ(shortReadCode([&] { l.ar.readStringNew(); }), kErrShortRead);
    }
    {
        // Within the accepted size but longer than the stream: fails at the short read.
        Loader l({0x00, 0x00, 0x00, 0x01, 'a', 'b'});
        EXPECT_EQ(shortReadCode([&] { l.ar.readStringNew(); }), kErrShortRead);
    }
    {
        Loader l({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'});
        char buf[16];
        EXPECT_EQ(shortReadCode([&] { l.ar.readStringInto(buf, 16); }), kErrShortRead);
        EXPECT_EQ(buf[0], '\0');
    }
    for (auto len : {std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00, 0x80}}) {
        Loader l(len);
        char buf[16];
        EXPECT_EQ(shortReadCode([&] { l.ar.readStringInto(buf, 16); }), kErrShortRead);
        Loader l2(len);
        EXPECT_EQ(shortReadCode([&] { l2.ar.readStringNew(); }), kErrShortRead);
    }
    testing::internal::GetCapturedStdout();
}

namespace {
struct CountingPipe : MemoryPipe {
    explicit CountingPipe(int* closes, int* deaths) : closes_(closes), deaths_(deaths) {}
    ~CountingPipe() override { ++*deaths_; }
    void close() override {
        ++*closes_;
        MemoryPipe::close();
    }
    int* closes_;
    int* deaths_;
};
} // namespace

TEST(ArchiveOwnership, CloseReleasesThePipeAndDetachLeavesIt) {
    int closes = 0, deaths = 0;
    {
        uArchive ar(new CountingPipe(&closes, &deaths), uArchive::kStoring);
        ar.writeInt32(1);
    }
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(deaths, 1);

    auto* kept = new CountingPipe(&closes, &deaths);
    {
        uArchive ar(kept, uArchive::kLoading);
        ar.setStreamVersion(5);
        EXPECT_EQ(ar.streamVersion(), 5);
        ar.detach();
        EXPECT_EQ(ar.pipe(), nullptr);
    }
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(deaths, 1);
    kept->release();
    EXPECT_EQ(deaths, 2);
}
