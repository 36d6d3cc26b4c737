#include "plugin/observer.h"

#include <atomic>

namespace skv::plugin {

namespace {
std::atomic<PluginObserver*> g_observer{nullptr};
}

PluginObserver* observer() {
    return g_observer.load();
}

void setObserver(PluginObserver* o) {
    g_observer.store(o);
}

} // namespace skv::plugin
