// The pieces skvc build is made of: frame strings, colour mapping, rate maps, labels, source file
// names and PNG reading.
#include <gtest/gtest.h>

#include <png.h>

#include "colourmap.h"
#include "framestring.h"
#include "gfx/palette.h"
#include "image.h"
#include "movie/scorecursor.h"
#include "ratemapbuilder.h"
#include "scorebuilder.h"
#include "script/framelabels.h"
#include "sourcefiles.h"

namespace skvc {
namespace {

skv::FrameImage blank() {
    skv::FrameImage im;
    im.clear();
    return im;
}

TEST(FrameString, DecodesBackToEveryImage) {
    std::vector<skv::FrameImage> frames(5, blank());
    frames[0][0].bytes[5] = 12; // tempo
    frames[0][3].setCastNumber(7);
    frames[0][49].setLeft(-300); // the last bytes of the image
    frames[1] = frames[0];       // no change at all
    frames[2] = frames[1];
    frames[2][3].setLeft(10);
    frames[2][3].setTop(20); // two runs 2 bytes apart: one record
    frames[3] = blank();     // everything back to zero
    frames[4] = frames[3];
    frames[4][10].bytes[0] = 1;
    frames[4][40].bytes[19] = 9; // far apart: two records
    std::vector<uint8_t> s = encodeFrameString(frames);
    skv::skvScoreCursor cursor(s.data(), static_cast<int32_t>(s.size()));
    for (int f = 1; f <= 5; ++f) {
        ASSERT_TRUE(cursor.decodeUpTo(f)) << f;
        EXPECT_EQ(
            0, std::memcmp(cursor.current.bytes(), frames[f - 1].bytes(), skv::FrameImage::kSize))
            << f;
    }
    EXPECT_FALSE(cursor.decodeUpTo(6));
    // Frame 2 changes nothing: a bare length word. Frame 3's close runs share one record.
    const int32_t len1 = skv::frameLengthAt(s.data(), s.size(), 0);
    EXPECT_EQ(skv::frameLengthAt(s.data(), s.size(), size_t(len1)), 2);
    const int32_t len3 = skv::frameLengthAt(s.data(), s.size(), size_t(len1 + 2));
    EXPECT_EQ(len3, 2 + 4 + 3) << "top (bytes 8-9) and left (byte 10) of one channel in one record";
}

TEST(ColourMap, NearestEntryAlphaAndCandidates) {
    const RGBQUAD* pal = skv::builtInColours(-101);
    RgbaImage im{3, 1, {250, 250, 250, 255, /**/ 250, 2, 3, 255, /**/ 0, 0, 0, 10}};
    ColourMapping m;
    m.palette = pal;
    m.transparentIndex = 42;
    std::vector<uint8_t> out = mapToPalette(im, m);
    EXPECT_EQ(out[0], 0);  // white
    EXPECT_EQ(out[1], 6);  // (255, 0, 0), the first red of the table
    EXPECT_EQ(out[2], 42); // transparent
    m.candidates = {0, 255};
    im.pixels = {250, 2, 3, 255, 200, 200, 200, 255, 10, 10, 10, 255};
    out = mapToPalette(im, m);
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 0, 255}));
}

TEST(ColourMap, DitheringKeepsTheMeanOfAFlatGrey) {
    // Mid grey between white (0) and black (255) of palette -1: plain mapping gives one colour,
    // diffusion mixes both in about equal parts.
    RgbaImage im{16, 16, {}};
    for (int i = 0; i < 256; ++i)
        im.pixels.insert(im.pixels.end(), {128, 128, 128, 255});
    ColourMapping m;
    m.palette = skv::builtInColours(-1);
    m.candidates = {0, 255};
    std::vector<uint8_t> plain = mapToPalette(im, m);
    EXPECT_TRUE(std::all_of(plain.begin(), plain.end(), [&](uint8_t v) { return v == plain[0]; }));
    m.dither = true;
    std::vector<uint8_t> d = mapToPalette(im, m);
    const auto white = std::count(d.begin(), d.end(), 0);
    EXPECT_GT(white, 110);
    EXPECT_LT(white, 146);
}

TEST(RateMap, NeedsFollowFirstUseAndAddUp) {
    // 100 inflated bytes compress to 50; objects end at 20 (at start), 60 (frame 13), 100 (never).
    std::vector<StreamSpan> spans{{20, 0}, {60, 13}, {100, -1}};
    std::vector<int32_t> e = computeRateMap(spans, 100, 50, 36, 12);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0], 32 + 10); // header and the first object
    EXPECT_EQ(e[1], 20);      // up to compressed offset 32 + 30
    EXPECT_EQ(e[2], 0);
    EXPECT_EQ(computeRateMap({}, 0, 0, 0, 0).size(), 1u);
}

TEST(FrameLabels, EncodedTableAnswersLookups) {
    skv::FrameLabelTable t(encodeFrameLabels({{9, "end"}, {1, "start"}, {5, "Mid"}}));
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t.frameAt(0), 1);
    EXPECT_EQ(t.textAt(1), "Mid");
    EXPECT_EQ(t.frameOfLabel("END"), 9);
    std::string label;
    EXPECT_TRUE(t.labelOfFrame(5, &label));
    EXPECT_EQ(label, "Mid");
    EXPECT_TRUE(encodeFrameLabels({}).empty());
}

TEST(SourceFiles, NamesMustStayInsideTheSource) {
    EXPECT_TRUE(SourceFiles::isInside("a.png"));
    EXPECT_TRUE(SourceFiles::isInside("art/a..b.png"));
    EXPECT_FALSE(SourceFiles::isInside(""));
    EXPECT_FALSE(SourceFiles::isInside("/etc/passwd"));
    EXPECT_FALSE(SourceFiles::isInside("art/../../x"));
    EXPECT_FALSE(SourceFiles::isInside(".."));
    EXPECT_FALSE(SourceFiles::isInside("c:x"));
}

std::vector<uint8_t> encodePng(uint32_t w, uint32_t h, uint32_t format,
                               const std::vector<uint8_t>& pixels,
                               const std::vector<uint8_t>& colourMap, int mapEntries) {
    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    im.width = w;
    im.height = h;
    im.format = format;
    im.colormap_entries = static_cast<png_uint_32>(mapEntries);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&im, nullptr, &size, 0, pixels.data(), 0,
                              colourMap.empty() ? nullptr : colourMap.data());
    std::vector<uint8_t> out(size);
    png_image_write_to_memory(&im, out.data(), &size, 0, pixels.data(), 0,
                              colourMap.empty() ? nullptr : colourMap.data());
    out.resize(size);
    return out;
}

TEST(Png, PalettePngGivesItsPaletteInOrder) {
    std::vector<uint8_t> map = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    std::vector<uint8_t> png = encodePng(3, 1, PNG_FORMAT_RGB_COLORMAP, {2, 1, 0}, map, 3);
    RgbaImage im;
    std::vector<RGBQUAD> pal;
    std::string error;
    ASSERT_TRUE(decodeImage(png, &im, &pal, &error)) << error;
    ASSERT_EQ(pal.size(), 3u);
    EXPECT_EQ(pal[0].rgbRed, 255);
    EXPECT_EQ(pal[2].rgbBlue, 255);
    EXPECT_EQ(im.at(0, 0)[2], 255) << "pixel 0 is colour 2 (blue)";
    EXPECT_EQ(im.at(2, 0)[0], 255);
}

TEST(Png, DamagedOrForeignBytesAreRefusedWithAReason) {
    std::vector<uint8_t> png =
        encodePng(2, 2, PNG_FORMAT_RGBA, std::vector<uint8_t>(16, 200), {}, 0);
    RgbaImage im;
    std::string error;
    ASSERT_TRUE(decodeImage(png, &im, nullptr, &error));
    EXPECT_EQ(im.width, 2);
    png.resize(png.size() - 20);
    EXPECT_FALSE(decodeImage(png, &im, nullptr, &error));
    EXPECT_NE(error.find("PNG"), std::string::npos);
    EXPECT_FALSE(decodeImage({'G', 'I', 'F', '8'}, &im, nullptr, &error));
    EXPECT_EQ(error, "neither a PNG nor a BMP file");
}

} // namespace
} // namespace skvc
