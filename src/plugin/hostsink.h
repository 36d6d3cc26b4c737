// HostStatusSink: where the player reports status codes. Called from any thread; it only posts to
// the plug-in window: stsUpdate as msgProgress (at most one waiting at a time), every other code
// as msgStatus with the code in wParam. Nothing is posted once the instance is inactive.
#pragma once

#include <atomic>

#include "player/playercallback.h"

namespace skv::plugin {

class CPluginWindow;

class HostStatusSink : public PlayerCallback {
public:
    explicit HostStatusSink(CPluginWindow* owner) : owner_(owner) {}

    void onStatus(int32_t code, int32_t data) override;
    void onState(int32_t state) override;
    // The window has taken its msgProgress off the queue; the next stsUpdate may post again.
    void progressTaken() { progressWaiting_.store(false); }

private:
    CPluginWindow* owner_;
    std::atomic<bool> progressWaiting_{false};
};

} // namespace skv::plugin
