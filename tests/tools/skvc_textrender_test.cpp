// Text rendered for text members: FreeType coverage at depth 8 and 1, lines, bad input.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/moviewriter.h"
#include "textrender.h"

namespace skvc {
namespace {

// The setup installs fonts-dejavu-core.
std::vector<uint8_t> dejaVu() {
    std::vector<uint8_t> font;
    std::string error;
    EXPECT_TRUE(
        skv::readWholeFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", &font, &error))
        << error << " (scripts/setup.sh installs fonts-dejavu-core)";
    return font;
}

TEST(TextRender, EightBitKeepsAntiAliasingOneBitDoesNot) {
    const std::vector<uint8_t> font = dejaVu();
    TextPicture grey, mono;
    std::string error;
    ASSERT_TRUE(renderText(font, "Wave", 24, 8, &grey, &error)) << error;
    ASSERT_TRUE(renderText(font, "Wave", 24, 1, &mono, &error)) << error;
    EXPECT_GT(grey.width, 40);
    EXPECT_LT(grey.width, 90);
    EXPECT_EQ(grey.height, mono.height);
    const auto partial = [](const TextPicture& p) {
        return std::count_if(p.coverage.begin(), p.coverage.end(),
                             [](uint8_t v) { return v > 0 && v < 255; });
    };
    EXPECT_GT(partial(grey), 20) << "the slanted strokes of W are anti-aliased";
    EXPECT_EQ(partial(mono), 0);
    EXPECT_GT(std::count(mono.coverage.begin(), mono.coverage.end(), 255), 50);
}

TEST(TextRender, GlyphsSitOnTheBaselineAndLinesStack) {
    const std::vector<uint8_t> font = dejaVu();
    TextPicture one, two;
    std::string error;
    ASSERT_TRUE(renderText(font, "I", 32, 1, &one, &error)) << error;
    ASSERT_TRUE(renderText(font, "I\nI", 32, 1, &two, &error)) << error;
    EXPECT_EQ(two.height, 2 * one.height);
    EXPECT_EQ(two.width, one.width);
    // The stem of I: a column inked from the cap height down to the baseline, nothing above or
    // below the line's ink in the first row or last rows.
    int32_t inkTop = -1, inkBottom = -1;
    for (int32_t y = 0; y < one.height; ++y)
        for (int32_t x = 0; x < one.width; ++x)
            if (one.coverage[size_t(y) * one.width + x]) {
                if (inkTop < 0) inkTop = y;
                inkBottom = y;
            }
    ASSERT_GE(inkTop, 0);
    EXPECT_GT(inkTop, 0) << "room above the capital";
    EXPECT_GT(inkBottom - inkTop, 18) << "a 32-pixel I is over 18 pixels tall";
    EXPECT_LT(inkBottom, one.height - 3) << "the descender room stays blank";
    // The second line is the first one again, one line lower.
    EXPECT_TRUE(std::equal(one.coverage.begin(), one.coverage.end(),
                           two.coverage.begin() + static_cast<long>(one.coverage.size())));
}

TEST(TextRender, RefusesWhatItCannotRender) {
    TextPicture p;
    std::string error;
    EXPECT_FALSE(renderText({1, 2, 3, 4}, "x", 12, 8, &p, &error));
    EXPECT_NE(error.find("font"), std::string::npos);
    const std::vector<uint8_t> font = dejaVu();
    EXPECT_FALSE(renderText(font, "x", 2, 8, &p, &error));
    EXPECT_FALSE(renderText(font, "x", 12, 4, &p, &error));
    ASSERT_TRUE(renderText(font, "\xff\xfe ok \xe2\x82", 12, 8, &p, &error))
        << "malformed UTF-8 is drawn, not refused";
    ASSERT_TRUE(renderText(font, "", 12, 8, &p, &error));
    EXPECT_EQ(p.width, 1);
    EXPECT_GT(p.height, 0);
}

} // namespace
} // namespace skvc
