// The plug-in's Windows resources as skvres writes them, read back here with readers of their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "movie/cursors.h"
#include "net/stringtable.h"
#include "program_run.h"
#include "resources.h"

namespace {

namespace fs = std::filesystem;

uint32_t le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
}

class SkvresFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("skvres_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        std::string error;
        ASSERT_TRUE(skvres::writeResources(dir_.string(), &error)) << error;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST(RcString, QuotesBackslashesAndBytesOutsideAsciiAreEscaped) {
    EXPECT_EQ(skvres::rcString("plain text"), "\"plain text\"");
    EXPECT_EQ(skvres::rcString("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(skvres::rcString("a\\b"), "\"a\\\\b\"");
    EXPECT_EQ(skvres::rcString("tab\there\n"), "\"tab\\011here\\012\"");
    EXPECT_EQ(skvres::rcString(std::string("\xE9t\xE9\0", 4)), "\"\\351t\\351\\000\"");
}

TEST_F(SkvresFiles, EachCursorHasItsHotSpotAndEveryPixelOfItsArt) {
    for (const uint16_t id : {skv::kClickCursor, skv::kWaitCursor}) {
        char name[32];
        std::snprintf(name, sizeof name, "cursor_%04x.cur", id);
        const std::string f = skvtest::readAll(dir_ / name);
        ASSERT_EQ(f.size(), 6u + 16u + 40u + 8u + 2u * 128u) << name;
        EXPECT_EQ(le(f, 2, 2), 2u) << "a cursor, not an icon";
        int32_t hotX = 0, hotY = 0;
        const char* const* art = skv::pluginCursorArt(id, &hotX, &hotY);
        EXPECT_EQ(le(f, 10, 2), static_cast<uint32_t>(hotX));
        EXPECT_EQ(le(f, 12, 2), static_cast<uint32_t>(hotY));
        const size_t image = le(f, 18, 4);
        EXPECT_EQ(le(f, image + 8, 4), 64u) << "the height counts both masks";
        const size_t xorAt = image + 40 + 8, andAt = xorAt + 128;
        int mismatches = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const size_t byte = static_cast<size_t>(31 - y) * 4 + x / 8;
                const int bit = 7 - x % 8;
                const bool xorBit = (static_cast<uint8_t>(f[xorAt + byte]) >> bit) & 1;
                const bool andBit = (static_cast<uint8_t>(f[andAt + byte]) >> bit) & 1;
                const char c = art[y][x];
                const bool want_xor = c == 'o', want_and = c == '.';
                mismatches += xorBit != want_xor || andBit != want_and;
            }
        EXPECT_EQ(mismatches, 0) << name;
    }
}

TEST_F(SkvresFiles, TheScriptHoldsTheRegistrationDataAndEveryString) {
    const std::string rc = skvtest::readAll(dir_ / "npskyv32.rc");
    EXPECT_NE(rc.find("FILEVERSION 1,7,7,300\n"), std::string::npos);
    EXPECT_NE(rc.find("VALUE \"MIMEType\", \"application/vnd.skyvora\\000\""), std::string::npos);
    EXPECT_NE(rc.find("VALUE \"FileExtents\", \"skm\\000\""), std::string::npos);
    EXPECT_NE(rc.find("BUFFERING BITMAP \"buffering.bmp\""), std::string::npos);
    EXPECT_NE(rc.find("24576 CURSOR"), std::string::npos);
    EXPECT_NE(rc.find("24577 CURSOR"), std::string::npos);
    int entries = 0;
    for (uint32_t id = 1; id <= 0xFFFF; ++id)
        if (const char* text = skv::moduleString(id)) {
            ++entries;
            EXPECT_NE(rc.find("  " + std::to_string(id) + ", " + skvres::rcString(text) + "\n"),
                      std::string::npos)
                << "entry " << id;
        }
    EXPECT_GE(entries, 34);
}

TEST_F(SkvresFiles, TheBitmapIsAnEightBitBmpOfTheSplash) {
    const std::string b = skvtest::readAll(dir_ / "buffering.bmp");
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(le(b, 2, 4), b.size());
    EXPECT_EQ(le(b, 28, 2), 8u);
}

TEST_F(SkvresFiles, ASecondRunRewritesNothing) {
    const auto before = fs::last_write_time(dir_ / "npskyv32.rc");
    fs::last_write_time(dir_ / "npskyv32.rc", before - std::chrono::hours(1));
    const auto aged = fs::last_write_time(dir_ / "npskyv32.rc");
    std::string error;
    ASSERT_TRUE(skvres::writeResources(dir_.string(), &error)) << error;
    EXPECT_EQ(fs::last_write_time(dir_ / "npskyv32.rc"), aged);
}

TEST_F(SkvresFiles, WindresCompilesTheScript) {
    if (skvtest::runCommand("command -v x86_64-w64-mingw32-windres") != 0)
        GTEST_SKIP() << "x86_64-w64-mingw32-windres is not installed (scripts/setup.sh installs it)";
    std::string said;
    const int status = skvtest::runCommand(
        "cd '" + dir_.string() + "' && x86_64-w64-mingw32-windres -i npskyv32.rc -o res.o", &said);
    EXPECT_EQ(status, 0) << said;
    EXPECT_TRUE(fs::exists(dir_ / "res.o"));
}

} // namespace
