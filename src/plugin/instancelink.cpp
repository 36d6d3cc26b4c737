#include "plugin/instancelink.h"

#include "core/errors.h"
#include "plugin/pluginwindow.h"

namespace skv::plugin {

CPluginWindow* InstanceLink::instance() const {
    if (!instance_) throw CoreError{kErrNullArgument};
    return currentWindow(instance_);
}

int32_t InstanceLink::gotoNetPage(const char* url) {
    CPluginWindow* w = instance();
    return w ? w->gotoNetPage(url) : -1;
}

int32_t InstanceLink::getNetText(const char* url) {
    CPluginWindow* w = instance();
    return w ? w->getNetText(url) : -1;
}

int32_t InstanceLink::preloadNetThing(const char* url) {
    CPluginWindow* w = instance();
    return w ? w->preloadNetThing(url) : -1;
}

int32_t InstanceLink::netDone(int32_t id) {
    CPluginWindow* w = instance();
    return w ? w->netDone(id) : 1;
}

const char* InstanceLink::netTextResult(int32_t id) {
    CPluginWindow* w = instance();
    return w ? w->netTextResult(id) : nullptr;
}

int32_t InstanceLink::getLatestNetID() {
    CPluginWindow* w = instance();
    return w ? w->getLatestNetID() : -1;
}

bool InstanceLink::parameter(const char* name, std::string* value) {
    CPluginWindow* w = instance();
    return w ? w->parameter(name, value) : false;
}

} // namespace skv::plugin
