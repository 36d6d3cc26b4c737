#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/classids.h"
#include "movie/authorinfo.h"
#include "movie/movieclasses.h"
#include "movie_test_util.h"

using namespace skv;
using namespace skv::test;

TEST(AuthorInfo, RoundTripThroughTheObjectReader) {
    registerMovieClasses();
    skvAuthorInfo info;
    EXPECT_TRUE(info.objectId == CLSID_skvAuthorInfo);
    info.setText(0, "A movie");
    info.setText(1, "");
    info.setText(2, "by someone");
    info.setText(4, "(c)");
    info.setText(5, "ignored");
    for (int i = 0; i < 8; ++i) {
        info.valueA[i] = static_cast<uint8_t>(i + 1);
        info.valueB[i] = static_cast<uint8_t>(0xF0 + i);
    }
    info.countA = 17;
    info.countB = -3;

    auto bytes = storedBytes([&](uArchive& ar) { writeObject(ar, info); });
    // 24 plus the text lengths, in the header and again in the body.
    EXPECT_EQ(info.sizeHint(), 24 + 7 + 10 + 3);
    EXPECT_EQ(info.storedSizeHint, 24 + 7 + 10 + 3);

    uArchive ar(new MemoryPipe(bytes), uArchive::kLoading);
    std::unique_ptr<skvObject> obj(readObject(ar));
    auto* back = dynamic_cast<skvAuthorInfo*>(obj.get());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->objectId == CLSID_skvAuthorInfo);
    EXPECT_STREQ(back->text(0), "A movie");
    EXPECT_STREQ(back->text(1), "");
    EXPECT_STREQ(back->text(2), "by someone");
    EXPECT_STREQ(back->text(3), "");
    EXPECT_STREQ(back->text(4), "(c)");
    EXPECT_EQ(std::memcmp(back->valueA, info.valueA, 8), 0);
    EXPECT_EQ(std::memcmp(back->valueB, info.valueB, 8), 0);
    EXPECT_EQ(back->countA, 17);
    EXPECT_EQ(back->countB, -3);
    EXPECT_EQ(back->sizeHint(), 44);
}

TEST(AuthorInfo, LongTextsAreCutAndTheRestOfTheBodyStillReads) {
    const std::string longText(700, 'x');
    auto bytes = storedBytes([&](uArchive& ar) {
        ar.writeInt32(0);
        ar.writeString(longText.c_str());
        for (int i = 0; i < 4; ++i)
            ar.writeString(nullptr);
        const uint8_t a[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        ar.write(a, 8);
        ar.writeInt32(5);
        ar.write(a, 8);
        ar.writeInt32(6);
    });
    skvAuthorInfo info;
    loadFrom(bytes, [&](uArchive& ar) { info.serialize(ar); });
    EXPECT_EQ(std::strlen(info.text(0)), 255u);
    EXPECT_STREQ(info.text(1), "");
    EXPECT_EQ(info.countA, 5);
    EXPECT_EQ(info.countB, 6);

    // A text set in memory is cut the same way.
    info.setText(3, longText.c_str());
    EXPECT_EQ(std::strlen(info.text(3)), 255u);
}
