// CreateFileA and the calls on file handles.
//
// Share modes are enforced twice. Between the handles of this process a table of open files
// applies the Windows rules exactly (each handle's access must be allowed by every other handle's
// share mode, and the other way round). Between processes flock() stands in: a handle opened with
// share mode 0 holds an exclusive lock, any other handle a shared one; flock() locks conflict
// between separate open() calls even within one process, so the table and the lock agree.
#include "files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "errors.h"
#include "handles.h"
#include "io.h"

namespace skv::platform::kernel {

namespace {

struct ShareEntry {
    const FileObj* file;
    DWORD access;
    DWORD share;
    bool deleting;
};

struct ShareTable {
    std::mutex mu;
    std::map<std::pair<dev_t, ino_t>, std::vector<ShareEntry>> open;
};

ShareTable& shareTable() {
    static ShareTable* t = new ShareTable; // never destroyed: handles may close during exit
    return *t;
}

bool shareConflict(DWORD access, DWORD share, bool deleting, const ShareEntry& e) {
    if ((access & GENERIC_READ) && !(e.share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(e.share & FILE_SHARE_WRITE)) return true;
    if (deleting && !(e.share & FILE_SHARE_DELETE)) return true;
    if ((e.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((e.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    if (e.deleting && !(share & FILE_SHARE_DELETE)) return true;
    return false;
}

std::string absolute(const char* name) {
    if (name[0] == '/') return name;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return name;
    std::string s(cwd);
    if (s.back() != '/') s += '/';
    return s + name;
}

std::shared_ptr<FileObj> lookupFile(HANDLE h) {
    return lookupHandleAs<FileObj>(h, KObject::Kind::File);
}

} // namespace

FileObj::~FileObj() {
    if (shareListed) {
        ShareTable& t = shareTable();
        std::lock_guard<std::mutex> g(t.mu);
        auto it = t.open.find({dev, ino});
        if (it != t.open.end()) {
            auto& v = it->second;
            for (size_t i = 0; i < v.size(); ++i) {
                if (v[i].file == this) {
                    v.erase(v.begin() + static_cast<ptrdiff_t>(i));
                    break;
                }
            }
            if (v.empty()) t.open.erase(it);
        }
    }
    if (deleteOnClose) {
        // Only if the name still refers to this file: it may have been replaced meanwhile.
        struct stat st;
        if (stat(absolutePath.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino)
            unlink(absolutePath.c_str());
    }
    if (fd >= 0) close(fd);
}

bool openWithoutDeleteSharing(dev_t dev, ino_t ino) {
    ShareTable& t = shareTable();
    std::lock_guard<std::mutex> g(t.mu);
    auto it = t.open.find({dev, ino});
    if (it == t.open.end()) return false;
    for (const ShareEntry& e : it->second) {
        if (!(e.share & FILE_SHARE_DELETE)) return true;
    }
    return false;
}

std::shared_ptr<FileObj> openFile(const char* name, DWORD access, DWORD share, DWORD disposition,
                                  DWORD flags) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    const bool creates =
        disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    if (!creates && disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int mode = O_RDONLY;
    if ((access & GENERIC_WRITE) || truncates)
        mode = (access & GENERIC_READ) || !(access & GENERIC_WRITE) ? O_RDWR : O_WRONLY;
    const int oflags = mode | O_CLOEXEC | O_NOCTTY;
    const mode_t perms = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int fd = -1;
    bool created = false;
    for (int attempt = 0; fd < 0; ++attempt) {
        if (creates) {
            fd = open(name, oflags | O_CREAT | O_EXCL, perms);
            if (fd >= 0) {
                created = true;
                break;
            }
            if (errno != EEXIST || disposition == CREATE_NEW || attempt > 8) {
                SetLastError(errorFromPathErrno(errno, name));
                return nullptr;
            }
        }
        fd = open(name, oflags);
        // A file deleted between the two opens is simply created on the next round.
        if (fd < 0 && (errno != ENOENT || !creates || attempt > 8)) {
            SetLastError(errorFromPathErrno(errno, name));
            return nullptr;
        }
    }

    auto file = std::make_shared<FileObj>();
    file->fd = fd;
    file->access = access;
    file->share = share;
    file->deleteOnClose = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    auto giveUp = [&](DWORD error) {
        if (created) unlink(name);
        file->deleteOnClose = false;
        SetLastError(error);
        return nullptr;
    };

    struct stat st;
    if (fstat(fd, &st) != 0) return giveUp(errorFromErrno(errno));
    if (S_ISDIR(st.st_mode)) return giveUp(ERROR_ACCESS_DENIED);
    file->dev = st.st_dev;
    file->ino = st.st_ino;
    if (file->deleteOnClose) file->absolutePath = absolute(name);

    {
        ShareTable& t = shareTable();
        std::lock_guard<std::mutex> g(t.mu);
        auto& entries = t.open[{st.st_dev, st.st_ino}];
        bool conflict = false;
        for (const ShareEntry& e : entries)
            conflict = conflict || shareConflict(access, share, file->deleteOnClose, e);
        if (!conflict && flock(fd, (share == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
            conflict = true;
        if (conflict) {
            if (entries.empty()) t.open.erase({st.st_dev, st.st_ino});
            created = false; // someone else has it open: it is not ours to remove
            return giveUp(ERROR_SHARING_VIOLATION);
        }
        entries.push_back({file.get(), access, share, file->deleteOnClose});
        file->shareListed = true;
    }

    if (truncates && !created && ftruncate(fd, 0) != 0) return giveUp(errorFromErrno(errno));
    SetLastError(!created && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : NO_ERROR);
    return file;
}

BOOL fileRead(KObject& obj, void* buffer, DWORD toRead, DWORD* read) {
    auto& f = static_cast<FileObj&>(obj);
    if (!(f.access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < toRead) {
        ssize_t r = ::read(f.fd, out + done, toRead - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (read) *read = static_cast<DWORD>(done);
            SetLastError(errno == EIO ? ERROR_READ_FAULT : errorFromErrno(errno));
            return FALSE;
        }
        if (r == 0) break; // end of file: success with what there was
        done += static_cast<size_t>(r);
    }
    if (read) *read = static_cast<DWORD>(done);
    return TRUE;
}

BOOL fileWrite(KObject& obj, const void* buffer, DWORD toWrite, DWORD* written) {
    auto& f = static_cast<FileObj&>(obj);
    if (!(f.access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < toWrite) {
        ssize_t r = ::write(f.fd, in + done, toWrite - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (written) *written = static_cast<DWORD>(done);
            SetLastError(errno == EIO ? ERROR_WRITE_FAULT : errorFromErrno(errno));
            return FALSE;
        }
        done += static_cast<size_t>(r);
    }
    if (written) *written = static_cast<DWORD>(done);
    return TRUE;
}

} // namespace skv::platform::kernel

using namespace skv::platform::kernel;

extern "C" {

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void* securityAttributes,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile) {
    std::shared_ptr<FileObj> f = openFile(name, access, shareMode, disposition, flagsAndAttributes);
    if (!f) return INVALID_HANDLE_VALUE;
    DWORD error = GetLastError(); // ERROR_ALREADY_EXISTS survives the handle's creation
    HANDLE h = insertHandle(std::move(f));
    if (!h) return INVALID_HANDLE_VALUE;
    SetLastError(error);
    return h;
}

DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method) {
    std::shared_ptr<FileObj> f = lookupFile(h);
    if (!f) return INVALID_SET_FILE_POINTER;
    int64_t move = distanceHigh
                       ? static_cast<int64_t>(
                             (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                             static_cast<uint32_t>(distance))
                       : static_cast<int64_t>(distance);
    int64_t base;
    switch (method) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = lseek(f->fd, 0, SEEK_CUR);
        break;
    case FILE_END: {
        struct stat st;
        base = fstat(f->fd, &st) == 0 ? st.st_size : -1;
        break;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        failWithErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if ((move < 0 && base + move < 0)) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + move;
    if (!distanceHigh && target > int64_t{0xFFFFFFFE}) {
        SetLastError(ERROR_INVALID_PARAMETER); // does not fit the 32-bit result
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(f->fd, target, SEEK_SET) < 0) {
        failWithErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    SetLastError(NO_ERROR); // lets callers tell a position of 0xFFFFFFFF from a failure
    return static_cast<DWORD>(static_cast<uint64_t>(target) & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE h) {
    std::shared_ptr<FileObj> f = lookupFile(h);
    if (!f) return FALSE;
    if (!(f->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t at = lseek(f->fd, 0, SEEK_CUR);
    if (at < 0 || ftruncate(f->fd, at) != 0) return failWithErrno(errno);
    return TRUE;
}

DWORD GetFileSize(HANDLE h, DWORD* sizeHigh) {
    std::shared_ptr<FileObj> f = lookupFile(h);
    if (!f) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        failWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL FlushFileBuffers(HANDLE h) {
    std::shared_ptr<FileObj> f = lookupFile(h);
    if (!f) return FALSE;
    if (!(f->access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (fsync(f->fd) != 0 && errno != EINVAL) return failWithErrno(errno);
    return TRUE;
}

} // extern "C"
