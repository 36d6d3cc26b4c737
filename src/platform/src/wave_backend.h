// The interface a wave output backend implements, and the helpers the backends share.
//
// The device core (wave_out.cpp) keeps every handle's timeline on the platform clock: which
// buffer plays since when, when it ends, what has been played so far. A backend only hears about
// it through a Sink, one per open handle, whose calls all come with the core's lock held.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/mmsystem.h"

namespace skv::platform::wave {

class Sink {
public:
    virtual ~Sink() = default;
    // A buffer was written (queued behind those already queued); `passes` is 1, or how often a
    // looping buffer repeats (UINT64_MAX: until reset). The data stays valid until reset().
    virtual void queued(const uint8_t* data, size_t bytes, uint64_t passes) {}
    // A queued buffer begins to play at `startUs` on the platform clock.
    virtual void started(uint64_t startUs) {}
    // The next stretch of the playing buffer has been played at `volume` (whole sample frames).
    virtual void played(const uint8_t* data, size_t bytes, DWORD volume) {}
    // Everything queued is dropped.
    virtual void reset() {}
    virtual void volumeChanged(DWORD volume) {}
    // The handle plays the system's own sounds (markSystemHandle).
    virtual void belongsToSystem() {}
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual WaveBackend kind() const = 0;
    // A sink for a new handle playing `format`; null with an MMSYSERR code when the backend
    // cannot play.
    virtual std::unique_ptr<Sink> open(const WAVEFORMATEX& format, MMRESULT* error) = 0;
};

std::unique_ptr<Backend> makeCaptureBackend();
// Null, with the reason in `error`, when SDL2's audio cannot start.
std::unique_ptr<Backend> makeSdlBackend(std::string* error);

// Called when the last of the program's handles has closed (the capture writes its file then).
void lastHandleClosed();

// Marks a handle as the system's own (MessageBeep's): it stays open for the whole run, so it
// must not keep the program's last close from being seen, and what it plays is not the
// program's sound.
void markSystemHandle(HWAVEOUT handle);

// MessageBeep's tone (wave_beep.cpp).
void beep(UINT type);

} // namespace skv::platform::wave
