#include "plugin/hostsink.h"

#include "core/status.h"
#include "plugin/observer.h"
#include "plugin/pluginwindow.h"

namespace skv::plugin {

void HostStatusSink::onStatus(int32_t code, int32_t data) {
    if (PluginObserver* o = observer()) o->onStatus(code, data);
    if (!owner_ || !owner_->active()) return;
    const HWND window = owner_->hwnd();
    if (code == statusInt(stsUpdate)) {
        // Progress is a snapshot the window reads when it gets there: one waiting is enough.
        if (progressWaiting_.exchange(true)) return;
        if (!PostMessageA(window, msgProgress, 0, 0)) progressWaiting_.store(false);
        return;
    }
    PostMessageA(window, msgStatus, static_cast<WPARAM>(static_cast<uint32_t>(code)), 0);
}

void HostStatusSink::onState(int32_t state) {
    if (PluginObserver* o = observer()) o->onState(state);
}

} // namespace skv::plugin
