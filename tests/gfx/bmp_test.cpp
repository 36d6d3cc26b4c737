#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gfx/dib.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(int x) {
        v.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Bytes& u16(int x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
    Bytes& u32(int64_t x) { return u16(int(x & 0xFFFF)).u16(int((x >> 16) & 0xFFFF)); }
    Bytes& fileHeader(int64_t size, int64_t offBits) {
        return u8('B').u8('M').u32(size).u16(0).u16(0).u32(offBits);
    }
    Bytes& infoHeader(int32_t w, int32_t h, int bits, int64_t compression = 0, int clrUsed = 0) {
        return u32(40)
            .u32(w)
            .u32(h)
            .u16(1)
            .u16(bits)
            .u32(compression)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(clrUsed)
            .u32(0);
    }
};

// A 2 x 2 picture at 4 bits with an OS/2 core header: 16 three-byte colours.
Bytes coreHeader4Bit() {
    Bytes b;
    b.fileHeader(14 + 12 + 48 + 8, 14 + 12 + 48);
    b.u32(12).u16(2).u16(2).u16(1).u16(4);
    for (int i = 0; i < 16; ++i)
        b.u8(i).u8(100 + i).u8(200 + i); // blue, green, red
    b.u8(0x12).u8(0).u8(0).u8(0);        // bottom row: 1, 2
    b.u8(0x30).u8(0).u8(0).u8(0);        // top row: 3, 0
    return b;
}

TEST(BmpRead, CoreHeaderColoursBecomeFourByteEntries) {
    nDIB d;
    Bytes b = coreHeader4Bit();
    ASSERT_EQ(d.readBMP(b.v.data(), b.v.size()), 1);
    EXPECT_EQ(d.width(), 2);
    EXPECT_EQ(d.height(), 2);
    EXPECT_EQ(d.bitCount(), 4);
    EXPECT_EQ(d.authoredDepth(), 4);
    EXPECT_EQ(d.info()->bmiHeader.biSize, 40u);
    const RGBQUAD& c = d.colours()[5];
    EXPECT_EQ(c.rgbBlue, 5);
    EXPECT_EQ(c.rgbGreen, 105);
    EXPECT_EQ(c.rgbRed, 205);
    EXPECT_EQ(c.rgbReserved, 0);
    ASSERT_EQ(d.unpack4(), 1);
    EXPECT_EQ(rowsOf(d), (Rows{{3, 0}, {1, 2}}));
}

TEST(BmpRead, SmallCoreHeaderFileShorterThanAnInfoHeader) {
    // 1 x 1 at 1 bit: 14 + 12 + 6 + 4 = 36 bytes in all.
    Bytes b;
    b.fileHeader(36, 32).u32(12).u16(1).u16(1).u16(1).u16(1);
    b.u8(0).u8(0).u8(0).u8(255).u8(255).u8(255);
    b.u8(0x80).u8(0).u8(0).u8(0);
    nDIB d;
    ASSERT_EQ(d.readBMP(b.v.data(), b.v.size()), 1);
    EXPECT_EQ(d.bitCount(), 1);
    ASSERT_EQ(d.unpack1(), 1);
    EXPECT_EQ(rowsOf(d), (Rows{{0}})); // a set bit is index 0
}

TEST(BmpRead, InfoHeaderEightBit) {
    Bytes b;
    b.fileHeader(14 + 40 + 8 + 8, 14 + 40 + 8).infoHeader(3, 2, 8, 0, 2);
    b.u8(1).u8(2).u8(3).u8(0).u8(4).u8(5).u8(6).u8(0);
    b.u8(1).u8(0).u8(1).u8(0xEE); // bottom row, then padding
    b.u8(0).u8(1).u8(0).u8(0xEE);
    nDIB d;
    ASSERT_EQ(d.readBMP(b.v.data(), b.v.size()), 1);
    EXPECT_EQ(rowsOf(d), (Rows{{0, 1, 0}, {1, 0, 1}}));
    EXPECT_EQ(d.authoredDepth(), 8);
    EXPECT_EQ(d.colours()[1].rgbRed, 6);
    EXPECT_EQ(d.colours()[2].rgbRed, 0); // beyond biClrUsed
}

TEST(BmpRead, TopDownFileIsTurnedBottomUp) {
    Bytes b;
    b.fileHeader(14 + 40 + 8, 14 + 40).infoHeader(1, -2, 24);
    b.u8(1).u8(2).u8(3).u8(0); // top row first in this file
    b.u8(4).u8(5).u8(6).u8(0);
    nDIB d;
    ASSERT_EQ(d.readBMP(b.v.data(), b.v.size()), 1);
    EXPECT_EQ(d.height(), 2);
    EXPECT_EQ(d.bitCount(), 24);
    EXPECT_EQ(d.bits()[0], 4); // the bottom row comes first in memory
    EXPECT_EQ(d.bits()[4], 1);
}

TEST(BmpRead, FailuresLeaveTheBitmapUnchanged) {
    Bytes good = coreHeader4Bit();
    std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
    bad.push_back({"empty", {}});
    std::vector<uint8_t> v = good.v;
    v[0] = 'X';
    bad.push_back({"not BM", v});
    bad.push_back({"cut in the colours", {good.v.begin(), good.v.begin() + 40}});
    bad.push_back({"cut in the pixels", {good.v.begin(), good.v.end() - 1}});
    v = good.v;
    v[14] = 64; // a header size nobody writes
    bad.push_back({"header size", v});
    Bytes rle;
    rle.fileHeader(14 + 40 + 4, 14 + 40).infoHeader(1, 1, 8, BI_RLE8).u32(0);
    bad.push_back({"run-length compressed", rle.v});
    Bytes huge;
    huge.fileHeader(14 + 40, 14 + 40).infoHeader(60000, 60000, 8);
    bad.push_back({"60000 x 60000", huge.v});
    Bytes zero;
    zero.fileHeader(14 + 40, 14 + 40).infoHeader(0, 5, 8);
    bad.push_back({"zero width", zero.v});
    Bytes manyColours;
    manyColours.fileHeader(14 + 40, 14 + 40).infoHeader(1, 1, 24, 0, 100000).u32(0);
    bad.push_back({"colour count", manyColours.v});
    Bytes offset;
    offset.fileHeader(14 + 40 + 4, 0x7FFFFFF0).infoHeader(1, 1, 8).u32(0);
    bad.push_back({"pixel offset beyond the end", offset.v});
    for (auto& [what, bytes] : bad) {
        SCOPED_TRACE(what);
        auto d = bitmapOf({{7, 8}});
        EXPECT_EQ(d->readBMP(bytes.data(), bytes.size()), 0);
        EXPECT_EQ(rowsOf(*d), (Rows{{7, 8}}));
        EXPECT_EQ(d->bitCount(), 8);
    }
}

std::vector<uint8_t> fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BmpFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("skv_bmp_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(BmpFiles, EightBitWriteAndReadBack) {
    auto d = bitmapOf({{1, 2, 3}, {4, 5, 6}});
    d->colours()[4] = rgb(40, 41, 42);
    const std::string path = (dir / "eight.bmp").string();
    ASSERT_EQ(d->writeBMPFile(path.c_str()), 1);
    std::vector<uint8_t> bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 1078u + 8);
    auto le32 = [&](size_t at) {
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    };
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(2), 1078u + 8);
    EXPECT_EQ(le32(10), 1078u);
    EXPECT_EQ(le32(14), 40u);
    EXPECT_EQ(bytes[1078], 4); // bottom row first
    nDIB back;
    ASSERT_EQ(back.readBMPFile(path.c_str()), 1);
    EXPECT_EQ(rowsOf(back), rowsOf(*d));
    EXPECT_TRUE(sameColour(back.colours()[4], rgb(40, 41, 42)));
}

TEST_F(BmpFiles, PackedFourAndOneBitFilesRoundTrip) {
    auto four = bitmapOf({{1, 2, 3}, {15, 0, 7}});
    four->setAuthoredDepth(4);
    four->setColoursVGA();
    four->packForWrite();
    const std::string p4 = (dir / "four.bmp").string();
    ASSERT_EQ(four->writeBMPFile(p4.c_str()), 1);
    EXPECT_EQ(fileBytes(p4).size(), 14u + 40 + 64 + 8); // 16 colours, 4-byte rows
    nDIB back4;
    ASSERT_EQ(back4.readBMPFile(p4.c_str()), 1);
    EXPECT_EQ(back4.authoredDepth(), 4);
    ASSERT_EQ(back4.unpack4(), 1);
    EXPECT_EQ(rowsOf(back4), (Rows{{1, 2, 3}, {15, 0, 7}}));
    EXPECT_TRUE(sameColour(back4.colours()[1], rgb(128, 0, 0)));

    auto one = bitmapOf({{0, 255, 0}});
    one->setAuthoredDepth(1);
    one->setColoursMono();
    one->packTo1();
    const std::string p1 = (dir / "one.bmp").string();
    ASSERT_EQ(one->writeBMPFile(p1.c_str()), 1);
    EXPECT_EQ(fileBytes(p1).size(), 14u + 40 + 8 + 4);
    nDIB back1;
    ASSERT_EQ(back1.readBMPFile(p1.c_str()), 1);
    ASSERT_EQ(back1.unpack1(), 1);
    EXPECT_EQ(rowsOf(back1), (Rows{{0, 255, 0}}));
}

} // namespace
