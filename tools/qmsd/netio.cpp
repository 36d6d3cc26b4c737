#include "netio.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace qmsd {

bool sendAll(SOCKET s, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        int chunk = static_cast<int>(std::min<size_t>(n, 64 * 1024));
        int sent = send(s, p, chunk, 0);
        if (sent <= 0) return false;
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool sendInt32(SOCKET s, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return sendAll(s, bytes, sizeof bytes);
}

size_t recvAll(SOCKET s, void* buffer, size_t n) {
    char* p = static_cast<char*>(buffer);
    size_t have = 0;
    while (have < n) {
        int got = recv(s, p + have, static_cast<int>(std::min<size_t>(n - have, 64 * 1024)), 0);
        if (got <= 0) break;
        have += static_cast<size_t>(got);
    }
    return have;
}

std::string peerText(const sockaddr_in& address) {
    const auto& b = address.sin_addr.S_un.S_un_b;
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4,
                  static_cast<unsigned>(ntohs(address.sin_port)));
    return text;
}

LineReader::Result LineReader::readLine(std::string* line, size_t maxBytes) {
    line->clear();
    for (;;) {
        if (pos_ == len_) {
            int got = recv(s_, buf_, sizeof buf_, 0);
            if (got <= 0) return kClosed;
            pos_ = 0;
            len_ = static_cast<size_t>(got);
        }
        const char* start = buf_ + pos_;
        const void* nl = std::memchr(start, '\n', len_ - pos_);
        size_t take = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) : len_ - pos_;
        if (line->size() + take > maxBytes) return kTooLong;
        line->append(start, take);
        pos_ += take;
        if (nl) {
            ++pos_;
            if (!line->empty() && line->back() == '\r') line->pop_back();
            return kLine;
        }
    }
}

Pacer::Pacer(int64_t limit) : limit_(limit) {
    if (limit_ > 0) startMs_ = skv::platform::clockNowMs();
}

size_t Pacer::chunkSize() const {
    if (limit_ <= 0) return 16 * 1024;
    // About a tenth of a second's worth, so the rate holds smoothly even for short movies.
    return static_cast<size_t>(std::clamp<int64_t>(limit_ / 10, 256, 16 * 1024));
}

void Pacer::sent(size_t n) {
    if (limit_ <= 0) return;
    total_ += static_cast<int64_t>(n);
    int64_t elapsed = static_cast<int64_t>(skv::platform::clockNowMs() - startMs_);
    int64_t wait = delayMs(limit_, total_, elapsed);
    if (wait > 0) Sleep(static_cast<DWORD>(wait));
}

int64_t Pacer::delayMs(int64_t limit, int64_t total, int64_t elapsedMs) {
    if (limit <= 0) return 0;
    int64_t due = total * 1000 / limit;
    return due > elapsedMs ? due - elapsedMs : 0;
}

} // namespace qmsd
