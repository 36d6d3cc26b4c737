#include "test_files.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace skvinst_test {

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool makeDirectories(const std::string& path) {
    if (path.size() <= 3) return true; // a drive's root
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return attributes & FILE_ATTRIBUTE_DIRECTORY;
    const size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && !makeDirectories(path.substr(0, slash))) return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool clearDirectory(const std::string& path) {
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool ok = true;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = removeTree(child) && ok;
        } else {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            ok = DeleteFileA(child.c_str()) && ok;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return ok;
}

bool removeTree(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    const bool cleared = clearDirectory(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(path.c_str()) && cleared;
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copyFolderFiles(const std::string& from, const std::string& to) {
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((from + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = makeDirectories(to);
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ok = CopyFileA((from + "\\" + entry.cFileName).c_str(),
                       (to + "\\" + entry.cFileName).c_str(), FALSE) &&
             ok;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return ok;
}

bool makeBrowser(const std::string& dir) {
    return makeDirectories(dir + "\\plugins") &&
           writeFile(dir + "\\netscape.exe", "a browser's program, for Setup to find");
}

std::vector<std::string> fixedDrives() {
    std::vector<std::string> drives;
    char roots[4 * 26 + 2];
    const DWORD n = GetLogicalDriveStringsA(sizeof roots, roots);
    if (n == 0 || n >= sizeof roots) return drives;
    for (const char* root = roots; *root; root += lstrlenA(root) + 1)
        if (GetDriveTypeA(root) == DRIVE_FIXED) drives.emplace_back(root);
    return drives;
}

} // namespace skvinst_test
