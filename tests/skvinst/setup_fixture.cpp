#include "setup_fixture.h"

#include <windows.h>

#include <algorithm>

#include "test_files.h"

namespace skvinst_test {

namespace {

constexpr const char* kInstalledFiles[] = {"npskyv32.dll", "qa118dec.dll", "skyvora.txt"};
constexpr const char* kSessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenames = "PendingFileRenameOperations";
constexpr const char* kTestsRoot = "C:\\skvtest";
constexpr DWORD kEndMs = 60000;

std::string testName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name;
}

bool setDefaultValue(const std::string& key, const std::string& value) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r =
        RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return r == ERROR_SUCCESS;
}

void clearPendingRenames() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, kPendingRenames);
        RegCloseKey(key);
    }
}

} // namespace

void SetupTest::SetUp() {
    std::vector<std::string> expected = {"C:\\"};
    for (const char* drive : kTestDrives)
        expected.push_back(std::string(drive) + "\\");
    ASSERT_EQ(fixedDrives(), expected)
        << "the test prefix must have exactly these fixed drives (tests/skvinst/wine-gui.sh makes "
           "it so); Setup would search any other";

    for (const char* drive : kTestDrives)
        ASSERT_TRUE(clearDirectory(std::string(drive) + "\\")) << "cannot empty " << drive;
    ASSERT_TRUE(removeTree(kTestsRoot)) << "cannot remove " << kTestsRoot;
    dir_ = std::string(kTestsRoot) + "\\" + testName();
    ASSERT_TRUE(copyFolderFiles(windowsPath(SKVINST_FOLDER_UNIX), dir_))
        << "cannot copy the setup folder " << SKVINST_FOLDER_UNIX << " to " << dir_;

    // Text files open with the recording opener.
    openedLog_ = dir_ + "-opened.txt";
    ASSERT_TRUE(setDefaultValue("Software\\Classes\\.txt", "SkvinstTest.txt"));
    std::string command = "\"";
    command += windowsPath(SKVINST_OPENER_UNIX);
    command += "\" \"%1\"";
    ASSERT_TRUE(
        setDefaultValue("Software\\Classes\\SkvinstTest.txt\\shell\\open\\command", command));
    SetEnvironmentVariableA("SKVINST_OPENED_LOG", openedLog_.c_str());
    clearPendingRenames();
    forgetKindsSeen();
}

void SetupTest::TearDown() {
    clearPendingRenames();
}

void SetupTest::start(const std::string& arguments) {
    std::string why;
    ASSERT_TRUE(setup_.start(setupFile("skvinst.exe"), arguments, "C:\\", &why)) << why;
}

void SetupTest::expectEnd() {
    ASSERT_TRUE(setup_.waitForExit(kEndMs)) << "Setup is still running a minute later";
    EXPECT_EQ(setup_.exitCode(), 0u);
    // Whatever it started (the opener) has finished too.
    ASSERT_TRUE(setup_.waitForAllToEnd(kEndMs)) << "what Setup started is still running";
}

std::string SetupTest::builtFile(const std::string& name) const {
    return windowsPath(SKVINST_FOLDER_UNIX) + "\\" + name;
}

std::string SetupTest::shotsDir() const {
    return windowsPath(SKVINST_SHOTS_UNIX);
}

void SetupTest::expectInstalled(const std::string& plugins) const {
    for (const char* name : kInstalledFiles) {
        const auto installed = readFile(plugins + "\\" + name);
        ASSERT_TRUE(installed.has_value()) << name << " is not in " << plugins;
        EXPECT_TRUE(*installed == readFile(builtFile(name)).value_or(""))
            << plugins << "\\" << name << " differs from the one Setup installs";
    }
}

void SetupTest::expectNothingIn(const std::string& plugins) const {
    for (const char* name : kInstalledFiles)
        EXPECT_FALSE(exists(plugins + "\\" + name)) << name << " was copied into " << plugins;
}

std::string SetupTest::openedRecord() const {
    return readFile(openedLog_).value_or("");
}

std::vector<std::string> SetupTest::pendingRenames() {
    std::vector<std::string> entries;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return entries;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        std::string data(size, '\0');
        if (RegQueryValueExA(key, kPendingRenames, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
            data.resize(size);
            // Pairs of strings, each ended by a NUL (an empty second one for a deletion), and a
            // final NUL ending the list.
            size_t at = 0;
            while (at < data.size()) {
                const size_t end = data.find('\0', at);
                if (end == std::string::npos) break;
                entries.push_back(data.substr(at, end - at));
                at = end + 1;
            }
            while (!entries.empty() && entries.back().empty() && entries.size() % 2 == 1)
                entries.pop_back();
        }
    }
    RegCloseKey(key);
    return entries;
}

} // namespace skvinst_test
