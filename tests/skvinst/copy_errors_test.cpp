#include <gtest/gtest.h>

#include <string>

#include "copy_errors.h"
#include "expected_texts.h"

namespace skvinst {
namespace {

const CopyAttempt kAttempt{"C:\\Temp\\Setup\\npskyv32.dll",
                           "D:\\Netscape\\Program\\plugins\\npskyv32.dll",
                           "D:\\Netscape\\Program\\plugins"};

// Each message names the path it is about: the missing source, the target in the way, or the
// plugins directory that cannot be reached or filled.
TEST(CopyErrors, MessagesAreWordForWord) {
    const std::string& s = kAttempt.source;
    const std::string& t = kAttempt.target;
    const std::string& p = kAttempt.plugins;
    EXPECT_EQ(copyErrorMessage(2, kAttempt),
              "One of the Quillon Skyvora Plug-in program files, " + s +
                  ", is missing.\nSetup cannot install the software.");
    EXPECT_EQ(copyErrorMessage(3, kAttempt),
              "Unable to access the Netscape plugins directory " + p +
                  ".\nOne or more files could not be transferred to this directory.");
    EXPECT_EQ(copyErrorMessage(4, kAttempt),
              "Setup has encountered the system error 'Too many open files'\nwhile attempting to "
              "open a file. Setup cannot continue.\nPlease close some applications and try "
              "running Setup again.");
    EXPECT_EQ(copyErrorMessage(5, kAttempt), skvinst_test::expected::accessDenied(t));
    EXPECT_EQ(copyErrorMessage(14, kAttempt),
              "Setup has encountered a system 'Out of memory' error.\nSetup cannot continue. "
              "Please close some applications\nand try running Setup again.");
    EXPECT_EQ(copyErrorMessage(15, kAttempt),
              "Unable to access the Netscape plugins directory:\n" + p +
                  "\ndue to system error 'Invalid Drive'. Setup cannot continue.\nThe software "
                  "could not be installed.");
    EXPECT_EQ(copyErrorMessage(32, kAttempt), skvinst_test::expected::inUse(t));
    const std::string full = "Unable to transfer files to " + p +
                             "\nbecause the target disk is full. You must exit Setup, free some "
                             "disk space on the target disk,\nand then run Setup again.";
    EXPECT_EQ(copyErrorMessage(39, kAttempt), full);
    EXPECT_EQ(copyErrorMessage(112, kAttempt), full);
    EXPECT_EQ(copyErrorMessage(206, kAttempt),
              "The path for the program file\n'" + t +
                  "'\nexceeds the maximum path length allowed on this system.\nUnable to install "
                  "the Skyvora program files into\n" +
                  p + ".");
}

TEST(CopyErrors, OtherCodesAreShownByNumber) {
    for (uint32_t code : {1u, 6u, 87u, 1224u})
        EXPECT_EQ(copyErrorMessage(code, kAttempt), "System Error " + std::to_string(code) +
                                                        " occurred transferring " +
                                                        kAttempt.source + " to " + kAttempt.target +
                                                        ". The software could not be installed.");
}

TEST(CopyErrors, LongPathsAndPercentSignsArriveWhole) {
    const std::string deep = "E:\\" + std::string(5000, 'd') + "\\100%s%d\\plugins";
    const CopyAttempt attempt{"C:\\Setup\\qa118dec.dll", deep + "\\qa118dec.dll", deep};
    EXPECT_NE(copyErrorMessage(206, attempt).find(attempt.target), std::string::npos);
    EXPECT_NE(copyErrorMessage(3, attempt).find(deep), std::string::npos);
    EXPECT_NE(copyErrorMessage(999, attempt).find(attempt.target), std::string::npos);
}

} // namespace
} // namespace skvinst
