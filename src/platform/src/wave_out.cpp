// The wave output device: handles, their buffer queues on the platform clock, the thread that
// marks buffers done when their time has come, the device volume and the choice of backend.
//
// Every handle keeps its queue as a timeline: the first buffer started at a known time and ends
// when its frames (times its passes) have played at the format's rate; the next one starts at
// that very instant. advance(now) plays the timeline forward: it hands the backend the frames
// played since the last call (at the volume of the moment) and completes the buffers whose end
// has passed. It runs on every call that changes what is heard (write, reset, volume, close)
// and on the done thread, which sleeps on the platform clock until the earliest end of any
// handle. On the virtual clock that thread is woken first among the threads due at the same
// instant, so a buffer's MM_WOM_DONE is queued before anything else of that instant runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <vector>

#include "kernel.h"
#include "wave_backend.h"

namespace skv::platform::wave {

namespace {

constexpr uint64_t kForever = UINT64_MAX;
__extension__ typedef unsigned __int128 u128; // frames x microseconds overflow 64 bits

uint64_t saturatingMul(uint64_t a, uint64_t b) {
    u128 p = static_cast<u128>(a) * b;
    return p > kForever ? kForever : static_cast<uint64_t>(p);
}

class NullBackend final : public Backend {
public:
    WaveBackend kind() const override { return WaveBackend::Null; }
    std::unique_ptr<Sink> open(const WAVEFORMATEX&, MMRESULT*) override {
        return std::make_unique<Sink>();
    }
};

struct Queued {
    WAVEHDR* header;
    uint64_t frames;   // sample frames in the buffer
    uint64_t passes;   // how often it plays
    uint64_t startUs;  // valid once started
    uint64_t rendered; // frames handed to the backend so far, over all passes
    bool started;
};

struct Handle {
    WAVEFORMATEX format{};
    HWND window = nullptr;
    DWORD_PTR instance = 0;
    std::unique_ptr<Sink> sink;
    std::deque<Queued> queue;
    bool system = false; // markSystemHandle

    uint64_t framesToUs(uint64_t frames) const {
        if (frames == kForever) return kForever;
        u128 us = (static_cast<u128>(frames) * 1000000 + format.nSamplesPerSec - 1) /
                  format.nSamplesPerSec;
        return us > kForever ? kForever : static_cast<uint64_t>(us);
    }
    uint64_t usToFrames(uint64_t us) const {
        return static_cast<uint64_t>(static_cast<u128>(us) * format.nSamplesPerSec / 1000000);
    }
    uint64_t endUs(const Queued& q) const {
        const uint64_t d = framesToUs(saturatingMul(q.frames, q.passes));
        return d == kForever || q.startUs > kForever - d ? kForever : q.startUs + d;
    }
};

struct State {
    std::mutex mu;
    std::set<Handle*> handles;
    DWORD volume = 0xFFFFFFFFu;
    std::shared_ptr<Backend> backend;
    HANDLE thread = nullptr;
    HANDLE wake = nullptr; // auto-reset: a deadline may have moved
};

State& state() {
    static auto* s = new State; // lives as long as the process: the done thread may outlive main
    return *s;
}

void post(Handle* h, UINT message, LPARAM lParam) {
    if (h->window) PostMessageA(h->window, message, reinterpret_cast<WPARAM>(h), lParam);
}

void complete(Handle* h, WAVEHDR* header) {
    header->dwFlags = (header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
    post(h, MM_WOM_DONE, reinterpret_cast<LPARAM>(header));
}

// Hands the backend the frames of `q` from its rendered count up to `upTo`.
void render(Handle* h, Queued& q, uint64_t upTo, DWORD volume) {
    const uint32_t align = h->format.nBlockAlign;
    while (q.rendered < upTo && q.frames > 0) {
        const uint64_t at = q.rendered % q.frames;
        const uint64_t n = std::min(q.frames - at, upTo - q.rendered);
        h->sink->played(reinterpret_cast<const uint8_t*>(q.header->lpData) + at * align,
                        static_cast<size_t>(n * align), volume);
        q.rendered += n;
    }
}

void start(Handle* h, Queued& q, uint64_t atUs) {
    q.started = true;
    q.startUs = atUs;
    h->sink->started(atUs);
}

// Plays the handle's timeline up to `nowUs` (lock held).
void advance(Handle* h, uint64_t nowUs, DWORD volume) {
    while (!h->queue.empty()) {
        Queued& q = h->queue.front();
        if (!q.started) start(h, q, nowUs);
        const uint64_t end = h->endUs(q);
        const uint64_t total = saturatingMul(q.frames, q.passes);
        const uint64_t played =
            nowUs >= end ? total : std::min(total, h->usToFrames(nowUs - q.startUs));
        render(h, q, played, volume);
        if (nowUs < end) return;
        WAVEHDR* done = q.header;
        h->queue.pop_front();
        complete(h, done);
        if (!h->queue.empty()) start(h, h->queue.front(), end);
    }
}

void advanceAll(uint64_t nowUs) {
    State& s = state();
    for (Handle* h : s.handles)
        advance(h, nowUs, s.volume);
}

uint64_t earliestEnd() {
    uint64_t best = kForever;
    for (Handle* h : state().handles)
        if (!h->queue.empty() && h->queue.front().started)
            best = std::min(best, h->endUs(h->queue.front()));
    return best;
}

DWORD WINAPI doneThread(LPVOID) {
    {
        kernel::Lock lk = kernel::lockScheduler();
        kernel::currentThread().clockFirst = true;
    }
    State& s = state();
    for (;;) {
        DWORD wait;
        {
            std::lock_guard<std::mutex> g(s.mu);
            const uint64_t now = skv::platform::kernel::nowUs();
            advanceAll(now);
            const uint64_t end = earliestEnd();
            wait =
                end == kForever
                    ? INFINITE
                    : static_cast<DWORD>(std::min<uint64_t>((end - now + 999) / 1000, 0x7FFFFFFF));
        }
        WaitForSingleObject(s.wake, wait);
    }
    return 0;
}

// At exit the backends' devices close before the libraries they use are torn down: an SDL audio
// thread still calling back into a half-destroyed process crashes it. Handles stay valid and go
// silent.
void closeSinksAtExit() {
    std::vector<std::unique_ptr<Sink>> sinks;
    {
        std::lock_guard<std::mutex> g(state().mu);
        for (Handle* h : state().handles) {
            sinks.push_back(std::move(h->sink));
            h->sink = std::make_unique<Sink>();
        }
    }
}

void wakeDoneThread() {
    if (state().wake) SetEvent(state().wake);
}

// Backend choice (lock held).
WaveBackend defaultKind() {
    if (const char* e = std::getenv("SKV_WAVE")) {
        if (std::strcmp(e, "null") == 0) return WaveBackend::Null;
        if (std::strcmp(e, "capture") == 0) return WaveBackend::Capture;
        if (std::strcmp(e, "sdl") == 0) return WaveBackend::Sdl;
        std::fprintf(
            stderr, "skv: SKV_WAVE=%s is not \"null\", \"capture\" or \"sdl\"; playing no sound.\n",
            e);
        return WaveBackend::Null;
    }
    // The display's rule, without starting the display: sound is heard where pictures are seen.
    if (const char* d = std::getenv("SKV_DISPLAY"))
        return std::strcmp(d, "sdl") == 0 ? WaveBackend::Sdl : WaveBackend::Null;
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl) ? WaveBackend::Sdl : WaveBackend::Null;
}

bool startBackend(WaveBackend kind, std::string* error) {
    State& s = state();
    if (kind == WaveBackend::Sdl) {
        std::string why;
        if (auto b = makeSdlBackend(&why)) {
            s.backend = std::move(b);
            return true;
        }
        if (error) *error = why;
        s.backend = std::make_shared<NullBackend>();
        return false;
    }
    if (kind == WaveBackend::Capture)
        s.backend = makeCaptureBackend();
    else
        s.backend = std::make_shared<NullBackend>();
    return true;
}

std::shared_ptr<Backend> running() {
    State& s = state();
    if (!s.backend) {
        std::string why;
        if (!startBackend(defaultKind(), &why))
            std::fprintf(stderr,
                         "skv: cannot start SDL2 audio (%s); playing no sound. Set SKV_WAVE=null "
                         "to choose that without trying.\n",
                         why.c_str());
    }
    return s.backend;
}

bool validFormat(const WAVEFORMATEX* f) {
    if (f->wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f->nChannels != 1 && f->nChannels != 2) return false;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return false;
    if (f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 192000) return false;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return false;
    return f->nAvgBytesPerSec == f->nSamplesPerSec * f->nBlockAlign;
}

Handle* find(HWAVEOUT handle) {
    auto* h = reinterpret_cast<Handle*>(handle);
    return state().handles.count(h) ? h : nullptr;
}

} // namespace

void markSystemHandle(HWAVEOUT handle) {
    std::lock_guard<std::mutex> g(state().mu);
    if (Handle* h = find(handle)) {
        h->system = true;
        h->sink->belongsToSystem();
    }
}

} // namespace skv::platform::wave

namespace skv::platform {

bool selectWaveOutput(WaveBackend backend, std::string* error) {
    // SDL's audio starts outside our lock: the sinks' audio callbacks never take it, but SDL's
    // own start-up may take a while.
    std::shared_ptr<wave::Backend> next;
    bool ok = true;
    if (backend == WaveBackend::Sdl) {
        std::string why;
        next = wave::makeSdlBackend(&why);
        if (!next) {
            ok = false;
            if (error) *error = why;
        }
    }
    std::lock_guard<std::mutex> g(wave::state().mu);
    if (next)
        wave::state().backend = std::move(next);
    else
        wave::startBackend(ok ? backend : WaveBackend::Null, nullptr);
    return ok;
}

WaveBackend currentWaveOutput() {
    std::lock_guard<std::mutex> g(wave::state().mu);
    return wave::running()->kind();
}

} // namespace skv::platform

using namespace skv::platform::wave;

extern "C" {

UINT waveOutGetNumDevs(void) {
    return 1;
}

MMRESULT waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (!format) return MMSYSERR_INVALPARAM;
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if (type != CALLBACK_NULL && type != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
    if (!validFormat(format)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
    if (!handle) return MMSYSERR_INVALPARAM;
    *handle = nullptr;

    State& s = state();
    std::shared_ptr<Backend> backend;
    {
        std::lock_guard<std::mutex> g(s.mu);
        backend = running();
    }
    auto h = std::make_unique<Handle>();
    h->format = *format;
    h->format.cbSize = 0;
    h->window = type == CALLBACK_WINDOW ? reinterpret_cast<HWND>(callback) : nullptr;
    h->instance = instance;
    MMRESULT err = MMSYSERR_NODRIVER;
    h->sink = backend->open(h->format, &err);
    if (!h->sink) return err;

    std::lock_guard<std::mutex> g(s.mu);
    if (!s.thread) {
        s.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        s.thread = CreateThread(nullptr, 128 * 1024, doneThread, nullptr, 0, nullptr);
        if (!s.thread) return MMSYSERR_NOMEM;
        std::atexit(closeSinksAtExit);
    }
    Handle* raw = h.release();
    s.handles.insert(raw);
    raw->sink->volumeChanged(s.volume);
    *handle = reinterpret_cast<HWAVEOUT>(raw);
    post(raw, MM_WOM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT handle) {
    State& s = state();
    std::unique_ptr<Handle> gone;
    bool last;
    {
        std::lock_guard<std::mutex> g(s.mu);
        Handle* h = find(handle);
        if (!h) return MMSYSERR_INVALHANDLE;
        advance(h, skv::platform::kernel::nowUs(), s.volume);
        if (!h->queue.empty()) return WAVERR_STILLPLAYING;
        post(h, MM_WOM_CLOSE, 0);
        s.handles.erase(h);
        gone.reset(h);
        last = !h->system && std::none_of(s.handles.begin(), s.handles.end(),
                                          [](const Handle* o) { return !o->system; });
    }
    gone.reset(); // an SDL sink closes its device here, outside our lock
    if (last) lastHandleClosed();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    std::lock_guard<std::mutex> g(state().mu);
    if (!find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR) || (!header->lpData && header->dwBufferLength))
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    std::lock_guard<std::mutex> g(state().mu);
    if (!find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    State& s = state();
    {
        std::lock_guard<std::mutex> g(s.mu);
        Handle* h = find(handle);
        if (!h) return MMSYSERR_INVALHANDLE;
        if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        const uint64_t now = skv::platform::kernel::nowUs();
        advance(h, now, s.volume);
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        const bool loops =
            (header->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
        const uint64_t passes = !loops ? 1
                                : header->dwLoops == 0xFFFFFFFFu
                                    ? kForever
                                    : std::max<DWORD>(1, header->dwLoops);
        Queued q{header, header->dwBufferLength / h->format.nBlockAlign, passes, 0, 0, false};
        h->sink->queued(reinterpret_cast<const uint8_t*>(header->lpData),
                        static_cast<size_t>(q.frames * h->format.nBlockAlign), passes);
        h->queue.push_back(q);
        advance(h, now, s.volume); // starts it when nothing else plays
    }
    wakeDoneThread();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT handle) {
    State& s = state();
    {
        std::lock_guard<std::mutex> g(s.mu);
        Handle* h = find(handle);
        if (!h) return MMSYSERR_INVALHANDLE;
        advance(h, skv::platform::kernel::nowUs(), s.volume);
        h->sink->reset();
        while (!h->queue.empty()) {
            WAVEHDR* header = h->queue.front().header;
            h->queue.pop_front();
            complete(h, header);
        }
    }
    wakeDoneThread();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT handle, DWORD* volume) {
    std::lock_guard<std::mutex> g(state().mu);
    if (handle && !find(handle)) return MMSYSERR_INVALHANDLE;
    if (!volume) return MMSYSERR_INVALPARAM;
    *volume = state().volume;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT handle, DWORD volume) {
    State& s = state();
    std::lock_guard<std::mutex> g(s.mu);
    if (handle && !find(handle)) return MMSYSERR_INVALHANDLE;
    // What played until now was heard at the old volume.
    advanceAll(skv::platform::kernel::nowUs());
    s.volume = volume;
    for (Handle* h : s.handles)
        h->sink->volumeChanged(volume);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT size) {
    const char* t = nullptr;
    switch (error) {
    case MMSYSERR_NOERROR:
        t = "The command completed successfully.";
        break;
    case MMSYSERR_ERROR:
        t = "An unspecified error occurred.";
        break;
    case MMSYSERR_BADDEVICEID:
        t = "The device identifier is out of range.";
        break;
    case MMSYSERR_ALLOCATED:
        t = "The device is already in use.";
        break;
    case MMSYSERR_INVALHANDLE:
        t = "The device handle is invalid.";
        break;
    case MMSYSERR_NODRIVER:
        t = "No sound output is available.";
        break;
    case MMSYSERR_NOMEM:
        t = "There is not enough memory for this command.";
        break;
    case MMSYSERR_NOTSUPPORTED:
        t = "The device does not support this command.";
        break;
    case MMSYSERR_INVALFLAG:
        t = "An invalid flag was passed.";
        break;
    case MMSYSERR_INVALPARAM:
        t = "An invalid parameter was passed.";
        break;
    case WAVERR_BADFORMAT:
        t = "The wave format is not supported by the device.";
        break;
    case WAVERR_STILLPLAYING:
        t = "The buffer is still playing.";
        break;
    case WAVERR_UNPREPARED:
        t = "The buffer has not been prepared.";
        break;
    default:
        return MMSYSERR_BADERRNUM;
    }
    if (!text || size == 0) return MMSYSERR_INVALPARAM;
    std::snprintf(text, size, "%s", t);
    return MMSYSERR_NOERROR;
}

} // extern "C"
