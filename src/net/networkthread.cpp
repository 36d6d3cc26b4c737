#include "net/networkthread.h"

#include <algorithm>
#include <cstring>

#include "core/abandon.h"
#include "core/filepipe.h"
#include "core/moviewriter.h"
#include "core/status.h"
#include "net/moviestream.h"
#include "net/serversource.h"
#include "net/statuscodes.h"
#include "platform/winuser.h"

namespace skv {

NetworkThread::NetworkThread(MovieStream* stream, const char* url, uFilePipe* cache)
    : stream_(stream), url_(url ? std::string(url).substr(0, Source::kMaxUrl) : std::string()),
      cache_(cache), stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

NetworkThread::~NetworkThread() {
    join();
    destroySource();
    if (stopEvent_) CloseHandle(stopEvent_);
}

void NetworkThread::requestStop() {
    WorkerThread::requestStop();
    if (stopEvent_) SetEvent(stopEvent_);
    closeSource();
    cache_->close();
}

void NetworkThread::setSource(Source* s) {
    NMTX_SCOPED(guard, &mutex_);
    source_ = s;
}

void NetworkThread::destroySource() {
    NMTX_SCOPED(guard, &mutex_);
    if (source_) source_->destroy();
    source_ = nullptr;
}

void NetworkThread::closeSource() {
    NMTX_SCOPED(guard, &mutex_);
    if (source_) source_->close();
}

void NetworkThread::run() {
    stream_->setSecondsToStart(MovieStream::kUnknownTarget);
    stream_->setBufferTarget(MovieStream::kUnknownTarget);
    stream_->post(statusInt(stsInternetThreadStarted));
    error_.store(0);
    try {
        bool reported = false;
        if (open(&reported)) {
            cache_->setExpectedSize(static_cast<uint32_t>(total_.load()));
            stream_->post(statusInt(stsServerConnectionEstablished));
            stream_->setBytesReceived(received_.load());
            stream_->startCodecThread();
            transfer();
        } else if (!reported) {
            stream_->post(stopRequested() ? statusInt(stsErrorConstructingStream)
                                          : statusForError(error_.load()));
        }
    } catch (...) {
        abandoned("NetworkThread", "%s: %s", url_.c_str(), caughtExceptionText().c_str());
        error_.store(-1);
        stream_->post(statusInt(stsUnknownError));
    }
    destroySource();
    stream_->post(statusInt(stsInternetThreadStopped));
    if (stopRequested()) stream_->stopCodecThread();
}

bool NetworkThread::open(bool* reported) {
    Source* source = openSource(url_.c_str());
    if (!source) {
        abandoned("NetworkThread", "%s: no source can open this address", url_.c_str());
        return false;
    }
    if (auto* server = dynamic_cast<ServerSource*>(source))
        server->setReceiveTimeout(stream_->receiveTimeout());
    setSource(source);
    if (stopRequested()) return false; // a stop that came before the source was there
    error_.store(source->request(0));
    if (error_.load() != 0) {
        abandoned("NetworkThread", "%s: the request failed with error %d", url_.c_str(),
                  int(error_.load()));
        destroySource();
        return false;
    }
    total_.store(source->contentLength());
    if (total_.load() <= 0) {
        abandoned("NetworkThread", "%s: the content length %d is not positive", url_.c_str(),
                  int(total_.load()));
        destroySource();
        return false;
    }
    int32_t cached = cache_->size();
    uint8_t header[StreamHeader::kSize];
    if (source->read(header, sizeof header) != static_cast<int32_t>(sizeof header)) {
        // The reply ended inside the header: the same as a transfer that ends early.
        abandoned("NetworkThread", "%s: the reply ended inside the %d-byte stream header",
                  url_.c_str(), int(StreamHeader::kSize));
        error_.store(-1);
        destroySource();
        return false;
    }
    StreamHeader decoded;
    if (!StreamHeader::decode(header, sizeof header, &decoded)) {
        abandoned("NetworkThread", "%s: the stream header does not begin with \"QMS \"",
                  url_.c_str());
        stream_->post(statusInt(stsBadStreamHeader));
        *reported = true;
        destroySource();
        return false;
    }
    stream_->setStreamHeader(decoded);

    uint8_t cachedHeader[StreamHeader::kSize];
    bool sameMovie = cached >= static_cast<int32_t>(sizeof header) &&
                     cache_->read(cachedHeader, sizeof cachedHeader) ==
                         static_cast<int32_t>(sizeof cachedHeader) &&
                     std::memcmp(cachedHeader, header, sizeof header) == 0;
    if (!sameMovie) {
        // Another movie, or nothing yet: start the cache afresh. Reading the header back moves
        // the pipe's read position past it, where the codec thread begins.
        cache_->truncate(0);
        if (cache_->write(header, sizeof header) != static_cast<int32_t>(sizeof header) ||
            cache_->read(cachedHeader, sizeof cachedHeader) !=
                static_cast<int32_t>(sizeof header)) {
            abandoned("NetworkThread", "%s: the cache file does not take the stream header",
                      url_.c_str());
            error_.store(-1);
            destroySource();
            return false;
        }
        received_.store(cache_->size());
        return true;
    }
    // The cache already holds the beginning of this movie: fetch only what it lacks.
    closeSource();
    if (total_.load() <= cached) {
        received_.store(total_.load());
        return true;
    }
    if (stopRequested()) return false;
    error_.store(source->request(cached));
    if (error_.load() != 0) {
        abandoned("NetworkThread", "%s: the request to resume at %d failed with error %d",
                  url_.c_str(), int(cached), int(error_.load()));
        destroySource();
        return false;
    }
    received_.store(cached);
    return true;
}

void NetworkThread::transfer() {
    Source* source = source_; // only this thread replaces or destroys it
    const int32_t total = total_.load();
    int32_t received = received_.load();
    uint8_t buffer[kReadChunk];
    DWORD t0 = GetTickCount();
    while (received < total && source) {
        int32_t want = std::min(total - received, kReadChunk);
        int32_t n = source->read(buffer, want);
        if (n <= 0) break;
        n = std::min(n, total - received);
        received += n;
        received_.store(received);
        DWORD elapsed = GetTickCount() - t0;
        int32_t rate = elapsed == 0 ? 1024 : static_cast<int32_t>(int64_t{n} * 1000 / elapsed);
        stream_->updateRate(rate, received);
        if (cache_->write(buffer, n) < n) break;
        t0 = GetTickCount();
        throttlePause();
    }
    stream_->setRates(102400, 102400);
    stream_->setBufferTarget(0);
    stream_->setSecondsToStart(0);
    stream_->updateRate(1024400, received);
    if (received < total && !stopRequested()) {
        // The server hung up, failed or went quiet for the receive time-out: an early end.
        abandoned("NetworkThread", "%s: the transfer ended at %d of %d bytes", url_.c_str(),
                  int(received), int(total));
        stream_->noteTransferEndedEarly();
        stream_->post(statusInt(stsUnknownError));
        error_.store(-1);
        // Nothing more will arrive: let the codec thread reach the end of what did instead of
        // waiting for the rest of the movie for ever. The cache keeps every byte received, and a
        // later open of the same movie resumes from there.
        cache_->setExpectedSize(static_cast<uint32_t>(received));
    }
}

void NetworkThread::throttlePause() {
    int32_t throttle = stream_->throttle();
    if (throttle <= 0) return;
    // Holding Escape lifts the limit for the rest of the transfer.
    if (GetAsyncKeyState(VK_ESCAPE) & 0x8000) {
        stream_->setThrottle(0);
        return;
    }
    WaitForSingleObject(stopEvent_, static_cast<DWORD>(2048000 / throttle));
}

} // namespace skv
