// Built-ins that drive the movie: going to frames by number, label and marker, play and its way
// back, puppets, sound, transitions, the cursor. Without a player link they do nothing.
#include "script/builtinops.h"
#include "script/playerlink.h"
#include "script/scriptengine.h"
#include "script/scripterror.h"
#include "script/textcase.h"

namespace skv::builtin {

namespace {

bool named(const char* text, const char* word) {
    return equalsIgnoringCase(text, word);
}

// The frame of a label; a movie without a label table has all its labels on frame 1.
int32_t labelFrame(BuiltinCall& c, const char* name) {
    if (!c.engine.hasLabels) return 1;
    const int32_t frame = c.engine.labels.frameOfLabel(name);
    if (frame == 0) throw ProxyError{kProxyNoSuchLabel};
    return frame;
}

int32_t currentFrame(BuiltinCall& c) {
    return c.host.link ? c.host.link->currentFrame() : 0;
}

int32_t markerFrame(BuiltinCall& c, int32_t k) {
    if (!c.engine.hasLabels) return 1;
    return c.engine.labels.marker(k, currentFrame(c));
}

void goTo(BuiltinCall& c, int32_t frame) {
    if (c.host.link) c.host.link->goToFrame(frame);
}

// Remembers where play started, or (frame 0) goes back there once.
void play(BuiltinCall& c, int32_t frame) {
    PlayerLink* link = c.host.link;
    if (!link) return;
    if (frame == 0) {
        const int32_t back = c.host.playReturnFrame;
        c.host.playReturnFrame = 0;
        if (back) link->goToFrame(back);
        return;
    }
    c.host.playReturnFrame = link->currentFrame();
    link->goToFrame(frame);
}

int32_t memberNamed(BuiltinCall& c, const char* name) {
    return c.engine.castNames.memberNumberOf(name);
}

int32_t globalNumber(BuiltinCall& c, int32_t nameId) {
    return c.engine.global(nameId).asInt();
}

void fade(BuiltinCall& c, const char* how, int32_t ticks) {
    PlayerLink* link = c.host.link;
    if (!link) return;
    if (named(how, "fadeIn"))
        link->fadeIn(ticks);
    else if (named(how, "fadeOut"))
        link->fadeOut(ticks);
}

} // namespace

ScriptValue goFrame(BuiltinCall& c) {
    goTo(c, c.num(0));
    return {};
}

ScriptValue goLabel(BuiltinCall& c) {
    goTo(c, labelFrame(c, c.text(0)));
    return {};
}

ScriptValue goMarker(BuiltinCall& c) {
    const char* how = c.text(0);
    if (named(how, "loop"))
        goTo(c, markerFrame(c, 0));
    else if (named(how, "next"))
        goTo(c, markerFrame(c, 1));
    else if (named(how, "previous"))
        goTo(c, markerFrame(c, -1));
    else
        goTo(c, currentFrame(c));
    return {};
}

ScriptValue playFrame(BuiltinCall& c) {
    play(c, c.num(0));
    return {};
}

ScriptValue playLabel(BuiltinCall& c) {
    play(c, labelFrame(c, c.text(0)));
    return {};
}

ScriptValue label(BuiltinCall& c) {
    return ScriptValue::integer(labelFrame(c, c.text(0)));
}

ScriptValue marker(BuiltinCall& c) {
    return ScriptValue::integer(markerFrame(c, c.num(0)));
}

ScriptValue halt(BuiltinCall& c) {
    if (c.host.link) c.host.link->stopAtEnd();
    return {};
}

ScriptValue updateStage(BuiltinCall& c) {
    if (c.host.link) c.host.link->updateStage();
    return {};
}

ScriptValue castByNumber(BuiltinCall& c) {
    return ScriptValue::of(vtObject, c.num(0));
}

ScriptValue castByName(BuiltinCall& c) {
    return ScriptValue::of(vtObject, memberNamed(c, c.text(0)));
}

ScriptValue puppetSprite(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetSprite(c.num(0), c.num(1));
    return {};
}

ScriptValue puppetSpriteGlobal(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetSprite(globalNumber(c, c.num(0)), c.num(1));
    return {};
}

ScriptValue puppetPaletteByName(BuiltinCall& c) {
    // The name is resolved, but palettes stay the frames' own.
    (void)memberNamed(c, c.text(0));
    return {};
}

ScriptValue puppetSoundByName(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetSound(memberNamed(c, c.text(0)));
    return {};
}

ScriptValue puppetSoundSecondName(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetSound(memberNamed(c, c.text(1)));
    return {};
}

ScriptValue puppetSoundOff(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetSound(0);
    return {};
}

ScriptValue puppetTransition(BuiltinCall& c) {
    if (c.host.link) c.host.link->puppetTransition(c.num(0), c.num(1), c.num(2), c.num(3));
    return {};
}

ScriptValue rollOver(BuiltinCall& c) {
    return ScriptValue::integer(c.host.link ? c.host.link->rollOver(c.num(0)) : 0);
}

ScriptValue rollOverGlobal(BuiltinCall& c) {
    return ScriptValue::integer(c.host.link ? c.host.link->rollOver(globalNumber(c, c.num(0))) : 0);
}

ScriptValue soundFadeOrStop(BuiltinCall& c) {
    PlayerLink* link = c.host.link;
    if (!link) return {};
    const char* how = c.text(0);
    if (named(how, "close") || named(how, "stop")) {
        link->stopSound();
        return {};
    }
    // Without a duration a fade takes (60 / tempo) x 15 ticks.
    const int32_t tempo = link->tempo();
    fade(c, how, (60 / (tempo > 0 ? tempo : 1)) * 15);
    return {};
}

ScriptValue soundPlayFile(BuiltinCall& c) {
    // Whatever the command says, the player's current sound plays again; no file is opened.
    PlayerLink* link = c.host.link;
    if (!link || !link->soundOn()) return {};
    if (link->volume() == 0) link->setVolume(0xFFFFFFFFu);
    link->replaySound();
    return {};
}

ScriptValue soundFadeTicks(BuiltinCall& c) {
    fade(c, c.text(0), c.num(2));
    return {};
}

ScriptValue soundBusy(BuiltinCall& c) {
    return ScriptValue::integer(c.host.link ? c.host.link->soundBusy() : 0);
}

ScriptValue cursor(BuiltinCall& c) {
    if (!c.host.link) return {};
    int32_t id;
    switch (c.num(0)) {
    case 1:
        id = kCursorIBeam;
        break;
    case 2:
        id = kCursorCross;
        break;
    case 3:
        id = kCursorMove;
        break;
    case 4:
        id = kCursorWait;
        break;
    case 200:
        id = kCursorNone;
        break;
    case 1000:
        id = kCursorPlugIn;
        break;
    case 1001:
        id = kCursorPlugIn2;
        break;
    default:
        id = kCursorArrow;
        break;
    }
    c.host.link->setCursor(id);
    return {};
}

} // namespace skv::builtin
