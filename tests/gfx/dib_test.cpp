#include <gtest/gtest.h>

#include <cstring>

#include "core/guid.h"
#include "gfx/dib.h"
#include "gfx/palette.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// Builds a stored form by hand: a 64-byte header of zeros, then the body.
struct StoredForm {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(skvObject::kHeaderSize, 0);
    StoredForm& tag(const char* t) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(t[i]));
        return *this;
    }
    StoredForm& i32(int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
        return *this;
    }
    StoredForm& i16(int16_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(uint16_t(v) >> 8));
        return *this;
    }
    StoredForm& raw(std::vector<uint8_t> b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    // Tag, depth, width, height and the stored (already shifted) palette word.
    static StoredForm raw8(int32_t depth, int32_t w, int32_t h, int16_t storedPalette) {
        StoredForm f;
        f.tag("NDIB").i32(depth).i32(w).i32(h).i16(storedPalette);
        return f;
    }
};

// A 256-entry logical palette: the given colours first, `fill` everywhere else except black at
// entry 255.
HPALETTE paletteOf(std::vector<RGBQUAD> first, RGBQUAD fill) {
    alignas(LOGPALETTE) unsigned char block[sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)];
    auto* lp = reinterpret_cast<LOGPALETTE*>(block);
    lp->palVersion = 0x300;
    lp->palNumEntries = 256;
    auto* e = reinterpret_cast<PALETTEENTRY*>(block + offsetof(LOGPALETTE, palPalEntry));
    for (int i = 0; i < 256; ++i) {
        RGBQUAD c = i < static_cast<int>(first.size()) ? first[i] : i == 255 ? rgb(0, 0, 0) : fill;
        e[i] = PALETTEENTRY{c.rgbRed, c.rgbGreen, c.rgbBlue, 0};
    }
    return CreatePalette(lp);
}

TEST(DibCreate, NewBitmapIsFourByFourZeroPixelsAtEightBits) {
    nDIB d;
    EXPECT_EQ(d.width(), 4);
    EXPECT_EQ(d.height(), 4);
    EXPECT_EQ(d.bitCount(), 8);
    EXPECT_EQ(d.stride(), 4);
    EXPECT_EQ(d.sizeHint(), 4 * 4 + 16);
    EXPECT_EQ(rowsOf(d), Rows(4, std::vector<uint8_t>(4, 0)));
    EXPECT_EQ(d.authoredDepth(), 8);
    EXPECT_EQ(d.paletteNumber, -100);
    EXPECT_EQ(d.mappingEnabled, 1);
}

TEST(DibCreate, RowsArePaddedToFourBytesAndStoredBottomUp) {
    nDIB d;
    ASSERT_EQ(d.create(5, 3), 1);
    EXPECT_EQ(d.stride(), 8);
    EXPECT_EQ(d.pixelBytes(), 24u);
    // (0, 0) is the top-left pixel, which lives in the last row in memory.
    EXPECT_EQ(d.pixelAt(0, 0), d.bits() + 16);
    EXPECT_EQ(d.pixelAt(4, 2), d.bits() + 4);
    EXPECT_EQ(d.pixelAt(5, 0), nullptr);
    EXPECT_EQ(d.pixelAt(-1, 0), nullptr);
    EXPECT_EQ(d.pixelAt(0, 3), nullptr);
}

TEST(DibCreate, OversizedBitmapIsRefusedAndTheOldOneKept) {
    nDIB d;
    EXPECT_EQ(d.create(60000, 60000), 0);
    EXPECT_EQ(d.create(-1, 5), 0);
    EXPECT_EQ(d.width(), 4);
    EXPECT_EQ(d.height(), 4);
}

TEST(DibColourCount, FollowsBitCountAndColoursUsed) {
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biBitCount = 8;
    EXPECT_EQ(nDIB::colourCount(&h), 256);
    h.biClrUsed = 20;
    EXPECT_EQ(nDIB::colourCount(&h), 20);
    h.biBitCount = 4;
    h.biClrUsed = 300; // more than 4 bits can name
    EXPECT_EQ(nDIB::colourCount(&h), 16);
    h.biBitCount = 24;
    h.biClrUsed = 0;
    EXPECT_EQ(nDIB::colourCount(&h), 0);
    h.biClrUsed = 5;
    EXPECT_EQ(nDIB::colourCount(&h), 5);
    BITMAPCOREHEADER core{12, 2, 2, 1, 1};
    EXPECT_EQ(nDIB::colourCount(reinterpret_cast<BITMAPINFOHEADER*>(&core)), 2);
}

TEST(DibColours, FirstDrawGivesRawBitmapsTheirColours) {
    RGBQUAD stage[256];
    for (int i = 0; i < 256; ++i)
        stage[i] = rgb(i, i, 0);
    auto eight = bitmapOf({{3, 4}});
    ASSERT_EQ(eight->fillColoursForFirstDraw(-1, stage), 1);
    EXPECT_TRUE(sameColour(eight->colours()[4], rgb(4, 4, 0)));
    EXPECT_EQ(eight->fillColoursForFirstDraw(-1, stage), 0); // once only

    // A 1-bit picture of palette -1 shown while the score shows built-in -3: inverted, and
    // coloured by palette -1 whatever the stage shows.
    auto mono = bitmapOf({{0, 255, 7}});
    mono->setAuthoredDepth(1);
    mono->paletteNumber = -1;
    ASSERT_EQ(mono->fillColoursForFirstDraw(-3, stage), 1);
    EXPECT_EQ(rowsOf(*mono), (Rows{{255, 0, 255}}));
    EXPECT_TRUE(sameColour(mono->colours()[1], rgb(255, 255, 204)));

    auto same = bitmapOf({{0, 255}}); // the score shows its own palette, or a cast palette
    same->setAuthoredDepth(1);
    same->paletteNumber = -1;
    same->fillColoursForFirstDraw(-1, stage);
    EXPECT_EQ(rowsOf(*same), (Rows{{0, 255}}));
    auto member = bitmapOf({{0, 255}});
    member->setAuthoredDepth(1);
    member->paletteNumber = 4;
    member->fillColoursForFirstDraw(-3, stage);
    EXPECT_EQ(rowsOf(*member), (Rows{{0, 255}}));
    EXPECT_TRUE(sameColour(member->colours()[1], rgb(1, 1, 0))); // the stage's

    auto four = bitmapOf({{1}});
    four->setAuthoredDepth(4);
    EXPECT_EQ(four->fillColoursForFirstDraw(-1, stage), 0);
}

TEST(DibColours, CountUsedIgnoresRowPadding) {
    auto d = bitmapOf({{1, 2, 3}, {3, 2, 1}});
    d->bits()[3] = 99; // padding byte of the bottom row
    EXPECT_EQ(d->countUsedColours(), 3);
}

// Colour table: 0 red, 1 green, 2 blue, the rest black. The authored pixels 0, 1, 2, 255.
std::unique_ptr<nDIB> authoredRgb() {
    auto d = bitmapOf({{0, 1, 2, 255}});
    RGBQUAD* t = d->colours();
    std::memset(t, 0, 256 * sizeof(RGBQUAD));
    t[0] = rgb(255, 0, 0);
    t[1] = rgb(0, 255, 0);
    t[2] = rgb(0, 0, 255);
    return d;
}

TEST(DibMapping, RemapsToNearestEntriesAndTakesThePalettesColours) {
    auto d = authoredRgb();
    const RGBQUAD white = rgb(255, 255, 255);
    HPALETTE p = paletteOf({rgb(0, 0, 255), rgb(255, 0, 0), rgb(0, 255, 0)}, white);
    ASSERT_EQ(d->mapToPalette(p), 1);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 2, 0, 255}}));
    EXPECT_TRUE(sameColour(d->colours()[0], rgb(0, 0, 255)));
    EXPECT_TRUE(sameColour(d->colours()[100], white));
    EXPECT_EQ(d->info()->bmiHeader.biClrUsed, 256u);
    EXPECT_TRUE(d->isMapped());
    EXPECT_EQ(d->mappingCount(), 1);
    // The inverse map: where each palette entry came from; entries nothing landed on say 0.
    const uint8_t* inverse = d->mappingHistory();
    EXPECT_EQ(inverse[0], 2);
    EXPECT_EQ(inverse[1], 0);
    EXPECT_EQ(inverse[2], 1);
    EXPECT_EQ(inverse[255], 255); // the last of the black entries wins
    EXPECT_EQ(inverse[7], 0);
    DeleteObject(p);
}

TEST(DibMapping, DisabledOrWithoutPaletteDoesNothing) {
    auto d = authoredRgb();
    EXPECT_EQ(d->mapToPalette(nullptr), 0);
    HPALETTE p = paletteOf({rgb(0, 0, 255)}, rgb(255, 255, 255));
    d->setMappingEnabled(0);
    EXPECT_EQ(d->mapToPalette(p), 0);
    EXPECT_EQ(rowsOf(*d), (Rows{{0, 1, 2, 255}}));
    EXPECT_EQ(d->mappingCount(), 0);
    DeleteObject(p);
}

TEST(DibMapping, MappedTwiceIsStoredInAuthoredIndicesUndoingNewestFirst) {
    auto d = authoredRgb();
    const RGBQUAD white = rgb(255, 255, 255);
    // First a three-cycle of red, green and blue, then a swap: applying the two undo maps in the
    // wrong order gives 2, 0, 1 instead of 0, 1, 2.
    HPALETTE p1 = paletteOf({rgb(0, 0, 255), rgb(255, 0, 0), rgb(0, 255, 0)}, white);
    HPALETTE p2 = paletteOf({rgb(255, 0, 0), rgb(0, 0, 255), rgb(0, 255, 0)}, white);
    d->mapToPalette(p1);
    d->mapToPalette(p2);
    ASSERT_EQ(rowsOf(*d), (Rows{{0, 2, 1, 255}}));

    std::vector<uint8_t> bytes = stored(*d);
    ASSERT_EQ(bytes.size(), 64u + 4 + 4 + 4 + 4 + 2 + 4 + 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<uint8_t>{0, 1, 2, 255}));
    // Memory keeps the mapped pixels.
    EXPECT_EQ(rowsOf(*d), (Rows{{0, 2, 1, 255}}));
    DeleteObject(p1);
    DeleteObject(p2);
}

TEST(DibStoredForm, LayoutOfARawBitmap) {
    auto d = bitmapOf({{1, 2, 3, 4}, {5, 6, 7, 8}});
    d->paletteNumber = -1;
    std::vector<uint8_t> bytes = stored(*d);
    std::vector<uint8_t> body(bytes.begin() + 64, bytes.end());
    const std::vector<uint8_t> expected = {
        'N', 'P', 'D', 'B', 8, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, // tag, depth, width, height
        0,   0,                                                 // palette -1 stored as 0
        0,   0,   0,   0,                                       // raw
        5,   6,   7,   8,   1, 2, 3, 4,                         // bottom row first
    };
    EXPECT_EQ(body, expected);
    EXPECT_EQ(std::memcmp(bytes.data(), "NOBJ", 4), 0);
}

TEST(DibStoredForm, RoundTripKeepsSizePixelsDepthAndPaletteWhateverTheTag) {
    std::vector<uint8_t> wide(17);
    for (int i = 0; i < 17; ++i)
        wide[i] = static_cast<uint8_t>(i * 15);
    struct Case {
        const char* tag;
        Rows rows;
        bool backdrop;
    } cases[] = {
        {"NPDB", {{9, 8, 7}, {6, 5, 4}, {3, 2, 1}}, false},
        {"NDIB", {wide, wide}, false},
        {"NBAK", {{9, 8, 7}, {6, 5, 4}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        auto d = bitmapOf(c.rows);
        d->paletteNumber = 12;
        d->setAuthoredDepth(4);
        if (c.backdrop) d->setClassId(CLSID_nDIBBackdrop);
        std::vector<uint8_t> bytes = stored(*d);
        EXPECT_EQ(std::memcmp(bytes.data() + 64, c.tag, 4), 0);
        nDIB back;
        EXPECT_TRUE(loadInto(back, bytes).empty());
        EXPECT_EQ(rowsOf(back), c.rows);
        EXPECT_EQ(back.paletteNumber, 12);
        EXPECT_EQ(back.authoredDepth(), 4);
        EXPECT_EQ(back.bitCount(), 8);
        EXPECT_EQ(back.compression(), 0);
    }
}

TEST(DibStoredForm, PaletteNumbersAreStoredShifted) {
    struct Case {
        int16_t number, storedAs;
    } cases[] = {{-101, -100}, {-1, 0}, {-7, -6}, {5, 5}, {1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        nDIB d;
        d.paletteNumber = c.number;
        std::vector<uint8_t> bytes = stored(d);
        int16_t s = static_cast<int16_t>(bytes[64 + 16] | (bytes[64 + 17] << 8));
        EXPECT_EQ(s, c.storedAs);
        nDIB back;
        loadInto(back, bytes);
        EXPECT_EQ(back.paletteNumber, c.number);
    }
    // A stored 0 reads as -1: stored values up to 0 are shifted down.
    nDIB zero;
    loadInto(zero, StoredForm::raw8(8, 1, 1, 0).i32(0).raw({0, 0, 0, 0}).bytes);
    EXPECT_EQ(zero.paletteNumber, -1);
}

TEST(DibStoredForm, OneBitBitmapReadsWithPaletteMinusOne) {
    nDIB d;
    loadInto(d, StoredForm::raw8(1, 2, 1, 7).i32(0).raw({0, 255, 0, 0}).bytes);
    EXPECT_EQ(d.paletteNumber, -1);
    EXPECT_EQ(d.authoredDepth(), 1);
    EXPECT_EQ(rowsOf(d), (Rows{{0, 255}}));
}

TEST(DibStoredForm, RawBitmapOfABuiltInPaletteTakesItsColours) {
    nDIB grey;
    loadInto(grey, StoredForm::raw8(8, 1, 1, -2).i32(0).raw({0, 0, 0, 0}).bytes); // palette -3
    EXPECT_EQ(grey.paletteNumber, -3);
    EXPECT_TRUE(sameColour(grey.colours()[10], rgb(245, 245, 245)));

    nDIB member; // palette cast member 5: colours come with its first draw
    loadInto(member, StoredForm::raw8(8, 1, 1, 5).i32(0).raw({0, 0, 0, 0}).bytes);
    EXPECT_TRUE(sameColour(member.colours()[10], rgb(0, 0, 0)));
    EXPECT_EQ(member.hasColourTable, 0);
}

TEST(DibStoredForm, UntrustedSizesAreRefusedBeforeAllocation) {
    auto refused = [](StoredForm f) {
        nDIB d;
        return errorCodeOf([&] { loadInto(d, f.bytes); });
    };
    // No pixel bytes follow: only a refusal before allocating could be this cheap, and under
    // the address sanitizer a 3.6 GB allocation would end the test.
    EXPECT_EQ(refused(StoredForm::raw8(8, 60000, 60000, 0).i32(0)), kErrShortRead);
    EXPECT_EQ(refused(StoredForm::raw8(8, -4, 4, 0).i32(0)), kErrShortRead);
    EXPECT_EQ(refused(StoredForm::raw8(8, 4, -4, 0).i32(0)), kErrShortRead);
    EXPECT_EQ(refused(StoredForm::raw8(8, 8192, 8192, 0).i32(0)), kErrShortRead); // 64 MB
    EXPECT_EQ(refused(StoredForm::raw8(2, 4, 4, 0).i32(0)), kErrShortRead);       // depth
    EXPECT_EQ(refused(StoredForm::raw8(8, 4, 4, 0).i32(48).i32(-1).i32(80)), kErrShortRead);
    EXPECT_EQ(refused(StoredForm::raw8(8, 4, 4, 0).i32(48).i32(0x7FFFFFFF).i32(80)), kErrShortRead);
    // Pixel data cut short, and a JPEG length beyond what follows.
    EXPECT_EQ(refused(StoredForm::raw8(8, 4, 4, 0).i32(0).raw({1, 2, 3})), kErrShortRead);
    EXPECT_EQ(refused(StoredForm::raw8(8, 4, 4, 0).i32(48).i32(1000).i32(80).raw({0xFF, 0xD8})),
              kErrShortRead);
}

TEST(DibStoredForm, EmptyBitmapRoundTrips) {
    nDIB d;
    ASSERT_EQ(d.create(0, 0), 1);
    nDIB back;
    EXPECT_TRUE(loadInto(back, stored(d)).empty());
    EXPECT_EQ(back.width(), 0);
    EXPECT_EQ(back.height(), 0);
}

TEST(DibPacking, FourBitRoundTrip) {
    auto d = bitmapOf({{1, 2, 3, 4, 5}, {248, 255, 7, 0, 15}});
    d->setAuthoredDepth(4);
    ASSERT_EQ(d->packForWrite(), 1);
    EXPECT_EQ(d->bitCount(), 4);
    ASSERT_EQ(d->stride(), 4);
    // Bottom row first; 248 and 255 become 8 and 15; an odd last pixel pairs with 0.
    const std::vector<uint8_t> packed(d->bits(), d->bits() + 8);
    EXPECT_EQ(packed, (std::vector<uint8_t>{0x8F, 0x70, 0xF0, 0, 0x12, 0x34, 0x50, 0}));
    ASSERT_EQ(d->unpack4(), 1);
    EXPECT_EQ(d->bitCount(), 8);
    EXPECT_EQ(d->info()->bmiHeader.biClrUsed, 16u);
    EXPECT_EQ(d->info()->bmiHeader.biSizeImage, 16u);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 2, 3, 4, 5}, {8, 15, 7, 0, 15}}));
}

TEST(DibPacking, OneBitRoundTrip) {
    auto d = bitmapOf({{0, 255, 7, 255, 255, 255, 255, 255, 0, 255}});
    d->setAuthoredDepth(1);
    ASSERT_EQ(d->packTo1(), 1);
    EXPECT_EQ(d->bitCount(), 1);
    ASSERT_EQ(d->stride(), 4);
    // A bit is set for every pixel that is not 255, most significant bit first.
    EXPECT_EQ(std::vector<uint8_t>(d->bits(), d->bits() + 4),
              (std::vector<uint8_t>{0xA0, 0x80, 0, 0}));
    ASSERT_EQ(d->unpack1(), 1);
    EXPECT_EQ(d->info()->bmiHeader.biClrUsed, 2u);
    EXPECT_EQ(rowsOf(*d), (Rows{{0, 255, 0, 255, 255, 255, 255, 255, 0, 255}}));
}

TEST(DibPacking, OnlyTheAuthoredDepthPacks) {
    auto d = bitmapOf({{1, 2}});
    EXPECT_EQ(d->packForWrite(), 0); // authored at 8 bits
    EXPECT_EQ(d->packTo4(), 0);
    EXPECT_EQ(d->packTo1(), 0);
    EXPECT_EQ(d->unpack4(), 0); // already one byte per pixel
    EXPECT_EQ(d->bitCount(), 8);
    EXPECT_EQ(rowsOf(*d), (Rows{{1, 2}}));
}

TEST(DibPacking, PackedBitmapIsStoredAsBytes) {
    auto d = bitmapOf({{1, 2, 3}});
    d->setAuthoredDepth(4);
    d->packTo4();
    nDIB back;
    loadInto(back, stored(*d));
    EXPECT_EQ(rowsOf(back), (Rows{{1, 2, 3}}));
}

TEST(DibCopies, BlitCopiesOrSkipsTheKey) {
    auto src = bitmapOf({{1, 2}, {3, 4}});
    auto dst = bitmapOf({{9, 9, 9}, {9, 9, 9}, {9, 9, 9}});
    src->blitInto(*dst, 1, 1, 2, 2, 0, 0, -1);
    EXPECT_EQ(rowsOf(*dst), (Rows{{9, 9, 9}, {9, 1, 2}, {9, 3, 4}}));
    auto dst2 = bitmapOf({{9, 9, 9}, {9, 9, 9}});
    src->blitInto(*dst2, -1, 0, 2, 2, 0, 0, 3); // clipped on the left; 3 is skipped
    EXPECT_EQ(rowsOf(*dst2), (Rows{{2, 9, 9}, {4, 9, 9}}));
}

TEST(DibCopies, CopyFromTakesHeaderColoursAndPixels) {
    auto src = bitmapOf({{1, 2, 3}, {4, 5, 6}});
    src->colours()[3] = rgb(10, 20, 30);
    nDIB d; // 4 x 4: resized to the source
    d.copyFrom(*src);
    EXPECT_EQ(rowsOf(d), rowsOf(*src));
    EXPECT_TRUE(sameColour(d.colours()[3], rgb(10, 20, 30)));
}

TEST(DibPalette, CreatePaletteKeepsTheMostUsedColours) {
    std::vector<uint8_t> row;
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < (v < 20 ? 1 : 2); ++k)
            row.push_back(static_cast<uint8_t>(v));
    auto d = bitmapOf({row});
    for (int i = 0; i < 256; ++i)
        d->colours()[i] = rgb(i, 0, 0);
    int32_t count = -1;
    HPALETTE p = d->createPalette(&count);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(count, 236);
    PALETTEENTRY e[236];
    ASSERT_EQ(GetPaletteEntries(p, 0, 236, e), 236u);
    // Values 0-19 are used once, every other value twice: 0-19 are left out.
    EXPECT_EQ(e[0].peRed, 20);
    EXPECT_EQ(e[235].peRed, 255);
    EXPECT_EQ(e[0].peFlags, PC_RESERVED);
    DeleteObject(p);

    auto few = bitmapOf({{3, 3, 7}});
    few->colours()[3] = rgb(1, 1, 1);
    few->colours()[7] = rgb(7, 7, 7);
    p = few->createPalette(&count);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(GetPaletteEntries(p, 0, 2, e), 2u);
    EXPECT_EQ(e[1].peRed, 7);
    DeleteObject(p);
}

} // namespace
