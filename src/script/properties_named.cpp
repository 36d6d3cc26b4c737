// The named properties: movie, input and system values scripts read by name, and the three
// that can be set (itemDelimiter, randomSeed and, through the host, nothing else).
#include <string>
#include <unordered_map>

#include "platform/winuser.h"
#include "script/playerlink.h"
#include "script/properties.h"
#include "script/scriptengine.h"
#include "script/scripthost.h"

namespace skv {

namespace {

struct Ctx {
    ScriptHost& host;
    ScriptEngine& engine;
    const ScriptValue* object; // null without one
};

using Getter = ScriptValue (*)(Ctx&);
using Setter = void (*)(Ctx&, const ScriptValue&);

struct NamedProperty {
    const char* name;
    Getter get;
    Setter set; // null: read-only
};

ScriptValue zero(Ctx&) {
    return ScriptValue::integer(0);
}

ScriptValue empty(Ctx&) {
    return nullText();
}

ScriptValue integer(int32_t v) {
    return ScriptValue::integer(v);
}

PlayerInput input(Ctx& c) {
    return c.host.link ? c.host.link->input() : PlayerInput{};
}

RECT stageRect(Ctx& c) {
    return c.host.link ? c.host.link->stageRect() : RECT{0, 0, 0, 0};
}

int32_t currentFrame(Ctx& c) {
    return c.host.link ? c.host.link->currentFrame() : 0;
}

// The modifier keys read as the sign bit while they are down.
ScriptValue keyDown(int key) {
    return integer(GetAsyncKeyState(key) < 0 ? INT32_MIN : 0);
}

// The age of an input event in ticks, at a resolution of one second.
ScriptValue ageOf(Ctx& c, uint32_t PlayerInput::*when) {
    if (!c.host.link) return integer(0);
    const uint32_t now = GetTickCount() / 1000;
    return integer(static_cast<int32_t>((now - input(c).*when) * 60u + 1u));
}

ScriptValue text(std::string_view t) {
    return makeString(t);
}

ScriptValue pointField(Ctx& c, int index) {
    if (!c.object || c.object->type != vtPoint || !c.object->fields()) return integer(0);
    return integer(c.object->fields()[index]);
}

// clang-format off
const NamedProperty kNamed[] = {
    {"clickLoc", [](Ctx& c) { PlayerInput in = input(c);
                              return makePoint(int16_t(in.clickLoc.x), int16_t(in.clickLoc.y)); },
     nullptr},
    {"clickOn", [](Ctx& c) { return integer(input(c).clickOn); }, nullptr},
    {"doubleClick", [](Ctx& c) { return integer(input(c).doubleClick); }, nullptr},
    {"commandDown", [](Ctx&) { return keyDown(VK_MENU); }, nullptr},
    {"controlDown", [](Ctx&) { return keyDown(VK_CONTROL); }, nullptr},
    {"optionDown", [](Ctx&) { return keyDown(VK_CONTROL); }, nullptr},
    {"shiftDown", [](Ctx&) { return keyDown(VK_SHIFT); }, nullptr},
    {"frame", [](Ctx& c) { return integer(currentFrame(c)); }, nullptr},
    {"key", empty, nullptr},
    {"keyCode", zero, nullptr},
    {"lastClick", [](Ctx& c) { return ageOf(c, &PlayerInput::lastClickSecond); }, nullptr},
    {"lastEvent", [](Ctx& c) { return ageOf(c, &PlayerInput::lastEventSecond); }, nullptr},
    {"lastKey", [](Ctx& c) { return ageOf(c, &PlayerInput::lastKeySecond); }, nullptr},
    {"lastRoll", [](Ctx& c) { return ageOf(c, &PlayerInput::lastRollSecond); }, nullptr},
    {"machineType", [](Ctx&) { return integer(256); }, nullptr},
    {"mouseCast", [](Ctx& c) { return integer(input(c).mouseCast); }, nullptr},
    {"mouseChar", zero, nullptr},
    {"mouseItem", zero, nullptr},
    {"mouseLine", zero, nullptr},
    {"mouseWord", zero, nullptr},
    {"mouseDown", [](Ctx& c) { return integer(input(c).buttonDown); }, nullptr},
    {"stillDown", [](Ctx& c) { return integer(input(c).buttonDown); }, nullptr},
    {"mouseUp", [](Ctx& c) { return integer(input(c).buttonDown ? 0 : 1); }, nullptr},
    {"mouseH", [](Ctx& c) { return integer(input(c).mouse.x); }, nullptr},
    {"mouseV", [](Ctx& c) { return integer(input(c).mouse.y); }, nullptr},
    {"movie", empty, nullptr},
    {"pathName", empty, nullptr},
    {"moviePath", empty, nullptr},
    {"movieName", empty, nullptr},
    {"stage", empty, nullptr},
    {"traceLogFile", empty, nullptr},
    {"movieFileSize", zero, nullptr},
    {"movieFileFreeSize", zero, nullptr},
    {"multiSound", zero, nullptr},
    {"paramCount", zero, nullptr},
    {"selection", zero, nullptr},
    {"preLoadEventAbort", zero, nullptr},
    {"preloadRam", zero, nullptr},
    {"romanLingo", zero, nullptr},
    {"trace", zero, nullptr},
    {"traceLoad", zero, nullptr},
    {"pauseState", [](Ctx& c) { return integer(c.host.pauseFlag); }, nullptr},
    {"stageLeft", [](Ctx& c) { return integer(stageRect(c).left); }, nullptr},
    {"stageTop", [](Ctx& c) { return integer(stageRect(c).top); }, nullptr},
    {"stageRight", [](Ctx& c) { return integer(stageRect(c).right); }, nullptr},
    {"stageBottom", [](Ctx& c) { return integer(stageRect(c).bottom); }, nullptr},
    {"ticks", zero, nullptr},
    {"time", empty, nullptr},
    {"lastFrame", [](Ctx& c) { return integer(c.host.link ? c.host.link->lastFrame() : 0); },
     nullptr},
    {"loaded", [](Ctx&) { return integer(1); }, nullptr},
    {"frameLabel", [](Ctx& c) -> ScriptValue {
         std::string label;
         if (!c.engine.hasLabels || !c.engine.labels.labelOfFrame(currentFrame(c), &label))
             return nullText();
         return text(label); },
     nullptr},
    {"framePalette", [](Ctx& c) { return integer(c.host.link ? c.host.link->framePalette() : 0); },
     nullptr},
    {"frameScript", [](Ctx& c) { return integer(c.host.link ? c.host.link->frameScript() : 0); },
     nullptr},
    {"itemDelimiter", [](Ctx& c) { return text(c.host.itemDelimiterChars); },
     [](Ctx& c, const ScriptValue& v) { c.host.itemDelimiterChars[0] = v.text()[0]; }},
    {"randomSeed", [](Ctx& c) { return integer(c.host.randomSeed); },
     [](Ctx& c, const ScriptValue& v) { c.host.setRandomSeed(v.asInt()); }},
    {"maxinteger", [](Ctx&) { return integer(INT32_MAX); }, nullptr},
    {"name", [](Ctx& c) -> ScriptValue {
         const char* n = c.engine.castNames.nameOf(c.object ? c.object->asInt() : 0);
         return n ? text(n) : nullText(); },
     nullptr},
    {"locH", [](Ctx& c) { return pointField(c, 1); }, nullptr},
    {"locV", [](Ctx& c) { return pointField(c, 0); }, nullptr},
};
// clang-format on

static_assert(sizeof kNamed / sizeof kNamed[0] == 59, "59 named properties");

const NamedProperty* find(const char* name) {
    // An object rather than a pointer kept for ever: it goes with the module when the browser
    // unloads the plug-in.
    static const auto map = [] {
        std::unordered_map<std::string_view, const NamedProperty*> m;
        for (const NamedProperty& p : kNamed)
            m.emplace(p.name, &p);
        return m;
    }();
    auto it = map.find(name);
    return it == map.end() ? nullptr : it->second;
}

} // namespace

bool getNamedProperty(ScriptHost& host, ScriptEngine& engine, const char* name,
                      const ScriptValue* object, ScriptValue* out) {
    const NamedProperty* p = find(name);
    if (!p) return false;
    Ctx c{host, engine, object};
    *out = p->get(c);
    return true;
}

void setNamedProperty(ScriptHost& host, ScriptEngine& engine, const char* name,
                      const ScriptValue& value) {
    const NamedProperty* p = find(name);
    if (!p || !p->set) return;
    Ctx c{host, engine, nullptr};
    p->set(c, value);
}

bool isNamedProperty(std::string_view name) {
    for (const NamedProperty& p : kNamed)
        if (name == p.name) return true;
    return false;
}

std::vector<std::string_view> namedPropertyNames() {
    std::vector<std::string_view> out;
    for (const NamedProperty& p : kNamed)
        out.push_back(p.name);
    return out;
}

} // namespace skv
