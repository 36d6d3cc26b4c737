// Files: dispositions, share modes (within the process and against another process), the file
// pointer, truncation, delete-on-close, directories, copies and temporary names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/skvfileXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

    std::string path(const char* name) const { return dir_ + "/" + name; }
    static bool exists(const std::string& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0;
    }
    static std::string contents(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void put(const std::string& p, const std::string& s) {
        std::ofstream(p, std::ios::binary) << s;
    }
    static HANDLE open(const std::string& p, DWORD access, DWORD share, DWORD disposition,
                       DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(p.c_str(), access, share, nullptr, disposition, flags, nullptr);
    }

    std::string dir_;
};

constexpr DWORD kRW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

TEST_F(FileTest, DispositionsCreateTruncateOrRefuseAsWindowsDoes) {
    std::string p = path("a.bin");
    HANDLE h = open(p, GENERIC_READ, kShareRW, OPEN_EXISTING);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    h = open(path("nodir/a.bin"), GENERIC_READ, kShareRW, OPEN_EXISTING);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    h = open(p, kRW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    CloseHandle(h);

    EXPECT_EQ(open(p, kRW, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    h = open(p, kRW, 0, OPEN_ALWAYS); // existing: kept as it is
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 10u);
    CloseHandle(h);

    h = open(p, GENERIC_WRITE, 0, CREATE_ALWAYS); // existing: emptied
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    WriteFile(h, "abc", 3, &n, nullptr);
    CloseHandle(h);

    h = open(p, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    CloseHandle(h);

    std::string q = path("b.bin");
    h = open(q, GENERIC_WRITE, 0, OPEN_ALWAYS); // new
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    CloseHandle(h);
    EXPECT_TRUE(exists(q));

    EXPECT_EQ(open(dir_, GENERIC_READ, kShareRW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)); // a directory
}

TEST_F(FileTest, ShareModesHoldBetweenHandlesOfTheProcess) {
    std::string p = path("s.bin");
    HANDLE a = open(p, kRW, 0, CREATE_ALWAYS);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(p, GENERIC_READ, kShareRW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(a);

    // Readers sharing with each other; a writer sharing read only cannot join writers.
    HANDLE r1 = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE r2 = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(r1, INVALID_HANDLE_VALUE);
    EXPECT_NE(r2, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(p, GENERIC_WRITE, kShareRW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(open(p, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE); // open elsewhere
    CloseHandle(r1);
    CloseHandle(r2);

    HANDLE w = open(p, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    HANDLE r = open(p, GENERIC_READ, kShareRW, OPEN_EXISTING); // a reader tolerating the writer
    EXPECT_NE(r, INVALID_HANDLE_VALUE);
    CloseHandle(r);
    CloseHandle(w);
    HANDLE again = open(p, kRW, 0, OPEN_EXISTING); // all closed: exclusive is possible again
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

// Runs the helper program to open `p` with `share` from another process; its exit status.
int tryFromOtherProcess(const std::string& p, DWORD share) {
    pid_t pid = fork();
    if (pid == 0) {
        std::string s = std::to_string(share);
        execl(SKV_FILE_SHARE_HELPER, SKV_FILE_SHARE_HELPER, "try", p.c_str(), s.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileTest, ShareModeZeroHoldsAgainstAnotherProcess) {
    std::string p = path("x.bin");
    HANDLE mine = open(p, kRW, 0, CREATE_ALWAYS);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    EXPECT_EQ(tryFromOtherProcess(p, kShareRW), 3); // sharing violation
    CloseHandle(mine);
    EXPECT_EQ(tryFromOtherProcess(p, 0), 0);

    // The other way round: a file another process holds open cannot be opened exclusively.
    int toChild[2], fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        std::string s = std::to_string(FILE_SHARE_READ);
        execl(SKV_FILE_SHARE_HELPER, SKV_FILE_SHARE_HELPER, "hold", p.c_str(), s.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    char c = 0;
    ASSERT_EQ(read(fromChild[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_EQ(open(p, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE shared = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(shared, INVALID_HANDLE_VALUE);
    CloseHandle(shared);
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        close(fd);
    HANDLE after = open(p, GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    CloseHandle(after);
}

TEST_F(FileTest, ReadAndWriteAtTheFilePointer) {
    HANDLE h = open(path("p.bin"), kRW, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, 5, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "world");
    ASSERT_TRUE(ReadFile(h, buf, 5, &n, nullptr)); // at the end: success, nothing read
    EXPECT_EQ(n, 0u);

    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
    ASSERT_TRUE(WriteFile(h, "WO", 2, &n, nullptr));
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_CURRENT), 5u);
    ASSERT_TRUE(ReadFile(h, buf, 16, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), " WOrld");

    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 11u); // unmoved by the failure

    LONG high = 1; // 4 GiB + 2: positions beyond 32 bits go through the high part
    EXPECT_EQ(SetFilePointer(h, 2, &high, FILE_BEGIN), 2u);
    EXPECT_EQ(high, 1);
    high = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 2u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(GetFileSize(h, nullptr), 11u); // moving the pointer does not grow the file
    CloseHandle(h);
}

TEST_F(FileTest, SetEndOfFileTruncatesAndExtendsAtThePointer) {
    std::string p = path("t.bin");
    HANDLE h = open(p, kRW, 0, CREATE_NEW);
    DWORD n = 0;
    WriteFile(h, "abcdefgh", 8, &n, nullptr);
    SetFilePointer(h, 3, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 3u);
    EXPECT_EQ(high, 0u);
    SetFilePointer(h, 6, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(contents(p), std::string("abc\0\0\0", 6));

    HANDLE ro = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(SetEndOfFile(ro));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(WriteFile(ro, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(ro);
}

TEST_F(FileTest, DeleteOnCloseAndDeletingOpenFiles) {
    std::string p = path("d.tmp");
    HANDLE h = open(p, kRW, FILE_SHARE_DELETE, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(exists(p));
    CloseHandle(h);
    EXPECT_FALSE(exists(p));

    put(p, "x");
    HANDLE held = open(p, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(DeleteFileA(p.c_str())); // held without FILE_SHARE_DELETE
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA(p.c_str()));
    EXPECT_FALSE(exists(p));
    EXPECT_FALSE(DeleteFileA(p.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileTest, DirectoriesAttributesAndCopies) {
    std::string d = path("sub");
    EXPECT_TRUE(CreateDirectoryA(d.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(d.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA(path("no/such").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(GetFileAttributesA(d.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    std::string f = d + "/f.txt";
    put(f, "payload");
    EXPECT_EQ(GetFileAttributesA(f.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(path("missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    std::string g = d + "/g.txt";
    EXPECT_TRUE(CopyFileA(f.c_str(), g.c_str(), TRUE));
    EXPECT_EQ(contents(g), "payload");
    put(f, "second");
    EXPECT_FALSE(CopyFileA(f.c_str(), g.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(contents(g), "payload");
    EXPECT_TRUE(CopyFileA(f.c_str(), g.c_str(), FALSE));
    EXPECT_EQ(contents(g), "second");
    EXPECT_FALSE(CopyFileA(f.c_str(), f.c_str(), FALSE)); // never truncates its own source
    EXPECT_EQ(contents(f), "second");
}

TEST_F(FileTest, TempPathAndTempFileNames) {
    std::string saved = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", dir_.c_str(), 1);
    char buf[MAX_PATH];
    DWORD len = GetTempPathA(MAX_PATH, buf);
    EXPECT_EQ(std::string(buf), dir_ + "/");
    EXPECT_EQ(len, dir_.size() + 1);
    EXPECT_EQ(GetTempPathA(3, buf), dir_.size() + 2); // too small: the size needed
    unsetenv("TMPDIR");
    GetTempPathA(MAX_PATH, buf);
    EXPECT_STREQ(buf, "/tmp/");
    if (!saved.empty()) setenv("TMPDIR", saved.c_str(), 1);

    char name1[MAX_PATH], name2[MAX_PATH];
    UINT u1 = GetTempFileNameA(dir_.c_str(), "skvcache", 0, name1);
    UINT u2 = GetTempFileNameA((dir_ + "/").c_str(), "skvcache", 0, name2);
    ASSERT_NE(u1, 0u);
    ASSERT_NE(u2, 0u);
    EXPECT_NE(u1, u2);
    char expected[MAX_PATH];
    std::snprintf(expected, sizeof expected, "%s/skv%X.tmp", dir_.c_str(), u1);
    EXPECT_STREQ(name1, expected);
    EXPECT_TRUE(exists(name1)); // created, empty, to reserve the name
    EXPECT_TRUE(exists(name2));

    UINT u3 = GetTempFileNameA(dir_.c_str(), "ab", 0x1A2B, name1);
    EXPECT_EQ(u3, 0x1A2Bu);
    EXPECT_EQ(std::string(name1), dir_ + "/ab1A2B.tmp");
    EXPECT_FALSE(exists(name1)); // a given number only forms the name

    EXPECT_EQ(GetTempFileNameA(path("none").c_str(), "x", 0, name1), 0u);
}

} // namespace
