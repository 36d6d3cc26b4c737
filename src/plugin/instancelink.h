// InstanceLink: the instance forwarder the player gets as its BrowserLink. It holds the browser's
// instance handle, not the instance: each call finds the instance again and forwards to it, so a
// script that runs on while the page goes away gets -1, 1 or null instead of a dead object.
#pragma once

#include "plugin/npapi.h"
#include "script/browserlink.h"

namespace skv::plugin {

class CPluginWindow;

class InstanceLink : public BrowserLink {
public:
    explicit InstanceLink(NPP instance) : instance_(instance) {}

    int32_t gotoNetPage(const char* url) override;
    int32_t getNetText(const char* url) override;
    int32_t preloadNetThing(const char* url) override;
    int32_t netDone(int32_t id) override;
    const char* netTextResult(int32_t id) override;
    int32_t getLatestNetID() override;
    bool parameter(const char* name, std::string* value) override;

    // The live instance this link names; raises CoreError 1000 when it holds no handle.
    CPluginWindow* instance() const;

private:
    NPP instance_;
};

} // namespace skv::plugin
