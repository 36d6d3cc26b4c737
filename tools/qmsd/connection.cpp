#include "connection.h"

#include <algorithm>
#include <vector>

#include "netio.h"
#include "request.h"

namespace qmsd {

namespace {

// A client that connects and then says nothing must not hold its thread for ever, nor one that
// stops reading.
constexpr DWORD kRequestTimeoutMs = 30000;
constexpr DWORD kSendTimeoutMs = 60000;
constexpr size_t kMaxHeaderLine = 1024;
constexpr int kMaxHeaderLines = 100;

void setTimeouts(SOCKET s) {
    DWORD recvMs = kRequestTimeoutMs;
    DWORD sendMs = kSendTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&recvMs), sizeof recvMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendMs), sizeof sendMs);
}

std::string lengthReply(int32_t length) {
    return "length=" + std::to_string(length);
}

// Sends the movie from `offset` to its end, paced and cut short as the options say. Returns the
// bytes sent; `note` tells why it stopped early.
int64_t streamMovie(SOCKET s, MovieFile& movie, int32_t offset, const Options& options,
                    const char** note) {
    if (offset > 0 && !movie.seek(offset)) {
        *note = "seek failed";
        return 0;
    }
    Pacer pacer(options.limitBytesPerSecond);
    std::vector<char> buffer(pacer.chunkSize());
    int64_t remaining = int64_t(movie.length()) - offset;
    int64_t sent = 0;
    while (remaining > 0) {
        int64_t want = std::min<int64_t>(remaining, static_cast<int64_t>(buffer.size()));
        if (options.dropAfter >= 0) want = std::min(want, options.dropAfter - sent);
        if (want <= 0) {
            *note = "dropped";
            return sent;
        }
        int32_t got = movie.read(buffer.data(), static_cast<int32_t>(want));
        if (got <= 0) {
            // The file shrank under us: the client sees a short stream, as from a cut line.
            *note = "file ended early";
            return sent;
        }
        if (!sendAll(s, buffer.data(), static_cast<size_t>(got))) {
            *note = "client gone";
            return sent;
        }
        sent += got;
        remaining -= got;
        pacer.sent(static_cast<size_t>(got));
    }
    return sent;
}

// Finds the movie and checks the offset: 0 or a reply code.
int32_t openMovie(const ServeContext& ctx, const MovieRequest& req, MovieFile* movie) {
    if (int32_t err = ctx.movies.find(req.path, movie)) return err;
    if (req.offset > movie->length()) return kBadRequest;
    return 0;
}

} // namespace

HttpStatus httpStatus(int32_t reply) {
    switch (reply) {
    case 0:
        return {200, "OK"};
    case kBadRequest:
        return {400, "Bad Request"};
    case kAccessDenied:
        return {403, "Forbidden"};
    case kNotFound:
        return {404, "Not Found"};
    case kNotSupported:
        return {501, "Not Implemented"};
    case kBusy:
        return {503, "Service Unavailable"};
    default:
        return {500, "Internal Server Error"};
    }
}

void serveNative(SOCKET s, const std::string& peer, const ServeContext& ctx, bool busy) {
    setTimeouts(s);
    RequestRecord rec;
    rec.peer = peer;
    rec.protocol = "native";
    uint8_t record[kNativeRecordSize];
    size_t got = recvAll(s, record, sizeof record);
    if (got == 0) {
        rec.note = "client sent nothing";
        ctx.log.request(rec);
        return;
    }
    MovieRequest req;
    int32_t reply = parseNativeRequest(record, got, &req);
    rec.path = req.path;
    rec.offset = req.offset;
    if (ctx.options.ignoreNative) {
        rec.note = "ignored";
        ctx.log.request(rec);
        return;
    }
    MovieFile movie;
    if (reply == 0 && busy) reply = kBusy;
    if (reply == 0) reply = openMovie(ctx, req, &movie);
    if (reply != 0) {
        rec.reply = lengthReply(reply);
        if (got < sizeof record) rec.note = "short request";
        sendInt32(s, reply);
        ctx.log.request(rec);
        return;
    }
    rec.reply = lengthReply(movie.length());
    if (!sendInt32(s, movie.length())) {
        rec.note = "client gone";
    } else {
        rec.sent = streamMovie(s, movie, req.offset, ctx.options, &rec.note);
    }
    ctx.log.request(rec);
}

void serveHttp(SOCKET s, const std::string& peer, const ServeContext& ctx, bool busy) {
    setTimeouts(s);
    RequestRecord rec;
    rec.peer = peer;
    rec.protocol = "http";
    LineReader reader(s);
    std::string line;
    LineReader::Result r = reader.readLine(&line, kMaxHeaderLine);
    HttpRequestLine req;
    int status = 400;
    if (r == LineReader::kLine) status = parseHttpRequestLine(line, &req);
    rec.path = req.movie.path;
    rec.offset = req.movie.offset;
    if (r == LineReader::kClosed && line.empty()) {
        rec.note = "client sent nothing";
        ctx.log.request(rec);
        return;
    }
    // The rest of the header is read even when the request is refused, so that the reply comes
    // after the whole request as the client expects.
    for (int n = 0; r == LineReader::kLine; ++n) {
        r = reader.readLine(&line, kMaxHeaderLine);
        if (r == LineReader::kLine && line.empty()) break;
        if (n >= kMaxHeaderLines) r = LineReader::kTooLong;
    }
    if (r == LineReader::kClosed) {
        rec.note = "header incomplete";
        ctx.log.request(rec);
        return;
    }
    int32_t reply = 0;
    if (r == LineReader::kTooLong || status == 400)
        reply = kBadRequest;
    else if (status == 501)
        reply = kNotSupported;
    else if (busy)
        reply = kBusy;
    MovieFile movie;
    if (reply == 0) reply = openMovie(ctx, req.movie, &movie);
    HttpStatus st = httpStatus(reply);
    rec.reply = "status=" + std::to_string(st.code);
    if (req.proxyForm) rec.protocol = "http-proxy";
    if (reply != 0) {
        std::string text = "HTTP/1.0 " + std::to_string(st.code) + " " + st.reason +
                           "\r\nContent-Type: text/plain\r\n\r\n" + st.reason + "\r\n";
        sendAll(s, text.data(), text.size());
        ctx.log.request(rec);
        return;
    }
    static const char kOk[] = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
    rec.reply.append(" ").append(lengthReply(movie.length()));
    if (!sendAll(s, kOk, sizeof kOk - 1) || !sendInt32(s, movie.length())) {
        rec.note = "client gone";
    } else {
        rec.sent = streamMovie(s, movie, req.movie.offset, ctx.options, &rec.note);
    }
    ctx.log.request(rec);
}

} // namespace qmsd
