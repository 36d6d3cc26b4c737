// Counting and taking the last piece of a text by characters, words, items and lines, as the
// chunk expressions divide texts: words are runs of bytes other than white space (9-13, 32),
// items end at the item delimiter, lines at each of the bytes 10, 12 and 13.
#pragma once

#include <cstdint>
#include <string_view>

namespace skv {

int32_t countWords(std::string_view text);                 // 0 for a text without words
int32_t countItems(std::string_view text, char delimiter); // delimiters + 1
int32_t countLines(std::string_view text);                 // line breaks + 1

std::string_view lastChar(std::string_view text);
std::string_view lastWord(std::string_view text);
std::string_view lastItem(std::string_view text, char delimiter);
std::string_view lastLine(std::string_view text);

} // namespace skv
