#include "diag.h"

namespace skvc {

namespace {

// "FILE:LINE: " and "FIELD: " of a place; the line and the field only when known.
std::string whereText(const SourcePlace& place) {
    std::string s = place.file.empty() ? "(source)" : place.file;
    if (place.line > 0) {
        s.push_back(':');
        s.append(std::to_string(place.line));
        if (place.column > 0) {
            s.push_back(':');
            s.append(std::to_string(place.column));
        }
    }
    s.append(": ");
    return s;
}
std::string fieldText(const SourcePlace& place) {
    std::string s;
    if (!place.field.empty()) {
        s.append(place.field);
        s.append(": ");
    }
    return s;
}

} // namespace

std::string BuildError::text() const {
    return whereText(place_) + fieldText(place_) + what();
}

std::string BuildWarning::text() const {
    return whereText(place) + "warning: " + fieldText(place) + message;
}

} // namespace skvc
