#include "script/langnames.h"

#include <algorithm>
#include <array>

#include "script/asmsyntax.h"

namespace skv {

namespace {

// Sorted, for the binary search below.
constexpr std::array<std::string_view, 37> kKeywords = {
    "and",      "asm",    "call",     "case",   "char", "contains", "delete", "else",
    "end",      "exit",   "external", "global", "if",   "item",     "line",   "literal",
    "literals", "local",  "mod",      "next",   "not",  "on",       "or",     "property",
    "put",      "repeat", "return",   "set",    "skip", "sprite",   "starts", "the",
    "then",     "trace",  "version",  "when",   "word",
};

// clang-format off
constexpr LangEntity kEntities[] = {
    {"floatPrecision", 0, 0}, {"mouseDownHndl", 0, 1}, {"mouseUpHndl", 0, 2},
    {"keyDownHndl", 0, 3},    {"keyUpHndl", 0, 4},     {"timeOutHandler", 0, 5},
    {"timeShort", 0, 6},      {"timeAbbr", 0, 7},      {"timeLong", 0, 8},

    {"kind", 6, 1},       {"backColor", 6, 2},  {"bottom", 6, 3},    {"castNum", 6, 4},
    {"foreColor", 6, 7},  {"height", 6, 8},     {"ink", 6, 10},      {"left", 6, 11},
    {"lineSize", 6, 12},  {"locH", 6, 13},      {"locV", 6, 14},     {"puppet", 6, 18},
    {"right", 6, 19},     {"top", 6, 23},       {"visibility", 6, 25}, {"width", 6, 27},
    {"blend", 6, 28},     {"scriptNum", 6, 29}, {"loc", 6, 33},      {"member", 6, 35},

    {"beepOnClick", 7, 1},     {"buttonStyle", 7, 2},   {"centerStage", 7, 3},
    {"checkBoxAccess", 7, 4},  {"checkBoxType", 7, 5},  {"colorDepth", 7, 6},
    {"exitLock", 7, 8},        {"fixStageSize", 7, 9},  {"timeoutLapsed", 7, 19},
    {"selEnd", 7, 23},         {"selStart", 7, 24},     {"soundEnabled", 7, 25},
    {"soundLevel", 7, 26},     {"switchColorDepth", 7, 29}, {"timeoutLength", 7, 31},
    {"timeoutMouse", 7, 32},   {"timeoutPlay", 7, 33},  {"timer", 7, 34},

    {"name", 9, 1}, {"number", 9, 10},
};
// clang-format on

} // namespace

bool langIsKeyword(std::string_view word) {
    return std::binary_search(kKeywords.begin(), kKeywords.end(), word);
}

bool langIsPlainName(std::string_view name) {
    return isIdentifier(name) && !langIsKeyword(name);
}

std::string langNameText(std::string_view name) {
    if (langIsPlainName(name)) return std::string(name);
    std::string q = quoteText(name); // "..." with escapes; the quote inside is escaped as \"
    std::string out = "'";
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] == '\\' && q[i + 1] == '"') {
            out += '"';
            ++i;
        } else if (q[i] == '\'') {
            out += "\\'";
        } else {
            out += q[i];
        }
    }
    out += '\'';
    return out;
}

const LangEntity* langEntityNamed(std::string_view name, int32_t category) {
    for (const LangEntity& e : kEntities)
        if (e.category == category && name == e.name) return &e;
    return nullptr;
}

const LangEntity* langEntityOf(int32_t category, int32_t number) {
    for (const LangEntity& e : kEntities)
        if (e.category == category && e.number == number) return &e;
    return nullptr;
}

const LangEntity* langEntities(int32_t* count) {
    *count = int32_t(sizeof kEntities / sizeof kEntities[0]);
    return kEntities;
}

} // namespace skv
