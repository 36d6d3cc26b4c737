#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "core/archive.h"
#include "core/classids.h"
#include "core/errors.h"
#include "core/guid.h"
#include "core/memorypipe.h"
#include "core/object.h"
#include "core/registry.h"

using namespace skv;

namespace {

constexpr GUID kProbeClass{0x0BADCAFE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr GUID kThrowingClass{0x0BADF00D, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr GUID kShadowedClass{0x05AD0000, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

int gProbeLive = 0;

// A class with a two-field body.
class Probe : public skvObject {
public:
    Probe() {
        setClassId(kProbeClass);
        ++gProbeLive;
    }
    ~Probe() override { --gProbeLive; }
    int32_t sizeHint() override { return 8; }
    void serialize(uArchive& ar) override {
        skvObject::serialize(ar);
        ar.serializeInt32(a);
        ar.serializeInt32(b);
    }
    int32_t a = 0, b = 0;
};

struct Other : skvObject {};

skvObject* throwingFactory() {
    throw CoreError{kErrAllocFailed};
}

const ClassRegistration probeReg(kProbeClass, &makeObject<Probe>, "Probe");
const ClassRegistration throwingReg(kThrowingClass, &throwingFactory, "Throwing");
const ClassRegistration shadowedOld(kShadowedClass, &makeObject<Other>, "OldName");
const ClassRegistration shadowedNew(kShadowedClass, &makeObject<Probe>, "NewName");

std::vector<uint8_t> storeAll(std::initializer_list<skvObject*> objs) {
    auto* pipe = new MemoryPipe;
    uArchive ar(pipe, uArchive::kStoring);
    for (auto* o : objs)
        writeObject(ar, *o);
    return pipe->bytes();
}

struct Reader {
    explicit Reader(std::vector<uint8_t> b)
        : pipe(new MemoryPipe(std::move(b))), ar(pipe, uArchive::kLoading) {}
    MemoryPipe* pipe;
    uArchive ar;
    std::unique_ptr<skvObject> next() { return std::unique_ptr<skvObject>(readObject(ar)); }
};

} // namespace

TEST(ObjectIdentity, TextFormAndUniqueIds) {
    EXPECT_EQ(guidText(CLSID_NTrailer), "1a90de97-affc-11cf-baf5-0080c80d289d");
    EXPECT_EQ(guidText(GUID{}), "00000000-0000-0000-0000-000000000000");
    GUID parsed;
    ASSERT_TRUE(guidParse("{1A90DE97-AFFC-11CF-BAF5-0080C80D289D}", &parsed));
    EXPECT_TRUE(parsed == CLSID_NTrailer);
    EXPECT_FALSE(guidParse("1a90de97-affc-11cf-baf5-0080c80d289", &parsed));

    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i)
        ids.insert(guidText(skvObject().objectId));
    EXPECT_EQ(ids.size(), 1000u);
    skvObject plain;
    EXPECT_TRUE(guidIsNull(plain.classId));
    EXPECT_EQ(plain.flags, 1);
}

TEST(ObjectIdentity, MemberIdentifiers) {
    GUID g = memberGuid(0x1234);
    EXPECT_EQ(guidText(g), "00001234-1234-1234-3434-343434343434");
}

TEST(ObjectHeader, IsSixtyFourBytesInFieldOrder) {
    Probe p;
    p.auxId = GUID{0xA, 0xB, 0xC, {1, 2, 3, 4, 5, 6, 7, 8}};
    p.headerWord1 = 0x11111111;
    p.headerWord2 = 0x22222222;
    auto bytes = storeAll({&p});
    ASSERT_EQ(bytes.size(), 64u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "NOBJ");
    EXPECT_EQ(std::memcmp(bytes.data() + 4, &kProbeClass, 16), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 20, &p.objectId, 16), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 36, &p.auxId, 16), 0);
    EXPECT_EQ(bytes[52], 0x11);
    EXPECT_EQ(bytes[56], 0x22);
    EXPECT_EQ(bytes[60], 8); // sizeHint() taken just before writing
}

TEST(ObjectReader, RoundTripKeepsHeaderFields) {
    Probe p;
    p.a = 5;
    p.b = -6;
    p.auxId = GUID{1, 2, 3, {4}};
    p.headerWord1 = 7;
    p.headerWord2 = 8;
    p.flags = 99;
    p.hidden = 1;
    Reader r(storeAll({&p, &p}));
    auto o = r.next();
    ASSERT_TRUE(o);
    auto* q = dynamic_cast<Probe*>(o.get());
    ASSERT_TRUE(q);
    EXPECT_EQ(q->a, 5);
    EXPECT_EQ(q->b, -6);
    EXPECT_TRUE(q->objectId == p.objectId);
    EXPECT_TRUE(q->classId == kProbeClass);
    EXPECT_TRUE(q->auxId == p.auxId);
    EXPECT_EQ(q->headerWord1, 7);
    EXPECT_EQ(q->headerWord2, 8);
    EXPECT_EQ(q->storedSizeHint, 8);
    EXPECT_EQ(q->flags, 1); // from the reader's temporary header, not the stored object
    EXPECT_EQ(q->hidden, 0);
    EXPECT_TRUE(r.next());  // the second object starts right after the first
    EXPECT_FALSE(r.next()); // end of bytes: null, no message needed
}

TEST(ObjectReader, TagIsNotChecked) {
    Probe p;
    auto bytes = storeAll({&p});
    bytes[0] = 'X';
    Reader r(bytes);
    EXPECT_TRUE(r.next());
}

TEST(ObjectReader, UnknownOrZeroClassGivesNullAndDiagnostic) {
    Probe p;
    auto bytes = storeAll({&p});
    std::memset(bytes.data() + 4, 0, 16);
    Reader r(bytes);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(r.next());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unable to construct object of type 00000000-0000-0000-0000-000000000000\n");

    std::memset(bytes.data() + 4, 0xEE, 16);
    Reader r2(bytes);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(r2.next());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unable to construct object of type eeeeeeee-eeee-eeee-eeee-eeeeeeeeeeee\n");
}

TEST(ObjectReader, TruncatedHeaderIsNullWithoutMessageButTruncatedBodyRaises) {
    Probe p;
    auto bytes = storeAll({&p});
    Reader header(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 40));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(header.next());
    // Only the archive's own short-read line, nothing from the reader.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "uArchive::read - read less bytes than we asked for !\n");

    int before = gProbeLive;
    Reader body(std::vector<uint8_t>(bytes.begin(), bytes.end() - 2));
    testing::internal::CaptureStdout();
    try {
        body.next();
        ADD_FAILURE() << "a short body must raise";
    } catch (const CoreError& e) {
        EXPECT_EQ(e.code, kErrShortRead);
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(gProbeLive, before); // the half-read object was freed
}

TEST(ClassRegistry, LookupRulesAndFactoryFailure) {
    registerCoreClasses();
    EXPECT_STREQ(classNameOf(CLSID_skvObject), "skvObject");
    EXPECT_STREQ(classNameOf(GUID{1, 1, 1, {1}}), "UNKNOWN CLASS");
    EXPECT_EQ(createObject(GUID{1, 1, 1, {1}}), nullptr);

    // The most recent registration of an identifier wins.
    EXPECT_STREQ(classNameOf(kShadowedClass), "NewName");
    std::unique_ptr<skvObject> shadow(createObject(kShadowedClass));
    EXPECT_TRUE(dynamic_cast<Probe*>(shadow.get()));

    // A plain skvObject built by the registry carries no class identifier.
    std::unique_ptr<skvObject> plain(createObject(CLSID_skvObject));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(guidIsNull(plain->classId));

    testing::internal::CaptureStdout();
    EXPECT_EQ(createObject(kThrowingClass), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Exception caught trying to construct object of type badf00d\n");
}
