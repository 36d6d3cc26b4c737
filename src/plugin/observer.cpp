#include "plugin/observer.h"

#include <atomic>

#include "core/abandon.h"

namespace skv::plugin {

namespace {

std::atomic<PluginObserver*> g_observer{nullptr};

class AbandonForwarder final : public AbandonListener {
public:
    void abandoned(const char* operation, const char* reason) override {
        if (PluginObserver* o = g_observer.load()) o->abandoned(operation, reason);
    }
};

AbandonForwarder g_forwarder;

} // namespace

PluginObserver* observer() {
    return g_observer.load();
}

void setObserver(PluginObserver* o) {
    g_observer.store(o);
    if (o)
        installAbandonListener(&g_forwarder); // false when already installed: nothing to do
    else
        removeAbandonListener(&g_forwarder);
}

} // namespace skv::plugin
