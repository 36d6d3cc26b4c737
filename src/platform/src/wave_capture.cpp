// The capture backend: keeps what was played, buffer by buffer, with the volume applied; and the
// WAV file it can be written to (layout in docs/sound.md).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "wave_backend.h"

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

private:
    WAVEFORMATEX format_;
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

void put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

std::unique_ptr<Backend> makeCaptureBackend() {
    return std::make_unique<CaptureBackend>();
}

void applyVolume(const WAVEFORMATEX& format, const uint8_t* in, size_t bytes, DWORD volume,
                 uint8_t* out) {
    const int64_t levels[2] = {volume & 0xFFFF, volume >> 16};
    const unsigned channels = format.nChannels ? format.nChannels : 1;
    if (format.wBitsPerSample == 16) {
        for (size_t i = 0; i + 1 < bytes; i += 2) {
            const int64_t level = levels[(i / 2) % channels == 0 ? 0 : 1];
            const int16_t s = static_cast<int16_t>(in[i] | in[i + 1] << 8);
            const auto v = static_cast<int16_t>(s * level / 0xFFFF);
            out[i] = static_cast<uint8_t>(v & 0xFF);
            out[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        }
        if (bytes % 2) out[bytes - 1] = in[bytes - 1];
    } else {
        for (size_t i = 0; i < bytes; ++i) {
            const int64_t level = levels[i % channels == 0 ? 0 : 1];
            out[i] = static_cast<uint8_t>(128 + (in[i] - 128) * level / 0xFFFF);
        }
    }
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
using wave::put16;
using wave::put32;

std::vector<PlayedWave> waveCapture() {
    std::lock_guard<std::mutex> g(wave::captured().mu);
    return wave::captured().played;
}

void clearWaveCapture() {
    std::lock_guard<std::mutex> g(wave::captured().mu);
    wave::captured().played.clear();
}

bool saveWaveCapture(const std::string& path, std::string* error) {
    const std::vector<PlayedWave> played = waveCapture();
    if (played.empty()) {
        if (error) *error = "nothing was played through the capture: nothing to write to " + path;
        return false;
    }
    const WAVEFORMATEX& f = played.front().format;
    auto same = [&](const WAVEFORMATEX& o) {
        return o.nChannels == f.nChannels && o.nSamplesPerSec == f.nSamplesPerSec &&
               o.wBitsPerSample == f.wBitsPerSample;
    };
    std::string data, times;
    for (const PlayedWave& w : played) {
        if (!same(w.format)) continue;
        put32(times, static_cast<uint32_t>(data.size()));
        put32(times, static_cast<uint32_t>(w.samples.size()));
        put32(times, static_cast<uint32_t>(w.startMs & 0xFFFFFFFFu));
        put32(times, static_cast<uint32_t>(w.startMs >> 32));
        data.append(reinterpret_cast<const char*>(w.samples.data()), w.samples.size());
    }
    const size_t dataLength = data.size();
    if (data.size() % 2) data.push_back(0); // chunks are padded to even lengths
    std::string file = "RIFF";
    put32(file, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size() + 8 + times.size()));
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, WAVE_FORMAT_PCM);
    put16(file, f.nChannels);
    put32(file, f.nSamplesPerSec);
    put32(file, f.nAvgBytesPerSec);
    put16(file, f.nBlockAlign);
    put16(file, f.wBitsPerSample);
    file += "data";
    put32(file, static_cast<uint32_t>(dataLength));
    file += data;
    file += "skvt";
    put32(file, static_cast<uint32_t>(times.size()));
    file += times;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(file.data(), static_cast<std::streamsize>(file.size()))) {
        if (error) *error = "cannot write the wave capture to " + path + ": check the directory";
        return false;
    }
    return true;
}

} // namespace skv::platform
