// The wave capture device: what a watched module sends to waveOut* is played in real time by a
// thread per handle, without a sound card, and kept with the volume of each moment applied. A
// buffer is done when its time has passed (a looping one plays until it is reset), and the
// device reports it done as the system's would: WHDR_DONE, then MM_WOM_DONE to the window.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "imports.h"
#include "platform/display.h"
#include "platform/mmsystem.h"
#include "wave_file.h"

namespace skv::platform {

namespace {

struct Captured {
    std::mutex mu;
    std::vector<PlayedWave> played;
    int openHandles = 0;
};

Captured& captured() {
    static auto* c = new Captured;
    return *c;
}

struct Device {
    std::mutex mu;
    std::condition_variable changed; // the queue, a reset, closing, or the end of a buffer
    WAVEFORMATEX format{};
    HWND window = nullptr;
    DWORD volume = 0xFFFFFFFFu;
    std::deque<WAVEHDR*> queue;
    uint64_t resets = 0;    // how many resets so far
    bool playing = false;   // the thread is in a buffer (the queue's first)
    bool resetting = false; // a reset is reporting the queue done: nothing starts meanwhile
    bool closing = false;
    std::thread thread;
};

void reportDone(Device* d, WAVEHDR* h) {
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    if (d->window)
        PostMessageA(d->window, MM_WOM_DONE, reinterpret_cast<WPARAM>(d),
                     reinterpret_cast<LPARAM>(h));
}

// Keeps `bytes` of the buffer as heard, at the device's volume now (lock held).
void keep(Device* d, size_t index, const WAVEHDR* h, size_t bytes) {
    std::lock_guard<std::mutex> g(captured().mu);
    if (index >= captured().played.size()) return; // the capture was cleared meanwhile
    std::vector<uint8_t>& out = captured().played[index].samples;
    const size_t at = out.size();
    out.resize(at + bytes);
    wave::applyVolume(d->format, reinterpret_cast<const uint8_t*>(h->lpData), bytes, d->volume,
                      out.data() + at);
}

// Plays the queue's first buffer for as long as it lasts, pass after pass for a looping one,
// until a reset or close cuts it short; the buffer is done only once this thread has let go of
// it, so that nobody frees it while it is being read.
void play(Device* d) {
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lk(d->mu);
    for (;;) {
        d->changed.wait(lk, [&] { return d->closing || (!d->resetting && !d->queue.empty()); });
        if (d->closing) return;
        WAVEHDR* h = d->queue.front();
        const uint64_t resets = d->resets;
        d->playing = true;
        size_t index;
        {
            std::lock_guard<std::mutex> g(captured().mu);
            PlayedWave w;
            w.startMs = GetTickCount64();
            w.format = d->format;
            captured().played.push_back(std::move(w));
            index = captured().played.size() - 1;
        }
        const bool loops = (h->dwFlags & WHDR_BEGINLOOP) && (h->dwFlags & WHDR_ENDLOOP);
        const size_t length = h->dwBufferLength;
        const DWORD rate = d->format.nAvgBytesPerSec ? d->format.nAvgBytesPerSec : 1;
        const auto passTime =
            std::chrono::microseconds(std::max<uint64_t>(uint64_t{length} * 1000000 / rate, 1000));
        bool cut = false;
        for (DWORD pass = 0; !cut && (pass == 0 || (loops && pass < h->dwLoops)); ++pass) {
            const auto start = Clock::now();
            cut = d->changed.wait_until(lk, start + passTime,
                                        [&] { return d->closing || d->resets != resets; });
            if (!cut) {
                keep(d, index, h, length);
                continue;
            }
            // What was heard until then is kept, in whole sample frames.
            const auto heard = std::min(Clock::now() - start, Clock::duration(passTime));
            size_t bytes = static_cast<size_t>(static_cast<double>(length) * heard.count() /
                                               Clock::duration(passTime).count());
            const size_t align = d->format.nBlockAlign ? d->format.nBlockAlign : 1;
            keep(d, index, h, bytes - bytes % align);
        }
        if (!cut) {
            d->queue.pop_front();
            reportDone(d, h);
        }
        d->playing = false;
        d->changed.notify_all();
    }
}

MMRESULT WINAPI captureOpen(LPHWAVEOUT out, UINT, LPCWAVEFORMATEX format, DWORD_PTR callback,
                            DWORD_PTR, DWORD flags) {
    if (!format) return MMSYSERR_INVALPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
    if (!out) return MMSYSERR_INVALPARAM;
    auto* d = new Device;
    d->format = *format;
    if ((flags & CALLBACK_TYPEMASK) == CALLBACK_WINDOW)
        d->window = reinterpret_cast<HWND>(callback);
    d->thread = std::thread(play, d);
    {
        std::lock_guard<std::mutex> g(captured().mu);
        ++captured().openHandles;
    }
    *out = reinterpret_cast<HWAVEOUT>(d);
    if (d->window) PostMessageA(d->window, MM_WOM_OPEN, reinterpret_cast<WPARAM>(d), 0);
    return MMSYSERR_NOERROR;
}

Device* deviceOf(HWAVEOUT h) {
    return reinterpret_cast<Device*>(h);
}

MMRESULT WINAPI captureReset(HWAVEOUT h) {
    Device* d = deviceOf(h);
    if (!d) return MMSYSERR_INVALHANDLE;
    std::unique_lock<std::mutex> lk(d->mu);
    d->resetting = true;
    ++d->resets;
    d->changed.notify_all();
    // The playing buffer stops and keeps what was heard; then every queued buffer is done.
    d->changed.wait(lk, [&] { return !d->playing; });
    while (!d->queue.empty()) {
        reportDone(d, d->queue.front());
        d->queue.pop_front();
    }
    d->resetting = false;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI captureClose(HWAVEOUT h) {
    Device* d = deviceOf(h);
    if (!d) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> lk(d->mu);
        if (!d->queue.empty()) return WAVERR_STILLPLAYING;
        d->closing = true;
        d->changed.notify_all();
    }
    d->thread.join();
    if (d->window) PostMessageA(d->window, MM_WOM_CLOSE, reinterpret_cast<WPARAM>(d), 0);
    delete d;
    bool last;
    {
        std::lock_guard<std::mutex> g(captured().mu);
        last = --captured().openHandles == 0;
    }
    if (const char* file = std::getenv("SKV_WAVE_FILE"); last && file && *file) {
        std::string why;
        if (!saveWaveCapture(file, &why) && !waveCapture().empty())
            std::fprintf(stderr, "skv: %s\n", why.c_str());
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI capturePrepare(HWAVEOUT h, LPWAVEHDR header, UINT size) {
    if (!deviceOf(h)) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI captureUnprepare(HWAVEOUT h, LPWAVEHDR header, UINT size) {
    if (!deviceOf(h)) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI captureWrite(HWAVEOUT h, LPWAVEHDR header, UINT size) {
    Device* d = deviceOf(h);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    std::lock_guard<std::mutex> lk(d->mu);
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    d->queue.push_back(header);
    d->changed.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI captureGetVolume(HWAVEOUT h, LPDWORD volume) {
    Device* d = deviceOf(h);
    if (!d || !volume) return d ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lk(d->mu);
    *volume = d->volume;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI captureSetVolume(HWAVEOUT h, DWORD volume) {
    Device* d = deviceOf(h);
    if (!d) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lk(d->mu);
    d->volume = volume;
    return MMSYSERR_NOERROR;
}

} // namespace

void watchWaveOutput(HMODULE module) {
    const char* kind = std::getenv("SKV_WAVE");
    if (!kind || std::strcmp(kind, "capture") != 0) return;
    struct Binding {
        const char* name;
        void* call;
    };
    const Binding bindings[] = {
        {"waveOutOpen", reinterpret_cast<void*>(&captureOpen)},
        {"waveOutClose", reinterpret_cast<void*>(&captureClose)},
        {"waveOutReset", reinterpret_cast<void*>(&captureReset)},
        {"waveOutPrepareHeader", reinterpret_cast<void*>(&capturePrepare)},
        {"waveOutUnprepareHeader", reinterpret_cast<void*>(&captureUnprepare)},
        {"waveOutWrite", reinterpret_cast<void*>(&captureWrite)},
        {"waveOutGetVolume", reinterpret_cast<void*>(&captureGetVolume)},
        {"waveOutSetVolume", reinterpret_cast<void*>(&captureSetVolume)},
    };
    for (const Binding& b : bindings)
        win::rebindImport(module, "winmm.dll", b.name, b.call);
}

std::vector<PlayedWave> waveCapture() {
    std::lock_guard<std::mutex> g(captured().mu);
    return captured().played;
}

void clearWaveCapture() {
    std::lock_guard<std::mutex> g(captured().mu);
    captured().played.clear();
}

bool saveWaveCapture(const std::string& path, std::string* error) {
    return wave::writeWaveFile(waveCapture(), path, error);
}

} // namespace skv::platform
