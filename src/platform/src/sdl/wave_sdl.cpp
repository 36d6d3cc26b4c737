// The SDL2 audio backend. One SDL device plays every open handle: it opens with the first sink
// and closes with the last, in a format of its own (16-bit stereo at 44100 Hz, which SDL turns
// into what the card takes), and its callback mixes the sinks. A device per handle would not do:
// MessageBeep keeps a handle of its own open beside the movie's, a card without a mixing sound
// server opens once, and SDL's disk driver writes every device into the same file, the last one
// opened truncating what the others wrote.
//
// Each sink plays its own copy of what was queued, at the volume of the moment (so a fade is
// heard as it runs), converting its format to the device's as it goes. The times of MM_WOM_DONE
// stay the platform clock's; the core also tells the sink how much of its queue the clock has
// played, and a reset keeps what the clock has played and the device has not yet taken. A movie
// may stop a sound one frame after it started it, and the device takes its samples a callback
// at a time: without that, a sound reset within a callback period of its start would be dropped
// before a sample of it had been heard, and what is heard would depend on the callback's phase.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "wave_backend.h"
#include "wave_file.h"

namespace skv::platform::wave {

namespace {

constexpr int kDeviceRate = 44100;
constexpr int kDeviceChannels = 2;
constexpr size_t kDeviceFrameBytes = kDeviceChannels * sizeof(int16_t);
// What a reset keeps at most: the device runs a callback or two behind the clock, and anything
// owed beyond that would be heard long after the clock ended it (a virtual clock races ahead).
constexpr uint64_t kMaxOwedMs = 250;

struct Piece {
    std::vector<uint8_t> data; // a copy: the caller's buffer may go once it is reset
    uint64_t passes;
    size_t at = 0;
};

class SdlSink;

// The device and the sinks it mixes. Every sink's state is guarded by its mutex, which SDL's
// audio thread takes in the callback and the core's calls take under the core's lock.
struct Mixer {
    std::mutex mu;
    SDL_AudioDeviceID device = 0;
    std::vector<SdlSink*> sinks;
    std::vector<int32_t> sum;
};

Mixer& mixer() {
    static auto* m = new Mixer; // the audio thread may call back until the device is closed
    return *m;
}

class SdlSink final : public Sink {
public:
    explicit SdlSink(const WAVEFORMATEX& format)
        : format_(format),
          step_((static_cast<uint64_t>(format.nSamplesPerSec) << 32) / kDeviceRate) {}
    ~SdlSink() override { detach(); }

    bool attach(std::string* error);

    void queued(const uint8_t* data, size_t bytes, uint64_t passes) override {
        std::lock_guard<std::mutex> g(mixer().mu);
        pieces_.push_back(Piece{std::vector<uint8_t>(data, data + bytes), passes});
    }
    void played(const uint8_t*, size_t bytes, DWORD) override {
        std::lock_guard<std::mutex> g(mixer().mu);
        clockFrames_ += bytes / format_.nBlockAlign;
    }
    void reset() override {
        std::lock_guard<std::mutex> g(mixer().mu);
        const uint64_t owed = clockFrames_ > takenFrames_ ? clockFrames_ - takenFrames_ : 0;
        keep(std::min<uint64_t>(owed, format_.nSamplesPerSec * kMaxOwedMs / 1000));
    }
    void volumeChanged(DWORD volume) override { volume_.store(volume); }

    // Adds `frames` device frames of this sink to `sum` (mixer lock held).
    void mixInto(int32_t* sum, size_t frames) {
        for (size_t i = 0; i < frames; ++i) {
            const uint64_t phase = phase_ & 0xFFFFFFFFu;
            for (int c = 0; c < kDeviceChannels; ++c) {
                const int64_t a = from_[c], b = to_[c];
                sum[i * kDeviceChannels + c] +=
                    static_cast<int32_t>(a + (((b - a) * static_cast<int64_t>(phase)) >> 32));
            }
            phase_ += step_;
            for (; phase_ >> 32; phase_ -= uint64_t{1} << 32) {
                from_[0] = to_[0];
                from_[1] = to_[1];
                nextFrame(to_);
            }
        }
    }

private:
    void detach();

    // The next frame of the queue as 16-bit stereo at the volume of the moment; silence once
    // the queue is empty.
    void nextFrame(int16_t* out) {
        out[0] = out[1] = 0;
        while (!pieces_.empty()) {
            Piece& p = pieces_.front();
            const size_t align = format_.nBlockAlign;
            if (p.passes == 0 || p.data.size() < align) {
                pieces_.pop_front();
                continue;
            }
            uint8_t frame[4];
            applyVolume(format_, p.data.data() + p.at, align, volume_.load(), frame);
            for (int c = 0; c < kDeviceChannels; ++c) {
                const int source = format_.nChannels == 2 ? c : 0;
                out[c] = format_.wBitsPerSample == 16
                             ? static_cast<int16_t>(frame[source * 2] | frame[source * 2 + 1] << 8)
                             : static_cast<int16_t>((frame[source] - 128) * 256);
            }
            ++takenFrames_;
            p.at += align;
            if (p.at + align > p.data.size()) {
                p.at = 0;
                if (p.passes != UINT64_MAX && --p.passes == 0) pieces_.pop_front();
            }
            return;
        }
    }

    // Drops the queue but for its next `frames` frames.
    void keep(uint64_t frames) {
        const size_t align = format_.nBlockAlign;
        std::vector<uint8_t> kept;
        kept.reserve(static_cast<size_t>(frames) * align);
        for (Piece& p : pieces_) {
            for (uint64_t pass = 0; pass < p.passes && kept.size() < frames * align; ++pass) {
                const size_t from = pass == 0 ? p.at : 0;
                const size_t usable = p.data.size() / align * align;
                const size_t n =
                    std::min<size_t>(usable - std::min(from, usable),
                                     static_cast<size_t>(frames * align) - kept.size());
                kept.insert(kept.end(), p.data.begin() + static_cast<ptrdiff_t>(from),
                            p.data.begin() + static_cast<ptrdiff_t>(from + n));
                if (usable == 0) break;
            }
            if (kept.size() >= frames * align) break;
        }
        pieces_.clear();
        if (!kept.empty()) pieces_.push_back(Piece{std::move(kept), 1});
        clockFrames_ = pieces_.empty() ? 0 : pieces_.front().data.size() / align;
        takenFrames_ = 0;
    }

    WAVEFORMATEX format_;
    // Source frames per device frame, 32.32 fixed point, and where between from_ and to_ the
    // next device frame falls.
    const uint64_t step_;
    uint64_t phase_ = 0;
    int16_t from_[kDeviceChannels] = {0, 0};
    int16_t to_[kDeviceChannels] = {0, 0};
    std::deque<Piece> pieces_;
    // Frames of the queue the clock has played, and frames the device has taken, since the last
    // reset.
    uint64_t clockFrames_ = 0;
    uint64_t takenFrames_ = 0;
    std::atomic<DWORD> volume_{0xFFFFFFFFu};
};

void SDLCALL mixCallback(void*, Uint8* stream, int len) {
    Mixer& m = mixer();
    const size_t frames = static_cast<size_t>(len) / kDeviceFrameBytes;
    std::lock_guard<std::mutex> g(m.mu);
    m.sum.assign(frames * kDeviceChannels, 0);
    for (SdlSink* s : m.sinks)
        s->mixInto(m.sum.data(), frames);
    auto* out = reinterpret_cast<int16_t*>(stream);
    for (size_t i = 0; i < m.sum.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(m.sum[i], -32768, 32767));
    std::memset(stream + m.sum.size() * sizeof(int16_t), 0,
                static_cast<size_t>(len) - m.sum.size() * sizeof(int16_t));
}

bool SdlSink::attach(std::string* error) {
    Mixer& m = mixer();
    std::lock_guard<std::mutex> g(m.mu);
    if (!m.device) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            if (error) *error = SDL_GetError();
            return false;
        }
        SDL_AudioSpec want{}, have{};
        want.freq = kDeviceRate;
        want.format = AUDIO_S16SYS;
        want.channels = kDeviceChannels;
        want.samples = 1024;
        want.callback = &mixCallback;
        // No changes allowed: SDL converts to what the card plays. The device starts paused, so
        // the callback cannot run before the lock is let go.
        m.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!m.device) {
            if (error) *error = SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(m.device, 0);
    }
    m.sinks.push_back(this);
    return true;
}

void SdlSink::detach() {
    Mixer& m = mixer();
    SDL_AudioDeviceID closing = 0;
    {
        std::lock_guard<std::mutex> g(m.mu);
        const auto it = std::find(m.sinks.begin(), m.sinks.end(), this);
        if (it == m.sinks.end()) return;
        m.sinks.erase(it);
        if (m.sinks.empty()) std::swap(closing, m.device);
    }
    // Outside the lock: closing waits for the audio thread, whose callback takes it.
    if (closing) {
        SDL_CloseAudioDevice(closing);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

class SdlBackend final : public Backend {
public:
    WaveBackend kind() const override { return WaveBackend::Sdl; }
    std::unique_ptr<Sink> open(const WAVEFORMATEX& format, MMRESULT* error) override {
        auto sink = std::make_unique<SdlSink>(format);
        if (!sink->attach(nullptr)) {
            *error = MMSYSERR_ALLOCATED;
            return nullptr;
        }
        return sink;
    }
};

} // namespace

std::unique_ptr<Backend> makeSdlBackend(std::string* error) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = SDL_GetError();
        return nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO); // the device holds its own reference while open
    return std::make_unique<SdlBackend>();
}

} // namespace skv::platform::wave
