// The licence agreement as the agreement dialog shows it. license.txt is read as text a piece at a
// time: a piece is at most kLicensePieceChars characters of one line (a longer line comes in
// several pieces), and at most kLicenseMaxReads pieces are read. Each piece loses its line feed
// and is shown as a line of its own, ended by CR LF as the edit control wants. Everything fits in
// a buffer of kLicenseBufferSize bytes with its terminating NUL; the first piece that would not
// fit ends the text, so the agreement is never shown with a gap inside.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace skvinst {

inline constexpr int kLicensePieceChars = 79;
inline constexpr int kLicenseMaxReads = 1000;
inline constexpr size_t kLicenseBufferSize = 10000;

class LicenseText {
public:
    // Appends one piece as read (with or without its line feed) followed by CR LF; false, and
    // nothing appended, when it would not fit.
    bool add(std::string_view piece);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// Reads the agreement from a file opened as text.
std::string readLicense(std::FILE* file);

} // namespace skvinst
