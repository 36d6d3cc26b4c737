// Cancelling in the wait dialog. Drive M: holds a tree of many directories that the search needs
// far longer to walk (seconds) than the test needs to press Cancel and answer (a fraction of a
// second), so the search is still on M: when the answer comes; the browser on the later drive N:
// tells whether it went on.
#include <windows.h>

#include "expected_texts.h"
#include "setup_fixture.h"
#include "shots.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

// fanOut + fanOut ** 2 + ... + fanOut ** levels directories below root.
bool makeTree(const std::string& root, int levels, int fanOut) {
    if (!CreateDirectoryA(root.c_str(), nullptr)) return false;
    if (levels == 0) return true;
    for (int i = 0; i < fanOut; ++i)
        if (!makeTree(root + "\\d" + std::to_string(i), levels - 1, fanOut)) return false;
    return true;
}

class CancelTest : public SetupTest {
protected:
    void makeDrives(int levels, int fanOut) {
        ASSERT_TRUE(makeTree("M:\\Deep", levels, fanOut)) << "cannot make the tree to search";
        ASSERT_TRUE(makeBrowser("N:\\Netscape"));
    }
};

TEST_F(CancelTest, YesStopsTheSearchAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(makeDrives(3, 12)); // 1884 directories: seconds of searching
    // From a package, so that the clean-up after the cancel deletes what the thread copies from.
    ASSERT_TRUE(writeFile(setupFile("selfextr.id"), ""));
    start("/noeula");
    ASSERT_AWAIT(wait, Kind::Wait);
    EXPECT_EQ(wait.caption, expected::kCaption);
    std::string why;
    EXPECT_TRUE(saveShot(wait.hwnd, shotsDir(), "WaitDlg", &why)) << why;
    EXPECT_TRUE(showsMotion(GetDlgItem(wait.hwnd, 1015), &why)) << "the clip: " << why;
    EXPECT_EQ(controlText(wait.hwnd, 1004).rfind("Searching for Netscape on ", 0), 0u)
        << controlText(wait.hwnd, 1004);

    press(wait.hwnd, IDCANCEL);
    ASSERT_AWAIT(question, Kind::MessageBox);
    EXPECT_EQ(question.text, expected::kConfirmCancel);
    ASSERT_TRUE(IsWindow(wait.hwnd)) << "the wait dialog closed before the answer";
    press(question.hwnd, IDYES);
    ASSERT_AWAIT(cancelled, Kind::MessageBox, question.hwnd);
    EXPECT_EQ(cancelled.text, expected::kCancelled);
    EXPECT_FALSE(IsWindow(wait.hwnd));
    press(cancelled.hwnd, IDOK);
    expectEnd();

    EXPECT_FALSE(IsWindow(wait.hwnd));
    expectNothingIn("N:\\Netscape\\plugins");
    EXPECT_FALSE(exists(setupFile("npskyv32.dll"))) << "the clean-up did not run";
}

TEST_F(CancelTest, NoGoesOnInstalling) {
    // The search must outlast only the press of Cancel (it may end while the question is open),
    // and is then searched to its end.
    ASSERT_NO_FATAL_FAILURE(makeDrives(3, 8));
    start("/noeula");
    ASSERT_AWAIT(wait, Kind::Wait);
    press(wait.hwnd, IDCANCEL);
    ASSERT_AWAIT(question, Kind::MessageBox);
    EXPECT_EQ(question.text, expected::kConfirmCancel);
    press(question.hwnd, IDNO);
    ASSERT_AWAIT(done, Kind::Done, question.hwnd);
    press(done.hwnd, IDOK);
    expectEnd();
    expectInstalled("N:\\Netscape\\plugins");
}

} // namespace
} // namespace skvinst_test
