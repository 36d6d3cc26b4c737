// MessageBeep's tone: a short sine played through the wave output like any other sound, on a
// handle of its own that stays open. The null backend plays nothing, so it is not even opened.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "wave_backend.h"

namespace skv::platform::wave {

namespace {

constexpr DWORD kRate = 11025;
constexpr DWORD kMs = 150;

struct Beeper {
    std::mutex mu;
    HWAVEOUT out = nullptr;
    WAVEHDR header{};
    std::vector<uint8_t> tone;
};

Beeper& beeper() {
    static auto* b = new Beeper;
    return *b;
}

// 8-bit mono, rising and falling over 10 ms so that it does not click. MB_ICONHAND and
// MB_ICONEXCLAMATION sound lower than the others, as people expect of a warning.
std::vector<uint8_t> toneFor(UINT type) {
    const double hz = (type == MB_ICONHAND || type == MB_ICONEXCLAMATION) ? 660.0 : 880.0;
    const size_t n = kRate * kMs / 1000, edge = kRate / 100;
    std::vector<uint8_t> t(n);
    for (size_t i = 0; i < n; ++i) {
        const double env = std::min({1.0, double(i) / edge, double(n - 1 - i) / edge});
        t[i] = static_cast<uint8_t>(
            std::lround(128 + 80 * env * std::sin(2 * M_PI * hz * double(i) / kRate)));
    }
    return t;
}

} // namespace

void beep(UINT type) {
    if (currentWaveOutput() == WaveBackend::Null) return;
    Beeper& b = beeper();
    std::lock_guard<std::mutex> g(b.mu);
    if (!b.out) {
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, kRate, kRate, 1, 8, 0};
        if (waveOutOpen(&b.out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            b.out = nullptr;
            return;
        }
        markSystemHandle(b.out);
    }
    waveOutReset(b.out);
    waveOutUnprepareHeader(b.out, &b.header, sizeof b.header);
    b.tone = toneFor(type);
    b.header = WAVEHDR{};
    b.header.lpData = reinterpret_cast<LPSTR>(b.tone.data());
    b.header.dwBufferLength = static_cast<DWORD>(b.tone.size());
    waveOutPrepareHeader(b.out, &b.header, sizeof b.header);
    waveOutWrite(b.out, &b.header, sizeof b.header);
}

} // namespace skv::platform::wave
