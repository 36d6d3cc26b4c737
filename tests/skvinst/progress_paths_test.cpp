#include <gtest/gtest.h>

#include "paths.h"
#include "progress.h"

namespace skvinst {
namespace {

TEST(Progress, PercentOfTheUsedBytes) {
    EXPECT_EQ(progressPercent(0, 1000), 0);
    EXPECT_EQ(progressPercent(500, 1000), 50);
    EXPECT_EQ(progressPercent(999, 1000), 99);
    EXPECT_EQ(progressPercent(1000, 1000), 100);
    EXPECT_EQ(progressPercent(1, 3), 33);
}

TEST(Progress, NoTotalAndMoreThanTheTotal) {
    EXPECT_EQ(progressPercent(0, 0), 0);
    EXPECT_EQ(progressPercent(12345, 0), 0) << "no drive size known must not divide by zero";
    EXPECT_EQ(progressPercent(5000, 1000), 100) << "files grow while Setup runs";
}

TEST(Progress, DrivesLargerThan32BitsCount) {
    const uint64_t tera = 1ull << 40;
    EXPECT_EQ(progressPercent(tera + tera / 2, 3 * tera), 50);
    EXPECT_EQ(progressPercent(UINT64_MAX / 4, UINT64_MAX / 2), 50);
    // 300 GiB in use: 78643200 clusters of 8 sectors of 512 bytes.
    EXPECT_EQ(usedBytes(8, 512, 1000000, 79643200), 300ull << 30);
    EXPECT_EQ(usedBytes(8, 512, 10, 5), 0u) << "more free than there is";
}

TEST(Paths, JoinWithOneBackslash) {
    EXPECT_EQ(joinPath("C:\\", "netscape.exe"), "C:\\netscape.exe");
    EXPECT_EQ(joinPath("C:\\Program Files", "plugins"), "C:\\Program Files\\plugins");
    EXPECT_EQ(joinPath("D:\\a\\", "b"), "D:\\a\\b");
}

TEST(Paths, DirectoryOfAProgram) {
    EXPECT_EQ(directoryOf("C:\\Temp\\Setup\\skvinst.exe"), "C:\\Temp\\Setup");
    EXPECT_EQ(directoryOf("C:\\skvinst.exe"), "C:\\");
    EXPECT_EQ(directoryOf("\\\\server\\share\\skvinst.exe"), "\\\\server\\share");
    EXPECT_EQ(directoryOf("skvinst.exe"), "");
}

} // namespace
} // namespace skvinst
