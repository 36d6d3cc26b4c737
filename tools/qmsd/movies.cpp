#include "movies.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "request.h"

namespace fs = std::filesystem;

namespace qmsd {

MovieFile::~MovieFile() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

MovieFile::MovieFile(MovieFile&& other) noexcept
    : file_(std::exchange(other.file_, INVALID_HANDLE_VALUE)), length_(other.length_) {}

MovieFile& MovieFile::operator=(MovieFile&& other) noexcept {
    if (this != &other) {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        file_ = std::exchange(other.file_, INVALID_HANDLE_VALUE);
        length_ = other.length_;
    }
    return *this;
}

bool MovieFile::seek(int32_t offset) {
    return SetFilePointer(file_, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

int32_t MovieFile::read(void* buffer, int32_t n) {
    DWORD got = 0;
    if (!ReadFile(file_, buffer, static_cast<DWORD>(n), &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

bool MovieLibrary::open(const std::string& directory, std::string* error) {
    std::error_code ec;
    fs::path root = fs::canonical(directory, ec);
    if (ec || !fs::is_directory(root, ec)) {
        *error = "qmsd: '" + directory + "' is not a directory; name the directory that holds " +
                 "the .skm files to serve.";
        return false;
    }
    root_ = root;
    return true;
}

int32_t MovieLibrary::find(const std::string& requestedPath, MovieFile* out) const {
    std::string relative;
    if (int32_t bad = checkMoviePath(requestedPath, &relative)) return bad;
    std::error_code ec;
    fs::path real = fs::canonical(root_ / fs::path(relative), ec);
    if (ec) return kNotFound;
    // A symbolic link inside the directory may point anywhere; only what really lies inside it is
    // served.
    auto [rootEnd, realIt] = std::mismatch(root_.begin(), root_.end(), real.begin(), real.end());
    if (rootEnd != root_.end()) return kAccessDenied;
    if (!fs::is_regular_file(real, ec)) return kNotFound;
    HANDLE h = CreateFileA(real.string().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ACCESS_DENIED ? kAccessDenied : kNotFound;
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > INT32_MAX) {
        CloseHandle(h);
        return kNotSupported;
    }
    MovieFile f;
    f.file_ = h;
    f.length_ = static_cast<int32_t>(low);
    *out = std::move(f);
    return 0;
}

} // namespace qmsd
