// The movie's name table (every name the scripts use, indexed by nameId) and its cast member
// names. Both keep their list in stream order beside an exact, case-sensitive map.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace skv {

class NameTable {
public:
    void assign(std::vector<std::string> names);
    void clear() { assign({}); }

    int32_t count() const { return static_cast<int32_t>(names_.size()); }
    // -1 when absent. A name listed twice answers with its first nameId.
    int32_t nameIdOf(std::string_view text) const;
    // Null when the id is not below the count.
    const char* nameOf(int32_t nameId) const;
    const std::vector<std::string>& names() const { return names_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::vector<std::string> names_;
    std::unordered_map<std::string, int32_t, Hash, std::equal_to<>> map_; // text -> nameId + 1
};

class CastNameTable {
public:
    void assign(std::vector<std::pair<std::string, int32_t>> entries);
    void clear() { assign({}); }

    // 0 when absent. A name listed twice answers with its last number.
    int32_t castNumberOf(std::string_view name) const;
    // A member a script gives by name: the table holds member names in upper case, so the
    // letters a-z are raised before the (exact) lookup.
    int32_t memberNumberOf(std::string_view name) const;
    // The name of cast member n, or null.
    const char* nameOf(int32_t castNumber) const;
    const std::vector<std::pair<std::string, int32_t>>& entries() const { return entries_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::vector<std::pair<std::string, int32_t>> entries_;
    std::unordered_map<std::string, int32_t, Hash, std::equal_to<>> map_;
};

} // namespace skv
