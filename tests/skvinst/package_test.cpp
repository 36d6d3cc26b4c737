// Setup unpacked from a self-extracting package (selfextr.id beside it) removes itself.
#include <windows.h>

#include "setup_fixture.h"
#include "test_files.h"

namespace skvinst_test {
namespace {

class PackageTest : public SetupTest {};

TEST_F(PackageTest, FilesAreDeletedAndSetupIsDeletedAtRestart) {
    ASSERT_TRUE(makeBrowser("M:\\Netscape"));
    ASSERT_TRUE(writeFile(setupFile("selfextr.id"), "package"));
    start("/noeula");
    ASSERT_AWAIT(done, Kind::Done);
    setCheck(done.hwnd, 1017, BST_UNCHECKED);
    press(done.hwnd, IDOK);
    expectEnd();

    for (const char* name : {"npskyv32.dll", "qa118dec.dll", "skyvora.txt", "license.txt",
                             "selfextr.id", "skvinst.dat"})
        EXPECT_FALSE(exists(setupFile(name))) << name << " is still there";
    expectInstalled("M:\\Netscape\\plugins");
    // The running program could not delete itself; the system does it at its next start.
    EXPECT_TRUE(exists(setupFile("skvinst.exe")));
    const std::vector<std::string> expected = {"\\??\\" + setupFile("skvinst.exe"), ""};
    EXPECT_EQ(pendingRenames(), expected);
}

} // namespace
} // namespace skvinst_test
