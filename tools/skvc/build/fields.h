// Typed access to one table of the manifest. Every getter checks the value's type and range and
// names the file, line and field when it is wrong; finish() refuses fields nobody asked for, so
// that a misspelt key is an error rather than silently ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "diag.h"

namespace skvc {

class Fields {
public:
    // `path` names the table in messages ("member[3]", "movie"; see tablePath).
    Fields(const toml::table& table, std::string file, std::string path);

    const std::string& path() const { return path_; }
    const std::string& file() const { return file_; }
    bool has(const char* key) const;

    std::optional<int64_t> integer(const char* key, int64_t min, int64_t max);
    int64_t integer(const char* key, int64_t fallback, int64_t min, int64_t max) {
        return integer(key, min, max).value_or(fallback);
    }
    std::optional<std::string> string(const char* key);
    bool boolean(const char* key, bool fallback);
    // A two-number array such as [x, y].
    std::optional<std::pair<int64_t, int64_t>> pair(const char* key, int64_t min, int64_t max);
    // An array of integers.
    std::optional<std::vector<int64_t>> integers(const char* key, int64_t min, int64_t max,
                                                 size_t maxCount);
    const toml::array* array(const char* key);
    const toml::table* table(const char* key);
    // The raw node, marked as used; null when absent.
    const toml::node* node(const char* key);

    // Errors at a field (its line when present, else the table's).
    [[noreturn]] void fail(const char* key, const std::string& message) const;
    [[noreturn]] void failTable(const std::string& message) const;
    SourcePlace place(const char* key) const;
    // Refuses every key no getter asked for.
    void finish() const;

private:
    const toml::table& table_;
    std::string file_;
    std::string path_;
    std::set<std::string> used_;
};

// The line a node starts on (0 when unknown).
int lineOf(const toml::node& node);

// How messages name the index-th (from 0) of the [[name]] tables: counted from 1, as the manifest
// counts members, frames and sprites, so the first [[member]] is "member[1]".
inline std::string tablePath(const std::string& name, int index) {
    return name + "[" + std::to_string(index + 1) + "]";
}

} // namespace skvc
