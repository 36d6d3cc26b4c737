// What a client asks qmsd for, parsed from the bytes it sent. Nothing here touches a socket or the
// file system, so every rule can be tested on its own.
//
// Native request record (256 bytes, little-endian):
//
// | offset | size       | content                                   |
// |--------|------------|-------------------------------------------|
// | 0      | 2          | int16 request code 100                    |
// | 2      | 4          | int32 start offset in the movie stream    |
// | 6      | up to 250  | the movie's path, NUL-terminated          |
//
// HTTP request line: "GET /x<path>?<offset> HTTP/1.0", or the form a proxy receives,
// "GET http://<host>/x<path>?<offset> HTTP/1.0".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qmsd {

// Replies both protocols share (the native reply's length word; HTTP maps them to statuses).
enum Reply : int32_t {
    kBadRequest = -400,
    kAccessDenied = -403,
    kNotFound = -404,
    kNotSupported = -501,
    kBusy = -502,
};

inline constexpr size_t kNativeRecordSize = 256;
inline constexpr int16_t kNativeRequestCode = 100;
inline constexpr size_t kMaxPathBytes = 250;

struct MovieRequest {
    int32_t offset = 0;
    std::string path; // as the client sent it
};

// 0, or kBadRequest for a wrong request code, a negative offset or a path without its NUL.
int32_t parseNativeRequest(const uint8_t* record, size_t size, MovieRequest* out);

struct HttpRequestLine {
    std::string method;
    bool proxyForm = false;
    std::string host; // the proxy form's host (and port), as sent
    MovieRequest movie;
};

// 200 when the line asks for a movie; 400 when it is malformed (no version, a target outside
// /x, a bad offset); 501 for a method other than GET. A missing "?offset" means 0.
int parseHttpRequestLine(std::string_view line, HttpRequestLine* out);

// Checks a requested path and gives it relative to the served directory with '/' separators:
// 0, or kBadRequest for an empty path, an absolute path (a leading separator or a drive letter),
// a ".." component or a control character. Backslashes count as separators, since a client on
// another system may use them.
int32_t checkMoviePath(std::string_view path, std::string* relative);

} // namespace qmsd
