#include <gtest/gtest.h>

#include <string>

#include "expected_texts.h"
#include "sequence_steps.h"

namespace skvinst {
namespace {

namespace expected = skvinst_test::expected;

TEST(AfterLicense, YesSearchesNoSaysNothingWasInstalledAnythingElseEndsQuietly) {
    const AfterLicense yes = afterLicense(1);
    EXPECT_TRUE(yes.search);
    EXPECT_FALSE(yes.notice);

    const AfterLicense no = afterLicense(2);
    EXPECT_FALSE(no.search);
    ASSERT_TRUE(no.notice);
    EXPECT_EQ(std::string(no.notice->text), expected::kDeclined);
    EXPECT_FALSE(no.notice->errorIcon);

    for (intptr_t other : {intptr_t{1001}, intptr_t{-1}, intptr_t{0}}) {
        const AfterLicense next = afterLicense(other);
        EXPECT_FALSE(next.search) << other;
        EXPECT_FALSE(next.notice) << other;
    }
}

TEST(AfterSearch, SuccessShowsTheDoneDialogOnly) {
    const AfterSearch next = afterSearch(1, SearchState{false, false, true});
    EXPECT_TRUE(next.showDone);
    EXPECT_FALSE(next.notice);
}

TEST(AfterSearch, AFailureIsReportedBeforeTheCancellationItCaused) {
    // A copy failure sets both flags.
    const AfterSearch next = afterSearch(2, SearchState{true, true, true});
    EXPECT_FALSE(next.showDone);
    ASSERT_TRUE(next.notice);
    EXPECT_EQ(std::string(next.notice->text), expected::kNotCompleted);
    EXPECT_TRUE(next.notice->errorIcon);
}

TEST(AfterSearch, CancellingIsNotAnError) {
    for (bool found : {false, true}) {
        const AfterSearch next = afterSearch(2, SearchState{false, true, found});
        ASSERT_TRUE(next.notice);
        EXPECT_EQ(std::string(next.notice->text), expected::kCancelled);
        EXPECT_FALSE(next.notice->errorIcon);
    }
}

TEST(AfterSearch, NoBrowserFound) {
    const AfterSearch next = afterSearch(2, SearchState{false, false, false});
    ASSERT_TRUE(next.notice);
    EXPECT_EQ(std::string(next.notice->text), expected::kNotFound);
    EXPECT_TRUE(next.notice->errorIcon);
}

TEST(AfterSearch, AnUnexplainedEndIsNeverTakenForSuccess) {
    // Found, neither failed nor cancelled, yet not successful; or no dialog at all.
    for (const auto& [result, found] :
         {std::pair<intptr_t, bool>{2, true}, {-1, false}, {0, true}}) {
        const AfterSearch next = afterSearch(result, SearchState{false, false, found});
        EXPECT_FALSE(next.showDone) << result;
        ASSERT_TRUE(next.notice) << result;
        EXPECT_EQ(std::string(next.notice->text), expected::kNotCompleted) << result;
        EXPECT_TRUE(next.notice->errorIcon);
    }
}

} // namespace
} // namespace skvinst
