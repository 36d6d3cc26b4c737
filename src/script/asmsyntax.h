// The lexical side of script assembly, shared by the assembler and the disassembler: splitting
// a line into labels, a word and its arguments, numbers, and quoted texts with their escapes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skv {

struct AsmLine {
    std::vector<std::string> labels; // "name:" in front
    std::string word;                // instruction or directive; empty for a blank line
    std::vector<std::string> args;
    std::vector<bool> quoted; // per argument: written as "..." (escapes resolved)
};

// False with a message for an unterminated text or a bad escape.
bool splitAsmLine(std::string_view line, AsmLine* out, std::string* message);
// Decimal, or hexadecimal with 0x, with an optional sign.
bool parseNumber(std::string_view s, int64_t* out);
bool isIdentifier(std::string_view s);
// The escape after a backslash at text[i] (\n \r \t \\ \" \' \xHH), appended to `out`; i ends
// after it. False with a message for an unknown escape.
bool readEscape(std::string_view text, size_t& i, std::string* out, std::string* message);
// A text as a quoted assembly argument: \" \\ \n \r \t and \xHH for other control bytes and
// bytes from 0x7F.
std::string quoteText(std::string_view text);

} // namespace skv
