// Small blocking-socket helpers: whole buffers out, whole records and lines in, and the pacing
// that holds a connection to a byte rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/winsock.h"

namespace qmsd {

// Sends all n bytes; false when the connection fails first.
bool sendAll(SOCKET s, const void* data, size_t n);
bool sendInt32(SOCKET s, int32_t value);
// Reads until n bytes have arrived or the peer closes, fails or times out; returns the count.
size_t recvAll(SOCKET s, void* buffer, size_t n);

// "a.b.c.d:port" of an address.
std::string peerText(const sockaddr_in& address);

// Reads CR LF (or bare LF) terminated lines from a socket through a buffer.
class LineReader {
public:
    enum Result { kLine, kClosed, kTooLong };

    explicit LineReader(SOCKET s) : s_(s) {}
    // The line without its terminator. kTooLong once a line passes `maxBytes`.
    Result readLine(std::string* line, size_t maxBytes);

private:
    SOCKET s_;
    char buf_[2048];
    size_t pos_ = 0;
    size_t len_ = 0;
};

// Holds a connection to `limit` bytes per second (0: no limit).
class Pacer {
public:
    explicit Pacer(int64_t limit);
    // How many bytes to send before asking again.
    size_t chunkSize() const;
    // Records `n` more bytes sent and waits as long as they are ahead of the rate.
    void sent(size_t n);
    // Milliseconds to wait when `total` bytes have gone out `elapsedMs` after the start.
    static int64_t delayMs(int64_t limit, int64_t total, int64_t elapsedMs);

private:
    int64_t limit_;
    int64_t total_ = 0;
    uint64_t startMs_ = 0;
};

} // namespace qmsd
