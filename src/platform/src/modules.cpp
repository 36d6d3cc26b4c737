// Modules: shared objects standing in for DLLs. An HMODULE is the dynamic loader's handle.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/win32.h"

namespace {

// Handles this library gave out, with how many references each holds; only those are accepted,
// so that a wrong HMODULE fails instead of crashing the loader.
struct KnownModules {
    std::mutex mu;
    std::map<void*, long> refs;
};

KnownModules& known() {
    static KnownModules* k = new KnownModules;
    return *k;
}

void remember(void* handle, bool counted) {
    std::lock_guard<std::mutex> g(known().mu);
    long& r = known().refs[handle];
    if (counted) ++r;
}

bool isKnown(void* handle) {
    std::lock_guard<std::mutex> g(known().mu);
    return known().refs.count(handle) != 0;
}

std::string mainProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

// The absolute path of the object a link map entry describes.
std::string pathOf(const link_map* lm) {
    if (!lm || !lm->l_name || !*lm->l_name) return mainProgramPath();
    char buf[PATH_MAX];
    if (realpath(lm->l_name, buf)) return buf;
    return lm->l_name;
}

const link_map* linkMapOfAddress(const void* address) {
    Dl_info info;
    link_map* lm = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&lm), RTLD_DL_LINKMAP)) return nullptr;
    return lm;
}

// A loader handle for the object described by `lm` (one more reference to it).
void* handleFor(const link_map* lm) {
    if (!lm->l_name || !*lm->l_name) return dlopen(nullptr, RTLD_LAZY);
    return dlopen(lm->l_name, RTLD_LAZY | RTLD_NOLOAD);
}

bool endsWith(const std::string& s, const char* suffix, bool ignoreCase) {
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    return ignoreCase ? strcasecmp(s.c_str() + s.size() - n, suffix) == 0
                      : s.compare(s.size() - n, n, suffix) == 0;
}

// "qa118dec" or "qa118dec.dll" -> "libqa118dec.so"; names of shared objects stay as they are.
std::string libraryFileName(const std::string& name) {
    if (endsWith(name, ".so", false) || name.find(".so.") != std::string::npos) return name;
    std::string base = endsWith(name, ".dll", true) ? name.substr(0, name.size() - 4) : name;
    return "lib" + base + ".so";
}

} // namespace

extern "C" {

BOOL GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module) {
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = nullptr;
    void* handle = nullptr;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        if (const link_map* lm = linkMapOfAddress(moduleNameOrAddress)) handle = handleFor(lm);
    } else if (!moduleNameOrAddress) {
        handle = dlopen(nullptr, RTLD_LAZY);
    } else {
        std::string name = moduleNameOrAddress;
        if (name.find('/') == std::string::npos) name = libraryFileName(name);
        handle = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    bool counted = !(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    if (!counted) dlclose(handle); // the module stays loaded: something in it is running
    remember(handle, counted);
    *module = reinterpret_cast<HMODULE>(handle);
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string path;
    if (!module) {
        path = mainProgramPath();
    } else {
        if (!isKnown(module)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        link_map* lm = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &lm) != 0) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = pathOf(lm);
    }
    if (path.empty()) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        // Truncated and terminated, as current Windows versions do.
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(path.size());
}

// Not inlined: the return address names the module that asked, whose directory is searched first.
__attribute__((noinline)) HMODULE LoadLibraryA(LPCSTR name) {
    const void* caller = __builtin_return_address(0);
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string n = name;
    void* handle = nullptr;
    if (n.find('/') != std::string::npos) {
        handle = dlopen(n.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        std::string file = libraryFileName(n);
        std::string callerPath = pathOf(linkMapOfAddress(caller));
        size_t slash = callerPath.rfind('/');
        if (slash != std::string::npos) {
            std::string beside = callerPath.substr(0, slash + 1) + file;
            handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        if (!handle) handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    remember(handle, true);
    return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR nameOrOrdinal) {
    if (!module || !isKnown(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!nameOrOrdinal) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    char ordinalName[32];
    const char* symbol = nameOrOrdinal;
    if (IS_INTRESOURCE(nameOrOrdinal)) {
        std::snprintf(ordinalName, sizeof ordinalName, "skv_ordinal_%u",
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(nameOrOrdinal)));
        symbol = ordinalName;
    }
    void* p = dlsym(module, symbol);
    if (!p) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return p;
}

BOOL FreeLibrary(HMODULE module) {
    {
        std::lock_guard<std::mutex> g(known().mu);
        auto it = known().refs.find(module);
        if (it == known().refs.end() || it->second == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second == 0) known().refs.erase(it);
    }
    if (dlclose(module) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
