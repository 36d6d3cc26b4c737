// Absolute path names and the kind of "drive" (file system) a path lies on.
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"

namespace {

std::string currentDirectory() {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        if (getcwd(buf.data(), buf.size())) return buf.data();
        if (errno != ERANGE || buf.size() > (1u << 20)) return {};
        buf.resize(buf.size() * 2);
    }
}

// `path` made absolute and stripped of "." and ".." by its text alone.
std::string absoluteForm(const char* name) {
    std::string_view in(name);
    std::string base;
    if (in.front() != '/') {
        base = currentDirectory();
        if (base.empty()) return {};
    }
    std::string full = base.empty() ? std::string(in) : base + "/" + std::string(in);
    // Exactly two leading separators name a network share and are kept; more than two are one.
    const bool share = full.size() > 2 && full[0] == '/' && full[1] == '/' && full[2] != '/';
    const bool trailing = full.back() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(full);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty() && !(share && parts.size() == 1)) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out = share ? "/" : "";
    for (std::string_view p : parts) {
        out += '/';
        out += p;
    }
    if (out.empty() || (share && parts.empty())) return share ? "//" : "/";
    if (trailing) out += '/';
    return out;
}

// A mount point as mountinfo writes it, with its \NNN escapes undone.
std::string unescapeMountField(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 +
                                            (s[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

bool isRemoteType(std::string_view type) {
    static constexpr std::string_view kRemote[] = {
        "nfs",       "nfs4",      "cifs",          "smb",         "smb3",
        "smbfs",     "smb2",      "ncpfs",         "afs",         "coda",
        "ceph",      "glusterfs", "lustre",        "gpfs",        "davfs",
        "fuse.sshfs", "sshfs",    "fuse.glusterfs", "fuse.s3fs",  "fuse.rclone",
        "fuse.davfs2", "fuse.curlftpfs", "fuse.smbnetfs", "fuse.cephfs", "fuse.gcsfuse",
    };
    for (std::string_view r : kRemote)
        if (type == r) return true;
    return false;
}

bool under(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The deepest existing directory or file on the way to `path`, with its links resolved.
std::string resolveExisting(std::string path) {
    for (;;) {
        if (char* r = realpath(path.c_str(), nullptr)) {
            std::string out = r;
            std::free(r);
            return out;
        }
        size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || path == "/") return "/";
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

// What the file system's magic number says when no mount table can be read.
UINT driveTypeFromMagic(const std::string& path) {
    struct statfs st{};
    if (statfs(path.c_str(), &st) != 0) return DRIVE_NO_ROOT_DIR;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0x6969ul:     // NFS
    case 0x517Bul:     // SMB
    case 0xFF534D42ul: // CIFS
    case 0xFE534D42ul: // SMB2
    case 0x73757245ul: // Coda
    case 0x5346414Ful: // AFS
    case 0x00C36400ul: // Ceph
    case 0x564Cul:     // NCP
        return DRIVE_REMOTE;
    default:
        return DRIVE_FIXED;
    }
}

} // namespace

namespace skv::platform {

UINT driveTypeInMountTable(const char* mountTable, const char* path) {
    if (!mountTable || !path) return DRIVE_UNKNOWN;
    const std::string p = path;
    std::istringstream lines{std::string(mountTable)};
    std::string line, best, bestType;
    bool found = false;
    while (std::getline(lines, line)) {
        // id parent major:minor root mountpoint options [optional...] - type source superoptions
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, field;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        while (fields >> field && field != "-") {
        }
        std::string type;
        if (field != "-" || !(fields >> type)) continue;
        mountPoint = unescapeMountField(mountPoint);
        // The longest mount point above the path holds it; a later mount on the same point
        // covers an earlier one.
        if (under(p, mountPoint) && (!found || mountPoint.size() >= best.size())) {
            best = mountPoint;
            bestType = type;
            found = true;
        }
    }
    if (!found) return DRIVE_UNKNOWN;
    return isRemoteType(bestType) ? DRIVE_REMOTE : DRIVE_FIXED;
}

} // namespace skv::platform

extern "C" {

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart) {
    if (filePart) *filePart = nullptr;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string full = absoluteForm(name);
    if (full.empty()) {
        skv::platform::kernel::failWithErrno(errno);
        return 0;
    }
    if (!buffer || size <= full.size()) return static_cast<DWORD>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart && full.back() != '/') *filePart = buffer + full.find_last_of('/') + 1;
    return static_cast<DWORD>(full.size());
}

UINT GetDriveTypeA(LPCSTR rootPathName) {
    std::string path = rootPathName && *rootPathName ? absoluteForm(rootPathName)
                                                     : currentDirectory();
    if (path.empty()) return DRIVE_NO_ROOT_DIR;
    std::string resolved = resolveExisting(path);
    std::ifstream in("/proc/self/mountinfo");
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        UINT type = skv::platform::driveTypeInMountTable(text.str().c_str(), resolved.c_str());
        if (type != DRIVE_UNKNOWN) return type;
    }
    return driveTypeFromMagic(resolved);
}

} // extern "C"
