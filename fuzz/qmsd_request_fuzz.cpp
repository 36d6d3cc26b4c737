// Feeds arbitrary bytes to qmsd's request parsers: as a native request record, as an HTTP request
// line, and as a requested path. A path the checker accepts must never lead out of the served
// directory.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "request.h"

namespace {

void checkConfined(const std::string& relative) {
    // Accepted paths are relative, use '/' only and hold no "..", "." or empty component.
    if (relative.empty() || relative.front() == '/' || relative.back() == '/') std::abort();
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        std::string_view part(relative.data() + start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find('\\') != part.npos)
            std::abort();
        start = end + 1;
    }
}

void tryPath(std::string_view path) {
    std::string relative;
    if (qmsd::checkMoviePath(path, &relative) == 0) checkConfined(relative);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qmsd::MovieRequest native;
    if (qmsd::parseNativeRequest(data, size, &native) == 0) {
        if (native.offset < 0 || native.path.size() >= 250) std::abort();
        tryPath(native.path);
    }
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view line = text.substr(0, text.find('\n'));
    qmsd::HttpRequestLine http;
    if (qmsd::parseHttpRequestLine(line, &http) == 200) {
        if (http.movie.offset < 0) std::abort();
        tryPath(http.movie.path);
    }
    tryPath(text);
    return 0;
}
