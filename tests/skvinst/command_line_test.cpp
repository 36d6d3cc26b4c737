#include <gtest/gtest.h>

#include "command_line.h"

namespace skvinst {
namespace {

TEST(CommandLine, SplitsAtSpacesAndEverySwitchCharacter) {
    EXPECT_EQ(splitCommandLine("a b-c/d\\e"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    // Runs of separators and separators at the ends make no empty words.
    EXPECT_EQ(splitCommandLine("  //-x\\\\ y- "), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(splitCommandLine("").empty());
    EXPECT_TRUE(splitCommandLine(" -/\\").empty());
}

TEST(CommandLine, NoEulaInAnyCaseAfterAnySeparatorSkipsTheAgreement) {
    for (const char* line :
         {"NOEULA", "/noeula", "-NoEula", "x\\nOeUlA", "/s /noeula /q", "setup NOEULA"})
        EXPECT_FALSE(showsLicense(line)) << line;
}

TEST(CommandLine, OnlyTheWholeWordCounts) {
    for (const char* line : {"", "/s", "/noeulax", "NOEULA2", "xNOEULA", "NO EULA", "/NO-EULA",
                             "\tNOEULA", "\"NOEULA\""})
        EXPECT_TRUE(showsLicense(line)) << line;
}

} // namespace
} // namespace skvinst
