// Loading the built plug-in module in the test process, and an observer that records what the
// plug-in's instance does.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/display.h"
#include "platform/win32.h"
#include "plugin/npapi.h"
#include "plugin/observer.h"

namespace skvtest {

struct RecordingObserver : skv::plugin::PluginObserver {
    void onStatus(int32_t code, int32_t) override {
        std::lock_guard<std::mutex> g(mu);
        codes.push_back(code);
    }
    void onState(int32_t state) override {
        if (state == 2) playing.store(true);
    }
    void eventDelivered(const skv::EventReport&) override {}
    void frameShown(HWND, int32_t, int32_t) override { frames.fetch_add(1); }
    void linkReady(skv::BrowserLink* l) override {
        if (l) players.fetch_add(1);
        link.store(l);
    }
    std::mutex mu;
    std::vector<int32_t> codes;
    std::atomic<bool> playing{false};
    std::atomic<int> frames{0}, players{0};
    std::atomic<skv::BrowserLink*> link{nullptr};
};

inline HMODULE pluginModule() {
    static HMODULE m = LoadLibraryA(PLUGIN_MODULE);
    return m;
}

template <typename F> F pluginExport(const char* name) {
    return reinterpret_cast<F>(GetProcAddress(pluginModule(), name));
}

inline void installObserver(skv::plugin::PluginObserver* o) {
    auto set = pluginExport<SkvSetPluginObserverFunc>("skvSetPluginObserver");
    ASSERT_NE(set, nullptr);
    set(o);
}

} // namespace skvtest
