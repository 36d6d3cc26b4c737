// The licence agreement: what it shows, what No does, and the command line that skips it.
#include <algorithm>

#include "expected_texts.h"
#include "setup_fixture.h"
#include "shots.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

// What the agreement's edit box must hold: the lines of license.txt, each ended by CR LF.
std::string shownAs(const std::string& fileText) {
    std::string shown;
    size_t at = 0;
    while (at < fileText.size()) {
        size_t end = fileText.find('\n', at);
        if (end == std::string::npos) end = fileText.size();
        std::string line = fileText.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Longer lines come in pieces, which the licence unit tests cover; ours has none.
        EXPECT_LE(line.size(), 78u) << "license.txt has a line longer than a piece";
        shown += line + "\r\n";
        at = end + 1;
    }
    return shown;
}

class AgreementTest : public SetupTest {};

TEST_F(AgreementTest, ShowsTheLicenceWithCrLfLineEnds) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    start("");
    ASSERT_AWAIT(eula, Kind::Eula);
    EXPECT_EQ(eula.caption, expected::kCaption);
    EXPECT_EQ(controlText(eula.hwnd, 1003), expected::kLicensePrompt);
    EXPECT_EQ(controlText(eula.hwnd, 1002), expected::kLicenseQuestion);
    const auto license = readFile(setupFile("license.txt"));
    ASSERT_TRUE(license.has_value());
    EXPECT_EQ(controlText(eula.hwnd, 1001), shownAs(*license));
    EXPECT_EQ(focusedWindow(eula.hwnd), GetDlgItem(eula.hwnd, 1001))
        << "the agreement should have the focus, so that PAGE DOWN scrolls it";
    std::string why;
    EXPECT_TRUE(saveShot(eula.hwnd, shotsDir(), "EulaDlg", &why)) << why;

    press(eula.hwnd, IDCANCEL); // No
    ASSERT_AWAIT(box, Kind::MessageBox);
    EXPECT_EQ(box.text, expected::kDeclined);
    EXPECT_EQ(box.caption, expected::kCaption);
    EXPECT_FALSE(showsIcon(box.hwnd));
    press(box.hwnd, IDOK);
    expectEnd();
    expectNothingIn("M:\\Netscape\\plugins");
    EXPECT_TRUE(std::find(kindsSeen().begin(), kindsSeen().end(), Kind::Wait) == kindsSeen().end())
        << "Setup searched although the agreement was declined";
}

TEST_F(AgreementTest, LowerCaseNoEulaAfterASlashGoesStraightToTheSearch) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    start("/noeula");
    ASSERT_AWAIT(wait, Kind::Wait);
    EXPECT_EQ(wait.caption, expected::kCaption);
    ASSERT_AWAIT(done, Kind::Done);
    press(done.hwnd, IDOK);
    expectEnd();
    EXPECT_TRUE(std::find(kindsSeen().begin(), kindsSeen().end(), Kind::Eula) == kindsSeen().end())
        << "the agreement was shown although the command line said NOEULA";
    expectInstalled("M:\\Netscape\\plugins");
}

} // namespace
} // namespace skvinst_test
