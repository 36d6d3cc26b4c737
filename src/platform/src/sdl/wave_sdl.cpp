// The SDL2 audio backend: each handle opens an SDL audio device in its format and plays its
// queue from SDL's audio callback, looping buffers until they are reset, at the device volume
// of the moment (so a fade is heard as it runs). The times of MM_WOM_DONE stay the platform
// clock's; SDL only makes the sound.
#include <SDL.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "wave_backend.h"

namespace skv::platform::wave {

namespace {

struct Piece {
    std::vector<uint8_t> data; // a copy: the caller's buffer may go once it is reset
    uint64_t passes;
    size_t at = 0;
};

class SdlSink final : public Sink {
public:
    SdlSink(const WAVEFORMATEX& format) : format_(format) {}
    ~SdlSink() override {
        if (device_) SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool open(std::string* error) {
        SDL_AudioSpec want{}, have{};
        want.freq = static_cast<int>(format_.nSamplesPerSec);
        want.format = format_.wBitsPerSample == 16 ? AUDIO_S16LSB : AUDIO_U8;
        want.channels = static_cast<Uint8>(format_.nChannels);
        want.samples = 1024;
        want.callback = &SdlSink::callback;
        want.userdata = this;
        // No changes allowed: SDL converts to what the card plays.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!device_) {
            if (error) *error = SDL_GetError();
            return false;
        }
        silence_ = have.silence;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void queued(const uint8_t* data, size_t bytes, uint64_t passes) override {
        std::lock_guard<std::mutex> g(mu_);
        pieces_.push_back(Piece{std::vector<uint8_t>(data, data + bytes), passes});
    }
    void reset() override {
        std::lock_guard<std::mutex> g(mu_);
        pieces_.clear();
    }
    void volumeChanged(DWORD volume) override { volume_.store(volume); }

private:
    static void SDLCALL callback(void* self, Uint8* stream, int len) {
        static_cast<SdlSink*>(self)->fill(stream, static_cast<size_t>(len));
    }

    void fill(uint8_t* out, size_t len) {
        std::lock_guard<std::mutex> g(mu_);
        const DWORD volume = volume_.load();
        size_t done = 0;
        while (done < len && !pieces_.empty()) {
            Piece& p = pieces_.front();
            if (p.data.empty() || p.passes == 0) {
                pieces_.pop_front();
                continue;
            }
            const size_t n = std::min(len - done, p.data.size() - p.at);
            applyVolume(format_, p.data.data() + p.at, n, volume, out + done);
            done += n;
            p.at += n;
            if (p.at == p.data.size()) {
                p.at = 0;
                if (p.passes != UINT64_MAX && --p.passes == 0) pieces_.pop_front();
            }
        }
        std::memset(out + done, silence_, len - done);
    }

    WAVEFORMATEX format_;
    SDL_AudioDeviceID device_ = 0;
    uint8_t silence_ = 0;
    std::mutex mu_; // between the core and SDL's audio thread
    std::deque<Piece> pieces_;
    std::atomic<DWORD> volume_{0xFFFFFFFFu};
};

class SdlBackend final : public Backend {
public:
    WaveBackend kind() const override { return WaveBackend::Sdl; }
    std::unique_ptr<Sink> open(const WAVEFORMATEX& format, MMRESULT* error) override {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            *error = MMSYSERR_NODRIVER;
            return nullptr;
        }
        auto sink = std::make_unique<SdlSink>(format);
        if (!sink->open(nullptr)) {
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
    SDL_QuitSubSystem(SDL_INIT_AUDIO); // each sink holds its own reference
    return std::make_unique<SdlBackend>();
}

} // namespace skv::platform::wave
