#include "request.h"

#include <algorithm>
#include <cstring>

namespace qmsd {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != prefix[i]) return false;
    }
    return true;
}

// A decimal offset of 1 to 10 digits that fits an int32; false otherwise.
bool parseOffset(std::string_view text, int32_t* out) {
    if (text.empty() || text.size() > 10) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

} // namespace

int32_t parseNativeRequest(const uint8_t* record, size_t size, MovieRequest* out) {
    // What could be read is kept even when the request is refused, for the log.
    out->offset = 0;
    out->path.clear();
    if (size >= 6) {
        uint32_t raw = uint32_t(record[2]) | uint32_t(record[3]) << 8 | uint32_t(record[4]) << 16 |
                       uint32_t(record[5]) << 24;
        out->offset = static_cast<int32_t>(raw);
        const char* path = reinterpret_cast<const char*>(record + 6);
        size_t room = std::min(size, kNativeRecordSize) - 6;
        const void* nul = std::memchr(path, '\0', room);
        out->path.assign(path, nul ? static_cast<const char*>(nul) - path : room);
        if (size < kNativeRecordSize || !nul) return kBadRequest;
    } else {
        return kBadRequest;
    }
    int16_t code = static_cast<int16_t>(record[0] | (record[1] << 8));
    if (code != kNativeRequestCode || out->offset < 0) return kBadRequest;
    return 0;
}

int parseHttpRequestLine(std::string_view line, HttpRequestLine* out) {
    size_t firstSpace = line.find(' ');
    size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) return 400;
    std::string_view method = line.substr(0, firstSpace);
    std::string_view version = line.substr(lastSpace + 1);
    // The client sends its path unencoded, so the target may itself hold spaces: it is
    // everything between the method and the version.
    std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    if (method.empty() || !version.starts_with("HTTP/")) return 400;
    out->method.assign(method);
    if (method != "GET") return 501;

    out->proxyForm = false;
    out->host.clear();
    if (startsWithNoCase(target, "http://")) {
        target.remove_prefix(7);
        size_t slash = target.find('/');
        if (slash == 0 || slash == std::string_view::npos) return 400;
        out->proxyForm = true;
        out->host.assign(target.substr(0, slash));
        target.remove_prefix(slash);
    }
    if (!target.starts_with("/x")) return 400;
    target.remove_prefix(2);
    int32_t offset = 0;
    size_t question = target.find('?');
    if (question != std::string_view::npos) {
        if (!parseOffset(target.substr(question + 1), &offset)) return 400;
        target = target.substr(0, question);
    }
    if (target.size() > kMaxPathBytes) return 400;
    out->movie.offset = offset;
    out->movie.path.assign(target);
    return 200;
}

int32_t checkMoviePath(std::string_view path, std::string* relative) {
    if (path.empty()) return kBadRequest;
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return kBadRequest;
    if (path[0] == '/' || path[0] == '\\') return kBadRequest;
    bool driveLetter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    if (path.size() >= 2 && driveLetter && path[1] == ':') return kBadRequest;
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "..") return kBadRequest;
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out.append(part);
        }
        start = end + 1;
    }
    if (out.empty()) return kBadRequest;
    *relative = std::move(out);
    return 0;
}

} // namespace qmsd
