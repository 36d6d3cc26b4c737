#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "gfx/dib.h"
#include "gfx/jpegcodec.h"
#include "gfx_test_util.h"

using namespace skv;
using namespace skv::test;

namespace {

// A 32 x 24 picture of smooth colour: the colour table is a 16 x 16 grid of red and green with
// blue fixed, and the pixels run through it in both directions.
std::unique_ptr<nDIB> gradient() {
    const int w = 32, h = 24;
    Rows r(h, std::vector<uint8_t>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            r[y][x] = static_cast<uint8_t>((y * 16 / h) * 16 + x / 2);
    auto d = bitmapOf(r);
    for (int i = 0; i < 256; ++i)
        d->colours()[i] = rgb((i % 16) * 16, (i / 16) * 16, 96);
    return d;
}

// The colour every pixel shows, through the bitmap's own table.
std::vector<RGBQUAD> shownColours(const nDIB& d) {
    std::vector<RGBQUAD> out;
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x)
            out.push_back(d.colours()[*d.pixelAt(x, y)]);
    return out;
}

// Mean and largest difference of any colour component.
std::pair<double, int> difference(const std::vector<RGBQUAD>& a, const std::vector<RGBQUAD>& b) {
    double sum = 0;
    int most = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d[3] = {std::abs(a[i].rgbRed - b[i].rgbRed), std::abs(a[i].rgbGreen - b[i].rgbGreen),
                    std::abs(a[i].rgbBlue - b[i].rgbBlue)};
        for (int v : d) {
            sum += v;
            most = std::max(most, v);
        }
    }
    return {sum / (3.0 * a.size()), most};
}

std::vector<uint8_t> jpegOf(const nDIB& d, int quality) {
    jpegCodec codec;
    codec.setQuality(quality);
    std::vector<uint8_t> out;
    EXPECT_TRUE(codec.compress(d.info()->bmiHeader, d.colours(), d.bits(), &out));
    return out;
}

TEST(JpegCodec, RoundTripStaysCloseToTheOriginalColours) {
    auto d = gradient();
    std::vector<uint8_t> jpeg = jpegOf(*d, 90);
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);

    jpegCodec codec;
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    ASSERT_TRUE(codec.decompress(jpeg.data(), jpeg.size(), &h, colours, &bits))
        << codec.lastError();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 32);
    EXPECT_EQ(h.biHeight, 24);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biPlanes, 1);
    ASSERT_EQ(bits.size(), 32u * 24);

    nDIB decoded;
    RGBQUAD table[256];
    std::memcpy(table, colours, sizeof table);
    decoded.create(32, 24, bits.data(), table);
    auto [mean, most] = difference(shownColours(*d), shownColours(decoded));
    // Quality 90 plus quantization to at most 256 dithered colours: a few steps on average,
    // never a wrong colour.
    EXPECT_LT(mean, 6.0);
    EXPECT_LT(most, 48);
}

TEST(JpegCodec, FirstDecodedLineIsTheTopRow) {
    // Top half white, bottom half black.
    Rows r(16, std::vector<uint8_t>(16, 0));
    for (int y = 8; y < 16; ++y)
        r[y].assign(16, 1);
    auto d = bitmapOf(r);
    d->colours()[0] = rgb(255, 255, 255);
    d->colours()[1] = rgb(0, 0, 0);
    std::vector<uint8_t> jpeg = jpegOf(*d, 95);
    nDIB back;
    RGBQUAD table[256];
    jpegCodec codec;
    BITMAPINFOHEADER h{};
    std::vector<uint8_t> bits;
    ASSERT_TRUE(codec.decompress(jpeg.data(), jpeg.size(), &h, table, &bits));
    back.create(16, 16, bits.data(), table);
    EXPECT_GT(back.colours()[*back.pixelAt(8, 1)].rgbRed, 200);
    EXPECT_LT(back.colours()[*back.pixelAt(8, 14)].rgbRed, 50);
}

// A grey (one-component) JPEG straight from libjpeg.
std::vector<uint8_t> greyJpeg(int w, int h) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(w);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < w; ++x)
            row[x] = static_cast<uint8_t>(x * 255 / (w - 1));
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> v(out, out + size);
    std::free(out);
    return v;
}

TEST(JpegCodec, GreyPictureGetsGreyColours) {
    std::vector<uint8_t> jpeg = greyJpeg(64, 8);
    jpegCodec codec;
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    ASSERT_TRUE(codec.decompress(jpeg.data(), jpeg.size(), &h, colours, &bits))
        << codec.lastError();
    // Left end black, right end white, every entry a grey.
    EXPECT_LT(colours[bits[0]].rgbRed, 16);
    EXPECT_GT(colours[bits[63]].rgbRed, 239);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(colours[i].rgbRed, colours[i].rgbGreen) << i;
        EXPECT_EQ(colours[i].rgbRed, colours[i].rgbBlue) << i;
    }
}

TEST(JpegCodec, CorruptDataFailsTheCallAndChangesNothing) {
    std::vector<uint8_t> good = jpegOf(*gradient(), 80);
    std::vector<std::pair<const char*, std::vector<uint8_t>>> bad;
    bad.push_back({"not a JPEG", {'G', 'I', 'F', '8', '9', 'a', 0, 0}});
    bad.push_back({"start marker only", {0xFF, 0xD8}});
    bad.push_back({"cut inside the header", {good.begin(), good.begin() + 30}});
    std::vector<uint8_t> v = good;
    for (size_t i = 2; i < 200 && i < v.size(); ++i)
        v[i] = static_cast<uint8_t>(i * 37);
    bad.push_back({"garbled header", v});
    for (auto& [what, bytes] : bad) {
        SCOPED_TRACE(what);
        jpegCodec codec;
        BITMAPINFOHEADER h{};
        h.biWidth = 77;
        RGBQUAD colours[256] = {};
        colours[3] = rgb(1, 2, 3);
        std::vector<uint8_t> bits(5, 42);
        EXPECT_FALSE(codec.decompress(bytes.data(), bytes.size(), &h, colours, &bits));
        EXPECT_FALSE(codec.lastError().empty());
        EXPECT_EQ(h.biWidth, 77);
        EXPECT_EQ(bits, std::vector<uint8_t>(5, 42));
        EXPECT_TRUE(sameColour(colours[3], rgb(1, 2, 3)));
    }
}

TEST(JpegCodec, DataCutShortStillDecodesWhatIsThere) {
    std::vector<uint8_t> good = jpegOf(*gradient(), 80);
    // Cut halfway through the entropy-coded data after the start-of-scan marker.
    size_t sos = 0;
    for (size_t i = 2; i + 1 < good.size(); ++i)
        if (good[i] == 0xFF && good[i + 1] == 0xDA) sos = i;
    ASSERT_NE(sos, 0u);
    std::vector<uint8_t> cut(good.begin(), good.begin() + (sos + good.size()) / 2);
    jpegCodec codec;
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    EXPECT_TRUE(codec.decompress(cut.data(), cut.size(), &h, colours, &bits)) << codec.lastError();
    EXPECT_EQ(h.biWidth, 32);
}

TEST(JpegCodec, HugeImageIsRefusedBeforeDecoding) {
    std::vector<uint8_t> jpeg = jpegOf(*gradient(), 80);
    // The baseline frame header: FF C0, length, precision, height, width.
    size_t sof = 0;
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_NE(sof, 0u);
    jpeg[sof + 5] = 0xEA; // height 60000
    jpeg[sof + 6] = 0x60;
    jpeg[sof + 7] = 0xEA; // width 60000
    jpeg[sof + 8] = 0x60;
    jpegCodec codec;
    BITMAPINFOHEADER h{};
    RGBQUAD colours[256];
    std::vector<uint8_t> bits;
    EXPECT_FALSE(codec.decompress(jpeg.data(), jpeg.size(), &h, colours, &bits));
    EXPECT_EQ(codec.lastError(), "JPEG image too large");
}

TEST(DibJpeg, CompressAndDecompressReplaceThePixels) {
    auto d = gradient();
    EXPECT_EQ(d->jpegDecompress(0), -1); // nothing compressed yet
    ASSERT_EQ(d->jpegCompress(75), 0);
    EXPECT_EQ(d->compression(), nDIB::kCompressionJPEG);
    EXPECT_EQ(d->quality(), 75);
    EXPECT_GT(d->compressedLength(), 0);
    ASSERT_EQ(d->jpegDecompress(1), 0);
    EXPECT_EQ(d->remapNeeded, 1);
    EXPECT_EQ(d->hasColourTable, 1);
    EXPECT_EQ(d->width(), 32);
}

TEST(DibJpeg, StoredWithoutCompressedBytesCompressesAtQuality80WhenOutOfRange) {
    auto d = gradient();
    const Rows authored = rowsOf(*d);
    d->setCompression(nDIB::kCompressionJPEG);
    d->setQuality(250);
    std::vector<uint8_t> bytes = stored(*d);
    EXPECT_EQ(d->quality(), 80);
    // The pixels in memory are now what a reader decodes.
    EXPECT_NE(rowsOf(*d), authored);
    const int32_t length = d->compressedLength();
    ASSERT_GT(length, 0);
    ASSERT_EQ(bytes.size(), 64u + 22 + 8 + size_t(length));
    EXPECT_EQ(bytes[64 + 22], uint8_t(length));
    EXPECT_EQ(bytes[64 + 26], 80);

    nDIB back;
    EXPECT_TRUE(loadInto(back, bytes).empty());
    EXPECT_EQ(rowsOf(back), rowsOf(*d));
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(sameColour(back.colours()[i], d->colours()[i]));
    EXPECT_EQ(back.hasColourTable, 1);
    EXPECT_EQ(back.remapNeeded, 1);
    EXPECT_EQ(back.compressedLength(), 0); // the bytes go once decoded
    EXPECT_EQ(back.compression(), nDIB::kCompressionJPEG);
}

TEST(DibJpeg, CorruptJpegInTheStreamLeavesABlankBitmapAndTheStreamReadable) {
    std::vector<uint8_t> bytes(64, 0);
    auto put32 = [&](int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
    };
    bytes.insert(bytes.end(), {'N', 'D', 'I', 'B'});
    put32(8);
    put32(6);
    put32(3);
    bytes.insert(bytes.end(), {0, 0});
    put32(48);
    put32(10);
    put32(90);
    bytes.insert(bytes.end(), {0xFF, 0xD8, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0});
    put32(0x12345678); // whatever follows the bitmap in the stream
    nDIB d;
    std::vector<uint8_t> rest = loadInto(d, bytes);
    EXPECT_EQ(rest, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(d.width(), 6);
    EXPECT_EQ(d.height(), 3);
    EXPECT_EQ(rowsOf(d), Rows(3, std::vector<uint8_t>(6, 0)));
    EXPECT_EQ(d.hasColourTable, 0);
}

} // namespace
