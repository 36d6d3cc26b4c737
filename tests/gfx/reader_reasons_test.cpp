// Why a picture was refused: each malformed BMP, built byte by byte, is rejected as before (0) and
// the abandoned-operation channel names the check that failed; a good file gives no reason. The
// JPEG reader and the matte mask say why they give up too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/abandon.h"
#include "gfx/dib.h"
#include "gfx/jpegcodec.h"

using namespace skv;

namespace {

struct Reasons : AbandonListener {
    Reasons() { installed = installAbandonListener(this); }
    ~Reasons() { removeAbandonListener(this); }
    void abandoned(const char* operation, const char* reason) override {
        lines.push_back(std::string(operation) + ": " + reason);
    }
    bool installed = false;
    std::vector<std::string> lines;
};

struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(int x) {
        v.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Bytes& u16(int x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
    Bytes& u32(int64_t x) { return u16(int(x & 0xFFFF)).u16(int((x >> 16) & 0xFFFF)); }
    Bytes& zeros(int n) {
        v.insert(v.end(), size_t(n), 0);
        return *this;
    }
};

// "BM", the file's size, two reserved words, the pixels' offset; then a 40-byte header.
Bytes bmp(int32_t w, int32_t h, int bits, int64_t offBits, int compression = 0) {
    Bytes b;
    b.u8('B').u8('M').u32(0).u16(0).u16(0).u32(offBits);
    b.u32(40).u32(w).u32(h).u16(1).u16(bits).u32(compression).u32(0).u32(0).u32(0).u32(0).u32(0);
    return b;
}

// A 2 x 2 picture at 24 bits: rows of 6 bytes padded to 8.
Bytes good24() {
    Bytes b = bmp(2, 2, 24, 54);
    return b.zeros(16);
}

std::string reasonFor(const Bytes& b) {
    Reasons r;
    EXPECT_TRUE(r.installed);
    nDIB d;
    EXPECT_EQ(d.readBMP(b.v.data(), b.v.size()), 0);
    EXPECT_EQ(r.lines.size(), 1u) << ::testing::PrintToString(r.lines);
    return r.lines.empty() ? "" : r.lines[0];
}

TEST(ReaderReasons, EachRejectedBmpSaysWhichCheckFailed) {
    {
        // A good file is read and gives no reason.
        Reasons r;
        ASSERT_TRUE(r.installed);
        nDIB d;
        Bytes b = good24();
        EXPECT_EQ(d.readBMP(b.v.data(), b.v.size()), 1);
        EXPECT_TRUE(r.lines.empty()) << ::testing::PrintToString(r.lines);
    }
    Bytes wrongMagic = good24();
    wrongMagic.v[1] = 'X';
    EXPECT_EQ(reasonFor(wrongMagic), "readBMP: the file does not begin with \"BM\" (0x42 0x58)");

    Bytes tiny;
    tiny.u8('B').u8('M').u32(0);
    EXPECT_EQ(reasonFor(tiny), "readBMP: 6 bytes are too few for the 14-byte file header");

    Bytes oddHeader = good24();
    oddHeader.v[14] = 64; // a 64-byte picture header exists nowhere
    EXPECT_EQ(reasonFor(oddHeader),
              "readBMP: a picture header of 64 bytes is none of 12, 40, 108, 124");

    EXPECT_EQ(reasonFor(bmp(0, 2, 24, 54).zeros(16)), "readBMP: the size 0 x 2 is not positive");
    EXPECT_EQ(reasonFor(bmp(9000, 1, 8, 54)),
              "readBMP: the size 9000 x 1 is over the limit of 8192");
    EXPECT_EQ(reasonFor(bmp(2, 2, 24, 54, 1).zeros(16)), "readBMP: compression 1 is not BI_RGB");
    EXPECT_EQ(reasonFor(bmp(2, 2, 2, 54).zeros(16)),
              "readBMP: a depth of 2 bits is none of 1, 4, 8, 16, 24, 32");

    // An 8-bit picture has a table of 256 colours (1024 bytes) before its pixels.
    EXPECT_EQ(reasonFor(bmp(2, 2, 8, 54).zeros(100)),
              "readBMP: 154 bytes end inside the table of 256 colours");

    // One byte short of the last row.
    Bytes shortPixels = good24();
    shortPixels.v.pop_back();
    EXPECT_EQ(reasonFor(shortPixels),
              "readBMP: 15 bytes of pixels from offset 54 are fewer than the 16 of 2 rows");

    Bytes pastTheEnd = bmp(2, 2, 24, 500).zeros(16);
    EXPECT_EQ(reasonFor(pastTheEnd), "readBMP: the pixels' offset 500 lies past the end, at 70 "
                                     "bytes");

    // A core header cut off inside.
    Bytes core;
    core.u8('B').u8('M').u32(0).u16(0).u16(0).u32(26).u32(12).u16(2);
    EXPECT_EQ(reasonFor(core), "readBMP: 20 bytes end inside the 12-byte core header");
}

TEST(ReaderReasons, JpegAndMatteMaskSayWhyTheyGiveUp) {
    Reasons r;
    ASSERT_TRUE(r.installed);
    jpegCodec codec;
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    const Bytes notJpeg = good24();
    EXPECT_FALSE(codec.decompress(notJpeg.v.data(), notJpeg.v.size(), &header, colours, &bits));
    ASSERT_EQ(r.lines.size(), 1u);
    // What the decoder said is the reason, and the caller still finds it in lastError.
    EXPECT_EQ(r.lines[0], "jpegDecompress: " + codec.lastError());
    EXPECT_NE(codec.lastError().find("JPEG"), std::string::npos) << codec.lastError();

    nDIB picture; // no JPEG bytes behind it
    EXPECT_EQ(picture.jpegDecompress(1), -1);
    // The mask is made of 8-bit pixels only.
    const Bytes b = good24();
    ASSERT_EQ(picture.readBMP(b.v.data(), b.v.size()), 1);
    EXPECT_EQ(picture.makeMask(), 0);
    EXPECT_EQ(std::vector<std::string>(r.lines.begin() + 1, r.lines.end()),
              (std::vector<std::string>{"jpegDecompress: no compressed bytes",
                                        "makeMask: a 24-bit picture has no matte mask"}));
}

} // namespace
