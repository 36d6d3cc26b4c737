#include <gtest/gtest.h>

#include "core/classids.h"
#include "core/guid.h"
#include "core/objectmanager.h"
#include "core/registry.h"
#include "gfx/gfxclasses.h"
#include "gfx/palette.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

RGBQUAD hex(uint32_t v) {
    return rgb((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void expectColour(int32_t number, int index, RGBQUAD c) {
    const RGBQUAD* t = builtInColours(number);
    ASSERT_NE(t, nullptr) << number;
    EXPECT_TRUE(sameColour(t[index], c))
        << "palette " << number << " entry " << index << ": " << int(t[index].rgbRed) << ","
        << int(t[index].rgbGreen) << "," << int(t[index].rgbBlue);
}

TEST(BuiltInPalettes, SystemPaletteIsTheColourCubeThenRamps) {
    expectColour(-1, 0, rgb(255, 255, 255));
    expectColour(-1, 1, rgb(255, 255, 204)); // blue changes fastest
    expectColour(-1, 6, rgb(255, 204, 255));
    expectColour(-1, 36, rgb(204, 255, 255)); // red slowest
    expectColour(-1, 214, rgb(0, 0, 51));
    expectColour(-1, 215, rgb(238, 0, 0));
    expectColour(-1, 224, rgb(17, 0, 0));
    expectColour(-1, 225, rgb(0, 238, 0));
    expectColour(-1, 237, rgb(0, 0, 187));
    expectColour(-1, 245, rgb(238, 238, 238));
    expectColour(-1, 254, rgb(17, 17, 17));
    expectColour(-1, 255, rgb(0, 0, 0));
}

TEST(BuiltInPalettes, MinusOneHundredOneAndTwoShareOneTable) {
    EXPECT_EQ(builtInColours(-101), builtInColours(-102));
    expectColour(-101, 0, hex(0xFFFFFF));
    expectColour(-101, 9, hex(0xFFFBF0));
    expectColour(-101, 66, hex(0xD408FF));
    expectColour(-101, 95, hex(0xA16600));
    expectColour(-101, 166, hex(0x336E33));
    expectColour(-101, 172, hex(0x33333B));
    expectColour(-101, 204, hex(0x0033A1));
    expectColour(-101, 239, hex(0x222230));
    expectColour(-101, 246, hex(0xA4C8F0));
    expectColour(-101, 255, hex(0x000000));
}

TEST(BuiltInPalettes, GreyAndTheDesignedTablesStartAndEndAsTheyShould) {
    expectColour(-3, 0, rgb(255, 255, 255));
    expectColour(-3, 100, rgb(155, 155, 155));
    expectColour(-3, 255, rgb(0, 0, 0));
    struct Ends {
        int32_t number;
        RGBQUAD first, second, last;
    } ends[] = {
        {-2, rgb(0, 105, 255), rgb(0, 99, 255), rgb(16, 16, 16)},
        {-4, rgb(254, 254, 242), rgb(254, 253, 230), rgb(16, 16, 16)},
        {-5, rgb(254, 254, 238), rgb(254, 253, 221), rgb(16, 16, 16)},
        {-6, rgb(89, 43, 133), rgb(93, 33, 95), rgb(16, 16, 16)},
        {-7, rgb(102, 76, 128), rgb(95, 66, 108), rgb(17, 17, 17)},
    };
    for (const Ends& e : ends) {
        expectColour(e.number, 0, rgb(255, 255, 255));
        expectColour(e.number, 1, e.first);
        expectColour(e.number, 2, e.second);
        expectColour(e.number, 254, e.last);
        expectColour(e.number, 255, rgb(0, 0, 0));
        // A palette of distinct colours is worth having: at least 200 of them.
        const RGBQUAD* t = builtInColours(e.number);
        std::vector<uint32_t> seen;
        for (int i = 0; i < 256; ++i)
            seen.push_back(uint32_t(t[i].rgbRed) << 16 | t[i].rgbGreen << 8 | t[i].rgbBlue);
        std::sort(seen.begin(), seen.end());
        EXPECT_GE(std::unique(seen.begin(), seen.end()) - seen.begin(), 200) << e.number;
    }
}

TEST(BuiltInPalettes, OtherNumbersNameNone) {
    for (int32_t n : {-100, 0, 1, 5, -8, -103, -50})
        EXPECT_EQ(builtInColours(n), nullptr) << n;
    EXPECT_FALSE(isBuiltInPalette(-100));
    EXPECT_TRUE(isBuiltInPalette(-102));
}

TEST(BuiltInPalettes, InstalledUnderTheirIdentitiesOnceAndOnlyWhereMissing) {
    qmsObjectManager store;
    auto* own = new skvPalette; // a palette the store already holds under -3's identity
    own->objectId = paletteIdentity(-3);
    own->colours[0] = rgb(1, 2, 3);
    store.add(own);
    installBuiltInPalettes(store);
    EXPECT_EQ(store.count(), 9u);
    EXPECT_EQ(store.find(paletteIdentity(-3)), own);
    for (int32_t n : {-1, -101, -102, -2, -4, -5, -6, -7}) {
        auto* p = dynamic_cast<skvBuiltInPalette*>(store.find(paletteIdentity(n)));
        ASSERT_NE(p, nullptr) << n;
        EXPECT_TRUE(guidEqual(p->objectId, memberGuid(n)));
        EXPECT_TRUE(sameColour(p->colours[128], builtInColours(n)[128])) << n;
        EXPECT_EQ(p->sizeHint(), 0);
    }
    installBuiltInPalettes(store);
    EXPECT_EQ(store.count(), 9u);
    store.clear();
}

TEST(PaletteStoredForm, ColoursFollowTheHeaderAsTheyAreInMemory) {
    skvPalette p;
    p.colours[0] = rgb(10, 20, 30);
    p.colours[255] = rgb(40, 50, 60);
    EXPECT_EQ(p.sizeHint(), 1024);
    std::vector<uint8_t> bytes = stored(p);
    ASSERT_EQ(bytes.size(), 64u + 1024);
    EXPECT_EQ(bytes[64], 30); // blue, green, red, 0
    EXPECT_EQ(bytes[65], 20);
    EXPECT_EQ(bytes[66], 10);
    EXPECT_EQ(bytes[67], 0);
    EXPECT_TRUE(guidEqual(p.classId, CLSID_skvPalette));
    skvPalette back;
    EXPECT_TRUE(loadInto(back, bytes).empty());
    EXPECT_TRUE(sameColour(back.colours[255], rgb(40, 50, 60)));

    skvBuiltInPalette builtIn;
    EXPECT_EQ(stored(builtIn).size(), 0u); // not even a header
}

TEST(PaletteRegistration, StreamCanBuildPalettes) {
    registerGfxClasses();
    registerGfxClasses();
    skvObject* o = createObject(CLSID_skvPalette);
    ASSERT_NE(o, nullptr);
    EXPECT_NE(dynamic_cast<skvPalette*>(o), nullptr);
    EXPECT_STREQ(classNameOf(CLSID_skvPalette), "skvPalette");
    o->destroy();
}

} // namespace
