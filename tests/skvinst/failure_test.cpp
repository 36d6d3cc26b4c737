// What Setup reports instead of installing: missing program files, no browser, copy failures.
#include <windows.h>

#include <algorithm>

#include "expected_texts.h"
#include "setup_fixture.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

bool sawKind(Kind kind) {
    return std::find(kindsSeen().begin(), kindsSeen().end(), kind) != kindsSeen().end();
}

class MissingFileTest : public SetupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingFileTest, IsReportedByNameBeforeAnythingIsCopied) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    ASSERT_TRUE(DeleteFileA(setupFile(GetParam()).c_str()));
    start("/noeula");
    ASSERT_AWAIT(box, Kind::MessageBox);
    EXPECT_EQ(box.text, expected::missing(GetParam()));
    EXPECT_EQ(box.caption, expected::kCaption);
    EXPECT_TRUE(showsIcon(box.hwnd));
    press(box.hwnd, IDOK);
    expectEnd();
    EXPECT_FALSE(sawKind(Kind::Wait));
    expectNothingIn("M:\\Netscape\\plugins");
}

INSTANTIATE_TEST_SUITE_P(EveryCheckedFile, MissingFileTest,
                         ::testing::Values("npskyv32.dll", "qa118dec.dll", "skyvora.txt",
                                           "license.txt", "skvinst.dat"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

class FailureTest : public SetupTest {};

TEST_F(FailureTest, MissingLicenceStopsTheAgreement) {
    ASSERT_TRUE(DeleteFileA(setupFile("license.txt").c_str()));
    start("");
    ASSERT_AWAIT(box, Kind::MessageBox);
    EXPECT_EQ(box.text, expected::missing("license.txt"));
    press(box.hwnd, IDOK);
    expectEnd();
    EXPECT_FALSE(sawKind(Kind::Eula));
}

TEST_F(FailureTest, TheFirstMissingFileOfTheListIsNamed) {
    ASSERT_TRUE(DeleteFileA(setupFile("skvinst.dat").c_str()));
    ASSERT_TRUE(DeleteFileA(setupFile("qa118dec.dll").c_str()));
    start("/noeula");
    ASSERT_AWAIT(box, Kind::MessageBox);
    EXPECT_EQ(box.text, expected::missing("qa118dec.dll"));
    press(box.hwnd, IDOK);
    expectEnd();
}

TEST_F(FailureTest, NoBrowserAnywhereCouldNotBeLocated) {
    // A browser without plugins directory, and a plugins directory without a browser.
    ASSERT_TRUE(makeDirectories("O:\\Netscape"));
    ASSERT_TRUE(writeFile("O:\\Netscape\\netscape.exe", ""));
    ASSERT_TRUE(makeDirectories("P:\\Netscape\\plugins"));
    start("/noeula");
    ASSERT_AWAIT(box, Kind::MessageBox);
    EXPECT_EQ(box.text, expected::kNotFound);
    EXPECT_TRUE(showsIcon(box.hwnd));
    press(box.hwnd, IDOK);
    expectEnd();
    EXPECT_FALSE(sawKind(Kind::Done));
    expectNothingIn("P:\\Netscape\\plugins");
    // Not a package: Setup leaves its files alone.
    for (const char* name : {"skvinst.exe", "npskyv32.dll", "qa118dec.dll", "skyvora.txt",
                             "license.txt", "skvinst.dat"})
        EXPECT_TRUE(exists(setupFile(name))) << name << " was deleted";
}

// A file held open without write sharing, as a running browser holds its plug-ins.
class HeldOpen {
public:
    explicit HeldOpen(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST_F(FailureTest, AFileInUseIsReportedByItsErrorAndEndsTheInstallation) {
    ASSERT_TRUE(makeBrowser("M:\\First"));
    ASSERT_TRUE(makeBrowser("N:\\Second"));
    ASSERT_TRUE(makeBrowser("O:\\Third"));
    const std::string busy = "N:\\Second\\plugins\\qa118dec.dll";
    ASSERT_TRUE(writeFile(busy, "the decoder a running browser has loaded"));
    HeldOpen held(busy);
    ASSERT_TRUE(held.ok());

    start("/noeula");
    ASSERT_AWAIT(error, Kind::MessageBox);
    EXPECT_EQ(error.text, expected::inUse(busy));
    EXPECT_TRUE(showsIcon(error.hwnd));
    press(error.hwnd, IDOK);
    ASSERT_AWAIT(result, Kind::MessageBox, error.hwnd);
    EXPECT_EQ(result.text, expected::kNotCompleted);
    EXPECT_TRUE(showsIcon(result.hwnd));
    press(result.hwnd, IDOK);
    expectEnd();

    EXPECT_FALSE(sawKind(Kind::Done));
    expectInstalled("M:\\First\\plugins"); // copied before the failure, and kept
    EXPECT_TRUE(readFile("N:\\Second\\plugins\\npskyv32.dll") ==
                readFile(builtFile("npskyv32.dll")))
        << "the file before the one in use should have been copied";
    EXPECT_EQ(readFile(busy), "the decoder a running browser has loaded");
    EXPECT_FALSE(exists("N:\\Second\\plugins\\skyvora.txt")) << "Setup went on after a failure";
    expectNothingIn("O:\\Third\\plugins");
}

TEST_F(FailureTest, ATargetThatCannotBeWrittenIsReportedAsAccessDenied) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    // A directory where the plug-in should go: no file can be written in its place.
    const std::string blocked = "M:\\Netscape\\plugins\\npskyv32.dll";
    ASSERT_TRUE(makeDirectories(blocked));
    start("/noeula");
    ASSERT_AWAIT(error, Kind::MessageBox);
    EXPECT_EQ(error.text, expected::accessDenied(blocked));
    press(error.hwnd, IDOK);
    ASSERT_AWAIT(result, Kind::MessageBox, error.hwnd);
    EXPECT_EQ(result.text, expected::kNotCompleted);
    press(result.hwnd, IDOK);
    expectEnd();
    EXPECT_FALSE(exists("M:\\Netscape\\plugins\\qa118dec.dll"));
}

} // namespace
} // namespace skvinst_test
