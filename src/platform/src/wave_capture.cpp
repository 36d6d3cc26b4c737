// The capture backend: keeps what was played, buffer by buffer, with the volume applied; and the
// WAV file it can be written to (layout in docs/sound.md).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "wave_backend.h"
#include "wave_file.h"

namespace skv::platform::wave {

namespace {

struct Captured {
    std::mutex mu;
    std::vector<PlayedWave> played;
};

Captured& captured() {
    static auto* c = new Captured;
    return *c;
}

class CaptureSink final : public Sink {
public:
    explicit CaptureSink(const WAVEFORMATEX& format) : format_(format) {}

    void started(uint64_t startUs) override {
        std::lock_guard<std::mutex> g(captured().mu);
        PlayedWave w;
        w.startMs = startUs / 1000;
        w.format = format_;
        w.system = system_;
        captured().played.push_back(std::move(w));
        index_ = captured().played.size() - 1;
    }

    void played(const uint8_t* data, size_t bytes, DWORD volume) override {
        std::lock_guard<std::mutex> g(captured().mu);
        if (index_ >= captured().played.size()) return; // the capture was cleared meanwhile
        std::vector<uint8_t>& out = captured().played[index_].samples;
        const size_t at = out.size();
        out.resize(at + bytes);
        applyVolume(format_, data, bytes, volume, out.data() + at);
    }

    void belongsToSystem() override { system_ = true; }

private:
    WAVEFORMATEX format_;
    bool system_ = false;
    size_t index_ = SIZE_MAX;
};

class CaptureBackend final : public Backend {
public:
    WaveBackend kind() const override { return WaveBackend::Capture; }
    std::unique_ptr<Sink> open(const WAVEFORMATEX& format, MMRESULT*) override {
        return std::make_unique<CaptureSink>(format);
    }
};

} // namespace

std::unique_ptr<Backend> makeCaptureBackend() {
    return std::make_unique<CaptureBackend>();
}

void lastHandleClosed() {
    if (currentWaveOutput() != WaveBackend::Capture) return;
    const char* file = std::getenv("SKV_WAVE_FILE");
    if (!file || !*file) return;
    std::string why;
    if (!saveWaveCapture(file, &why) && !waveCapture().empty())
        std::fprintf(stderr, "skv: %s\n", why.c_str());
}

} // namespace skv::platform::wave

namespace skv::platform {

std::vector<PlayedWave> waveCapture() {
    std::lock_guard<std::mutex> g(wave::captured().mu);
    return wave::captured().played;
}

void clearWaveCapture() {
    std::lock_guard<std::mutex> g(wave::captured().mu);
    wave::captured().played.clear();
}

bool saveWaveCapture(const std::string& path, std::string* error) {
    return wave::writeWaveFile(waveCapture(), path, error);
}

} // namespace skv::platform
