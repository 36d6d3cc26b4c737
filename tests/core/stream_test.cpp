#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/classids.h"
#include "core/endmarkers.h"
#include "core/guid.h"
#include "core/localstream.h"
#include "core/moviewriter.h"
#include "core/registry.h"
#include "core/status.h"
#include "dump.h"
#include "worker.h"

using namespace skv;
using skv::test::Worker;

namespace {

constexpr GUID kBlobClass{0x57A3B10B, 7, 7, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr GUID kGateClass{0x57A36A7E, 7, 7, {1, 2, 3, 4, 5, 6, 7, 8}};

// An object with a counted body; it also notes the stream version its archive carried.
class Blob : public skvObject {
public:
    Blob() { setClassId(kBlobClass); }
    explicit Blob(std::vector<uint8_t> d) : Blob() { data = std::move(d); }
    int32_t sizeHint() override { return static_cast<int32_t>(data.size()) + 4; }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        if (ar.isStoring()) {
            ar.writeInt32(static_cast<int32_t>(data.size()));
            ar.write(data.data(), static_cast<int32_t>(data.size()));
        } else {
            seenVersion = ar.streamVersion();
            int32_t n = ar.readInt32();
            if (n < 0 || n > (1 << 20)) throw CoreError{kErrShortRead};
            data.resize(static_cast<size_t>(n));
            ar.read(data.data(), n);
        }
    }
    std::vector<uint8_t> data;
    int32_t seenVersion = 0;
};

// Reading one of these blocks the serialize thread until the test lets it go.
HANDLE gGateReached = nullptr;
HANDLE gGateRelease = nullptr;
class Gate : public skvObject {
public:
    Gate() { setClassId(kGateClass); }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        if (!ar.isStoring() && gGateReached) {
            SetEvent(gGateReached);
            WaitForSingleObject(gGateRelease, INFINITE);
        }
    }
};

const ClassRegistration blobReg(kBlobClass, &makeObject<Blob>, "Blob");
const ClassRegistration gateReg(kGateClass, &makeObject<Gate>, "Gate");

struct Registered {
    Registered() { registerCoreClasses(); }
} registered;

std::vector<uint8_t> blobBytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>((i * 7 + seed) % 13);
    return v;
}

// A stream from raw inflated content (no end marker added).
std::vector<uint8_t> rawStream(const std::vector<uint8_t>& content, StreamHeader h = {}) {
    std::vector<uint8_t> out = h.encode();
    auto body = MovieWriter::deflateRaw(content);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> contentOf(std::initializer_list<skvObject*> objs) {
    MovieWriter w;
    for (auto* o : objs)
        w.add(*o);
    return w.content();
}

int countOf(const std::vector<int32_t>& v, int32_t code) {
    return static_cast<int>(std::count(v.begin(), v.end(), code));
}
size_t indexOf(const std::vector<int32_t>& v, int32_t code) {
    return static_cast<size_t>(std::find(v.begin(), v.end(), code) - v.begin());
}

} // namespace

TEST(StreamFraming, TrailerOnlyStreamPostsEachCodeOnceInOrder) {
    MovieWriter w;
    auto bytes = w.finish();
    LocalStream s(bytes);
    ASSERT_TRUE(s.run());
    auto st = s.statuses();
    for (int32_t c = 5001; c <= 5005; ++c)
        EXPECT_EQ(countOf(st, c), 1) << c;
    EXPECT_EQ(countOf(st, statusInt(stsErrorSerialzingObject)), 0);
    EXPECT_GT(indexOf(st, 5002), indexOf(st, 5001));
    EXPECT_GT(indexOf(st, 5002), indexOf(st, 5005));
    EXPECT_GT(indexOf(st, 5004), indexOf(st, 5003));
    ASSERT_EQ(s.objects().size(), 1u);
    EXPECT_TRUE(s.objects()[0]->classId == CLSID_NTrailer);
    EXPECT_EQ(s.manager()->find(s.objects()[0]->objectId), s.objects()[0]);
    EXPECT_EQ(s.endReason(), SerializeThread::EndReason::Marker);
}

TEST(StreamFraming, WriterRoundTripKeepsObjectsAndHeader) {
    StreamHeader h;
    h.word4 = 0xDEADBEEF; // uninterpreted words may hold anything
    h.word28 = 0xFFFFFFFF;
    h.movieId = GUID{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    h.streamVersion = 42;
    MovieWriter w(h);
    Blob a(blobBytes(10, 1)), b(blobBytes(5000, 2));
    a.auxId = GUID{9, 9, 9, {9}};
    a.headerWord1 = 3;
    w.add(a);
    w.add(b);
    auto bytes = w.finish();
    MovieWriter w2(h);
    w2.add(a);
    w2.add(b);
    EXPECT_EQ(w2.finish(), bytes);

    LocalStream s(bytes);
    ASSERT_TRUE(s.run());
    EXPECT_TRUE(s.header().movieId == h.movieId);
    EXPECT_EQ(s.header().word4, 0xDEADBEEFu);
    auto objs = s.objects();
    ASSERT_EQ(objs.size(), 3u);
    auto* ra = dynamic_cast<Blob*>(objs[0]);
    auto* rb = dynamic_cast<Blob*>(objs[1]);
    ASSERT_TRUE(ra && rb);
    EXPECT_TRUE(ra->objectId == a.objectId);
    EXPECT_TRUE(ra->auxId == a.auxId);
    EXPECT_EQ(ra->headerWord1, 3);
    EXPECT_EQ(ra->data, a.data);
    EXPECT_EQ(rb->data, b.data);
    EXPECT_EQ(ra->seenVersion, 42); // the header's version reached the loading archive
    EXPECT_EQ(rb->storedSizeHint, 5004);
}

TEST(StreamFraming, ContentWithoutEndMarkerReportsErrorAndKeepsObjects) {
    Blob a(blobBytes(100, 1)), b(blobBytes(100, 2));
    LocalStream s(rawStream(contentOf({&a, &b})));
    ASSERT_TRUE(s.run());
    auto st = s.statuses();
    EXPECT_EQ(countOf(st, statusInt(stsErrorSerialzingObject)), 1);
    EXPECT_EQ(s.objects().size(), 2u);
    EXPECT_NE(s.manager()->find(a.objectId), nullptr);
    EXPECT_EQ(s.endReason(), SerializeThread::EndReason::ShortRead);
    EXPECT_FALSE(s.manager()->isStreaming());
}

TEST(StreamFraming, BytesAfterTheMarkerAreDrainedNeverRead) {
    NTrailer t;
    Blob a(blobBytes(10, 1));
    auto content = contentOf({&t, &a});
    // Far more than the OS pipe holds, so a missing drain would leave the codec thread stuck.
    std::vector<uint8_t> junk(300000, 0xEE);
    content.insert(content.end(), junk.begin(), junk.end());
    LocalStream s(rawStream(content));
    ASSERT_TRUE(s.run());
    EXPECT_EQ(s.objects().size(), 1u);
    EXPECT_EQ(countOf(s.statuses(), statusInt(stsErrorSerialzingObject)), 0);
    EXPECT_EQ(s.manager()->find(a.objectId), nullptr);
}

TEST(StreamFraming, ChainEndsTheStreamWithItsBlockConsumed) {
    NChain c;
    for (int i = 0; i < NChain::kBlockSize; ++i)
        c.block[i] = static_cast<uint8_t>(i);
    Blob after(blobBytes(4, 1));
    LocalStream s(rawStream(contentOf({&c, &after})));
    ASSERT_TRUE(s.run());
    ASSERT_EQ(s.objects().size(), 1u);
    auto* rc = dynamic_cast<NChain*>(s.objects()[0]);
    ASSERT_TRUE(rc);
    EXPECT_EQ(rc->block[255], 255);
    EXPECT_TRUE(s.endClassId() == CLSID_NChain);
    EXPECT_EQ(countOf(s.statuses(), statusInt(stsErrorSerialzingObject)), 0);
}

TEST(StreamFailures, WrongMagicUnknownClassAndCorruptDeflate) {
    MovieWriter w;
    auto good = w.finish();
    auto bad = good;
    bad[3] = 'X';
    LocalStream wrong(bad);
    EXPECT_FALSE(wrong.run());
    EXPECT_EQ(wrong.statuses(), std::vector<int32_t>{statusInt(stsBadStreamHeader)});

    Blob a(blobBytes(8, 1));
    auto content = contentOf({&a});
    auto unknown = content;
    unknown[4] ^= 0xFF; // the class identifier of the first object
    testing::internal::CaptureStdout();
    LocalStream u(rawStream(unknown));
    ASSERT_TRUE(u.run());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(u.endReason(), SerializeThread::EndReason::UnknownClass);
    EXPECT_EQ(u.endClassId().Data1, kBlobClass.Data1 ^ 0xFF);
    EXPECT_EQ(countOf(u.statuses(), statusInt(stsErrorSerialzingObject)), 1);

    std::vector<uint8_t> garbage = StreamHeader{}.encode();
    for (int i = 0; i < 5000; ++i)
        garbage.push_back(static_cast<uint8_t>(i * 131 + 7));
    testing::internal::CaptureStdout();
    LocalStream g(garbage);
    ASSERT_TRUE(g.run());
    testing::internal::GetCapturedStdout();
    EXPECT_NE(g.endReason(), SerializeThread::EndReason::Marker);
    EXPECT_EQ(countOf(g.statuses(), 5005), 1); // buffering is still declared complete
    EXPECT_EQ(countOf(g.statuses(), 5004), 1);
}

TEST(StreamFailures, StreamCutAtEveryByteEndsCleanly) {
    Blob a(blobBytes(300, 1)), b(blobBytes(40, 2));
    MovieWriter w;
    w.add(a);
    w.add(b);
    auto full = w.finish();
    testing::internal::CaptureStdout();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        LocalStream s(std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
        bool ran = s.run();
        EXPECT_EQ(ran, cut >= StreamHeader::kSize) << cut;
        EXPECT_LE(s.objects().size(), 3u);
        if (ran && s.endReason() != SerializeThread::EndReason::Marker) {
            EXPECT_EQ(countOf(s.statuses(), statusInt(stsErrorSerialzingObject)), 1) << cut;
        }
    }
    testing::internal::GetCapturedStdout();
    LocalStream whole(full);
    ASSERT_TRUE(whole.run());
    EXPECT_EQ(whole.endReason(), SerializeThread::EndReason::Marker);
}

TEST(StreamStop, StopWhileAnObjectIsBeingReadEndsEverything) {
    gGateReached = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    gGateRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Gate gate;
    const size_t many = 200;
    MovieWriter w;
    w.add(gate);
    for (size_t i = 0; i < many; ++i) {
        Blob b(blobBytes(2000, static_cast<uint8_t>(i)));
        w.add(b);
    }
    LocalStream s(w.finish());
    {
        Worker runner([&] { EXPECT_TRUE(s.run()); });
        WaitForSingleObject(gGateReached, INFINITE);
        size_t before = s.statuses().size();
        s.stop();
        SetEvent(gGateRelease);
        runner.join();
        // Nothing is reported after a stop, and the stream did not read on to its end.
        EXPECT_EQ(s.statuses().size(), before);
        EXPECT_EQ(s.endReason(), SerializeThread::EndReason::Stopped);
        EXPECT_LT(s.objects().size(), many + 2);
    }
    CloseHandle(gGateReached);
    CloseHandle(gGateRelease);
    gGateReached = gGateRelease = nullptr;
}

TEST(DumpCommand, ListsObjectsAndTellsHowTheStreamEnded) {
    Blob a(blobBytes(16, 1));
    MovieWriter w;
    w.add(a);
    auto bytes = w.finish();

    auto dump = [](const std::vector<uint8_t>& b, int* status) {
        std::FILE* f = std::tmpfile();
        *status = skvc::dumpBytes(b, f);
        std::rewind(f);
        std::string text;
        char buf[512];
        while (std::fgets(buf, sizeof buf, f))
            text += buf;
        std::fclose(f);
        return text;
    };
    int status = -1;
    std::string text = dump(bytes, &status);
    EXPECT_EQ(status, skvc::kDumpOk);
    EXPECT_NE(text.find("     0  Blob"), std::string::npos) << text;
    EXPECT_NE(text.find(guidText(a.objectId) + "  size 20"), std::string::npos) << text;
    EXPECT_NE(text.find("     1  NTrailer"), std::string::npos) << text;
    EXPECT_NE(text.find("end: NTrailer after 2 objects"), std::string::npos) << text;

    testing::internal::CaptureStdout();
    text = dump(std::vector<uint8_t>(bytes.begin(), bytes.end() - 4), &status);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, skvc::kDumpTruncated);
    EXPECT_NE(text.find("without an end marker"), std::string::npos) << text;

    text = dump(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10), &status);
    EXPECT_EQ(status, skvc::kDumpNotAStream);
}
