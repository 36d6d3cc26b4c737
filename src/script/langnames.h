// The words of script source: its keywords, and the names it gives the numbered properties
// (getEntity and setEntity) of the movie, the system, sprites and cast members.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skv {

// Words that cannot name a variable or a handler unless quoted ('end').
bool langIsKeyword(std::string_view word);
// Whether the name can be written bare: an identifier that is no keyword.
bool langIsPlainName(std::string_view name);
// The name as source writes it: bare, or in single quotes with the text escapes.
std::string langNameText(std::string_view name);

// A numbered property by its source name: `the locH of sprite 3` is category 6, number 13.
// Categories: 0 the host (no object), 6 sprites, 7 the system (no object), 9 cast members.
struct LangEntity {
    const char* name;
    int32_t category;
    int32_t number;
};
// Null when the name is none of the category's.
const LangEntity* langEntityNamed(std::string_view name, int32_t category);
// Null when the property has no name of its own.
const LangEntity* langEntityOf(int32_t category, int32_t number);
// Every named numbered property, for the reference and the tests.
const LangEntity* langEntities(int32_t* count);

// The four chunk kinds, smallest first, as the bounds of getChunk are ordered.
inline constexpr const char* kLangChunkWords[4] = {"char", "word", "item", "line"};
inline constexpr const char* kLangChunkPlurals[4] = {"chars", "words", "items", "lines"};

} // namespace skv
