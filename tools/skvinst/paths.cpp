#include "paths.h"

namespace skvinst {

std::string joinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '\\') path += '\\';
    path.append(name);
    return path;
}

std::string directoryOf(std::string_view path) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos) return {};
    // "C:" alone would name the drive's current directory, not its root.
    if (slash == 2 && path[1] == ':') return std::string(path.substr(0, 3));
    return std::string(path.substr(0, slash));
}

} // namespace skvinst
