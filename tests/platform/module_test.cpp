// Modules: the path of a module from an address, and libraries bound by ordinal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/win32.h"

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(Modules, PathOfTheModuleHoldingAnAddress) {
    HMODULE m = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(&CreateEventA), &m));
    ASSERT_NE(m, nullptr);
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(m, path, sizeof path);
    ASSERT_GT(n, 0u);
    std::string p(path, n);
    EXPECT_EQ(p[0], '/');
    EXPECT_TRUE(endsWith(p, "/libskvplatform.so")) << p;

    char small[8];
    EXPECT_EQ(GetModuleFileNameA(m, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small), p.substr(0, 7));
}

TEST(Modules, NullModuleIsTheMainProgram) {
    char exe[PATH_MAX];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(len, 0);
    char path[PATH_MAX];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_EQ(std::string(path, n), std::string(exe, static_cast<size_t>(len)));

    // An address inside the program names the program too.
    HMODULE m = nullptr;
    static int inProgram;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(&inProgram), &m));
    n = GetModuleFileNameA(m, path, sizeof path);
    EXPECT_EQ(std::string(path, n), std::string(exe, static_cast<size_t>(len)));
    EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, LibraryBesideTheCallerBoundByOrdinal) {
    // Only beside this program: not on any search path of the loader.
    HMODULE lib = LoadLibraryA("skvordinaltest");
    ASSERT_NE(lib, nullptr);
    using Fn = int (*)(int);
    auto byOrdinal = reinterpret_cast<Fn>(GetProcAddress(lib, MAKEINTRESOURCEA(7)));
    ASSERT_NE(byOrdinal, nullptr);
    EXPECT_EQ(byOrdinal(7), 42);
    EXPECT_EQ(reinterpret_cast<Fn>(GetProcAddress(lib, "skv_ordinal_7")), byOrdinal);
    EXPECT_EQ(GetProcAddress(lib, MAKEINTRESOURCEA(8)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));

    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(lib, path, sizeof path);
    EXPECT_TRUE(endsWith(std::string(path, n), "/libskvordinaltest.so"));

    HMODULE again = LoadLibraryA("skvordinaltest.dll"); // a Windows-style name works too
    EXPECT_EQ(again, lib);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_FALSE(FreeLibrary(lib));

    EXPECT_EQ(LoadLibraryA("skvnosuchlibrary"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&n), "x"), nullptr); // not a module
}

} // namespace
