// One line per request on standard output, whole lines only even with many connections at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace qmsd {

struct RequestRecord {
    std::string peer;          // "a.b.c.d:port"
    const char* protocol = ""; // "native", "http" or "http-proxy"
    std::string path;          // as the client sent it; empty when the request could not be read
    int32_t offset = 0;
    std::string reply = "-"; // "length=N" (N < 0: an error reply), "status=S", or "-": none
    int64_t sent = 0;        // bytes of movie data sent
    const char* note = "";   // "dropped", "ignored", "client gone", ...
};

class Logger {
public:
    explicit Logger(FILE* out, bool quiet) : out_(out), quiet_(quiet) {}

    void request(const RequestRecord& r);
    // A line about the server itself (start, stop, failures that are not a request's).
    void info(const std::string& text);

    // The record as it appears in the log, without the time stamp.
    static std::string format(const RequestRecord& r);

private:
    void line(const std::string& text);

    std::mutex mu_;
    FILE* out_;
    bool quiet_;
};

} // namespace qmsd
