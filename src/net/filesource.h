// A movie stream read from a local file: the file:// scheme, or a URL without a scheme.
#pragma once

#include <atomic>
#include <string>

#include "net/source.h"
#include "platform/win32.h"

namespace skv {

class FileSource final : public Source {
public:
    FileSource(const char* url, std::string path);
    ~FileSource() override;

    int32_t contentLength() override { return length_.load(); }
    // Opens the file for shared reading and seeks to `offset`; -4 when that fails (a file too
    // large to be a movie stream fails too).
    int32_t request(int32_t offset) override;
    void close() override;
    // What the file read delivered: 0 at the end or on failure.
    int32_t read(void* buffer, int32_t n) override;

    const std::string& path() const { return path_; }

private:
    const std::string path_;
    std::atomic<HANDLE> file_{nullptr};
    std::atomic<int32_t> length_{0};
};

} // namespace skv
