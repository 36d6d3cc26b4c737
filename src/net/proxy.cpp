#include "net/proxy.h"

#include "net/resolve.h"
#include "platform/winreg.h"

namespace skv {

namespace {

constexpr uint16_t kDefaultProxyPort = 80;
constexpr DWORD kMaxText = 255;

// A text value of at most 255 characters; false when absent, longer or not text.
bool readText(HKEY key, const char* name, char (&out)[kMaxText + 1]) {
    DWORD type = 0;
    DWORD size = sizeof out - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    out[size] = '\0';
    return true;
}

bool readNumber(HKEY key, const char* name, DWORD* value) {
    DWORD type = 0;
    DWORD size = sizeof *value;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
}

bool fromBrowser(HttpProxy* proxy) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Netscape\\Netscape Navigator\\Proxy Information",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char server[kMaxText + 1];
    bool found = readText(key, "HTTP_Proxy", server) && server[0] &&
                 resolveHostAndPort(server, kDefaultProxyPort, &proxy->address, &proxy->port);
    // The port value stands for 80 when absent, and then too replaces a port in HTTP_Proxy:
    // the browser keeps the port only there.
    DWORD port = kDefaultProxyPort;
    if (found && !readNumber(key, "Http_ProxyPort", &port)) port = kDefaultProxyPort;
    if (found && port != 0) proxy->port = static_cast<uint16_t>(port & 0xFFFF);
    if (found && proxy->port == 0) proxy->port = kDefaultProxyPort;
    RegCloseKey(key);
    return found;
}

bool fromSystem(HttpProxy* proxy) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD enabled = 0;
    char server[kMaxText + 1];
    bool found = readNumber(key, "ProxyEnable", &enabled) && enabled != 0 &&
                 readText(key, "ProxyServer", server) && server[0] &&
                 resolveHostAndPort(server, kDefaultProxyPort, &proxy->address, &proxy->port);
    RegCloseKey(key);
    return found;
}

} // namespace

bool findHttpProxy(HttpProxy* proxy) {
    return fromBrowser(proxy) || fromSystem(proxy);
}

} // namespace skv
