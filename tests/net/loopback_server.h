// A scripted server on a loopback port chosen at run time. It accepts connections one after
// another on a thread of its own and hands each to a handler. The thread stays outside the
// virtual clock, so its blocking calls never hold virtual time back.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/winsock.h"

class LoopbackServer {
public:
    using Handler = std::function<void(SOCKET, LoopbackServer&)>;

    explicit LoopbackServer(Handler handler, int backlog = 8) : handler_(std::move(handler)) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = static_cast<uint32_t>(htonl(INADDR_LOOPBACK));
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, backlog);
        int n = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        if (handler_) thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        closesocket(listener_);
        if (thread_.joinable()) thread_.join();
        WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    unsigned short port() const { return port_; }
    int connections() const { return connections_.load(); }
    // What handlers recorded (requests as received), in order.
    void record(std::string request) {
        std::lock_guard<std::mutex> lk(mu_);
        requests_.push_back(std::move(request));
    }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lk(mu_);
        return requests_;
    }

    // Helpers for handlers.
    static std::string receive(SOCKET s, size_t n) {
        std::string out;
        char buf[512];
        while (out.size() < n) {
            int r = recv(s, buf, static_cast<int>(std::min(sizeof buf, n - out.size())), 0);
            if (r <= 0) break;
            out.append(buf, static_cast<size_t>(r));
        }
        return out;
    }
    static std::string receiveHttpRequest(SOCKET s) {
        std::string out;
        char c;
        while (out.size() < 4096 &&
               (out.size() < 4 || out.compare(out.size() - 4, 4, "\r\n\r\n"))) {
            if (recv(s, &c, 1, 0) != 1) break;
            out.push_back(c);
        }
        return out;
    }
    static void sendText(SOCKET s, const std::string& text) {
        for (size_t done = 0; done < text.size();) {
            int r = send(s, text.data() + done, static_cast<int>(text.size() - done), 0);
            if (r <= 0) return;
            done += static_cast<size_t>(r);
        }
    }
    static std::string lengthWord(int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        return std::string{static_cast<char>(u), static_cast<char>(u >> 8),
                           static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
    }
    // The stream offset a native request record asks for.
    static int32_t requestOffset(const std::string& record) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4 && 2 + i < record.size(); ++i)
            v |= uint32_t{static_cast<uint8_t>(record[2 + i])} << (8 * i);
        return static_cast<int32_t>(v);
    }
    // Takes what the client sends and answers nothing, until the client goes.
    static void holdSilently(SOCKET s) {
        char c;
        while (recv(s, &c, 1, 0) > 0) {
        }
    }
    // A handler that takes the connection and answers nothing.
    static void silent(SOCKET s, LoopbackServer&) { holdSilently(s); }
    // A native server of `movie`: it records the request, sends the length word and at most
    // `part` bytes from the offset asked for, and when that was not the rest of the movie, stalls
    // (sends nothing more until the client goes).
    static Handler nativeMovie(std::string movie, size_t part = std::string::npos) {
        return [movie = std::move(movie), part](SOCKET s, LoopbackServer& server) {
            const std::string record = receive(s, 256);
            server.record(record);
            if (record.size() != 256) return;
            const size_t from = std::min(static_cast<size_t>(requestOffset(record)), movie.size());
            const size_t n = std::min(part, movie.size() - from);
            sendText(s, lengthWord(static_cast<int32_t>(movie.size())));
            sendText(s, movie.substr(from, n));
            if (n < movie.size() - from) holdSilently(s);
        };
    }

private:
    void serve() {
        for (;;) {
            SOCKET c = accept(listener_, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            connections_.fetch_add(1);
            handler_(c, *this);
            closesocket(c);
        }
    }

    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<int> connections_{0};
    std::mutex mu_;
    std::vector<std::string> requests_;
};
