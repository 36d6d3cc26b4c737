// Stored forms of sprites, shapes and text, the shared ink table, the fill pattern table, and
// where sprites placed at the ends of the coordinate range stand and are hit.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "gfx/inks.h"
#include "gfx/shape.h"
#include "gfx/shapepatterns.h"
#include "gfx/sprite.h"
#include "gfx/text.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

int32_t int32At(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                (static_cast<uint32_t>(b[at + 3]) << 24));
}

// Where a raw 8-bit body's pixels start: header, tag, depth, width, height, palette, compression.
constexpr size_t kPixelsAt = skvObject::kHeaderSize + 4 + 4 + 4 + 4 + 2 + 4;

} // namespace

TEST(SpriteForms, ASpriteStoresItsPlaceAfterTheBitmapAndRebuildsTheInks) {
    NSprite s;
    s.create(2, 2);
    *s.pixelAt(1, 0) = 7;
    s.left = 3;
    s.top = 4;
    s.setReserved50(51);
    s.setRegistrationX(5);
    s.setRegistrationY(-6);
    s.setReserved1(2);
    s.triggerNumber = 9;
    const std::vector<uint8_t> bytes = stored(s);
    ASSERT_EQ(bytes.size(), kPixelsAt + 8 + 28);
    const size_t tail = kPixelsAt + 8;
    const int32_t expected[7] = {3, 4, 51, 5, -6, 2, 9};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(int32At(bytes, tail + 4 * i), expected[i]) << i;

    std::atomic<InkRoutine>* inks = spriteInkTable();
    for (int i = 0; i < NSprite::kInkCount; ++i)
        inks[i].store(nullptr);
    NSprite back;
    EXPECT_TRUE(loadInto(back, bytes).empty());
    EXPECT_EQ(back.getLeft(), 3);
    EXPECT_EQ(back.getTop(), 4);
    EXPECT_EQ(back.getReserved50(), 51);
    EXPECT_EQ(back.getRegistrationX(), 5);
    EXPECT_EQ(back.getRegistrationY(), -6);
    EXPECT_EQ(back.getReserved1(), 2);
    EXPECT_EQ(back.trigger(), 9);
    EXPECT_EQ(rowsOf(back), (Rows{{0, 7}, {0, 0}}));
    EXPECT_EQ(inks[0].load(), &inkCopy);
    EXPECT_EQ(inks[4].load(), &inkTransparent);
    EXPECT_EQ(inks[8].load(), &inkMatte);
    EXPECT_EQ(inks[31].load(), &inkTransparent);

    // A channel's script number stands in for the trigger until popped.
    back.pushTrigger(12);
    EXPECT_EQ(back.trigger(), 12);
    back.popTrigger();
    EXPECT_EQ(back.trigger(), 9);
}

TEST(SpriteForms, TextSwapsBlackAndWhiteInTheStreamOnly) {
    skvText t;
    t.create(3, 2);
    const Rows pixels{{0, 255, 0}, {255, 0, 7}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            *t.pixelAt(x, y) = pixels[y][x];
    t.textColour = RGB(10, 20, 30);
    t.backColour = RGB(200, 210, 220);
    t.flag = 5;
    const std::vector<uint8_t> bytes = stored(t);
    // Rows bottom first, four bytes each: every pixel other than 255 is stored as 255.
    const std::vector<uint8_t> storedPixels(bytes.begin() + kPixelsAt,
                                            bytes.begin() + kPixelsAt + 8);
    EXPECT_EQ(storedPixels, (std::vector<uint8_t>{0, 255, 255, 255, 255, 0, 255, 255}));
    // Writing leaves the text's own pixels alone.
    EXPECT_EQ(rowsOf(t), pixels);
    const size_t tail = bytes.size() - 12;
    EXPECT_EQ(static_cast<COLORREF>(int32At(bytes, tail)), RGB(10, 20, 30));
    EXPECT_EQ(int32At(bytes, tail + 8), 5);

    skvText back;
    EXPECT_TRUE(loadInto(back, bytes).empty());
    EXPECT_EQ(rowsOf(back), (Rows{{0, 255, 0}, {255, 0, 0}}));
    EXPECT_EQ(back.textColour, RGB(10, 20, 30));
    EXPECT_EQ(back.backColour, RGB(200, 210, 220));
    EXPECT_EQ(back.flag, 5);
}

TEST(SpriteForms, AShapeStoresOnlyItsKindAndPattern) {
    skvShape s;
    s.kind = skvShape::kEllipse;
    s.pattern = 44;
    s.left = 99; // not stored
    EXPECT_EQ(s.sizeHint(), 0);
    const std::vector<uint8_t> bytes = stored(s);
    ASSERT_EQ(bytes.size(), skvObject::kHeaderSize + 4);
    EXPECT_EQ(bytes[skvObject::kHeaderSize], 5);
    EXPECT_EQ(bytes[skvObject::kHeaderSize + 2], 44);
    skvShape back;
    EXPECT_TRUE(loadInto(back, bytes).empty());
    EXPECT_EQ(back.kind, skvShape::kEllipse);
    EXPECT_EQ(back.pattern, 44);
    EXPECT_EQ(back.left, 0);
}

SpriteChannel channelAt(int16_t left, int16_t top, const NSprite& s) {
    SpriteChannel c{};
    c.setLeft(left);
    c.setTop(top);
    c.setWidth(static_cast<int16_t>(s.width()));
    c.setHeight(static_cast<int16_t>(s.height()));
    return c;
}

TEST(SpritePlace, BoundsEndAtTheRangeInsteadOfWrapping) {
    NSprite s;
    s.create(10, 4);
    s.setPosition(3, -4);
    RECT r;
    s.bounds(&r);
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, -4);
    EXPECT_EQ(r.right, 13);
    EXPECT_EQ(r.bottom, 0);

    // A position a stream gave near the top of the range: the far edges stop at INT32_MAX.
    s.setPosition(INT32_MAX - 3, INT32_MAX - 1);
    s.bounds(&r);
    EXPECT_EQ(r.left, INT32_MAX - 3);
    EXPECT_EQ(r.top, INT32_MAX - 1);
    EXPECT_EQ(r.right, INT32_MAX);
    EXPECT_EQ(r.bottom, INT32_MAX);
    EXPECT_GE(r.right, r.left);
    EXPECT_GE(r.bottom, r.top);

    // Text keeps its own bounds from the same sum when placed.
    skvText t;
    t.create(6, 2);
    t.setRegistrationX(INT32_MAX - 2);
    t.setRegistrationY(-20);
    const SpriteChannel c = channelAt(1, 5, t);
    t.place(nullptr, &c);
    t.bounds(&r);
    EXPECT_EQ(r.left, INT32_MAX - 1);
    EXPECT_EQ(r.right, INT32_MAX);
    EXPECT_EQ(r.top, -15);
    EXPECT_EQ(r.bottom, -13);
}

TEST(SpritePlace, RegistrationPastTheRangeKeepsTheSpriteOffTheStage) {
    NSprite s;
    s.create(10, 4);
    // Ordinary offsets add as they always did.
    s.setRegistrationX(5);
    s.setRegistrationY(-2);
    SpriteChannel c = channelAt(10, 3, s);
    EXPECT_EQ(s.hitTest(&c, POINT{15, 1}), 1);
    EXPECT_EQ(s.hitTest(&c, POINT{24, 4}), 1);
    EXPECT_EQ(s.hitTest(&c, POINT{14, 1}), 0);
    EXPECT_EQ(s.hitTest(&c, POINT{25, 1}), 0);
    EXPECT_EQ(s.left, 15);
    EXPECT_EQ(s.top, 1);

    // A sum past either end is held there: the sprite stays at the far right (or far left, or
    // top) instead of coming round to the opposite end, where these points would hit it.
    s.setRegistrationX(INT32_MAX - 10);
    s.setRegistrationY(0);
    c = channelAt(100, 0, s);
    EXPECT_EQ(s.hitTest(&c, POINT{INT32_MIN + 90, 1}), 0);
    EXPECT_EQ(s.left, INT32_MAX);
    s.setRegistrationX(INT32_MIN + 5);
    c = channelAt(-100, 0, s);
    EXPECT_EQ(s.hitTest(&c, POINT{INT32_MAX - 90, 1}), 0);
    EXPECT_EQ(s.left, INT32_MIN);
    s.setRegistrationY(INT32_MIN);
    c = channelAt(-100, -1, s);
    s.place(nullptr, &c);
    EXPECT_EQ(s.top, INT32_MIN);
    RECT r;
    s.bounds(&r);
    EXPECT_EQ(r.right, INT32_MIN + 10);
    EXPECT_EQ(r.bottom, INT32_MIN + 4);

    // A sprite whose right edge would pass the range is still hit on its pixels up to it.
    s.setRegistrationX(INT32_MAX - 3);
    s.setRegistrationY(0);
    c = channelAt(0, 0, s);
    *s.pixelAt(2, 1) = 5;
    s.transparentIndex = 0;
    s.hubHitMode = 1;
    EXPECT_EQ(s.hitTest(&c, POINT{INT32_MAX - 1, 1}), 1);
    EXPECT_EQ(s.hitTest(&c, POINT{INT32_MAX - 2, 1}), 0);
}

TEST(ShapePatterns, RowsRepeatEveryEightAndPairsKeepTheirOrder) {
    PatternPicture p;
    shapePatternPixels(0, &p);
    EXPECT_EQ(p.bitsPerPixel, 1);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(p.bytes[i], 0);
    shapePatternPixels(17, &p);
    EXPECT_EQ(p.bytes[2], 0x72); // row 1, left byte
    EXPECT_EQ(p.bytes[3], 0x73);
    EXPECT_EQ(p.bytes[18], 0x72); // row 9 repeats row 1
    shapePatternPixels(55, &p);
    EXPECT_EQ(p.bytes[2 * 5], 0xea);
    EXPECT_EQ(p.bytes[2 * 5 + 1], 0xea);

    shapePatternPixels(56, &p);
    EXPECT_EQ(p.bitsPerPixel, 8);
    EXPECT_EQ(p.bytes[0], 0xFF);
    EXPECT_EQ(p.bytes[255], 0xFF);
    PatternPicture a, b;
    shapePatternPixels(61, &a);
    const uint8_t rowEight[16] = {0x07, 0xff, 0x07, 0x07, 0x04, 0x04, 0x04, 0x07,
                                  0xf8, 0xfc, 0xfc, 0xfc, 0xfc, 0xfc, 0xfc, 0xfc};
    EXPECT_EQ(std::memcmp(a.bytes + 8 * 16, rowEight, 16), 0);
    shapePatternPixels(59, &b);
    EXPECT_EQ(b.bytes[15 * 16 + 15], 0x00);
    EXPECT_EQ(b.bytes[14 * 16 + 15], 0xfb);

    EXPECT_EQ(shapePatternBitmap(0), nullptr);
    EXPECT_EQ(shapePatternBitmap(65), nullptr);
    BITMAP bm{};
    ASSERT_NE(shapePatternBitmap(1), nullptr);
    ASSERT_EQ(GetObject(shapePatternBitmap(1), sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 16);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(shapePatternBitmap(1), shapePatternBitmap(1));
    ASSERT_EQ(GetObject(shapePatternBitmap(60), sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmBitsPixel, 8);
}
