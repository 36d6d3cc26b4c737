// PluginObserver: what a harness (the desktop player, tests) may watch inside the plug-in: the
// player's status codes and states, the script events and the frames shown. A browser knows
// nothing of it; the module exports skvSetPluginObserver for those that do. The observer is
// called from the player's threads and must outlive every instance.
#pragma once

#include <cstdint>

#include "platform/winuser.h"
#include "player/playercallback.h"
#include "script/browserlink.h"
#include "script/events.h"

namespace skv::plugin {

class PluginObserver : public PlayerCallback, public EventListener {
public:
    // On the engine thread with the view lock held, after each frame reached the stage window.
    virtual void frameShown(HWND stage, int32_t frame, int32_t counter) = 0;
    // After each step of a transition reached the stage window: on the engine thread or the
    // multimedia timer's thread, while the engine waits with the view lock held.
    virtual void transitionStep(HWND stage, int32_t frame, int32_t step) {}
    // Each time the "BUFFERING" picture has been drawn into the stage window, which shows it from
    // the window's set-up until the first frame: on the engine thread with the view lock held,
    // while the stage window is being painted.
    virtual void splashShown(HWND stage) {}
    // At window set-up: the forwarder the player's scripts use, so a harness can make the same
    // requests a script makes. Null when the instance is torn down.
    virtual void linkReady(BrowserLink* link) {}
    // A text for the person running the player that standard error has had too (the voice
    // decoder library could not be loaded), for the harness's log. On the thread that found it.
    virtual void note(const char* text) {}
    // An operation the plug-in gave up, and why (core/abandon.h): on the thread that gave up,
    // one call at a time.
    virtual void abandoned(const char* operation, const char* reason) {}
};

PluginObserver* observer();
// Also makes the observer hear the module's abandoned operations, which a harness's own event
// log cannot: the module keeps its own copy of the layers below.
void setObserver(PluginObserver* o);

} // namespace skv::plugin

extern "C" {
typedef void (*SkvSetPluginObserverFunc)(skv::plugin::PluginObserver* observer);
}
