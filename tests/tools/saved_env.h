// Keeps the proxy-related environment of the test process as it was: tests point the registry at
// nothing and set http_proxy only when they mean to, and the next test finds things unchanged.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

namespace skv::test {

class SavedProxyEnvironment {
public:
    SavedProxyEnvironment() {
        for (const char* name : {"SKV_REGISTRY", "http_proxy"}) {
            const char* v = std::getenv(name);
            saved_.push_back({name, v != nullptr, v ? v : ""});
        }
        setenv("SKV_REGISTRY", "/nonexistent/skv-registry.conf", 1);
        unsetenv("http_proxy");
    }
    ~SavedProxyEnvironment() {
        for (const auto& s : saved_) {
            if (s.set)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }
    SavedProxyEnvironment(const SavedProxyEnvironment&) = delete;
    SavedProxyEnvironment& operator=(const SavedProxyEnvironment&) = delete;

private:
    struct Saved {
        const char* name;
        bool set;
        std::string value;
    };
    std::vector<Saved> saved_;
};

} // namespace skv::test
