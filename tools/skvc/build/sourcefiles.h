// The files a movie source is made of, found by their names relative to the source directory.
// The builder reads through this so that tests and the fuzzer can hand it sources held in memory.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace skvc {

class SourceFiles {
public:
    virtual ~SourceFiles() = default;
    // The bytes of `name`; false with a reason when it cannot be read. Names that are absolute
    // or climb out of the source with ".." are refused.
    virtual bool read(const std::string& name, std::vector<uint8_t>* out,
                      std::string* error) const = 0;
    // Whether the name stays inside the source: relative, no "..", no empty name.
    static bool isInside(const std::string& name);
};

// Files of a directory on disk.
class DiskSource : public SourceFiles {
public:
    explicit DiskSource(std::string dir) : dir_(std::move(dir)) {}
    bool read(const std::string& name, std::vector<uint8_t>* out,
              std::string* error) const override;
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

// Files held in memory.
class MemorySource : public SourceFiles {
public:
    void add(const std::string& name, std::vector<uint8_t> bytes) {
        files_[name] = std::move(bytes);
    }
    void add(const std::string& name, const std::string& text) {
        files_[name] = std::vector<uint8_t>(text.begin(), text.end());
    }
    bool read(const std::string& name, std::vector<uint8_t>* out,
              std::string* error) const override;

private:
    std::map<std::string, std::vector<uint8_t>> files_;
};

} // namespace skvc
