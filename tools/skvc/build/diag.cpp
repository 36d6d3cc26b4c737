#include "diag.h"

namespace skvc {

std::string BuildError::text() const {
    std::string s;
    s.append(place_.file.empty() ? "(source)" : place_.file);
    if (place_.line > 0) {
        s.push_back(':');
        s.append(std::to_string(place_.line));
    }
    s.append(": ");
    if (!place_.field.empty()) {
        s.append(place_.field);
        s.append(": ");
    }
    s.append(what());
    return s;
}

} // namespace skvc
