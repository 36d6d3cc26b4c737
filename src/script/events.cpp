// The runtime's event entry points: offering an event to the sprite, cast member, frame and movie
// scripts in turn, "pass", and the named pre-handlers of presses, releases and timeouts.
#include "script/events.h"

#include "core/abandon.h"
#include "core/guid.h"
#include "platform/winuser.h"
#include "script/runtime.h"
#include "script/script.h"

namespace skv {

namespace {

// The ticks a beep on a click waits, as the built-in beep with a count of one does.
constexpr int32_t kBeepTicks = 60;

class Dispatch {
public:
    Dispatch(skvScriptRuntime& runtime, EventReport& report)
        : engine_(*runtime.engine), host_(engine_.host()), report_(report) {}

    // Offers the event to objects a, b, c, then the movie scripts. False when an error ended it.
    bool run(int32_t a, int32_t b, int32_t c) {
        engine_.abortFlag = false;
        report_.spriteScript = a, report_.castMember = b, report_.frameScript = c;
        bool ok = true;
        try {
            const int32_t d = engine_.nameIdOf(report_.event);
            if (d >= 0) {
                bool pass = true;
                if (a > 0) pass = offer(a, d, HandlerRun::kSprite);
                if (pass && b > 0) pass = offer(b, d, HandlerRun::kCast);
                if (pass && c > 0) pass = offer(c, d, HandlerRun::kFrame);
                if (pass) runMovieHandler(d, HandlerRun::kMovie);
            }
        } catch (const ScriptError& e) {
            ok = false;
            failedWith(e);
        } catch (...) {
            ok = false;
            abandoned("script event", "%s ended by %s", report_.event,
                      caughtScriptExceptionText().c_str());
        }
        engine_.resetStack();
        return ok;
    }

    // The named pre-handler: the event goes on unless it called "dontPassEvent".
    bool pre(const char* name) {
        host_.passFlag = 1;
        engine_.abortFlag = false;
        if (!name[0]) return true;
        const int32_t d = engine_.nameIdOf(name);
        if (d < 0) return true;
        try {
            runMovieHandler(d, HandlerRun::kPre);
        } catch (const ScriptError& e) {
            report_.failed = true;
            failedWith(e);
        } catch (...) {
            report_.failed = true;
            abandoned("script event", "%s ended in its pre-handler %s by %s", report_.event, name,
                      caughtScriptExceptionText().c_str());
        }
        engine_.resetStack();
        return host_.passFlag != 0;
    }

private:
    // The first error of the event is the one reported; the debug output has each.
    void failedWith(const ScriptError& e) {
        if (report_.error.code == 0) report_.error = e;
        abandoned("script event", "%s ended by %s", report_.event, scriptErrorText(e).c_str());
    }

    bool offer(int32_t key, int32_t d, HandlerRun::Role role) {
        for (const ScriptEntry& e : engine_.scripts) {
            if (e.isMovieScript != 0 || e.key != key) continue;
            skvScript* s = engine_.scriptFor(e.scriptRef);
            if (!s) return true;
            const int32_t index = s->findHandler(d);
            if (index < 0) return true;
            host_.passFlag = 0;
            note(role, d, e.scriptRef);
            engine_.runHandler(s, index, 0, false);
            return host_.passFlag != 0;
        }
        return true;
    }

    void runMovieHandler(int32_t d, HandlerRun::Role role) {
        MovieHandler found = engine_.findMovieHandler(d);
        if (found.state != MovieHandler::kFound) return;
        // A script is stored under the identifier its number makes.
        note(role, d, static_cast<int32_t>(found.script->objectId.Data1));
        engine_.runHandler(found.script, found.index, 0, false);
    }

    void note(HandlerRun::Role role, int32_t d, int32_t script) {
        const char* name = engine_.nameOf(d);
        report_.ran.push_back({role, name ? name : "", script});
    }

    ScriptEngine& engine_;
    ScriptHost& host_;
    EventReport& report_;
};

} // namespace

const char* roleName(HandlerRun::Role role) {
    switch (role) {
    case HandlerRun::kPre:
        return "pre";
    case HandlerRun::kSprite:
        return "sprite";
    case HandlerRun::kCast:
        return "cast";
    case HandlerRun::kFrame:
        return "frame";
    case HandlerRun::kMovie:
        return "movie";
    }
    return "";
}

namespace {

void deliver(skvScriptRuntime& rt, EventListener* listener, const char* name, int32_t a, int32_t b,
             int32_t c) {
    EventReport report;
    report.event = name;
    report.failed = !Dispatch(rt, report).run(a, b, c);
    if (listener) listener->eventDelivered(report);
}

} // namespace

void skvScriptRuntime::startMovie() {
    if (delivers()) deliver(*this, listener_, "startMovie", -1, -1, -1);
}

void skvScriptRuntime::stopMovie() {
    if (delivers()) deliver(*this, listener_, "stopMovie", -1, -1, -1);
}

void skvScriptRuntime::enterFrame(int32_t frameScript) {
    if (delivers()) deliver(*this, listener_, "enterFrame", -1, -1, frameScript);
}

void skvScriptRuntime::exitFrame(int32_t frameScript) {
    if (delivers()) deliver(*this, listener_, "exitFrame", -1, -1, frameScript);
}

void skvScriptRuntime::idle(int32_t frameScript) {
    if (delivers()) deliver(*this, listener_, "idle", -1, -1, frameScript);
}

void skvScriptRuntime::timeout(int32_t frameScript) {
    if (!delivers()) return;
    EventReport report;
    report.event = "timeout";
    Dispatch dispatch(*this, report);
    report.frameScript = frameScript;
    if (dispatch.pre(engine->host().timeOutHandler))
        report.failed = !dispatch.run(-1, -1, frameScript) || report.failed;
    else
        report.dispatched = false;
    if (listener_) listener_->eventDelivered(report);
}

bool skvScriptRuntime::mouseDown(int32_t spriteScript, int32_t castMember, int32_t frameScript,
                                 int32_t sprite) {
    if (!delivers()) return false;
    EventReport report;
    report.event = "mouseDown";
    report.sprite = sprite;
    report.spriteScript = spriteScript, report.castMember = castMember;
    report.frameScript = frameScript;
    Dispatch dispatch(*this, report);
    mouseDownEaten = 0;
    if (dispatch.pre(engine->host().mouseDownHndl)) {
        report.failed = !dispatch.run(spriteScript, castMember, frameScript) || report.failed;
    } else {
        mouseDownEaten = 1;
        report.dispatched = false;
    }
    if (listener_) listener_->eventDelivered(report);
    return report.dispatched;
}

bool skvScriptRuntime::mouseUp(int32_t spriteScript, int32_t castMember, int32_t frameScript,
                               int32_t sprite) {
    if (!delivers()) return false;
    EventReport report;
    report.event = "mouseUp";
    report.sprite = sprite;
    report.spriteScript = spriteScript, report.castMember = castMember;
    report.frameScript = frameScript;
    if (mouseDownEaten) {
        report.dispatched = false;
    } else {
        Dispatch dispatch(*this, report);
        ScriptHost& host = engine->host();
        if (!dispatch.pre(host.mouseUpHndl)) {
            report.dispatched = false;
        } else {
            if (spriteScript == 0 && host.beepOnClick != 0) {
                MessageBeep(0);
                host.delay(kBeepTicks);
            }
            report.failed = !dispatch.run(spriteScript, castMember, frameScript) || report.failed;
        }
    }
    if (listener_) listener_->eventDelivered(report);
    return report.dispatched;
}

} // namespace skv
