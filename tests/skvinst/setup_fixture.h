// Each test runs Setup from a fresh copy of the built setup folder (C:\skvtest\<test>) in the
// test prefix, whose fixed drives are C: and the four test drives M: to P: (wine-gui.sh makes
// them), emptied before every test. Drive Z:, the whole Unix file system, is a network drive
// there, so Setup does not search it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_process.h"
#include "setup_windows.h"

namespace skvinst_test {

inline constexpr const char* kTestDrives[] = {"M:", "N:", "O:", "P:"};

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts Setup from the test's folder with the given arguments (from another directory, as
    // a user's shell would).
    void start(const std::string& arguments);
    // Waits for Setup to end by itself and checks that it ended well.
    void expectEnd();

    std::string setupFile(const std::string& name) const { return dir_ + "\\" + name; }
    // A file as the build made it.
    std::string builtFile(const std::string& name) const;
    std::string shotsDir() const;

    // The three installed files are in plugins, each as the build made it.
    void expectInstalled(const std::string& plugins) const;
    // None of the three is in plugins.
    void expectNothingIn(const std::string& plugins) const;

    // What the release notes were opened with: the opened file and the opener's directory, or
    // nothing when the shell started nothing.
    std::string openedRecord() const;

    // The files the system deletes or renames at its next start (MoveFileEx's delayed moves).
    static std::vector<std::string> pendingRenames();

    SetupProcess setup_;
    std::string dir_;

private:
    std::string openedLog_;
};

// Waits for a window of Setup, stopping the test with what was on screen when it does not come.
#define ASSERT_AWAIT(var, ...)                                                                     \
    const ::skvinst_test::Awaited var##Awaited = ::skvinst_test::awaitWindow(setup_, __VA_ARGS__); \
    ASSERT_TRUE(var##Awaited) << var##Awaited.problem;                                             \
    const ::skvinst_test::SetupWindow& var = var##Awaited.window

} // namespace skvinst_test
