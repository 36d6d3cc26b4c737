// The numbered property tables and how getEntity and setEntity take their operands from the
// stack. Sprites (category 6) are in properties_sprite.cpp.
#include <string>

#include "platform/wingdi.h"
#include "script/playerlink.h"
#include "script/properties.h"
#include "script/scriptengine.h"
#include "script/scripthost.h"
#include "script/textcounts.h"

namespace skv {

namespace {

// A value that is released when it goes out of scope.
struct Held {
    ScriptValue v;
    ~Held() { releaseValue(v); }
};

ScriptValue integer(int32_t v) {
    return ScriptValue::integer(v);
}

// A handler-name field as the borrowed text it reads as; the value has a copy of its own, so a
// later write to the field does not change it.
ScriptValue handlerName(const char* field) {
    ScriptValue v = makeString(field);
    v.type = vtLiteral;
    return v;
}

char (*handlerField(ScriptHost& h, int32_t row))[ScriptHost::kHandlerNameSize] {
    switch (row) {
    case 1:
        return &h.mouseDownHndl;
    case 2:
        return &h.mouseUpHndl;
    case 3:
        return &h.keyDownHndl;
    case 4:
        return &h.keyUpHndl;
    case 5:
        return &h.timeOutHandler;
    default:
        return nullptr;
    }
}

// Category 0: the host's settings, and the last piece of a text.
ScriptValue hostProperty(ScriptHost& h, int32_t row, const ScriptValue& object) {
    if (row == 0) return integer(h.floatPrecision);
    if (auto* field = handlerField(h, row)) return handlerName(*field);
    if (row >= 6 && row <= 8) return nullText(); // the time formats
    if (row < 12 || row > 15) return ScriptValue::voidValue();
    Held t{toText(object)};
    std::string_view s = t.v.text();
    switch (row) {
    case 12:
        return makeString(lastChar(s));
    case 13:
        return makeString(lastWord(s));
    case 14:
        return makeString(lastItem(s, h.itemDelimiter()));
    default:
        return makeString(lastLine(s));
    }
}

void setHostProperty(ScriptHost& h, int32_t row, const ScriptValue& value) {
    if (row == 0) {
        h.floatPrecision = value.asInt();
        return;
    }
    if (auto* field = handlerField(h, row)) {
        Held t{toText(value)};
        ScriptHost::storeFirstWord(*field, t.v.text());
    }
}

// Category 1: counts in a text.
ScriptValue countProperty(ScriptHost& h, int32_t row, const ScriptValue& object) {
    if (row < 1 || row > 4) return ScriptValue::voidValue();
    Held t{toText(object)};
    std::string_view s = t.v.text();
    switch (row) {
    case 1:
        return integer(static_cast<int32_t>(s.size()));
    case 2:
        return integer(countWords(s));
    case 3:
        return integer(countItems(s, h.itemDelimiter()));
    default:
        return integer(countLines(s));
    }
}

int32_t screenDepth() {
    HDC dc = GetDC(nullptr);
    const int32_t bits = dc ? GetDeviceCaps(dc, BITSPIXEL) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return bits;
}

// Sound level 0-7 from the left channel's volume, truncated.
int32_t soundLevel(uint32_t volume) {
    return static_cast<int32_t>((volume & 0xFFFF) * 7 / 0xFFFF);
}

// The volume of a sound level, rounded up so that it reads back as the level it was set to;
// never below 1.
uint32_t volumeOfLevel(int32_t level) {
    if (level < 0) level = 0;
    if (level > 7) level = 7;
    uint32_t v = (static_cast<uint32_t>(level) * 0xFFFF + 6) / 7;
    if (v < 1) v = 1;
    return v | (v << 16);
}

// Category 7: movie and system, by property number.
ScriptValue systemProperty(ScriptHost& h, int32_t number) {
    if (number < 1 || number > 34) return ScriptValue::voidValue();
    PlayerLink* link = h.link;
    switch (number) {
    case 1:
        return integer(h.beepOnClick);
    case 6:
        return integer(screenDepth());
    case 34:
        return integer(static_cast<int32_t>(ScriptHost::ticksNow() - h.timerBase));
    default:
        break;
    }
    if (!link) return integer(0);
    switch (number) {
    case 19:
        return integer(static_cast<int32_t>(link->timeoutElapsed()));
    case 25:
        return integer(link->soundOn());
    case 26:
        return integer(soundLevel(link->volume()));
    case 27:
    case 30:
        return integer(link->playerProperty(number));
    case 31:
        return integer(static_cast<int32_t>(link->timeoutLength()));
    case 32:
        return integer(link->timeoutOnMouse());
    case 33:
        return integer(link->timeoutEveryFrame());
    default:
        return integer(0);
    }
}

void setSystemProperty(ScriptHost& h, int32_t number, const ScriptValue& value) {
    const int32_t v = value.asInt();
    if (number == 1) {
        h.beepOnClick = v;
        return;
    }
    if (number == 34) {
        h.timerBase = static_cast<uint32_t>(v);
        return;
    }
    PlayerLink* link = h.link;
    if (!link) return;
    switch (number) {
    case 25:
        link->setSoundOn(); // whatever the value
        break;
    case 26:
        link->setVolume(volumeOfLevel(v));
        break;
    case 27:
    case 30:
        link->setPlayerProperty(number, v);
        break;
    case 31:
        link->setTimeoutLength(static_cast<uint32_t>(v));
        break;
    case 32:
        link->setTimeoutOnMouse(v);
        break;
    case 33:
        link->setTimeoutEveryFrame(v);
        break;
    default:
        break;
    }
}

// Category 9: cast members.
ScriptValue memberProperty(ScriptEngine& e, int32_t number, const ScriptValue& object) {
    if (number == 1) {
        const char* n = e.castNames.nameOf(object.asInt());
        return n ? makeString(n) : nullText();
    }
    if (number == 10) {
        Held t{toText(object)};
        std::string_view name = t.v.text();
        return integer(e.castNames.memberNumberOf(name.substr(0, 256)));
    }
    if ((number >= 2 && number <= 11) || number == 17 || number == 18) return integer(0);
    return ScriptValue::voidValue();
}

// Category 13: stand-ins that read as 0.
ScriptValue standInProperty(int32_t number) {
    return number >= 12 && number <= 16 ? integer(0) : ScriptValue::voidValue();
}

} // namespace

ScriptValue getEntityProperty(ScriptHost& host, ScriptEngine& engine, int32_t category,
                              int32_t formatVersion) {
    Held p{engine.pop()};
    const int32_t number = p.v.asInt();
    switch (category) {
    case 0:
        if (number < 12) {
            ScriptValue none;
            return hostProperty(host, number, none);
        }
        break;
    case 7:
        return systemProperty(host, number);
    case 9: {
        if (formatVersion >= 5) {
            Held castLibrary{engine.pop()}; // there is one cast library
        }
        Held member{engine.pop()};
        return memberProperty(engine, number, member.v);
    }
    default:
        break;
    }
    Held object{engine.pop()};
    switch (category) {
    case 0:
        return hostProperty(host, number, object.v);
    case 1:
        return countProperty(host, number, object.v);
    case 6:
        return getSpriteProperty(host, number, object.v.asInt());
    case 13:
        return standInProperty(number);
    default:
        // Category 12 has no properties; 2-5, 8, 10 and 11 have no table.
        return ScriptValue::voidValue();
    }
}

void setEntityProperty(ScriptHost& host, ScriptEngine& engine, int32_t category) {
    Held p{engine.pop()};
    Held value{engine.pop()};
    const int32_t number = p.v.asInt();
    if (category == 0) {
        setHostProperty(host, number, value.v);
        return;
    }
    if (category == 7) {
        setSystemProperty(host, number, value.v);
        return;
    }
    Held object{engine.pop()};
    if (category == 6) setSpriteProperty(host, number, object.v.asInt(), value.v);
    // Every other category's writes are ignored.
}

} // namespace skv
