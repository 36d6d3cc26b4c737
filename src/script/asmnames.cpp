#include "script/asmnames.h"

#include <algorithm>
#include <cctype>

#include "script/builtins.h"
#include "script/opcodes.h"
#include "script/properties.h"

namespace skv {

AsmOperandName asmOperandName(uint8_t x) {
    if (x >= 0x40) return AsmOperandName::kNone;
    switch (kOpcodes[op1(x)].operand) {
    case OperandKind::kNameId:
        return AsmOperandName::kNameId;
    case OperandKind::kProperty:
        return AsmOperandName::kProperty;
    case OperandKind::kCategory:
        return AsmOperandName::kCategory;
    case OperandKind::kInteger:
        return AsmOperandName::kPropertyNumber;
    default:
        return AsmOperandName::kNone;
    }
}

bool asmCategoryOf(std::string_view name, int32_t* category) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number < 0 && name == names[i].name) {
            *category = names[i].category;
            return true;
        }
    return false;
}

bool asmPropertyNumberOf(std::string_view name, int32_t* number) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number >= 0 && name == names[i].name) {
            *number = names[i].number;
            return true;
        }
    return false;
}

bool asmIsProperty(std::string_view name) {
    return isNamedProperty(name);
}

const char* asmCategoryName(int32_t category) {
    int32_t n = 0;
    const EntityName* names = entityNames(&n);
    for (int32_t i = 0; i < n; ++i)
        if (names[i].number < 0 && names[i].category == category) return names[i].name;
    return nullptr;
}

const std::vector<std::string_view>& asmInterpreterNames() {
    static const std::vector<std::string_view> names = {
        "return",  "abort",    "pause",  "continue", "clearGlobals", "delay",
        "ilk",     "integerp", "floatp", "param",    "paramCount",   "result",
        "stringp", "symbolp",  "voidp",  "abs",      "put",          "exit",
    };
    return names;
}

bool asmIsCallable(std::string_view name) {
    const std::vector<std::string_view>& own = asmInterpreterNames();
    return isBuiltinName(name) || std::find(own.begin(), own.end(), name) != own.end();
}

const std::vector<std::string_view>& asmEventNames() {
    static const std::vector<std::string_view> names = {
        "startMovie", "stopMovie", "enterFrame", "exitFrame",
        "idle",       "timeout",   "mouseDown",  "mouseUp",
    };
    return names;
}

bool asmIsEvent(std::string_view name) {
    const std::vector<std::string_view>& events = asmEventNames();
    return std::find(events.begin(), events.end(), name) != events.end();
}

namespace {

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Edits from a to b: inserted, missing and changed letters and neighbours swapped, each once;
// a change of case is free. Gives up (limit + 1) once every path costs more than `limit`.
size_t editDistance(std::string_view a, std::string_view b, size_t limit) {
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > limit) return limit + 1;
    std::vector<std::vector<size_t>> d(n + 1, std::vector<size_t>(m + 1));
    for (size_t i = 0; i <= n; ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= m; ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= n; ++i) {
        size_t best = d[i][0];
        for (size_t j = 1; j <= m; ++j) {
            const size_t change = sameLetter(a[i - 1], b[j - 1]) ? 0 : 1;
            size_t v = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && sameLetter(a[i - 1], b[j - 2]) && sameLetter(a[i - 2], b[j - 1]))
                v = std::min(v, d[i - 2][j - 2] + 1);
            d[i][j] = v;
            best = std::min(best, v);
        }
        if (best > limit) return limit + 1;
    }
    return d[n][m];
}

} // namespace

std::string asmNearName(std::string_view name, const std::vector<std::string_view>& candidates) {
    std::string_view found;
    size_t foundDistance = 0;
    for (std::string_view c : candidates) {
        if (c == name) return "";
        const size_t limit = c.size() <= 5 ? 1 : 2;
        const size_t d = editDistance(name, c, limit);
        if (d <= limit && (found.empty() || d < foundDistance)) {
            found = c;
            foundDistance = d;
        }
    }
    return std::string(found);
}

std::string asmEventTypo(std::string_view handler) {
    const std::string event = asmNearName(handler, asmEventNames());
    if (event.empty()) return "";
    return std::string(handler) + " is not an event; did you mean " + event + "?";
}

} // namespace skv
