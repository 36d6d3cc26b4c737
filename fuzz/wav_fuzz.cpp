// Feeds arbitrary bytes to the authoring tool's WAV reader and checks what it accepts against
// the form it promises.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "wavfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    skvc::WavSound wav;
    std::string error;
    if (!skvc::decodeWav(data, size, &wav, &error)) {
        if (error.empty()) std::abort(); // a refusal always says why
        return 0;
    }
    if ((wav.channels != 1 && wav.channels != 2) ||
        (wav.bitsPerSample != 8 && wav.bitsPerSample != 16) || wav.pcm.size() > size ||
        wav.pcm.size() % static_cast<size_t>(wav.frameBytes()) != 0)
        std::abort();
    return 0;
}
