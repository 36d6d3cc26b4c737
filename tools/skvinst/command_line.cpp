#include "command_line.h"

#include <algorithm>

namespace skvinst {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '-' || c == '/' || c == '\\';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return upper(x) == upper(y); });
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < commandLine.size()) {
        while (i < commandLine.size() && isSeparator(commandLine[i]))
            ++i;
        const size_t start = i;
        while (i < commandLine.size() && !isSeparator(commandLine[i]))
            ++i;
        if (i > start) words.emplace_back(commandLine.substr(start, i - start));
    }
    return words;
}

bool showsLicense(std::string_view commandLine) {
    for (const std::string& word : splitCommandLine(commandLine))
        if (equalsIgnoringCase(word, "NOEULA")) return false;
    return true;
}

} // namespace skvinst
