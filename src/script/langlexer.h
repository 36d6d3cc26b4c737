// Script source, one line at a time, as tokens: names, numbers, texts, symbols and operators.
// A "--" outside a text starts a comment that runs to the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/langast.h"

namespace skv {

struct LangToken {
    enum class Kind : uint8_t {
        kName,   // text; quoted when written in single quotes (then never a keyword)
        kInt,    // value (a leading '-' is the operator's, not the number's)
        kFloat,  // text as written
        kText,   // text, escapes resolved
        kSymbol, // #name: text the name
        kOp,     // text: ( ) [ ] , = <> < <= > >= + - * / & &&
        kEnd,    // the end of the line
    };
    Kind kind = Kind::kEnd;
    std::string text;
    int64_t value = 0;
    bool quoted = false;
    SrcPos pos;
    bool is(std::string_view word) const {
        return (kind == Kind::kName && !quoted) || kind == Kind::kOp ? text == word : false;
    }
};

struct LangError {
    SrcPos pos;
    std::string message;
};

// The tokens of one line, ending in kEnd. False with an error for a bad character, an unclosed
// text or a bad escape; the tokens up to it are kept.
bool langTokenize(std::string_view line, int lineNo, std::vector<LangToken>* out, LangError* error);

// A text as source writes it: in double quotes, with \" \\ \n \r \t and \xHH.
std::string langTextLiteral(std::string_view text);

} // namespace skv
