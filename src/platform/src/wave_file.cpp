// The WAV file a wave capture is written to (layout in docs/sound.md), and the volume the
// capture applies: the same on every system.
#include "wave_file.h"

#include <algorithm>
#include <fstream>

namespace skv::platform::wave {

void put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
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

bool writeWaveFile(const std::vector<PlayedWave>& played, const std::string& path,
                   std::string* error) {
    const auto first =
        std::find_if(played.begin(), played.end(), [](const PlayedWave& w) { return !w.system; });
    if (first == played.end()) {
        if (error) *error = "nothing was played through the capture: nothing to write to " + path;
        return false;
    }
    const WAVEFORMATEX& f = first->format;
    auto same = [&](const WAVEFORMATEX& o) {
        return o.nChannels == f.nChannels && o.nSamplesPerSec == f.nSamplesPerSec &&
               o.wBitsPerSample == f.wBitsPerSample;
    };
    std::string data, times;
    for (const PlayedWave& w : played) {
        if (w.system || !same(w.format)) continue;
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

} // namespace skv::platform::wave
