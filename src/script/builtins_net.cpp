// Built-ins that reach the browser: pages, texts, preloads, their completion, and the tracking
// page built from the embed element's "sw1" to "sw4".
#include <cstring>
#include <string>
#include <string_view>

#include "script/browserlink.h"
#include "script/builtinops.h"
#include "script/playerlink.h"
#include "script/scripthost.h"
#include "script/urlcheck.h"

namespace skv::builtin {

namespace {

BrowserLink* browserOf(BuiltinCall& c) {
    return c.host.link ? c.host.link->browser() : nullptr;
}

// A parameter as the embed lookup fills its 1024-byte buffer: missing reads as empty.
std::string parameter(BrowserLink& b, const char* name) {
    std::string v;
    if (!b.parameter(name, &v)) v.clear();
    if (v.size() > 1023) v.resize(1023);
    return v;
}

} // namespace

ScriptValue gotoNetPage(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    if (b && isBrowserUrl(c.text(0))) b->gotoNetPage(c.text(0));
    return {};
}

ScriptValue getNetText(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    if (b && isBrowserUrl(c.text(0))) b->getNetText(c.text(0));
    // The text comes later, through netTextResult; the request's id through getLatestNetID.
    return nullText();
}

ScriptValue preloadNetThing(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    if (b && isBrowserUrl(c.text(0))) b->preloadNetThing(c.text(0));
    return {};
}

ScriptValue netDoneLatest(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    return ScriptValue::integer(b ? b->netDone(-1) : 1);
}

ScriptValue netDone(BuiltinCall& c) {
    // An id nobody issued counts as finished.
    BrowserLink* b = browserOf(c);
    return ScriptValue::integer(b ? b->netDone(c.num(0)) : 1);
}

ScriptValue netTextResult(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    const char* text = b ? b->netTextResult(-1) : nullptr;
    return text ? makeString(text) : nullText();
}

ScriptValue getLatestNetID(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    return ScriptValue::integer(b ? b->getLatestNetID() : -1);
}

ScriptValue netGravityLog(BuiltinCall& c) {
    BrowserLink* b = browserOf(c);
    if (!b) return {};
    b->gotoNetPage(trackingUrl(parameter(*b, "sw1"), parameter(*b, "sw2"), parameter(*b, "sw3"),
                               parameter(*b, "sw4"))
                       .c_str());
    return {};
}

} // namespace skv::builtin
