// skvplay's contact sheet: which pictures it keeps (every Nth frame, or spread evenly over the
// run), that each thumbnail is the picture its number names, and that the numbers are drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "contactsheet.h"

using skv::platform::Image;
using skvplay::ContactSheet;

namespace {

// A frame whose every pixel tells the number it was shown as (the step in the low byte).
Image frameFor(ContactSheet::Number n, int width = 64, int height = 48) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height,
                        static_cast<uint32_t>(n.frame) << 8 | static_cast<uint32_t>(n.step));
    return image;
}

// Offers frames 1..count, each with `steps` transition steps before it; counts the captures.
int offer(ContactSheet& sheet, int count, int steps = 0) {
    int captures = 0;
    for (int f = 1; f <= count; ++f) {
        for (int s = 1; s <= steps; ++s)
            sheet.add({f, s}, [&] {
                ++captures;
                return frameFor({f, s});
            });
        sheet.add({f, 0}, [&] {
            ++captures;
            return frameFor({f, 0});
        });
    }
    return captures;
}

std::vector<std::string> texts(const ContactSheet& sheet) {
    std::vector<std::string> out;
    for (const auto& n : sheet.numbers())
        out.push_back(n.text());
    return out;
}

} // namespace

TEST(ContactSheetChoice, EveryNthFrameWithTheStepsIntoIt) {
    ContactSheet sheet(5);
    const int captures = offer(sheet, 12, 2);
    EXPECT_EQ(texts(sheet), (std::vector<std::string>{"5-1", "5-2", "5", "10-1", "10-2", "10"}));
    EXPECT_EQ(captures, 6); // only the pictures kept were captured
    EXPECT_EQ(sheet.leftOut(), 0);

    ContactSheet many(1);
    offer(many, static_cast<int>(ContactSheet::kKeepEvery) + 7);
    EXPECT_EQ(many.size(), ContactSheet::kKeepEvery);
    EXPECT_EQ(many.numbers().back().frame, static_cast<int32_t>(ContactSheet::kKeepEvery));
    EXPECT_EQ(many.leftOut(), 7);
}

TEST(ContactSheetChoice, WithoutEveryTheFramesAreSpreadEvenlyFromTheFirst) {
    ContactSheet sheet;
    const int captures = offer(sheet, 1000);
    const auto numbers = sheet.numbers();
    ASSERT_GE(numbers.size(), ContactSheet::kKeep / 2);
    ASSERT_LE(numbers.size(), ContactSheet::kKeep);
    EXPECT_EQ(numbers.front().frame, 1);
    const int32_t gap = numbers[1].frame - numbers[0].frame;
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i].frame - numbers[i - 1].frame, gap) << i;
    // The kept ones reach to the last gap of the run.
    EXPECT_GT(numbers.back().frame + gap, 1000);
    // Frames the sheet would not keep were never captured.
    EXPECT_LT(captures, 200);
}

TEST(ContactSheetPicture, EachThumbnailIsThePictureItsNumberNamesAndTheNumberIsDrawn) {
    ContactSheet sheet(10);
    offer(sheet, 40, 1);
    const Image image = sheet.render();
    const auto numbers = sheet.numbers();
    ASSERT_EQ(numbers.size(), 8u);
    // One row of eight cells, each as wide as its widest number, "10-1", with the half-size
    // thumbnail centred in it, 4 pixels apart and from the edges.
    const int cellW = std::max(32, ContactSheet::textWidth("10-1", 2)), gap = 4;
    ASSERT_EQ(image.width, 8 * (cellW + gap) + gap);
    const int labelTop = gap + 24; // under the 24-pixel-high thumbnails
    std::set<std::vector<uint32_t>> labels;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const int x = gap + static_cast<int>(i) * (cellW + gap);
        const uint32_t colour = image.at(x + cellW / 2, gap + 12);
        EXPECT_EQ(static_cast<int32_t>(colour >> 8), numbers[i].frame) << i;
        EXPECT_EQ(static_cast<int32_t>(colour & 0xFF), numbers[i].step) << i;
        // The label: white dots on the sheet, below the picture.
        std::vector<uint32_t> label;
        int ink = 0;
        for (int y = labelTop; y < image.height - gap; ++y)
            for (int dx = 0; dx < cellW; ++dx) {
                label.push_back(image.at(x + dx, y));
                ink += image.at(x + dx, y) == 0xFFFFFF;
            }
        EXPECT_GT(ink, 20) << numbers[i].text();
        labels.insert(label);
    }
    // Every number looks different from the others.
    EXPECT_EQ(labels.size(), numbers.size());
}

TEST(ContactSheetPicture, DigitsDrawnSideBySideAreTheSameGlyphs) {
    Image a, b;
    a.width = b.width = 40;
    a.height = b.height = 20;
    a.pixels.assign(800, 0);
    b.pixels.assign(800, 0);
    const int wide = ContactSheet::drawText(a, 0, 0, "10", 0xFFFFFF, 2);
    ContactSheet::drawText(b, 0, 0, "20", 0xFFFFFF, 2);
    EXPECT_EQ(wide, ContactSheet::textWidth("10", 2));
    const int half = ContactSheet::textWidth("1", 2) + 2;
    int differ = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            if (x >= half)
                EXPECT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
            else
                differ += a.at(x, y) != b.at(x, y);
        }
    EXPECT_GT(differ, 0);
}
