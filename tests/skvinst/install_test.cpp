// Installing: every browser installation on every fixed drive, the release notes, and files
// that are in the way.
#include "expected_texts.h"
#include "setup_fixture.h"
#include "shots.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

class InstallTest : public SetupTest {};

TEST_F(InstallTest, BothInstallationsOnTwoDrivesGetTheFilesAndTheLastNotesOpen) {
    ASSERT_TRUE(makeBrowser("M:\\Program Files\\Netscape\\Navigator\\Program"));
    ASSERT_TRUE(makeBrowser("N:\\Apps\\Nav"));
    // Half an installation each: neither is one.
    ASSERT_TRUE(writeFile("O:\\netscape.exe", "a browser without plugins directory"));
    ASSERT_TRUE(makeDirectories("P:\\Other\\plugins"));

    start("");
    ASSERT_AWAIT(eula, Kind::Eula);
    press(eula.hwnd, IDOK); // Yes
    ASSERT_AWAIT(done, Kind::Done);
    EXPECT_EQ(done.caption, expected::kCaption);
    EXPECT_EQ(controlText(done.hwnd, 1022), expected::kDoneText);
    EXPECT_EQ(controlText(done.hwnd, 1019), expected::kDoneThanks);
    EXPECT_EQ(controlText(done.hwnd, 1017), expected::kDoneNotes);
    EXPECT_EQ(checkState(done.hwnd, 1017), BST_CHECKED);
    std::string why;
    EXPECT_TRUE(saveShot(done.hwnd, shotsDir(), "DoneDlg", &why)) << why;
    press(done.hwnd, IDOK);
    expectEnd();

    expectInstalled("M:\\Program Files\\Netscape\\Navigator\\Program\\plugins");
    expectInstalled("N:\\Apps\\Nav\\plugins");
    expectNothingIn("O:\\");
    expectNothingIn("P:\\Other\\plugins");
    EXPECT_EQ(openedRecord(), "file=N:\\Apps\\Nav\\plugins\\skyvora.txt\n"
                              "dir=N:\\Apps\\Nav\\plugins\n");
}

TEST_F(InstallTest, ReleaseNotesStayClosedWhenTheBoxIsCleared) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    start("/NOEULA");
    ASSERT_AWAIT(done, Kind::Done);
    setCheck(done.hwnd, 1017, BST_UNCHECKED);
    press(done.hwnd, IDOK);
    expectEnd();
    expectInstalled("M:\\Netscape\\plugins");
    EXPECT_EQ(setup_.processesStarted(), 1u) << "Setup started another program";
    EXPECT_EQ(openedRecord(), "");
}

TEST_F(InstallTest, ReadOnlyPlugInIsReplaced) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    const std::string old = "M:\\Netscape\\plugins\\npskyv32.dll";
    ASSERT_TRUE(writeFile(old, "an older plug-in"));
    ASSERT_TRUE(SetFileAttributesA(old.c_str(), FILE_ATTRIBUTE_READONLY));
    start("-noeula");
    ASSERT_AWAIT(done, Kind::Done);
    press(done.hwnd, IDOK);
    expectEnd();
    expectInstalled("M:\\Netscape\\plugins");
}

} // namespace
} // namespace skvinst_test
