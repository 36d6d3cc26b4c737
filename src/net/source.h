// Where a movie stream's bytes come from: a streaming server (the qmsp scheme, native request with
// an HTTP/1.0 fallback) or a local movie file. One source per connection, used only by the network
// thread except close(), which the controlling thread may call to cut a transfer short.
#pragma once

#include <cstdint>

namespace skv {

class Source {
public:
    static constexpr int kMaxUrl = 255;

    virtual ~Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Slot 0: closes, then releases the source.
    virtual void destroy() {
        close();
        delete this;
    }
    // Slot 1: total length of the movie stream from the last successful request (a file: its
    // size).
    virtual int32_t contentLength() = 0;
    // Slot 2: connects (or opens the file) and positions the stream at `offset`. 0 or a negative
    // error code: -4 file, -1 short reply, -401/-403/-404/-500 HTTP, -600..-605 sockets, or the
    // server's own negative length word.
    virtual int32_t request(int32_t offset) = 0;
    // Slot 3: closes the connection or file; a later request opens a new one. Safe to call from
    // another thread while read() is blocked: the read then returns 0 or -1.
    virtual void close() = 0;
    // Slot 4: reads exactly n bytes unless the peer closes or fails; returns what arrived, 0 at
    // the end or -1 on failure.
    virtual int32_t read(void* buffer, int32_t n) = 0;

    const char* url() const { return url_; }

protected:
    explicit Source(const char* url);

private:
    char url_[kMaxUrl + 1] = {};
};

// Chooses the source a URL names (no connection is made yet); null when a file URL is refused.
Source* openSource(const char* url);

} // namespace skv
