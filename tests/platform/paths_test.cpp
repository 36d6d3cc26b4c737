// Absolute path names and network file systems.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/win32.h"

namespace {

std::string fullPath(const char* name) {
    char buf[512];
    DWORD n = GetFullPathNameA(name, sizeof buf, buf, nullptr);
    if (n == 0 || n >= sizeof buf) return "<failed>";
    return std::string(buf, n);
}

TEST(FullPathName, DotsAndSeparatorsAreTakenOutByTheText) {
    EXPECT_EQ(fullPath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(fullPath("/a//b///c/"), "/a/b/c/");
    EXPECT_EQ(fullPath("/../.."), "/");
    EXPECT_EQ(fullPath("///a"), "/a");
    // Two leading separators name a share, whose host ".." cannot climb above.
    EXPECT_EQ(fullPath("//host/share/../x"), "//host/x");
    EXPECT_EQ(fullPath("//host/../../y"), "//host/y");

    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string here = cwd;
    EXPECT_EQ(fullPath("movie.skm"), (here == "/" ? "" : here) + "/movie.skm");
    EXPECT_EQ(fullPath("./sub/../movie.skm"), (here == "/" ? "" : here) + "/movie.skm");

    EXPECT_EQ(GetFullPathNameA("", 10, nullptr, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FullPathName, ASmallBufferGetsTheSizeNeededAndTheFilePartPointsIntoIt) {
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetFullPathNameA("/abc/def", sizeof small, small, nullptr), 9u);
    EXPECT_EQ(small[0], 'x');
    char buf[16];
    char* part = nullptr;
    EXPECT_EQ(GetFullPathNameA("/abc/def", 9, buf, &part), 8u);
    EXPECT_STREQ(buf, "/abc/def");
    EXPECT_EQ(part, buf + 5);
    EXPECT_EQ(GetFullPathNameA("/abc/", sizeof buf, buf, &part), 5u);
    EXPECT_EQ(part, nullptr);
}

TEST(DriveType, NetworkFileSystemsAreRemoteByTheMountTheyLieUnder) {
    const char* table =
        "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
        "40 27 0:50 / /mnt/nfs rw shared:5 - nfs4 server:/export rw,vers=4.2\n"
        "41 27 0:51 / /home/u/remote rw - fuse.sshfs u@host:/ rw\n"
        "42 27 0:52 / /mnt/with\\040space rw - cifs //srv/share rw\n"
        "43 40 0:53 / /mnt/nfs/local rw - tmpfs tmpfs rw\n"
        "44 27 0:54 / /mnt/over rw - smb3 //srv/a rw\n"
        "45 44 0:55 / /mnt/over rw - ext4 /dev/vdb rw\n"
        "garbage line\n";
    using skv::platform::driveTypeInMountTable;
    EXPECT_EQ(driveTypeInMountTable(table, "/"), DRIVE_FIXED);
    EXPECT_EQ(driveTypeInMountTable(table, "/home/u/movie.skm"), DRIVE_FIXED);
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/nfs"), DRIVE_REMOTE);
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/nfs/a/b.skm"), DRIVE_REMOTE);
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/nfsx/b.skm"), DRIVE_FIXED); // not under /mnt/nfs
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/nfs/local/b.skm"), DRIVE_FIXED);
    EXPECT_EQ(driveTypeInMountTable(table, "/home/u/remote/m.skm"), DRIVE_REMOTE);
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/with space/m.skm"), DRIVE_REMOTE);
    EXPECT_EQ(driveTypeInMountTable(table, "/mnt/over/m.skm"), DRIVE_FIXED); // the top mount
    EXPECT_EQ(driveTypeInMountTable("", "/x"), DRIVE_UNKNOWN);
}

TEST(DriveType, TheTemporaryDirectoryIsALocalDrive) {
    char tmp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof tmp, tmp), 0u);
    EXPECT_EQ(GetDriveTypeA(tmp), DRIVE_FIXED);
    // A path that does not exist yet lies on the drive of its nearest existing parent.
    EXPECT_EQ(GetDriveTypeA((std::string(tmp) + "no/such/dir/file").c_str()), DRIVE_FIXED);
}

} // namespace
