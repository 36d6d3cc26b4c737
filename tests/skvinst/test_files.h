// Files and folders for the tests, through the Windows API as Setup sees them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace skvinst_test {

// A path of the build tree (a Unix path) as Wine shows it, on drive Z:.
std::string windowsPath(const std::string& unixPath);

bool makeDirectories(const std::string& path);
// Removes what a directory holds, read-only files too; the directory itself stays.
bool clearDirectory(const std::string& path);
bool removeTree(const std::string& path);

bool writeFile(const std::string& path, const std::string& content);
std::optional<std::string> readFile(const std::string& path);
bool exists(const std::string& path);
bool copyFolderFiles(const std::string& from, const std::string& to);

// A browser installation: dir\netscape.exe beside the plugins directory dir\plugins.
bool makeBrowser(const std::string& dir);

// The roots ("C:\") of the drives GetDriveType calls fixed.
std::vector<std::string> fixedDrives();

} // namespace skvinst_test
