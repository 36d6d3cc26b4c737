#include "script/textcounts.h"

namespace skv {

namespace {

bool isWhite(char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

bool isLineBreak(char c) {
    return c == 10 || c == 12 || c == 13;
}

} // namespace

int32_t countWords(std::string_view text) {
    int32_t n = 0;
    bool inWord = false;
    for (char c : text) {
        if (isWhite(c)) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++n;
        }
    }
    return n;
}

int32_t countItems(std::string_view text, char delimiter) {
    int32_t n = 1;
    for (char c : text)
        n += c == delimiter;
    return n;
}

int32_t countLines(std::string_view text) {
    int32_t n = 1;
    for (char c : text)
        n += isLineBreak(c);
    return n;
}

std::string_view lastChar(std::string_view text) {
    return text.empty() ? text : text.substr(text.size() - 1);
}

std::string_view lastWord(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && isWhite(text[end - 1]))
        --end;
    size_t start = end;
    while (start > 0 && !isWhite(text[start - 1]))
        --start;
    return text.substr(start, end - start);
}

std::string_view lastItem(std::string_view text, char delimiter) {
    const size_t at = text.rfind(delimiter);
    return at == std::string_view::npos ? text : text.substr(at + 1);
}

std::string_view lastLine(std::string_view text) {
    size_t start = text.size();
    while (start > 0 && !isLineBreak(text[start - 1]))
        --start;
    return text.substr(start);
}

} // namespace skv
