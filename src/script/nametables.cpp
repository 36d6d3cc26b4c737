#include "script/nametables.h"

namespace skv {

void NameTable::assign(std::vector<std::string> names) {
    names_ = std::move(names);
    map_.clear();
    for (size_t i = 0; i < names_.size(); ++i)
        map_.emplace(names_[i], static_cast<int32_t>(i) + 1); // keeps the first
}

int32_t NameTable::nameIdOf(std::string_view text) const {
    auto it = map_.find(text);
    return it == map_.end() ? -1 : it->second - 1;
}

const char* NameTable::nameOf(int32_t nameId) const {
    if (nameId < 0 || nameId >= count()) return nullptr;
    return names_[static_cast<size_t>(nameId)].c_str();
}

void CastNameTable::assign(std::vector<std::pair<std::string, int32_t>> entries) {
    entries_ = std::move(entries);
    map_.clear();
    for (const auto& [name, number] : entries_)
        map_[name] = number;
}

int32_t CastNameTable::castNumberOf(std::string_view name) const {
    auto it = map_.find(name);
    return it == map_.end() ? 0 : it->second;
}

int32_t CastNameTable::memberNumberOf(std::string_view name) const {
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return castNumberOf(upper);
}

const char* CastNameTable::nameOf(int32_t castNumber) const {
    for (const auto& [name, number] : entries_)
        if (number == castNumber) return name.c_str();
    return nullptr;
}

} // namespace skv
