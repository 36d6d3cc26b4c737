// Helpers of the sound tests: test signals, their signal-to-noise ratio, stored sounds, and a
// private temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/memorypipe.h"
#include "sound/wave.h"

namespace soundtest {

// Speech-band test signal: a few partials between 200 and 3000 Hz under a syllable-like
// envelope, 16-bit.
inline std::vector<int16_t> speech(int rate, double seconds) {
    const size_t n = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> s(n);
    const double partials[][2] = {{220, 1.0},   {440, 0.6},   {710, 0.5}, {1230, 0.35},
                                  {1870, 0.25}, {2450, 0.15}, {2950, 0.1}};
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double env = 0.55 + 0.45 * std::sin(2 * M_PI * 4 * t); // four syllables a second
        double v = 0;
        for (const auto& p : partials)
            v += p[1] * std::sin(2 * M_PI * p[0] * t + p[0]);
        s[i] = static_cast<int16_t>(std::lround(6000 * env * v));
    }
    return s;
}

// Signal-to-noise ratio in dB of `got` against `want`, leaving out the first and last 20 ms,
// where coding starts and stops.
inline double snrDb(const std::vector<int16_t>& want, const std::vector<int16_t>& got, int rate) {
    const size_t edge = static_cast<size_t>(rate / 50);
    double signal = 0, noise = 0;
    for (size_t i = edge; i + edge < want.size() && i < got.size(); ++i) {
        signal += double(want[i]) * want[i];
        const double d = double(want[i]) - got[i];
        noise += d * d;
    }
    return 10 * std::log10(signal / std::max(noise, 1e-9));
}

inline std::vector<int16_t> asSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return s;
}

inline std::vector<uint8_t> asBytes(const std::vector<int16_t>& s) {
    std::vector<uint8_t> b(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        b[2 * i] = static_cast<uint8_t>(s[i] & 0xFF);
        b[2 * i + 1] = static_cast<uint8_t>((s[i] >> 8) & 0xFF);
    }
    return b;
}

// The body of a stored NWave (without the object header).
inline std::vector<uint8_t> storedBody(int32_t kind, int32_t variant, const WAVEFORMATEX& f,
                                       const std::vector<uint8_t>& data, int32_t loops = 0) {
    skv::MemoryPipe* pipe = new skv::MemoryPipe;
    skv::uArchive ar(pipe, skv::uArchive::kStoring);
    ar.writeInt32(skv::NWave::kTagNWVE);
    ar.writeInt32(static_cast<int32_t>(data.size()));
    ar.writeInt32(loops);
    ar.writeInt32(kind);
    ar.writeInt32(variant);
    ar.write(&f, sizeof f);
    ar.write(data.data(), static_cast<int32_t>(data.size()));
    std::vector<uint8_t> out = pipe->bytes(); // before the archive frees the pipe
    return out;
}

inline void loadBody(skv::NWave& w, const std::vector<uint8_t>& body) {
    skv::uArchive ar(new skv::MemoryPipe(body), skv::uArchive::kLoading);
    w.serialize(ar);
}

// A temporary directory of its own, made TMPDIR for the test's life.
class PrivateTemp {
public:
    PrivateTemp() {
        char tmpl[] = "/tmp/skvsoundXXXXXX";
        dir_ = mkdtemp(tmpl);
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("TMPDIR", dir_.c_str(), 1);
    }
    ~PrivateTemp() {
        for (const std::string& f : files())
            std::remove((dir_ + "/" + f).c_str());
        rmdir(dir_.c_str());
        if (hadOld_)
            setenv("TMPDIR", old_.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    std::vector<std::string> files() const {
        std::vector<std::string> out;
        if (DIR* d = opendir(dir_.c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') out.push_back(e->d_name);
            closedir(d);
        }
        return out;
    }

private:
    std::string dir_, old_;
    bool hadOld_ = false;
};

} // namespace soundtest
