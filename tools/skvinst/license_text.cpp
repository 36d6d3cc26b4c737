#include "license_text.h"

#include <cstring>

namespace skvinst {

bool LicenseText::add(std::string_view piece) {
    if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
    // The text, the piece, CR LF and the NUL must all be inside the buffer.
    if (text_.size() + piece.size() + 2 + 1 > kLicenseBufferSize) return false;
    text_.append(piece);
    text_.append("\r\n");
    return true;
}

std::string readLicense(std::FILE* file) {
    LicenseText text;
    char piece[kLicensePieceChars + 1];
    for (int reads = 0; reads < kLicenseMaxReads; ++reads) {
        if (!std::fgets(piece, sizeof piece, file)) break;
        // A NUL inside a line ends the piece there, as it would for any C string.
        if (!text.add(std::string_view(piece, std::strlen(piece)))) break;
    }
    return text.text();
}

} // namespace skvinst
