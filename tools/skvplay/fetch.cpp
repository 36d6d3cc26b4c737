#include "fetch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/winsock.h"

namespace skvplay {

namespace {

constexpr size_t kMaxBody = 64u << 20;

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool hasScheme(const std::string& url) {
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon < 2) return false; // "C:" is not a scheme
    for (size_t i = 0; i < colon; ++i)
        if (!std::isalpha(static_cast<unsigned char>(url[i]))) return false;
    return true;
}

bool readFile(const std::string& path, std::string* body, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    *body = s.str();
    return true;
}

bool httpGet(const std::string& url, std::string* body, std::string* error) {
    // http://host[:port]/path
    const std::string rest = url.substr(7);
    const size_t slash = rest.find('/');
    const std::string hostPort = rest.substr(0, slash);
    const std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::string host = hostPort;
    unsigned short port = 80;
    if (const size_t c = hostPort.find(':'); c != std::string::npos) {
        host = hostPort.substr(0, c);
        port = static_cast<unsigned short>(std::atoi(hostPort.c_str() + c + 1));
    }
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    unsigned long addr = inet_addr(host.c_str());
    if (addr == INADDR_NONE) {
        hostent* he = gethostbyname(host.c_str());
        if (!he || !he->h_addr_list || !he->h_addr_list[0]) {
            *error = "cannot resolve " + host;
            return false;
        }
        std::memcpy(&addr, he->h_addr_list[0], 4);
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = "cannot make a socket";
        return false;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = addr;
    if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        *error =
            "cannot connect to " + hostPort + " (error " + std::to_string(WSAGetLastError()) + ")";
        closesocket(s);
        return false;
    }
    const std::string request =
        "GET " + path + " HTTP/1.0\r\nHost: " + hostPort + "\r\nUser-Agent: skvplay\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string reply;
    char buffer[8192];
    for (;;) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
        if (reply.size() > kMaxBody) break;
    }
    closesocket(s);
    const size_t headerEnd = reply.find("\r\n\r\n");
    if (headerEnd == std::string::npos || !startsWith(reply, "HTTP/")) {
        *error = "no HTTP reply from " + hostPort;
        return false;
    }
    const size_t sp = reply.find(' ');
    const int status = sp == std::string::npos ? 0 : std::atoi(reply.c_str() + sp + 1);
    if (status != 200) {
        *error = url + " answered " + std::to_string(status);
        return false;
    }
    *body = reply.substr(headerEnd + 4);
    return true;
}

} // namespace

std::string resolveUrl(const std::string& url, const std::string& base) {
    // Already absolute: an address, a path from the root, or one with a drive letter.
    const bool drive = url.size() > 2 && url[1] == ':' && (url[2] == '/' || url[2] == '\\');
    if (url.empty() || hasScheme(url) || url[0] == '/' || url[0] == '\\' || drive) return url;
    if (startsWith(base, "http://")) {
        const size_t cut = base.rfind('/');
        return (cut != std::string::npos && cut >= 7 ? base.substr(0, cut + 1) : base + "/") + url;
    }
    if (base.empty()) return url;
    return base + (base.back() == '/' ? "" : "/") + url;
}

std::string localPath(const std::string& url) {
    if (startsWith(url, "file://")) return url.substr(7);
    if (startsWith(url, "file:")) return url.substr(5);
    if (hasScheme(url)) return {};
    return url;
}

bool fetchUrl(const std::string& url, std::string* body, std::string* error) {
    if (startsWith(url, "http://")) return httpGet(url, body, error);
    const std::string path = localPath(url);
    if (path.empty()) {
        *error = "cannot fetch " + url + ": only http:, file: and page-relative addresses";
        return false;
    }
    return readFile(path, body, error);
}

} // namespace skvplay
