#include "sourcefiles.h"

#include "core/moviewriter.h"

namespace skvc {

namespace {
// Assets are pictures, sounds and scripts; nothing an author means is this large.
constexpr size_t kMaxSourceFile = 64u * 1024 * 1024;
} // namespace

bool SourceFiles::isInside(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.find('\0') != std::string::npos || name.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

bool DiskSource::read(const std::string& name, std::vector<uint8_t>* out,
                      std::string* error) const {
    if (!isInside(name)) {
        *error = "'" + name +
                 "' is not a file inside the source directory (give a relative name "
                 "without '..')";
        return false;
    }
    std::string why;
    if (!skv::readWholeFile(dir_ + "/" + name, out, &why, kMaxSourceFile)) {
        *error = why;
        return false;
    }
    return true;
}

bool MemorySource::read(const std::string& name, std::vector<uint8_t>* out,
                        std::string* error) const {
    if (!isInside(name)) {
        *error = "'" + name +
                 "' is not a file inside the source directory (give a relative name "
                 "without '..')";
        return false;
    }
    auto it = files_.find(name);
    if (it == files_.end()) {
        *error = "cannot open '" + name + "': no such file in the source";
        return false;
    }
    *out = it->second;
    return true;
}

} // namespace skvc
