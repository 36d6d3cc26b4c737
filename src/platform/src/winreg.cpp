// The read-only registry: RegOpenKeyExA opens a snapshot of one key of the configuration file
// (regfile.h), so a key handle keeps answering as it did when it was opened.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>

#include "platform/winreg.h"
#include "regfile.h"

namespace reg = skv::platform::registry;

struct HKEY__ {
    std::string path;
    reg::Key values;
};

namespace {

constexpr const char* kInternetSettings =
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\internet settings";

// Access rights that only read: KEY_READ, plus the 32/64-bit view selectors.
constexpr REGSAM kReadRights = KEY_READ | 0x0300;

std::string storePath() {
    if (const char* p = std::getenv("SKV_REGISTRY"); p && *p) return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return std::string(x) + "/skyvora/registry.conf";
    if (const char* h = std::getenv("HOME"); h && *h)
        return std::string(h) + "/.config/skyvora/registry.conf";
    return {};
}

struct State {
    std::mutex mu;
    // The file as last read, reread when its name, size or modification time change.
    std::string loadedPath;
    bool loadedExists = false;
    off_t loadedSize = 0;
    struct timespec loadedTime = {};
    std::shared_ptr<const reg::Store> store = std::make_shared<reg::Store>();
    // Open keys.
    std::unordered_map<uintptr_t, std::shared_ptr<HKEY__>> keys;
    uintptr_t next = 0x1000;
};

State& state() {
    static State* s = new State; // never destroyed: keys may be closed after main returns
    return *s;
}

std::shared_ptr<const reg::Store> currentStore() {
    State& s = state();
    std::string path = storePath();
    struct stat st {};
    bool exists = !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    std::lock_guard<std::mutex> lk(s.mu);
    if (path == s.loadedPath && exists == s.loadedExists &&
        (!exists || (st.st_size == s.loadedSize && st.st_mtim.tv_sec == s.loadedTime.tv_sec &&
                     st.st_mtim.tv_nsec == s.loadedTime.tv_nsec)))
        return s.store;
    auto store = std::make_shared<reg::Store>();
    if (exists) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        *store = reg::parseStore(text.str());
        for (const std::string& p : store->problems)
            std::fprintf(stderr, "%s: %s (the line is ignored; see docs/registry.md)\n",
                         path.c_str(), p.c_str());
    }
    s.loadedPath = path;
    s.loadedExists = exists;
    s.loadedSize = exists ? st.st_size : 0;
    s.loadedTime = exists ? st.st_mtim : timespec{};
    s.store = store;
    return store;
}

const char* rootPath(HKEY key) {
    if (key == HKEY_CURRENT_USER) return "hkey_current_user";
    if (key == HKEY_LOCAL_MACHINE) return "hkey_local_machine";
    if (key == HKEY_CLASSES_ROOT) return "hkey_classes_root";
    return nullptr;
}

// The values of the key at `path` with what the environment adds; false when no such key.
bool snapshot(const std::string& path, bool isRoot, reg::Key* values) {
    std::shared_ptr<const reg::Store> store = currentStore();
    bool exists = isRoot;
    auto it = store->keys.find(path);
    if (it != store->keys.end()) {
        *values = it->second;
        exists = true;
    } else {
        // A key exists when any key below it does.
        std::string prefix = path;
        prefix += '\\';
        auto below = store->keys.lower_bound(prefix);
        exists = exists || (below != store->keys.end() &&
                            below->first.compare(0, prefix.size(), prefix) == 0);
    }
    if (path == kInternetSettings) {
        const char* env = std::getenv("http_proxy");
        std::string server = env ? reg::proxyServerFromEnvironment(env) : std::string();
        if (!server.empty()) {
            exists = true;
            if (!values->count("proxyenable"))
                (*values)["proxyenable"] = reg::Value{"ProxyEnable", REG_DWORD, {1, 0, 0, 0}};
            if (!values->count("proxyserver")) {
                reg::Value v{"ProxyServer", REG_SZ, {server.begin(), server.end()}};
                v.data.push_back(0);
                (*values)["proxyserver"] = std::move(v);
            }
        }
    }
    return exists;
}

// The open key a handle names (a root is opened afresh); null when the handle is not a key.
std::shared_ptr<HKEY__> lookupKey(HKEY key) {
    if (const char* root = rootPath(key)) {
        auto k = std::make_shared<HKEY__>();
        k->path = root;
        snapshot(k->path, true, &k->values);
        return k;
    }
    State& s = state();
    std::lock_guard<std::mutex> lk(s.mu);
    auto it = s.keys.find(reinterpret_cast<uintptr_t>(key));
    return it == s.keys.end() ? nullptr : it->second;
}

} // namespace

extern "C" {

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (desired & ~kReadRights) return ERROR_ACCESS_DENIED;
    std::string parent;
    if (const char* root = rootPath(key)) {
        parent = root;
    } else {
        std::shared_ptr<HKEY__> k = lookupKey(key);
        if (!k) return ERROR_INVALID_HANDLE;
        parent = k->path;
    }
    auto opened = std::make_shared<HKEY__>();
    opened->path = parent;
    if (subKey && *subKey) {
        if (subKey[0] == '\\') return ERROR_FILE_NOT_FOUND;
        opened->path += '\\';
        opened->path += reg::normalizePath(subKey);
    }
    if (!snapshot(opened->path, opened->path == parent && rootPath(key), &opened->values))
        return ERROR_FILE_NOT_FOUND;
    State& s = state();
    std::lock_guard<std::mutex> lk(s.mu);
    uintptr_t id = s.next;
    s.next += 4;
    s.keys.emplace(id, std::move(opened));
    *result = reinterpret_cast<HKEY>(id);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<HKEY__> k = lookupKey(key);
    if (!k) return ERROR_INVALID_HANDLE;
    auto it = k->values.find(reg::lowerAscii(valueName ? valueName : ""));
    if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
    const reg::Value& v = it->second;
    if (type) *type = v.type;
    const DWORD size = static_cast<DWORD>(v.data.size());
    if (!dataSize) return ERROR_SUCCESS;
    if (!data) {
        *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (*dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, v.data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (rootPath(key)) return ERROR_SUCCESS;
    State& s = state();
    std::lock_guard<std::mutex> lk(s.mu);
    return s.keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

} // extern "C"
