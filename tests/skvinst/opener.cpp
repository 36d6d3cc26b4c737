// The program the test prefix opens text files with in place of an editor: it writes down what
// it was asked to open and where it was started (SKVINST_OPENED_LOG names the file), so that a
// test sees what the shell made of Setup's request to show the release notes.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char log[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("SKVINST_OPENED_LOG", log, sizeof log);
    if (n == 0 || n >= sizeof log) return 2;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::string file = argv && argc > 1 ? narrow(argv[1]) : std::string();
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof dir, dir);
    const std::string record = "file=" + file + "\ndir=" + dir + "\n";
    // Written beside the log and renamed, so that a reader never sees half of it.
    const std::string partial = std::string(log) + ".part";
    HANDLE out = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(out, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(out);
    return MoveFileExA(partial.c_str(), log, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
