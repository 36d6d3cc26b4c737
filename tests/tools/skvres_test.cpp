// The plug-in's Windows resources as skvres writes them, read back here with readers of their own:
// the BMP and .cur layouts, the script's string literals, and windres on the written script.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include <unistd.h>

#include "movie/cursors.h"
#include "net/stringtable.h"
#include "plugin/registration.h"
#include "plugin/splash.h"
#include "program_run.h"
#include "resources.h"

namespace {

namespace fs = std::filesystem;

const char* const kFiles[] = {"npskyv32.rc", "buffering.bmp", "cursor_6000.cur", "cursor_6001.cur"};

uint32_t le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<uint8_t>(b.at(at + static_cast<size_t>(i)));
    return v;
}

// A resource script's string literal starting at `at` (its opening quote), decoded as windres
// reads it; `end` receives the position after the closing quote, npos on a malformed literal.
std::string readRcLiteral(const std::string& rc, size_t at, size_t* end) {
    *end = std::string::npos;
    std::string out;
    if (at >= rc.size() || rc[at] != '"') return "<no literal>";
    for (size_t i = at + 1; i < rc.size() && rc[i] != '\n'; ++i) {
        const char c = rc[i];
        if (c == '"' && i + 1 < rc.size() && rc[i + 1] == '"') {
            out += '"';
            ++i;
        } else if (c == '"') {
            *end = i + 1;
            return out;
        } else if (c != '\\') {
            out += c;
        } else if (i + 1 < rc.size() && rc[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else {
            int v = 0, digits = 0;
            for (; digits < 3 && i + 1 < rc.size() && rc[i + 1] >= '0' && rc[i + 1] <= '7';
                 ++digits, ++i)
                v = v * 8 + (rc[i + 1] - '0');
            if (digits == 0) return "<unexpected escape>";
            out += static_cast<char>(v);
        }
    }
    return "<unterminated>";
}

// The entries of the script's STRINGTABLE block, "  id, literal" per line.
std::map<uint32_t, std::string> stringTable(const std::string& rc) {
    std::map<uint32_t, std::string> entries;
    size_t at = rc.find("STRINGTABLE\nBEGIN\n");
    if (at == std::string::npos) return entries;
    at += 18;
    while (at < rc.size() && rc.compare(at, 4, "END\n") != 0) {
        size_t comma = rc.find(", ", at);
        if (comma == std::string::npos) break;
        const auto id = static_cast<uint32_t>(std::stoul(rc.substr(at, comma - at)));
        size_t end = 0;
        entries[id] = readRcLiteral(rc, comma + 2, &end);
        if (end == std::string::npos || rc[end] != '\n') break;
        at = end + 1;
    }
    return entries;
}

// The decoded value of `VALUE "key", "..."` in the version block.
std::string versionValue(const std::string& rc, const std::string& key) {
    const std::string lead = "VALUE \"" + key + "\", ";
    const size_t at = rc.find(lead);
    if (at == std::string::npos) return "<missing>";
    size_t end = 0;
    return readRcLiteral(rc, at + lead.size(), &end);
}

fs::path freshFolder(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("skvres_test_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    return dir;
}

class SkvresFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::string error;
        ASSERT_TRUE(skvres::writeResources(dir_.string(), &error)) << error;
        rc_ = skvtest::readAll(dir_ / "npskyv32.rc");
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    std::string rc_;
};

TEST(RcString, EscapesWhatTheResourceCompilerWouldMisread) {
    EXPECT_EQ(skvres::rcString("plain text"), "\"plain text\"");
    EXPECT_EQ(skvres::rcString("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(skvres::rcString("a\\b"), "\"a\\\\b\"");
    EXPECT_EQ(skvres::rcString("tab\there\n"), "\"tab\\011here\\012\"");
    EXPECT_EQ(skvres::rcString(std::string("\xE9t\xE9\x7F\0", 5)), "\"\\351t\\351\\177\\000\"");
    // A following digit must not join a short octal escape.
    EXPECT_EQ(skvres::rcString("\x01"
                               "7"),
              "\"\\0017\"");
    // "??=" would be a trigraph to the preprocessor windres runs first.
    EXPECT_EQ(skvres::rcString("what?"
                               "?=!"),
              "\"what?\\077=!\"");
}

TEST(RcString, EveryByteReadsBackAsItself) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    all += "\"\"\\\\??";
    size_t end = 0;
    const std::string literal = skvres::rcString(all);
    EXPECT_EQ(readRcLiteral(literal, 0, &end), all);
    EXPECT_EQ(end, literal.size());
}

TEST_F(SkvresFiles, TheVersionBlockCarriesTheRegistrationData) {
    namespace reg = skv::plugin;
    EXPECT_NE(rc_.find("\nFILEVERSION 1,7,7,300\n"), std::string::npos);
    EXPECT_NE(rc_.find("\nPRODUCTVERSION 1,7,7,300\n"), std::string::npos);
    EXPECT_NE(rc_.find("\nFILEOS 0x4\n"), std::string::npos);
    EXPECT_NE(rc_.find("\nFILETYPE 0x2\n"), std::string::npos);
    EXPECT_NE(rc_.find("BLOCK \"040904E4\""), std::string::npos);
    EXPECT_NE(rc_.find("VALUE \"MIMEType\", \"application/vnd.skyvora\\0\"\n"), std::string::npos);
    const std::string nul(1, '\0');
    EXPECT_EQ(versionValue(rc_, "MIMEType"), reg::kMimeType + nul);
    EXPECT_EQ(versionValue(rc_, "FileExtents"), reg::kFileExtents + nul);
    EXPECT_EQ(versionValue(rc_, "FileOpenName"), reg::kFileOpenName + nul);
    EXPECT_EQ(versionValue(rc_, "CompanyName"), reg::kCompanyName + nul);
    EXPECT_EQ(versionValue(rc_, "FileDescription"), reg::kProductName + nul);
    EXPECT_EQ(versionValue(rc_, "ProductName"), reg::kProductName + nul);
    EXPECT_EQ(versionValue(rc_, "InternalName"), reg::kInternalName + nul);
    EXPECT_EQ(versionValue(rc_, "OriginalFilename"), "npskyv32.dll" + nul);
    EXPECT_EQ(versionValue(rc_, "FileVersion"), "1, 7, 7, 300" + nul);
    EXPECT_NE(rc_.find("VALUE \"Translation\", 0x409, 1252\n"), std::string::npos);
}

TEST_F(SkvresFiles, TheScriptNamesThePictureAndTheCursors) {
    EXPECT_NE(rc_.find("\nBUFFERING BITMAP \"buffering.bmp\"\n"), std::string::npos);
    EXPECT_NE(rc_.find("\n24576 CURSOR \"cursor_6000.cur\"\n"), std::string::npos);
    EXPECT_NE(rc_.find("\n24577 CURSOR \"cursor_6001.cur\"\n"), std::string::npos);
}

TEST_F(SkvresFiles, TheStringTableHoldsEveryEntryWithItsExactText) {
    std::map<uint32_t, std::string> expected;
    for (uint32_t id = 1; id <= 0xFFFF; ++id)
        if (const char* text = skv::moduleString(id)) expected[id] = text;
    ASSERT_GE(expected.size(), 34u);
    const std::map<uint32_t, std::string> written = stringTable(rc_);
    EXPECT_EQ(written, expected);
    // Entry 1 ends in a line break and a tab, which must reach the table as escapes.
    EXPECT_NE(rc_.find("the following URL\\012\\011\"\n"), std::string::npos);
}

TEST_F(SkvresFiles, TheBitmapIsAnEightBitBmpOfTheSplash) {
    const std::unique_ptr<skv::nDIB> picture = skv::plugin::loadBufferingPicture();
    ASSERT_TRUE(picture);
    const std::string b = skvtest::readAll(dir_ / "buffering.bmp");
    ASSERT_GE(b.size(), 14u + 40u + 1024u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(le(b, 2, 4), b.size());
    const uint32_t offBits = le(b, 10, 4);
    EXPECT_EQ(le(b, 14, 4), 40u) << "a BITMAPINFOHEADER";
    const auto width = static_cast<int32_t>(le(b, 18, 4));
    const auto height = static_cast<int32_t>(le(b, 22, 4));
    EXPECT_EQ(width, picture->width());
    EXPECT_EQ(height, picture->height()) << "positive: rows bottom-up";
    EXPECT_EQ(le(b, 26, 2), 1u);
    EXPECT_EQ(le(b, 28, 2), 8u);
    EXPECT_EQ(le(b, 30, 4), 0u) << "BI_RGB";
    const uint32_t used = le(b, 46, 4);
    const int colours = used ? static_cast<int>(used) : 256;
    ASSERT_EQ(offBits, 14u + 40u + 4u * static_cast<uint32_t>(colours));
    for (int i = 0; i < colours; ++i) {
        const RGBQUAD& c = picture->colours()[i];
        const size_t at = 54 + 4 * static_cast<size_t>(i);
        ASSERT_EQ(le(b, at, 3), static_cast<uint32_t>(c.rgbBlue | c.rgbGreen << 8 | c.rgbRed << 16))
            << "colour " << i;
    }
    EXPECT_EQ(le(b, 54, 4), 0x00FFFFFFu) << "entry 0 is white";
    const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
    ASSERT_EQ(b.size(), offBits + stride * static_cast<size_t>(height));
    int mismatches = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = offBits + static_cast<size_t>(height - 1 - y) * stride + x;
            mismatches += static_cast<uint8_t>(b[at]) != *picture->pixelAt(x, y);
        }
    EXPECT_EQ(mismatches, 0);
    // The frame's top-left corner is ink, the margin inside it paper.
    EXPECT_EQ(b[offBits + static_cast<size_t>(height - 1) * stride], 1);
    EXPECT_EQ(b[offBits + static_cast<size_t>(height - 3) * stride + 2], 0);
}

TEST_F(SkvresFiles, EachCursorHasItsHotSpotAndEveryPixelOfItsArt) {
    for (const uint16_t id : {skv::kClickCursor, skv::kWaitCursor}) {
        char name[32];
        std::snprintf(name, sizeof name, "cursor_%04x.cur", id);
        SCOPED_TRACE(name);
        const std::string f = skvtest::readAll(dir_ / name);
        ASSERT_EQ(f.size(), 6u + 16u + 40u + 8u + 2u * 128u);
        EXPECT_EQ(le(f, 0, 2), 0u);
        EXPECT_EQ(le(f, 2, 2), 2u) << "a cursor, not an icon";
        EXPECT_EQ(le(f, 4, 2), 1u);
        EXPECT_EQ(le(f, 6, 1), 32u);
        EXPECT_EQ(le(f, 7, 1), 32u);
        int32_t hotX = -1, hotY = -1;
        const char* const* art = skv::pluginCursorArt(id, &hotX, &hotY);
        ASSERT_TRUE(art);
        EXPECT_EQ(le(f, 10, 2), static_cast<uint32_t>(hotX));
        EXPECT_EQ(le(f, 12, 2), static_cast<uint32_t>(hotY));
        const size_t image = le(f, 18, 4);
        ASSERT_EQ(le(f, 14, 4), f.size() - image);
        EXPECT_EQ(le(f, image, 4), 40u);
        EXPECT_EQ(le(f, image + 4, 4), 32u);
        EXPECT_EQ(le(f, image + 8, 4), 64u) << "the height counts both masks";
        EXPECT_EQ(le(f, image + 14, 2), 1u) << "1 bit per pixel";
        EXPECT_EQ(le(f, image + 40, 4), 0x000000u) << "colour 0 black";
        EXPECT_EQ(le(f, image + 44, 4), 0xFFFFFFu) << "colour 1 white";
        const size_t xorAt = image + 40 + 8, andAt = xorAt + 128;
        int mismatches = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const size_t byte = static_cast<size_t>(31 - y) * 4 + static_cast<size_t>(x / 8);
                const int bit = 7 - x % 8;
                const bool xorBit = (static_cast<uint8_t>(f[xorAt + byte]) >> bit) & 1;
                const bool andBit = (static_cast<uint8_t>(f[andAt + byte]) >> bit) & 1;
                const char c = art[y][x];
                mismatches += xorBit != (c == 'o') || andBit != (c == '.');
            }
        EXPECT_EQ(mismatches, 0);
    }
    EXPECT_TRUE(skvres::cursorFile(0x6002).empty());
}

TEST_F(SkvresFiles, ASecondRunRewritesNothingButRepairsAChangedFile) {
    const auto aged = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name : kFiles)
        fs::last_write_time(dir_ / name, aged);
    const std::string cursor = skvtest::readAll(dir_ / "cursor_6001.cur");
    std::string error;
    ASSERT_TRUE(skvres::writeResources(dir_.string(), &error)) << error;
    for (const char* name : kFiles)
        EXPECT_EQ(fs::last_write_time(dir_ / name), aged) << name;

    {
        std::FILE* f = std::fopen((dir_ / "cursor_6001.cur").c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs("stale", f);
        std::fclose(f);
    }
    ASSERT_TRUE(skvres::writeResources(dir_.string(), &error)) << error;
    EXPECT_EQ(skvtest::readAll(dir_ / "cursor_6001.cur"), cursor);
    EXPECT_EQ(fs::last_write_time(dir_ / "cursor_6000.cur"), aged);
}

TEST_F(SkvresFiles, TwoRunsWriteTheSameBytes) {
    const fs::path other = freshFolder("second");
    std::string error;
    ASSERT_TRUE(skvres::writeResources(other.string(), &error)) << error;
    for (const char* name : kFiles)
        EXPECT_EQ(skvtest::readAll(other / name), skvtest::readAll(dir_ / name)) << name;
    fs::remove_all(other);
}

TEST_F(SkvresFiles, WindresCompilesTheScriptForBothWindowsTargets) {
    int compiled = 0;
    for (const std::string triple : {"x86_64-w64-mingw32", "i686-w64-mingw32"}) {
        const std::string windres = triple + "-windres";
        if (skvtest::runCommand("command -v " + windres) != 0) continue;
        SCOPED_TRACE(windres);
        // From another folder, as a build runs it: the script's file names are its own folder's.
        const fs::path object = dir_ / (triple + ".o");
        std::string said;
        ASSERT_EQ(skvtest::runCommand("cd / && " + windres + " -i '" +
                                          (dir_ / "npskyv32.rc").string() + "' -o '" +
                                          object.string() + "'",
                                      &said),
                  0)
            << said;
        ++compiled;
        // windres reads its own object back as a script: the resources under the names and
        // numbers the plug-in looks up.
        std::string listing;
        ASSERT_EQ(
            skvtest::runCommand(windres + " -J coff -O rc -i '" + object.string() + "'", &listing),
            0)
            << listing;
        EXPECT_NE(listing.find("\"BUFFERING\" 2 /* RT_BITMAP */"), std::string::npos);
        EXPECT_NE(listing.find("24576 12 /* RT_GROUP_CURSOR */"), std::string::npos);
        EXPECT_NE(listing.find("24577 12 /* RT_GROUP_CURSOR */"), std::string::npos);
        EXPECT_NE(listing.find("VALUE \"MIMEType\", \"application/vnd.skyvora\""),
                  std::string::npos);
        EXPECT_NE(listing.find("FILEVERSION 1, 7, 7, 300"), std::string::npos);
        for (uint32_t id = 1; id <= 0xFFFF; ++id)
            if (skv::moduleString(id)) {
                EXPECT_NE(listing.find("\n  " + std::to_string(id) + ", "), std::string::npos)
                    << "string " << id;
            }
    }
    if (compiled == 0)
        GTEST_SKIP() << "no mingw-w64 windres on PATH (binutils-mingw-w64 provides it)";
}

TEST(SkvresProgram, WritesSilentlyAndSaysWhatToDoOnErrors) {
    const std::string program = SKVRES_PROGRAM;
    const fs::path dir = freshFolder("program");
    std::string said;
    EXPECT_EQ(skvtest::runCommand(skvtest::commandLine(program, {dir.string()}), &said), 0);
    EXPECT_EQ(said, "");
    for (const char* name : kFiles)
        EXPECT_TRUE(fs::exists(dir / name)) << name;

    EXPECT_EQ(skvtest::runCommand(skvtest::commandLine(program, {"--help"}), &said), 0);
    EXPECT_NE(said.find("npskyv32.rc"), std::string::npos) << said;
    EXPECT_NE(said.find("cursor_6001.cur"), std::string::npos) << said;

    EXPECT_EQ(skvtest::runCommand(program, &said), 2);
    EXPECT_NE(said.find("--help"), std::string::npos) << said;

    // A folder below a plain file cannot be made, whoever runs the test.
    const fs::path blocked = dir / "npskyv32.rc" / "sub";
    EXPECT_EQ(skvtest::runCommand(skvtest::commandLine(program, {blocked.string()}), &said), 1);
    EXPECT_NE(said.find(blocked.string()), std::string::npos) << said;
    fs::remove_all(dir);
}

} // namespace
