// The served directory: finds a requested movie inside it and opens it for reading.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/win32.h"

namespace qmsd {

// An open movie file; closes itself.
class MovieFile {
public:
    MovieFile() = default;
    ~MovieFile();
    MovieFile(MovieFile&& other) noexcept;
    MovieFile& operator=(MovieFile&& other) noexcept;
    MovieFile(const MovieFile&) = delete;
    MovieFile& operator=(const MovieFile&) = delete;

    int32_t length() const { return length_; }
    bool seek(int32_t offset);
    // Bytes read, 0 at the end, -1 on failure.
    int32_t read(void* buffer, int32_t n);

private:
    friend class MovieLibrary;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    int32_t length_ = 0;
};

class MovieLibrary {
public:
    // False (with a message saying what to do) when `directory` is not a readable directory.
    bool open(const std::string& directory, std::string* error);

    // 0 and the open file, or a reply code: kBadRequest for a path that tries to leave the
    // directory by its form, kAccessDenied for one that leaves it through a symbolic link,
    // kNotFound for a missing file or a directory, kNotSupported for a file too long for the
    // protocol's 32-bit length.
    int32_t find(const std::string& requestedPath, MovieFile* out) const;

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

} // namespace qmsd
